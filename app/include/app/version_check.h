// The check of the program's version against the version page, run once at
// every start before the main window is first shown.
#pragma once

#include <functional>

#include "runtime/ui.h"

namespace zoq::app {

// The outside world the check talks to; tests put fakes in its place.
struct VersionCheckServices {
  std::function<Bytes(const Text& url)> fetch;
  std::function<void(const Text& text, int style)> message;  // modal, no caption
  std::function<void(const Text& url)> openInBrowser;
  std::function<void()> endProgram;
};

// PageFetch, the runtime's message box, browser hand-off and program end.
VersionCheckServices RealVersionCheckServices();

// Sends the version page's request at once, ahead of the toolkit and the
// main window, so that the page travels while they are built; the real
// services' fetch then takes its result instead of sending its own.
void StartVersionFetch();

// Handler of the main window's created event. On a match it starts 时钟1
// once the message is dismissed; on any difference it opens the download
// page and ends the program, so the window never shows.
void VersionCheck(ui::Window& main);
void VersionCheck(ui::Window& main, const VersionCheckServices& services);

}  // namespace zoq::app
