// Helpers shared by the smoothing, kernel and recursive-filter routines
// (not installed).
#pragma once

#include "ORK_math2.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <span>
#include <stdexcept>
#include <string>

namespace numbra::detail {

/// Runs an allocation of routine Routine; a failure is raised as
/// EORKMath2Error "<Routine>: not enough memory on heap".
template <class Fn>
void AllocateFor(const char* Routine, Fn&& fn) {
  try {
    fn();
  } catch (const std::bad_alloc&) {
    throw EORKMath2Error(std::string(Routine) + ": not enough memory on heap");
  } catch (const std::length_error&) {
    throw EORKMath2Error(std::string(Routine) + ": not enough memory on heap");
  }
}

/// Writes Values to DestVec positions FirstPos, FirstPos + 1, ... through
/// SetVal (one OnChange each; positions outside DestVec are dropped), then
/// fires OnChange once more.
inline void Publish(TVector* DestVec, int32_t FirstPos, std::span<const double> Values) {
  const int64_t last = std::min<int64_t>(
      int64_t{FirstPos} + static_cast<int64_t>(Values.size()) - 1, DestVec->NrOfElem());
  for (int64_t p = std::max<int64_t>(FirstPos, 1); p <= last; ++p)
    DestVec->SetVal(static_cast<int32_t>(p), Values[static_cast<std::size_t>(p - FirstPos)]);
  if (DestVec->OnChange) DestVec->OnChange(DestVec);
}

}  // namespace numbra::detail
