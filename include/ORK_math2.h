// ORK_math2: data analysis. TCurveFit with the unit's singular value
// routines; smoothing, filters and derivatives of sampled signals;
// multivariate linear methods (covariance, eigenvectors, principal
// components, pseudo-inverse, regression); clustering and nearest
// neighbours; plane geometry and image correlation.
#pragma once

#include "numbra_frame.h"
#include "ORK_matrix.h"
#include "ORK_vector.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace numbra {

/// Raised by the routines and classes of ORK_math2.
NUMBRA_DECLARE_EXCEPTION(EORKMath2Error, EORKError);

// ===========================================================================
// Singular value routines
// ===========================================================================

// ===========================================================================
// TCurveFit
// ===========================================================================

// ===========================================================================
// Smoothing, filters and derivatives
// ===========================================================================
//
// Free routines that smooth, differentiate and filter a range of a TVector
// (1-based elements) into another vector.
//
// The six range-window routines (MovingAverageSmooth ... SecondDeriv) share
// one preparation, checked in this order, each failure raising
// EORKMath2Error with the routine's name in front and leaving DestVec
// untouched:
//  1. SourceVec or DestVec null: "<Routine>: either SourceVec or DestVec is
//     undefined".
//  2. FirstIx and LastIx are each clamped into 1..n (n = SourceVec count;
//     there is no (0, 0) rule) and exchanged when reversed.
//  3. LastIx - FirstIx < WinLength: "<Routine>: specified range for
//     smoothing is smaller than the length of the smoothing windows" (the
//     polynomial routines say "... of the polynomial", FirstDeriv "specified
//     range for calculation ...").
//  4. WinLength < 3 (average, median, weighted) or outside 5..25 (the
//     polynomial routines): "... length of smoothing window is out of range"
//     / "... length of polynomial is out of range".
//  5. WinLength even: "... must be odd".
// With h = WinLength div 2 the value of the window i - h .. i + h (i =
// FirstIx + h .. LastIx - h) goes to DestVec position i - FirstIx + 1;
// positions 1..h repeat the first computed value and the last h positions
// of 1..LastIx - FirstIx + 1 the last one. DestVec is not resized: positions
// beyond its count are dropped. Every element is written through SetVal (one
// OnChange each), then OnChange fires once more. All values are computed
// before the first write, so SourceVec and DestVec may be the same vector.
// A NaN sample makes every window that contains it NaN. Cost O(WinLength)
// per element (the median: one quartile computation of WinLength values).

/// Integer Savitzky-Golay table: 11 rows for the window lengths L = 5, 7,
/// ..., 25, each of 14 entries: the normaliser N_L, then the weights c_0 ..
/// c_12 for the offsets 0..12 (zero beyond L div 2). The weight of offset
/// j (|j| <= L div 2) is c_|j| / N_L.
struct TGolayTable {
  /// Rows[r - 1] is row r = (L - 3) / 2 (r = 1..11).
  int32_t Rows[11][14];
  /// Row r = (L - 3) / 2, r = 1..11 (other r: undefined behaviour); entry
  /// 0 is N_L, entry 1 + j the weight c_j.
  [[nodiscard]] constexpr std::span<const int32_t, 14> operator[](int32_t r) const noexcept {
    return std::span<const int32_t, 14>(Rows[r - 1]);
  }
};

/// Savitzky-Golay smoothing weights of a quadratic/cubic least-squares
/// polynomial (L = 5: 35 with 17, 12, -3).
extern NUMBRA_EXPORT const TGolayTable GolayPoly;
/// Savitzky-Golay second-derivative weights of a quadratic least-squares
/// polynomial, per squared sample step (L = 5: 7 with -2, -1, 2).
extern NUMBRA_EXPORT const TGolayTable Golay2ndDeriv;

/// Moving average: (sum of x[i - h .. i + h]) / WinLength. WinLength odd,
/// >= 3. Raises EORKMath2Error (see the section notes).
NUMBRA_EXPORT void MovingAverageSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                       TVector* DestVec, int32_t WinLength);
/// Moving median: the middle value of the window (the second quartile of
/// TVector::Quartiles over a scratch vector filled with x[i], x[i + 1],
/// x[i - 1], x[i + 2], ...). A window holding a NaN gives NaN. WinLength
/// odd, >= 3. Raises EORKMath2Error (see the section notes).
NUMBRA_EXPORT void MovingMedianSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                      TVector* DestVec, int32_t WinLength);
/// Triangular weighted average: ((h + 1) x[i] + sum_{j=1..h} (h - j + 1)
/// (x[i + j] + x[i - j])) * 4 / (WinLength + 1)^2. WinLength odd, >= 3.
/// Raises EORKMath2Error (see the section notes).
NUMBRA_EXPORT void WeightedAverageSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                         TVector* DestVec, int32_t WinLength);
/// Savitzky-Golay smoothing with the GolayPoly row of WinLength (odd,
/// 5..25): reproduces polynomials up to degree 3 exactly away from the
/// edges. Raises EORKMath2Error (see the section notes).
NUMBRA_EXPORT void PolynomialSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                    TVector* DestVec, int32_t WinLength);
/// Savitzky-Golay first derivative of a quadratic least-squares polynomial,
/// per sample step: (sum_{j=-h..h} j x[i + j]) / (h (h + 1) (2h + 1) / 3).
/// WinLength odd, 5..25. Raises EORKMath2Error (see the section notes).
NUMBRA_EXPORT void FirstDeriv(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                              TVector* DestVec, int32_t WinLength);
/// Savitzky-Golay second derivative with the Golay2ndDeriv row of WinLength
/// (odd, 5..25), per squared sample step. Raises EORKMath2Error (see the
/// section notes).
NUMBRA_EXPORT void SecondDeriv(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                               TVector* DestVec, int32_t WinLength);

// Windowed-sinc kernels. KernelLength L (meant to be odd; an even length
// gives the offsets -L/2 .. L/2 - 1), cut-off frequencies as fractions of
// the sampling rate, each clamped into 0..0.5. Window 1 is Hamming, 2
// Blackman (both the symmetric windows of L + 2 points without their end
// points), anything else none. The array overloads set the array's length to
// L, the vector overloads resize the vector to L (elements 1..L are array
// elements 0..L-1). KernelLength < 1 raises EORKMath2Error "<Routine>:
// kernel length must be at least 1", a null vector "<Routine>: Kernel is
// undefined"; nothing is changed then.

/// Low pass: element k (offset from the middle element L div 2) is
/// sin(2 pi fc k) / k (2 pi fc for k = 0), windowed, then divided by the sum
/// of all elements (unit gain at zero frequency) unless that sum is 0 (fc =
/// 0 gives all zeros).
NUMBRA_EXPORT void CalcSincLPKernel(int32_t KernelLength, double CutOff, int32_t Window,
                                    TDoubleArray& Kernel);
/// Low pass into a TVector; see the array overload.
NUMBRA_EXPORT void CalcSincLPKernel(int32_t KernelLength, double CutOff, int32_t Window,
                                    TVector* Kernel);
/// High pass: the low-pass kernel negated, plus 1 at the middle element
/// (0-based index L div 2): spectral inversion.
NUMBRA_EXPORT void CalcSincHPKernel(int32_t KernelLength, double CutOff, int32_t Window,
                                    TDoubleArray& Kernel);
/// High pass into a TVector; see the array overload.
NUMBRA_EXPORT void CalcSincHPKernel(int32_t KernelLength, double CutOff, int32_t Window,
                                    TVector* Kernel);
/// Band pass between min and max of the two cut-offs: the band-stop kernel
/// spectrally inverted.
NUMBRA_EXPORT void CalcSincBPKernel(int32_t KernelLength, double CutOff1, double CutOff2,
                                    int32_t Window, TDoubleArray& Kernel);
/// Band pass into a TVector; see the array overload.
NUMBRA_EXPORT void CalcSincBPKernel(int32_t KernelLength, double CutOff1, double CutOff2,
                                    int32_t Window, TVector* Kernel);
/// Band stop: the low-pass kernel of the lower cut-off plus the high-pass
/// kernel of the higher one, element by element.
NUMBRA_EXPORT void CalcSincBSKernel(int32_t KernelLength, double CutOff1, double CutOff2,
                                    int32_t Window, TDoubleArray& Kernel);
/// Band stop into a TVector; see the array overload.
NUMBRA_EXPORT void CalcSincBSKernel(int32_t KernelLength, double CutOff1, double CutOff2,
                                    int32_t Window, TVector* Kernel);

/// Applies FilterKernel (K elements, not reversed) to SourceVec elements
/// FirstIx..LastIx (each clamped into 1..n, then ordered): DestVec position
/// i - FirstIx + 1 receives sum_{k=1..K} x[c(i - K div 2 + k - 1)]
/// kernel[k], where c clamps into FirstIx..LastIx (the range's end samples
/// are repeated). DestVec is first resized to n (the source count);
/// positions beyond the range keep their values. Every element is written
/// through SetVal, then OnChange fires once more; source, destination and
/// kernel may be the same vectors. Raises EORKMath2Error
/// "MovingKernelfilter: SourceVec, DestVec and/or FilterKernel is undefined"
/// and "MovingKernelfilter: specified range for smoothing is smaller than
/// the length of the kernel" (LastIx - FirstIx < K), changing nothing.
NUMBRA_EXPORT void MovingKernelFilter(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                      TVector* DestVec, const TVector* FilterKernel);

/// Designs a Chebyshev type I recursive filter (Ripple 0: Butterworth) of
/// NPoles poles as a cascade of 2-pole stages by the bilinear transform,
/// multiplied out into one recursion y[i] = A0 x[i] + sum_{k=1..NPoles}
/// (a_k x[i - k] + b_k y[i - k]). CutOff (fraction of the sampling rate) is
/// the -3 dB point, Ripple the pass-band ripple in percent (0..29). The a_k
/// are scaled so that the recursion with the stored (rounded) b_k has gain 1
/// at zero frequency (low pass) or at half the sampling rate (high pass):
/// the sums are compensated, so this holds to a few ulps even where 1 - sum
/// b_k is tiny. Coeffs becomes 2 columns x NPoles rows, row k holding a_k
/// and b_k; A0 receives a_0.
///
/// Many poles at a low cut-off put the poles so close to z = 1 that the
/// multiplied-out recursion, once rounded to doubles, no longer has them
/// inside the unit circle: at ripple 0.5 % the rounded recursion is unstable
/// for 12 poles at a cut-off of 0.01, 16 poles at 0.02, 20 poles at 0.05,
/// 24 poles at 0.1, 30 poles at 0.1. NPoles is therefore limited to 20 (and
/// the caller of high orders should keep the cut-off high).
///
/// Raises EORKMath2Error, checked in this order and changing nothing:
/// "CalcChebFilterCoeffs: NPoles must be even"; "CalcChebFilterCoeffs:
/// invalid Ripple value" (outside 0..29 or NaN); "CalcChebFilterCoeffs:
/// invalid cutoff frequency" (outside 0..0.5 or NaN; also the cut-offs that
/// leave no pass band to normalise, 0 for a low pass and 0.5 for a high
/// pass, and cut-offs so near them that the gain underflows);
/// "CalcChebFilterCoeffs: NPoles must be between 2 and 20";
/// "CalcChebFilterCoeffs: Coeffs is undefined".
NUMBRA_EXPORT void CalcChebFilterCoeffs(int32_t NPoles, bool HighPass, double CutOff, double Ripple,
                                        double& A0, TMatrix* Coeffs);

/// Zero-phase filtering with the recursion of A0 and Coeffs (NP = row
/// count; a_k in column 1, b_k in column 2): a forward pass over working
/// samples 1 - P .. LastIx + P (P = NP + 1; samples outside the vector count
/// as 0, so up to P real samples after LastIx take part), then a backward
/// pass over the forward result from its end, both starting from rest.
/// DestVec elements FirstIx..LastIx (the source positions; DestVec is not
/// resized, positions beyond its count are dropped) receive the result
/// through SetVal, then OnChange fires once more. FirstIx and LastIx are
/// clamped into 1..n and ordered. A NaN sample makes the whole range NaN.
/// Coefficients missing from Coeffs read as 0. Raises EORKMath2Error
/// "ChebychevFilter: SourceVec, DestVec and/or Coeffs is undefined",
/// changing nothing. Cost 2 (2 NP + 1) multiply-adds per working sample;
/// rounding grows with the closeness of the poles to the unit circle (see
/// CalcChebFilterCoeffs).
NUMBRA_EXPORT void ChebychevFilter(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                   TVector* DestVec, double A0, const TMatrix* Coeffs);

// ===========================================================================
// Multivariate linear methods
// ===========================================================================

// ===========================================================================
// Clustering and nearest neighbours
// ===========================================================================

// ===========================================================================
// Plane geometry and image correlation
// ===========================================================================

}  // namespace numbra
