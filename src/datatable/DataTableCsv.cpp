// TDataTable CSV form: an RFC 4180 writer with shortest round-trip numbers
// and an importer that parses the input in place.
//
// The importer reads the whole input into one buffer and walks it once:
// unquoted numeric fields are converted where they lie with
// std::from_chars, quoted fields are unescaped into a scratch buffer only
// when they hold a doubled quote. Nothing is allocated per field; per
// column the values and a kind byte (number, missing, text) are kept. Only
// when a column turns out to hold text is the input walked a second time,
// to give that column's fields their identifiers in order of first
// appearance. The new table is built completely before it replaces the
// old one, so a failure changes nothing.
#include "ORK_datatable.h"
#include "datatable/datatable_detail.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace numbra {

namespace {

constexpr int64_t kMaxColumns = int64_t{1} << 20;
constexpr int64_t kMaxCells = int64_t{1} << 27;
constexpr std::string_view kRowAttribHeader = "(row attribute)";

char DelimChar(TCSVDelimiters d) {
  const auto k = static_cast<std::size_t>(d);
  return k < CSVDelimiters.size() ? CSVDelimiters[k] : ',';
}

bool IsMissingToken(std::string_view s) {
  return s.empty() || s == "NA" || s == "N/A" || s == "NULL" || s == "<NA>" || s == "#N/A" ||
         s == "?";
}

// ---- writing ---------------------------------------------------------------

void AppendField(std::string& out, std::string_view s, char delim, bool only_field) {
  bool quote = (s.empty() && only_field) ||
               (!s.empty() &&
                (s.front() == '#' || s.front() == ' ' || s.back() == ' ' || s.front() == '\t')) ||
               (!s.empty() && IsMissingToken(s));
  if (!quote)
    for (const char ch : s)
      if (ch == delim || ch == '"' || ch == '\n' || ch == '\r') {
        quote = true;
        break;
      }
  if (!quote) {
    out += s;
    return;
  }
  out += '"';
  for (const char ch : s) {
    if (ch == '"') out += '"';
    out += ch;
  }
  out += '"';
}

// ---- reading ---------------------------------------------------------------

enum class End : uint8_t { Delim, Record, Input };

// One pass over the records of a buffer.
class CsvScanner {
 public:
  CsvScanner(std::string_view text, char delim)
      : p_(text.data()), end_(text.data() + text.size()), delim_(delim) {
    if (text.size() >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0) p_ += 3;
  }

  // Skips blank and comment lines; false at the end of the input. The
  // texts of comment lines are handed to on_comment.
  template <class OnComment>
  bool NextRecord(OnComment&& on_comment) {
    for (;;) {
      if (p_ >= end_) return false;
      const char* q = p_;
      while (q < end_ && (*q == ' ' || (*q == '\t' && delim_ != '\t'))) ++q;
      if (q < end_ && *q == '#') {
        const char* e = q;
        while (e < end_ && *e != '\n' && *e != '\r') ++e;
        on_comment(std::string_view(q + 1, std::size_t(e - q - 1)));
        p_ = e;
        EatLineEnd();
        continue;
      }
      if (q >= end_) {
        p_ = q;
        return false;
      }
      if (*q == '\n' || *q == '\r') {
        p_ = q;
        EatLineEnd();
        continue;
      }
      record_line_ = line_;
      return true;
    }
  }

  // The next field of the current record. False for a quoting error.
  bool NextField(std::string_view& field, bool& quoted, End& end) {
    const char* start = p_;
    const char* q = p_;
    while (q < end_ && (*q == ' ' || (*q == '\t' && delim_ != '\t'))) ++q;
    quoted = q < end_ && *q == '"';
    const bool white = delim_ == ' ';  // runs of blanks and tabs separate
    if (!quoted && white) {
      start = q;
      while (q < end_ && *q != ' ' && *q != '\t' && *q != '\n' && *q != '\r') ++q;
      field = std::string_view(start, std::size_t(q - start));
      p_ = q;
    } else if (!quoted) {
      q = start;
      while (q < end_ && *q != delim_ && *q != '\n' && *q != '\r') ++q;
      field = std::string_view(start, std::size_t(q - start));
      p_ = q;
    } else {
      ++q;
      const char* seg = q;
      bool escaped = false;
      scratch_.clear();
      for (;;) {
        const char* e = static_cast<const char*>(std::memchr(q, '"', std::size_t(end_ - q)));
        if (e == nullptr) return false;  // the quote never closes
        for (const char* k = q; k < e; ++k)
          if (*k == '\n' || (*k == '\r' && (k + 1 >= e || k[1] != '\n'))) ++line_;
        if (e + 1 < end_ && e[1] == '"') {
          scratch_.append(seg, std::size_t(e + 1 - seg));
          q = e + 2;
          seg = q;
          escaped = true;
          continue;
        }
        if (escaped) {
          scratch_.append(seg, std::size_t(e - seg));
          field = scratch_;
        } else {
          field = std::string_view(seg, std::size_t(e - seg));
        }
        q = e + 1;
        break;
      }
      const char* after = q;
      while (q < end_ && (*q == ' ' || (*q == '\t' && delim_ != '\t'))) ++q;
      if (q < end_ && *q != delim_ && *q != '\n' && *q != '\r' && !(white && q > after))
        return false;  // text after the closing quote
      p_ = q;
    }
    if (white) {
      while (p_ < end_ && (*p_ == ' ' || *p_ == '\t')) ++p_;
      if (p_ >= end_) {
        end = End::Input;
      } else if (*p_ == '\n' || *p_ == '\r') {
        EatLineEnd();
        end = End::Record;
      } else {
        end = End::Delim;
      }
      return true;
    }
    if (p_ >= end_) {
      end = End::Input;
    } else if (*p_ == delim_) {
      ++p_;
      end = End::Delim;
    } else {
      EatLineEnd();
      end = End::Record;
    }
    return true;
  }

  [[nodiscard]] int32_t RecordLine() const noexcept { return record_line_; }
  [[nodiscard]] int32_t Line() const noexcept { return line_; }

 private:
  void EatLineEnd() {
    if (p_ < end_ && *p_ == '\r') ++p_;
    if (p_ < end_ && *p_ == '\n') ++p_;
    ++line_;
  }
  const char* p_;
  const char* end_;
  char delim_;
  int32_t line_ = 1;
  int32_t record_line_ = 1;
  std::string scratch_;
};

// The delimiter of the first record: the most frequent of , ; tab : outside
// quotes (comma first on a tie, comma when none occurs).
char DetectDelimiter(std::string_view text) {
  std::size_t k = 0;
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") k = 3;
  // Skip blank and comment lines.
  for (;;) {
    std::size_t q = k;
    while (q < text.size() && (text[q] == ' ' || text[q] == '\t')) ++q;
    if (q < text.size() && (text[q] == '#' || text[q] == '\n' || text[q] == '\r')) {
      while (q < text.size() && text[q] != '\n') ++q;
      k = q + 1;
      continue;
    }
    break;
  }
  const char cand[4] = {',', ';', '\t', ':'};
  int64_t count[4] = {0, 0, 0, 0};
  bool in_quotes = false;
  bool seen_text = false;
  bool pending_blank = false;
  bool blank_between = false;  // a blank between two fields' texts
  for (; k < text.size(); ++k) {
    const char ch = text[k];
    if (ch == '"') in_quotes = !in_quotes;
    if (in_quotes) continue;
    if (ch == '\n' || ch == '\r') break;
    for (int j = 0; j < 4; ++j) count[j] += ch == cand[j] ? 1 : 0;
    if (ch == ' ') {
      pending_blank = seen_text;
    } else {
      blank_between = blank_between || pending_blank;
      seen_text = true;
    }
  }
  int best = 0;
  for (int j = 1; j < 4; ++j)
    if (count[j] > count[best]) best = j;
  if (count[best] == 0 && blank_between) return ' ';
  return cand[best];
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A whole field as a number (blanks around it allowed, '+' allowed; a
// decimal comma when the delimiter is not a comma).
bool ParseNumber(std::string_view s, char delim, double& v) {
  s = TrimBlanks(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec == std::errc() && r.ptr == s.data() + s.size()) return true;
  if (r.ec == std::errc::result_out_of_range && r.ptr == s.data() + s.size()) {
    // Out of range: what strtod gives (an infinity, or 0 / a subnormal).
    std::string tmp(s);
    v = std::strtod(tmp.c_str(), nullptr);
    return true;
  }
  if (delim != ',' && s.size() < 64 && std::count(s.begin(), s.end(), ',') == 1 &&
      s.find('.') == std::string_view::npos) {
    char buf[64];
    std::memcpy(buf, s.data(), s.size());
    *std::find(buf, buf + s.size(), ',') = '.';
    const auto r2 = std::from_chars(buf, buf + s.size(), v);
    return r2.ec == std::errc() && r2.ptr == buf + s.size();
  }
  return false;
}

bool ParseAttrib(std::string_view s, int32_t& v) {
  s = TrimBlanks(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size();
}

enum Kind : uint8_t { kNumber = 0, kMissing = 1, kText = 2 };

struct Column {
  std::vector<double> values;
  std::vector<uint8_t> kind;
  bool has_text = false;
};

}  // namespace

std::string TDataTable::CSVText(int32_t Precision, TCSVDelimiters Delimiter, bool IncludeColHeaders,
                                bool IncludeRowHeaders, bool IncludeRowAttributes,
                                bool IncludeComment) const {
  std::string out;
  detail::Allocate<EORKDataTableError>(*this, detail::kDTNoHeap, [&] {
    out.reserve(std::size_t(FNrOfCols) * std::size_t(FNrOfRows) * 20 + 1024);
  });
  WriteCsv(out, nullptr, Precision, Delimiter, IncludeColHeaders, IncludeRowHeaders,
           IncludeRowAttributes, IncludeComment);
  return out;
}

// Writes into out; with a Flush, out is handed on and emptied whenever it
// holds about 1 MiB, so that a file is written without the whole text in
// memory. Numbers are formatted straight into out's storage.
void TDataTable::WriteCsv(std::string& out, const std::function<void(std::string&)>& Flush,
                          int32_t Precision, TCSVDelimiters Delimiter, bool IncludeColHeaders,
                          bool IncludeRowHeaders, bool IncludeRowAttributes,
                          bool IncludeComment) const {
  const char d = DelimChar(Delimiter);
  const int32_t fields = FNrOfCols + (IncludeRowHeaders ? 1 : 0) + (IncludeRowAttributes ? 1 : 0);
  const bool single = fields == 1;
  const bool shortest = Precision < 1 || Precision > 17;
  if (IncludeComment && !FComment.empty()) {
    out += "# ";
    out += FComment;
    out += "\r\n";
  }
  if (IncludeColHeaders) {
    bool first = true;
    const auto sep = [&] {
      if (!first) out += d;
      first = false;
    };
    if (IncludeRowHeaders) {
      sep();
      AppendField(out, "", d, single);
    }
    if (IncludeRowAttributes) {
      sep();
      AppendField(out, kRowAttribHeader, d, single);
    }
    for (int32_t c = 1; c <= FNrOfCols; ++c) {
      sep();
      AppendField(out, FColName[std::size_t(c - 1)], d, single);
    }
    out += "\r\n";
  }
  const std::span<const double> v = NumericData->Values();
  std::vector<char> categorial(static_cast<std::size_t>(FNrOfCols));
  for (int32_t c = 1; c <= FNrOfCols; ++c) categorial[std::size_t(c - 1)] = IsCategorial(c) ? 1 : 0;
  for (int32_t r = 1; r <= FNrOfRows; ++r) {
    if (IncludeRowHeaders) {
      AppendField(out, FRowName[std::size_t(r - 1)], d, single);
      if (fields > 1) out += d;
    }
    if (IncludeRowAttributes) {
      out += std::to_string(FRowAtt[std::size_t(r - 1)]);
      if (FNrOfCols > 0) out += d;
    }
    for (int32_t c = 1; c <= FNrOfCols; ++c) {
      if (c > 1) out += d;
      const std::size_t k = SIdx(c, r);
      if (!detail::IsValidState(FCState[k])) {
        if (single) out += "\"\"";
      } else if (categorial[std::size_t(c - 1)] != 0) {
        AppendField(out, GetElemNominal(c, r), d, single);
      } else {
        const std::size_t at = out.size();
        out.resize(at + 32);  // the longest double text is 24 characters
        char* b = out.data() + at;
        const auto res =
            shortest ? std::to_chars(b, b + 32, v[k])
                     : std::to_chars(b, b + 32, v[k], std::chars_format::general, Precision);
        out.resize(static_cast<std::size_t>(res.ptr - out.data()));
      }
    }
    out += "\r\n";
    if (Flush && out.size() >= (std::size_t{1} << 20)) Flush(out);
  }
  if (Flush) Flush(out);
}

std::string TDataTable::ExportAsCSV(const std::string& FName, int32_t Precision,
                                    TCSVDelimiters Delimiter, bool IncludeColHeaders,
                                    bool IncludeRowHeaders) const {
  return ExportAsCSV(FName, Precision, Delimiter, IncludeColHeaders, IncludeRowHeaders, false,
                     false);
}

std::string TDataTable::ExportAsCSV(const std::string& FName, int32_t Precision,
                                    TCSVDelimiters Delimiter, bool IncludeColHeaders,
                                    bool IncludeRowHeaders, bool IncludeRowAttributes) const {
  return ExportAsCSV(FName, Precision, Delimiter, IncludeColHeaders, IncludeRowHeaders,
                     IncludeRowAttributes, false);
}

std::string TDataTable::ExportAsCSV(const std::string& FName, int32_t Precision,
                                    TCSVDelimiters Delimiter, bool IncludeColHeaders,
                                    bool IncludeRowHeaders, bool IncludeRowAttributes,
                                    bool IncludeComment) const {
  const std::string failure = "cannot write file \"" + FName + "\"";
  std::FILE* f = std::fopen(FName.c_str(), "wb");
  if (f == nullptr) return failure;
  bool ok = true;
  std::string buf;
  buf.reserve((std::size_t{1} << 20) + 4096);
  try {
    WriteCsv(
        buf,
        [&](std::string& s) {
          ok = ok && std::fwrite(s.data(), 1, s.size(), f) == s.size();
          s.clear();
        },
        Precision, Delimiter, IncludeColHeaders, IncludeRowHeaders, IncludeRowAttributes,
        IncludeComment);
  } catch (...) {
    std::fclose(f);
    throw;
  }
  return std::fclose(f) == 0 && ok ? std::string() : failure;
}

int32_t TDataTable::ImportFromCSV(const std::string& FName, TCSVDelimiters Delimiter,
                                  bool IncludeColHeaders, bool IncludeRowHeaders) {
  TCSVImportOptions o;
  o.Delimiter = Delimiter;
  o.ColHeaders = IncludeColHeaders ? TCSVHeaderMode::hmHeader : TCSVHeaderMode::hmNone;
  o.RowHeaders = IncludeRowHeaders;
  return ImportFromCSV(FName, o, nullptr);
}

int32_t TDataTable::ImportFromCSV(const std::string& FName, const TCSVImportOptions& Options,
                                  TCSVImportReport* Report) {
  TCSVImportReport local;
  TCSVImportReport& rep = Report != nullptr ? *Report : local;
  rep = TCSVImportReport{};
  const int64_t size = corvel::FileSizeOf(FName);
  struct Closer {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> f(size >= 0 ? std::fopen(FName.c_str(), "rb") : nullptr);
  if (!f) {
    rep.Message = "cannot open \"" + FName + "\"";
    return csvErrFile;
  }
  if (size > (int64_t{1} << 34)) {
    rep.Message = "file too large";
    return csvErrSize;
  }
  std::string text;
  detail::Allocate<EORKDataTableError>(*this, detail::kDTNoHeap,
                                       [&] { text.resize(static_cast<std::size_t>(size)); });
  if (std::fread(text.data(), 1, text.size(), f.get()) != text.size()) {
    rep.Message = "cannot read \"" + FName + "\"";
    return csvErrFile;
  }
  return ImportFromCSVText(text, Options, &rep);
}

int32_t TDataTable::ImportFromCSVText(std::string_view Text, const TCSVImportOptions& Options,
                                      TCSVImportReport* Report) {
  TCSVImportReport local;
  TCSVImportReport& rep = Report != nullptr ? *Report : local;
  rep = TCSVImportReport{};
  const auto fail = [&](int32_t code, int32_t line, int32_t field, std::string msg) {
    rep.Line = line;
    rep.Field = field;
    rep.Message = std::move(msg);
    return code;
  };
  if (std::memchr(Text.data(), 0, Text.size()) != nullptr)
    return fail(csvErrBinary, 0, 0, "a NUL byte: not a text file");
  const char d = Options.Delimiter == TCSVDelimiters::csvUnknown ? DetectDelimiter(Text)
                                                                 : DelimChar(Options.Delimiter);

  // The first record decides the layout.
  std::string comment;
  bool before_first = true;
  const auto on_comment = [&](std::string_view s) {
    if (!before_first) return;
    if (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    if (!comment.empty()) comment += ' ';
    comment += s;
  };
  std::vector<std::string> first;
  std::vector<char> first_quoted;
  CsvScanner scan(Text, d);
  if (!scan.NextRecord(on_comment)) return fail(csvErrNoData, scan.Line(), 0, "no data");
  {
    std::string_view f;
    bool q = false;
    End e = End::Delim;
    while (e == End::Delim) {
      if (!scan.NextField(f, q, e))
        return fail(csvErrQuotes, scan.RecordLine(), int32_t(first.size() + 1),
                    "line " + std::to_string(scan.RecordLine()) + ": unbalanced quotes");
      if (int64_t(first.size()) >= kMaxColumns + 2)
        return fail(csvErrSize, scan.RecordLine(), 0, "more than 2^20 columns");
      first.emplace_back(f);
      first_quoted.push_back(q ? 1 : 0);
    }
  }
  before_first = false;
  bool header = Options.ColHeaders == TCSVHeaderMode::hmHeader;
  if (Options.ColHeaders == TCSVHeaderMode::hmDetect) {
    for (std::size_t k = Options.RowHeaders ? 1 : 0; k < first.size() && !header; ++k) {
      double v = 0;
      const std::string_view t = first[k];
      const bool missing = first_quoted[k] == 0 && IsMissingToken(TrimBlanks(t));
      header = !missing && !(first_quoted[k] != 0 && t.empty()) && !ParseNumber(t, d, v);
    }
  }
  const std::size_t lead_name = Options.RowHeaders ? 1 : 0;
  bool attrib = Options.RowAttributes == TCSVHeaderMode::hmHeader;
  if (Options.RowAttributes == TCSVHeaderMode::hmDetect)
    attrib = header && first.size() > lead_name && first[lead_name] == kRowAttribHeader;
  const std::size_t lead = lead_name + (attrib ? 1 : 0);
  if (first.size() <= lead) return fail(csvErrNoData, scan.RecordLine(), 0, "no data column");
  const std::size_t ncols = first.size() - lead;
  if (int64_t(ncols) > kMaxColumns)
    return fail(csvErrSize, scan.RecordLine(), 0, "more than 2^20 columns");

  std::vector<Column> cols(ncols);
  std::vector<std::string> row_names;
  std::vector<int32_t> row_att;
  std::size_t nrows = 0;
  // Adds one field of a data record.
  const auto take = [&](std::size_t k, std::string_view f, bool quoted, int32_t line) -> int32_t {
    if (k < lead_name) {
      row_names.push_back(detail::CutText(f, kMaxDTNameLength));
      return 0;
    }
    if (k < lead) {
      int32_t a = 0;
      if (!ParseAttrib(f, a))
        return fail(csvErrAttrib, line, int32_t(k + 1),
                    "line " + std::to_string(line) + ", field " + std::to_string(k + 1) +
                        ": not a row attribute: \"" + std::string(f.substr(0, 40)) + "\"");
      row_att.push_back(a);
      return 0;
    }
    Column& c = cols[k - lead];
    double v = 0.0;
    uint8_t kind = kNumber;
    if (quoted ? f.empty() : IsMissingToken(TrimBlanks(f))) {
      kind = kMissing;
    } else if (!ParseNumber(f, d, v)) {
      if (Options.NumbersOnly)
        return fail(csvErrText, line, int32_t(k + 1),
                    "line " + std::to_string(line) + ", field " + std::to_string(k + 1) +
                        ": not a number: \"" + std::string(f.substr(0, 40)) + "\"");
      kind = kText;
      v = 0.0;
      c.has_text = true;
    }
    c.values.push_back(kind == kNumber ? v : 0.0);
    c.kind.push_back(kind);
    return 0;
  };
  const auto record_done = [&](std::size_t nfields, int32_t line) -> int32_t {
    if (nfields != first.size())
      return fail(csvErrRagged, line, int32_t(nfields),
                  "line " + std::to_string(line) + ": " + std::to_string(nfields) +
                      " fields, expected " + std::to_string(first.size()));
    ++nrows;
    if (int64_t(nrows) * int64_t(ncols) > kMaxCells)
      return fail(csvErrSize, line, 0, "more than 2^27 cells");
    return 0;
  };
  int32_t rc = 0;
  try {
    if (!header) {
      for (std::size_t k = 0; k < first.size() && rc == 0; ++k)
        rc = take(k, first[k], first_quoted[k] != 0, scan.RecordLine());
      if (rc == 0) rc = record_done(first.size(), scan.RecordLine());
    }
    while (rc == 0 && scan.NextRecord(on_comment)) {
      const int32_t line = scan.RecordLine();
      std::size_t k = 0;
      std::string_view f;
      bool q = false;
      End e = End::Delim;
      while (e == End::Delim && rc == 0) {
        if (!scan.NextField(f, q, e))
          return fail(csvErrQuotes, line, int32_t(k + 1),
                      "line " + std::to_string(line) + ": unbalanced quotes");
        if (k >= first.size())
          return fail(csvErrRagged, line, int32_t(k + 1),
                      "line " + std::to_string(line) + ": more than " +
                          std::to_string(first.size()) + " fields");
        rc = take(k, f, q, line);
        ++k;
      }
      if (rc == 0) rc = record_done(k, line);
    }
  } catch (const std::bad_alloc&) {
    throw EORKDataTableError(detail::ComponentMsg(*this, detail::kDTNoHeap));
  }
  if (rc != 0) return rc;
  if (nrows == 0) return fail(csvErrNoData, 0, 0, "no data rows");

  // Text columns: identifiers in order of first appearance.
  std::vector<std::vector<std::string>> ids(ncols);
  bool any_text = false;
  for (const Column& c : cols) any_text = any_text || c.has_text;
  if (any_text) {
    std::vector<std::unordered_map<std::string, int32_t>> index(ncols);
    CsvScanner again(Text, d);
    std::size_t row = 0;
    bool skip = header;
    while (again.NextRecord([](std::string_view) {})) {
      std::string_view f;
      bool q = false;
      End e = End::Delim;
      for (std::size_t k = 0; e == End::Delim; ++k) {
        if (!again.NextField(f, q, e)) break;  // cannot happen: the first pass succeeded
        if (skip || k < lead || !cols[k - lead].has_text) continue;
        Column& c = cols[k - lead];
        if (c.kind[row] == kMissing) continue;
        auto& map = index[k - lead];
        auto it = map.find(std::string(f));
        if (it == map.end()) {
          if (f.size() > kMaxNominalIDLength || map.size() >= std::size_t(kMaxNominalIDs))
            return fail(csvErrNominal, again.RecordLine(), int32_t(k + 1),
                        "line " + std::to_string(again.RecordLine()) + ", field " +
                            std::to_string(k + 1) + ": column " + std::to_string(k - lead + 1) +
                            " holds more than 150 texts or one longer than 10 bytes");
          it = map.emplace(std::string(f), int32_t(map.size()) + 1).first;
          ids[k - lead].emplace_back(f);
        }
        c.values[row] = it->second;
        c.kind[row] = kNumber;
      }
      if (!skip) ++row;
      skip = false;
    }
  }

  // Build the new table, then take it over.
  TDataTable tmp(nullptr);
  tmp.ResizeImpl(int32_t(ncols), int32_t(nrows));
  tmp.NumericData->OnChange = nullptr;
  tmp.FComment = RemoveControlChars(comment);
  for (std::size_t c = 0; c < ncols; ++c) {
    if (header) tmp.FColName[c] = detail::CutText(first[lead + c], kMaxDTNameLength);
    for (std::size_t r = 0; r < nrows; ++r) {
      tmp.NumericData->SetVal(int32_t(c + 1), int32_t(r + 1), cols[c].values[r]);
      if (cols[c].kind[r] == kMissing) tmp.FCState[c * nrows + r] = 2;
    }
    if (cols[c].has_text) {
      TVTypeSpec& t = tmp.FVType[c];
      t.MScaleType = TMScaleType::stNominal;
      t.IDs.resize(kMaxNominalIDs);
      for (std::size_t k = 0; k < ids[c].size(); ++k) t.IDs[k] = ids[c][k];
    }
    std::vector<double>().swap(cols[c].values);
  }
  for (std::size_t r = 0; r < row_names.size() && r < nrows; ++r) tmp.FRowName[r] = row_names[r];
  for (std::size_t r = 0; r < row_att.size() && r < nrows; ++r) tmp.FRowAtt[r] = row_att[r];
  TakeContents(tmp);
  return static_cast<int32_t>(nrows);
}

}  // namespace numbra
