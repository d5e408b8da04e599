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

// ===========================================================================
// Sorting and selection
// ===========================================================================

// ===========================================================================
// Number formatting and conversion
// ===========================================================================

}  // namespace numbra
