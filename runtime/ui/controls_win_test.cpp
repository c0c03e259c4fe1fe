// The colour picker's menu swatches on Windows.

#include <gtest/gtest.h>

#include "win.h"

namespace zoq::ui {
namespace {

// The swatch's pixels as its DIB section holds them, BGRA, top row first.
std::vector<std::uint8_t> Pixels(HBITMAP bitmap, int size) {
  DIBSECTION dib{};
  if (GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib) || !dib.dsBm.bmBits ||
      dib.dsBm.bmBitsPixel != 32 || dib.dsBm.bmWidth != size || dib.dsBm.bmHeight != size) {
    return {};
  }
  GdiFlush();
  const auto* bits = static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
  return std::vector<std::uint8_t>(bits, bits + std::size_t(size) * size * 4);
}

COLORREF At(const std::vector<std::uint8_t>& pixels, int size, int x, int y) {
  const std::uint8_t* p = pixels.data() + (std::size_t(y) * size + x) * 4;
  return RGB(p[2], p[1], p[0]);
}

TEST(ColourSwatch, OpaqueFramedAndTheCurrentOneRinged) {
  constexpr int kSize = 16;
  for (const bool current : {false, true}) {
    for (const COLORREF colour : {RGB(0, 0, 0), RGB(255, 255, 0), RGB(0, 0, 128)}) {
      HBITMAP swatch = win::ColourSwatch(colour, kSize, current);
      ASSERT_NE(swatch, nullptr);
      const std::vector<std::uint8_t> pixels = Pixels(swatch, kSize);
      DeleteObject(swatch);
      // A 32-bit DIB section, every pixel fully opaque: a themed menu
      // blends item bitmaps by their alpha.
      ASSERT_EQ(pixels.size(), std::size_t(kSize) * kSize * 4);
      for (std::size_t i = 3; i < pixels.size(); i += 4) ASSERT_EQ(pixels[i], 0xFF) << i / 4;
      EXPECT_EQ(At(pixels, kSize, 0, 0), RGB(128, 128, 128));
      EXPECT_EQ(At(pixels, kSize, kSize - 1, kSize / 2), RGB(128, 128, 128));
      EXPECT_EQ(At(pixels, kSize, kSize / 2, kSize / 2), colour);
      // The ring stands out from the colour it surrounds.
      const COLORREF inner = At(pixels, kSize, 2, kSize / 2);
      EXPECT_EQ(inner != colour, current) << std::hex << colour;
    }
  }
  HBITMAP spectrum = win::SpectrumSwatch(kSize);
  const std::vector<std::uint8_t> pixels = Pixels(spectrum, kSize);
  DeleteObject(spectrum);
  ASSERT_EQ(pixels.size(), std::size_t(kSize) * kSize * 4);
  for (std::size_t i = 3; i < pixels.size(); i += 4) ASSERT_EQ(pixels[i], 0xFF) << i / 4;
  // From red towards yellow on the left to red towards magenta on the right.
  const COLORREF left = At(pixels, kSize, 1, kSize / 2), right = At(pixels, kSize, 14, kSize / 2);
  EXPECT_TRUE(GetRValue(left) == 255 && GetBValue(left) == 0 && GetGValue(left) > 0) << left;
  EXPECT_TRUE(GetRValue(right) == 255 && GetGValue(right) == 0 && GetBValue(right) > 0) << right;
  EXPECT_EQ(win::ColourSwatch(0, 0, false), nullptr);
}

}  // namespace
}  // namespace zoq::ui
