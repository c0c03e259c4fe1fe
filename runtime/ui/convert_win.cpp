// Texts, colours, scale and fonts crossing into the Win32 API.

#include <algorithm>
#include <map>
#include <tuple>

#include "win.h"

namespace zoq::ui::win {

COLORREF ToColorRef(Colour colour, COLORREF fallback) {
  // Both are 0x00BBGGRR.
  return IsSet(colour) ? static_cast<COLORREF>(colour) : fallback;
}

int Scale(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), 96); }

UINT DpiOf(HWND window) {
  // Present from Windows 10 1607 on; looked up so that older systems start.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi && window) {
    if (const UINT dpi = getDpi(window)) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// --- Fonts ---

namespace {

// The layouts' faces and the names the same face goes by on other
// Windows versions and languages, tried in this order. The program's
// default font is the Song face at a 12-pixel character height.
const std::vector<std::wstring>& Equivalents(const std::wstring& face) {
  static const std::vector<std::vector<std::wstring>> groups = {
      {L"楷体_GB2312", L"楷体", L"KaiTi", L"KaiTi_GB2312"},
      {L"新宋体", L"NSimSun", L"宋体", L"SimSun"},
      {L"宋体", L"SimSun", L"新宋体", L"NSimSun"},
      {L"黑体", L"SimHei"},
  };
  for (const auto& group : groups) {
    for (const auto& name : group) {
      if (_wcsicmp(name.c_str(), face.c_str()) == 0) return group;
    }
  }
  static std::map<std::wstring, std::vector<std::wstring>> alone;
  return alone.try_emplace(face, std::vector<std::wstring>{face}).first->second;
}

struct MadeFont {
  HFONT font = nullptr;
  std::wstring face;  // as GetTextFace reports it
};

using FontKey = std::tuple<std::wstring, int, int, UINT>;
std::map<FontKey, MadeFont>& Fonts() {
  static std::map<FontKey, MadeFont> fonts;
  return fonts;
}

HFONT Create(const std::wstring& face, int height, int weight) {
  LOGFONTW desc{};
  desc.lfHeight = -height;  // negative: character height, not cell height
  desc.lfWeight = weight;
  desc.lfCharSet = GB2312_CHARSET;
  desc.lfOutPrecision = OUT_TT_PRECIS;
  desc.lfQuality = DEFAULT_QUALITY;
  desc.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  wcsncpy(desc.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  return CreateFontIndirectW(&desc);
}

std::wstring FaceOf(HFONT font) {
  HDC dc = GetDC(nullptr);
  if (!dc) return {};
  HGDIOBJ old = SelectObject(dc, font);
  wchar_t name[LF_FACESIZE] = {};
  const int length = GetTextFaceW(dc, LF_FACESIZE, name);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) - 1 : 0);
}

const MadeFont& Make(const Font& font, UINT dpi) {
  const std::wstring face = font.face.empty() ? std::wstring(L"宋体") : Wide(font.face);
  const int height = Scale(font.face.empty() || font.height <= 0 ? 12 : font.height, dpi);
  const int weight = font.face.empty() ? FW_NORMAL
                     : font.weight <= 0 ? FW_NORMAL
                                        : std::min(font.weight, 1000);
  const FontKey key{face, height, weight, dpi};
  auto& fonts = Fonts();
  if (const auto it = fonts.find(key); it != fonts.end()) return it->second;

  // A face the system does not have is silently replaced by the mapper:
  // GetTextFace tells which face really came, and the next name is tried.
  MadeFont made;
  const auto& names = Equivalents(face);
  for (const std::wstring& name : names) {
    HFONT candidate = Create(name, height, weight);
    if (!candidate) continue;
    const std::wstring real = FaceOf(candidate);
    bool known = false;
    for (const std::wstring& other : names) known |= _wcsicmp(other.c_str(), real.c_str()) == 0;
    if (known) {
      made = {candidate, real};
      break;
    }
    DeleteObject(candidate);
  }
  if (!made.font) {
    // None installed: the mapper's choice for the layout's face.
    made.font = Create(face, height, weight);
    made.face = made.font ? FaceOf(made.font) : std::wstring();
  }
  if (!made.font) made.font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  return fonts.emplace(key, made).first->second;
}

}  // namespace

HFONT FontFor(const Font& font, UINT dpi) { return Make(font, dpi).font; }

void ReleaseFonts() {
  HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
  for (auto& [key, made] : Fonts()) {
    if (made.font && made.font != stock) DeleteObject(made.font);
  }
  Fonts().clear();
}

}  // namespace zoq::ui::win
