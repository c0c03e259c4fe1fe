#!/usr/bin/env python3
"""What WinINet's reads of a large page cost under Wine: the page read in
512-byte reads (as the fetch reads its body), the same with each read
preceded by InternetQueryDataAvailable, and in 64 KiB reads; rounds
alternating, medians. Tells Wine's share of the time a large version page
adds before the start-up box (version_page_bench.py --wine gives the whole).

  bench/version_page/wininet_reads.py \\
      --reader build-win/tests/e2e/win/zoq_wininet_reads.exe \\
      --version-url http://127.0.0.1:18181/blog/zoq/article/1.html
(run it in a private network namespace, as the Wine end-to-end tests are)
"""
import argparse
import statistics
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))
import wine  # noqa: E402
from e2e import Session  # noqa: E402
from version_page_bench import page_of_size  # noqa: E402

WAYS = {"512-byte reads": ["512"], "512-byte reads, each after asking": ["512", "ask"],
        "64 KiB reads": ["65536"]}


def main():
    top = Path(__file__).resolve().parents[2]
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--reader", type=Path, required=True)
    parser.add_argument("--version-url", required=True)
    parser.add_argument("--wine", type=Path, default=top / "build-win" / "wine-e2e")
    parser.add_argument("--size", type=int, default=20 * 1024 * 1024)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()

    runner = wine.Wine(args.wine, winlist=None)
    times = {way: [] for way in WAYS}
    with Session(prefix="zoq-wininet-reads-", runner=runner) as session:
        session.start_display()  # Wine wants one, though nothing shows
        session.serve_version_page(args.version_url, page_of_size(args.size))
        for n in range(args.rounds + 1):
            for way, extra in WAYS.items():
                out = subprocess.run(runner.command(args.reader, [args.version_url, *extra]),
                                     env=runner.environment(session), capture_output=True,
                                     text=True, timeout=300, check=True).stdout.split()
                if int(out[0]) != args.size:
                    raise SystemExit(f"{way}: read {out[0]} bytes of {args.size}")
                if n:  # the first round warms Wine's server and caches
                    times[way].append(float(out[2]))
    print(f"{args.size} bytes, {args.rounds} rounds, medians:")
    for way, values in times.items():
        print(f"  {way:36} {statistics.median(values):8.0f} ms "
              f"(runs: {', '.join(f'{v:.0f}' for v in values)})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
