// The user-interface thread while PageFetch waits under the real window
// layer: a 10 ms timer must keep firing on time (within 20 ms of when it is
// due) and the thread must not spin. The server dribbles its answer over
// about a second. Runs on Qt's offscreen platform unless told otherwise.

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>

#include "fetch/fetch.h"
#include "runtime/ui.h"
#include "support/loopback_server.h"

namespace {

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

zoq::ui::Application& App() {
  static std::unique_ptr<zoq::ui::Application> app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<zoq::ui::Application>();
  }();
  return *app;
}

void BM_PageFetchUiTimerDuringWait(benchmark::State& state) {
  App();
  zoq::testing::LoopbackServer server;
  zoq::testing::Reply slow = zoq::testing::HttpReply(200, "OK", {}, std::string(2000, 's'));
  slow.pieceSize = (slow.bytes.size() + 19) / 20;
  slow.pieceDelayMs = 50;
  server.Script({slow});

  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setInterval(10);
  QElapsedTimer clock;
  qint64 due = 0;
  qint64 worstLateMs = 0;
  long ticks = 0;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    qint64 now = clock.elapsed();
    worstLateMs = std::max(worstLateMs, now - due);
    due = now + 10;
    ++ticks;
  });

  double cpuMs = 0;
  double waitMs = 0;
  for (auto _ : state) {
    clock.start();
    due = 10;
    if (state.range(0)) timer.start();
    double before = ThreadCpuMs();
    benchmark::DoNotOptimize(zoq::fetch::PageFetch(server.Url("/slow")));
    cpuMs += ThreadCpuMs() - before;
    waitMs += static_cast<double>(clock.elapsed());
    timer.stop();
  }
  if (state.range(0)) {
    state.counters["timer_ticks_per_s"] = ticks * 1000.0 / std::max(waitMs, 1.0);
    state.counters["timer_worst_late_ms"] = static_cast<double>(worstLateMs);
  }
  state.counters["ui_cpu_ms_per_s"] = cpuMs * 1000.0 / std::max(waitMs, 1.0);
}
// 1: with the 10 ms timer running; 0: nothing else to do, so the thread
// should sleep through the whole wait.
BENCHMARK(BM_PageFetchUiTimerDuringWait)
    ->ArgName("timer")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
