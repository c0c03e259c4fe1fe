// Dates: the local clock, replaceable by tests, and the date's text form.

#include <ctime>
#include <mutex>
#include <string>
#include <utility>

#include "runtime/core.h"

namespace zoq::rt {
namespace {

std::mutex clockLock;
std::function<DateTime()> clockSource;

DateTime SystemNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  // The zone is looked up again at every reading (the C library would keep
  // the first one for the life of the process), so a change of the
  // machine's time zone shows on the next clock tick.
#ifdef _WIN32
  _tzset();
  localtime_s(&local, &now);
#else
  tzset();
  localtime_r(&now, &local);
#endif
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

// 年, 月 and 日 in code page 936.
constexpr char kYear[] = "\xC4\xEA";
constexpr char kMonth[] = "\xD4\xC2";
constexpr char kDay[] = "\xC8\xD5";

std::string TwoDigits(int n) {
  std::string s = std::to_string(n);
  return s.size() < 2 ? "0" + s : s;
}

}  // namespace

DateTime Now() {
  std::function<DateTime()> source;
  {
    std::lock_guard<std::mutex> guard(clockLock);
    source = clockSource;
  }
  return source ? source() : SystemNow();
}

void SetClockSource(std::function<DateTime()> source) {
  std::lock_guard<std::mutex> guard(clockLock);
  clockSource = std::move(source);
}

DateTime DatePart(const DateTime& when) {
  DateTime date = when;
  date.hour = date.minute = date.second = 0;
  return date;
}

int Hour(const DateTime& when) { return when.hour; }
int Minute(const DateTime& when) { return when.minute; }
int Second(const DateTime& when) { return when.second; }

Text DateToText(const DateTime& when) {
  Text out = std::to_string(when.year) + kYear + std::to_string(when.month) + kMonth +
             std::to_string(when.day) + kDay;
  if (when.hour != 0 || when.minute != 0 || when.second != 0) {
    out += ' ' + std::to_string(when.hour) + ':' + TwoDigits(when.minute) + ':' +
           TwoDigits(when.second);
  }
  return out;
}

}  // namespace zoq::rt
