// Helpers of the matrix file and stream forms (not installed).
#pragma once

#include "ORK_matrix.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace corvel {
class TComponent;
class TStream;
}  // namespace corvel

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

// ---- the stream, binary and XML forms shared by TMatrix and TIntMatrix ----
// Each is one template over the element type V (double or int32_t), with
// explicit instantiations for both in MatrixPersist.cpp and MatrixXml.cpp.
// The binary forms name the element type: the stream tag is "NMS1" for
// doubles and "NMI1" for integers, the file signature "NUMBRAMX" and
// "NUMBRAMI"; so neither class reads the other's binary data. Elements are
// little-endian, 8 bytes (IEEE 754) or 4 bytes (two's complement).

/// A stored region LoC..HiC x LoR..HiR; Hi = Lo - 1 is an empty extent.
struct Region {
  int64_t loc = 1, lor = 1, hic = 0, hir = 0;
  [[nodiscard]] int64_t Cols() const { return hic - loc + 1; }
  [[nodiscard]] int64_t Rows() const { return hir - lor + 1; }
  [[nodiscard]] int64_t Cells() const { return Cols() * Rows(); }
  /// Plausible bounds: Lo >= 1, Hi >= Lo - 1, 32-bit, at most 2^27 cells.
  [[nodiscard]] bool Valid() const {
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    if (loc < 1 || lor < 1 || hic > kMax || hir > kMax || hic < loc - 1 || hir < lor - 1)
      return false;
    return Cells() <= kMaxCellsFromFile;
  }
  /// Whether the region can go into a matrix of Nc x Nr, or, with Adjust,
  /// whether the matrix may be resized to HiC x HiR on the word of a file.
  [[nodiscard]] bool Fits(bool Adjust, int32_t Nc, int32_t Nr) const {
    if (hic <= Nc && hir <= Nr) return true;
    return Adjust && PlausibleSize(hic, hir, Cells());
  }
};

/// Writes the stream form of the region g of a column-major matrix with
/// Rows rows (Values as its Values()): the tag, LoC, LoR, HiC, HiR as 32-bit
/// integers, then the region's elements column by column.
template <class V>
void WriteStreamRegion(corvel::TStream* Out, std::span<const V> Values, int32_t Rows,
                       const Region& g);

/// Reads a stream region at the stream's position into g and Values (column
/// by column) for a matrix of Nc x Nr. False, with the stream back where it
/// was, for a wrong tag, implausible bounds, a region that does not fit
/// (Region::Fits) or more elements than the stream holds. Raises Owner's
/// EORKMatrixError "not enough memory on heap" when the buffer cannot be had.
template <class V>
bool ReadStreamRegion(corvel::TStream* In, bool Adjust, int32_t Nc, int32_t Nr,
                      const corvel::TComponent& Owner, Region& g, std::vector<V>& Values);

/// What a binary file or an XML element holds: the size, the elements
/// column by column and the identifier.
template <class V>
struct MatrixContent {
  int32_t Cols = 0;
  int32_t Rows = 0;
  /// TMatrix's own storage type for doubles, so that the elements read are
  /// taken over without a copy.
  std::conditional_t<std::is_same_v<V, double>, MatrixStorage, std::vector<V>> Values;
  std::string Id;
};

/// Writes the binary file form (signature, version 1, sizes, DataID, the
/// elements, CRC-32). Raises EORKMatrixError "Component "<Name>": cannot
/// write file "<FName>"".
template <class V>
void SaveMatrixBinary(const corvel::TComponent& Owner, const std::string& FName,
                      const std::string& DataID, int32_t Cols, int32_t Rows,
                      std::span<const V> Values);

/// Reads and checks a whole binary file. Raises EORKMatrixError with the
/// messages of TMatrix::LoadBinary ("matrix" becomes "integer matrix" for
/// int32_t).
template <class V>
void LoadMatrixBinary(const corvel::TComponent& Owner, const std::string& FName,
                      MatrixContent<V>& Out);

/// Reads only the header of a binary file; false, arguments unchanged, as
/// TMatrix::ReadBinaryHeader says.
template <class V>
bool ReadMatrixBinaryHeader(const std::string& FName, int32_t& Cols, int32_t& Rows,
                            std::string& DataID);

/// Writes the XML form of a Cols x Rows matrix (Values column by column).
template <class V>
void WriteMatrixXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                    bool CreateHeader, const std::string& DataID, int32_t Cols, int32_t Rows,
                    std::span<const V> Values);

/// Reads the XML form by the rules of TMatrix::ReadFromXMLStream; a cell
/// value must convert to V (ParseCell). Consumed, when given, receives the
/// bytes read up to the closing tag on success.
template <class V>
bool ReadMatrixXml(const std::function<int64_t(char*, int64_t)>& Source, const std::string& DataID,
                   const corvel::TComponent& Owner, MatrixContent<V>& Out, int64_t* Consumed);

/// A cell value of the integer XML form: a decimal integer, or a number in
/// any form ParseDouble takes whose value is a whole number (so "1e+06",
/// which the double form writes for a million, is 1000000), within the
/// 32-bit range. False otherwise.
bool ParseIntCell(std::string_view s, int32_t& out);

}  // namespace numbra::detail
