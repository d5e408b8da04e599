// Helpers of TMat4D and its block file (not installed).
#pragma once

#include "ORK_matrix.h"
#include "foundation/frame_detail.h"

#include <cstddef>
#include <cstdint>

namespace numbra::detail {

/// Number of elements of an Nx x Ny x Nz x Nt array (all at least 1).
inline std::size_t Count4(int32_t Nx, int32_t Ny, int32_t Nz, int32_t Nt) noexcept {
  return static_cast<std::size_t>(Nx) * static_cast<std::size_t>(Ny) *
         static_cast<std::size_t>(Nz) * static_cast<std::size_t>(Nt);
}

/// Storage index of (x, y, z, t) in an Nx x Ny x Nz x ... array, column
/// fastest.
inline std::size_t Index4(int32_t Nx, int32_t Ny, int32_t Nz, int32_t x, int32_t y, int32_t z,
                          int32_t t) noexcept {
  return ((static_cast<std::size_t>(t - 1) * static_cast<std::size_t>(Nz) +
           static_cast<std::size_t>(z - 1)) *
              static_cast<std::size_t>(Ny) +
          static_cast<std::size_t>(y - 1)) *
             static_cast<std::size_t>(Nx) +
         static_cast<std::size_t>(x - 1);
}

/// Raises "Component "<Name>": specified layer beyond data range" unless
/// 1 <= Layer <= Count.
inline void CheckLayer(const corvel::TComponent& C, int64_t Layer, int64_t Count) {
  if (Layer < 1 || Layer > Count)
    throw EORKMatrixError(ComponentMsg(C, "specified layer beyond data range"));
}

/// Raises "Component "<Name>": specified time slot beyond data range"
/// unless 1 <= TSlot <= Count.
inline void CheckTimeSlot(const corvel::TComponent& C, int64_t TSlot, int64_t Count) {
  if (TSlot < 1 || TSlot > Count)
    throw EORKMatrixError(ComponentMsg(C, "specified time slot beyond data range"));
}

}  // namespace numbra::detail
