// ORK_complex: complex arithmetic on plain values.
#include "ORK_complex.h"

#include <cmath>

namespace numbra {

NUMBRA_DEFINE_EXCEPTION(EORKComplexError);

double CpxNearZero = 1E-15;

TComplex Cpx(double re, double im) noexcept { return TComplex{re, im}; }

double CpxAbs(const TComplex& a) noexcept { return std::hypot(a.re, a.im); }

double CpxAbsSqr(const TComplex& a) noexcept { return a.re * a.re + a.im * a.im; }

TComplex CpxAdd(const TComplex& a, const TComplex& b) noexcept {
  return TComplex{a.re + b.re, a.im + b.im};
}

TComplex CpxSub(const TComplex& a, const TComplex& b) noexcept {
  return TComplex{a.re - b.re, a.im - b.im};
}

TComplex CpxConj(const TComplex& a) noexcept { return TComplex{a.re, -a.im}; }

TComplex CpxNeg(const TComplex& a) noexcept { return TComplex{-a.re, -a.im}; }

TComplex CpxMult(const TComplex& a, const TComplex& b) noexcept {
  return TComplex{a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

namespace {
// Exponent e with 2^e <= max(|re|, |im|) < 2^(e+1), for a non-zero finite z.
int ScaleExponent(const TComplex& z) {
  return std::ilogb(std::fmax(std::fabs(z.re), std::fabs(z.im)));
}
}  // namespace

TComplex CpxDiv(const TComplex& a, const TComplex& b) {
  const auto fail = [] { return EORKComplexError("CpxDiv: division by zero"); };
  if (!std::isfinite(a.re) || !std::isfinite(a.im) || !std::isfinite(b.re) || !std::isfinite(b.im))
    throw fail();
  if (b.re == 0.0 && b.im == 0.0) throw fail();
  // a / b = a conj(b) / |b|^2 on operands scaled by powers of two so that
  // their larger part lies in [1, 2): the scaling is exact, |b'|^2 lies in
  // [1, 8) and no product can overflow or underflow harmfully, so the result
  // has the few-ulp accuracy of the formula on well-scaled data (the
  // unscaled formula turns |b| above 1e154 into 0 and below 1e-154 into a
  // false division by zero). The quotient is scaled back at the end, where
  // only a quotient that is itself out of range overflows.
  const int eb = ScaleExponent(b);
  const double br = std::scalbn(b.re, -eb);
  const double bi = std::scalbn(b.im, -eb);
  int ea = 0;
  double ar = a.re;
  double ai = a.im;
  if (a.re != 0.0 || a.im != 0.0) {
    ea = ScaleExponent(a);
    ar = std::scalbn(a.re, -ea);
    ai = std::scalbn(a.im, -ea);
  }
  const double d = br * br + bi * bi;
  const double re = std::scalbn((ar * br + ai * bi) / d, ea - eb);
  const double im = std::scalbn((ai * br - ar * bi) / d, ea - eb);
  if (!std::isfinite(re) || !std::isfinite(im)) throw fail();
  return TComplex{re, im};
}

bool CpxIsEqual(const TComplex& a, const TComplex& b) noexcept {
  return a.re == b.re && a.im == b.im;
}

bool CpxIsNearEqual(const TComplex& a, const TComplex& b) noexcept {
  return std::fabs(a.re - b.re) < CpxNearZero && std::fabs(a.im - b.im) < CpxNearZero;
}

bool CpxIsZero(const TComplex& a) noexcept {
  return (a.re == 0.0 || std::fabs(a.re) < CpxNearZero) &&
         (a.im == 0.0 || std::fabs(a.im) < CpxNearZero);
}

TComplexPolar ConvertRectToPolar(const TComplex& a) noexcept {
  return TComplexPolar{CpxAbs(a), std::atan2(a.im, a.re)};
}

TComplex ConvertPolarToRect(const TComplexPolar& p) noexcept {
  return TComplex{p.r * std::cos(p.phi), p.r * std::sin(p.phi)};
}

}  // namespace numbra
