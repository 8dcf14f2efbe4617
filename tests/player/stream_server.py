#!/usr/bin/env python3
"""Loopback HTTP server for the player tests and benchmarks.

Serves the files of --root on 127.0.0.1 and prints "PORT <n>" on its first
output line once it listens, so callers never race for a free port.

  --pace BYTES_PER_SECOND   send file bodies at that rate (a live-like stream)
  --die-after BYTES         end the whole process once that many body bytes
                            of one response were sent (a server that dies
                            mid-stream)
  --stall-after BYTES       once that many body bytes of one response were
                            sent, send nothing more but keep the connection
                            open (a stalled server) ...
  --stall-seconds S         ... for S seconds, then go on (default: for ever)
  --require-agent TEXT      answer 403 to every request whose User-Agent is
                            not TEXT (a provider that checks its players)
Missing files get a 404 HTML page; "*.html" files are served as text/html.
"""
import argparse
import http.server
import os
import socketserver
import sys
import time


def make_handler(root, pace, die_after, stall_after, stall_seconds, require_agent):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.0"

        def log_message(self, fmt, *args):
            pass

        def do_GET(self):
            path = os.path.normpath(os.path.join(root, self.path.split("?")[0].lstrip("/")))
            if require_agent is not None and self.headers.get("User-Agent") != require_agent:
                self.send_error(403)
                return
            if not path.startswith(root) or not os.path.isfile(path):
                body = b"<html><body><h1>404 Not Found</h1></body></html>"
                self.send_response(404)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                return
            size = os.path.getsize(path)
            self.send_response(200)
            if path.endswith(".html"):
                kind = "text/html"
            elif path.endswith(".m3u8"):
                kind = "application/vnd.apple.mpegurl"
            else:
                kind = "video/mp2t"
            self.send_header("Content-Type", kind)
            if pace is None:
                self.send_header("Content-Length", str(size))
            self.end_headers()
            self.send_body(path)

        def send_body(self, path):
            sent = 0
            stalled = False
            start = time.monotonic()
            chunk = 4096
            with open(path, "rb") as f:
                while True:
                    data = f.read(chunk)
                    if not data:
                        return
                    try:
                        self.wfile.write(data)
                        self.wfile.flush()
                    except (BrokenPipeError, ConnectionResetError):
                        return
                    sent += len(data)
                    if die_after is not None and sent >= die_after:
                        os._exit(0)
                    if stall_after is not None and sent >= stall_after and not stalled:
                        stalled = True
                        time.sleep(stall_seconds if stall_seconds is not None else 3600)
                        # Paced from here on as if the stall had not been.
                        start = time.monotonic() - sent / pace if pace else start
                    if pace:
                        ahead = sent / pace - (time.monotonic() - start)
                        if ahead > 0:
                            time.sleep(ahead)

    return Handler


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--pace", type=float, default=None)
    parser.add_argument("--die-after", type=int, default=None)
    parser.add_argument("--stall-after", type=int, default=None)
    parser.add_argument("--stall-seconds", type=float, default=None)
    parser.add_argument("--require-agent", default=None)
    args = parser.parse_args()
    root = os.path.realpath(args.root)
    server = Server(("127.0.0.1", args.port), make_handler(root, args.pace, args.die_after,
                                                           args.stall_after, args.stall_seconds,
                                                           args.require_agent))
    print("PORT", server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
