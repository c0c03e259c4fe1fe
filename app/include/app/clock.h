// The clock line of the main window: "北京时间：" with the date and the time
// of day, rewritten on every tick of 时钟1.
#pragma once

#include "runtime/core.h"
#include "runtime/ui.h"

namespace zoq::app {

// The whole line for one moment: prefix, date, then hour, minute and second
// with their unit signs and no padding.
Text ClockLine(const rt::DateTime& now);

// 时钟1's tick: writes the line for the current moment as 标签3's caption,
// even when it has not changed since the last tick.
void ClockTick(ui::Window& main);

}  // namespace zoq::app
