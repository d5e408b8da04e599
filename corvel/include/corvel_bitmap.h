// corvel bitmap: the minimal in-memory bitmap of the runtime layer that the
// image routines read -- a width, a height and one 32-bit colour per pixel,
// reached through a canvas as in Bmp.Canvas().Pixels(x, y).
#pragma once

#include "corvel_export.h"
#include "corvel_runtime.h"

#include <cstdint>
#include <vector>

namespace corvel {

/// A 32-bit colour value: red in bits 0-7, green in bits 8-15, blue in bits
/// 16-23; bits 24-31 are kept as given and ignored by the colour helpers.
using TColor = uint32_t;

/// The colour value that Pixels() returns for a position outside the bitmap
/// (all bits set, which no RGB() value has).
inline constexpr TColor clInvalid = 0xFFFFFFFFU;

/// The colour of the components R, G, B (each taken modulo 256).
[[nodiscard]] constexpr TColor RGB(uint32_t R, uint32_t G, uint32_t B) noexcept {
  return (R & 0xFFU) | ((G & 0xFFU) << 8U) | ((B & 0xFFU) << 16U);
}
/// Red component (bits 0-7) of a colour.
[[nodiscard]] constexpr int GetRValue(TColor C) noexcept { return static_cast<int>(C & 0xFFU); }
/// Green component (bits 8-15) of a colour.
[[nodiscard]] constexpr int GetGValue(TColor C) noexcept {
  return static_cast<int>((C >> 8U) & 0xFFU);
}
/// Blue component (bits 16-23) of a colour.
[[nodiscard]] constexpr int GetBValue(TColor C) noexcept {
  return static_cast<int>((C >> 16U) & 0xFFU);
}

class TBitmap;

/// Pixel access of a bitmap. Coordinates are 0-based, x from the left
/// (0..Width-1), y from the top (0..Height-1).
class CORVEL_EXPORT TCanvas {
 public:
  /// Colour of pixel (x, y); clInvalid outside the bitmap.
  [[nodiscard]] TColor Pixels(int32_t x, int32_t y) const noexcept;
  /// Sets pixel (x, y) to Color; ignored outside the bitmap.
  void SetPixel(int32_t x, int32_t y, TColor Color) noexcept;

 private:
  friend class TBitmap;
  explicit TCanvas(TBitmap& Owner) noexcept : owner_(&Owner) {}
  TBitmap* owner_;
};

/// A Width x Height array of TColor pixels, stored row by row from the top
/// (pixel (x, y) at index y * Width + x). A new bitmap is 0 x 0. Copying a
/// bitmap copies its pixels.
class CORVEL_EXPORT TBitmap : public TPersistent {
 public:
  /// Largest number of pixels a bitmap may hold (2^28, 1 GiB of colours).
  static constexpr int64_t kMaxPixels = int64_t{1} << 28;

  TBitmap() noexcept : canvas_(*this) {}
  /// A Width x Height bitmap filled with Fill (see SetSize).
  TBitmap(int32_t Width, int32_t Height, TColor Fill = 0);
  ~TBitmap() override;
  /// Copies the size and the pixels of Other (the canvas stays this one's).
  TBitmap(const TBitmap& Other);
  /// Copies the size and the pixels of Other (the canvas stays this one's).
  TBitmap& operator=(const TBitmap& Other);

  /// Width in pixels (>= 0).
  [[nodiscard]] int32_t Width() const noexcept { return width_; }
  /// Height in pixels (>= 0).
  [[nodiscard]] int32_t Height() const noexcept { return height_; }
  /// Resizes to Width x Height; every pixel becomes Fill. Negative sizes
  /// count as 0. More than kMaxPixels pixels raise EOutOfMemory "bitmap of
  /// <W> x <H> pixels is too large"; a failed allocation raises EOutOfMemory.
  void SetSize(int32_t Width, int32_t Height, TColor Fill = 0);
  /// The pixel accessor: Canvas().Pixels(x, y), Canvas().SetPixel(x, y, c).
  [[nodiscard]] TCanvas& Canvas() noexcept { return canvas_; }
  /// Read-only pixel accessor: Canvas().Pixels(x, y).
  [[nodiscard]] const TCanvas& Canvas() const noexcept { return canvas_; }
  /// The pixels, Width() * Height() values row by row from the top.
  [[nodiscard]] const std::vector<TColor>& Pixels() const noexcept { return pixels_; }
  /// Copies another TBitmap; other sources raise EConvertError.
  void Assign(TPersistent* Source) override;

 private:
  friend class TCanvas;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<TColor> pixels_;
  TCanvas canvas_;
};

}  // namespace corvel
