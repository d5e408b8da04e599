// Range-window smoothing and Savitzky-Golay derivatives of TVector ranges.
//
// All six routines share one driver: the argument checks in their fixed
// order, the window loop over the contiguous source storage, the edge fill
// and the publication through SetVal. The window values are computed into a
// buffer before DestVec is touched, so a failed check leaves DestVec as it
// was and an in-place call (SourceVec == DestVec) reads only original
// samples.
#include "ORK_math2.h"
#include "analysis/smoothing_detail.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace numbra {

namespace {

// The fixed texts of one routine; the routine name is put in front.
struct Texts {
  const char* name;
  const char* range;  // second check: range shorter than the window
  const char* what;   // "smoothing window" or "polynomial"
};

constexpr const char* kRangeSmoothWin =
    "specified range for smoothing is smaller than the length of the smoothing windows";
constexpr const char* kRangeSmoothPoly =
    "specified range for smoothing is smaller than the length of the polynomial";
constexpr const char* kRangeCalcPoly =
    "specified range for calculation is smaller than the length of the polynomial";

[[noreturn]] void Fail(const Texts& t, const std::string& text) {
  throw EORKMath2Error(std::string(t.name) + ": " + text);
}

// Checks and clamps as every range-window routine does, then computes
// Value(p) for each window centre p (a pointer to x[i] in the source's
// contiguous storage, h samples readable on either side) and publishes the
// result with the edges filled.
template <class ValueFn>
void RunWindows(const Texts& t, const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                TVector* DestVec, int32_t WinLength, int32_t MinLen, int32_t MaxLen,
                ValueFn&& Value) {
  if (SourceVec == nullptr || DestVec == nullptr)
    Fail(t, "either SourceVec or DestVec is undefined");
  const int32_t n = SourceVec->NrOfElem();
  FirstIx = std::clamp(FirstIx, 1, n);
  LastIx = std::clamp(LastIx, 1, n);
  if (FirstIx > LastIx) std::swap(FirstIx, LastIx);
  if (LastIx - FirstIx < WinLength) Fail(t, t.range);
  if (WinLength < MinLen || WinLength > MaxLen)
    Fail(t, std::string("length of ") + t.what + " is out of range");
  if (WinLength % 2 == 0) Fail(t, std::string("length of ") + t.what + " must be odd");

  const int32_t h = WinLength / 2;
  const auto m = static_cast<std::size_t>(LastIx - FirstIx) + 1;  // >= WinLength + 1
  std::vector<double> out;
  detail::AllocateFor(t.name, [&] { out.resize(m); });
  const double* x = SourceVec->Values().data() + (FirstIx - 1);  // x[0] is FirstIx
  for (std::size_t p = static_cast<std::size_t>(h); p + static_cast<std::size_t>(h) < m; ++p)
    out[p] = Value(x + p, h);
  // Edges repeat the first and the last computed value.
  const auto hs = static_cast<std::size_t>(h);
  for (std::size_t p = 0; p < hs; ++p) {
    out[p] = out[hs];
    out[m - 1 - p] = out[m - 1 - hs];
  }
  detail::Publish(DestVec, 1, out);
}

}  // namespace

void MovingAverageSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                         TVector* DestVec, int32_t WinLength) {
  static constexpr Texts t{"MovingAverageSmooth", kRangeSmoothWin, "smoothing window"};
  const double len = WinLength;
  // A plain sum per window (O(WinLength)): no running sum, so rounding does
  // not accumulate along the signal and a NaN or an infinity spoils only
  // the windows that hold it.
  RunWindows(t, SourceVec, FirstIx, LastIx, DestVec, WinLength, 3, INT32_MAX,
             [len](const double* c, int32_t h) {
               double s = 0;
               for (int32_t j = -h; j <= h; ++j) s += c[j];
               return s / len;
             });
}

void MovingMedianSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx, TVector* DestVec,
                        int32_t WinLength) {
  static constexpr Texts t{"MovingMedianSmooth", kRangeSmoothWin, "smoothing window"};
  // One scratch vector for the whole run, sized only after the checks passed.
  TVector scratch;
  bool sized = false;
  RunWindows(t, SourceVec, FirstIx, LastIx, DestVec, WinLength, 3, INT32_MAX,
             [&](const double* c, int32_t h) {
               if (!sized) {
                 scratch.Resize(2 * h + 1);
                 sized = true;
               }
               // Filled from the centre outwards; the comb sort does not
               // order NaN, so a window holding one has no median.
               bool nan = std::isnan(c[0]);
               scratch.SetVal(1, c[0]);
               for (int32_t j = 1; j <= h; ++j) {
                 scratch.SetVal(2 * j, c[j]);
                 scratch.SetVal(2 * j + 1, c[-j]);
                 nan = nan || std::isnan(c[j]) || std::isnan(c[-j]);
               }
               if (nan) return std::nan("");
               double q1 = 0, q2 = 0, q3 = 0;
               scratch.Quartiles(1, 2 * h + 1, q1, q2, q3);
               return q2;
             });
}

void WeightedAverageSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                           TVector* DestVec, int32_t WinLength) {
  static constexpr Texts t{"WeightedAverageSmooth", kRangeSmoothWin, "smoothing window"};
  const double scale = 4.0 / ((static_cast<double>(WinLength) + 1) * (WinLength + 1.0));
  RunWindows(t, SourceVec, FirstIx, LastIx, DestVec, WinLength, 3, INT32_MAX,
             [scale](const double* c, int32_t h) {
               double s = (h + 1.0) * c[0];
               for (int32_t j = 1; j <= h; ++j) s += (h - j + 1.0) * (c[j] + c[-j]);
               return s * scale;
             });
}

namespace {

// Symmetric Savitzky-Golay weights: (c_0 x[i] + sum c_j (x[i+j] + x[i-j])) / N.
// The integer weights are exact in double; the division comes last.
void GolaySymmetric(const Texts& t, const TGolayTable& table, const TVector* SourceVec,
                    int32_t FirstIx, int32_t LastIx, TVector* DestVec, int32_t WinLength) {
  RunWindows(t, SourceVec, FirstIx, LastIx, DestVec, WinLength, 5, 25,
             [&table](const double* c, int32_t h) {
               const auto row = table[h - 1];  // row (L - 3) / 2 = h - 1
               double s = row[1] * c[0];
               for (int32_t j = 1; j <= h; ++j)
                 s += row[static_cast<std::size_t>(j) + 1] * (c[j] + c[-j]);
               return s / row[0];
             });
}

}  // namespace

void PolynomialSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx, TVector* DestVec,
                      int32_t WinLength) {
  static constexpr Texts t{"PolynomialSmooth", kRangeSmoothPoly, "polynomial"};
  GolaySymmetric(t, GolayPoly, SourceVec, FirstIx, LastIx, DestVec, WinLength);
}

void SecondDeriv(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx, TVector* DestVec,
                 int32_t WinLength) {
  static constexpr Texts t{"SecondDeriv", kRangeSmoothPoly, "polynomial"};
  GolaySymmetric(t, Golay2ndDeriv, SourceVec, FirstIx, LastIx, DestVec, WinLength);
}

void FirstDeriv(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx, TVector* DestVec,
                int32_t WinLength) {
  static constexpr Texts t{"FirstDeriv", kRangeCalcPoly, "polynomial"};
  // sum_{j=-h..h} j x[i+j] written as sum_{j=1..h} j (x[i+j] - x[i-j]): the
  // differences of neighbouring samples are formed first, which keeps a
  // large common offset of the signal out of the sum.
  RunWindows(t, SourceVec, FirstIx, LastIx, DestVec, WinLength, 5, 25,
             [](const double* c, int32_t h) {
               double s = 0;
               for (int32_t j = 1; j <= h; ++j) s += j * (c[j] - c[-j]);
               return s / (h * (h + 1.0) * (2.0 * h + 1.0) / 3.0);
             });
}

}  // namespace numbra
