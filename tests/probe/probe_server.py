#!/usr/bin/env python3
"""Loopback HTTP server for the stream checker's tests and benchmark.

Usage: probe_server.py ROOT

Listens on 127.0.0.1 at a free port and prints "PORT <n>" once it listens.
The first part of a request path picks the behaviour; a query string is
ignored, so one file can stand for many addresses:

  /FILE                 the file under ROOT (404 with an HTML page when missing)
  /silent/...           reads the request and never answers
  /stall/...            sends the headers of a TS answer, then nothing
  /trickle/FILE         the headers, then FILE at one byte a second
  /loop/...             302 to the same path, for ever
  /headers/FILE         FILE, after appending the request's headers to
                        ROOT/headers.log
Every request path is appended to ROOT/requests.log first.
"""
import http.server
import os
import socketserver
import sys
import threading
import time

ROOT = os.path.realpath(sys.argv[1])
LOG_LOCK = threading.Lock()
FOR_EVER = 3600


def kind_of(path):
    if path.endswith(".html"):
        return "text/html"
    if path.endswith(".m3u8"):
        return "application/vnd.apple.mpegurl"
    return "video/mp2t"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        with LOG_LOCK, open(os.path.join(ROOT, "requests.log"), "a") as log:
            log.write(self.path + "\n")
        first, _, rest = path.lstrip("/").partition("/")
        if first == "silent":
            time.sleep(FOR_EVER)
        elif first == "stall":
            self.headers_only("video/mp2t")
            time.sleep(FOR_EVER)
        elif first == "trickle":
            self.trickle(rest)
        elif first == "loop":
            self.send_response(302)
            self.send_header("Location", self.path)
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif first == "headers":
            with LOG_LOCK, open(os.path.join(ROOT, "headers.log"), "a") as log:
                log.write(str(self.headers) + "\n")
            self.serve_file(rest)
        else:
            self.serve_file(path.lstrip("/"))

    def headers_only(self, kind):
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.end_headers()
        self.wfile.flush()

    def local(self, name):
        path = os.path.normpath(os.path.join(ROOT, name))
        return path if path.startswith(ROOT + os.sep) and os.path.isfile(path) else None

    def serve_file(self, name):
        path = self.local(name)
        if path is None:
            body = b"<html><body><h1>404 Not Found</h1></body></html>"
            self.send_response(404)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        with open(path, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", kind_of(path))
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def trickle(self, name):
        path = self.local(name)
        self.headers_only("video/mp2t")
        with open(path, "rb") as f:
            for byte in iter(lambda: f.read(1), b""):
                try:
                    self.wfile.write(byte)
                    self.wfile.flush()
                except (BrokenPipeError, ConnectionResetError):
                    return
                time.sleep(1)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 256


def main():
    server = Server(("127.0.0.1", 0), Handler)
    print("PORT", server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
