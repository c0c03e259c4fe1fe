"""Helpers for driving the real program under a virtual X server.

A Session starts what a test needs -- Xvfb on a display of its own, a
loopback version page, the program with a recording `xdg-open` first in
PATH -- and stops every process it started, by PID, in reverse order.
Windows are found with xdotool (always under a time limit) and seen through
ImageMagick screenshots, whose pixels are read as raw RGB. How the program
is started and what its windows look like to X is the session's runner:
Native here, or the Wine runner of wine.py for the Windows build.
"""
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from urllib.parse import urlsplit

HERE = Path(__file__).resolve().parent
TOP = HERE.parent.parent
MAIN_TITLE = "Ｚｏｑ个人播放器"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, predicate, timeout, interval=0.05):
    """Polls `predicate` until it gives a true value; sleeps between polls
    so that the X server is not starved."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def matching_page(version="1.2"):
    """A blog-like page whose article heading carries `version`."""
    return ('<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>版本</title></head>\n'
            f'<body><h2 class="article-title">{version}</h2><p>正文</p></body></html>\n'
            ).encode("utf-8")


class Image:
    """A screenshot as raw RGB bytes."""

    def __init__(self, path):
        out = subprocess.run(["convert", str(path), "-depth", "8", "-format", "%w %h", "info:"],
                             capture_output=True, text=True, check=True)
        self.width, self.height = map(int, out.stdout.split())
        self.rgb = subprocess.run(["convert", str(path), "-depth", "8", "rgb:-"],
                                  capture_output=True, check=True).stdout
        self.path = path

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def region(self, x, y, w, h):
        rows = []
        for row in range(y, y + h):
            i = 3 * (row * self.width + x)
            rows.append(self.rgb[i:i + 3 * w])
        return b"".join(rows)

    def count(self, x, y, w, h, match):
        data = self.region(x, y, w, h)
        return sum(1 for i in range(0, len(data), 3) if match(tuple(data[i:i + 3])))


class Native:
    """Runs the Linux program itself; its message boxes are marked modal."""

    # Whether the runner reads the windows' exact texts (wine.py's does).
    lists_windows = False

    def command(self, program, args):
        return [str(program), *args]

    def environment(self, session):
        return session.env()

    def is_modal(self, session, window):
        state = subprocess.run(["xprop", "-display", session.display, "-id", window,
                                "_NET_WM_STATE"], capture_output=True, text=True).stdout
        return "_NET_WM_STATE_MODAL" in state

    def frame(self, session, window):
        """(x, y, width, height) of the window, frame included. With no
        window manager there is no frame: the X window is all of it."""
        return session.geometry(window)

    def finish(self, session):
        pass


class Session:
    """Everything one test starts, stopped again by PID in reverse order."""

    def __init__(self, prefix="zoq-e2e-", runner=None):
        self.runner = runner or Native()
        self.dir = Path(tempfile.mkdtemp(prefix=prefix))
        self.procs = []
        self.display = None
        self.program = None
        self.browser_log = self.dir / "xdg-open.log"

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop_all()
        return False

    def spawn(self, args, **kwargs):
        proc = subprocess.Popen(args, **kwargs)
        self.procs.append(proc)
        return proc

    def stop_all(self):
        if self.program is not None and self.program.poll() is None:
            self.program.terminate()
            try:
                self.program.wait(timeout=3)
            except subprocess.TimeoutExpired:
                self.program.kill()
                self.program.wait()
        if self.display is not None:
            self.runner.finish(self)  # while the display still runs
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=3)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        self.procs.clear()

    # --- the display ---
    def start_display(self, screen="1024x768x24"):
        """Xvfb picks a free display and reports it on a pipe.

        It listens on its abstract socket only: inside a private network
        namespace that socket is private too, while a socket file in
        /tmp/.X11-unix is shared with every other run on the machine, and
        Xvfb would replace another server's file of the same number."""
        read_fd, write_fd = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write_fd), "-noreset", "-nolisten", "tcp",
                    "-nolisten", "unix", "-screen", "0", screen],
                   pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        check(number, "Xvfb did not report a display")
        self.display = ":" + number
        return self.display

    def env(self, **extra):
        """The environment of a program on this display: the recording
        xdg-open first in PATH, a private home, no Wayland."""
        bin_dir = self.dir / "bin"
        if not bin_dir.exists():
            bin_dir.mkdir()
            fake = bin_dir / "xdg-open"
            fake.write_text(f"#!/bin/sh\nprintf '%s\\n' \"$*\" >> '{self.browser_log}'\n")
            fake.chmod(0o755)
        env = dict(os.environ)
        env.pop("WAYLAND_DISPLAY", None)
        env.update(DISPLAY=self.display, QT_QPA_PLATFORM="xcb",
                   PATH=f"{bin_dir}:{env.get('PATH', '/usr/bin:/bin')}",
                   HOME=str(self.dir), XDG_RUNTIME_DIR=str(self.dir),
                   ZOQ_XDG_OPEN_LOG=str(self.browser_log))
        env.update(extra)
        return env

    def browser_calls(self):
        if not self.browser_log.exists():
            return []
        return self.browser_log.read_text(encoding="utf-8").splitlines()

    # --- servers and programs ---
    def serve_version_page(self, version_url, page, delay_file=None):
        """The loopback version page the program checks at start-up; with
        `delay_file`, answered as late as that file says (version_server.py)."""
        body = self.dir / "page.html"
        body.write_bytes(page)
        port = urlsplit(version_url).port or 80
        delay = ["--delay-file", str(delay_file)] if delay_file else []
        proc = self.spawn([sys.executable, str(HERE / "version_server.py"), "--port", str(port),
                           "--body", str(body), *delay], stdout=subprocess.PIPE, text=True)
        check(proc.stdout.readline().strip() == "ready",
              f"the version server did not start (port {port} in use?)")

    def start_program(self, program, *args):
        self.program = self.spawn(self.runner.command(program, args),
                                  env=self.runner.environment(self), stdout=subprocess.DEVNULL)
        return self.program

    # --- windows ---
    def xdotool(self, *args, timeout=10):
        out = subprocess.run(["timeout", str(timeout), "xdotool", *args],
                             env=dict(os.environ, DISPLAY=self.display),
                             capture_output=True, text=True, encoding="utf-8")
        return out.stdout.strip() if out.returncode == 0 else ""

    def windows(self, title=".*"):
        """Ids of the visible windows titled exactly `title` (a pattern)."""
        return self.xdotool("search", "--onlyvisible", "--name", f"^{title}$", timeout=5).split()

    def is_modal(self, window):
        """Whether the window is a message box or another modal dialog."""
        return self.runner.is_modal(self, window)

    def modal_windows(self):
        """Visible windows marked modal (message boxes, dialogs)."""
        return [w for w in self.windows() if self.is_modal(w)]

    def find_window(self, title, timeout=20):
        """The id of the visible, non-modal window titled exactly `title`
        (message boxes may carry the same title)."""
        return wait_for(f"window '{title}'",
                        lambda: next((w for w in self.windows(title) if not self.is_modal(w)),
                                     None),
                        timeout, interval=0.1)

    def press_return(self, window):
        self.key(window, "Return")

    def key(self, window, *keys):
        """Keys for the window's focused control. They go through XTEST to
        the window given the focus, not as synthetic events to the window,
        which Wine ignores."""
        self.xdotool("windowfocus", "--sync", window, "key", *keys)

    def frame(self, window):
        """(x, y, width, height) of the whole window, frame included;
        geometry() gives its X window, the client area."""
        return self.runner.frame(self, window)

    def geometry(self, window):
        """(x, y, width, height) of a window."""
        out = self.xdotool("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def screenshot(self, name, window="root"):
        path = self.dir / name
        subprocess.run(["import", "-display", self.display, "-window", window, str(path)],
                       check=True, timeout=20, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        return Image(path)


def run_test(test, *args, runner=None):
    """Runs `test(session, *args)`, reports, and gives the exit status."""
    with Session(runner=runner) as session:
        try:
            test(session, *args)
        except Failure as failure:
            print(f"FAILED: {failure}", file=sys.stderr)
            print(f"(files kept in {session.dir})", file=sys.stderr)
            return 1
    print("passed")
    return 0
