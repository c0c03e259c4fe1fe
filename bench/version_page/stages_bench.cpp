// The start-up version check stage by stage, for a small and a large page:
// where the time goes between the fetch and the comparison. The end-to-end
// figure (program start to message box) comes from version_page_bench.py.
//
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise; the
// hidden edit boxes are those of the real main window.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "app/version_check.h"
#include "fetch/fetch.h"
#include "forms/forms.h"
#include "runtime/ui.h"
#include "support/loopback_server.h"
#include "text/text.h"
#include "text/between.h"
#include "text/decode.h"

namespace {

using namespace zoq;

constexpr std::int64_t kSmall = 2 << 10;
constexpr std::int64_t kLarge = 20 << 20;

// A blog article in UTF-8 whose heading carries 1.2, padded with reader
// comments (Chinese text, an escaped link) to `size` bytes.
std::string Page(std::int64_t size) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
      "<title>\xE7\x89\x88\xE6\x9C\xAC</title></head><body>\n"
      "<h2 class=\"article-title\">1.2</h2>\n";
  const std::string tail = "</body></html>\n";
  const std::string comment =
      "<div class=\"comment\">\xE8\xAF\xBB\xE8\x80\x85\xEF\xBC\x9A"
      "\xE8\xBF\x99\xE4\xB8\xAA\xE6\x92\xAD\xE6\x94\xBE\xE5\x99\xA8\xE5\xBE\x88\xE5\xA5\xBD"
      "\xE7\x94\xA8 <a href=\"/tag/%E6%92%AD%E6%94%BE%E5%99%A8\">tag</a> thanks!</div>\n";
  while (static_cast<std::int64_t>(page.size() + comment.size() + tail.size()) <= size) {
    page += comment;
  }
  page.append(static_cast<std::size_t>(size) - page.size() - tail.size(), ' ');
  return page + tail;
}

ui::Window& MainWindow() {
  static ui::Window* main = ui::CreateStartupWindow(forms::MainForm(), [](ui::Window&) {});
  return *main;
}

void Report(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Fetch(benchmark::State& state) {
  zoq::testing::LoopbackServer server;
  server.Script({zoq::testing::HttpReply(200, "OK", {}, Page(state.range(0)))});
  for (auto _ : state) benchmark::DoNotOptimize(zoq::fetch::PageFetch(server.Url("/article")).data());
  Report(state);
}

void BM_TextFromBytes(benchmark::State& state) {
  const std::string page = Page(state.range(0));
  const Bytes bytes(page.begin(), page.end());
  for (auto _ : state) benchmark::DoNotOptimize(TextFromBytes(bytes).data());
  Report(state);
}

void BM_UrlDecode(benchmark::State& state) {
  const Text page = Page(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(UrlDecode(page).data());
  Report(state);
}

// Writing the decoded page into the hidden 编辑框1 and reading it back.
void BM_HiddenPageBox(benchmark::State& state) {
  const Text decoded = UrlDecode(Page(state.range(0)));
  ui::Window& main = MainWindow();
  for (auto _ : state) {
    main.SetControlText("编辑框1", decoded);
    benchmark::DoNotOptimize(main.ControlText("编辑框1").data());
  }
  Report(state);
}

void BM_TextBetween(benchmark::State& state) {
  const Text decoded = UrlDecode(Page(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(TextBetween(decoded, "title\">", "</h2>").data());
  Report(state);
}

// The whole check with the real fetch, boxes and comparison; only the
// message box, the browser and the program's end are left out.
void BM_WholeCheck(benchmark::State& state) {
  zoq::testing::LoopbackServer server;
  server.Script({zoq::testing::HttpReply(200, "OK", {}, Page(state.range(0)))});
  const std::string url = server.Url("/blog/zoq/article/1.html");
  int matches = 0;
  app::VersionCheckServices services{
      .fetch = [&](const Text&) { return zoq::fetch::PageFetch(url); },
      .message = [&](const Text&, int) { ++matches; },
      .openInBrowser = [](const Text&) {},
      .endProgram = [] {},
  };
  ui::Window& main = MainWindow();
  for (auto _ : state) app::VersionCheck(main, services);
  if (matches != state.iterations()) state.SkipWithError("the page did not match");
  Report(state);
}

// CPU time is the whole process's: the fetch worker included.
#define STAGE(name)                                                               \
  BENCHMARK(name)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->UseRealTime() \
      ->MeasureProcessCPUTime()
STAGE(BM_Fetch);
STAGE(BM_TextFromBytes);
STAGE(BM_UrlDecode);
STAGE(BM_HiddenPageBox);
STAGE(BM_TextBetween);
STAGE(BM_WholeCheck);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ui::Application application;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
