// The clock line: its exact bytes at the day's edges, and that every tick
// writes it, through the real timer of the main window.
#include "app/clock.h"

#include <gtest/gtest.h>

#include <vector>

#include "forms/forms.h"
#include "platform/win32.h"
#include "support/fake_window.h"

namespace zoq::app {
namespace {

rt::DateTime At(int year, int month, int day, int hour, int minute, int second) {
  return {year, month, day, hour, minute, second};
}

TEST(ClockLine, PiecesFollowEachOtherWithoutPadding) {
  EXPECT_EQ(ClockLine(At(2026, 12, 9, 0, 0, 0)), "北京时间：2026年12月9日0时0分0秒");
  EXPECT_EQ(ClockLine(At(2026, 12, 9, 9, 5, 3)), "北京时间：2026年12月9日9时5分3秒");
  EXPECT_EQ(ClockLine(At(1999, 12, 31, 23, 59, 59)), "北京时间：1999年12月31日23时59分59秒");
  EXPECT_EQ(ClockLine(At(2027, 1, 1, 10, 10, 10)), "北京时间：2027年1月1日10时10分10秒");
}

TEST(ClockLine, IsCodePage936Bytes) {
  const Text line = ClockLine(At(2026, 1, 2, 3, 4, 5));
  // 北 is B1 B1, the full-width colon A3 BA, 时 CA B1, 分 B7 D6, 秒 C3 EB.
  EXPECT_EQ(line.substr(0, 2), "\xB1\xB1");
  EXPECT_EQ(line.substr(8, 2), "\xA3\xBA");
  EXPECT_EQ(line.substr(line.size() - 9), "3\xCA\xB1" "4\xB7\xD6" "5\xC3\xEB");
}

using testing::FakeWindow;

class FixedClock : public ::testing::Test {
 protected:
  void TearDown() override { rt::SetClockSource({}); }
};

TEST_F(FixedClock, EveryTickWritesTheWholeLineEvenWhenUnchanged) {
  rt::SetClockSource([] { return At(2026, 12, 9, 23, 59, 59); });
  FakeWindow main;
  ClockTick(main);
  ClockTick(main);
  ASSERT_EQ(main.textWrites.size(), 2u);
  for (const auto& [control, text] : main.textWrites) {
    EXPECT_EQ(control, "标签3");
    EXPECT_EQ(text, "北京时间：2026年12月9日23时59分59秒");
  }
}

TEST_F(FixedClock, ClockChangesShowOnTheNextTick) {
  rt::DateTime now = At(2026, 12, 9, 23, 59, 59);
  rt::SetClockSource([&now] { return now; });
  FakeWindow main;
  ClockTick(main);
  now = At(2026, 12, 10, 0, 0, 0);  // midnight: the date moves with the time
  ClockTick(main);
  ASSERT_EQ(main.textWrites.size(), 2u);
  EXPECT_EQ(main.textWrites[1].second, "北京时间：2026年12月10日0时0分0秒");
}

TEST_F(FixedClock, MainWindowClockLineTicksEverySecond) {
  rt::DateTime now = At(2026, 12, 9, 0, 0, 0);
  rt::SetClockSource([&now] { return now; });
  ui::Window* main = ui::LoadWindow(forms::MainForm(), [](ui::Window& w) {
    w.OnTick("时钟1", [&w] { ClockTick(w); });
  }, nullptr, false);
  ASSERT_NE(main, nullptr);
  // Stopped in the layout: eleven spaces until the first tick.
  EXPECT_EQ(main->ControlText("标签3"), "           ");
  main->SetTimerInterval("时钟1", 1000);
  const auto waitFor = [main](const Text& line) {
    // Sleeps until the window system has events, as the program's own
    // waits do; the count only stops a broken timer from hanging the test.
    for (int i = 0; i < 300 && main->ControlText("标签3") != line; ++i) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLEVENTS);
      rt::ProcessPendingMessages();
    }
    return main->ControlText("标签3");
  };
  EXPECT_EQ(waitFor("北京时间：2026年12月9日0时0分0秒"), "北京时间：2026年12月9日0时0分0秒");
  now = At(2026, 12, 9, 0, 0, 1);
  EXPECT_EQ(waitFor("北京时间：2026年12月9日0时0分1秒"), "北京时间：2026年12月9日0时0分1秒");
  main->Destroy();
  rt::ProcessPendingMessages();
}

}  // namespace
}  // namespace zoq::app
