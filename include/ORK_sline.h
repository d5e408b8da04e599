// ORK_sline: TSLine, a straight line of the plane in the general form
// A x + B y + C = 0, with the usual constructions and questions.
#pragma once

#include "numbra_frame.h"

namespace numbra {

/// Raised by TSLine. Derives from the runtime's Exception directly, not from
/// EORKError. Its messages carry no component name.
NUMBRA_DECLARE_EXCEPTION(EORKSLineError, Exception);

/// The line A x + B y + C = 0; A and B are never both 0 after a setter.
///
/// A new line is the x axis (A = 0, B = 1, C = 0) with SubstituteInf false.
/// Non-finite parameters are accepted and give NaN or infinite answers.
/// Angles are in radians. No change event.
class NUMBRA_EXPORT TSLine : public TComponent {
 public:
  /// A line owned by AOwner (nullptr: none): the x axis, SubstituteInf false.
  explicit TSLine(TComponent* AOwner = nullptr);
  ~TSLine() override;

  // ---- parameters ------------------------------------------------------------
  /// A, B, C (properties ParA, ParB, ParC).
  ///@{
  [[nodiscard]] double ParA() const noexcept { return FParA; }
  [[nodiscard]] double ParB() const noexcept { return FParB; }
  [[nodiscard]] double ParC() const noexcept { return FParC; }
  ///@}
  /// A = v; raises EORKSLineError "parameter A and B must not both be zero"
  /// (A unchanged) when v = 0 and B = 0.
  void SetParA(double v);
  /// B = v; the same error when v = 0 and A = 0.
  void SetParB(double v);
  /// C = v.
  void SetParC(double v) noexcept { FParC = v; }
  /// When true, CalcY and CalcX divide by 1E-100 instead of a zero B or A
  /// (property SubstituteInf).
  [[nodiscard]] bool SubstituteInf() const noexcept { return FSubstInf; }
  /// Sets SubstituteInf().
  void SetSubstituteInf(bool v) noexcept { FSubstInf = v; }

  // ---- setting the line ---------------------------------------------------------
  /// The line through (P1X, P1Y) and (P2X, P2Y): A = P1Y - P2Y, B = P2X - P1X,
  /// C = P1X P2Y - P1Y P2X, true. Equal points: false, line unchanged.
  bool LineFrom2Points(double P1X, double P1Y, double P2X, double P2Y);
  /// y = k x + d: A = k, B = -1, C = d.
  void LineFromSlopeIcpt(double k, double d) noexcept;
  /// The line through (px, py) at angle (radians from the x axis): A =
  /// -sin(angle), B = cos(angle), C = -A px - B py.
  void LineThroughPoint(double px, double py, double angle) noexcept;
  /// The perpendicular to OtherLine through (px, py): A = -B(other), B =
  /// A(other), C = -A px - B py. OtherLine may be this line.
  void NormalLine(double px, double py, const TSLine& OtherLine) noexcept;
  /// The parallel to OtherLine through (px, py): A = A(other), B = B(other),
  /// C = -A px - B py. OtherLine may be this line.
  void ParallelLine(double px, double py, const TSLine& OtherLine) noexcept;

  // ---- questions -------------------------------------------------------------------
  /// k = -A / B, d = -C / B (y = k x + d); raises EORKSLineError "cannot
  /// convert to k-d-form if ParB is zero" (k and d unchanged) when B = 0.
  void CalcKDForm(double& k, double& d) const;
  /// -A / B (property Slope); B = 0 raises EORKSLineError "slope is infinite".
  [[nodiscard]] double GetSlope() const;
  /// -C / B (property Intercept); B = 0 raises EORKSLineError "cannot
  /// calculate intercept (line is parallel to y axis)".
  [[nodiscard]] double GetIntercept() const;
  /// Angle of the direction vector (B, -A) in [0, 2 pi) (property Direction).
  [[nodiscard]] double GetDirect() const noexcept;
  /// Convenience readers of the properties Slope, Intercept, Direction.
  ///@{
  [[nodiscard]] double Slope() const { return GetSlope(); }
  [[nodiscard]] double Intercept() const { return GetIntercept(); }
  [[nodiscard]] double Direction() const noexcept { return GetDirect(); }
  ///@}
  /// y of the point with abscissa x: (-x A - C) / B. B = 0: with
  /// SubstituteInf the division is by 1E-100 (a huge value of the right sign,
  /// 0 when the numerator is 0), without it raises EORKSLineError "cannot
  /// calculate y".
  [[nodiscard]] double CalcY(double x) const;
  /// x of the point with ordinate y: (-y B - C) / A; A = 0 as CalcY, message
  /// "cannot calculate x".
  [[nodiscard]] double CalcX(double y) const;
  /// Distance of (px, py) from the line, |A px + B py + C| / sqrt(A^2 + B^2)
  /// (the root computed without overflow).
  [[nodiscard]] double Distance(double px, double py) const noexcept;
  /// Intersection with OtherLine: false (x, y unchanged) when the lines are
  /// parallel (A1 B2 - A2 B1 = 0, also for the same line), else the point
  /// and true. The 2 x 2 determinants are evaluated with a fused
  /// multiply-add correction, so nearly parallel lines lose no more accuracy
  /// than their condition requires.
  bool InterSection(const TSLine& OtherLine, double& x, double& y) const noexcept;
  /// Acute angle between the lines, in [0, pi/2]: pi/2 when A1 A2 + B1 B2 =
  /// 0, else |arctan((A1 B2 - B1 A2) / (A1 A2 + B1 B2))|.
  [[nodiscard]] double AngleBetweenLines(const TSLine& OtherLine) const noexcept;
  /// The segment that the box with lower-left corner (bllx, blly) and
  /// upper-right corner (burx, bury) cuts out of the line, borders included.
  /// A box given with its corners swapped is put in order first.
  ///
  /// The edges are searched in the order left (y = CalcY(bllx)), right,
  /// bottom (x = CalcX(blly)), top, with SubstituteInf switched on for the
  /// duration (restored afterwards, also on an exception); a corner is found
  /// on both of its edges. Of the points found, the two farthest apart are
  /// returned, in the order found: (x1, y1) and (x2, y2) are the ends of the
  /// segment even when the line passes through a corner. Results:
  /// - two or more distinct points: true, the two ends;
  /// - one point only (the line touches a corner): true, and (x2, y2) equals
  ///   (x1, y1);
  /// - no point (the line misses the box, or a coordinate is NaN): false, and
  ///   x1, y1, x2, y2 are left unchanged.
  bool ClipBox(double bllx, double blly, double burx, double bury, double& x1, double& y1,
               double& x2, double& y2);

  // ---- persistence ------------------------------------------------------------
  /// Copies A, B, C and SubstituteInf from another TSLine; other sources go to
  /// TPersistent::Assign.
  void Assign(TPersistent* Source) override;

 protected:
  void AssignTo(TPersistent* Dest) override;

  /// A, B and C of the line A x + B y + C = 0.
  ///@{
  double FParA = 0.0;
  double FParB = 1.0;
  double FParC = 0.0;
  ///@}
  /// SubstituteInf().
  bool FSubstInf = false;
};

}  // namespace numbra
