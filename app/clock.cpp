#include "app/clock.h"

namespace zoq::app {

Text ClockLine(const rt::DateTime& now) {
  const Text date = rt::DateToText(rt::DatePart(now));
  const Text hour = TextFromInteger(rt::Hour(now));
  const Text minute = TextFromInteger(rt::Minute(now));
  const Text second = TextFromInteger(rt::Second(now));
  return TextConcat({"北京时间：", date, hour, "时", minute, "分", second, "秒"});
}

void ClockTick(ui::Window& main) {
  // One reading of the clock for every piece, so the line never mixes two
  // moments (say the date before midnight with the time after it).
  main.SetControlText("标签3", ClockLine(rt::Now()));
}

}  // namespace zoq::app
