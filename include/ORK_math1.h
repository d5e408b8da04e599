// ORK_math1: scalar functions, interpolation, random numbers and compensated
// summation; sorting and selection of raw arrays; number formatting and
// conversion.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "numbra_frame.h"

namespace numbra {

/// Raised by the routines of this unit.
NUMBRA_DECLARE_EXCEPTION(EORKMath1Error, EORKError);

// ===========================================================================
// Scalar functions, interpolation, random numbers, TKahanSum
// ===========================================================================

// Rounding to the series 1, 2, 5 and axis scaling --------------------------

/// Smallest integer not below x (ceiling). Results beyond the 32-bit range
/// saturate at INT32_MIN / INT32_MAX; NaN gives 0.
NUMBRA_EXPORT int32_t IntPos(double x) noexcept;
/// Largest integer not above x (floor). Saturates like IntPos; NaN gives 0.
NUMBRA_EXPORT int32_t IntNeg(double x) noexcept;

/// Rounds x to the nearest value of the series 1, 2, 5, 10 times a power of
/// ten, keeping the sign: with m the mantissa of |x| in [1, 10), m < 1.5
/// gives 1, m < 3 gives 2, m < 8 gives 5, else 10. A decimal exponent within
/// 1E-14 of an integer counts as that integer. 0 gives 0; NaN and infinities
/// are returned as they are; a result above the largest double is infinite.
NUMBRA_EXPORT double Round125(double x) noexcept;
/// Rounds x towards plus infinity within the series 1, 2, 5, 10: for x > 0
/// the smallest of them that is >= m, for x < 0 the largest that is <= m
/// (so -1.2 gives -1). Other rules as Round125.
NUMBRA_EXPORT double RoundPos125(double x) noexcept;
/// Mirror image of RoundPos125: rounds towards minus infinity (for x >= 0 the
/// largest of 1, 2, 5, 10 that is <= m, for x < 0 the smallest that is >= m).
NUMBRA_EXPORT double RoundNeg125(double x) noexcept;

/// Axis ticks for the range X1 to X2 with about NTicks intervals.
///
/// TickDist is 1, 2 or 5 times a power of ten, negative when X2 < X1: the
/// raw spacing |X2 - X1| / NTicks is rounded down within the series, where a
/// raw spacing of exactly 2 or 5 (times a power of ten) still counts as the
/// class below (NTicks 5 over 0..10 gives TickDist 1). NSubTicks is the
/// number of sub-intervals per tick interval: 4 for a TickDist of 2, else 5.
/// StartTick is the first tick at X1 or beyond it in the direction of X2,
/// allowing 0.1 % of TickDist. NTicks = 0 gives ticks at whole numbers,
/// TickDist +1 or -1 (NSubTicks 5 for ranges up to 10, else 1). X1 = X2
/// gives StartTick X1, TickDist 0, NSubTicks 1. When X1, X2 or their
/// difference is not finite, StartTick and TickDist are NaN and NSubTicks
/// is 1. Never loops more than a few steps, also where TickDist is below
/// the spacing of doubles near X1.
NUMBRA_EXPORT void CalcScalePars(uint16_t NTicks, double X1, double X2, double& StartTick,
                                 double& TickDist, uint16_t& NSubTicks) noexcept;

// Polynomials --------------------------------------------------------------

/// Sum of Coeffs[i] * x^i for i = 0..Order (Coeffs[0] the constant term),
/// the powers accumulated term by term. A zero coefficient adds nothing, even
/// where its power of x would overflow. Raises EORKMath1Error "Polynomial:
/// invalid order of polynomial" when Order < 0 or Order >= Coeffs.size().
NUMBRA_EXPORT double Polynomial(std::span<const double> Coeffs, int32_t Order, double x);
/// Sum of Coeffs[i] * (x - Center)^i for i = 0..Order; same rules and
/// message as Polynomial.
NUMBRA_EXPORT double CenteredPolynomial(std::span<const double> Coeffs, int32_t Order,
                                        double Center, double x);

// Interpolation ------------------------------------------------------------

/// Linear interpolation in a table of pivots: Table[0] holds the ascending x
/// values, Table[1] the y values at them. Below the first pivot and above the
/// last the end segments are extended; at a pivot the result is its y value.
/// Raises EORKMath1Error "InterpolXYTable: pivot array must contain at least
/// 2 rows" (no column, or fewer than 2 pivots), "InterpolXYTable: pivot array
/// must contain 2 columns" (other than 2 columns) and "InterpolXYTable: pivot
/// columns differ in length" (no value is left unpaired or read beyond its
/// column). NaN x gives NaN; pivots that do not ascend give a result of the
/// same rule but no error; extrapolating along a segment of zero width gives
/// an infinite or NaN result.
NUMBRA_EXPORT double InterpolXYTable(double x, const TDouble2DArray& Table);
/// Linear interpolation in a table of equally spaced values: Table[0] sits
/// at XFirst, Table[n-1] at XLast (XLast < XFirst is allowed). Outside
/// XFirst..XLast the first or last segment is extended. Raises
/// EORKMath1Error "InterpolTable: pivot array must contain at least 2 values"
/// and "InterpolTable: specified range of pivot array is zero". NaN x (or a
/// NaN bound) gives NaN; an infinite x gives the end value of a flat end
/// segment, otherwise an infinity.
NUMBRA_EXPORT double InterpolTable(double x, double XFirst, double XLast,
                                   std::span<const double> Table);
/// The same for a table of 32-bit integers (the result is a double; the
/// differences are formed in double, so they never overflow).
NUMBRA_EXPORT double InterpolTable(double x, double XFirst, double XLast,
                                   std::span<const int32_t> Table);
/// Bilinear interpolation in a cell with corner values z1 (fx = 0, fy = 0),
/// z2 (0, 1), z3 (1, 0) and z4 (1, 1); fx and fy are the fractional
/// positions along x and y (0..1 inside the cell).
NUMBRA_EXPORT double InterpolZofXYRect(double z1, double z2, double z3, double z4, double fx,
                                       double fy) noexcept;

// Logarithms, hyperbolic and trigonometric functions -----------------------

/// Decimal logarithm (exact for powers of ten). Raises EMathError
/// "logarithm: invalid argument" unless x > 0 (NaN included).
NUMBRA_EXPORT double lg(double x);
/// Binary logarithm (exact for powers of two). Raises EMathError
/// "logarithm: invalid argument" unless x > 0 (NaN included).
NUMBRA_EXPORT double ld(double x);
/// Hyperbolic sine, cosine and tangent, accurate to a few ulp over the whole
/// range (also near 0, where the textbook formula through e^x cancels).
/// Write numbra::sinh / numbra::cosh: with <cmath> and `using namespace
/// numbra` an unqualified call is ambiguous.
///@{
NUMBRA_EXPORT double sinh(double x) noexcept;
NUMBRA_EXPORT double cosh(double x) noexcept;
NUMBRA_EXPORT double tgh(double x) noexcept;
///@}
/// Tangent, sin(x) / cos(x). Raises EMathError "tangens overflow" when
/// cos(x) is exactly 0. NaN and infinities give NaN.
NUMBRA_EXPORT double tg(double x);
/// Cotangent, cos(x) / sin(x). Raises EMathError "cotangens overflow" when
/// sin(x) is exactly 0 (x = 0). NaN and infinities give NaN.
NUMBRA_EXPORT double cot(double x);

// Angles -------------------------------------------------------------------

/// The angle a (radians) reduced to [-pi, pi]; the reduction by whole turns
/// is exact (fmod). NaN and infinities give NaN.
NUMBRA_EXPORT double CanonicalAngleRadians(double a) noexcept;
/// The angle a (degrees) reduced to [-180, 180], exactly. NaN and infinities
/// give NaN.
NUMBRA_EXPORT double CanonicalAngleDegrees(double a) noexcept;
/// Angle of the vector (x, y) to the positive x axis, counter-clockwise, in
/// radians in [0, 2 pi]. (0, y) gives pi/2 for y > 0, else 3 pi/2 (also for
/// y = 0). NaN coordinates, and two infinite ones, give NaN.
NUMBRA_EXPORT double AngleToXAxis(double x, double y) noexcept;

// Whole numbers ------------------------------------------------------------

/// The i-th prime, 1 <= i <= 4792 (1 gives 2, 4792 gives 46337, the largest
/// prime below the square root of 2^31); 0 for any other i. The table is
/// built once, on first use, by a sieve.
NUMBRA_EXPORT int32_t ListOfPrimes(int32_t i) noexcept;
/// True when no integer from 2 to trunc(sqrt(|n|)) divides n. So 0, 1 and -1
/// give true, and a negative n is judged by its magnitude (-7 is true).
NUMBRA_EXPORT bool IsPrime(int32_t n) noexcept;
/// The prime factors of n in ascending order with repetitions (12 gives 2, 2,
/// 3; a prime gives itself); empty for n < 2.
NUMBRA_EXPORT TIntArray FindPrimeFactors(int32_t n);
/// Cancels the fraction Num/Den by the greatest common divisor of the two;
/// the signs stay where they are (12/-18 gives 2/-3). A zero in either
/// leaves both unchanged.
NUMBRA_EXPORT void CancelFraction(int32_t& Num, int32_t& Den) noexcept;
/// n! as a double (1 for 0 and 1; infinity above 170). Raises
/// EORKMath1Error "Factorial: negative argument" for n < 0 and "Factorial:
/// argument too big" for n > 1000.
NUMBRA_EXPORT double Factorial(int32_t n);

// Random numbers -----------------------------------------------------------
//
// BRandom, CRandom and GRandom draw from the runtime's uniform generator
// (corvel::Random, seeded with SetRandSeed). LongRand is an independent
// generator whose three seeds are set from the runtime's generator when the
// library is loaded. All the state is process-wide and unguarded: use these
// routines from one thread at a time.

/// True with probability p: true for p >= 1 (without a draw), otherwise true
/// when p exceeds a uniform draw (so p <= 0 and NaN give false).
NUMBRA_EXPORT bool BRandom(double p);
/// A value of the Cauchy distribution with location a and scale b:
/// a + b tan((u - 0.5) pi), u uniform in [0, 1).
NUMBRA_EXPORT double CRandom(double a, double b);
/// A standard normal value (mean 0, variance 1) by Marsaglia's polar method;
/// every second call returns the value saved by the call before.
NUMBRA_EXPORT double GRandom();
/// A uniform value in [0, 1) from the sum of three multiplicative
/// congruential generators (moduli 1001003, 990923 and 1400423). Seed 0
/// continues the sequence; any other Seed restarts it from seeds derived
/// from Seed (the same Seed always gives the same sequence). A derived seed
/// that is 0 modulo its generator's modulus, which would stick at 0, is
/// replaced by 1.
NUMBRA_EXPORT double LongRand(int32_t Seed);

// Bounds and geometry ------------------------------------------------------

/// Integer point and rectangle of the host runtime (pixel coordinates).
struct TPoint {
  /// x coordinate.
  int32_t x = 0;
  /// y coordinate.
  int32_t y = 0;
};
/// Integer rectangle (pixel coordinates); the routines that take one put
/// its bounds in order first.
struct TRect {
  /// Bounds of the rectangle.
  ///@{
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  ///@}
};

/// True when Lo <= x <= Hi (Lo and Hi exchanged first if Lo > Hi). NaN
/// gives false.
NUMBRA_EXPORT bool WithinBounds(double x, double Lo, double Hi) noexcept;
/// x clamped into Lo..Hi (Lo and Hi exchanged first if Lo > Hi); NaN x is
/// returned as it is.
///@{
NUMBRA_EXPORT double ConfineValue(double x, double Lo, double Hi) noexcept;
NUMBRA_EXPORT float ConfineValue(float x, float Lo, float Hi) noexcept;
NUMBRA_EXPORT int32_t ConfineValue(int32_t x, int32_t Lo, int32_t Hi) noexcept;
///@}
/// True when P lies inside R or on its border (the bounds of R are put in
/// order first, so either corner order works).
///@{
NUMBRA_EXPORT bool WithinRect(const TPointDouble& P, const TRectDouble& R) noexcept;
NUMBRA_EXPORT bool WithinRect(const TPoint& P, const TRect& R) noexcept;
///@}
/// Moves P into R (bounds put in order first); true when P was moved.
///@{
NUMBRA_EXPORT bool ConfinePointToRect(TPointDouble& P, const TRectDouble& R) noexcept;
NUMBRA_EXPORT bool ConfinePointToRect(TPoint& P, const TRect& R) noexcept;
///@}
/// Distance of P from R in whole units: 0 inside or on the border; straight
/// above, below or beside R the distance to the nearest side; otherwise the
/// distance to the nearest corner, rounded (halves to even). The bounds of R
/// are put in order first; a distance beyond the 32-bit range gives
/// INT32_MAX.
NUMBRA_EXPORT int32_t DistFromRect(const TPoint& P, const TRect& R) noexcept;
/// Euclidean distance of two points, computed without overflow or underflow
/// of the squares.
///@{
NUMBRA_EXPORT double EuclideanDistance(const TPointDouble& P1, const TPointDouble& P2) noexcept;
NUMBRA_EXPORT double EuclideanDistance(double x1, double y1, double x2, double y2) noexcept;
///@}
/// b if b < a, else a (so a NaN b gives a).
///@{
NUMBRA_EXPORT double Min(double a, double b) noexcept;
NUMBRA_EXPORT int32_t Min(int32_t a, int32_t b) noexcept;
///@}
/// a if a >= b, else b (so a NaN a gives b).
///@{
NUMBRA_EXPORT double Max(double a, double b) noexcept;
NUMBRA_EXPORT int32_t Max(int32_t a, int32_t b) noexcept;
///@}
/// -1 for x < 0, else 1 (also for 0 and NaN).
NUMBRA_EXPORT double Signum(double x) noexcept;

// Bit operations -----------------------------------------------------------

/// True when n and n - 1 share no bit: n is a power of two, or 0.
NUMBRA_EXPORT bool CheckPowerOfTwo(uint32_t n) noexcept;
/// The byte b with its 8 bits in reverse order.
NUMBRA_EXPORT uint8_t BitReversal(uint8_t b) noexcept;
/// 2^i for 0 <= i <= 7, else 0.
NUMBRA_EXPORT uint8_t DecodeBit(int32_t i) noexcept;
/// 2^i for 0 <= i <= 31, else 0.
NUMBRA_EXPORT uint32_t DecodeLong(int32_t i) noexcept;
/// Index (0..31) of the lowest set bit of x; 31 when x is 0.
NUMBRA_EXPORT int32_t EncodeLong(uint32_t x) noexcept;
/// Number of set bits of b.
NUMBRA_EXPORT int32_t CountBits(uint8_t b) noexcept;
/// Gray code of w: w xor (w shr 1).
NUMBRA_EXPORT uint16_t GrayCode(uint16_t w) noexcept;

// Arrays -------------------------------------------------------------------

/// Smallest and largest of Data[Lo..Hi] (0-based, inclusive) and their
/// indices; the first of equal extremes wins. Min, Max, MinIx and MaxIx are
/// first set to uc_MaxDouble, -uc_MaxDouble, 0 and 0, and keep those values
/// when Lo > Hi or every value in the range is NaN (NaN values are skipped).
/// Result 0; -1 (with the start values) when Lo or Hi lies outside
/// 0..Data.size()-1, which includes every index of an empty array.
NUMBRA_EXPORT int32_t MinMaxOfArray(std::span<const double> Data, int32_t Lo, int32_t Hi,
                                    double& Min, double& Max, int32_t& MinIx, int32_t& MaxIx);
/// The same over the block Data[Lo1..Hi1][Lo2..Hi2]; the outer index runs in
/// the outer loop. The inner bounds are checked against the first inner
/// array; -1 as well when an inner array of rows Lo1..Hi1 does not reach
/// the inner bounds (a ragged array is never read beyond its rows).
NUMBRA_EXPORT int32_t MinMaxOfArray(const TDouble2DArray& Data, int32_t Lo1, int32_t Lo2,
                                    int32_t Hi1, int32_t Hi2, double& Min, double& Max,
                                    int32_t& MinIx1, int32_t& MinIx2, int32_t& MaxIx1,
                                    int32_t& MaxIx2);
/// Mean and sample variance (denominator n - 1) of Data[Lo..Hi] (0-based,
/// inclusive; n = Hi - Lo + 1). Mean and Variance are first set to 0.
/// Variance is 1.0 when n < 3.
///
/// Computed by the corrected two-pass algorithm on data scaled by a power of
/// two, so that a large mean with a small spread (1000000.1, 1000000.2,
/// 1000000.3: variance 0.01) keeps its digits and no intermediate overflows;
/// the result is within a few ulp of the exact value for the given doubles.
/// NaN or infinite data give a NaN variance (for n >= 3) and the IEEE mean.
/// Result 0; -1 with Mean and Variance 0 when Lo or Hi lies outside
/// 0..Data.size()-1 or Lo > Hi.
NUMBRA_EXPORT int32_t MeanVarOfArray(std::span<const double> Data, int32_t Lo, int32_t Hi,
                                     double& Mean, double& Variance);
/// The same over the block Data[Lo1..Hi1][Lo2..Hi2] (n its element count),
/// with the index checks of the 2-D MinMaxOfArray; -1 also when Lo1 > Hi1 or
/// Lo2 > Hi2.
NUMBRA_EXPORT int32_t MeanVarOfArray(const TDouble2DArray& Data, int32_t Lo1, int32_t Lo2,
                                     int32_t Hi1, int32_t Hi2, double& Mean, double& Variance);

// Compensated summation ----------------------------------------------------

/// Running sum with Kahan's compensation: the rounding error of each addition
/// is carried in cps and subtracted from the next addend, so that the error
/// of a long sum does not grow with the number of terms.
///
/// Once the sum has become infinite or NaN the compensation is dropped (it
/// would turn an infinite sum into NaN); the sum then follows IEEE rules.
class NUMBRA_EXPORT TKahanSum : public TComponent {
 public:
  /// Creates the sum and resets it to 0.
  explicit TKahanSum(TComponent* AOwner = nullptr);
  ~TKahanSum() override;

  /// Sets the sum and the compensation to 0.
  void Reset() noexcept;
  /// Adds ANumber to the sum.
  void Add(double ANumber) noexcept;
  /// The running sum.
  [[nodiscard]] double Sum() const noexcept { return FSum; }

  /// Copies Sum and the compensation from another TKahanSum; other sources
  /// go to TPersistent::Assign.
  void Assign(TPersistent* Source) override;

 protected:
  void AssignTo(TPersistent* Dest) override;

  /// Running compensation: the part of the addends not yet in FSum, negated.
  double cps = 0.0;
  /// The compensated sum so far (Sum()).
  double FSum = 0.0;
};

// ===========================================================================
// Sorting and selection
// ===========================================================================
//
// In-place routines on arrays that the caller owns; none of them allocates.
//
// Typed overloads take a span; positions are 0-based (0 to size - 1).
// Generic overloads take a pointer, an element count N and a TVarKind;
// positions are 1-based (1 to N). Kinds by ordinal: 0 and 1 double, 2 single
// (float), 3 and 4 32-bit signed integer. Any other kind, N < 1 or a null
// pointer leaves everything alone (insertion then returns 0). The data need
// not be aligned for its element type.
//
// Order of floating values: NaN counts as larger than every number (+inf
// included) and all NaNs count as equal to each other; -0.0 and +0.0 are
// equal. So an ascending sort puts the NaNs last, a descending sort first,
// every routine terminates, and the results are well defined for any data.

/// Sorts Data in place by comb sort, ascending or descending (not stable:
/// equal elements may change places; equal elements are never exchanged with
/// each other). The gap starts at the element count and is divided by 1.3
/// (64-bit integer arithmetic, (gap * 100000000 div 13000) div 10000, at
/// least 1) before each pass; the sort ends after a pass of gap 1 without an
/// exchange. Each pass adds one progress step (corvel::StepProcStat). Fewer
/// than 2 elements: nothing, no progress step. Cost about n log_1.3(n)
/// compare-exchanges, done with SIMD where the gap allows it.
NUMBRA_EXPORT void SortArray(std::span<double> Data, bool Ascending);
/// Comb sort of singles; see the double overload.
NUMBRA_EXPORT void SortArray(std::span<float> Data, bool Ascending);
/// Comb sort of 32-bit integers; see the double overload.
NUMBRA_EXPORT void SortArray(std::span<int32_t> Data, bool Ascending);
/// Comb sort of the N elements of kind Kind at Data (see the section notes).
NUMBRA_EXPORT void SortArray(void* Data, int32_t N, TVarKind Kind, bool Ascending);

/// Inserts Value into Data, taken as sorted in the given direction; the
/// length stays, so the last element is dropped. The position is the first
/// element E with E >= Value (ascending) or E <= Value (descending). Returns
/// that 0-based position, or -1 when nothing was inserted: no such element
/// (the value lies beyond the last one), E equal to Value while
/// AllowDuplicates is false, an empty span or one longer than INT32_MAX.
NUMBRA_EXPORT int32_t SortIntoArray(std::span<double> Data, double Value, bool Ascending,
                                    bool AllowDuplicates);
/// Sorted insertion into singles; see the double overload.
NUMBRA_EXPORT int32_t SortIntoArray(std::span<float> Data, float Value, bool Ascending,
                                    bool AllowDuplicates);
/// Sorted insertion into 32-bit integers; see the double overload.
NUMBRA_EXPORT int32_t SortIntoArray(std::span<int32_t> Data, int32_t Value, bool Ascending,
                                    bool AllowDuplicates);
/// Sorted insertion of the value of kind Kind at Value into the N elements at
/// Data. Returns the 1-based position, or 0 when nothing was inserted (also
/// for a null Value or an unhandled kind).
NUMBRA_EXPORT int32_t SortIntoArray(void* Data, int32_t N, TVarKind Kind, const void* Value,
                                    bool Ascending, bool AllowDuplicates);

/// Writes Value at the 0-based position Pos after moving the elements from
/// Pos to the next-to-last up by one (the last is dropped); at the last
/// position it simply overwrites. Pos outside 0..size - 1: nothing.
NUMBRA_EXPORT void InsertIntoArray(std::span<double> Data, double Value, int32_t Pos);
/// Positional insertion into singles; see the double overload.
NUMBRA_EXPORT void InsertIntoArray(std::span<float> Data, float Value, int32_t Pos);
/// Positional insertion into 32-bit integers; see the double overload.
NUMBRA_EXPORT void InsertIntoArray(std::span<int32_t> Data, int32_t Value, int32_t Pos);
/// Positional insertion of the value at Value into the N elements at Data,
/// Pos 1-based (1..N); any other Pos, a null Value or kind: nothing.
NUMBRA_EXPORT void InsertIntoArray(void* Data, int32_t N, TVarKind Kind, const void* Value,
                                   int32_t Pos);

/// The value that would stand at index k if Data[Lo..Hi] were sorted
/// ascending (0-based, NaNs last); Data[Lo..Hi] is reordered in place.
/// Only the part of Lo..Hi inside the array is used. Hi < Lo or no part
/// inside: 0. k outside the (clipped) range: Data[Lo] without searching.
/// Quickselect with the middle element as pivot and a Lomuto partition
/// (elements equal to the pivot stay on its right; when the pivot is the
/// least of its range, the elements equal to it are set aside together, so
/// data with few distinct values take linear time too). Expected cost
/// linear; a range that shrinks too slowly is finished by the standard
/// library's introselect, so the worst case is O(n log n).
NUMBRA_EXPORT double QuickSelect(std::span<double> Data, int32_t k, int32_t Lo, int32_t Hi);

/// Exchanges the two values.
///@{
NUMBRA_EXPORT void ExChange(int32_t& A, int32_t& B) noexcept;
NUMBRA_EXPORT void ExChange(uint8_t& A, uint8_t& B) noexcept;
NUMBRA_EXPORT void ExChange(float& A, float& B) noexcept;
NUMBRA_EXPORT void ExChange(double& A, double& B) noexcept;
NUMBRA_EXPORT void ExChange(long double& A, long double& B) noexcept;
///@}
/// Exchanges the two strings' contents without copying the characters.
NUMBRA_EXPORT void ExChange(std::string& A, std::string& B) noexcept;
/// Exchanges the two values.
///@{
NUMBRA_EXPORT void ExChange(bool& A, bool& B) noexcept;
NUMBRA_EXPORT void ExChange(wchar_t& A, wchar_t& B) noexcept;
NUMBRA_EXPORT void ExChange(uint16_t& A, uint16_t& B) noexcept;
NUMBRA_EXPORT void ExChange(int8_t& A, int8_t& B) noexcept;
NUMBRA_EXPORT void ExChange(uint32_t& A, uint32_t& B) noexcept;
NUMBRA_EXPORT void ExChange(int64_t& A, int64_t& B) noexcept;
///@}
/// Exchanges Size bytes at P1 and P2, one byte after the other (overlapping
/// blocks give the result of that byte order). Size 0 or a null pointer:
/// nothing.
NUMBRA_EXPORT void ExChange(void* P1, void* P2, uint16_t Size) noexcept;

// ===========================================================================
// Number formatting and conversion
// ===========================================================================
//
// Texts are UTF-8 std::strings; the degree sign is U+00B0 ("\xC2\xB0").
// Non-finite values are written as "NAN", "INF" and "-INF" by the
// fixed-point and exponential routines. Only the routines that say so raise;
// the others clamp their arguments as documented.

/// Fixed-point text of x with Decimals decimals, right-aligned in at least
/// Width characters (corvel::strff: Decimals clamped to 0..100, Width to
/// 0..1024). Decimals = -2 selects the short exponential form: the
/// runtime's scientific text of x in Width + 2 characters (see
/// corvel::SciText) with the two leading exponent digits removed, as in
/// " 1.2346E+03"; when those two digits are not "00" (|exponent| >= 100) the
/// shortened text is made of "*" only. Non-finite x gives "NAN", "INF",
/// "-INF" right-aligned in Width.
NUMBRA_EXPORT std::string strf(double x, int32_t Width, int32_t Decimals);

/// Exponential text with a mantissa in [0.1, 1): sign position (blank or
/// "-"), "0.", NDigits significant digits, "E", the exponent sign and the
/// exponent with at least two digits (three for |exponent| >= 100), padded
/// with blanks on the left to Width: MakeEFormat(1234.56, 12, 4) is
/// "  0.1235E+04"; 0 gives exponent "+00". Width is clamped to 8..40 and
/// NDigits to 2..15. Non-finite x: "NAN", "INF", "-INF" padded to Width.
NUMBRA_EXPORT std::string MakeEFormat(double x, int32_t Width, int32_t NDigits);

/// Engineering notation with a unit prefix letter (a f p n u m k M G T for
/// 10^-18 .. 10^12; outside that range the letter of the nearest end is used
/// and the number grows or shrinks accordingly). Digits (clamped to -9..9)
/// asks for |Digits| significant digits where the number allows it (a
/// number above 100 keeps its integer digits); Digits <= -2 puts the letter
/// in place of the decimal point when there is one: EEngStr(4700, -2) is
/// "4k7", EEngStr(4700, 2) is "4.7k", EEngStr(0.001, 1) is "1m",
/// EEngStr(0, 3) is "0.00". The prefix comes from the decimal exponent e
/// with 10^e <= |x| < 10^(e+1), each power of ten taken as the double
/// nearest to it, so 1000 gives "1k". Non-finite x: "NAN", "INF", "-INF".
NUMBRA_EXPORT std::string EEngStr(double x, int32_t Digits);

/// The lowest Digits hexadecimal digits (upper case) of Value's 32-bit
/// pattern taken as unsigned, with leading zeros; Digits clamped to 1..8.
/// Hex(255, 1) is "F", Hex(-1, 8) is "FFFFFFFF".
NUMBRA_EXPORT std::string Hex(int32_t Value, int32_t Digits);
/// The lowest Digits octal digits of Value's 32-bit pattern; Digits clamped
/// to 1..11 (11 digits hold the whole pattern).
NUMBRA_EXPORT std::string Octal(int32_t Value, int32_t Digits);
/// The lowest Digits binary digits of Value's 32-bit pattern; Digits clamped
/// to 1..32.
NUMBRA_EXPORT std::string Bin(int32_t Value, int32_t Digits);
/// The lowest Digits decimal digits of |Value| with leading zeros, "-" in
/// front for a negative Value: Decimal(-7, 3) is "-007". Digits clamped to
/// 1..255.
NUMBRA_EXPORT std::string Decimal(int32_t Value, int32_t Digits);

/// The bit pattern of x as 16 upper-case hexadecimal digits, most
/// significant byte first: FPNumToHex(1.0) is "3FF0000000000000".
NUMBRA_EXPORT std::string FPNumToHex(double x);
/// The bit pattern of a single as 8 upper-case hexadecimal digits.
NUMBRA_EXPORT std::string FPNumToHex(float x);
/// The double whose bit pattern Text spells (exactly 16 hexadecimal digits
/// of either case, most significant byte first); every pattern, NaNs
/// included, comes back bit for bit. Raises EORKError
/// "HexToDouble: invalid hex string "<Text>"" for any other text.
NUMBRA_EXPORT double HexToDouble(const std::string& Text);
/// The single of an 8-digit pattern; raises EORKError
/// "HexToSingle: invalid hex string "<Text>"" for any other text.
NUMBRA_EXPORT float HexToSingle(const std::string& Text);

/// The 32-bit integer that Text holds, in the syntax of ScanDecimal (leading
/// blanks, an optional sign, decimal digits, nothing after them); Default
/// for an empty text, any other text or a value outside the 32-bit range.
NUMBRA_EXPORT int32_t StrToIntDefault(const std::string& Text, int32_t Default);

/// Roman numeral of Value, built greedily from M CM D CD C XC L XL X IX V
/// IV I (4000 is "MMMM"); empty for Value < 1 or Value >= 30000.
NUMBRA_EXPORT std::string Roman(int32_t Value);

/// x with its bytes in reverse order (a double may come back as any bit
/// pattern, NaNs included; it is returned unchanged bit for bit).
///@{
NUMBRA_EXPORT double ConvertEndian(double x) noexcept;
NUMBRA_EXPORT float ConvertEndian(float x) noexcept;
NUMBRA_EXPORT uint16_t ConvertEndian(uint16_t x) noexcept;
NUMBRA_EXPORT int32_t ConvertEndian(int32_t x) noexcept;
///@}

/// Angle text; Decimals clamped to 0..8.
/// - dfDecDeg: fixed-point degrees and "°": "12.50°".
/// - dfDegMin: the angle rounded to Decimals decimals of a minute (halves
///   away from zero); the whole degrees ("-0" for a negative angle above
///   -1), "° ", the minutes in Decimals + 3 characters, "'": "10° 30.00'",
///   "-0°  30'".
/// - dfDegMinSec: rounded to Decimals decimals of a second; the degrees as
///   above, "° ", the whole minutes in 2 characters, "' ", the seconds in
///   Decimals + 3 characters and the double-quote character:
///   "10° 30' 15.00\"".
/// - dfDecDegNoSign: fixed-point degrees only.
/// The rounded angle is split into degrees, minutes and seconds in integer
/// arithmetic, so a whole minute never shows as 59' 60.00" (when the count
/// of the last decimal unit exceeds 2^53 -- beyond 25000 degrees with 8
/// decimals of a second -- the split is done in floating point and parts
/// within 3E-12 of a whole number are taken as whole). A non-finite angle gives "NAN", "INF" or "-INF" followed by "°"
/// (nothing for dfDecDegNoSign); a format value outside the enumeration
/// gives "".
NUMBRA_EXPORT std::string DegreeToStr(double Angle, TDegreeFormat Format, int32_t Decimals);

/// Converts the angle (Deg, Min, Sec) from InFormat to OutFormat (dfDecDeg:
/// Deg alone; dfDegMin: Deg whole, Min decimal; dfDegMinSec: Deg and Min
/// whole, Sec decimal). The sign of the angle is the sign of Deg (a -0.0
/// degree part, as the conversions write for angles between -1 and 0,
/// counts as negative); minutes and seconds are magnitudes. Unused parts
/// become 0. Pairs involving dfDecDegNoSign, and equal formats apart from
/// clearing unused parts, change nothing. Raises EORKMath1Error
/// "ConvertDegrees: invalid range of minutes" (Min not within 0..60, NaN
/// included) and "ConvertDegrees: invalid range of seconds" (the same for
/// Sec), checked first for every format pair.
NUMBRA_EXPORT void ConvertDegrees(double& Deg, double& Min, double& Sec,
                                  TDegreeFormat InFormat, TDegreeFormat OutFormat);

/// Rounds an angle to a scale-friendly step of 1 2 3 5 10 15 20 30 60 90 180
/// 360 units: the degrees when Deg >= 1, else the minutes when Min >= 1,
/// else the seconds; downwards, or upwards with Up (an upward step beyond 30
/// minutes or seconds carries to 1 degree or 1 minute). The smaller parts
/// become 0. Any negative part: all three become 0; Min and Sec above 59
/// count as 59.
NUMBRA_EXPORT void RoundDegrees(int32_t& Deg, int32_t& Min, int32_t& Sec, bool Up);

// ---- scanners ------------------------------------------------------------
//
// Every scanner reads one item from Text starting at the 1-based character
// position Pos (the first character is 1, as in the runtime's strings).
// Blanks (space, tab) before the item are skipped. On success Pos is moved
// just past the last character read (Length + 1 at the end of the text) and
// the value is returned; a scanner stops at the first character that cannot
// continue the item and leaves it unread ("12abc" reads 12, Pos at "a").
// On failure -- Pos outside 1..Length, no item there, a value out of range
// -- Pos is left unchanged and the result is 0 (false for ScanDegrees):
// compare Pos before and after to tell a read 0 from a failure.
// The IsValid... checks accept exactly the texts that the matching scanner,
// started at Pos 1, reads to their end: leading blanks allowed, nothing
// after the item (no trailing blanks), the empty text rejected.

/// Hexadecimal digits of either case (no sign, no prefix), value at most
/// FFFFFFFF, returned as the 32-bit pattern: "FFFFFFFF" gives -1. Leading
/// zeros do not count towards the limit. Reads back what Hex writes.
NUMBRA_EXPORT int32_t ScanHex(const std::string& Text, int32_t& Pos);
/// Octal digits, value at most 37777777777, returned as the 32-bit pattern.
NUMBRA_EXPORT int32_t ScanOctal(const std::string& Text, int32_t& Pos);
/// Binary digits, at most 32 significant bits, returned as the 32-bit
/// pattern.
NUMBRA_EXPORT int32_t ScanBin(const std::string& Text, int32_t& Pos);
/// An optional "+" or "-" directly followed by decimal digits, value within
/// -2147483648..2147483647. Reads back what Decimal writes.
NUMBRA_EXPORT int32_t ScanDecimal(const std::string& Text, int32_t& Pos);

/// Reads an angle as DegreeToStr writes it and stores it in Result as
/// decimal degrees; returns true on success (false: Pos and Result
/// unchanged). Syntax: an optional sign for the whole angle, the degrees
/// (digits with an optional decimal point and fraction), then "°"; after a
/// whole number of degrees, optionally blanks, the minutes and "'"; after
/// whole minutes, optionally blanks, the seconds and the double-quote
/// character. A minutes or seconds part that is complete but lies outside
/// 0..60 makes the scan fail; a part that does not follow completely is left
/// unread ("12° N" reads 12, Pos at the blank). Flag: true also accepts a bare number without the degree sign as
/// decimal degrees (the dfDecDegNoSign text); false requires the sign.
NUMBRA_EXPORT bool ScanDegrees(const std::string& Text, int32_t& Pos, bool Flag,
                               double& Result);

/// Reads a date and/or time laid out as Format and returns it as days since
/// 1899-12-30 00:00 with the time of day as the fraction (a continuous
/// count: earlier moments are negative, 1899-12-29 12:00 is -0.5).
/// Format fields (letters of either case): d one or two digits of the day,
/// dd exactly two; m, mm the month likewise; mmm the three-letter month
/// abbreviation and mmmm the full month name of Language (either case;
/// German "Mär"/"März" in UTF-8); yy two digits (00..49 are 2000..2049,
/// 50..99 are 1950..1999); yyyy exactly four (0001..9999); h, hh the hour
/// 0..23; n, nn the minute; s, ss the second; z one to three digits and zzz
/// exactly three of the millisecond. A blank in Format matches one or more
/// blanks; any other character must appear as it is (letters of either
/// case). Without date fields the result is the time of day alone; with any
/// of them the year is required and a missing month or day is 1. Failure
/// (see above): a field not matching, an impossible date or time, an empty
/// Format, a field repeated or written with a length not listed here.
NUMBRA_EXPORT double ScanDateTime(const std::string& Text, const std::string& Format,
                                  TLanguage Language, int32_t& Pos);

/// Reads a floating-point number: an optional sign, digits with an optional
/// decimal point (at least one digit before or after it), an optional
/// exponent "E" or "e" with an optional sign and digits. The value is the
/// correctly rounded double; a value beyond the double range fails, one
/// below the smallest subnormal reads as a zero of its sign. Reads back what
/// strf, strff and MakeEFormat write (but not "NAN" or "INF", which are not
/// numbers). Flag: true also accepts engineering notation as EEngStr writes
/// it -- a prefix letter a f p n u m k M G T after a number without exponent
/// ("4.7k"), or in place of the decimal point ("4k7"). Count: the most
/// characters the scanner may look at from Pos on, leading blanks included
/// (the width of a fixed field); Count <= 0 means up to the end of the text.
NUMBRA_EXPORT double ScanFPNum(const std::string& Text, bool Flag, int32_t Count, int32_t& Pos);

/// True when Text is one number of the ScanFPNum syntax, read whole from
/// position 1 with no limit of characters: engineering notation allowed
/// when Flag is true; the decimal separator is "." for dpsPoint, "," for
/// dpsComma and either for dpsBoth. A value beyond the double range is not
/// valid.
NUMBRA_EXPORT bool IsValidDouble(const std::string& Text, bool Flag, TDecPSep DecPSep);
/// IsValidDouble(Text, false, DecPSep): a plain number, no engineering
/// notation.
NUMBRA_EXPORT bool IsValidFPNum(const std::string& Text, TDecPSep DecPSep);
/// True when ScanHex reads the whole text.
NUMBRA_EXPORT bool IsValidHex(const std::string& Text);
/// True when ScanOctal reads the whole text.
NUMBRA_EXPORT bool IsValidOct(const std::string& Text);
/// True when ScanBin reads the whole text.
NUMBRA_EXPORT bool IsValidBin(const std::string& Text);
/// True when ScanDecimal reads the whole text.
NUMBRA_EXPORT bool IsValidDecInt(const std::string& Text);

}  // namespace numbra
