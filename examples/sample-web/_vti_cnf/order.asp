vti_encoding:SR|utf8-nl
vti_timelastmodified:TR|15 Apr 2003 12:40:18 -0000
vti_extenderversion:SR|5.0.2.6790
vti_title:SR|Book a Repair
vti_author:SR|WORKSTATION\\pat
vti_modifiedby:SR|WORKSTATION\\pat
vti_timecreated:TR|20 Mar 2003 10:15:00 -0000
vti_filesize:IR|885
vti_backlinkinfo:VX|index.htm services/index.htm
