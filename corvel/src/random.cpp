// Process-wide uniform random generator: SplitMix64 (see corvel_runtime.h).
#include "corvel_runtime.h"

#include <chrono>

namespace corvel {

namespace {
uint64_t g_state = 0;

uint64_t Next() {
  g_state += 0x9E3779B97F4A7C15ULL;
  uint64_t z = g_state;
  z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31U);
}
}  // namespace

double Random() {
  // The top 53 bits scaled by 2^-53: every double of the form k * 2^-53.
  return static_cast<double>(Next() >> 11U) * 0x1.0p-53;
}

int32_t Random(int32_t Range) {
  if (Range <= 0) return 0;
  // Lemire's multiply-and-reject method: unbiased, one multiplication usually.
  const auto range = static_cast<uint64_t>(Range);
  uint64_t m = (Next() >> 32U) * range;
  auto low = static_cast<uint32_t>(m);
  if (low < range) {
    const auto threshold = static_cast<uint32_t>((0x100000000ULL - range) % range);
    while (low < threshold) {
      m = (Next() >> 32U) * range;
      low = static_cast<uint32_t>(m);
    }
  }
  return static_cast<int32_t>(m >> 32U);
}

uint64_t RandSeed() { return g_state; }
void SetRandSeed(uint64_t Seed) { g_state = Seed; }

void Randomize() {
  const auto now = std::chrono::system_clock::now().time_since_epoch().count();
  const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
  g_state = static_cast<uint64_t>(now) ^ (static_cast<uint64_t>(tick) << 17U);
}

}  // namespace corvel
