// Throughput of the text routines on page-sized and larger inputs. Each case
// runs at two sizes ten times apart; the time per byte must stay the same
// (10x the input within 11x the time), which shows up as equal bytes/second.
//
//   zoq_bench --benchmark_filter='UrlDecode|TextBetween|TextFind'
//
// BM_IconvToCp936 converts the same page with the C library's converter
// (UTF-8 to CP936): the yardstick of UrlDecode's speed, in the same run.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#ifndef _WIN32
#include <iconv.h>
#endif

#include "text/text.h"
#include "text/between.h"
#include "text/decode.h"

namespace {

constexpr std::int64_t kMB = 1 << 20;

// A page of mostly ASCII markup with some UTF-8 Chinese and some percent
// escapes, about `size` bytes, ending in the version heading.
zoq::Text Page(std::int64_t size) {
  static const char* const kLines[] = {
      "<div class=\"post\"><a href=\"/blog/zoq/article/42.html\">Release notes</a></div>\n",
      "<p>\xE4\xB8\xAD\xE6\x96\x87\xE7\xBD\x91\xE9\xA1\xB5 with some text, 2024-05-01 12:30</p>\n",
      "<a href=\"/search?q=%E4%B8%AD%E6%96%87&amp;page=3\">next page</a>\n",
      "<script>var items = [1, 2, 3]; function show(x) { return x * 2; }</script>\n",
      "<li class=\"nav-item\"><span>Home</span> | <span>About</span> | 100% free</li>\n",
  };
  zoq::Text page;
  page.reserve(static_cast<std::size_t>(size) + 256);
  std::uint32_t state = 12345;
  while (static_cast<std::int64_t>(page.size()) < size) {
    state = state * 1103515245u + 12345u;
    page += kLines[(state >> 16) % 5];
  }
  page += "<h2 class=\"title\">1.2</h2>\n</body></html>\n";
  return page;
}

void BM_UrlDecode(benchmark::State& state) {
  const zoq::Text page = Page(state.range(0));
  for (auto _ : state) {
    zoq::Text decoded = zoq::UrlDecode(page);
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_UrlDecode)->Arg(1 * kMB)->Arg(10 * kMB)->Unit(benchmark::kMillisecond);

#ifndef _WIN32
void BM_IconvToCp936(benchmark::State& state) {
  const zoq::Text page = Page(state.range(0));
  iconv_t cd = iconv_open("CP936", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("no UTF-8 to CP936 converter");
    return;
  }
  std::string out;
  for (auto _ : state) {
    out.resize(2 * page.size());  // as UrlDecode sizes its output: by the worst case
    char* in = const_cast<char*>(page.data());
    std::size_t inLeft = page.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1)) {
      state.SkipWithError("the page did not convert");
      break;
    }
    out.resize(out.size() - outLeft);
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_IconvToCp936)->Arg(1 * kMB)->Arg(10 * kMB)->Unit(benchmark::kMillisecond);
#endif

void BM_TextBetween(benchmark::State& state) {
  const zoq::Text page = Page(state.range(0));
  const zoq::Text start = "title\">";
  const zoq::Text end = "</h2>";
  for (auto _ : state) {
    zoq::Text version = zoq::TextBetween(page, start, end);
    if (version != "1.2") state.SkipWithError("wrong piece");
    benchmark::DoNotOptimize(version.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_TextBetween)->Arg(10 * kMB)->Arg(100 * kMB)->Unit(benchmark::kMillisecond);

void BM_TextFind(benchmark::State& state) {
  const zoq::Text page = Page(state.range(0));
  const bool ignoreCase = state.range(1) != 0;
  const zoq::Text sought = ignoreCase ? "<H2 CLASS=" : "<h2 class=";
  for (auto _ : state) {
    const std::int32_t at = zoq::TextFind(page, sought, 1, ignoreCase);
    if (at < 0) state.SkipWithError("not found");
    benchmark::DoNotOptimize(at);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_TextFind)
    ->ArgNames({"bytes", "ignoreCase"})
    ->Args({10 * kMB, 0})
    ->Args({100 * kMB, 0})
    ->Args({10 * kMB, 1})
    ->Args({100 * kMB, 1})
    ->Unit(benchmark::kMillisecond);

// The worst case of an anchored search: every position a near miss. The
// search must stay linear here too.
void BM_TextFindRepetitive(benchmark::State& state) {
  const zoq::Text text(static_cast<std::size_t>(state.range(0)), 'a');
  const zoq::Text sought = zoq::Text(300, 'a') + "e";
  for (auto _ : state) {
    benchmark::DoNotOptimize(zoq::TextFind(text, sought, 1, state.range(1) != 0));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TextFindRepetitive)
    ->ArgNames({"bytes", "ignoreCase"})
    ->Args({1 * kMB, 0})
    ->Args({10 * kMB, 0})
    ->Args({1 * kMB, 1})
    ->Args({10 * kMB, 1})
    ->Unit(benchmark::kMillisecond);

void BM_TextLower(benchmark::State& state) {
  const zoq::Text page = Page(state.range(0));
  for (auto _ : state) {
    zoq::Text lower = zoq::TextLower(page);
    benchmark::DoNotOptimize(lower.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_TextLower)->Arg(1 * kMB)->Arg(10 * kMB)->Unit(benchmark::kMillisecond);

}  // namespace
