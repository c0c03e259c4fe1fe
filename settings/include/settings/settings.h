// The settings window: opened from the main window's gear button.
#pragma once

namespace zoq::settings {

// Loads the settings window non-modally and without owner, with its five
// click handlers bound. While one is open, brings that one to the front.
void OpenSettingsWindow();

}  // namespace zoq::settings
