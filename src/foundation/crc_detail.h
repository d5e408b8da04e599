// Content checksums of the data classes: one standard CRC-32 accumulator per
// byte position of the element type, accumulator k fed byte k (least
// significant first) of every element in turn.
#pragma once

#include "numbra_frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace numbra::detail {

/// Slicing-by-8 tables of the reflected CRC-32 polynomial: table[0] is the
/// byte-wise table, table[j][b] the CRC of byte b followed by j zero bytes.
struct Crc32Tables {
  std::array<std::array<uint32_t, 256>, 8> t{};
  constexpr Crc32Tables() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1U) : c >> 1U;
      t[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n)
      for (std::size_t j = 1; j < 8; ++j) t[j][n] = (t[j - 1][n] >> 8U) ^ t[0][t[j - 1][n] & 0xFFU];
  }
};
inline constexpr Crc32Tables kCrc32Tables{};

/// CRC-32 state after the 8 bytes of Word (least significant byte first):
/// the same as eight CalcNextCRC32 steps, with independent table look-ups.
inline uint32_t Crc32Step8(uint32_t Crc, uint64_t Word) noexcept {
  const auto& t = kCrc32Tables.t;
  const uint32_t lo = Crc ^ static_cast<uint32_t>(Word);
  const auto hi = static_cast<uint32_t>(Word >> 32U);
  return t[7][lo & 0xFFU] ^ t[6][(lo >> 8U) & 0xFFU] ^ t[5][(lo >> 16U) & 0xFFU] ^ t[4][lo >> 24U] ^
         t[3][hi & 0xFFU] ^ t[2][(hi >> 8U) & 0xFFU] ^ t[1][(hi >> 16U) & 0xFFU] ^ t[0][hi >> 24U];
}

/// Transposes the 8 x 8 byte matrix held in R (row j = R[j], column k = byte
/// k, least significant first) in place, by exchanging off-diagonal blocks of
/// 4, 2 and 1 bytes.
inline void TransposeBytes8x8(std::array<uint64_t, 8>& R) noexcept {
  for (std::size_t j = 0; j < 4; ++j) {
    const uint64_t a = R[j];
    const uint64_t b = R[j + 4];
    R[j] = (a & 0x00000000FFFFFFFFULL) | (b << 32U);
    R[j + 4] = (a >> 32U) | (b & 0xFFFFFFFF00000000ULL);
  }
  for (const std::size_t j : {0U, 1U, 4U, 5U}) {
    constexpr uint64_t m = 0x0000FFFF0000FFFFULL;
    const uint64_t a = R[j];
    const uint64_t b = R[j + 2];
    R[j] = (a & m) | ((b << 16U) & ~m);
    R[j + 2] = ((a >> 16U) & m) | (b & ~m);
  }
  for (const std::size_t j : {0U, 2U, 4U, 6U}) {
    constexpr uint64_t m = 0x00FF00FF00FF00FFULL;
    const uint64_t a = R[j];
    const uint64_t b = R[j + 1];
    R[j] = (a & m) | ((b << 8U) & ~m);
    R[j + 1] = ((a >> 8U) & m) | (b & ~m);
  }
}

/// The checksum text of a span of W-byte elements (W = 4 or 8): W
/// accumulators started at all ones, complemented at the end, each written
/// as 8 upper-case hexadecimal digits, accumulator 1 first.
template <class T>
std::string CrcOfElements(std::span<const T> Data) {
  constexpr std::size_t W = sizeof(T);
  static_assert(W == 4 || W == 8);
  using Bits = std::conditional_t<W == 8, uint64_t, uint32_t>;
  std::array<uint32_t, W> acc;
  acc.fill(0xFFFFFFFFU);
  const std::size_t n = Data.size();
  std::size_t e = 0;
  // Blocks of 8 elements: gather byte k of the 8 elements into one word per
  // accumulator (a byte transpose) and advance each accumulator 8 bytes at a
  // time. The result is identical to feeding the bytes one by one.
  for (; e + 8 <= n; e += 8) {
    std::array<Bits, 8> b;
    std::memcpy(b.data(), Data.data() + e, 8 * W);
    if constexpr (W == 8) {
      TransposeBytes8x8(b);  // b[k] now holds byte k of elements e..e+7
      for (std::size_t k = 0; k < 8; ++k) acc[k] = Crc32Step8(acc[k], b[k]);
    } else {
      for (std::size_t k = 0; k < W; ++k) {
        uint64_t word = 0;
        for (std::size_t j = 0; j < 8; ++j)
          word |= static_cast<uint64_t>((b[j] >> (8 * k)) & 0xFFU) << (8 * j);
        acc[k] = Crc32Step8(acc[k], word);
      }
    }
  }
  for (; e < n; ++e) {
    Bits bits;
    std::memcpy(&bits, Data.data() + e, W);
    for (std::size_t k = 0; k < W; ++k)
      acc[k] = corvel::CalcNextCRC32(static_cast<uint8_t>(bits >> (8 * k)), acc[k]);
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out(8 * W, '0');
  for (std::size_t k = 0; k < W; ++k) {
    const uint32_t c = ~acc[k];
    for (unsigned d = 0; d < 8; ++d) out[8 * k + d] = kHex[(c >> (28 - 4 * d)) & 0xFU];
  }
  return out;
}

}  // namespace numbra::detail
