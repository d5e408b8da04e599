// TSLine: a straight line in the general form A x + B y + C = 0.
#include "ORK_sline.h"

#include <cmath>
#include <numbers>

namespace numbra {

NUMBRA_DEFINE_EXCEPTION(EORKSLineError);

namespace {

constexpr double kPi = std::numbers::pi;
// The stand-in for a zero divisor when SubstituteInf is set.
constexpr double kTinyDivisor = 1E-100;

// a*b - c*d with the rounding error of c*d put back by a fused multiply-add
// (Kahan): accurate to a few ulps of the result even when the two products
// nearly cancel, and exactly 0 when they are equal.
double DiffOfProducts(double a, double b, double c, double d) noexcept {
  const double cd = c * d;
  const double err = std::fma(-c, d, cd);
  const double dop = std::fma(a, b, -cd);
  return dop + err;
}

// a*b + c*d in the same way.
double SumOfProducts(double a, double b, double c, double d) noexcept {
  return DiffOfProducts(a, b, -c, d);
}

}  // namespace

TSLine::TSLine(TComponent* AOwner) : TComponent(AOwner) {}

TSLine::~TSLine() = default;

void TSLine::SetParA(double v) {
  if (v == 0.0 && FParB == 0.0) throw EORKSLineError("parameter A and B must not both be zero");
  FParA = v;
}

void TSLine::SetParB(double v) {
  if (v == 0.0 && FParA == 0.0) throw EORKSLineError("parameter A and B must not both be zero");
  FParB = v;
}

bool TSLine::LineFrom2Points(double P1X, double P1Y, double P2X, double P2Y) {
  if (P1X == P2X && P1Y == P2Y) return false;
  FParA = P1Y - P2Y;
  FParB = P2X - P1X;
  FParC = DiffOfProducts(P1X, P2Y, P1Y, P2X);
  return true;
}

void TSLine::LineFromSlopeIcpt(double k, double d) noexcept {
  FParA = k;
  FParB = -1.0;
  FParC = d;
}

void TSLine::LineThroughPoint(double px, double py, double angle) noexcept {
  FParA = -std::sin(angle);
  FParB = std::cos(angle);
  FParC = -SumOfProducts(FParA, px, FParB, py);
}

void TSLine::NormalLine(double px, double py, const TSLine& OtherLine) noexcept {
  const double a = -OtherLine.FParB;
  const double b = OtherLine.FParA;
  FParA = a;
  FParB = b;
  FParC = -SumOfProducts(a, px, b, py);
}

void TSLine::ParallelLine(double px, double py, const TSLine& OtherLine) noexcept {
  const double a = OtherLine.FParA;
  const double b = OtherLine.FParB;
  FParA = a;
  FParB = b;
  FParC = -SumOfProducts(a, px, b, py);
}

void TSLine::CalcKDForm(double& k, double& d) const {
  if (FParB == 0.0) throw EORKSLineError("cannot convert to k-d-form if ParB is zero");
  k = -FParA / FParB;
  d = -FParC / FParB;
}

double TSLine::GetSlope() const {
  if (FParB == 0.0) throw EORKSLineError("slope is infinite");
  return -FParA / FParB;
}

double TSLine::GetIntercept() const {
  if (FParB == 0.0) throw EORKSLineError("cannot calculate intercept (line is parallel to y axis)");
  return -FParC / FParB;
}

double TSLine::GetDirect() const noexcept {
  // arctan of the slope of (B, -A), then moved into the right quadrant.
  double angle = 0.0;
  if (FParB != 0.0)
    angle = std::atan(-FParA / FParB);
  else
    angle = FParA > 0.0 ? kPi / 2 : -kPi / 2;
  if (FParB <= 0.0)
    angle += kPi;
  else if (FParA > 0.0)
    angle += 2.0 * kPi;
  // A tiny negative arctangent plus 2 pi rounds to 2 pi itself, which lies
  // outside [0, 2 pi): it stands for the direction 0. Adding 0.0 turns -0
  // into +0.
  if (angle >= 2.0 * kPi) angle -= 2.0 * kPi;
  return angle + 0.0;
}

double TSLine::CalcY(double x) const {
  double b = FParB;
  if (b == 0.0) {
    if (!FSubstInf) throw EORKSLineError("cannot calculate y");
    b = kTinyDivisor;
  }
  return (-x * FParA - FParC) / b;
}

double TSLine::CalcX(double y) const {
  double a = FParA;
  if (a == 0.0) {
    if (!FSubstInf) throw EORKSLineError("cannot calculate x");
    a = kTinyDivisor;
  }
  return (-y * FParB - FParC) / a;
}

double TSLine::Distance(double px, double py) const noexcept {
  return std::fabs(SumOfProducts(FParA, px, FParB, py) + FParC) / std::hypot(FParA, FParB);
}

bool TSLine::InterSection(const TSLine& OtherLine, double& x, double& y) const noexcept {
  const double a1 = FParA, b1 = FParB, c1 = FParC;
  const double a2 = OtherLine.FParA, b2 = OtherLine.FParB, c2 = OtherLine.FParC;
  const double det = DiffOfProducts(a1, b2, a2, b1);
  if (det == 0.0) return false;
  x = DiffOfProducts(b1, c2, b2, c1) / det;
  y = DiffOfProducts(c1, a2, c2, a1) / det;
  return true;
}

double TSLine::AngleBetweenLines(const TSLine& OtherLine) const noexcept {
  const double a1 = FParA, b1 = FParB;
  const double a2 = OtherLine.FParA, b2 = OtherLine.FParB;
  const double s = SumOfProducts(a1, a2, b1, b2);
  if (s == 0.0) return kPi / 2;
  return std::fabs(std::atan(DiffOfProducts(a1, b2, b1, a2) / s));
}

bool TSLine::ClipBox(double bllx, double blly, double burx, double bury, double& x1, double& y1,
                     double& x2, double& y2) {
  if (std::isnan(bllx) || std::isnan(blly) || std::isnan(burx) || std::isnan(bury)) return false;
  if (bllx > burx) std::swap(bllx, burx);
  if (blly > bury) std::swap(blly, bury);
  // SubstituteInf on for the search, restored however we leave.
  struct Restore {
    bool& flag;
    bool saved;
    ~Restore() { flag = saved; }
  } restore{FSubstInf, FSubstInf};
  FSubstInf = true;

  double px[4];
  double py[4];
  int found = 0;
  auto edge_x = [&](double x) {  // left or right edge
    const double y = CalcY(x);
    if (blly <= y && y <= bury) {
      px[found] = x;
      py[found] = y;
      ++found;
    }
  };
  auto edge_y = [&](double y) {  // bottom or top edge
    const double x = CalcX(y);
    if (bllx <= x && x <= burx) {
      px[found] = x;
      py[found] = y;
      ++found;
    }
  };
  edge_x(bllx);
  edge_x(burx);
  edge_y(blly);
  edge_y(bury);
  if (found == 0) return false;

  // Every point found lies on the segment, so its ends are the pair farthest
  // apart. Keeping simply the first two would return a corner twice and lose
  // the other end when the line runs through a corner into the box.
  int best_i = 0;
  int best_j = 0;
  double best = -1.0;
  for (int i = 0; i < found; ++i)
    for (int j = i; j < found; ++j) {
      const double d = std::hypot(px[j] - px[i], py[j] - py[i]);
      if (d > best) {
        best = d;
        best_i = i;
        best_j = j;
      }
    }
  x1 = px[best_i];
  y1 = py[best_i];
  x2 = px[best_j];
  y2 = py[best_j];
  return true;
}

void TSLine::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TSLine*>(Source)) {
    FParA = src->FParA;
    FParB = src->FParB;
    FParC = src->FParC;
    FSubstInf = src->FSubstInf;
    return;
  }
  TPersistent::Assign(Source);
}

void TSLine::AssignTo(TPersistent* Dest) {
  if (auto* dst = dynamic_cast<TSLine*>(Dest)) {
    dst->Assign(this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

}  // namespace numbra
