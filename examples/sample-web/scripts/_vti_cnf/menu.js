vti_encoding:SR|utf8-nl
vti_timelastmodified:TR|03 Mar 2003 09:30:41 -0000
vti_extenderversion:SR|5.0.2.6790
vti_author:SR|WORKSTATION\\pat
vti_modifiedby:SR|WORKSTATION\\pat
vti_timecreated:TR|03 Mar 2003 09:30:41 -0000
vti_filesize:IR|403
vti_backlinkinfo:VX|about.htm contact.htm draft-offers.htm index.htm private/newsletter-draft.html private/prices-2004.htm products/bikes/index.htm products/bikes/touring/ranger.htm products/index.htm products/parts/clearance/index.htm products/parts/index.htm services/index.htm services/tuneups.htm services/wheels.htm
