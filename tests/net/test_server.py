#!/usr/bin/env python3
"""Loopback HTTP server for the network tests.

Usage: test_server.py ROOT [CERT KEY]

With CERT and KEY (PEM files) the server speaks TLS (https).

Listens on 127.0.0.1 on a free port and prints the port on the first line of
stdout. Serves the files under ROOT. ROOT/rules.json, read at every request,
maps a request path to a behaviour:

  {"mode": "file"}                      the file (default; 404 page when missing), with
                                        ETag and Last-Modified; 304 when the request's
                                        If-None-Match or If-Modified-Since still holds
  {"mode": "404"}                       a 404 answer with an HTML page
  {"mode": "short"}                     announces the file's length, sends half, closes
  {"mode": "stall"}                     announces the length, sends half, then nothing
  {"mode": "stall_headers"}             accepts the request and never answers
  {"mode": "reset"}                     sends half the body, then resets the connection
  {"mode": "redirect", "to": "/path"}   302 to another path (or absolute URL)
  {"mode": "chunks"}                    the file in chunks of different sizes, with pauses
  {"mode": "delay", "seconds": 1.5}     the file after a pause
  {"mode": "echo"}                      the request line and headers as the body
  {"mode": "drip"}                      announces the length, then one byte every half second
  {"mode": "trickle"}                   announces a huge length, then 4 KiB every half second

Every request path is appended to ROOT/requests.log.
"""

import email.utils
import hashlib
import json
import os
import socket
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ROOT = os.path.abspath(sys.argv[1])
LOG_LOCK = threading.Lock()

NOT_FOUND_PAGE = (b"<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head>"
                  b"<body><h1>Not Found</h1><p>The requested URL was not found.</p></body></html>\n")


def rules():
    try:
        with open(os.path.join(ROOT, "rules.json"), "rb") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def file_mtime(path):
    local = os.path.normpath(os.path.join(ROOT, path.lstrip("/")))
    return int(os.path.getmtime(local)) if os.path.isfile(local) else 0


def file_bytes(path):
    local = os.path.normpath(os.path.join(ROOT, path.lstrip("/")))
    if not local.startswith(ROOT) or not os.path.isfile(local):
        return None
    with open(local, "rb") as f:
        return f.read()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body, content_type="application/octet-stream", length=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        with LOG_LOCK, open(os.path.join(ROOT, "requests.log"), "a") as log:
            log.write(path + "\n")
        rule = rules().get(path, {"mode": "file"})
        mode = rule.get("mode", "file")
        body = file_bytes(path)
        if body is None and mode in ("file", "short", "stall", "reset", "chunks", "delay"):
            body = bytes(range(256)) * 16  # something to cut short when no file is given
            if mode in ("file", "delay"):
                mode = "404"

        if mode == "404":
            self.answer(404, NOT_FOUND_PAGE, "text/html")
            self.wfile.write(NOT_FOUND_PAGE)
        elif mode == "file":
            etag = '"%s"' % hashlib.md5(body).hexdigest()
            modified = file_mtime(path)
            asked_etag = self.headers.get("If-None-Match")
            asked_since = self.headers.get("If-Modified-Since")
            unchanged = asked_etag == etag if asked_etag else False
            if not asked_etag and asked_since:
                try:
                    unchanged = email.utils.parsedate_to_datetime(asked_since).timestamp() >= modified
                except (TypeError, ValueError):
                    unchanged = False
            self.send_response(304 if unchanged else 200)
            self.send_header("ETag", etag)
            self.send_header("Last-Modified", email.utils.formatdate(modified, usegmt=True))
            self.send_header("Content-Length", "0" if unchanged else str(len(body)))
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            if not unchanged:
                self.wfile.write(body)
        elif mode == "drip":
            self.answer(200, body)
            for i in range(len(body)):
                self.wfile.write(body[i:i + 1])
                self.wfile.flush()
                time.sleep(0.5)
        elif mode == "trickle":
            self.answer(200, b"", length=1 << 30)
            for _ in range(7200):
                self.wfile.write(b"x" * 4096)
                self.wfile.flush()
                time.sleep(0.5)
        elif mode == "delay":
            time.sleep(float(rule.get("seconds", 1.0)))
            self.answer(200, body)
            self.wfile.write(body)
        elif mode == "short":
            self.answer(200, body)
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
        elif mode == "stall":
            self.answer(200, body)
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            time.sleep(3600)
        elif mode == "stall_headers":
            time.sleep(3600)
        elif mode == "reset":
            self.answer(200, body)
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            time.sleep(0.1)
            # Linger 0: closing sends a reset instead of an orderly end.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
        elif mode == "redirect":
            self.send_response(302)
            self.send_header("Location", rule["to"])
            self.send_header("Content-Length", "0")
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
        elif mode == "chunks":
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Transfer-Encoding", "chunked")
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            sizes = [1, 7, 300, 4096, 13, 65536]
            at, turn = 0, 0
            while at < len(body):
                piece = body[at: at + sizes[turn % len(sizes)]]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                self.wfile.flush()
                at += len(piece)
                turn += 1
                time.sleep(0.005)
            self.wfile.write(b"0\r\n\r\n")
        elif mode == "echo":
            text = (self.requestline + "\r\n" + str(self.headers)).encode("latin-1")
            self.answer(200, text, "text/plain")
            self.wfile.write(text)
        else:
            self.answer(500, b"unknown mode")
            self.wfile.write(b"unknown mode")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    server = Server(("127.0.0.1", 0), Handler)
    if len(sys.argv) >= 4:
        import ssl
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
