// PageFetch over loopback: throughput of a large body, and what the waiting
// thread spends while a slow server dribbles.
//
// ZOQ_FETCH_BENCH_URL points the large-body case at an outside server (as
// bench/fetch_vs_curl.sh does, to compare with curl on the same URL);
// without it the case serves 100 MB itself.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "fetch/fetch.h"
#include "support/loopback_server.h"

namespace {

constexpr std::size_t kLargeBody = 100u << 20;

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void BM_PageFetchLargeBody(benchmark::State& state) {
  std::unique_ptr<zoq::testing::LoopbackServer> server;
  std::string url;
  if (const char* outside = std::getenv("ZOQ_FETCH_BENCH_URL")) {
    url = outside;
  } else {
    server = std::make_unique<zoq::testing::LoopbackServer>();
    server->Script({zoq::testing::HttpReply(200, "OK", {}, std::string(kLargeBody, 'z'))});
    url = server->Url("/large");
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    zoq::Bytes body = zoq::fetch::PageFetch(url);
    if (body.empty()) {
      state.SkipWithError("the fetch brought nothing");
      break;
    }
    bytes += body.size();
    benchmark::DoNotOptimize(body.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_PageFetchLargeBody)->Unit(benchmark::kMillisecond)->UseRealTime();

// A body of 20 pieces, 50 ms apart: the waiting thread should sleep through
// the second it takes, not spin.
void BM_PageFetchWaitCpu(benchmark::State& state) {
  zoq::testing::LoopbackServer server;
  zoq::testing::Reply slow = zoq::testing::HttpReply(200, "OK", {}, std::string(2000, 's'));
  slow.pieceSize = (slow.bytes.size() + 19) / 20;
  slow.pieceDelayMs = 50;
  server.Script({slow});
  double cpuMs = 0;
  for (auto _ : state) {
    double before = ThreadCpuMs();
    benchmark::DoNotOptimize(zoq::fetch::PageFetch(server.Url("/slow")));
    cpuMs += ThreadCpuMs() - before;
  }
  state.counters["wait_thread_cpu_ms"] =
      benchmark::Counter(cpuMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PageFetchWaitCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
