#!/usr/bin/env bash
# PageFetch against curl on the same 100 MB page from the same local server,
# in the same run, plus the peak memory of a fetch.
#
#   bench/fetch_vs_curl.sh [build-dir]      (default: build/)
#   AGAINST=other-build-dir bench/fetch_vs_curl.sh [build-dir]
#
# With AGAINST, that build's PageFetch runs too, alternating with this
# one's in every round, and the two are compared.
#
# Goals: PageFetch's median time at most 1.3 x curl's (curl writes to
# /dev/null; PageFetch has to hold the body), and the fetch's peak memory at
# most twice the body plus 20 MB above the benchmark binary's own.
#
# For comparison it also times curl keeping the body in memory (a file on
# /dev/shm): on a virtual machine the first touch of fresh pages can cost
# as much as the transfer itself, and only this curl pays it too.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${ZOQ_BUILD_DIR:-$top/build}}
bench="$build/bench/zoq_bench"
rounds=${ROUNDS:-5}
[[ -x "$bench" ]] || { echo "no $bench: build the zoq_bench target first" >&2; exit 1; }
against=${AGAINST:+$AGAINST/bench/zoq_bench}
[[ -z "$against" || -x "$against" ]] || { echo "no $against" >&2; exit 1; }
command -v curl >/dev/null || { echo "curl is needed for the comparison" >&2; exit 1; }

work=$(mktemp -d)
server=
cleanup() {
  [[ -n "$server" ]] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

body_bytes=$((100 * 1024 * 1024))
head -c "$body_bytes" /dev/zero | tr '\0' 'z' >"$work/large.bin"

# A small server on 127.0.0.1 that hands the file to the kernel (sendfile),
# so that the server is not what is measured.
cat >"$work/serve.py" <<'PY'
import os, socket, sys, threading
path = sys.argv[1]
size = os.path.getsize(path)
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(16)
print(listener.getsockname()[1], flush=True)
def serve(conn):
    with conn:
        head = b""
        while b"\r\n\r\n" not in head:
            part = conn.recv(65536)
            if not part:
                return
            head += part
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % size)
        with open(path, "rb") as f:
            conn.sendfile(f)
while True:
    conn, _ = listener.accept()
    threading.Thread(target=serve, args=(conn,), daemon=True).start()
PY
python3 -u "$work/serve.py" "$work/large.bin" >"$work/port" &
server=$!
for _ in $(seq 50); do [[ -s "$work/port" ]] && break; sleep 0.1; done
url="http://127.0.0.1:$(head -1 "$work/port")/large.bin"

# Runs a command with its output in $work/out; prints the seconds of CPU
# (user + system) it took.
cpu_of() {
  /usr/bin/time -f '%U %S' -o "$work/cpu" "$@" >"$work/out" 2>/dev/null
  awk '{print $1 + $2}' "$work/cpu"
}

shm=
if [[ -d /dev/shm && -w /dev/shm ]]; then shm=$(mktemp -d /dev/shm/zoq-fetch-bench.XXXXXX); fi
cleanup_shm() { [[ -n "$shm" ]] && rm -rf "$shm"; cleanup; }
trap cleanup_shm EXIT

# The last benchmark's real time, in seconds.
bench_seconds() {
  python3 -c 'import json,sys; b=json.load(open(sys.argv[1]))["benchmarks"][0]; print(b["real_time"]/1000 if b["time_unit"]=="ms" else b["real_time"])' "$work/out"
}

against_times=()
against_cpu=()
curl_times=()
shm_times=()
fetch_times=()
curl_cpu=()
fetch_cpu=()
for i in $(seq "$rounds"); do
  curl_cpu+=("$(cpu_of curl -s -o /dev/null -w '%{time_total}' "$url")")
  curl_times+=("$(cat "$work/out")")
  if [[ -n "$shm" ]]; then
    shm_times+=("$(curl -s -o "$shm/body" -w '%{time_total}' "$url")")
    rm -f "$shm/body"
  fi
  fetch_cpu+=("$(ZOQ_FETCH_BENCH_URL="$url" cpu_of "$bench" --benchmark_filter='BM_PageFetchLargeBody' \
    --benchmark_min_time=0.001 --benchmark_format=json)")
  fetch_times+=("$(bench_seconds)")
  if [[ -n "$against" ]]; then
    against_cpu+=("$(ZOQ_FETCH_BENCH_URL="$url" cpu_of "$against" \
      --benchmark_filter='BM_PageFetchLargeBody' --benchmark_min_time=0.001 --benchmark_format=json)")
    against_times+=("$(bench_seconds)")
  fi
done
if [[ -n "$against" ]]; then
  against_startup=$(cpu_of "$against" --benchmark_filter='^$')
  python3 - "${fetch_times[*]}" "${against_times[*]}" "${fetch_cpu[*]}" "${against_cpu[*]}" \
    "$against_startup" <<'PY'
import statistics, sys
this, other = ([float(x) for x in a.split()] for a in sys.argv[1:3])
this_cpu, other_cpu = (statistics.median(float(x) for x in a.split()) for a in sys.argv[3:5])
print("this build  (s): " + " ".join(f"{x:.3f}" for x in this) +
      f"   median {statistics.median(this):.3f}")
print("AGAINST     (s): " + " ".join(f"{x:.3f}" for x in other) +
      f"   median {statistics.median(other):.3f}")
print(f"time ratio this / AGAINST: {statistics.median(this) / statistics.median(other):.2f}; "
      f"CPU per run (benchmark start-up included) {this_cpu*1000:.0f} / {other_cpu*1000:.0f} ms"
      f" = {this_cpu / other_cpu:.2f}")
PY
fi
startup_cpu=$(cpu_of "$bench" --benchmark_filter='^$')

peak_kb() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}'
}
base_kb=$(peak_kb "$bench" --benchmark_filter='^$')
fetch_kb=$(ZOQ_FETCH_BENCH_URL="$url" peak_kb "$bench" --benchmark_filter='BM_PageFetchLargeBody' \
  --benchmark_min_time=0.001)

python3 - "$body_bytes" "$base_kb" "$fetch_kb" "${curl_times[*]}" "${fetch_times[*]}" \
  "${curl_cpu[*]}" "${fetch_cpu[*]}" "$startup_cpu" "${shm_times[*]}" <<'PY'
import statistics, sys
body, base_kb, fetch_kb = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
shm = [float(x) for x in sys.argv[9].split()] if len(sys.argv) > 9 else []
curl = [float(x) for x in sys.argv[4].split()]
fetch = [float(x) for x in sys.argv[5].split()]
curl_cpu = statistics.median(float(x) for x in sys.argv[6].split())
fetch_cpu = statistics.median(float(x) for x in sys.argv[7].split()) - float(sys.argv[8])
c, f = statistics.median(curl), statistics.median(fetch)
print("curl       (s): " + " ".join(f"{x:.3f}" for x in curl) + f"   median {c:.3f}")
print("PageFetch  (s): " + " ".join(f"{x:.3f}" for x in fetch) + f"   median {f:.3f}")
ratio = f / c
print(f"time ratio PageFetch / curl: {ratio:.2f}  (goal <= 1.30) {'ok' if ratio <= 1.3 else 'OVER'}")
if shm:
    m = statistics.median(shm)
    print("curl to RAM (s): " + " ".join(f"{x:.3f}" for x in shm) + f"   median {m:.3f}")
    print(f"time ratio PageFetch / curl keeping the body in memory: {f / m:.2f}")
# On a busy machine wall time is mostly waiting for a core; CPU time is not.
print(f"CPU per transfer: curl {curl_cpu*1000:.0f} ms, PageFetch {fetch_cpu*1000:.0f} ms"
      f" (benchmark start-up taken off), ratio {fetch_cpu/curl_cpu:.2f}")
grown_mb = (fetch_kb - base_kb) / 1024
limit_mb = 2 * body / 2**20 + 20
print(f"peak memory: {fetch_kb/1024:.0f} MB with the fetch, {base_kb/1024:.0f} MB without;"
      f" the fetch adds {grown_mb:.0f} MB (goal <= {limit_mb:.0f} MB)"
      f" {'ok' if grown_mb <= limit_mb else 'OVER'}")
PY
