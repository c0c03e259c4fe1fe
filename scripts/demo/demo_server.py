#!/usr/bin/env python3
"""Serves the pages the program reaches on 127.0.0.1 while it is tried out:
the blog article whose heading carries the current version, the download
page opened on a version mismatch, and the chat page of the settings window.

The version in the heading is ZOQ_DEMO_VERSION (1.2, the program's own, when
unset), so `ZOQ_DEMO_VERSION=1.3 scripts/run` shows the mismatch path.
"""
import argparse
import html
import os
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

HERE = Path(__file__).resolve().parent
ARTICLE_PATH = "/blog/zoq/article/1.html"
DOWNLOAD_PATH = "/share/zoq"
CHAT_PATH = "/msgrd"

DOWNLOAD_PAGE = """<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>小左的网盘</title></head>
<body><h1>小左的网盘</h1>
<p>Ｚｏｑ个人播放器 {version}：这是演示用的下载页面，这里没有真正的文件。</p>
</body></html>
"""

CHAT_PAGE = """<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>在线聊天</title></head>
<body><p>演示用的聊天页面：这里不会连接任何聊天服务。</p></body></html>
"""


def article(version):
    template = (HERE / "article.html").read_text(encoding="utf-8")
    return template.replace("{version}", html.escape(version, quote=False))


class Handler(BaseHTTPRequestHandler):
    server_version = "ZoqDemo/1.0"
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        version = self.server.version
        if path == ARTICLE_PATH:
            self.reply(200, article(version))
        elif path == DOWNLOAD_PATH:
            self.reply(200, DOWNLOAD_PAGE.replace("{version}", html.escape(version)))
        elif path == CHAT_PATH:
            self.reply(200, CHAT_PAGE)
        else:
            self.reply(404, "<!DOCTYPE html><title>404</title><p>没有这个页面。</p>\n")

    def reply(self, status, page):
        body = page.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format, *args):
        if not self.server.quiet:
            sys.stderr.write("demo server: %s\n" % (format % args))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=18080)
    parser.add_argument("--quiet", action="store_true")
    parser.add_argument("--ready-file", help="written once the port is bound")
    args = parser.parse_args()

    # Loopback only: nothing outside this machine ever reaches the demo.
    try:
        server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    except OSError as e:
        sys.stderr.write("demo server: cannot listen on 127.0.0.1:%d: %s\n" % (args.port, e.strerror))
        sys.exit(3)
    if args.ready_file:
        Path(args.ready_file).write_text("bound\n")
    server.daemon_threads = True
    server.version = os.environ.get("ZOQ_DEMO_VERSION", "1.2")
    server.quiet = args.quiet
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
