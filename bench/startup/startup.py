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
Chinese fonts alone cost, and the floor: the reference on the program's
own stack (both Chinese faces, one libcurl GET of the page). Peak memory is the process's maximum resident set (wait4) after its main
window has been up for a second. Medians over --rounds, programs
alternating so that drift on a busy machine hits both alike.

With --before, a second build of the program (an older one) is measured
alongside, alternating with the first; its idle CPU is measured at the same
time as the first's. Idle CPU is the time the process's threads spent on a
CPU (schedstat); wake-ups are the main thread's voluntary context switches.

With --answer-after-ms the run measures only start -> box, each program
against the page answered at once and answered that many milliseconds late
(a server across the internet), alternating: what of the wait the start-up
hides.

Usage: startup.py --program build/app/zoq_e2e
                  --reference build/bench/startup/zoq_startup_reference
                  --version-url http://127.0.0.1:18181/blog/zoq/article/1.html
                  [--before old/build/app/zoq_e2e] [--answer-after-ms 200]
                  [--rounds 15] [--idle-seconds 30]
(--rounds 0: the idle CPU alone)
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


def resident_by_mapping(pid):
    """Resident KiB per kind of mapping: each library by name, the fonts
    together, the heap, anonymous memory; the peak (VmHWM) and the total now (VmRSS)."""
    sizes = {}
    name = None
    for line in Path(f"/proc/{pid}/smaps").read_text().splitlines():
        fields = line.split()
        if re.match(r"^[0-9a-f]+-[0-9a-f]+ ", line):
            path = fields[5] if len(fields) > 5 else "[anonymous]"
            if re.search(r"\.(ttf|ttc|otf)$", path):
                path = "fonts"
            name = os.path.basename(path) if path.startswith("/") else path
        elif fields[0] == "Rss:":
            sizes[name] = sizes.get(name, 0) + int(fields[1])
    status = Path(f"/proc/{pid}/status").read_text()
    sizes["peak (VmHWM)"] = int(re.search(r"^VmHWM:\s*(\d+)", status, re.M).group(1))
    sizes["now (VmRSS)"] = int(re.search(r"^VmRSS:\s*(\d+)", status, re.M).group(1))
    return sizes


def run_reference(session, watcher, program, *args, breakdown=None):
    seen = watcher.count()
    start = time.monotonic()
    proc = subprocess.Popen([program, *args], env=session.env(), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    mapped = wait_for("the reference window", lambda: watcher.since(seen), 20, 0.005)[0][0]
    time.sleep(1.0)
    if breakdown is not None:
        breakdown.append(resident_by_mapping(proc.pid))
    return mapped - start, None, peak_rss_kib(proc)


def run_program(session, watcher, program, breakdown=None):
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
    if breakdown is not None:
        breakdown.append(resident_by_mapping(proc.pid))
    return first_time - start, main_time - start, peak_rss_kib(proc)


def cpu_seconds(pid):
    """On-CPU time of all the process's threads (schedstat, nanoseconds)."""
    total = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            total += int((task / "schedstat").read_text().split()[0])
        except (OSError, ValueError, IndexError):
            pass  # a thread that ended meanwhile
    return total / 1e9


def main_thread_switches(pid):
    status = Path(f"/proc/{pid}/task/{pid}/status").read_text()
    return int(re.search(r"^voluntary_ctxt_switches:\s*(\d+)", status, re.M).group(1))


def start_to_main_window(session, watcher, program):
    seen = watcher.count()
    proc = session.spawn([program], env=session.env(), stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    box = wait_for("the message box", lambda: watcher.since(seen), 30, 0.01)[0][1]
    wait_for("the main window",
             lambda: any(w != box and title_of(session, w) == MAIN_TITLE
                         for _, w in watcher.since(seen)) or session.press_return(box),
             30, 0.05)
    return proc


def idle_cpu(session, watcher, programs, seconds):
    """Each program's share of a core and main-thread wake-ups per second,
    all of them idling at the same time."""
    procs = [start_to_main_window(session, watcher, program) for program in programs]
    time.sleep(1.0)
    before = [(cpu_seconds(p.pid), main_thread_switches(p.pid)) for p in procs]
    t0 = time.monotonic()
    time.sleep(seconds)
    after = [(cpu_seconds(p.pid), main_thread_switches(p.pid)) for p in procs]
    t1 = time.monotonic()
    for proc in procs:
        proc.terminate()
        proc.wait()
    return [((a[0] - b[0]) / (t1 - t0), (a[1] - b[1]) / (t1 - t0))
            for b, a in zip(before, after)]


def answer_delay(session, watcher, programs, delay_file, delay_ms, rounds):
    """Start -> box of each program, page answered at once and late."""
    times = {(name, d): [] for name in programs for d in (0, delay_ms)}
    for _ in range(rounds):
        for name, program in programs.items():
            for d in (0, delay_ms):
                delay_file.write_text(str(d))
                times[(name, d)].append(run_program(session, watcher, program)[0])
    print(f"rounds: {rounds}; page answered after {delay_ms} ms vs at once")
    for name in programs:
        at_once = 1000 * statistics.median(times[(name, 0)])
        late = 1000 * statistics.median(times[(name, delay_ms)])
        print(f"{name:8} start -> box: at once {at_once:7.1f} ms, late {late:7.1f} ms "
              f"= {delay_ms} + {(late - delay_ms) / at_once:.2f} x at once "
              f"(goal <= {delay_ms + 0.5 * at_once:.1f} ms)")


def print_breakdown(maps):
    """Median resident KiB per mapping, largest differences from the floor first."""
    runs = {who: sizes for who, sizes in maps.items() if sizes}
    names = {name for sizes in runs.values() for one in sizes for name in one}
    median = {who: {name: statistics.median(one.get(name, 0) for one in sizes) for name in names}
              for who, sizes in runs.items()}
    floor = median["floor"]
    print("resident KiB per mapping, 1 s after the window (medians):")
    print(f"{'mapping':32}" + "".join(f"{who:>10}" for who in runs) + f"{'program-floor':>15}")
    for name in sorted(names, key=lambda n: -abs(median["program"][n] - floor[n])):
        diff = median["program"][name] - floor[name]
        if abs(diff) < 32 and not name.endswith(")"):
            continue
        print(f"{name[:32]:32}" + "".join(f"{median[who][name]:10.0f}" for who in runs)
              + f"{diff:15.0f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--reference", required=True)
    parser.add_argument("--version-url", required=True)
    parser.add_argument("--before", action="append", default=[],
                        help="an older build; may be given more than once")
    parser.add_argument("--answer-after-ms", type=int, default=0)
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--idle-seconds", type=float, default=30)
    parser.add_argument("--breakdown", action="store_true",
                        help="also the resident memory per mapping, floor against program")
    args = parser.parse_args()

    with Session(prefix="zoq-startup-bench-") as session:
        session.start_display()
        delay_file = session.dir / "delay-ms"
        session.serve_version_page(args.version_url, matching_page("1.2"), delay_file)
        watcher = MapWatcher(session)
        programs = {"program": args.program}
        for n, before in enumerate(args.before):
            programs["before" + (f"-{n + 1}" if n else "")] = before
        if args.answer_after_ms:
            answer_delay(session, watcher, programs, delay_file, args.answer_after_ms, args.rounds)
            return 0
        before_rss, floor_rss = [], []
        ref_times, ref_rss, first_times, main_times, rss = [], [], [], [], []
        cjk_times, cjk_rss = [], []
        maps = {"floor": [], "program": [], "before": []} if args.breakdown else {}
        for _ in range(args.rounds):
            t, _, r = run_reference(session, watcher, args.reference)
            ref_times.append(t)
            ref_rss.append(r)
            t, _, r = run_reference(session, watcher, args.reference, "cjk")
            cjk_times.append(t)
            cjk_rss.append(r)
            floor_rss.append(run_reference(session, watcher, args.reference, "floor",
                                           args.version_url, breakdown=maps.get("floor"))[2])
            first, main_t, r = run_program(session, watcher, args.program, maps.get("program"))
            first_times.append(first)
            main_times.append(main_t)
            rss.append(r)
            if args.before:
                before_rss.append(run_program(session, watcher, args.before[0],
                                              maps.get("before"))[2])
        ms = lambda values: 1000 * statistics.median(values)  # noqa: E731
        mib = lambda values: statistics.median(values) / 1024  # noqa: E731
        if args.rounds:
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
            print(f"floor (Qt, both Chinese faces, one libcurl GET): peak RSS "
                  f"{mib(floor_rss):6.1f} MiB; program {mib(rss) / mib(floor_rss):.2f}x the floor")
            if before_rss:
                print(f"before:    peak RSS               {mib(before_rss):7.1f} MiB "
                      f"({mib(before_rss) / mib(ref_rss):.2f}x, "
                      f"{mib(before_rss) / mib(floor_rss):.2f}x the floor)")
        if maps:
            print_breakdown(maps)
        if args.idle_seconds > 0:
            idle = idle_cpu(session, watcher, list(programs.values()), args.idle_seconds)
            for name, (share, wakeups) in zip(programs, idle):
                print(f"{name + ':':10} idle CPU over {args.idle_seconds:.0f} s with the clock "
                      f"running: {100 * share:.3f} % of a core, main thread "
                      f"{wakeups:.1f} wake-ups/s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
