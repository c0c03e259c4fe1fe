// A window without a screen, for handlers tested without a window system:
// it keeps control texts and records what the handler did to it.
#pragma once

#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "runtime/ui.h"

namespace zoq::testing {

class FakeWindow : public ui::Window {
 public:
  std::map<Text, Text> texts;                     // what ControlText reads
  std::vector<std::pair<Text, Text>> textWrites;  // every SetControlText, equal ones too
  mutable std::vector<Text> pickerReads;          // every PickerColour, in order
  std::function<ui::Colour(const Text& control)> pickerColour;  // empty: 0
  std::function<void(const Text& control, int milliseconds)> onTimer;

  void OnCreated(ui::Handler) override {}
  void OnClick(const Text&, ui::Handler) override {}
  void OnTick(const Text&, ui::Handler) override {}
  Text Title() const override { return {}; }
  void SetTitle(const Text&) override {}
  Text ControlText(const Text& control) const override;
  void SetControlText(const Text& control, const Text& text) override;
  ui::Colour TextColour(const Text&) const override { return 0; }
  void SetTextColour(const Text&, ui::Colour) override {}
  ui::Colour BackColour(const Text&) const override { return 0; }
  void SetBackColour(const Text&, ui::Colour) override {}
  void SetPicture(const Text&, const Bytes&) override {}
  void SetTimerInterval(const Text& control, int milliseconds) override;
  ui::Colour PickerColour(const Text& control) const override;
  void SetPickerColour(const Text&, ui::Colour) override {}
  bool ShowOpenDialog(const Text&) override { return false; }
  Text DialogFileName(const Text&) const override { return {}; }
  void BringToFront() override {}
  void Destroy() override {}
};

}  // namespace zoq::testing
