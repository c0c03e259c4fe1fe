#include "app/version_check.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "config.h"
#include "forms/forms.h"
#include "platform/win32.h"
#include "support/fake_window.h"
#include "support/loopback_server.h"

namespace zoq::app {
namespace {

// The main window's hidden boxes as the layout fills them, timer changes
// written into `log`.
struct CheckWindow : testing::FakeWindow {
  explicit CheckWindow(std::vector<std::string>* log) {
    texts["编辑框5"] = "1.2";
    onTimer = [log](const Text& control, int milliseconds) {
      log->push_back("timer " + control + " " + std::to_string(milliseconds));
    };
  }
};

// A message box as the log records it; both start-up boxes show no icon (style 0).
std::string Box(const std::string& text, int style) {
  return "message " + text + " style " + std::to_string(style);
}

const std::string kMatch = "最新版本~！可以使用~！";
const std::string kMismatch = "匹配失败发现最新版本~！";

// Runs the check on `page` and records, in order, what it did outside the window.
struct CheckRun {
  std::vector<std::string> log;
  CheckWindow main{&log};

  explicit CheckRun(const std::string& page) {
    VersionCheckServices services{
        .fetch =
            [this, page](const Text& url) {
              log.push_back("fetch " + url);
              return Bytes(page.begin(), page.end());
            },
        .message = [this](const Text& text, int style) { log.push_back(Box(text, style)); },
        .openInBrowser = [this](const Text& url) { log.push_back("browser " + url); },
        .endProgram = [this] { log.push_back("end"); },
    };
    VersionCheck(main, services);
  }
};

std::vector<std::string> MatchLog() {
  return {std::string("fetch ") + kVersionPageUrl, Box(kMatch, 0),
          "timer 时钟1 1000"};
}

std::vector<std::string> MismatchLog() {
  return {std::string("fetch ") + kVersionPageUrl, Box(kMismatch, 0),
          std::string("browser ") + kDownloadPageUrl, "end"};
}

TEST(VersionCheck, MatchingHeadingShowsMessageThenStartsClock) {
  CheckRun run("<html><h2 class=\"article-title\">1.2</h2><p>正文</p></html>");
  EXPECT_EQ(run.log, MatchLog());
  EXPECT_EQ(run.main.ControlText("编辑框2"), "1.2");
}

TEST(VersionCheck, PercentEscapesAreDecodedBeforeTheSearch) {
  EXPECT_EQ(CheckRun("<h2 class=\"title\">1%2E2</h2>").log, MatchLog());
  EXPECT_EQ(CheckRun("<h2 class=\"title\">1%2e2</h2>").log, MatchLog());
  // The markers themselves may arrive escaped.
  EXPECT_EQ(CheckRun("<h2 class=\"title%22%3E1.2%3C/h2>").log, MatchLog());
}

TEST(VersionCheck, DecodedPageIsKeptInTheHiddenPageBox) {
  // UTF-8 中 and an escaped 文 come out as code-page 936 bytes.
  CheckRun run("<p>\xE4\xB8\xAD%E6%96%87</p><h2 class=\"title\">1.2</h2>");
  EXPECT_EQ(run.main.ControlText("编辑框1"), "<p>中文</p><h2 class=\"title\">1.2</h2>");
  EXPECT_EQ(run.log, MatchLog());
}

TEST(VersionCheck, AnyOtherVersionTextIsAMismatch) {
  for (const char* heading : {"1.3", "1.1", " 1.2", "1.2 ", "1.20", "v1.2", "1,2", "",
                              "1.2\r\n"}) {
    SCOPED_TRACE(heading);
    CheckRun run(std::string("<h2 class=\"article-title\">") + heading + "</h2>");
    EXPECT_EQ(run.log, MismatchLog());
    EXPECT_EQ(run.main.ControlText("编辑框2"), heading);
  }
  // Full-width digits, sent in UTF-8, arrive as their code-page 936 pair.
  CheckRun wide("<h2 class=\"article-title\">\xEF\xBC\x91.\xEF\xBC\x92</h2>");
  EXPECT_EQ(wide.log, MismatchLog());
  EXPECT_EQ(wide.main.ControlText("编辑框2"), "１.２");
}

TEST(VersionCheck, PagesWithoutTheMarkersAreMismatches) {
  for (const char* page : {"", "<html><body>1.2</body></html>", "<h2 class=\"title\">1.2",
                           "1.2</h2>", "<h2 class=\"TITLE\">1.2</h2>",
                           "<h2 class=title>1.2</h2>", "<h2 class=\"title\">1.2</H2>"}) {
    SCOPED_TRACE(page);
    EXPECT_EQ(CheckRun(page).log, MismatchLog());
  }
}

TEST(VersionCheck, OnlyTheFirstHeadingCounts) {
  EXPECT_EQ(CheckRun("<h2 class=\"title\">1.1</h2><h2 class=\"title\">1.2</h2>").log, MismatchLog());
  EXPECT_EQ(CheckRun("<h2 class=\"title\">1.2</h2><h2 class=\"title\">1.1</h2>").log, MatchLog());
}

TEST(VersionCheck, TextOfThePageEndsAtAZeroByte) {
  std::string page = "<p>x</p>";
  page += '\0';
  page += "<h2 class=\"title\">1.2</h2>";
  EXPECT_EQ(CheckRun(page).log, MismatchLog());
}

TEST(VersionCheck, ComparesWithTheBuiltInVersionBox) {
  std::vector<std::string> log;
  CheckWindow main(&log);
  main.SetControlText("编辑框5", "1.3");
  VersionCheckServices services{
      .fetch = [](const Text&) { return BytesFromText("<h2 class=\"title\">1.3</h2>"); },
      .message = [&](const Text& text, int style) { log.push_back(Box(text, style)); },
      .openInBrowser = [&](const Text& url) { log.push_back("browser " + url); },
      .endProgram = [&] { log.push_back("end"); },
  };
  VersionCheck(main, services);
  EXPECT_EQ(log, (std::vector<std::string>{Box(kMatch, 0), "timer 时钟1 1000"}));
}

TEST(VersionCheck, MessagesAreCodePage936Bytes) {
  // ~ is ASCII, ！ is the full-width mark A3 A1.
  EXPECT_EQ(kMatch.substr(8, 3), "~\xA3\xA1");
  EXPECT_EQ(kMismatch.substr(kMismatch.size() - 3), "~\xA3\xA1");
  EXPECT_EQ(kMatch.size(), 22u);
}

// Dispatches the window system's events for about `ms` milliseconds.
void PumpFor(int ms) {
  for (int waited = 0; waited < ms; waited += 20) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLEVENTS);
    rt::ProcessPendingMessages();
  }
}

// The main window, its timer writing "ticked" into the clock line.
ui::Window* MainWindowMarkingTicks() {
  return ui::LoadWindow(forms::MainForm(), [](ui::Window& w) {
    w.OnTick("时钟1", [&w] { w.SetControlText("标签3", "ticked"); });
  }, nullptr, false);
}

// The real main window: its layout's built-in version, its hidden boxes and
// its timer, with only the outside world replaced.
TEST(VersionCheckOnTheMainWindow, MatchKeepsThePageAndStartsTheClockAfterTheMessage) {
  const std::string page =
      "<html>\r\n<title>\xE7\x89\x88\xE6\x9C\xAC</title>\r\n"
      "<h2 class=\"article-title\">1.2</h2>\r\n<p>%E4%B8%AD\t\xE6\x96\x87</p>\n</html>";
  ui::Window* main = MainWindowMarkingTicks();
  ASSERT_NE(main, nullptr);
  const Text blank = main->ControlText("标签3");

  std::vector<std::string> log;
  Text clockWhileMessageUp;
  VersionCheckServices services{
      .fetch = [&](const Text&) { return Bytes(page.begin(), page.end()); },
      .message =
          [&](const Text& text, int style) {
            log.push_back(Box(text, style));
            PumpFor(1300);  // a timer started too early would tick meanwhile
            clockWhileMessageUp = main->ControlText("标签3");
          },
      .openInBrowser = [&](const Text& url) { log.push_back("browser " + url); },
      .endProgram = [&] { log.push_back("end"); },
  };
  VersionCheck(*main, services);

  EXPECT_EQ(log, (std::vector<std::string>{Box(kMatch, 0)}));
  EXPECT_EQ(main->ControlText("编辑框5"), "1.2");
  EXPECT_EQ(main->ControlText("编辑框2"), "1.2");
  // Line breaks, tabs and the converted characters come back unchanged.
  EXPECT_EQ(main->ControlText("编辑框1"),
            "<html>\r\n<title>版本</title>\r\n<h2 class=\"article-title\">1.2</h2>\r\n"
            "<p>中\t文</p>\n</html>");
  EXPECT_EQ(clockWhileMessageUp, blank);
  for (int i = 0; i < 100 && main->ControlText("标签3") == blank; ++i) PumpFor(20);
  EXPECT_EQ(main->ControlText("标签3"), "ticked");
  main->Destroy();
  rt::ProcessPendingMessages();
}

TEST(VersionCheckOnTheMainWindow, MismatchLeavesTheClockStopped) {
  ui::Window* main = MainWindowMarkingTicks();
  ASSERT_NE(main, nullptr);
  const Text blank = main->ControlText("标签3");
  std::vector<std::string> log;
  VersionCheckServices services{
      .fetch = [](const Text&) { return Bytes{}; },  // a failed fetch
      .message = [&](const Text& text, int style) { log.push_back(Box(text, style)); },
      .openInBrowser = [&](const Text& url) { log.push_back("browser " + url); },
      .endProgram = [&] { log.push_back("end"); },
  };
  VersionCheck(*main, services);
  EXPECT_EQ(log, (std::vector<std::string>{Box(kMismatch, 0),
                                           std::string("browser ") + kDownloadPageUrl,
                                           "end"}));
  EXPECT_EQ(main->ControlText("编辑框1"), "");
  EXPECT_EQ(main->ControlText("编辑框2"), "");
  PumpFor(1300);
  EXPECT_EQ(main->ControlText("标签3"), blank);
  main->Destroy();
  rt::ProcessPendingMessages();
}

// The port of the version page's address this build was made with.
int VersionPagePort() {
  const std::string url = kVersionPageUrl;
  return std::stoi(url.substr(url.find(':', url.find("//") + 2) + 1));
}

// A check with the real fetch against `server`, the request sent at once
// and awaited before the main window is made, or sent by the check itself.
// Gives what the check did outside the window, the page box, and the
// request's bytes.
std::vector<std::string> RealCheck(zoq::testing::LoopbackServer& server, bool startedEarly) {
  const std::size_t before = server.Requests().size();
  if (startedEarly) {
    StartVersionFetch();
    EXPECT_TRUE(server.WaitForRequests(before + 1, 10000)) << "no request before the window";
  }
  ui::Window* main = MainWindowMarkingTicks();
  EXPECT_NE(main, nullptr);
  if (!main) return {};
  std::vector<std::string> log;
  VersionCheckServices services = RealVersionCheckServices();
  services.message = [&](const Text& text, int style) { log.push_back(Box(text, style)); };
  services.openInBrowser = [&](const Text& url) { log.push_back("browser " + url); };
  services.endProgram = [&] { log.push_back("end"); };
  VersionCheck(*main, services);
  log.push_back("page " + main->ControlText("编辑框1"));
  log.push_back("request " + server.Request(before));
  main->Destroy();
  rt::ProcessPendingMessages();
  return log;
}

TEST(VersionCheckStartedEarly, RequestLeavesBeforeTheWindowAndOutcomesAreUnchanged) {
  zoq::testing::LoopbackServer server(VersionPagePort());
  const std::string page = "<p>%E4%B8%AD</p><h2 class=\"title\">1.2</h2>";
  zoq::testing::Reply slow = zoq::testing::HttpReply(200, "OK", {}, page);
  slow.pieceSize = slow.bytes.size() / 2;
  slow.pieceDelayMs = 300;  // arrives while the check waits
  zoq::testing::Reply reset{.bytes = "", .reset = true};
  const std::vector<zoq::testing::Reply> replies = {
      zoq::testing::HttpReply(200, "OK", {}, page), slow,
      zoq::testing::HttpReply(200, "OK", {}, "<h2 class=\"title\">1.3</h2>"),
      zoq::testing::HttpReply(404, "Not Found", {}, "<h2 class=\"title\">1.2</h2>"), reset};
  const std::string match = Box(kMatch, 0);
  const std::string mismatch = Box(kMismatch, 0);
  const std::vector<std::string> firstBoxes = {match, match, mismatch, match, mismatch};
  for (std::size_t i = 0; i < replies.size(); ++i) {
    SCOPED_TRACE(i);
    server.Script({replies[i]});
    const std::vector<std::string> late = RealCheck(server, false);
    const std::vector<std::string> early = RealCheck(server, true);
    ASSERT_GE(late.size(), 3u);
    EXPECT_EQ(late.front(), firstBoxes[i]);
    EXPECT_NE(late.back(), "request ");
    EXPECT_EQ(early, late);
  }
}

}  // namespace
}  // namespace zoq::app
