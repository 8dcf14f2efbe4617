#!/usr/bin/env python3
"""A loopback provider of the "player API" kind for the account tests.

Prints "PORT <n>" once it listens on 127.0.0.1. Accounts (user, password "pw"):
  good     active until 2099, streams of every sort (see STREAMS)
  old      expired
  hls      active, HLS only
  many     active, 50,000 plain streams
  mixed    active, every other entry of a wrong type or without fields
  html     (any password) answers with an HTML page
Any other password answers {"user_info": {"auth": 0}}.
"""
import http.server
import json
import socketserver
import sys
import time
import urllib.parse

CATEGORIES = [{"category_id": "1", "category_name": "UK | News", "parent_id": 0},
              {"category_id": 2, "category_name": "Sport", "parent_id": 0}]
STREAMS = [
    {"num": 1, "name": "UK: BBC One HD", "stream_id": 1477, "stream_icon": "", "category_id": "1",
     "epg_channel_id": "bbc1.uk", "is_adult": "0", "tv_archive": 1, "tv_archive_duration": "7"},
    {"num": 2, "name": "Arena Sport", "stream_id": "1500", "category_id": 2,
     "epg_channel_id": None, "is_adult": 0, "tv_archive": 0},
    {"num": 3, "name": "DE | Late Night", "stream_id": 1600, "category_id": "2", "is_adult": "1"},
    {"num": 4, "name": "Broken id", "stream_id": "x12"},
    {"num": 5, "name": "No id"},
]


def streams_of(user):
    if user == "many":
        return [{"name": f"Channel {i}", "stream_id": i + 1, "category_id": "1",
                 "epg_channel_id": f"ch{i}.example"} for i in range(50000)]
    if user == "mixed":
        out = []
        for i in range(200):
            if i % 2:
                out.append([{"name": 1}, "text", None, {"stream_id": {"a": 1}}, {"name": ["x"]}][i % 5])
            else:
                out.append({"name": f"Mixed {i}", "stream_id": i + 1})
        return out
    return STREAMS


def account(user, password):
    if password != "pw" or user not in ("good", "old", "hls", "many", "mixed"):
        return {"user_info": {"auth": 0}}
    now = int(time.time())
    info = {"username": user, "password": password, "auth": 1,
            "status": "Expired" if user == "old" else "Active",
            "exp_date": str(now - 86400 if user == "old" else 4070908800),
            "active_cons": "0", "max_connections": "2",
            "allowed_output_formats": ["m3u8"] if user == "hls" else ["m3u8", "ts"]}
    server = {"url": "127.0.0.1", "timezone": "Europe/London", "timestamp_now": now,
              "time_now": time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(now + 3600))}
    return {"user_info": info, "server_info": server}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def send(self, body, kind="application/json"):
        data = body.encode() if isinstance(body, str) else body
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        user, password = query.get("username", ""), query.get("password", "")
        if user == "html":
            return self.send("<html><body>Welcome</body></html>", "text/html")
        if url.path != "/player_api.php":
            self.send_response(404)
            self.end_headers()
            return
        answer = account(user, password)
        action = query.get("action")
        if action and answer["user_info"].get("auth") == 1:
            answer = CATEGORIES if action == "get_live_categories" else streams_of(user)
        elif action:
            answer = []
        self.send(json.dumps(answer))


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
print(f"PORT {server.server_address[1]}", flush=True)
server.serve_forever()
