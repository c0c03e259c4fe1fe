#include "shell.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>

#include "window_base.h"

namespace zoq::ui {
namespace fs = std::filesystem;
namespace {

std::map<Text, WideText>& ChosenPaths() {
  static std::map<Text, WideText> paths;
  return paths;
}

bool IsFolder(const WideText& name) {
  std::error_code error;
  return !name.empty() && fs::is_directory(fs::path(name), error);
}

}  // namespace

WideText NativePath(const fs::path& path) {
#ifdef _WIN32
  return path.wstring();
#else
  return path.u16string();
#endif
}

bool IsWebAddress(const Text& url) {
  auto starts = [&url](const char* scheme) {
    std::size_t i = 0;
    for (; scheme[i]; ++i) {
      if (i >= url.size() || (url[i] | 0x20) != scheme[i]) return false;
    }
    return url.size() > i;
  };
  return starts("http://") || starts("https://");
}

WideText StartFolder(const Text& preset, const WideText& desktop, const WideText& home) {
  static constexpr WideChar kDesktop[] = {0x684C, 0x9762, 0};  // 桌面
  const WideText name = Wide(preset);
  if (name == kDesktop) return IsFolder(desktop) ? desktop : home;
  if (!IsFolder(name)) return home;
  try {
    fs::path full = fs::absolute(fs::path(name)).lexically_normal();
    if (!full.has_filename() && full != full.root_path()) full = full.parent_path();
    return NativePath(full);
  } catch (const std::exception&) {
    return home;
  }
}

void RememberChosenPath(const Text& text, const WideText& path) {
  auto& paths = ChosenPaths();
  if (paths.size() > 64) paths.clear();
  paths[text] = path;
}

WideText PathFromText(const Text& text) {
  const auto& paths = ChosenPaths();
  const auto it = paths.find(text);
  return it != paths.end() ? it->second : Wide(text);
}

Bytes ReadWholeFile(const Text& path) {
  try {
    const WideText name = PathFromText(path);
    if (name.empty()) return {};
    const fs::path file(name);
    std::error_code error;
    if (!fs::is_regular_file(file, error)) return {};  // no folder, device or pipe
    const std::uintmax_t said = fs::file_size(file, error);
    if (error || said > kLargestFile) return {};
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    Bytes bytes(static_cast<std::size_t>(said));
    std::size_t filled = 0;
    // Reads to the real end: a file may be longer or shorter than it said.
    while (true) {
      if (filled == bytes.size()) {
        if (filled > kLargestFile) return {};
        bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(
            kLargestFile + 1, std::max<std::uint64_t>(std::uint64_t{filled} * 2, 4096))));
      }
      in.read(reinterpret_cast<char*>(bytes.data() + filled),
              static_cast<std::streamsize>(bytes.size() - filled));
      const auto got = in.gcount();
      if (in.bad()) return {};
      if (got <= 0) break;
      filled += static_cast<std::size_t>(got);
    }
    if (filled > kLargestFile) return {};
    bytes.resize(filled);
    return bytes;
  } catch (const std::bad_alloc&) {
    return {};
  } catch (const std::exception&) {  // a name the file system cannot take
    return {};
  }
}

void EndNow() {
  SetProgramEnding(true);
  CloseAllWindows();
  LeaveEveryLoop();
}

}  // namespace zoq::ui
