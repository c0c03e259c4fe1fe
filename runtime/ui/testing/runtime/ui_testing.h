// The window layer's test face: what lies behind a window and its controls,
// for tests that look at what the toolkit shows. Tests only; product code
// stays with runtime/ui.h.
#pragma once

#include <string>

#include "runtime/ui.h"

class QWidget;

namespace zoq::testing {

#ifdef _WIN32
// The HWND of a window, or of one of its controls; nullptr for timers,
// dialogs and unknown names.
void* NativeWindow(const ui::Window& window);
void* NativeControl(const ui::Window& window, const Text& control);
#else
// The window's top-level widget; nullptr for a window of another kind.
QWidget* TopLevel(const ui::Window& window);
// The widget of a control; nullptr for timers, dialogs and unknown names.
QWidget* Widget(const ui::Window& window, const Text& control);
#endif

// A code-page 936 text, spelled in UTF-16 in the test's source; and back.
Text Gbk(const char16_t* text);
std::u16string Utf16(const Text& text);

}  // namespace zoq::testing
