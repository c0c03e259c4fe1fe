#!/usr/bin/env python3
"""Drives the settings window of the real program under Xvfb.

The program (a build whose version page is on 127.0.0.1, --version-url)
passes its start-up check against a page this script serves itself. Then:
the gear opens "个人设置"; a title typed into 编辑框1 (Chinese and spaces)
and 按钮1 give the main window exactly that title and close the settings
window; a second gear click while the window is open shows no second one;
图形按钮1 hands the contact address (--contact-url) to a recording fake
`xdg-open` first in PATH; closing the main window while the settings window
is open ends the program with exit code 0.

Everything it starts it stops again by PID.
"""
import argparse
import ctypes
import ctypes.util
import http.server
import os
import subprocess
import sys
import tempfile
import threading
import time
import traceback
from pathlib import Path
from urllib.parse import urlsplit

MAIN_TITLE = "Ｚｏｑ个人播放器"
SETTINGS_TITLE = "个人设置"
NEW_TITLE = "我的 小 播放器 2"

# Client-area points of the controls clicked (centres, from the layouts).
GEAR = (728, 280)        # main window 图形按钮1, 712,256 72x48, cut at 748
TITLE_EDIT = (128, 48)   # settings 编辑框1, 0,32 256x32
TITLE_BUTTON = (248, 104)  # settings 按钮1, 160,80 176x48
CONTACT = (236, 548)     # settings 图形按钮1, 120,496 232x104


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, predicate, timeout, interval=0.1):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


class VersionPage(http.server.BaseHTTPRequestHandler):
    body = ('<html><head><meta charset="utf-8"></head><body>'
            '<h2 class="title">1.2</h2></body></html>').encode("utf-8")

    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(self.body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(self.body)

    def log_message(self, *args):
        pass


def send_close(display, window):
    """Asks a window to close the way a window manager does (WM_DELETE_WINDOW)."""

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    check(dpy, f"cannot open display {display}")
    event = Event()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = int(window)
    event.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    event.xclient.data[1] = 0  # CurrentTime
    x11.XSendEvent(dpy, int(window), 0, 0, ctypes.byref(event))
    x11.XFlush(dpy)
    x11.XCloseDisplay(dpy)


class Session:
    def __init__(self, program, version_url):
        self.program = program
        self.version_url = version_url
        self.dir = Path(tempfile.mkdtemp(prefix="zoq-settings-e2e-"))
        self.procs = []
        self.server = None
        self.display = None
        self.app = None
        self.browser_log = self.dir / "xdg-open.log"

    def spawn(self, args, **kwargs):
        proc = subprocess.Popen(args, **kwargs)
        self.procs.append(proc)
        return proc

    def stop_all(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=3)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        if self.server:
            self.server.shutdown()
            self.server.server_close()

    def start_server(self):
        port = urlsplit(self.version_url).port or 80
        try:
            self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), VersionPage)
        except OSError as error:
            raise Failure(f"cannot serve the version page on 127.0.0.1:{port}: {error}")
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def start_display(self):
        read_fd, write_fd = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write_fd), "-noreset", "-nolisten", "tcp",
                    "-screen", "0", "1024x768x24"],
                   pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        check(number, "Xvfb did not report a display")
        self.display = ":" + number

    def start_program(self):
        bin_dir = self.dir / "bin"
        bin_dir.mkdir()
        fake = bin_dir / "xdg-open"
        fake.write_text(f"#!/bin/sh\nprintf '%s\\n' \"$*\" >> '{self.browser_log}'\n")
        fake.chmod(0o755)
        env = dict(os.environ)
        env.update(DISPLAY=self.display, PATH=f"{bin_dir}:{env.get('PATH', '/usr/bin:/bin')}",
                   QT_QPA_PLATFORM="xcb", HOME=str(self.dir), XDG_RUNTIME_DIR=str(self.dir))
        env.pop("WAYLAND_DISPLAY", None)
        self.app = self.spawn([self.program], env=env, stdout=subprocess.DEVNULL)

    # --- X ---
    def xdotool(self, *args, timeout=10):
        out = subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=self.display),
                             capture_output=True, text=True, encoding="utf-8", timeout=timeout)
        return out.stdout.strip()

    def windows(self, title):
        """Visible top-level windows with exactly this title."""
        found = self.xdotool("search", "--onlyvisible", "--name", f"^{title}$")
        return [w for w in found.split() if w]

    def title_of(self, window):
        out = subprocess.run(["xprop", "-display", self.display, "-id", window, "_NET_WM_NAME"],
                             capture_output=True, text=True, encoding="utf-8")
        text = out.stdout.strip()
        return text.split(" = ", 1)[1][1:-1] if " = " in text else None

    def is_modal(self, window):
        out = subprocess.run(["xprop", "-display", self.display, "-id", window,
                              "_NET_WM_STATE"], capture_output=True, text=True)
        return "_NET_WM_STATE_MODAL" in out.stdout

    def click(self, window, point):
        self.xdotool("mousemove", "--window", window, str(point[0]), str(point[1]),
                     "click", "1")

    def press_return(self, window):
        self.xdotool("windowfocus", "--sync", window, "key", "Return")

    def dismiss_box(self, caption, timeout=15):
        """Waits for a modal box with this caption and presses Return on it."""
        box = wait_for(f"the message box {caption!r}",
                       lambda: [w for w in self.windows(caption) if self.is_modal(w)], timeout)[0]
        self.press_return(box)
        wait_for(f"the message box {caption!r} to go", lambda: box not in self.windows(caption),
                 10)

    def browser_calls(self):
        if not self.browser_log.exists():
            return []
        return self.browser_log.read_text().splitlines()


def run(args, session):
    session.start_server()
    session.start_display()
    session.start_program()

    # Start-up: the version matches, its box is dismissed, the main window shows.
    session.dismiss_box(MAIN_TITLE, timeout=30)
    main = wait_for("the main window",
                    lambda: [w for w in session.windows(MAIN_TITLE) if not session.is_modal(w)],
                    15)[0]
    time.sleep(0.3)

    # The gear opens the settings window.
    session.click(main, GEAR)
    settings = wait_for("the settings window", lambda: session.windows(SETTINGS_TITLE), 10)[0]
    time.sleep(0.3)

    # A second click while it is open shows no second window.
    session.click(main, GEAR)
    time.sleep(0.5)
    check(session.windows(SETTINGS_TITLE) == [settings],
          f"settings windows after a second click: {session.windows(SETTINGS_TITLE)}")

    # A new title, typed, with Chinese characters and spaces.
    session.click(settings, TITLE_EDIT)
    session.xdotool("key", "--window", settings, "ctrl+a")
    session.xdotool("key", "--window", settings, "BackSpace")
    session.xdotool("type", "--delay", "30", NEW_TITLE, timeout=30)
    time.sleep(0.2)
    session.click(settings, TITLE_BUTTON)
    session.dismiss_box("温馨提示~！")
    wait_for("the settings window to close", lambda: not session.windows(SETTINGS_TITLE), 10)
    title = wait_for("the new title", lambda: session.title_of(main) == NEW_TITLE and NEW_TITLE,
                     5)
    check(title == NEW_TITLE, f"main window title {session.title_of(main)!r}")
    print(f"main window title now {session.title_of(main)!r}")

    # Opened again; 图形按钮1 hands the contact page to the browser each time.
    session.click(main, GEAR)
    settings = wait_for("the settings window again", lambda: session.windows(SETTINGS_TITLE),
                        10)[0]
    time.sleep(0.3)
    session.click(settings, CONTACT)
    wait_for("the browser hand-off", session.browser_calls, 10)
    session.click(settings, CONTACT)
    wait_for("the second hand-off", lambda: len(session.browser_calls()) >= 2, 10)
    calls = session.browser_calls()
    check(calls == [args.contact_url] * 2, f"browser calls {calls}, want {args.contact_url}")
    check(session.windows(SETTINGS_TITLE) == [settings], "the contact button closed the window")

    # Closing the main window ends the program, settings window or not.
    send_close(session.display, main)
    try:
        code = session.app.wait(timeout=10)
    except subprocess.TimeoutExpired:
        raise Failure("the program did not end when its main window was closed")
    check(code == 0, f"exit code {code}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--version-url", required=True)
    parser.add_argument("--contact-url", required=True)
    parser.add_argument("--keep", action="store_true", help="keep the run's files")
    args = parser.parse_args()

    session = Session(args.program, args.version_url)
    status = 0
    try:
        run(args, session)
        print("settings: ok")
    except Failure as failure:
        print(f"settings: FAILED: {failure}\n(files in {session.dir})")
        status = 1
    except Exception:
        traceback.print_exc()
        status = 1
    finally:
        session.stop_all()
    if status == 0 and not args.keep:
        subprocess.run(["rm", "-rf", str(session.dir)])
    return status


if __name__ == "__main__":
    sys.exit(main())
