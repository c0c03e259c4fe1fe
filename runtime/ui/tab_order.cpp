#include "tab_order.h"

#include <algorithm>

namespace zoq::ui {

bool TakesFocus(const ControlSpec& control) {
  if (!control.visible) return false;
  switch (control.kind) {
    case Kind::EditBox:
    case Kind::Button:
    case Kind::ColourPicker:
      return true;
    default:
      return false;
  }
}

std::vector<std::size_t> TabStops(const std::vector<ControlSpec>& controls) {
  std::vector<std::size_t> stops;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (TakesFocus(controls[i])) stops.push_back(i);
  }
  return stops;
}

std::size_t NextTabStop(const std::vector<ControlSpec>& controls, std::size_t from,
                        bool forward) {
  const std::vector<std::size_t> stops = TabStops(controls);
  if (stops.empty()) return kNoControl;
  const auto at = std::find(stops.begin(), stops.end(), from);
  if (at == stops.end()) return forward ? stops.front() : stops.back();
  const std::size_t i = static_cast<std::size_t>(at - stops.begin());
  if (forward) return stops[(i + 1) % stops.size()];
  return stops[(i + stops.size() - 1) % stops.size()];
}

}  // namespace zoq::ui
