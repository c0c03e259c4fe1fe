// Pictures: decoding through the system's imaging component (WIC), the
// program's embedded pictures, and composing a picture over a background.

#include <initguid.h>  // defines the WIC GUIDs used below in this file

#include "win.h"

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace zoq::ui::win {

namespace {

// Larger files, and pictures larger than this once decoded, give an empty
// box: a small file may declare a picture that would fill the memory.
constexpr std::size_t kLargest = std::size_t{256} * 1024 * 1024;

// CLSID_WICImagingFactory (version 1: present from Windows XP SP3 on).
const CLSID kImagingFactory = {
    0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};

template <typename T>
struct Com {
  T* p = nullptr;
  Com() = default;
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  ~Com() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

IWICImagingFactory* Factory() {
  return SharedInstance<IWICImagingFactory>(kImagingFactory, IID_IWICImagingFactory);
}

}  // namespace

Picture DecodePicture(const std::uint8_t* data, std::size_t size, Size box, UINT dpi) {
  Picture picture;
  if (!data || size == 0 || size > kLargest || size > UINT_MAX) return picture;
  // COM again for an application made after an earlier one ended.
  IWICImagingFactory* factory = ComReady() ? Factory() : nullptr;
  if (!factory) return picture;

  Com<IWICStream> stream;
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size)))) {
    return picture;
  }
  Com<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                              &decoder))) {
    return picture;
  }
  Com<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, &frame))) return picture;
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0) return picture;
  // Checked before anything is decoded.
  if (width > INT_MAX / 4 || height > INT_MAX / 4 ||
      std::uint64_t{width} * height * 4 > kLargest) {
    return picture;
  }
  Com<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom))) {
    return picture;
  }
  IWICBitmapSource* source = converter.p;
  Com<IWICBitmapScaler> scaler;
  if (box.width > 0 && box.height > 0) {
    const Size fitted = FittedSize({static_cast<int>(width), static_cast<int>(height)}, box);
    const UINT shownWidth = static_cast<UINT>(std::max(1, Scale(fitted.width, dpi)));
    const UINT shownHeight = static_cast<UINT>(std::max(1, Scale(fitted.height, dpi)));
    if (shownWidth != width || shownHeight != height) {
      if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
          FAILED(scaler->Initialize(converter.p, shownWidth, shownHeight,
                                    WICBitmapInterpolationModeFant))) {
        return picture;
      }
      source = scaler.p;
      width = shownWidth;
      height = shownHeight;
    }
  }
  const UINT stride = width * 4;
  std::vector<std::uint8_t> pixels;
  try {
    pixels.resize(std::size_t{stride} * height);
  } catch (const std::bad_alloc&) {
    return picture;
  }
  if (FAILED(source->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size()),
                                pixels.data()))) {
    return picture;
  }
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  picture.pixels = std::move(pixels);
  return picture;
}

Bytes ResourceBytes(const Text& name) {
  if (name.empty()) return {};
  const std::wstring wide = Wide(name);
  HRSRC found = FindResourceW(Instance(), wide.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(Instance(), found);
  const auto* bytes = static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
  const DWORD size = SizeofResource(Instance(), found);
  if (!bytes || size == 0) return {};
  return Bytes(bytes, bytes + size);
}

HICON LoadNamedIcon(const Text& name, int size) {
  if (name.empty()) return nullptr;
  const std::wstring wide = Wide(name);
  return static_cast<HICON>(
      LoadImageW(Instance(), wide.c_str(), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

BITMAPINFO TopDownInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

HBITMAP TopDownDib(HDC dc, int width, int height, std::uint8_t** bits) {
  const BITMAPINFO info = TopDownInfo(width, height);
  void* memory = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
  *bits = static_cast<std::uint8_t*>(memory);
  return bitmap;
}

HBITMAP Compose(int width, int height, COLORREF back, const Picture& picture, RECT target) {
  if (width <= 0 || height <= 0) return nullptr;
  HDC screen = GetDC(nullptr);
  HDC canvas = CreateCompatibleDC(screen);
  std::uint8_t* bits = nullptr;
  HBITMAP result = TopDownDib(screen, width, height, &bits);
  if (!result || !canvas) {
    if (result) DeleteObject(result);
    if (canvas) DeleteDC(canvas);
    ReleaseDC(nullptr, screen);
    return nullptr;
  }
  const std::uint8_t red = GetRValue(back), green = GetGValue(back), blue = GetBValue(back);
  for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
    bits[i * 4] = blue;
    bits[i * 4 + 1] = green;
    bits[i * 4 + 2] = red;
    bits[i * 4 + 3] = 0xFF;
  }
  if (!picture.Empty() && target.right > target.left && target.bottom > target.top) {
    // The picture over the background at its own size (the pixels are
    // premultiplied), then scaled into place with halftoning.
    HDC source = CreateCompatibleDC(screen);
    std::uint8_t* over = nullptr;
    HBITMAP flat = TopDownDib(screen, picture.width, picture.height, &over);
    if (flat && source) {
      const std::size_t count = std::size_t(picture.width) * picture.height;
      const std::uint8_t* in = picture.pixels.data();
      for (std::size_t i = 0; i < count; ++i) {
        const unsigned keep = 255u - in[i * 4 + 3];
        auto mix = [keep](unsigned picture, unsigned ground) {
          return static_cast<std::uint8_t>(std::min(255u, picture + (ground * keep + 127) / 255));
        };
        over[i * 4] = mix(in[i * 4], blue);
        over[i * 4 + 1] = mix(in[i * 4 + 1], green);
        over[i * 4 + 2] = mix(in[i * 4 + 2], red);
        over[i * 4 + 3] = 0xFF;
      }
      GdiFlush();
      HGDIOBJ oldSource = SelectObject(source, flat);
      HGDIOBJ oldCanvas = SelectObject(canvas, result);
      const int w = target.right - target.left, h = target.bottom - target.top;
      if (w == picture.width && h == picture.height) {
        BitBlt(canvas, target.left, target.top, w, h, source, 0, 0, SRCCOPY);
      } else {
        SetStretchBltMode(canvas, HALFTONE);
        SetBrushOrgEx(canvas, 0, 0, nullptr);
        StretchBlt(canvas, target.left, target.top, w, h, source, 0, 0, picture.width,
                   picture.height, SRCCOPY);
      }
      SelectObject(canvas, oldCanvas);
      SelectObject(source, oldSource);
    }
    if (flat) DeleteObject(flat);
    if (source) DeleteDC(source);
  }
  // GDI's copies clear the alpha bytes; a control that honours alpha would
  // show the picture as holes.
  GdiFlush();
  for (std::size_t i = 0; i < std::size_t(width) * height; ++i) bits[i * 4 + 3] = 0xFF;
  DeleteDC(canvas);
  ReleaseDC(nullptr, screen);
  return result;
}

}  // namespace zoq::ui::win
