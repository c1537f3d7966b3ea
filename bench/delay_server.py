#!/usr/bin/python3
"""A web server far away, for the latency benchmark: serves a folder over keep-alive HTTP/1.1 and
answers every request only after a fixed delay, as a server across the internet would.

delay_server.py ROOT PORTFILE [--delay MS]
Writes the port it listens on (127.0.0.1, picked free) to PORTFILE. Files get an ETag and a
Last-Modified; If-None-Match / If-Modified-Since that match give 304. Each connection has its own
thread, so any number are served at once. Control paths, answered at once and not counted:
  /__reset   forget the counts and the request log
  /__delay?ms=N   answer from now on after N ms
  /__stats   JSON {"requests": n, "most_open": the most connections open at once from one client
             address (those that asked for files only), "log": ["GET /path", ...] in the order
             the requests came}
"""
import email.utils
import json
import os
import posixpath
import socket
import socketserver
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, HTTPServer

LOCK = threading.Lock()
OPEN = {}  # client address -> connections open now
GENERATION = [0]
STATS = {"requests": 0, "most_open": 0, "log": []}
TYPES = {".html": "text/html", ".htm": "text/html", ".gif": "image/gif", ".css": "text/css",
         ".png": "image/png", ".jpg": "image/jpeg"}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "delay-bench"

    def log_message(self, fmt, *args):
        pass

    def setup(self):
        super().setup()
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.generation = None  # counted among the open connections since the last reset

    def count_open(self):
        # A connection counts from its first request that is not a control one until it closes,
        # and only if it began since the last reset.
        if self.generation is not None:
            return
        with LOCK:
            self.generation = GENERATION[0]
            host = self.client_address[0]
            OPEN[host] = OPEN.get(host, 0) + 1
            STATS["most_open"] = max(STATS["most_open"], OPEN[host])

    def finish(self):
        try:
            super().finish()
        finally:
            with LOCK:
                if self.generation == GENERATION[0]:
                    OPEN[self.client_address[0]] -= 1

    def answer(self, status, body=b"", headers=(), head=False):
        # The whole answer in one write, as a server's would be: headers and body apart would
        # meet the delayed acknowledgement and add tens of milliseconds to every file.
        lines = ["HTTP/1.1 %d %s" % (status, self.responses.get(status, ("",))[0]),
                 "Server: delay-bench", "Date: " + self.date_time_string()]
        lines += ["%s: %s" % (name, value) for name, value in headers]
        if status != 304:
            lines.append("Content-Length: %d" % len(body))
        data = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")
        if body and not head:
            data += body
        self.wfile.write(data)
        self.wfile.flush()

    def do_HEAD(self):
        self.do_GET(head=True)

    def do_GET(self, head=False):
        path = urllib.parse.urlsplit(self.path).path
        if path == "/__reset":
            with LOCK:
                GENERATION[0] += 1
                OPEN.clear()
                STATS.update({"requests": 0, "log": [], "most_open": 0})
            return self.answer(200, b"ok")
        if path == "/__delay":
            query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)
            self.server.delay = float(query["ms"][0]) / 1000.0
            return self.answer(200, b"ok")
        if path == "/__stats":
            with LOCK:
                data = json.dumps(STATS).encode()
            return self.answer(200, data, [("Content-Type", "application/json")])
        self.count_open()
        with LOCK:
            STATS["requests"] += 1
            STATS["log"].append("%s %s" % (self.command, self.path))
        time.sleep(self.server.delay)
        rel = posixpath.normpath(urllib.parse.unquote(path)).lstrip("/")
        full = os.path.join(self.server.root, rel)
        if rel.startswith("..") or not os.path.isfile(full):
            return self.answer(404, b"not found", [("Content-Type", "text/plain")], head)
        st = os.stat(full)
        etag = '"%x-%x"' % (int(st.st_mtime), st.st_size)
        modified = email.utils.formatdate(int(st.st_mtime), usegmt=True)
        validators = [("ETag", etag), ("Last-Modified", modified)]
        inm = self.headers.get("If-None-Match")
        ims = self.headers.get("If-Modified-Since")
        if (inm and inm == etag) or (not inm and ims and ims == modified):
            return self.answer(304, headers=validators)
        ctype = TYPES.get(os.path.splitext(full)[1].lower(), "application/octet-stream")
        with open(full, "rb") as f:
            body = f.read()
        self.answer(200, body, [("Content-Type", ctype)] + validators, head)


class Server(socketserver.ThreadingMixIn, HTTPServer):
    daemon_threads = True
    request_queue_size = 128

    def handle_error(self, request, client_address):
        pass  # a client that hangs up is no news


def main():
    root, portfile = sys.argv[1], sys.argv[2]
    delay = 20.0
    if "--delay" in sys.argv:
        delay = float(sys.argv[sys.argv.index("--delay") + 1])
    server = Server(("127.0.0.1", 0), Handler)
    server.root = os.path.abspath(root)
    server.delay = delay / 1000.0
    with open(portfile + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(portfile + ".tmp", portfile)
    server.serve_forever()


if __name__ == "__main__":
    main()
