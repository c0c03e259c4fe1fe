// The Qt backend's test face: the widgets behind a window and its controls,
// for tests that look at what Qt shows. Tests only; product code stays with
// runtime/ui.h.
#pragma once

#include "runtime/ui.h"

class QWidget;

namespace zoq::ui::testing {

// The window's top-level widget; nullptr for a window of another kind.
QWidget* TopLevel(const Window& window);
// The widget of a control; nullptr for timers, dialogs and unknown names.
QWidget* Widget(const Window& window, const Text& control);

// A code-page 936 text, spelled in UTF-16 in the test's source.
Text Gbk(const char16_t* text);

}  // namespace zoq::ui::testing
