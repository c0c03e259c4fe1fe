#!/usr/bin/env python3
"""Start-up time of the Windows build under Wine on Xvfb, as a ratio to the
smallest Windows program that shows one message box
(zoq_startup_reference_box.exe), both started the same way in the same run.

A time runs from just before the process is spawned until the X server
reports its first window mapped (xev watching the root window): for the
program that is the message box of its start-up check, against a matching
loopback page served here. Both run in the prefix of the Wine end-to-end
tests with its server kept up for the whole run, after one unmeasured
round of each (the first program in a prefix builds Wine's font cache).
Medians and lower quartiles over --rounds, the order alternating round by
round. Also prints the program's size as built and stripped.

With --before (given once or more), each build given there is timed in
the same rounds, its ratio printed beside the program's.

With --answer-after-ms the run measures only the program (and the build
given with --before) against the page answered at once and answered that
many milliseconds late, alternating, as startup.py does.

Usage: startup_wine.py --program build-win/app/zoq_e2e.exe
           --reference build-win/tests/e2e/win/zoq_startup_reference_box.exe
           --version-url http://127.0.0.1:18181/blog/zoq/article/1.html
           [--wine build-win/wine-e2e] [--rounds 11]
           [--before old/build-win/app/zoq_e2e.exe --answer-after-ms 200]
"""
import argparse
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))
import wine  # noqa: E402
from e2e import MAIN_TITLE, Failure, Session, matching_page, wait_for  # noqa: E402
from startup import MapWatcher, title_of  # noqa: E402


def time_to_box(session, watcher, runner, program, again=True):
    seen = watcher.count()
    start = time.monotonic()
    proc = subprocess.Popen(runner.command(program, []), env=runner.environment(session),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        mapped, window = wait_for(f"the first window of {program.name}",
                                  lambda: watcher.since(seen), 20, 0.005)[0]
    except Failure:
        proc.kill()
        proc.wait()
        if not again:
            raise
        # Wine's server now and then drops a client as it starts.
        print(f"note: {program.name} showed no window within 20 s; started again")
        return time_to_box(session, watcher, runner, program, again=False)
    title = title_of(session, window)
    proc.terminate()
    proc.wait()
    if title != MAIN_TITLE:
        raise SystemExit(f"{program.name}: the first window is titled {title!r}")
    return mapped - start


def sizes(program):
    with tempfile.TemporaryDirectory() as work:
        stripped = Path(work) / program.name
        shutil.copy(program, stripped)
        subprocess.run(["x86_64-w64-mingw32-strip", str(stripped)], check=True)
        return program.stat().st_size, stripped.stat().st_size


def befores(args):
    """The --before builds with the names they are printed under."""
    if len(args.before) == 1:
        return [("before", args.before[0])]
    return [(f"before{i + 1}", b) for i, b in enumerate(args.before)]


def answer_delay(args):
    runner = wine.Wine(args.wine, winlist=None)
    programs = {"program": args.program, **dict(befores(args))}
    delays = (0, args.answer_after_ms)
    times = {(name, d): [] for name in programs for d in delays}
    with Session(prefix="zoq-startup-wine-", runner=runner) as session:
        session.start_display()
        delay_file = session.dir / "delay-ms"
        session.serve_version_page(args.version_url, matching_page("1.2"), delay_file)
        watcher = MapWatcher(session)
        for program in programs.values():
            time_to_box(session, watcher, runner, program)
        for n in range(args.rounds):
            order = list(programs.items())
            for name, program in order if n % 2 == 0 else reversed(order):
                for d in delays:
                    delay_file.write_text(str(d))
                    times[(name, d)].append(time_to_box(session, watcher, runner, program))
                    time.sleep(0.3)
    print(f"rounds: {args.rounds}; page answered after {args.answer_after_ms} ms vs at once")
    for name in programs:
        at_once = 1000 * statistics.median(times[(name, 0)])
        late = 1000 * statistics.median(times[(name, args.answer_after_ms)])
        print(f"{name:8} start -> box: at once {at_once:7.1f} ms, late {late:7.1f} ms "
              f"= {args.answer_after_ms} + {(late - args.answer_after_ms) / at_once:.2f} x at once "
              f"(goal <= {args.answer_after_ms + 0.5 * at_once:.1f} ms)")
        low = [1000 * statistics.quantiles(times[(name, d)], n=4)[0] for d in delays]
        print(f"{'':8} lower quartiles: at once {low[0]:7.1f} ms, late {low[1]:7.1f} ms "
              f"= {args.answer_after_ms} + {(low[1] - args.answer_after_ms) / low[0]:.2f} x")
    return 0


def main():
    top = Path(__file__).resolve().parents[2]
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", type=Path, required=True)
    parser.add_argument("--reference", type=Path, required=True)
    parser.add_argument("--version-url", required=True)
    parser.add_argument("--wine", type=Path, default=top / "build-win" / "wine-e2e")
    parser.add_argument("--rounds", type=int, default=11)
    parser.add_argument("--before", type=Path, action="append", default=[])
    parser.add_argument("--answer-after-ms", type=int, default=0)
    args = parser.parse_args()
    if args.answer_after_ms:
        return answer_delay(args)

    runner = wine.Wine(args.wine, winlist=None)
    with Session(prefix="zoq-startup-wine-", runner=runner) as session:
        session.start_display()
        session.serve_version_page(args.version_url, matching_page("1.2"))
        watcher = MapWatcher(session)
        programs = [args.reference, args.program] + args.before
        for program in programs:
            time_to_box(session, watcher, runner, program)
        times = {p: [] for p in programs}
        for n in range(args.rounds):
            for program in programs if n % 2 == 0 else reversed(programs):
                times[program].append(time_to_box(session, watcher, runner, program))
                # Wine tidies up after the process; its server stays up, as
                # it does for a few seconds after the last one.
                time.sleep(0.3)

    def quartile(values):
        return 1000 * statistics.quantiles(values, n=4)[0]

    print(f"rounds: {args.rounds}; start -> box mapped, median and lower quartile "
          "(the quartile is less disturbed by a busy machine)")
    ref = times[args.reference]
    ref_ms, ref_low = 1000 * statistics.median(ref), quartile(ref)
    print(f"reference box: {ref_ms:7.1f} ms  {ref_low:7.1f} ms")
    for name, program in [("program", args.program)] + befores(args):
        if program:
            ms, low = 1000 * statistics.median(times[program]), quartile(times[program])
            # Each round's own ratio too: a round's runs lie close together, so a
            # slow spell of a busy machine mostly cancels out.
            paired = statistics.median(t / r for t, r in zip(times[program], ref))
            print(f"{name + ':':14} {ms:7.1f} ms  {low:7.1f} ms   ratio {ms / ref_ms:5.2f}x  "
                  f"{low / ref_low:5.2f}x  round by round {paired:5.2f}x   (goal <= 1.15x)")
            if name != "program":
                # Against the program directly, which a slow spell disturbs least.
                direct = statistics.median(p / t for p, t in zip(times[args.program],
                                                                 times[program]))
                print(f"{'':14} program / {name}, round by round: {direct:5.2f}x")
    built, stripped = sizes(args.program)
    print(f"program size: {built / 2**20:.2f} MiB as built, {stripped / 2**20:.2f} MiB stripped")
    return 0


if __name__ == "__main__":
    sys.exit(main())
