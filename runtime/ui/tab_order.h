// The keyboard's way through a window, decided once for every backend: the
// controls that take the focus, in layout order (the natural reading), not
// in the stacking order overlapping controls need.
#pragma once

#include <cstddef>
#include <vector>

#include "runtime/ui.h"

namespace zoq::ui {

inline constexpr std::size_t kNoControl = static_cast<std::size_t>(-1);

// Visible edit boxes, buttons and colour pickers. Labels, group boxes,
// picture boxes and graphic buttons never take the focus, by keyboard or by
// click.
bool TakesFocus(const ControlSpec& control);

// The indices of the controls that take the focus, in layout order.
std::vector<std::size_t> TabStops(const std::vector<ControlSpec>& controls);

// Where Tab (forward) or Shift+Tab goes from the control at index `from`,
// round from the last stop to the first; from a control that is no stop (or
// kNoControl) it goes to the first stop, or backward to the last.
// kNoControl when the window has no stop.
std::size_t NextTabStop(const std::vector<ControlSpec>& controls, std::size_t from,
                        bool forward);

}  // namespace zoq::ui
