// ORK_complex: complex numbers as plain values -- rectangular and polar
// records, arithmetic, comparison with a tolerance, and conversion between
// the two forms. No objects, no allocation; every routine returns a new value.
#pragma once

#include "numbra_frame.h"

namespace numbra {

/// Raised by the routines of this unit (only CpxDiv raises).
NUMBRA_DECLARE_EXCEPTION(EORKComplexError, EORKError);

/// Complex number in rectangular form: re + i im.
struct TComplex {
  /// Real part.
  double re = 0.0;
  /// Imaginary part.
  double im = 0.0;
};

/// Complex number in polar form: r e^(i phi); r the magnitude, phi the angle
/// in radians.
struct TComplexPolar {
  /// Magnitude.
  double r = 0.0;
  /// Angle in radians.
  double phi = 0.0;
};

/// The complex numbers 0 and 1.
///@{
inline constexpr TComplex COMPLEX_0{0.0, 0.0};
inline constexpr TComplex COMPLEX_1{1.0, 0.0};
///@}

/// Tolerance of CpxIsNearEqual and CpxIsZero: 1E-15 when the library is
/// loaded; callers may change it. Process-wide and unguarded.
extern NUMBRA_EXPORT double CpxNearZero;

/// The complex number (re, im).
[[nodiscard]] NUMBRA_EXPORT TComplex Cpx(double re, double im) noexcept;
/// Magnitude sqrt(re^2 + im^2), computed without overflow or underflow of
/// the squares (finite for every finite a).
[[nodiscard]] NUMBRA_EXPORT double CpxAbs(const TComplex& a) noexcept;
/// Squared magnitude re^2 + im^2 (overflows to infinity above about 1e154).
[[nodiscard]] NUMBRA_EXPORT double CpxAbsSqr(const TComplex& a) noexcept;
/// a + b and a - b, part by part.
///@{
[[nodiscard]] NUMBRA_EXPORT TComplex CpxAdd(const TComplex& a, const TComplex& b) noexcept;
[[nodiscard]] NUMBRA_EXPORT TComplex CpxSub(const TComplex& a, const TComplex& b) noexcept;
///@}
/// Complex conjugate (re, -im).
[[nodiscard]] NUMBRA_EXPORT TComplex CpxConj(const TComplex& a) noexcept;
/// Negation (-re, -im).
[[nodiscard]] NUMBRA_EXPORT TComplex CpxNeg(const TComplex& a) noexcept;
/// Product (a.re b.re - a.im b.im, a.re b.im + a.im b.re).
[[nodiscard]] NUMBRA_EXPORT TComplex CpxMult(const TComplex& a, const TComplex& b) noexcept;
/// Quotient a / b, with an error of a few ulp of |a / b| for all finite
/// operands (a part far smaller than |a / b| may lose relative accuracy):
/// both operands are scaled by powers of two before the textbook formula,
/// so |b|^2 neither overflows (|b| > 1e154) nor underflows (|b| < 1e-154).
/// Raises
/// EORKComplexError "CpxDiv: division by zero" when b is 0, when an operand
/// is infinite or NaN, or when the quotient overflows.
[[nodiscard]] NUMBRA_EXPORT TComplex CpxDiv(const TComplex& a, const TComplex& b);
/// True when both parts are exactly equal (so NaN parts are never equal).
[[nodiscard]] NUMBRA_EXPORT bool CpxIsEqual(const TComplex& a, const TComplex& b) noexcept;
/// True when |a.re - b.re| < CpxNearZero and |a.im - b.im| < CpxNearZero
/// (an absolute tolerance; strict comparisons).
[[nodiscard]] NUMBRA_EXPORT bool CpxIsNearEqual(const TComplex& a, const TComplex& b) noexcept;
/// True when each part is 0 or of magnitude below CpxNearZero.
[[nodiscard]] NUMBRA_EXPORT bool CpxIsZero(const TComplex& a) noexcept;
/// Polar form (CpxAbs(a), atan2(a.im, a.re)); the angle is in [-pi, pi].
[[nodiscard]] NUMBRA_EXPORT TComplexPolar ConvertRectToPolar(const TComplex& a) noexcept;
/// Rectangular form (r cos(phi), r sin(phi)).
[[nodiscard]] NUMBRA_EXPORT TComplex ConvertPolarToRect(const TComplexPolar& p) noexcept;

}  // namespace numbra
