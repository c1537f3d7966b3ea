<html><head><title>list.php</title></head>
<body><a href="names.html">names</a> <img src="files/caf%c3%a9.gif" alt="lower-case escapes"></body></html>
