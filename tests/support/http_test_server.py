#!/usr/bin/python3
"""HTTP/1.1 test server for Trawlkit's tests: scripted answers plus a static file tree.

Run: /usr/bin/python3 http_test_server.py [--root DIR] [--port N] [--watch-stdin]
                                           [--tls-cert PEM --tls-key KEY]
It binds 127.0.0.1 (port 0 = a free port chosen by the system) and prints one line
"PORT <n>" on stdout once it accepts connections. With --tls-cert it speaks HTTPS on that port
and serves the same routes, counters and files over plain HTTP on a second port: the line is
then "PORT <https port> PLAIN <http port>" (the control routes are easiest asked there). A
client that refuses the certificate just ends its connection; the server carries on. It stops on SIGTERM or SIGINT, and with
--watch-stdin also when its standard input closes (so a test that dies takes its server along).

Every answer is HTTP/1.1 with keep-alive unless a route says otherwise. Counters and a log of
requests are kept for the test to query; the /__ control routes (/__stats, /__reset, /__robots) are not counted.

Control routes
  GET /__stats   JSON: {"connections": accepted TCP connections, "most_open": the most open at
                 once (the control routes' own included), "requests": requests,
                 "body_bytes": body bytes sent, "log": [{"connection", "method", "path",
                 "headers": {lower-case name: value}, "status", "body_bytes"}, ...]}
  GET /__reset   zeroes the counters and the log; answers "ok".
  GET /__robots[status, body, to]   how /robots.txt answers from now on (until /__reset): the
                 status (default 200), the text body, or with `to` a 302 there. Without this,
                 /robots.txt is a static file like any other (404 when missing).

Each log entry also has "start" and "end": the server's monotonic clock in seconds when the
request line came in and when its answer was sent; "most_busy" is the most requests being
answered at once.

Scripted routes (query parameters in brackets; n = body length, bodies are the deterministic
bytes of Body(n, seed): the repeated text "<seed>:<offset>|" cut to n bytes)
  /__/bytes[n, seed, etag, lm, ct]   200 with Content-Length. etag="..." sends that ETag, lm=1 a
        fixed Last-Modified; If-None-Match / If-Modified-Since matching them give 304, and
        Range: bytes=a- (with an If-Range that matches, or none) gives 206 from byte a.
  /__/flaky[n, cut, id, seed, etag, lm]   like bytes, but the first request of each id (without
        a Range header) sends Content-Length n, then only `cut` bytes, and closes the connection.
  /__/splice[n, cut, id, seed, etag, lm, seed2, etag2]   a file that changes under a resume: the
        first request of each id (without Range) is cut like flaky's; later ones serve a newer
        version (seed2, ETag etag2, with lm=1 a newer Last-Modified) whose Range answer is a 206
        whatever the If-Range says.
  /__/chunked[n, chunk, seed]   Transfer-Encoding: chunked, chunks of `chunk` bytes (default 1000).
  /__/broken-chunked[n, chunk, seed, how]   chunked, cut after half the body: how=close (default)
        closes the connection, how=garbage sends a malformed chunk-size line.
  /__/nolength[n, seed]   no Content-Length; the body ends when the connection closes.
  /__/slow[n, chunk, delay, seed]   Content-Length n, sent `chunk` bytes (default 100) every
        `delay` ms (default 50).
  /__/stall[n, after, secs]   Content-Length n, `after` bytes, then nothing for `secs` seconds
        (default 30), then the connection closes.
  /__/late[ms, n, seed, etag, lm, ct]   bytes' answer, after `ms` ms (default 300) of silence.
  /__/hang[secs]   no answer at all for `secs` seconds (default 30), then the connection closes.
  /__/drop[n, after]   Content-Length n, `after` bytes, then the connection closes.
  /__/redirect[to, code, field, also]   status `code` (default 302) with the header line
        "<field><to>", field being "Location: " unless given ("location:", "Location:" ...);
        with `also`, a "Content-Location: <also>" line comes first.
  /__/status[code]   that status with a short text body.
  /__/loop[i, same]   302 to /__/loop?i=<i+1>, an endless chain of new URLs; with same=1, 302 to
        the request's own path and query.
  /__/overlong[n, extra, seed]   Content-Length n, then n + extra bytes, and the connection closes.
  /__/basic[user, pw, pw64, realm, etag]   401 with "WWW-Authenticate: Basic" until the request
        carries those credentials (pw64: the password in base64, so that the URL does not spell
        it); then 200 with the body "welcome <user>", and the ETag `etag` when given.
  /__/digest[user, pw, pw64, realm, etag]   the same with Digest (MD5, qop=auth).
  /__/headers   200, the request's headers as the text body, one "name: value" per line.
  /__/unavailable[id, times, code, retry, n, seed]   the first `times` (default 1) requests of
        each id answer `code` (default 503; 0 closes the connection without an answer), with
        "Retry-After: <retry>" when given; later ones 200 with n bytes.
  /__/cookie[set (repeatable), ct, body, etag, set304 (repeatable)]   200 with one
        "Set-Cookie: <set>" line per `set`, the Content-Type `ct` (default text/html) and the
        text `body` (default "ok"); with `etag`, that ETag, and a matching If-None-Match gets a
        304 whose Set-Cookie lines are the `set304` ones.
  /__/chain/<n>/<i>.html   a chain of n pages: page i links to <i+1>.html, the last to nothing.

A scripted route also answers below its own path (/__/bytes/caf%E9.png?ct=image/png), so that a
test can choose the name a URL ends in, any bytes included.

Proxy: CONNECT host:port opens a tunnel to that port of 127.0.0.1 (only loopback names are
taken), so the server can stand in for an https proxy; the CONNECT is counted and logged.

Connection limits (--one-connection MODE): "queue" serves one connection at a time while the
others wait unanswered, like a single-threaded server; "refuse" answers every connection made
while another is open with 503 and closes it. The control routes are then subject to it too.

Static files (--root DIR): any other path is a file under DIR ("/" and folders serve their
index.html), with a Content-Type from its extension, ETag and Last-Modified validators,
conditional GET and Range like /__/bytes; 404 when missing. Paths never leave DIR.
"""

import argparse
import email.utils
import hashlib
import json
import mimetypes
import os
import select
import signal
import socket
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LOCK = threading.Lock()
STATS = {"connections": 0, "requests": 0, "body_bytes": 0, "most_open": 0, "most_busy": 0, "log": []}
ROBOTS = {}  # how /robots.txt answers, when a test has set it (/__robots)
UNAVAILABLE_SEEN = {}
OPEN = [0]  # connections open now, the control routes' own included
FLAKY_SEEN = set()
NEXT_CONNECTION = [0]
FIXED_LAST_MODIFIED = "Tue, 01 Jun 2021 10:00:00 GMT"
NEWER_LAST_MODIFIED = "Wed, 02 Jun 2021 10:00:00 GMT"
NONCE = hashlib.md5(str(time.time()).encode()).hexdigest()
STOP = threading.Event()
# Requests being answered and not yet recorded: /__stats waits (up to 2 s) until there are none,
# so that a test that has just read a whole body also sees it counted.
IN_FLIGHT = [0]
SETTLED = threading.Condition(LOCK)


def body_bytes(n, seed="x"):
    out = bytearray()
    while len(out) < n:
        out += ("%s:%d|" % (seed, len(out))).encode()
    return bytes(out[:n])


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TrawlkitTest/1.0"
    root = None

    def log_message(self, fmt, *args):  # quiet: tests read /__stats instead
        pass

    def setup(self):
        super().setup()
        # Headers and body go in separate writes in most answers: without this the body would
        # wait for the client's delayed acknowledgement, some 40 ms an answer.
        try:
            self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        except OSError:
            pass
        self.counted = False
        with LOCK:
            NEXT_CONNECTION[0] += 1
            self.connection_id = NEXT_CONNECTION[0]
            OPEN[0] += 1
            STATS["most_open"] = max(STATS["most_open"], OPEN[0])

    def finish(self):
        try:
            super().finish()
        finally:
            with LOCK:
                OPEN[0] -= 1

    # ---- bookkeeping -------------------------------------------------------------------

    def record(self, status, sent):
        if self.path.startswith(("/__stats", "/__reset", "/__robots")):
            return
        with LOCK:
            IN_FLIGHT[0] -= 1
            SETTLED.notify_all()
            if not self.counted:  # connections that only ask for /__stats do not count
                self.counted = True
                STATS["connections"] += 1
            STATS["requests"] += 1
            STATS["body_bytes"] += sent
            STATS["log"].append({
                "connection": self.connection_id,
                "method": self.command,
                "path": self.path,
                "headers": {k.lower(): v for k, v in self.headers.items()},
                "status": status,
                "body_bytes": sent,
                "start": getattr(self, "started_at", 0.0),
                "end": time.monotonic(),
            })

    def write_body(self, data):
        try:
            self.wfile.write(data)
            self.wfile.flush()
            return len(data)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
            return 0

    def answer(self, status, body=b"", headers=None, ctype="text/plain"):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in (headers or []):
            self.send_header(k, v)
        self.end_headers()
        sent = self.write_body(body) if self.command != "HEAD" else 0
        self.record(status, sent)

    def answer_at_once(self, status, body, ctype="text/plain"):
        """answer() in one write: a reply sent in two small writes waits for the client's delayed
        ACK (about 40 ms a request), which thousands of requests in a row cannot afford."""
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self._headers_buffer.append(b"\r\n" + body)
        try:
            self.flush_headers()
            sent = len(body)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
            sent = 0
        self.record(status, sent)

    # ---- entity with validators and ranges ----------------------------------------------

    def serve_entity(self, data, etag=None, last_modified=None, ctype="application/octet-stream",
                     cut=None, ignore_if_range=False):
        h = self.headers
        validators = []
        if etag:
            validators.append(("ETag", etag))
        if last_modified:
            validators.append(("Last-Modified", last_modified))
        inm = h.get("If-None-Match")
        ims = h.get("If-Modified-Since")
        if (inm and etag and inm == etag) or (not inm and ims and last_modified and
                                               ims == last_modified):
            self.send_response(304)
            for k, v in validators:
                self.send_header(k, v)
            self.end_headers()
            self.record(304, 0)
            return
        start = 0
        rng = h.get("Range")
        if rng and rng.startswith("bytes=") and rng.endswith("-") and cut is None:
            if_range = h.get("If-Range")
            if ignore_if_range or if_range is None or if_range == etag or if_range == last_modified:
                try:
                    start = int(rng[6:-1])
                except ValueError:
                    start = 0
                if start >= len(data):
                    self.send_response(416)
                    self.send_header("Content-Range", "bytes */%d" % len(data))
                    self.send_header("Content-Length", "0")
                    self.end_headers()
                    self.record(416, 0)
                    return
        status = 206 if start > 0 else 200
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(data) - start))
        if status == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))
        self.send_header("Accept-Ranges", "bytes")
        for k, v in validators:
            self.send_header(k, v)
        if cut is not None:
            self.send_header("Connection", "close")
        self.end_headers()
        if self.command == "HEAD":
            self.record(status, 0)
            return
        if cut is not None:
            sent = self.write_body(data[:cut])
            self.close_connection = True
        else:
            sent = self.write_body(data[start:])
        self.record(status, sent)

    # ---- routes -------------------------------------------------------------------------

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        q = {k: v[-1] for k, v in urllib.parse.parse_qs(url.query, keep_blank_values=True).items()}
        path = url.path
        n = int(q.get("n", "0") or 0)
        seed = q.get("seed", "x")
        if path == "/__stats":
            with LOCK:
                SETTLED.wait_for(lambda: IN_FLIGHT[0] <= 0, timeout=2.0)
                body = json.dumps(STATS).encode()
            return self.answer(200, body, ctype="application/json")
        if path == "/__reset":
            with LOCK:
                SETTLED.wait_for(lambda: IN_FLIGHT[0] <= 0, timeout=2.0)
                STATS.update({"connections": 0, "requests": 0, "body_bytes": 0, "most_open": OPEN[0],
                              "most_busy": 0, "log": []})
                FLAKY_SEEN.clear()
                ROBOTS.clear()
                UNAVAILABLE_SEEN.clear()
            return self.answer(200, b"ok")
        if path == "/__robots":
            with LOCK:
                ROBOTS.clear()
                ROBOTS.update(q)
            return self.answer(200, b"ok")
        self.started_at = time.monotonic()
        with LOCK:
            IN_FLIGHT[0] += 1
            STATS["most_busy"] = max(STATS["most_busy"], IN_FLIGHT[0])
        if path == "/robots.txt" and ROBOTS:
            return self.serve_robots()
        route = getattr(self, "route_" + path[4:].split("/")[0].replace("-", "_"), None) \
            if path.startswith("/__/") else None
        if route:
            return route(q, n, seed)
        if self.root:
            return self.serve_static(url.path)
        return self.answer(404, b"not found")

    def do_CONNECT(self):
        host, _, port = self.path.rpartition(":")
        with LOCK:
            IN_FLIGHT[0] += 1
        if host not in ("127.0.0.1", "localhost") or not port.isdigit():
            return self.answer(403, b"loopback only")
        try:
            upstream = socket.create_connection(("127.0.0.1", int(port)), timeout=10)
        except OSError:
            return self.answer(502, b"cannot connect")
        self.send_response(200, "Connection established")
        self.end_headers()
        self.record(200, 0)
        self.close_connection = True
        ends = [self.connection, upstream]
        try:
            while not STOP.is_set():
                ready, _, _ = select.select(ends, [], [], 10)
                if not ready:
                    break
                for end in ready:
                    data = end.recv(65536)
                    if not data:
                        return
                    (upstream if end is self.connection else self.connection).sendall(data)
        except OSError:
            pass
        finally:
            upstream.close()

    def route_bytes(self, q, n, seed):
        lm = FIXED_LAST_MODIFIED if q.get("lm") == "1" else None
        self.serve_entity(body_bytes(n, seed), q.get("etag"), lm, q.get("ct", "application/octet-stream"))

    def route_flaky(self, q, n, seed):
        key = q.get("id", "")
        cut = None
        with LOCK:
            if key not in FLAKY_SEEN and "Range" not in self.headers:
                FLAKY_SEEN.add(key)
                cut = int(q.get("cut", n // 2))
        lm = FIXED_LAST_MODIFIED if q.get("lm") == "1" else None
        self.serve_entity(body_bytes(n, seed), q.get("etag"), lm, cut=cut)

    def route_splice(self, q, n, seed):
        key = "splice:" + q.get("id", "")
        with LOCK:
            first = key not in FLAKY_SEEN and "Range" not in self.headers
            FLAKY_SEEN.add(key)
        if first:
            lm = FIXED_LAST_MODIFIED if q.get("lm") == "1" else None
            return self.serve_entity(body_bytes(n, seed), q.get("etag"), lm, cut=int(q.get("cut", n // 2)))
        lm = NEWER_LAST_MODIFIED if q.get("lm") == "1" else None
        self.serve_entity(body_bytes(n, q.get("seed2", "y")), q.get("etag2"), lm, ignore_if_range=True)

    def send_chunked_head(self):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()

    def route_chunked(self, q, n, seed):
        data = body_bytes(n, seed)
        size = int(q.get("chunk", "1000"))
        self.send_chunked_head()
        sent = 0
        for i in range(0, n, size):
            piece = data[i:i + size]
            self.write_body(b"%x\r\n" % len(piece) + piece + b"\r\n")
            sent += len(piece)
        self.write_body(b"0\r\n\r\n")
        self.record(200, sent)

    def route_broken_chunked(self, q, n, seed):
        data = body_bytes(n, seed)
        size = int(q.get("chunk", "1000"))
        self.send_chunked_head()
        sent = 0
        for i in range(0, n // 2, size):
            piece = data[i:min(i + size, n // 2)]
            self.write_body(b"%x\r\n" % len(piece) + piece + b"\r\n")
            sent += len(piece)
        if q.get("how") == "garbage":
            self.write_body(b"zz-not-hex\r\n")
        else:
            self.write_body(b"%x\r\n" % size + data[:size // 2])  # a chunk cut in the middle
        self.close_connection = True
        self.record(200, sent)

    def route_nolength(self, q, n, seed):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Connection", "close")
        self.end_headers()
        sent = self.write_body(body_bytes(n, seed))
        self.close_connection = True
        self.record(200, sent)

    def route_slow(self, q, n, seed):
        data = body_bytes(n, seed)
        size = int(q.get("chunk", "100"))
        delay = int(q.get("delay", "50")) / 1000.0
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(n))
        self.end_headers()
        sent = 0
        for i in range(0, n, size):
            sent += self.write_body(data[i:i + size])
            if self.close_connection or i + size >= n or STOP.wait(delay):
                break
        self.record(200, sent)

    def route_stall(self, q, n, seed):
        after = int(q.get("after", "0"))
        secs = float(q.get("secs", "30"))
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(n))
        self.end_headers()
        sent = self.write_body(body_bytes(n, seed)[:after])
        self.record(200, sent)
        STOP.wait(secs)
        self.close_connection = True

    def route_late(self, q, n, seed):
        STOP.wait(float(q.get("ms", "300")) / 1000.0)
        self.route_bytes(q, n, seed)

    def route_hang(self, q, n, seed):
        self.record(0, 0)
        STOP.wait(float(q.get("secs", "30")))
        self.close_connection = True

    def route_drop(self, q, n, seed):
        after = int(q.get("after", str(n // 2)))
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(n))
        self.end_headers()
        sent = self.write_body(body_bytes(n, seed)[:after])
        self.close_connection = True
        self.record(200, sent)

    def route_redirect(self, q, n, seed):
        code = int(q.get("code", "302"))
        self.send_response(code)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", "5")
        if "also" in q:
            self.send_header("Content-Location", q["also"])
        # Written as given: send_header would spell the name and the blank its own way.
        line = "%s%s\r\n" % (q.get("field", "Location: "), q.get("to", "/"))
        self._headers_buffer.append(line.encode("utf-8"))
        self.end_headers()
        self.record(code, self.write_body(b"moved") if self.command != "HEAD" else 0)

    def route_loop(self, q, n, seed):
        to = self.path if q.get("same") == "1" else "/__/loop?i=%d" % (int(q.get("i", "0")) + 1)
        self.answer(302, b"moved", [("Location", to)])

    def route_overlong(self, q, n, seed):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(n))
        self.send_header("Connection", "close")
        self.end_headers()
        sent = self.write_body(body_bytes(n + int(q.get("extra", "100")), seed))
        self.close_connection = True
        self.record(200, sent)

    def route_status(self, q, n, seed):
        code = int(q.get("code", "404"))
        self.answer(code, ("status %d" % code).encode())

    def serve_robots(self):
        with LOCK:
            robots = dict(ROBOTS)
        if "to" in robots:
            return self.answer(302, b"moved", [("Location", robots["to"])])
        self.answer(int(robots.get("status", "200")), robots.get("body", "").encode())

    def route_unavailable(self, q, n, seed):
        key = q.get("id", "")
        with LOCK:
            seen = UNAVAILABLE_SEEN.get(key, 0)
            UNAVAILABLE_SEEN[key] = seen + 1
        if seen >= int(q.get("times", "1")):
            return self.answer(200, body_bytes(n, seed), ctype="application/octet-stream")
        code = int(q.get("code", "503"))
        if code == 0:
            self.record(0, 0)
            self.close_connection = True
            return
        headers = [("Retry-After", q["retry"])] if "retry" in q else []
        self.answer(code, ("status %d" % code).encode(), headers)

    def route_headers(self, q, n, seed):
        text = "".join("%s: %s\n" % (k, v) for k, v in self.headers.items())
        self.answer(200, text.encode())

    def route_cookie(self, q, n, seed):
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query, keep_blank_values=True)
        etag = q.get("etag")
        validators = [("ETag", etag)] if etag else []
        if etag and self.headers.get("If-None-Match") == etag:
            self.send_response(304)
            for k, v in validators + [("Set-Cookie", v) for v in query.get("set304", [])]:
                self.send_header(k, v)
            self.end_headers()
            self.record(304, 0)
            return
        body = q.get("body", "ok").encode()
        self.answer(200, body, validators + [("Set-Cookie", v) for v in query.get("set", [])],
                    ctype=q.get("ct", "text/html"))

    def route_chain(self, q, n, seed):
        parts = urllib.parse.urlsplit(self.path).path.split("/")
        try:
            count, i = int(parts[3]), int(parts[4].split(".")[0])
        except (IndexError, ValueError):
            return self.answer(404, b"not found")
        link = "<a href=%d.html>next</a>" % (i + 1) if i + 1 < count else "the end"
        self.answer_at_once(200, ("<html>%d %s</html>" % (i, link)).encode(), ctype="text/html")

    @staticmethod
    def expected_login(q):
        import base64
        pw = base64.b64decode(q["pw64"]).decode() if "pw64" in q else q.get("pw", "pw")
        return q.get("user", "user"), pw

    def welcome(self, q, user):
        headers = [("ETag", q["etag"])] if "etag" in q else []
        self.answer(200, ("welcome %s" % user).encode(), headers)

    def route_basic(self, q, n, seed):
        import base64
        user, pw = self.expected_login(q)
        want = "Basic " + base64.b64encode(("%s:%s" % (user, pw)).encode()).decode()
        if self.headers.get("Authorization") == want:
            return self.welcome(q, user)
        realm = q.get("realm", "trawlkit")
        self.answer(401, b"who are you?", [("WWW-Authenticate", 'Basic realm="%s"' % realm)])

    def route_digest(self, q, n, seed):
        user, pw = self.expected_login(q)
        realm = q.get("realm", "trawlkit")
        auth = self.headers.get("Authorization", "")
        if auth.startswith("Digest ") and self.digest_ok(auth[7:], user, pw, realm):
            return self.welcome(q, user)
        challenge = 'Digest realm="%s", qop="auth", nonce="%s", algorithm=MD5' % (realm, NONCE)
        self.answer(401, b"who are you?", [("WWW-Authenticate", challenge)])

    def digest_ok(self, text, user, pw, realm):
        fields = {}
        for part in _split_auth(text):
            k, _, v = part.partition("=")
            fields[k.strip().lower()] = v.strip().strip('"')
        if fields.get("username") != user or fields.get("nonce") != NONCE:
            return False
        md5 = lambda s: hashlib.md5(s.encode()).hexdigest()
        ha1 = md5("%s:%s:%s" % (user, realm, pw))
        ha2 = md5("%s:%s" % (self.command, fields.get("uri", "")))
        if fields.get("qop"):
            expect = md5("%s:%s:%s:%s:%s:%s" % (ha1, NONCE, fields.get("nc", ""),
                                                fields.get("cnonce", ""), fields["qop"], ha2))
        else:
            expect = md5("%s:%s:%s" % (ha1, NONCE, ha2))
        return fields.get("response") == expect

    # ---- static tree --------------------------------------------------------------------

    def serve_static(self, path):
        rel = urllib.parse.unquote(path).lstrip("/")
        full = os.path.realpath(os.path.join(self.root, rel))
        if full != self.root and not full.startswith(self.root + os.sep):
            return self.answer(404, b"not found")
        if os.path.isdir(full):
            full = os.path.join(full, "index.html")
        if not os.path.isfile(full):
            return self.answer(404, b"not found")
        with open(full, "rb") as f:
            data = f.read()
        st = os.stat(full)
        etag = '"%x-%x"' % (int(st.st_mtime), st.st_size)
        lm = email.utils.formatdate(st.st_mtime, usegmt=True)
        ctype = mimetypes.guess_type(full)[0] or "application/octet-stream"
        if ctype.startswith("text/"):
            ctype += "; charset=utf-8" if ctype == "text/html" else ""
        self.serve_entity(data, etag, lm, ctype)


def _split_auth(text):
    parts, cur, quoted = [], "", False
    for ch in text:
        if ch == '"':
            quoted = not quoted
        if ch == "," and not quoted:
            parts.append(cur)
            cur = ""
        else:
            cur += ch
    if cur.strip():
        parts.append(cur)
    return parts


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    one_connection = ""
    active = 0
    lock = threading.Lock()
    slot = threading.Semaphore(1)

    def process_request_thread(self, request, client_address):
        if self.one_connection == "queue":
            with self.slot:
                super().process_request_thread(request, client_address)
            return
        if self.one_connection == "refuse":
            with self.lock:
                busy = self.active > 0
                if not busy:
                    self.active += 1
            if busy:
                try:
                    request.recv(65536)
                    request.sendall(b"HTTP/1.1 503 Service Unavailable\r\nContent-Length: 4\r\n"
                                    b"Connection: close\r\n\r\nbusy")
                except OSError:
                    pass
                self.shutdown_request(request)
                return
            try:
                super().process_request_thread(request, client_address)
            finally:
                with self.lock:
                    self.active -= 1
            return
        super().process_request_thread(request, client_address)

    def handle_error(self, request, client_address):
        # A client that hangs up mid-answer is what several tests do on purpose.
        if not isinstance(sys.exc_info()[1], (ConnectionError, TimeoutError)):
            super().handle_error(request, client_address)


class TlsServer(Server):
    """The same server behind TLS. The handshake runs on the connection's own thread, so a client
    that hangs in it, or refuses the certificate, holds up nobody else."""
    context = None

    def get_request(self):
        sock, addr = self.socket.accept()
        return self.context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False), addr

    def process_request_thread(self, request, client_address):
        try:
            request.settimeout(10)
            request.do_handshake()
            request.settimeout(None)
        except (OSError, ValueError):
            self.shutdown_request(request)
            return
        super().process_request_thread(request, client_address)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=None)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--watch-stdin", action="store_true")
    parser.add_argument("--one-connection", choices=["queue", "refuse"], default="")
    parser.add_argument("--tls-cert", default=None)
    parser.add_argument("--tls-key", default=None)
    args = parser.parse_args()
    mimetypes.add_type("text/html", ".html")
    mimetypes.add_type("text/html", ".htm")
    # Pages made by a program, as a site serves them.
    mimetypes.add_type("text/html", ".php")
    mimetypes.add_type("text/html", ".cgi")
    mimetypes.add_type("text/css", ".css")
    mimetypes.add_type("application/javascript", ".js")
    if args.root:
        Handler.root = os.path.realpath(args.root)
    servers = []
    if args.tls_cert:
        import ssl
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls_cert, args.tls_key)
        context.set_alpn_protocols(["http/1.1"])
        TlsServer.context = context
        servers.append(TlsServer(("127.0.0.1", args.port), Handler))
    servers.append(Server(("127.0.0.1", 0 if args.tls_cert else args.port), Handler))
    for server in servers:
        server.one_connection = args.one_connection

    def stop(*_):
        STOP.set()
        for server in servers:
            threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        except Exception:
            pass
        stop()

    if args.watch_stdin:
        threading.Thread(target=watch_stdin, daemon=True).start()
    line = "PORT %d" % servers[0].server_address[1]
    if len(servers) > 1:
        line += " PLAIN %d" % servers[1].server_address[1]
        threading.Thread(target=servers[1].serve_forever, kwargs={"poll_interval": 0.1},
                         daemon=True).start()
    print(line, flush=True)
    servers[0].serve_forever(poll_interval=0.1)
    for server in servers:
        server.server_close()


if __name__ == "__main__":
    main()
