// What both backends decide alike about the world outside the windows: the
// addresses the browser is handed, the folder the open-file dialog starts
// in, the paths it chose, reading a file whole, and ending the program.
#pragma once

#include <cstdint>
#include <filesystem>

#include "convert.h"
#include "runtime/ui.h"

namespace zoq::ui {

// Only web addresses (http:// or https://, in any case) go to the browser:
// anything else would be run or opened as a file.
bool IsWebAddress(const Text& url);

// The folder a common dialog's text names: "桌面" is `desktop` (`home` when
// that is no folder), an existing folder is itself made absolute, anything
// else is `home`.
WideText StartFolder(const Text& preset, const WideText& desktop, const WideText& home);

// The open-file dialog remembers the path it gave as the toolkit spelled
// it, so that a name code page 936 cannot spell still opens; any other text
// is converted. Only the recent choices are kept.
void RememberChosenPath(const Text& text, const WideText& path);
WideText PathFromText(const Text& text);

// A file system path in the toolkit's UTF-16.
WideText NativePath(const std::filesystem::path& path);

// Larger files count as unreadable: nothing the program opens is that big,
// and reading one whole would only exhaust the memory.
inline constexpr std::uint64_t kLargestFile = std::uint64_t{256} * 1024 * 1024;

// Ends the program at once: nothing shows any more, every window closes,
// then every running loop is left (LeaveEveryLoop, defined by each backend).
void EndNow();
void LeaveEveryLoop();

}  // namespace zoq::ui
