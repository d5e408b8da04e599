#include "ORK_streams.h"

#include <array>
#include <cmath>
#include <limits>

namespace corvel {

namespace {
constexpr int kBias = 16383;
constexpr int kFracBits = 112;  // 48 in the high word, 64 in the low word

void PutLE(uint8_t* out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint64_t GetLE(const uint8_t* in, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(in[i]) << (8 * i);
  return v;
}
}  // namespace

void WriteLongintToStream(TStream* Stream, int32_t Value) {
  if (Stream == nullptr) return;
  std::array<uint8_t, 4> b{};
  PutLE(b.data(), static_cast<uint32_t>(Value), 4);
  Stream->WriteBuffer(b.data(), 4);
}

int32_t ReadLongintFromStream(TStream* Stream, bool& Error) {
  std::array<uint8_t, 4> b{};
  Error = Stream == nullptr || Stream->Read(b.data(), 4) != 4;
  if (Error) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(GetLE(b.data(), 4)));
}

void WriteExtendedToStream(TStream* Stream, long double Value) {
  if (Stream == nullptr) return;
  uint64_t sign = std::signbit(Value) ? 1 : 0;
  uint64_t exponent = 0;
  uint64_t hi = 0;  // upper 48 fraction bits
  uint64_t lo = 0;  // lower 64 fraction bits
  if (std::isnan(Value)) {
    exponent = 0x7FFF;
    hi = uint64_t{1} << 47U;  // quiet NaN
  } else if (std::isinf(Value)) {
    exponent = 0x7FFF;
  } else if (Value != 0) {
    int e = 0;
    const long double m = std::frexp(std::fabs(Value), &e);  // |v| = m 2^e, m in [0.5, 1)
    const int biased = e - 1 + kBias;
    long double f = 0;  // the fraction field as a (possibly huge) integer
    if (biased > 0) {
      exponent = static_cast<uint64_t>(biased);
      f = std::ldexp(2 * m - 1, kFracBits);  // exact: a scaled subset of m's bits
    } else {
      f = std::ldexp(m, e + kBias - 1 + kFracBits);  // subnormal: v / 2^(1 - bias - 112)
    }
    const long double h = std::floor(std::ldexp(f, -64));
    hi = static_cast<uint64_t>(h);
    lo = static_cast<uint64_t>(f - std::ldexp(h, 64));
  }
  std::array<uint8_t, 16> b{};
  PutLE(b.data(), lo, 8);
  PutLE(b.data() + 8, hi | (exponent << 48U) | (sign << 63U), 8);
  Stream->WriteBuffer(b.data(), 16);
}

long double ReadExtendedFromStream(TStream* Stream, bool& Error) {
  std::array<uint8_t, 16> b{};
  Error = Stream == nullptr || Stream->Read(b.data(), 16) != 16;
  if (Error) return 0;
  const uint64_t lo = GetLE(b.data(), 8);
  const uint64_t top = GetLE(b.data() + 8, 8);
  const bool negative = (top >> 63U) != 0;
  const auto exponent = static_cast<int>((top >> 48U) & 0x7FFFU);
  const uint64_t hi = top & ((uint64_t{1} << 48U) - 1);
  long double v = 0;
  if (exponent == 0x7FFF) {
    v = (hi == 0 && lo == 0) ? std::numeric_limits<long double>::infinity()
                             : std::numeric_limits<long double>::quiet_NaN();
  } else {
    // Small part first so that a narrower long double rounds only once.
    const long double frac = std::ldexp(static_cast<long double>(lo), -kFracBits) +
                             std::ldexp(static_cast<long double>(hi), 64 - kFracBits);
    if (exponent == 0)
      v = std::ldexp(frac, 1 - kBias);
    else
      v = std::ldexp(1 + frac, exponent - kBias);
  }
  return negative ? -v : v;
}

}  // namespace corvel
