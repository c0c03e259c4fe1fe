// Message boxes, the open-file dialog and the browser hand-off on the Win32
// API.

#include "win.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include "shell.h"

namespace zoq::ui {
namespace {

using win::Wide;

OpenDialogChooser& Chooser() {
  static OpenDialogChooser chooser;
  return chooser;
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

void PrepareMessage(const Text&, int) { win::MakeStartupWindow(); }

bool OpenInBrowser(const Text& url) {
  if (!IsWebAddress(url)) return false;
  const std::wstring address = Wide(url);
  // The mismatch path ends the process straight after, before any window
  // has started COM: the shell needs COM and must finish with the address
  // before returning (NOASYNC), and only the program's own boxes may show.
  win::ComReady();
  using Execute = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  const auto execute = win::Late<Execute>(L"shell32.dll", "ShellExecuteExW");
  if (!execute) return false;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = address.c_str();
  info.nShow = SW_SHOWNORMAL;
  return execute(&info) != FALSE;
}

void SetOpenDialogChooser(OpenDialogChooser chooser) { Chooser() = std::move(chooser); }

namespace win {

std::optional<Text> RunOpenDialog(HWND owner, const Text& preset) {
  const std::wstring start =
      StartFolder(preset, Folder(CSIDL_DESKTOPDIRECTORY), Folder(CSIDL_PROFILE));
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
  RememberChosenPath(text, file);
  return text;
}

}  // namespace win
}  // namespace zoq::ui
