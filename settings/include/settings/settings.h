// The settings window: opened from the main window's gear button.
#pragma once

namespace zoq::settings {

// Loads the settings window non-modally and without owner, with its five
// click handlers bound. While one is open, brings that one to the front.
void OpenSettingsWindow();
// Destroys the open settings window, if there still is one.
void CloseSettingsWindow();

}  // namespace zoq::settings
