<%@ Language=VBScript %>
<%
Dim sName, sBike, sJob
sName = Trim(Request.Form("name"))
sBike = Trim(Request.Form("bike"))
sJob  = Request.Form("job")
%>
<html>
<head>
<title>Book a Repair</title>
<link rel="stylesheet" type="text/css" href="site.css">
</head>
<body>
<h1>Book a Repair</h1>
<% If sName <> "" Then %>
<p>Thank you, <%= Server.HTMLEncode(sName) %>. Bring your <%= Server.HTMLEncode(sBike) %> in any weekday morning.</p>
<% Else %>
<form method="POST" action="order.asp">
<p>Your name <input type="text" name="name" size="30"></p>
<p>Your bike <input type="text" name="bike" size="30"></p>
<p>Job <select name="job"><option>Tune-up</option><option>Full service</option><option>Puncture</option><option>Wheels</option></select></p>
<p><input type="submit" value="Book"></p>
</form>
<% End If %>
<p><a href="index.htm">Home</a></p>
</body>
</html>
