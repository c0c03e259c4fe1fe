#!/usr/bin/env python3
"""The Windows installer under Wine, in a prefix made afresh, on Xvfb.

Its first page comes up in Chinese. A silent install (/S) puts the program
(byte for byte the payload), the Start-menu shortcut to it and the uninstall
entry in place. The installed program passes its start-up check against a
matching page served here: its message box shows, and answered, gives way to
the main window (which only a match shows). The entry's quiet uninstall
command then leaves no file, shortcut or key behind.

  installer_test.py --setup SETUP.EXE --program PAYLOAD.EXE --version-url URL --state DIR

The payload is a build whose version page is on 127.0.0.1 (zoq_e2e); DIR is
wiped and becomes the prefix.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

TOP = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(TOP / "tests" / "e2e"))
from e2e import MAIN_TITLE, Session, check, matching_page, wait_for  # noqa: E402

WINE_RUN = TOP / "cmake" / "wine-run.sh"
WINESERVER = Path("/usr/lib/wine/wineserver")
KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zoq"
SHORTCUT = "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Ｚｏｑ个人播放器.lnk"


class Prefix:
    def __init__(self, session, state):
        self.session = session
        self.state = state
        self.drive = state / "prefix" / "drive_c"

    def env(self):
        return self.session.env(ZOQ_WINE_DISPLAY=self.session.display)

    def command(self, *args):
        return [str(WINE_RUN), str(self.state), *map(str, args)]

    def run(self, *args, timeout=120):
        return subprocess.run(self.command(*args), env=self.env(), capture_output=True,
                              timeout=timeout)

    def start(self, *args):
        # wine-run.sh ends in exec: the PID is Wine's own process.
        return self.session.spawn(self.command(*args), env=self.env(),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def settle(self):
        """Waits until every process of the prefix has ended (an uninstaller
        runs on from a copy of itself after the one started has returned)."""
        subprocess.run([str(WINESERVER), "-w"], timeout=60,
                       env=dict(os.environ, WINEPREFIX=str(self.state / "prefix")))

    def unix_path(self, windows_path):
        check(re.match(r"(?i)^c:\\", windows_path), f"not on drive C: {windows_path}")
        return self.drive.joinpath(*windows_path[3:].split("\\"))

    def uninstall_entry(self):
        """The entry's values, or None when the key is missing."""
        out = self.run("reg", "query", KEY)
        if out.returncode != 0:
            return None
        values = {}
        for line in out.stdout.decode("gbk").splitlines():
            match = re.match(r"^\s+(\S+)\s+(REG_\w+)\s+(.*)$", line)
            if match:
                values[match[1]] = match[3]
        return values


def test(session, args):
    shutil.rmtree(args.state, ignore_errors=True)
    session.start_display()
    wine = Prefix(session, args.state)
    check(wine.run(timeout=300).returncode == 0, "the Wine prefix was not made")
    wine.settle()

    # The installer's own window, its caption in Chinese.
    setup = wine.start(args.setup)
    wait_for("the installer's Chinese page", lambda: session.windows(f"{MAIN_TITLE} 安装"), 60,
             interval=0.2)
    setup.terminate()
    setup.wait(timeout=10)
    wine.settle()

    out = wine.run(args.setup, "/S")
    check(out.returncode == 0, f"silent install exited with {out.returncode}")
    entry = wine.uninstall_entry()
    check(entry is not None, f"no key {KEY}")
    location = entry.get("InstallLocation", "")
    check(re.fullmatch(r"(?i)C:\\users\\[^\\]+\\AppData\\Local\\Programs\\Zoq", location),
          f"installed in {location!r}, not the user's local programs folder")
    folder = wine.unix_path(location)
    program = folder / "zoq.exe"
    check(program.read_bytes() == args.program.read_bytes(), f"{program} is not the payload")
    uninstaller = folder / "uninstall.exe"
    check(uninstaller.is_file(), f"no {uninstaller}")
    shortcut = folder.parents[3] / SHORTCUT
    check(shortcut.is_file(), f"no shortcut {shortcut}")
    target = f"{location}\\zoq.exe"
    check(target.encode("gbk") in shortcut.read_bytes()
          or target.encode("utf-16-le") in shortcut.read_bytes(),
          f"the shortcut does not lead to {target}")
    expected = {
        "DisplayName": MAIN_TITLE, "Publisher": MAIN_TITLE, "DisplayVersion": "1.2",
        "DisplayIcon": f"{location}\\zoq.exe,0",
        "UninstallString": f'"{location}\\uninstall.exe"',
        "QuietUninstallString": f'"{location}\\uninstall.exe" /S',
        "NoModify": "0x1", "NoRepair": "0x1",
    }
    for name, value in expected.items():
        check(entry.get(name) == value, f"{name} is {entry.get(name)!r}, not {value!r}")
    size = int(entry.get("EstimatedSize", "0"), 16)
    check(size == (program.stat().st_size + 1023) // 1024,
          f"EstimatedSize {size} KiB for a program of {program.stat().st_size} bytes")

    # The installed program itself, against a matching page.
    session.serve_version_page(args.version_url, matching_page("1.2"))
    app = wine.start(program)
    box = wait_for("the start-up message box",
                   lambda: next(iter(session.windows(MAIN_TITLE)), None), 60, interval=0.2)
    check(app.poll() is None, "the program ended with its box up")
    box_size = session.geometry(box)[2:]

    def main_window():
        shown = session.windows(MAIN_TITLE)
        if box in shown:
            session.press_return(box)
            return None
        return next(iter(shown), None)
    window = wait_for("the main window after the box", main_window, 30, interval=0.3)
    print(f"box {box_size}, then main window {session.geometry(window)[2:]}")
    check(app.poll() is None, "the program ended after a matching version page")
    app.terminate()
    app.wait(timeout=10)
    wine.settle()

    quiet = entry["QuietUninstallString"]
    match = re.fullmatch(r'"([^"]+)"\s*(.*)', quiet)
    out = wine.run(match[1], *match[2].split())
    check(out.returncode == 0, f"silent uninstall exited with {out.returncode}")
    wine.settle()
    check(not folder.exists(), f"{folder} is left")
    check(not shortcut.exists(), f"{shortcut} is left")
    check(wine.uninstall_entry() is None, f"{KEY} is left")
    print(f"installed into {location}, started, uninstalled without a trace")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--setup", type=Path, required=True)
    parser.add_argument("--program", type=Path, required=True)
    parser.add_argument("--version-url", required=True)
    parser.add_argument("--state", type=Path, required=True)
    args = parser.parse_args()
    args.state = args.state.resolve()
    with Session(prefix="zoq-setup-") as session:
        try:
            test(session, args)
        except Exception as failure:  # noqa: BLE001 -- any failure fails the test
            print(f"FAILED: {failure}", file=sys.stderr)
            print(f"(files kept in {session.dir} and {args.state})", file=sys.stderr)
            return 1
    shutil.rmtree(args.state, ignore_errors=True)
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
