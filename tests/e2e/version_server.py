#!/usr/bin/env python3
"""Loopback HTTP server for the end-to-end tests and benchmarks of the start-up
version check.

It answers every GET with the same page (the bytes of --body, or an empty body
without it) and keeps each request's raw bytes, exactly as received, in
--record-dir as request-1.bin, request-2.bin, ... With --delay-file it
answers each request that many milliseconds late, as read from that file
then (a server across the internet; no file, no delay). When it listens it
prints "ready" on stdout, so a caller can start the program only then.
"""
import argparse
import socket
import socketserver
import sys
import threading
import time
from pathlib import Path

HEAD_LIMIT = 64 * 1024


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True

    def __init__(self, port, body, record_dir, delay_file=None):
        super().__init__(("127.0.0.1", port), Handler)
        self.body = body
        self.record_dir = record_dir
        self.delay_file = delay_file
        self.count = 0
        self.lock = threading.Lock()

    def delay(self):
        try:
            return int(self.delay_file.read_text()) / 1000 if self.delay_file else 0
        except (OSError, ValueError):
            return 0

    def record(self, raw):
        with self.lock:
            self.count += 1
            n = self.count
        if self.record_dir:
            (self.record_dir / f"request-{n}.bin").write_bytes(raw)


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        sock.settimeout(10)
        raw = b""
        try:
            while b"\r\n\r\n" not in raw and len(raw) < HEAD_LIMIT:
                piece = sock.recv(4096)
                if not piece:
                    break
                raw += piece
        except OSError:
            pass
        self.server.record(raw)
        if b"\r\n\r\n" not in raw:
            return
        time.sleep(self.server.delay())
        body = self.server.body
        head = (
            "HTTP/1.1 200 OK\r\n"
            "Content-Type: text/html; charset=utf-8\r\n"
            f"Content-Length: {len(body)}\r\n"
            "Connection: close\r\n"
            "\r\n"
        ).encode("ascii")
        try:
            sock.sendall(head)
            view = memoryview(body)
            for start in range(0, len(body), 1 << 20):
                sock.sendall(view[start:start + (1 << 20)])
            sock.shutdown(socket.SHUT_WR)
        except OSError:
            pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--body", type=Path)
    parser.add_argument("--record-dir", type=Path)
    parser.add_argument("--delay-file", type=Path)
    args = parser.parse_args()

    body = args.body.read_bytes() if args.body else b""
    # A port just given up by another run can take a moment to come free.
    for attempt in range(50):
        try:
            server = Server(args.port, body, args.record_dir, args.delay_file)
            break
        except OSError as error:
            if attempt == 49:
                sys.exit(f"version server: cannot listen on 127.0.0.1:{args.port}: {error}")
            time.sleep(0.1)
    print("ready", flush=True)
    try:
        server.serve_forever(poll_interval=0.1)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    sys.exit(main())
