// ASC text tables: the quoted-name parser, the header reader and the body
// reader.
#include "ORK_stringl.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

namespace corvel {

namespace {

bool IsLineEnd(char c) noexcept { return c == '\n' || c == '\r'; }
bool IsSeparator(char c) noexcept { return c == ' ' || c == '\t' || IsLineEnd(c); }

// Next line of Text from pos (without its line end: LF, CR LF or CR);
// false when pos is at the end.
bool NextLine(std::string_view Text, std::size_t& pos, std::string_view& Line) {
  if (pos >= Text.size()) return false;
  std::size_t e = pos;
  while (e < Text.size() && !IsLineEnd(Text[e])) ++e;
  Line = Text.substr(pos, e - pos);
  if (e < Text.size()) {
    if (Text[e] == '\r' && e + 1 < Text.size() && Text[e + 1] == '\n') ++e;
    ++e;
  }
  pos = e;
  return true;
}

// Leading count of a header line: blanks, a decimal integer 0..2^31-1, then
// the end of the line or a character that is not a digit.
bool ParseCount(std::string_view Line, int32_t& Value) {
  std::size_t p = 0;
  while (p < Line.size() && (Line[p] == ' ' || Line[p] == '\t')) ++p;
  if (p < Line.size() && Line[p] == '+') ++p;
  const char* b = Line.data() + p;
  const char* e = Line.data() + Line.size();
  int64_t v = 0;
  const auto res = std::from_chars(b, e, v);
  if (res.ec != std::errc{} || res.ptr == b || v < 0 || v > std::numeric_limits<int32_t>::max())
    return false;
  Value = static_cast<int32_t>(v);
  return true;
}

bool ParseFlag(std::string_view Word, bool& Value) {
  auto eq = [Word](std::string_view w) {
    return Word.size() == w.size() &&
           std::equal(Word.begin(), Word.end(), w.begin(), [](char a, char b) {
             return std::toupper(static_cast<unsigned char>(a)) == b;
           });
  };
  if (eq("TRUE"))
    Value = true;
  else if (eq("FALSE"))
    Value = false;
  else
    return false;
  return true;
}

bool ParseFlags(std::string_view Line, TAscHeader& H) {
  const std::size_t semi = Line.find(';');
  if (semi != std::string_view::npos) Line = Line.substr(0, semi);
  bool* flags[4] = {&H.RowAttributes, &H.ColumnNames, &H.RowNames, &H.Extended};
  int count = 0;
  std::size_t p = 0;
  while (true) {
    while (p < Line.size() && (Line[p] == ' ' || Line[p] == '\t')) ++p;
    if (p >= Line.size()) break;
    std::size_t e = p;
    while (e < Line.size() && Line[e] != ' ' && Line[e] != '\t') ++e;
    if (count == 4 || !ParseFlag(Line.substr(p, e - p), *flags[count])) return false;
    ++count;
    p = e;
  }
  if (count < 3) return false;
  if (count == 3) H.Extended = false;
  return true;
}

}  // namespace

bool ParseQuotedName(char InChar, char QuoteChar, TQuotedStrState& State, std::string& Name) {
  auto append = [&Name](char c) {
    if (Name.size() < kMaxQuotedNameLength) Name.push_back(c);
  };
  switch (State) {
    case TQuotedStrState::qsStart:
      if (IsSeparator(InChar)) break;
      if (InChar == QuoteChar) {
        State = TQuotedStrState::qsInQuotes;
      } else {
        State = TQuotedStrState::qsUnquoted;
        append(InChar);
      }
      break;
    case TQuotedStrState::qsInQuotes:
      if (InChar == QuoteChar)
        State = TQuotedStrState::qsQuoteSeen;
      else if (IsLineEnd(InChar))
        State = TQuotedStrState::qsComplete;
      else
        append(InChar);
      break;
    case TQuotedStrState::qsQuoteSeen:
      if (InChar == QuoteChar) {
        append(InChar);
        State = TQuotedStrState::qsInQuotes;
      } else {
        State = TQuotedStrState::qsComplete;
      }
      break;
    case TQuotedStrState::qsUnquoted:
      if (IsSeparator(InChar))
        State = TQuotedStrState::qsComplete;
      else
        append(InChar);
      break;
    case TQuotedStrState::qsComplete:
      break;
  }
  return State == TQuotedStrState::qsComplete;
}

int32_t ParseHeaderOfASC(std::string_view Text, TAscHeader& Header, std::size_t& BodyOffset) {
  Header = TAscHeader{};
  std::size_t pos = 0;
  std::string_view lines[4];
  for (auto& l : lines)
    if (!NextLine(Text, pos, l)) return kAscNoHeader;
  Header.Comment.assign(lines[0]);
  if (!ParseCount(lines[1], Header.NrColumns)) return kAscBadColumns;
  if (!ParseCount(lines[2], Header.NrRows)) return kAscBadRows;
  if (!ParseFlags(lines[3], Header)) return kAscBadFlags;
  const auto cells = static_cast<uint64_t>(Header.NrColumns) * static_cast<uint64_t>(Header.NrRows);
  if (cells > (static_cast<uint64_t>(Text.size() - pos) + 1) / 2) return kAscTooLarge;
  BodyOffset = pos;
  return kAscOk;
}

TAscReader::TAscReader(std::string Text) : text_(std::move(Text)) {
  std::size_t body = 0;
  status_ = ParseHeaderOfASC(text_, header_, body);
  pos_ = status_ == kAscOk ? body : text_.size();
}

TAscReader TAscReader::FromFile(const std::string& FName) {
  std::ifstream in(FName, std::ios::binary);
  if (!in) return TAscReader{};
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return TAscReader{};
  return TAscReader(std::move(ss).str());
}

int TAscReader::Get() noexcept {
  if (pos_ >= text_.size()) return -1;
  return static_cast<unsigned char>(text_[pos_++]);
}

bool TAscReader::AtEnd() const noexcept {
  return std::all_of(text_.begin() + static_cast<std::ptrdiff_t>(std::min(pos_, text_.size())),
                     text_.end(), IsSeparator);
}

bool TAscReader::ReadNumber(double& Value) noexcept {
  while (pos_ < text_.size() && IsSeparator(text_[pos_])) ++pos_;
  if (pos_ >= text_.size()) return false;
  std::size_t e = pos_;
  while (e < text_.size() && !IsSeparator(text_[e])) ++e;
  const char* b = text_.data() + pos_;
  const char* end = text_.data() + e;
  pos_ = e;
  bool negative = false;
  if (b < end && (*b == '+' || *b == '-')) {
    negative = *b == '-';
    ++b;
  }
  if (b < end && (*b == '+' || *b == '-')) return false;
  double v = 0.0;
  const auto res = std::from_chars(b, end, v);
  if (res.ptr != end || b == end) return false;
  if (res.ec == std::errc::result_out_of_range) {
    // Overflow reads as infinity, underflow as zero (with the sign).
    std::string tok(b, end);
    v = std::strtod(tok.c_str(), nullptr);
  } else if (res.ec != std::errc{}) {
    return false;
  }
  Value = negative ? -v : v;
  return true;
}

bool TAscReader::ReadName(char QuoteChar, TQuotedStrState& State, std::string& Name) {
  State = TQuotedStrState::qsStart;
  Name.clear();
  int c = 0;
  while ((c = Get()) >= 0)
    if (ParseQuotedName(static_cast<char>(c), QuoteChar, State, Name)) return true;
  return State != TQuotedStrState::qsStart;
}

int32_t ReadHeaderOfASC(const std::string& FName, TAscHeader& Header) {
  const TAscReader r = TAscReader::FromFile(FName);
  Header = r.Header();
  return r.Status();
}

int32_t ReadHeaderOfASC(const std::string& FName, std::string& Comment, int32_t& NrColumns,
                        int32_t& NrRows, bool& RowAttributes, bool& ColumnNames, bool& RowNames,
                        bool& Flag4) {
  TAscHeader h;
  const int32_t res = ReadHeaderOfASC(FName, h);
  Comment = h.Comment;
  NrColumns = h.NrColumns;
  NrRows = h.NrRows;
  RowAttributes = h.RowAttributes;
  ColumnNames = h.ColumnNames;
  RowNames = h.RowNames;
  Flag4 = h.Extended;
  return res;
}

}  // namespace corvel
