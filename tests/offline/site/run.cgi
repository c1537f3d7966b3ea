<html><head><title>run.cgi</title></head><body>made by a program</body></html>
