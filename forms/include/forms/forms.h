// The program's two window layouts.
#pragma once

#include "runtime/ui.h"

namespace zoq::forms {

// Names by which the open windows are found (ui::WindowNamed).
inline constexpr const char* kMainWindow = "main";
inline constexpr const char* kSettingsWindow = "settings";

const ui::FormSpec& MainForm();
const ui::FormSpec& SettingsForm();

}  // namespace zoq::forms
