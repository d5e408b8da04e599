// ORK_univconst: numeric constants shared by the numbra units.
#pragma once

#include <limits>

namespace corvel {

/// Starting minimum of searches for extremes (negated: starting maximum); no
/// smaller than any finite double.
inline constexpr double uc_MaxDouble = std::numeric_limits<double>::max();
/// The same for single-precision data: the largest finite float.
inline constexpr double uc_MaxReal = static_cast<double>(std::numeric_limits<float>::max());
/// Square root of 2.
inline constexpr double uc_sqrt2 = 1.41421356237309504880168872420969808;
/// 1 / sqrt(2 pi).
inline constexpr double uc_sqrt2pitom1 = 0.398942280401432677939946059934381868;

}  // namespace corvel
