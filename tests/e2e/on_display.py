#!/usr/bin/env python3
"""Runs one command on a virtual X display of its own, with the recording
`xdg-open` first in PATH (its log named by ZOQ_XDG_OPEN_LOG), and exits with
the command's status. For in-process tests that need a real X server.

Usage: on_display.py COMMAND [ARG...]
"""
import subprocess
import sys

from e2e import Failure, Session


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    with Session(prefix="zoq-on-display-") as session:
        try:
            session.start_display()
        except Failure as failure:
            print(f"FAILED: {failure}", file=sys.stderr)
            return 1
        return subprocess.run(sys.argv[1:], env=session.env(), timeout=300).returncode


if __name__ == "__main__":
    sys.exit(main())
