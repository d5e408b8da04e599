// ORK_streams: portable binary values on streams.
//
// Integers are written as 4 bytes, little-endian. Floating values are written
// as 16 bytes in IEEE 754 binary128 layout, little-endian (sign and 15-bit
// exponent in the last two bytes): binary128 holds every double and every
// x87 80-bit extended value exactly, so a value read back equals the value
// written on every platform whose long double is no wider than binary128.
// NaNs are written as a quiet NaN of the same sign (the payload is not kept).
#pragma once

#include "corvel_export.h"
#include "corvel_runtime.h"

#include <cstdint>

namespace corvel {

/// Writes Value at the stream's position (nothing for a null stream).
///@{
CORVEL_EXPORT void WriteLongintToStream(TStream* Stream, int32_t Value);
CORVEL_EXPORT void WriteExtendedToStream(TStream* Stream, long double Value);
///@}
/// Reads a value written by the matching writer. Error is set to true (and 0
/// returned) when the stream is null or ends before the value is complete;
/// otherwise it is set to false.
///@{
CORVEL_EXPORT int32_t ReadLongintFromStream(TStream* Stream, bool& Error);
CORVEL_EXPORT long double ReadExtendedFromStream(TStream* Stream, bool& Error);
///@}

/// Byte width of a streamed floating value.
inline constexpr int kStreamedExtendedBytes = 16;

}  // namespace corvel
