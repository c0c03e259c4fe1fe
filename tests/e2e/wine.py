"""The Wine runner of the end-to-end tests: the Windows build of the program
under Wine on the session's Xvfb, in a prefix of its own (cmake/wine-run.sh:
a Chinese locale, the layouts' faces mapped to the AR PL fonts).

What X shows of a Wine window differs from Qt's: the X window is the client
area only (Wine leaves the frame to a window manager, and there is none),
and a message box is not marked modal. The window lister (winlist.exe, run
in the same prefix) tells the rest: every window and control of the program
with its class, rectangles and exact text.
"""
import os
import subprocess
from collections import namedtuple
from pathlib import Path

from e2e import TOP, Failure, wait_for

WINE_RUN = TOP / "cmake" / "wine-run.sh"
WINESERVER = Path("/usr/lib/wine/wineserver")

# One line of winlist.exe. `rect` is the outer rectangle in screen
# coordinates; `client` the client area's (windows only); `id` the
# control's id (controls only).
Row = namedtuple("Row", "kind hwnd parent cls visible rect client id text")


def _rect(field):
    return tuple(int(v) for v in field.split(","))


def _unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append({"t": "\t", "n": "\n", "r": "\r"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def parse_rows(output):
    rows = []
    for line in output.splitlines():
        fields = line.rstrip("\r").split("\t")
        if len(fields) != 8:
            continue
        kind, hwnd, parent, cls, visible, rect, last, text = fields
        window = kind == "window"
        rows.append(Row(kind, hwnd, parent, cls, visible == "1", _rect(rect),
                        _rect(last) if window else None, None if window else int(last),
                        _unescape(text)))
    return rows


class Wine:
    """Runs the Windows build under Wine; its windows are read with
    winlist.exe (rows())."""

    lists_windows = True

    def __init__(self, state_dir, winlist):
        self.state = Path(state_dir).resolve()
        self.winlist = Path(winlist).resolve() if winlist else None
        self.image = None
        self.shown = False
        # The first use makes the prefix and the locale (several seconds):
        # not while a test is timing anything.
        subprocess.run([str(WINE_RUN), str(self.state)], check=True, timeout=300)

    def environment(self, session):
        return dict(session.env(), ZOQ_WINE_DISPLAY=session.display)

    def command(self, program, args):
        self.image = Path(program).name
        self.shown = False
        # wine-run.sh ends in exec, so the process started is Wine's own and
        # _NET_WM_PID names it.
        return [str(WINE_RUN), str(self.state), str(Path(program).resolve()), *args]

    def rows(self, session):
        """Every window and control of the program, as winlist.exe lists them."""
        if not self.shown:
            # A Wine process starting while the program itself still starts
            # can hang both for many seconds: the lister waits until the
            # program has shown a window.
            pid = str(session.program.pid)
            wait_for("a window of the program",
                     lambda: session.xdotool("search", "--onlyvisible", "--pid", pid), 60, 0.1)
            self.shown = True
        for attempt in range(3):
            try:
                out = subprocess.run([str(WINE_RUN), str(self.state), str(self.winlist),
                                      self.image], env=self.environment(session),
                                     capture_output=True, timeout=8)
            except subprocess.TimeoutExpired:
                continue
            # 1: no such process. Anything else but 0 is Wine dropping the
            # lister as it starts: it is run again.
            if out.returncode in (0, 1):
                return parse_rows(out.stdout.decode("utf-8", errors="replace"))
        raise Failure("winlist.exe did not list the windows three times running")

    def top_level(self, session, window, rows=None):
        """The program's top-level window whose client area is this X window
        (a visible one first: a box just answered is hidden before it goes)."""
        try:
            place = session.geometry(window)
        except KeyError:  # the X window has gone
            return None
        rows = rows if rows is not None else self.rows(session)
        matches = [r for r in rows if r.kind == "window" and r.client == place]
        if not matches:
            # Under a window manager (scripts/screenshots) Wine's idea of
            # where the client lies misses the frame's offset: its size
            # still tells.
            matches = [r for r in rows if r.kind == "window" and r.client[2:] == place[2:]]
        return max(matches, key=lambda r: r.visible, default=None)

    def is_modal(self, session, window):
        row = self.top_level(session, window)
        return row is not None and row.cls == "#32770"

    def frame(self, session, window):
        row = self.top_level(session, window)
        if row is None:
            raise Failure(f"no window of the program lies under X window {window}")
        return row.rect

    def finish(self, session):
        """Waits for the prefix's server and its helpers to end, which they do
        a few seconds after the last program; ends them if they do not."""
        env = dict(os.environ, WINEPREFIX=str(self.state / "prefix"))
        try:
            subprocess.run([str(WINESERVER), "-w"], env=env, timeout=20)
        except subprocess.TimeoutExpired:
            subprocess.run([str(WINESERVER), "-k"], env=env)


def controls(rows, window):
    """The controls inside a top-level window, however deeply nested:
    winlist.exe lists them right after it."""
    start = rows.index(window) + 1
    end = next((i for i in range(start, len(rows)) if rows[i].kind == "window"), len(rows))
    return rows[start:end]


def add_arguments(parser):
    parser.add_argument("--wine", metavar="STATE_DIR",
                        help="run the Windows build under Wine, its prefix in STATE_DIR")
    parser.add_argument("--winlist", help="winlist.exe, the window lister (with --wine)")


def runner(args):
    """The runner the command line asks for: None (native) or Wine."""
    if not args.wine:
        return None
    if not args.winlist:
        raise SystemExit("--wine needs --winlist")
    return Wine(args.wine, args.winlist)
