#!/usr/bin/env python3
"""Drives the settings window of the real program under Xvfb.

The program (a build whose version page is on 127.0.0.1, --version-url)
passes its start-up check against a matching page. Then: the gear opens
"个人设置"; a second gear click while it is open shows no second window; a
title typed into 编辑框1 (Chinese and spaces) and 按钮1 give the main window
exactly that title and close the settings window; 图形按钮1 hands the contact
address (--contact-url) to the recording `xdg-open` each time and leaves the
window open; closing the main window while the settings window is open ends
the program with exit code 0. With --wine the Windows build runs under Wine
(wine.py), and the windows' titles are also read exactly as Windows has them.
"""
import argparse
import ctypes
import ctypes.util
import subprocess
import sys
import time

import wine
from e2e import MAIN_TITLE, Failure, check, matching_page, run_test, wait_for

SETTINGS_TITLE = "个人设置"
NEW_TITLE = "我的 小 播放器 2"

# Client-area points of the controls clicked (centres, from the layouts).
GEAR = (728, 280)          # main window 图形按钮1, 712,256 72x48, cut at 748
TITLE_EDIT = (128, 48)     # settings 编辑框1, 0,32 256x32
TITLE_BUTTON = (248, 104)  # settings 按钮1, 160,80 176x48
CONTACT = (236, 548)       # settings 图形按钮1, 120,496 232x104


def xlib():
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XDisplayKeycodes.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                     ctypes.POINTER(ctypes.c_int)]
    x11.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
    x11.XGetKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int,
                                        ctypes.POINTER(ctypes.c_int)]
    x11.XChangeKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                           ctypes.POINTER(ctypes.c_ulong), ctypes.c_int]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x11


def bind_characters(display, text):
    """Gives every non-ASCII character of `text` a key of its own on spare
    keycodes. `xdotool type` otherwise remaps one scratch key per character
    and back again, a race the program can lose (a character goes missing)."""
    x11 = xlib()
    dpy = x11.XOpenDisplay(display.encode())
    check(dpy, f"cannot open display {display}")
    low, high = ctypes.c_int(), ctypes.c_int()
    x11.XDisplayKeycodes(dpy, ctypes.byref(low), ctypes.byref(high))
    count = high.value - low.value + 1
    per = ctypes.c_int()
    syms = x11.XGetKeyboardMapping(dpy, low.value, count, ctypes.byref(per))
    free = [low.value + i for i in range(count)
            if all(syms[i * per.value + j] == 0 for j in range(per.value))]
    x11.XFree(syms)
    wanted = sorted({ch for ch in text if ord(ch) > 0x7F})
    check(len(free) >= len(wanted), "not enough spare keycodes")
    for code, ch in zip(free, wanted):
        keysym = (ctypes.c_ulong * 1)(0x01000000 | ord(ch))
        x11.XChangeKeyboardMapping(dpy, code, 1, keysym, 1)
    x11.XSync(dpy, 0)
    x11.XCloseDisplay(dpy)


def send_close(display, window):
    """Asks a window to close the way a window manager does (WM_DELETE_WINDOW)."""

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    x11 = xlib()
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
    x11.XSync(dpy, 0)
    x11.XCloseDisplay(dpy)


def title_of(session, window):
    out = subprocess.run(["xprop", "-display", session.display, "-id", window, "_NET_WM_NAME"],
                         capture_output=True, text=True, encoding="utf-8").stdout.strip()
    return out.split(" = ", 1)[1][1:-1] if " = " in out else None


def listed_title(session, window):
    """The title Windows has for the window under this X window."""
    row = session.runner.top_level(session, window)
    return row.text if row else None


def click(session, window, point):
    session.xdotool("mousemove", "--window", window, str(point[0]), str(point[1]), "click", "1")


def dismiss_box(session, caption, timeout=15):
    """Waits for a modal box with this caption and presses Return on it."""
    box = wait_for(f"the message box {caption!r}",
                   lambda: next((w for w in session.windows(caption) if session.is_modal(w)),
                                None), timeout)
    session.press_return(box)
    wait_for(f"the message box {caption!r} to go", lambda: box not in session.windows(caption),
             10)


def test(session, program, version_url, contact_url):
    session.start_display()
    session.serve_version_page(version_url, matching_page("1.2"))
    app = session.start_program(program)

    # Start-up: the version matches and its box is answered.
    dismiss_box(session, MAIN_TITLE, timeout=30)
    main = session.find_window(MAIN_TITLE)
    time.sleep(0.3)

    # The gear opens the settings window; a second click shows no second one.
    click(session, main, GEAR)
    settings = session.find_window(SETTINGS_TITLE, timeout=10)
    time.sleep(0.3)
    click(session, main, GEAR)
    time.sleep(0.5)
    check(session.windows(SETTINGS_TITLE) == [settings],
          f"settings windows after a second click: {session.windows(SETTINGS_TITLE)}")
    if session.runner.lists_windows:
        try:
            wait_for("the settings window's title",
                     lambda: listed_title(session, settings) == SETTINGS_TITLE, 5, 0.2)
        except Failure:
            raise Failure(f"settings window title {listed_title(session, settings)!r}")

    # A new title, typed, with Chinese characters and spaces.
    bind_characters(session.display, NEW_TITLE)
    time.sleep(0.5)  # the program takes in the new key map
    click(session, settings, TITLE_EDIT)
    session.key(settings, "End", "shift+Home", "BackSpace")
    session.xdotool("type", "--delay", "30", NEW_TITLE, timeout=30)
    time.sleep(0.2)
    click(session, settings, TITLE_BUTTON)
    dismiss_box(session, "温馨提示~！")
    wait_for("the settings window to close", lambda: not session.windows(SETTINGS_TITLE), 10)
    try:
        wait_for("the new title", lambda: title_of(session, main) == NEW_TITLE, 5)
    except Failure:
        raise Failure(f"main window title {title_of(session, main)!r}, want {NEW_TITLE!r}")
    print(f"main window title now {title_of(session, main)!r}")
    if session.runner.lists_windows:
        title = listed_title(session, main)
        check(title == NEW_TITLE, f"main window title {title!r} as Windows has it")

    # Opened afresh; 图形按钮1 hands the contact page over on every click.
    click(session, main, GEAR)
    settings = session.find_window(SETTINGS_TITLE, timeout=10)
    time.sleep(0.3)
    click(session, settings, CONTACT)
    wait_for("the browser hand-off", session.browser_calls, 10)
    click(session, settings, CONTACT)
    wait_for("the second hand-off", lambda: len(session.browser_calls()) >= 2, 10)
    calls = session.browser_calls()
    check(calls == [contact_url] * 2, f"browser calls {calls}, want {contact_url}")
    check(session.windows(SETTINGS_TITLE) == [settings], "the contact button closed the window")
    check(not session.modal_windows(), "the contact button showed a box")

    # Closing the main window ends the program, settings window or not.
    send_close(session.display, main)
    try:
        code = app.wait(timeout=10)
    except subprocess.TimeoutExpired:
        raise Failure("the program did not end when its main window was closed")
    check(code == 0, f"exit code {code}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--version-url", required=True)
    parser.add_argument("--contact-url", required=True)
    wine.add_arguments(parser)
    args = parser.parse_args()
    return run_test(test, args.program, args.version_url, args.contact_url,
                    runner=wine.runner(args))


if __name__ == "__main__":
    sys.exit(main())
