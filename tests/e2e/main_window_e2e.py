#!/usr/bin/env python3
"""The real program's main window under Xvfb.

The program (a build whose version page is on 127.0.0.1, --version-url)
passes its start-up check against a matching page served here; its message
box is answered with Return. Then the main window, found by its title, must
have the layout's size and place, show the cyan frame, the magenta note
texts and the photograph, and its clock line must change within two seconds.
It is started with Qt's own options (-reverse, -stylesheet), which it must
not read. With --wine the Windows build runs under Wine (wine.py); the place
and size are then the outer window's, frame and caption included, and pixels
are read from its client area.
"""
import argparse
import sys
import time

import wine
from e2e import MAIN_TITLE, check, matching_page, run_test, wait_for

CYAN = (0, 255, 255)


def magentaish(p):
    return p[0] > 200 and p[1] < 80 and p[2] > 200


def main_window_after_the_check(session):
    """Answers message boxes until the main window shows; its id."""
    def step():
        for box in session.modal_windows():
            session.press_return(box)
        return next((w for w in session.windows(MAIN_TITLE) if not session.is_modal(w)), None)
    return wait_for("the main window", step, 30, interval=0.2)


def test(session, program, version_url):
    session.start_display()
    session.serve_version_page(version_url, matching_page("1.2"))
    # Qt's own options on the command line: the program reads no arguments,
    # so neither may Qt (a red style sheet would hide the cyan and magenta).
    sheet = session.dir / "red.qss"
    sheet.write_text("* { background: rgb(255, 0, 0); color: rgb(0, 0, 255); }\n")
    app = session.start_program(program, "-reverse", "-stylesheet", str(sheet))
    window = main_window_after_the_check(session)

    left, top, width, height = session.frame(window)
    check((width, height) == (748, 319), f"window is {width}x{height}, not 748x319")
    check((left, top) == (50, 50), f"window is at {left},{top}, not 50,50")
    x, y, _, _ = session.geometry(window)

    first = session.screenshot("first.png")
    check(first.pixel(x + 600, y + 228) == CYAN, f"frame is {first.pixel(x + 600, y + 228)}")
    for top in (0, 72, 144):
        n = first.count(x + 312, y + top, 432, 72, magentaish)
        check(n > 300, f"note box at {top} shows {n} magenta pixels")
    photo = first.count(x + 8, y, 287, 288, lambda p: p != CYAN)
    check(photo > 287 * 288 * 9 // 10, f"photograph covers only {photo} pixels")

    # The clock line is rewritten every second.
    clock = (x + 352, y + 240, 376, 40)
    time.sleep(1.3)
    second = session.screenshot("second.png")
    check(first.region(*clock) != second.region(*clock), "the clock line did not change")
    check(second.count(*clock, lambda p: p == (0, 0, 0)) > 0, "no black clock text")
    check(app.poll() is None, "the program ended by itself")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--version-url", required=True)
    wine.add_arguments(parser)
    args = parser.parse_args()
    return run_test(test, args.program, args.version_url, runner=wine.runner(args))


if __name__ == "__main__":
    sys.exit(main())
