#include "convert.h"

#include <climits>
#include <cwchar>

#include "platform/win32.h"
#include "runtime/ui_testing.h"

namespace zoq::ui {
namespace {
constexpr UINT kCodePage = 936;
}  // namespace

WideText Wide(const Text& text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(kCodePage, 0, text.data(), length, nullptr, 0);
  if (wide <= 0) return {};
  WideText out(static_cast<std::size_t>(wide), WideChar{});
  const int written = MultiByteToWideChar(kCodePage, 0, text.data(), length, out.data(), wide);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

Text Narrow(const WideChar* text, std::size_t length) {
  // A text cannot hold a zero byte: it ends where a U+0000 stands.
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] == 0) length = i;
  }
  if (length == 0 || length > INT_MAX / 2) return {};
  const int size = WideCharToMultiByte(kCodePage, 0, text, static_cast<int>(length), nullptr, 0,
                                       nullptr, nullptr);
  if (size <= 0) return {};
  Text out(static_cast<std::size_t>(size), '\0');
  const int written = WideCharToMultiByte(kCodePage, 0, text, static_cast<int>(length),
                                          out.data(), size, nullptr, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

Text Narrow(const WideText& text) { return Narrow(text.data(), text.size()); }

}  // namespace zoq::ui

namespace zoq::testing {

using ui::Narrow;
using ui::Wide;
using ui::WideChar;
using ui::WideText;

Text Gbk(const char16_t* text) {
  WideText wide;
  for (; *text; ++text) wide += static_cast<WideChar>(*text);
  return Narrow(wide);
}

std::u16string Utf16(const Text& text) {
  const WideText wide = Wide(text);
  return std::u16string(wide.begin(), wide.end());
}

}  // namespace zoq::testing
