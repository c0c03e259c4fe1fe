#!/usr/bin/env python3
"""The real program's start-up version check under Xvfb, one case per run.

The program is the loopback build (--version-url, --download-url on
127.0.0.1); the case serves its page there with version_server.py, or serves
nothing at all. Besides the shared helpers of e2e.py, xev watches the root
window and records every top-level window the X server maps, so that "the
main window is never shown" is checked from the server's own record rather
than guessed from polling.

  match, escaped    the message box first, alone; after Return the main
                    window, whose clock line is blank until its first tick
                    and then changes; no browser
  higher, lower,    the message box, alone; after Return exit code 0, the
  spaced,           download address handed to xdg-open once, and no other
  no-markers,       window ever mapped
  empty, no-server
Every case with a server also checks the request it received, byte for byte.
With --wine the Windows build runs under Wine (wine.py), and the exact texts
are read as well: the box's caption, message and button, the main window's
title and its clock line.
"""
import argparse
import re
import socket
import subprocess
import sys
import time
from urllib.parse import urlsplit

import wine
from e2e import MAIN_TITLE, TOP, Failure, Session, check, matching_page, wait_for

USER_AGENT = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"
ACCEPT = ("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
          "application/x-shockwave-flash, application/vnd.ms-excel, "
          "application/vnd.ms-powerpoint, application/msword, */*")

# The clock line 标签3 in client coordinates (left 352, top 240, 376 x 40),
# short of the gear button that overlaps its right end from x 712.
CLOCK_LINE = (352, 240, 360, 40)
# Its text after a tick: the date as the runtime writes it, then the time of
# day without leading zeros.
CLOCK_TEXT = re.compile(r"北京时间：.+日(1?[0-9]|2[0-3])时([1-5]?[0-9])分([1-5]?[0-9])秒")


def demo_article(version):
    """The demo server's blog article: UTF-8 Chinese text, percent escapes
    in its links, and the version in its heading."""
    page = (TOP / "scripts" / "demo" / "article.html").read_text(encoding="utf-8")
    return page.replace("{version}", version).encode("utf-8")


# name: (page bytes, or None for no server at all; expected outcome)
CASES = {
    "match": (demo_article("1.2"), "match"),
    "escaped": (matching_page("1%2E2"), "match"),
    "higher": (demo_article("1.3"), "mismatch"),
    "lower": (demo_article("1.1"), "mismatch"),
    "spaced": (matching_page("1.2 "), "mismatch"),
    "no-markers": ('<html><body><h2>1.2</h2><p>没有标记</p></body></html>'.encode("utf-8"),
                   "mismatch"),
    "empty": (b"", "mismatch"),
    "no-server": (None, "mismatch"),
}


MESSAGES = {"match": "最新版本~！可以使用~！", "mismatch": "匹配失败发现最新版本~！"}


class VersionSession(Session):
    def __init__(self, runner=None):
        super().__init__(prefix="zoq-version-e2e-", runner=runner)
        self.xev_log = self.dir / "xev.log"
        self.record_dir = self.dir / "requests"
        self.record_dir.mkdir()

    def start_display(self, screen="1024x768x24"):
        display = super().start_display(screen)
        with open(self.xev_log, "w") as log:
            self.spawn(["stdbuf", "-oL", "xev", "-display", display, "-root",
                        "-event", "substructure"], stdout=log, stderr=subprocess.STDOUT)
        # xev prints nothing before the first event; let it select its input.
        time.sleep(0.3)
        return display

    def serve(self, version_url, page):
        body = self.dir / "page.html"
        body.write_bytes(page)
        port = urlsplit(version_url).port or 80
        proc = self.spawn([sys.executable, str(TOP / "tests" / "e2e" / "version_server.py"),
                           "--port", str(port), "--body", str(body),
                           "--record-dir", str(self.record_dir)],
                          stdout=subprocess.PIPE, text=True)
        if proc.stdout.readline().strip() != "ready":
            try:
                holders = subprocess.run(["ss", "-ltnp", f"sport = :{port}"],
                                         capture_output=True, text=True).stdout
            except OSError:
                holders = "(ss is not installed)"
            raise Failure(f"the version server did not start; listening on {port}:\n{holders}")

    def mapped_windows(self):
        """Top-level windows mapped so far, in order, as xev saw them."""
        text = self.xev_log.read_text(errors="replace")
        return re.findall(r"MapNotify event,[^\n]*\n\s*event 0x[0-9a-f]+, window (0x[0-9a-f]+)",
                          text)

    def window_property(self, window, name):
        return subprocess.run(["xprop", "-display", self.display, "-id", window, name],
                              capture_output=True, text=True, encoding="utf-8").stdout.strip()

    def window_title(self, window):
        match = re.search(r'= "(.*)"$', self.window_property(window, "_NET_WM_NAME"))
        return match.group(1) if match else ""

    def requests(self):
        return [p.read_bytes() for p in sorted(self.record_dir.glob("request-*.bin"))]


def expected_request(version_url, under_wine):
    parts = urlsplit(version_url)
    target = (parts.path or "/") + (f"?{parts.query}" if parts.query else "")
    lines = [f"GET {target} HTTP/1.1", f"Host: {parts.netloc}",
             f"Accept: {ACCEPT}", f"Referer: {version_url}", "Accept-Language: zh-cn"]
    # The user agent follows the program's lines; Wine's WinINet sends it
    # right after Host.
    lines.insert(2 if under_wine else len(lines), f"User-Agent: {USER_AGENT}")
    return "".join(line + "\r\n" for line in lines + [""]).encode("ascii")


def colours(image, region):
    data = image.region(*region)
    return len({data[i:i + 3] for i in range(0, len(data), 3)})


def check_box_texts(session, box, message):
    """The box's exact caption, message and button, as Windows has them."""
    rows = session.runner.rows(session)
    row = session.runner.top_level(session, box, rows)
    check(row is not None and row.cls == "#32770", f"no message box under {box}")
    check(row.text == MAIN_TITLE, f"box caption {row.text!r}")
    texts = sorted(c.text for c in wine.controls(rows, row) if c.visible and c.text)
    check(texts == sorted([message, "确定"]), f"box texts {texts}")


def main_window_row(rows):
    """The main window among the listed windows."""
    main = next((r for r in rows if r.kind == "window" and r.cls != "#32770"
                 and r.text == MAIN_TITLE), None)
    check(main is not None, f"no window titled {MAIN_TITLE} besides the box")
    return main


def clock_text(session):
    """The text of the clock line 标签3, found at its place in the main
    window."""
    rows = session.runner.rows(session)
    main = main_window_row(rows)
    at = (main.client[0] + CLOCK_LINE[0], main.client[1] + CLOCK_LINE[1])
    labels = [c for c in wine.controls(rows, main) if c.rect[:2] == at]
    check(len(labels) == 1, f"controls at the clock line's place: {labels}")
    return labels[0].text


def check_main_window(session, dismissed, every_check):
    main = wait_for("the main window", lambda: session.mapped_windows()[1:], 15)[0]
    first = session.screenshot("first.png", main)
    age = time.monotonic() - dismissed
    check(session.window_title(main) == MAIN_TITLE, "the second window is not the main window")
    check(not session.is_modal(main), "the second window is modal")
    # Had the clock started before the box was answered, it would have
    # ticked while the box was up.
    if age < 0.8:
        check(colours(first, CLOCK_LINE) == 1, "the clock line shows text before its first tick")
    else:
        print(f"note: first screenshot {age:.2f} s after Return; blank clock line not checked")

    def changed(before, name):
        after = session.screenshot(name, main)
        return colours(after, CLOCK_LINE) > 1 and after.region(*CLOCK_LINE) != before.region(
            *CLOCK_LINE)
    wait_for("the clock line's first tick", lambda: changed(first, "ticked.png"), 5, 0.3)
    if every_check:
        ticked = session.screenshot("ticked.png", main)
        wait_for("the clock line's next tick", lambda: changed(ticked, "next.png"), 5, 0.3)
    if session.runner.lists_windows:
        text = clock_text(session)
        now = time.localtime()
        match = CLOCK_TEXT.fullmatch(text)
        check(match, f"clock line {text!r}")
        shown = 3600 * int(match[1]) + 60 * int(match[2]) + int(match[3])
        late = (3600 * now.tm_hour + 60 * now.tm_min + now.tm_sec - shown) % 86400
        check(late <= 3, f"clock line {text!r} at {time.strftime('%H:%M:%S', now)}")
        wait_for("the clock text to change", lambda: clock_text(session) != text, 3, 0.2)
    check(session.program.poll() is None, "the program ended after a match")
    check(session.browser_calls() == [], "the browser was called after a match")


def check_ended(session, box, download_url):
    try:
        code = session.program.wait(timeout=15)
    except subprocess.TimeoutExpired:
        raise Failure("the program did not end after the mismatch message")
    check(code == 0, f"exit code {code}")
    # xdg-open runs detached and may write its line after the program has gone.
    wait_for("the download page to reach the browser", session.browser_calls, 10)
    time.sleep(0.3)
    calls = session.browser_calls()
    check(calls == [download_url], f"browser calls {calls}")
    mapped = session.mapped_windows()
    check(mapped == [box], f"windows mapped: {mapped}; only the message box may be")


def run_case(session, args):
    page, outcome = CASES[args.case]
    port = urlsplit(args.version_url).port or 80
    if page is None:
        with socket.socket() as probe:
            check(probe.connect_ex(("127.0.0.1", port)) != 0,
                  f"something already listens on 127.0.0.1:{port}")

    session.start_display()
    if page is not None:
        session.serve(args.version_url, page)
    session.start_program(args.program)

    box = wait_for("the message box", session.mapped_windows, 30)[0]
    check(session.is_modal(box), "the first window shown is not a modal message box")
    caption = session.window_title(box)
    print(f"message box caption: {caption}")
    check(caption == MAIN_TITLE, f"message box caption {caption!r}")
    check(len(session.mapped_windows()) == 1, "another window shows beside the message box")
    check(session.browser_calls() == [], "the browser was called before the message was read")
    check(session.program.poll() is None, "the program ended while its message was up")
    if session.runner.lists_windows:
        check_box_texts(session, box, MESSAGES[outcome])

    # Long enough for a clock started too early to tick, or a browser called
    # too early to be seen.
    time.sleep(1.5 if outcome == "match" else 0.5)
    if session.runner.lists_windows and outcome == "match":
        # The main window's controls wait for its first show, and the window
        # itself is made, hidden, only when the page was still awaited. The
        # first screenshot after Return sees that the clock did not tick
        # meanwhile.
        rows = session.runner.rows(session)
        others = [r for r in rows if r.kind == "window" and r.cls not in ("#32770", "IME")]
        check(all(r.text == MAIN_TITLE and not r.visible and not wine.controls(rows, r)
                  for r in others) and len(others) <= 1,
              f"windows made while the box is up: {others}")
    session.press_return(box)
    dismissed = time.monotonic()
    if outcome == "match":
        check_main_window(session, dismissed, every_check=args.case == "match")
    else:
        check_ended(session, box, args.download_url)

    if page is not None:
        requests = session.requests()
        check(len(requests) == 1, f"{len(requests)} requests reached the server")
        want = expected_request(args.version_url, isinstance(session.runner, wine.Wine))
        check(requests[0] == want, f"request bytes:\n got  {requests[0]!r}\n want {want!r}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--version-url", required=True)
    parser.add_argument("--download-url", required=True)
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    wine.add_arguments(parser)
    args = parser.parse_args()

    with VersionSession(wine.runner(args)) as session:
        try:
            run_case(session, args)
        except Failure as failure:
            print(f"{args.case}: FAILED: {failure}\n(files kept in {session.dir})",
                  file=sys.stderr)
            return 1
    subprocess.run(["rm", "-rf", str(session.dir)])
    print(f"{args.case}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
