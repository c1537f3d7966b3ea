#!/usr/bin/python3
"""FTP test server for Trawlkit's tests: Debian's pyftpdlib with anonymous read access.

Run: /usr/bin/python3 ftp_test_server.py --root DIR [--no-active] [--no-connect-back]
                                         [--no-passive] [--no-mlsd] [--watch-stdin]
It binds 127.0.0.1 on a free port and prints one line "PORT <n>" on stdout once it accepts
connections. Anonymous users read DIR (no writes). --no-active refuses PORT and EPRT (so a
client must fall back to passive mode), --no-connect-back takes PORT and EPRT but answers the
transfer that follows with 425, as a server behind a firewall does that cannot reach the client
(vsftpd's way: the refusal comes with the command, not with PORT), --no-passive refuses PASV and EPSV, --no-mlsd hides
MLSD/MLST (so a client must parse LIST). It stops on SIGTERM or SIGINT, and with --watch-stdin
also when its standard input closes.

Each command the server receives is appended to the file named by --log, one per line, as
"<session number> <command line>" (passwords are never sent by anonymous clients that matter).
"""

import argparse
import logging
import os
import signal
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

SESSIONS = [0]
# The commands that open a data connection.
TRANSFERS = ("LIST", "NLST", "MLSD", "RETR", "STOR", "STOU", "APPE")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--no-active", action="store_true")
    parser.add_argument("--no-connect-back", action="store_true")
    parser.add_argument("--no-passive", action="store_true")
    parser.add_argument("--no-mlsd", action="store_true")
    parser.add_argument("--watch-stdin", action="store_true")
    parser.add_argument("--log", default=None)
    args = parser.parse_args()
    logging.basicConfig(level=logging.CRITICAL)

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.root)
    authorizer.add_user("tkuser", "tkpass", args.root, perm="elr")

    log = open(args.log, "a", buffering=1) if args.log else None

    class Handler(FTPHandler):
        proto_cmds = dict(FTPHandler.proto_cmds)
        if args.no_active:
            for c in ("PORT", "EPRT"):
                proto_cmds.pop(c, None)
        if args.no_passive:
            for c in ("PASV", "EPSV"):
                proto_cmds.pop(c, None)
        if args.no_mlsd:
            for c in ("MLSD", "MLST"):
                proto_cmds.pop(c, None)

        def on_connect(self):
            SESSIONS[0] += 1
            self.session_number = SESSIONS[0]
            self.port_taken = False

        def _make_eport(self, ip, port):
            if not args.no_connect_back:
                return super()._make_eport(ip, port)
            # Taken, but never connected to: the next transfer command fails.
            self._shutdown_connecting_dtp()
            if self.data_channel is not None:
                self.data_channel.close()
                self.data_channel = None
            self.port_taken = True
            self.respond("200 PORT command successful. Consider using PASV.")

        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write("%d %s\n" % (self.session_number, line if cmd != "PASS" else "PASS ***"))
            if cmd in ("PASV", "EPSV"):
                self.port_taken = False
            elif self.port_taken and cmd in TRANSFERS and cmd in self.proto_cmds:
                self.port_taken = False
                self.respond("425 Failed to establish connection.")
                return
            return super().pre_process_command(line, cmd, arg)

    Handler.authorizer = authorizer
    Handler.banner = "trawlkit test ftpd"
    Handler.permit_foreign_addresses = False
    server = FTPServer(("127.0.0.1", 0), Handler)

    def stop(*_):
        server.close_all()
        os._exit(0)  # not sys.exit: a daemon thread may hold stdin

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    if args.watch_stdin:
        def watch():
            try:
                while sys.stdin.buffer.read(4096):
                    pass
            except Exception:
                pass
            os.kill(os.getpid(), signal.SIGTERM)
        threading.Thread(target=watch, daemon=True).start()

    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(timeout=0.2)


if __name__ == "__main__":
    main()
