// Helpers of the matrix file and stream forms (not installed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace numbra::detail {

/// Largest number of elements a reader creates from sizes that a file or
/// stream declares (2^27 doubles, 1 GiB).
inline constexpr int64_t kMaxCellsFromFile = int64_t{1} << 27;

/// Whether a reader may give a matrix the size Nc x Nr on the word of a file
/// that holds Present values: its storage (at least one column and one row,
/// so max(Nc, 1) x max(Nr, 1) doubles) must stay within 2^27 elements and
/// within 64 times the values present, 2^20 elements being always allowed.
/// So a small file cannot demand a huge matrix.
inline bool PlausibleSize(int64_t Nc, int64_t Nr, int64_t Present) {
  constexpr int64_t kFreeGrowth = int64_t{1} << 20;
  if (Nc < 0 || Nr < 0) return false;
  const int64_t c = Nc > 0 ? Nc : 1;
  const int64_t r = Nr > 0 ? Nr : 1;
  if (c > kMaxCellsFromFile || r > kMaxCellsFromFile) return false;
  const int64_t storage = c * r;
  return storage <= kMaxCellsFromFile &&
         storage <= (64 * Present > kFreeGrowth ? 64 * Present : kFreeGrowth);
}

/// The shortest text that reads back as exactly v ("inf", "-inf", "nan",
/// "-nan" for the special values).
std::string FormatFull(double v);

/// Converts all of s (at most 512 characters; optional sign, decimal or
/// exponential form, "inf", "infinity", "nan") to a double; out-of-range
/// texts give an infinity, a subnormal or zero. False when s is not one
/// number.
bool ParseDouble(std::string_view s, double& out);

/// Converts all of s (optional sign, decimal digits) to an integer.
bool ParseInt(std::string_view s, int64_t& out);

/// Splits a table line into fields: runs of blanks and tabs separate, so
/// does one comma or semicolon with optional blanks around it. False for an
/// empty field (a leading or trailing comma, two in a row).
inline bool SplitFields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  const auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f'; };
  const auto is_sep = [](char c) { return c == ',' || c == ';'; };
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n && is_space(line[i])) ++i;
  while (i < n) {
    const std::size_t start = i;
    while (i < n && !is_space(line[i]) && !is_sep(line[i])) ++i;
    if (i == start) return false;
    fields.push_back(line.substr(start, i - start));
    while (i < n && is_space(line[i])) ++i;
    if (i < n && is_sep(line[i])) {
      ++i;
      while (i < n && is_space(line[i])) ++i;
      if (i == n) return false;
    }
  }
  return true;
}

/// Reverses the byte order of a 64-bit word.
constexpr uint64_t ByteSwap64(uint64_t w) noexcept {
  uint64_t r = 0;
  for (int b = 0; b < 8; ++b) r |= ((w >> (8 * b)) & 0xFFU) << (8 * (7 - b));
  return r;
}

/// The running standard CRC-32 state after the bytes p[0..n) (start from
/// 0xFFFFFFFF, complement at the end).
uint32_t Crc32Update(uint32_t crc, const uint8_t* p, std::size_t n);

}  // namespace numbra::detail
