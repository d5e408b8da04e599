// TDataTable ASC form: the curve fit's ASC text table (header and body read
// with corvel's TAscReader), extended by the table's names, attributes,
// scale types, identifiers and cell states.
#include "ORK_datatable.h"
#include "datatable/datatable_detail.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>

namespace numbra {

namespace {

void AppendNumber(std::string& out, double v, int32_t precision) {
  char buf[64];
  const auto r =
      precision >= 1 && precision <= 17
          ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision)
          : std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

// A name in double quotes, quotes doubled, line breaks as blanks.
void AppendQuoted(std::string& out, std::string_view s) {
  out += '"';
  for (const char ch : s) {
    if (ch == '"') out += '"';
    out += ch == '\n' || ch == '\r' ? ' ' : ch;
  }
  out += '"';
}

// A whole number in lo..hi.
bool ReadInt(corvel::TAscReader& in, int64_t lo, int64_t hi, int64_t& v) {
  double d = 0;
  if (!in.ReadNumber(d) || !(d >= static_cast<double>(lo) && d <= static_cast<double>(hi)) ||
      d != std::floor(d))
    return false;
  v = static_cast<int64_t>(d);
  return true;
}

std::string ReadAll(TStream* s) {
  std::string text;
  if (s == nullptr) return text;
  const int64_t n = s->Size() - s->Position();
  if (n <= 0) return text;
  text.resize(static_cast<std::size_t>(n));
  text.resize(static_cast<std::size_t>(s->Read(text.data(), n)));
  return text;
}

std::string ReadFile(const std::string& FName, bool& ok) {
  ok = false;
  std::string text;
  const int64_t size = corvel::FileSizeOf(FName);
  if (size < 0) return text;
  std::FILE* f = std::fopen(FName.c_str(), "rb");
  if (f == nullptr) return text;
  text.resize(static_cast<std::size_t>(size));
  ok = std::fread(text.data(), 1, text.size(), f) == text.size();
  std::fclose(f);
  return text;
}

}  // namespace

std::string TDataTable::ASCText(int32_t Precision) const {
  std::string out;
  detail::Allocate<EORKDataTableError>(*this, detail::kDTNoHeap, [&] {
    out.reserve(std::size_t(FNrOfCols) * std::size_t(FNrOfRows) * 22 + 1024);
  });
  out += FComment;
  out += '\n';
  out += std::to_string(FNrOfCols) + "\t;nr. of columns\n";
  out += std::to_string(FNrOfRows) + "\t;nr. of rows\n";
  out +=
      "TRUE TRUE TRUE TRUE\t;row attributes, column names, row names, extended cell "
      "information\n";
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    if (c > 1) out += "   ";
    AppendQuoted(out, FColName[std::size_t(c - 1)]);
  }
  out += '\n';
  const std::span<const double> v = NumericData->Values();
  for (int32_t r = 1; r <= FNrOfRows; ++r) {
    out += std::to_string(FRowAtt[std::size_t(r - 1)]);
    out += '\t';
    AppendQuoted(out, FRowName[std::size_t(r - 1)]);
    for (int32_t c = 1; c <= FNrOfCols; ++c) {
      out += '\t';
      AppendNumber(out, v[SIdx(c, r)], Precision);
    }
    out += '\n';
  }
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    if (c > 1) out += ' ';
    out += std::to_string(static_cast<int>(FVType[std::size_t(c - 1)].MScaleType));
  }
  out += '\n';
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    if (c > 1) out += ' ';
    out += std::to_string(FColAtt[std::size_t(c - 1)]);
  }
  out += '\n';
  for (const TVTypeSpec& t : FVType) {
    const auto k =
        std::count_if(t.IDs.begin(), t.IDs.end(), [](const auto& s) { return !s.empty(); });
    out += std::to_string(k);
    for (std::size_t i = 0; i < t.IDs.size(); ++i)
      if (!t.IDs[i].empty()) {
        out += ' ' + std::to_string(i + 1) + ' ';
        AppendQuoted(out, t.IDs[i]);
      }
    out += '\n';
  }
  for (int32_t r = 1; r <= FNrOfRows; ++r) {
    for (int32_t c = 1; c <= FNrOfCols; ++c) {
      if (c > 1) out += ' ';
      out += std::to_string(FCState[SIdx(c, r)]);
    }
    out += '\n';
  }
  return out;
}

std::string TDataTable::ExportAsASC(const std::string& FName, int32_t Precision) const {
  const std::string text = ASCText(Precision);
  const std::string failure = "cannot write file \"" + FName + "\"";
  std::FILE* f = std::fopen(FName.c_str(), "wb");
  if (f == nullptr) return failure;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok ? std::string() : failure;
}

std::string TDataTable::ExportAsASC(TStream* OutStream, int32_t Precision) const {
  if (OutStream == nullptr) return "no stream";
  const std::string text = ASCText(Precision);
  OutStream->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  return {};
}

void TDataTable::ExportAsASC(TTextWriter& OutFile, int32_t Precision) const {
  OutFile.Write(ASCText(Precision));
}

void TDataTable::ExportAsASC(TClipboardBuffer& ClipBd, int32_t Precision) const {
  ClipBd.Text = ASCText(Precision);
}

// Parses a whole ASC text into Out (a fresh table without handlers);
// result: rows, or a negative code.
int32_t TDataTable::ParseAsc(std::string Text, TDataTable& Out, bool& HasColNames,
                             bool& HasRowNames, bool& HasRowAttrib, bool& Extended) const {
  corvel::TAscReader in(std::move(Text));
  if (in.Status() != corvel::kAscOk) return in.Status();
  const corvel::TAscHeader& h = in.Header();
  if (h.NrColumns < 1 || h.NrRows < 1) return kAscBadBody;
  HasColNames = h.ColumnNames;
  HasRowNames = h.RowNames;
  HasRowAttrib = h.RowAttributes;
  Extended = h.Extended;
  Out.ResizeImpl(h.NrColumns, h.NrRows);  // the header's size is bounded by the input
  Out.NumericData->OnChange = nullptr;
  Out.FComment = RemoveControlChars(h.Comment);
  corvel::TQuotedStrState st{};
  std::string name;
  if (h.ColumnNames)
    for (int32_t c = 1; c <= h.NrColumns; ++c) {
      if (!in.ReadName('"', st, name)) return kAscBadBody;
      Out.FColName[std::size_t(c - 1)] = detail::CutText(name, kMaxDTNameLength);
    }
  int64_t iv = 0;
  for (int32_t r = 1; r <= h.NrRows; ++r) {
    if (h.RowAttributes) {
      if (!ReadInt(in, INT32_MIN, INT32_MAX, iv)) return kAscBadBody;
      Out.FRowAtt[std::size_t(r - 1)] = static_cast<int32_t>(iv);
    }
    if (h.RowNames) {
      if (!in.ReadName('"', st, name)) return kAscBadBody;
      Out.FRowName[std::size_t(r - 1)] = detail::CutText(name, kMaxDTNameLength);
    }
    for (int32_t c = 1; c <= h.NrColumns; ++c) {
      double v = 0;
      if (!in.ReadNumber(v)) return kAscBadBody;
      Out.NumericData->SetVal(c, r, v);
    }
  }
  if (h.Extended) {
    for (TVTypeSpec& t : Out.FVType) {
      if (!ReadInt(in, 0, 4, iv)) return kAscBadBody;
      t.MScaleType = static_cast<TMScaleType>(iv);
    }
    for (int32_t& a : Out.FColAtt) {
      if (!ReadInt(in, INT32_MIN, INT32_MAX, iv)) return kAscBadBody;
      a = static_cast<int32_t>(iv);
    }
    for (TVTypeSpec& t : Out.FVType) {
      int64_t k = 0;
      if (!ReadInt(in, 0, kMaxNominalIDs, k)) return kAscBadBody;
      for (int64_t i = 0; i < k; ++i) {
        int64_t ord = 0;
        if (!ReadInt(in, 1, kMaxNominalIDs, ord) || !in.ReadName('"', st, name) ||
            name.size() > kMaxNominalIDLength)
          return kAscBadBody;
        if (t.IDs.empty()) t.IDs.resize(kMaxNominalIDs);
        t.IDs[std::size_t(ord - 1)] = name;
      }
    }
    for (int32_t r = 1; r <= h.NrRows; ++r)
      for (int32_t c = 1; c <= h.NrColumns; ++c) {
        if (!ReadInt(in, 0, 255, iv)) return kAscBadBody;
        Out.FCState[Out.SIdx(c, r)] = static_cast<uint8_t>(iv);
      }
  }
  if (!in.AtEnd()) return kAscBadBody;
  return h.NrRows;
}

int32_t TDataTable::PlaceAsc(int32_t Result, TDataTable& Src, int32_t PosX, int32_t PosY,
                             bool ReplaceIDs, bool HasColNames, bool HasRowNames, bool HasRowAttrib,
                             bool Extended) {
  if (Result < 0) return Result;
  PosX = std::max(PosX, 1);
  PosY = std::max(PosY, 1);
  const int64_t need_c = int64_t{PosX} + Src.FNrOfCols - 1;
  const int64_t need_r = int64_t{PosY} + Src.FNrOfRows - 1;
  if (need_c > INT32_MAX || need_r > INT32_MAX || need_c * need_r > (int64_t{1} << 27))
    return corvel::kAscTooLarge;
  Resize(std::max<int32_t>(FNrOfCols, int32_t(need_c)),
         std::max<int32_t>(FNrOfRows, int32_t(need_r)));
  {
    auto on_change = std::move(NumericData->OnChange);
    NumericData->OnChange = nullptr;
    const std::span<const double> v = Src.NumericData->Values();
    for (int32_t c = 1; c <= Src.FNrOfCols; ++c)
      for (int32_t r = 1; r <= Src.FNrOfRows; ++r) {
        NumericData->SetVal(PosX + c - 1, PosY + r - 1, v[Src.SIdx(c, r)]);
        FCState[SIdx(PosX + c - 1, PosY + r - 1)] = Src.FCState[Src.SIdx(c, r)];
      }
    NumericData->OnChange = std::move(on_change);
  }
  for (int32_t c = 1; c <= Src.FNrOfCols; ++c) {
    const auto d = std::size_t(PosX + c - 2);
    if (HasColNames) FColName[d] = Src.FColName[std::size_t(c - 1)];
    if (Extended) FColAtt[d] = Src.FColAtt[std::size_t(c - 1)];
    if (ReplaceIDs) FVType[d] = Src.FVType[std::size_t(c - 1)];
  }
  for (int32_t r = 1; r <= Src.FNrOfRows; ++r) {
    const auto d = std::size_t(PosY + r - 2);
    if (HasRowNames) FRowName[d] = Src.FRowName[std::size_t(r - 1)];
    if (HasRowAttrib) FRowAtt[d] = Src.FRowAtt[std::size_t(r - 1)];
  }
  ChangedData();
  ChangedCellStates();
  ChangedNames();
  ChangedAttrib();
  ChangedSetup();
  return Result;
}

int32_t TDataTable::ImportASC(const std::string& FName) {
  bool ok = false;
  std::string text = ReadFile(FName, ok);
  if (!ok) return corvel::kAscCannotOpen;
  return ImportASC(TClipboardBuffer{std::move(text)});
}

int32_t TDataTable::ImportASC(TStream* InStream) {
  if (InStream == nullptr) return corvel::kAscCannotOpen;
  return ImportASC(TClipboardBuffer{ReadAll(InStream)});
}

int32_t TDataTable::ImportASC(const TClipboardBuffer& ClipBd) {
  TDataTable tmp(nullptr);
  bool cn = false, rn = false, ra = false, ext = false;
  const int32_t rc = ParseAsc(ClipBd.Text, tmp, cn, rn, ra, ext);
  if (rc < 0) return rc;
  TakeContents(tmp);
  return rc;
}

int32_t TDataTable::ReadFromASC(const std::string& FName, int32_t PosX, int32_t PosY,
                                bool ReplaceIDs) {
  bool ok = false;
  std::string text = ReadFile(FName, ok);
  if (!ok) return corvel::kAscCannotOpen;
  return ReadFromASC(TClipboardBuffer{std::move(text)}, PosX, PosY, ReplaceIDs);
}

int32_t TDataTable::ReadFromASC(TStream* InStream, int32_t PosX, int32_t PosY, bool ReplaceIDs) {
  if (InStream == nullptr) return corvel::kAscCannotOpen;
  return ReadFromASC(TClipboardBuffer{ReadAll(InStream)}, PosX, PosY, ReplaceIDs);
}

int32_t TDataTable::ReadFromASC(const TClipboardBuffer& ClipBd, int32_t PosX, int32_t PosY,
                                bool ReplaceIDs) {
  TDataTable tmp(nullptr);
  bool cn = false, rn = false, ra = false, ext = false;
  const int32_t rc = ParseAsc(ClipBd.Text, tmp, cn, rn, ra, ext);
  return PlaceAsc(rc, tmp, PosX, PosY, ReplaceIDs, cn, rn, ra, ext);
}

}  // namespace numbra
