// Raising a window, kept apart from the handlers: Qt's headers cannot be
// compiled with code-page 936 narrow literals (see CMakeLists.txt).
#pragma once

#include "runtime/ui.h"

namespace zoq::settings {

// Restores the window if minimised, shows it above the others and gives it
// the focus.
void BringToFront(ui::Window& window);

}  // namespace zoq::settings
