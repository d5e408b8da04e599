// The runtime layer's in-memory bitmap (see corvel_bitmap.h).
#include "corvel_bitmap.h"

#include <new>
#include <string>

namespace corvel {

TColor TCanvas::Pixels(int32_t x, int32_t y) const noexcept {
  const TBitmap& b = *owner_;
  if (x < 0 || y < 0 || x >= b.width_ || y >= b.height_) return clInvalid;
  return b.pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(b.width_) +
                   static_cast<std::size_t>(x)];
}

void TCanvas::SetPixel(int32_t x, int32_t y, TColor Color) noexcept {
  TBitmap& b = *owner_;
  if (x < 0 || y < 0 || x >= b.width_ || y >= b.height_) return;
  b.pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(b.width_) +
            static_cast<std::size_t>(x)] = Color;
}

TBitmap::TBitmap(int32_t Width, int32_t Height, TColor Fill) : canvas_(*this) {
  SetSize(Width, Height, Fill);
}

TBitmap::~TBitmap() = default;

// The canvas points at its own bitmap, so copies get a fresh canvas.
TBitmap::TBitmap(const TBitmap& Other)
    : TPersistent(Other),
      width_(Other.width_),
      height_(Other.height_),
      pixels_(Other.pixels_),
      canvas_(*this) {}

TBitmap& TBitmap::operator=(const TBitmap& Other) {
  if (this != &Other) {
    pixels_ = Other.pixels_;
    width_ = Other.width_;
    height_ = Other.height_;
  }
  return *this;
}

void TBitmap::SetSize(int32_t Width, int32_t Height, TColor Fill) {
  const int64_t w = Width < 0 ? 0 : Width;
  const int64_t h = Height < 0 ? 0 : Height;
  if (w * h > kMaxPixels)
    throw EOutOfMemory("bitmap of " + std::to_string(w) + " x " + std::to_string(h) +
                       " pixels is too large");
  try {
    pixels_.assign(static_cast<std::size_t>(w * h), Fill);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("bitmap of " + std::to_string(w) + " x " + std::to_string(h) +
                       " pixels: not enough memory");
  }
  width_ = static_cast<int32_t>(w);
  height_ = static_cast<int32_t>(h);
}

void TBitmap::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    *this = *b;
    return;
  }
  TPersistent::Assign(Source);
}

}  // namespace corvel
