// Message boxes, the open-file dialog, the browser hand-off and whole-file
// reading on the Win32 API.

#include "win.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <map>

namespace zoq::ui {
namespace {

using win::Wide;

// Larger files count as unreadable: nothing the program opens is that big,
// and reading one whole would only exhaust the memory.
constexpr std::uint64_t kLargestFile = std::uint64_t{256} * 1024 * 1024;

OpenDialogChooser& Chooser() {
  static OpenDialogChooser chooser;
  return chooser;
}

std::map<Text, std::wstring>& ChosenPaths() {
  static std::map<Text, std::wstring> paths;
  return paths;
}

std::wstring Folder(int which) {
  wchar_t path[MAX_PATH] = {};
  static const auto folderPath = win::Late<HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR)>(
      L"shell32.dll", "SHGetFolderPathW");
  if (!folderPath || FAILED(folderPath(nullptr, which, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return {};
  }
  return path;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES
                                        : GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder a common dialog's text names.
std::wstring StartFolder(const Text& preset) {
  const std::wstring name = Wide(preset);
  const std::wstring home = Folder(CSIDL_PROFILE);
  if (name == L"桌面") {
    const std::wstring desktop = Folder(CSIDL_DESKTOPDIRECTORY);
    return IsFolder(desktop) ? desktop : home;
  }
  if (IsFolder(name)) {
    wchar_t full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(name.c_str(), MAX_PATH, full, nullptr);
    if (length > 0 && length < MAX_PATH) return full;
  }
  return home;
}

}  // namespace

void ShowMessage(const Text& text, int style, const std::optional<Text>& caption) {
  if (ProgramEnding()) return;
  // Owned by the window the user works in; with none, the box still keeps
  // every window of the program waiting.
  HWND owner = GetActiveWindow();
  UINT flags = MB_OK | static_cast<UINT>(style & 0x70);  // the icon bits, as MessageBox has them
  if (!owner) flags |= MB_TASKMODAL | MB_SETFOREGROUND;
  const std::wstring title = Wide(caption ? *caption : StartupTitle());
  MessageBoxW(owner, Wide(text).c_str(), title.c_str(), flags);
}

bool OpenInBrowser(const Text& url) {
  // Only web addresses: anything else would be run or opened as a file.
  const std::wstring address = Wide(url);
  const bool web = _wcsnicmp(address.c_str(), L"http://", 7) == 0 ||
                   _wcsnicmp(address.c_str(), L"https://", 8) == 0;
  if (!web) return false;
  // Returns once the browser has been handed the address; never waits for it.
  using Execute = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  const auto execute = win::Late<Execute>(L"shell32.dll", "ShellExecuteW");
  if (!execute) return false;
  const auto result = reinterpret_cast<INT_PTR>(
      execute(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

Bytes ReadWholeFile(const Text& path) {
  const std::wstring name = win::PathFromText(path);
  if (name.empty()) return {};
  HANDLE file = CreateFileW(name.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  Bytes bytes;
  LARGE_INTEGER size{};
  bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) &&
            size.QuadPart >= 0 && static_cast<std::uint64_t>(size.QuadPart) <= kLargestFile;
  if (ok) {
    try {
      bytes.resize(static_cast<std::size_t>(size.QuadPart));
      std::size_t filled = 0;
      // Reads to the real end: a file may be longer or shorter than it said.
      while (true) {
        if (filled == bytes.size()) {
          if (filled > kLargestFile) break;
          bytes.resize(static_cast<std::size_t>(
              std::min<std::uint64_t>(kLargestFile + 1, std::max<std::size_t>(filled * 2, 4096))));
        }
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - filled,
                                                                    std::size_t{1} << 24));
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + filled, want, &got, nullptr)) {
          ok = false;
          break;
        }
        if (got == 0) break;
        filled += got;
      }
      if (filled > kLargestFile) ok = false;
      bytes.resize(filled);
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  CloseHandle(file);
  return ok ? bytes : Bytes();
}

void SetOpenDialogChooser(OpenDialogChooser chooser) { Chooser() = std::move(chooser); }

namespace win {

std::wstring PathFromText(const Text& text) {
  const auto& paths = ChosenPaths();
  const auto it = paths.find(text);
  return it != paths.end() ? it->second : Wide(text);
}

std::optional<Text> RunOpenDialog(HWND owner, const Text& preset) {
  const std::wstring start = StartFolder(preset);
  if (const OpenDialogChooser chooser = Chooser()) return chooser(Narrow(start));
  if (ProgramEnding()) return std::nullopt;
  std::wstring file(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                 OFN_NOCHANGEDIR;
  static const auto openDialog =
      Late<BOOL(WINAPI*)(OPENFILENAMEW*)>(L"comdlg32.dll", "GetOpenFileNameW");
  if (!openDialog || !openDialog(&dialog)) return std::nullopt;
  file.resize(wcsnlen(file.c_str(), file.size()));
  if (file.empty()) return std::nullopt;
  Text text = Narrow(file);
  auto& paths = ChosenPaths();
  if (paths.size() > 64) paths.clear();  // only the recent choices matter
  paths[text] = file;  // a name 936 cannot spell still opens
  return text;
}

}  // namespace win
}  // namespace zoq::ui
