#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "runtime/core.h"

namespace zoq::rt {
namespace {

// 年 月 日 in code page 936.
#define YEAR "\xC4\xEA"
#define MONTH "\xD4\xC2"
#define DAY "\xC8\xD5"

// Sets the time zone the process sees, as a change of the machine's zone
// would, and puts the old one back at the end.
class TimeZone : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* zone = std::getenv("TZ")) saved_ = zone;
  }
  void TearDown() override { Set(saved_ ? saved_->c_str() : nullptr); }
  static void Set(const char* zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone ? zone : "");
#else
    if (zone) {
      setenv("TZ", zone, 1);
    } else {
      unsetenv("TZ");
    }
#endif
  }
  static int MinuteOfDay(const DateTime& t) { return t.hour * 60 + t.minute; }

 private:
  std::optional<std::string> saved_;
};

TEST_F(TimeZone, ChangeShowsOnTheNextReading) {
  Set("UTC0");
  const DateTime utc = Now();
  Set("CST-8");  // eight hours east, as Beijing
  const DateTime east = Now();
  // A minute may pass between the two readings.
  const int ahead = (MinuteOfDay(east) - MinuteOfDay(utc) + 24 * 60) % (24 * 60);
  EXPECT_TRUE(ahead == 8 * 60 || ahead == 8 * 60 + 1) << ahead << " minutes";
}

TEST(DateText, DateAloneHasNoPaddingAndNoTime) {
  EXPECT_EQ(DateToText({2026, 12, 9, 0, 0, 0}), "2026" YEAR "12" MONTH "9" DAY);
  EXPECT_EQ(DateToText({2027, 1, 31, 0, 0, 0}), "2027" YEAR "1" MONTH "31" DAY);
}

TEST(DateText, TimeOfDayFollowsAsHourMinutesSeconds) {
  EXPECT_EQ(DateToText({2026, 12, 9, 8, 5, 9}), "2026" YEAR "12" MONTH "9" DAY " 8:05:09");
  EXPECT_EQ(DateToText({2026, 12, 9, 0, 0, 1}), "2026" YEAR "12" MONTH "9" DAY " 0:00:01");
  EXPECT_EQ(DateToText({2026, 12, 9, 23, 59, 59}), "2026" YEAR "12" MONTH "9" DAY " 23:59:59");
}

TEST(DateParts, PartsOfADateTime) {
  DateTime t{2026, 12, 9, 13, 4, 58};
  EXPECT_EQ(Hour(t), 13);
  EXPECT_EQ(Minute(t), 4);
  EXPECT_EQ(Second(t), 58);
  DateTime d = DatePart(t);
  EXPECT_EQ(d.year, 2026);
  EXPECT_EQ(d.month, 12);
  EXPECT_EQ(d.day, 9);
  EXPECT_EQ(Hour(d), 0);
  EXPECT_EQ(Minute(d), 0);
  EXPECT_EQ(Second(d), 0);
  EXPECT_EQ(DateToText(d), "2026" YEAR "12" MONTH "9" DAY);
}

TEST(Clock, TestsReplaceTheClockAndCanRestoreIt) {
  SetClockSource([] { return DateTime{2030, 2, 3, 4, 5, 6}; });
  DateTime t = Now();
  EXPECT_EQ(t.year, 2030);
  EXPECT_EQ(Second(t), 6);
  SetClockSource(nullptr);
  DateTime real = Now();
  EXPECT_GE(real.year, 2024);
  EXPECT_GE(real.month, 1);
  EXPECT_LE(real.month, 12);
  EXPECT_LE(Hour(real), 23);
  EXPECT_LE(Second(real), 60);
}

}  // namespace
}  // namespace zoq::rt
