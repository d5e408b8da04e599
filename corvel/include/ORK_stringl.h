// ORK_stringl: small string helpers.
#pragma once

#include "corvel_export.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvel {

/// Fixed-point text of Value with Decimals digits after the point, rounded
/// to nearest (exact ties to even), right-aligned in at least Width
/// characters; Width 1 (or less) gives no leading blanks. Decimals is clamped
/// to 0..100 and Width to 0..1024. Infinities and NaN give "INF", "-INF",
/// "NAN" (right-aligned the same way).
CORVEL_EXPORT std::string strff(double Value, int Width, int Decimals);

/// True when Text contains Part. A Part of the form "//xxx" names a class of
/// characters instead: "//dig" a decimal digit, "//alp" an ASCII letter,
/// "//aln" a letter or digit, "//spc" a blank or tab, "//ctl" a control
/// character. An empty Part is contained in every text.
CORVEL_EXPORT bool StringContains(std::string_view Text, std::string_view Part);

/// Text without its control characters (codes 0 to 31 and 127).
CORVEL_EXPORT std::string RemoveControlChars(std::string_view Text);

/// Text with every character Old replaced by New.
CORVEL_EXPORT std::string ReplaceCharInString(std::string_view Text, char Old, char New);

}  // namespace corvel

namespace corvel {

/// The runtime's scientific text of Value in Width characters: a sign
/// position (blank for Value >= 0, "-" otherwise), one digit, a point,
/// Width - 9 further mantissa digits (at least 1, at most 30), "E", the
/// exponent sign and exactly four exponent digits: " 1.2346E+0003" for
/// Width 13. Rounded to nearest, exact ties to even. Infinities and NaN give
/// "INF", "-INF", "NAN" right-aligned in Width.
CORVEL_EXPORT std::string SciText(double Value, int Width);

}  // namespace corvel

// ---------------------------------------------------------------------------
// ASC text tables: quoted names and the header
// ---------------------------------------------------------------------------
//
// An ASC file is a text table with a four-line header (lines end in LF,
// CR LF or CR):
//   1. a comment (any text);
//   2. the number of columns: optional blanks, a decimal integer >= 0, then
//      anything (by convention TAB ";nr. of columns");
//   3. the number of rows, the same way (TAB ";nr. of rows");
//   4. three or four words TRUE or FALSE (any letter case) separated by
//      blanks or tabs, then optionally anything starting with ";": whether
//      row attributes, column names and row names are present, and whether
//      extended cell information (per-cell states and scale types, read only
//      by the data table) follows. A missing fourth word means FALSE.
// The body follows: when column names are present, one name per column
// (see ParseQuotedName); then per row the row attribute (a number) when
// present, the row name when present, and one number per column. Values and
// names are separated by blanks, tabs or line ends.

namespace corvel {

/// Longest name ParseQuotedName keeps (further characters are dropped), as
/// the short strings of the data table.
inline constexpr std::size_t kMaxQuotedNameLength = 255;

/// State of ParseQuotedName while it reads one name.
enum class TQuotedStrState : uint8_t {
  qsStart,      ///< before the name: blanks, tabs and line ends are skipped
  qsInQuotes,   ///< inside a quoted name
  qsQuoteSeen,  ///< a quote inside a quoted name: its end, or the first of a doubled quote
  qsUnquoted,   ///< inside an unquoted name
  qsComplete    ///< the name is complete
};

/// Feeds one character InChar of a name to the parser; State starts at
/// qsStart with Name empty. A name is either QuoteChar ... QuoteChar, where
/// a doubled QuoteChar stands for one and a line end also ends the name, or
/// an unquoted run of characters ended by a blank, a tab or a line end. The
/// character that ends a name (the one after the closing quote, or the
/// separator after an unquoted name) is consumed. Returns true when the
/// name is complete (State is then qsComplete; further characters are
/// ignored until State is reset). Name keeps at most kMaxQuotedNameLength
/// characters.
CORVEL_EXPORT bool ParseQuotedName(char InChar, char QuoteChar, TQuotedStrState& State,
                                   std::string& Name);

/// Result codes of ReadHeaderOfASC.
inline constexpr int32_t kAscOk = 0;           ///< header read
inline constexpr int32_t kAscCannotOpen = -1;  ///< the file cannot be opened or read
inline constexpr int32_t kAscNoHeader = -2;    ///< fewer than four header lines
inline constexpr int32_t kAscBadColumns = -3;  ///< line 2 holds no valid column count
inline constexpr int32_t kAscBadRows = -4;     ///< line 3 holds no valid row count
inline constexpr int32_t kAscBadFlags = -5;    ///< line 4 is not three or four TRUE/FALSE words
inline constexpr int32_t kAscTooLarge = -6;    ///< more cells than the rest of the file can hold

/// The header of an ASC file.
struct CORVEL_EXPORT TAscHeader {
  std::string Comment;         ///< line 1
  int32_t NrColumns = 0;       ///< line 2
  int32_t NrRows = 0;          ///< line 3
  bool RowAttributes = false;  ///< first flag
  bool ColumnNames = false;    ///< second flag
  bool RowNames = false;       ///< third flag
  bool Extended = false;       ///< fourth flag: extended cell information follows
};

/// Parses the header at the start of Text. On kAscOk, BodyOffset is the
/// position just after line 4. kAscTooLarge when NrColumns * NrRows exceeds
/// (bytes after the header + 1) / 2, since every value takes at least one
/// character and a separator: a header cannot demand storage that its file
/// does not justify.
CORVEL_EXPORT int32_t ParseHeaderOfASC(std::string_view Text, TAscHeader& Header,
                                       std::size_t& BodyOffset);

/// Reads the header of the ASC file FName (codes kAscOk ... kAscTooLarge).
CORVEL_EXPORT int32_t ReadHeaderOfASC(const std::string& FName, TAscHeader& Header);

/// ReadHeaderOfASC with the header parts as separate outputs (Flag4 is
/// TAscHeader::Extended).
CORVEL_EXPORT int32_t ReadHeaderOfASC(const std::string& FName, std::string& Comment,
                                      int32_t& NrColumns, int32_t& NrRows, bool& RowAttributes,
                                      bool& ColumnNames, bool& RowNames, bool& Flag4);

/// Reader of an ASC file: the header, then the body value by value. The
/// whole file is held in memory (its size is what it demands).
class CORVEL_EXPORT TAscReader {
 public:
  /// Reads the file FName and its header; Status() tells the result.
  static TAscReader FromFile(const std::string& FName);
  /// Works on Text (copied).
  explicit TAscReader(std::string Text);
  /// Header code (kAscOk when the body can be read).
  [[nodiscard]] int32_t Status() const noexcept { return status_; }
  /// The header (valid when Status() is kAscOk).
  [[nodiscard]] const TAscHeader& Header() const noexcept { return header_; }
  /// Next body character, or -1 at the end.
  int Get() noexcept;
  /// Whether nothing but blanks, tabs and line ends remains.
  [[nodiscard]] bool AtEnd() const noexcept;
  /// Next blank-separated token as a double (decimal or exponent form, an
  /// optional sign, also inf and nan in any letter case). False at the end
  /// or when the token does not convert (it is consumed then).
  bool ReadNumber(double& Value) noexcept;
  /// Reads one name through ParseQuotedName (State reset to qsStart, Name
  /// cleared first). False when the body ends before the name began.
  bool ReadName(char QuoteChar, TQuotedStrState& State, std::string& Name);

 private:
  TAscReader() = default;
  std::string text_;
  std::size_t pos_ = 0;
  int32_t status_ = kAscCannotOpen;
  TAscHeader header_;
};

}  // namespace corvel
