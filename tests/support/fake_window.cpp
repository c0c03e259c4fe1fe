#include "support/fake_window.h"

namespace zoq::testing {

Text FakeWindow::ControlText(const Text& control) const {
  const auto it = texts.find(control);
  return it == texts.end() ? Text() : it->second;
}

void FakeWindow::SetControlText(const Text& control, const Text& text) {
  texts[control] = text;
  textWrites.emplace_back(control, text);
}

void FakeWindow::SetTimerInterval(const Text& control, int milliseconds) {
  if (onTimer) onTimer(control, milliseconds);
}

ui::Colour FakeWindow::PickerColour(const Text& control) const {
  pickerReads.push_back(control);
  return pickerColour ? pickerColour(control) : 0;
}

}  // namespace zoq::testing
