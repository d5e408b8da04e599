// ORK_stringl: small string helpers.
#pragma once

#include "corvel_export.h"

#include <string>
#include <string_view>

namespace corvel {

/// Fixed-point text of Value with Decimals digits after the point, rounded
/// to nearest (exact ties to even), right-aligned in at least Width
/// characters; Width 1 (or less) gives no leading blanks. Decimals is clamped
/// to 0..100 and Width to 0..1024. Infinities and NaN give "INF", "-INF",
/// "NAN" (right-aligned the same way).
CORVEL_EXPORT std::string strff(double Value, int Width, int Decimals);

/// True when Text contains Part. A Part of the form "//xxx" names a class of
/// characters instead: "//dig" a decimal digit, "//alp" an ASCII letter,
/// "//aln" a letter or digit, "//spc" a blank or tab, "//ctl" a control
/// character. An empty Part is contained in every text.
CORVEL_EXPORT bool StringContains(std::string_view Text, std::string_view Part);

/// Text without its control characters (codes 0 to 31 and 127).
CORVEL_EXPORT std::string RemoveControlChars(std::string_view Text);

/// Text with every character Old replaced by New.
CORVEL_EXPORT std::string ReplaceCharInString(std::string_view Text, char Old, char New);

}  // namespace corvel

namespace corvel {

/// The runtime's scientific text of Value in Width characters: a sign
/// position (blank for Value >= 0, "-" otherwise), one digit, a point,
/// Width - 9 further mantissa digits (at least 1, at most 30), "E", the
/// exponent sign and exactly four exponent digits: " 1.2346E+0003" for
/// Width 13. Rounded to nearest, exact ties to even. Infinities and NaN give
/// "INF", "-INF", "NAN" right-aligned in Width.
CORVEL_EXPORT std::string SciText(double Value, int Width);

}  // namespace corvel
