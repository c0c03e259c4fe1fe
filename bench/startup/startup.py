#!/usr/bin/env python3
"""Start-up time and peak memory of the program, each as a ratio to a
minimal Qt window with one label (zoq_startup_reference), measured in the
same run on the same virtual X server; then the program's CPU use while it
sits idle with its clock ticking.

Times run from just before the process is spawned until the X server
reports its window mapped (xev watching the root window). The program first
shows the message box of its start-up check (against a matching loopback
page served here), so two times are given for it: to its first window (the
box) and to its main window, the box being answered at once by xdotool.
The same label showing Chinese text is measured too, to tell what the
Chinese fonts alone cost. Peak memory is the process's maximum resident set (wait4) after its main
window has been up for a second. Medians over --rounds, programs
alternating so that drift on a busy machine hits both alike.

Usage: startup.py --program build/app/zoq_e2e
                  --reference build/bench/startup/zoq_startup_reference
                  --version-url http://127.0.0.1:18181/blog/zoq/article/1.html
                  [--rounds 15] [--idle-seconds 30]
"""
import argparse
import os
import re
import signal
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))
from e2e import MAIN_TITLE, Session, matching_page, wait_for  # noqa: E402


class MapWatcher:
    """Every MapNotify on the root window, with the moment it was read."""

    def __init__(self, session):
        self.maps = []
        self.lock = threading.Lock()
        self.proc = session.spawn(["stdbuf", "-oL", "xev", "-display", session.display, "-root",
                                   "-event", "substructure"],
                                  stdout=subprocess.PIPE, text=True)
        self.thread = threading.Thread(target=self.read, daemon=True)
        self.thread.start()
        time.sleep(0.3)  # xev selects its input before the first program starts

    def read(self):
        pending = False
        for line in self.proc.stdout:
            now = time.monotonic()
            if line.startswith("MapNotify event"):
                pending = now
                continue
            if pending:
                match = re.search(r"window (0x[0-9a-f]+)", line)
                if match:
                    with self.lock:
                        self.maps.append((pending, match.group(1)))
                    pending = False

    def since(self, index):
        with self.lock:
            return self.maps[index:]

    def count(self):
        with self.lock:
            return len(self.maps)


def title_of(session, window):
    out = subprocess.run(["xprop", "-display", session.display, "-id", window, "_NET_WM_NAME"],
                         capture_output=True, text=True, encoding="utf-8").stdout
    match = re.search(r'= "(.*)"$', out.strip())
    return match.group(1) if match else ""


def peak_rss_kib(proc):
    """Stops the process and gives its peak resident set in KiB."""
    proc.send_signal(signal.SIGTERM)
    _, _, usage = os.wait4(proc.pid, 0)
    proc.returncode = 0  # reaped here; keeps Popen from waiting again
    return usage.ru_maxrss


def run_reference(session, watcher, program, *args):
    seen = watcher.count()
    start = time.monotonic()
    proc = subprocess.Popen([program, *args], env=session.env(), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    mapped = wait_for("the reference window", lambda: watcher.since(seen), 20, 0.005)[0][0]
    time.sleep(1.0)
    return mapped - start, None, peak_rss_kib(proc)


def run_program(session, watcher, program):
    seen = watcher.count()
    start = time.monotonic()
    proc = subprocess.Popen([program], env=session.env(), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    first = wait_for("the program's first window", lambda: watcher.since(seen), 30, 0.005)
    first_time, box = first[0]

    def main_window():
        for when, window in watcher.since(seen):
            if window != box and title_of(session, window) == MAIN_TITLE:
                return when
        if session.is_modal(box):
            session.press_return(box)
        return None

    main_time = wait_for("the main window", main_window, 30, 0.01)
    time.sleep(1.0)
    return first_time - start, main_time - start, peak_rss_kib(proc)


def cpu_seconds(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def idle_cpu(session, watcher, program, seconds):
    seen = watcher.count()
    proc = session.spawn([program], env=session.env(), stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    box = wait_for("the message box", lambda: watcher.since(seen), 30, 0.01)[0][1]
    wait_for("the main window",
             lambda: any(w != box and title_of(session, w) == MAIN_TITLE
                         for _, w in watcher.since(seen)) or session.press_return(box),
             30, 0.05)
    time.sleep(1.0)
    before, t0 = cpu_seconds(proc.pid), time.monotonic()
    time.sleep(seconds)
    after, t1 = cpu_seconds(proc.pid), time.monotonic()
    proc.terminate()
    proc.wait()
    return (after - before) / (t1 - t0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--reference", required=True)
    parser.add_argument("--version-url", required=True)
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--idle-seconds", type=float, default=30)
    args = parser.parse_args()

    with Session(prefix="zoq-startup-bench-") as session:
        session.start_display()
        session.serve_version_page(args.version_url, matching_page("1.2"))
        watcher = MapWatcher(session)
        ref_times, ref_rss, first_times, main_times, rss = [], [], [], [], []
        cjk_times, cjk_rss = [], []
        for _ in range(args.rounds):
            t, _, r = run_reference(session, watcher, args.reference)
            ref_times.append(t)
            ref_rss.append(r)
            t, _, r = run_reference(session, watcher, args.reference, "cjk")
            cjk_times.append(t)
            cjk_rss.append(r)
            first, main_t, r = run_program(session, watcher, args.program)
            first_times.append(first)
            main_times.append(main_t)
            rss.append(r)
        ms = lambda values: 1000 * statistics.median(values)  # noqa: E731
        mib = lambda values: statistics.median(values) / 1024  # noqa: E731
        print(f"rounds: {args.rounds}")
        print(f"reference: start -> window mapped {ms(ref_times):7.1f} ms, "
              f"peak RSS {mib(ref_rss):6.1f} MiB")
        print(f"reference with a Chinese label: {ms(cjk_times):7.1f} ms "
              f"({ms(cjk_times) / ms(ref_times):.2f}x), peak RSS {mib(cjk_rss):6.1f} MiB "
              f"({mib(cjk_rss) / mib(ref_rss):.2f}x)")
        print(f"program:   start -> first window  {ms(first_times):7.1f} ms "
              f"({ms(first_times) / ms(ref_times):.2f}x)")
        print(f"program:   start -> main window   {ms(main_times):7.1f} ms "
              f"({ms(main_times) / ms(ref_times):.2f}x, box answered by xdotool)")
        print(f"program:   peak RSS               {mib(rss):7.1f} MiB "
              f"({mib(rss) / mib(ref_rss):.2f}x)")
        if args.idle_seconds > 0:
            share = idle_cpu(session, watcher, args.program, args.idle_seconds)
            print(f"program:   idle CPU over {args.idle_seconds:.0f} s with the clock running: "
                  f"{100 * share:.3f} % of a core")
    return 0


if __name__ == "__main__":
    sys.exit(main())
