// TDataTable XML form, written and read with corvel's streaming XML writer
// and bounded pull reader, in the manner of the matrix XML form.
#include "ORK_datatable.h"
#include "corvel_xml.h"
#include "datatable/datatable_detail.h"
#include "foundation/xml_io_detail.h"
#include "matrix/matrix_io_detail.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace numbra {

namespace {

constexpr std::array<std::string_view, 15> kTagNames{
    "datatable", "datatable", "comment",   "size", "colnames", "rownames", "colattrib", "rowattrib",
    "colid",     "rowid",     "datacells", "cell", "vartype",  "varid",    ""};

std::string_view XTag(TDTxmlTags t) { return DTXmlTagName(t); }

std::string Num(double v, int32_t precision) {
  if (precision < 1 || precision > 17) return detail::FormatFull(v);
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
  return std::string(buf, r.ptr);
}

std::string_view Trim(std::string_view s) {
  const auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

bool ToInt(std::string_view s, int64_t lo, int64_t hi, int64_t& v) {
  return detail::ParseInt(Trim(s), v) && v >= lo && v <= hi;
}

bool ScaleOf(std::string_view name, TMScaleType& t) {
  for (std::size_t k = 0; k < MScaleTypeNames.size(); ++k)
    if (MScaleTypeNames[k] == Trim(name)) {
      t = static_cast<TMScaleType>(k);
      return true;
    }
  return false;
}

// Collects written text and hands it on in pieces of about 64 KiB.
class ChunkedSink {
 public:
  explicit ChunkedSink(const std::function<void(std::string_view)>& out) : out_(out) {}
  void operator()(std::string_view s) {
    buf_ += s;
    if (buf_.size() >= (1U << 16)) Flush();
  }
  void Flush() {
    if (!buf_.empty()) out_(buf_);
    buf_.clear();
  }

 private:
  const std::function<void(std::string_view)>& out_;
  std::string buf_;
};

// Text content of the current element up to its end tag (at most Max
// bytes); false when it holds an element or the XML breaks.
bool ElementText(corvel::TXmlReader& x, std::string& text, std::size_t max) {
  text.clear();
  for (;;) {
    switch (x.Next()) {
      case corvel::TXmlNodeType::xntText:
        text += x.Text();
        if (text.size() > max) return false;
        break;
      case corvel::TXmlNodeType::xntEndElement:
        return true;
      default:
        return false;
    }
  }
}

std::string AttrOr(const corvel::TXmlReader& x, std::string_view name) {
  const std::string* a = x.Attribute(name);
  return a != nullptr ? *a : std::string();
}

}  // namespace

std::string_view DTXmlTagName(TDTxmlTags Tag) noexcept {
  return kTagNames[std::min<std::size_t>(static_cast<std::size_t>(Tag), kTagNames.size() - 1)];
}

TDTxmlTags DTXmlTagOf(std::string_view Name) noexcept {
  if (Name.empty()) return TDTxmlTags::xmlInvalid;
  for (std::size_t k = 0; k + 1 < kTagNames.size(); ++k)
    if (k != 1 && kTagNames[k] == Name) return static_cast<TDTxmlTags>(k);
  return TDTxmlTags::xmlInvalid;
}

void TDataTable::WriteXml(const std::function<void(std::string_view)>& Sink,
                          std::string_view LineEnd, bool CreateHeader, int32_t Precision,
                          const std::string& DataID) const {
  ChunkedSink sink(Sink);
  corvel::TXmlWriter w([&sink](std::string_view s) { sink(s); }, std::string(LineEnd));
  if (CreateHeader) w.Declaration();
  w.StartElement(XTag(TDTxmlTags::xmlDataTableId), {{"dataid", DataID}});
  w.TextElement(XTag(TDTxmlTags::xmlComment), FComment);
  const std::string nc = std::to_string(FNrOfCols);
  const std::string nr = std::to_string(FNrOfRows);
  w.TextElement(XTag(TDTxmlTags::xmlSize), "", {{"cols", nc}, {"rows", nr}});
  const auto block = [&](TDTxmlTags outer, TDTxmlTags inner, std::string_view attr, int32_t n,
                         auto&& text) {
    w.StartElement(XTag(outer));
    for (int32_t i = 1; i <= n; ++i)
      w.TextElement(XTag(inner), text(i), {{attr, std::to_string(i)}});
    w.EndElement();
  };
  block(TDTxmlTags::xmlColNames, TDTxmlTags::xmlColId, "col", FNrOfCols,
        [&](int32_t c) { return FColName[std::size_t(c - 1)]; });
  block(TDTxmlTags::xmlRowNames, TDTxmlTags::xmlRowId, "row", FNrOfRows,
        [&](int32_t r) { return FRowName[std::size_t(r - 1)]; });
  block(TDTxmlTags::xmlColAttrib, TDTxmlTags::xmlColId, "col", FNrOfCols,
        [&](int32_t c) { return std::to_string(FColAtt[std::size_t(c - 1)]); });
  block(TDTxmlTags::xmlRowAttrib, TDTxmlTags::xmlRowId, "row", FNrOfRows,
        [&](int32_t r) { return std::to_string(FRowAtt[std::size_t(r - 1)]); });
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    const TVTypeSpec& t = FVType[std::size_t(c - 1)];
    w.StartElement(XTag(TDTxmlTags::xmlVarType),
                   {{"col", std::to_string(c)},
                    {"type", MScaleTypeNames[static_cast<std::size_t>(t.MScaleType) % 5]}});
    for (std::size_t k = 0; k < t.IDs.size(); ++k)
      if (!t.IDs[k].empty())
        w.TextElement(XTag(TDTxmlTags::xmlVarIdentifier), t.IDs[k],
                      {{"ord", std::to_string(k + 1)}});
    w.EndElement();
  }
  w.StartElement(XTag(TDTxmlTags::xmlDataCells));
  const std::span<const double> v = NumericData->Values();
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    const std::string cs = std::to_string(c);
    for (int32_t r = 1; r <= FNrOfRows; ++r) {
      const std::size_t k = SIdx(c, r);
      const std::string rs = std::to_string(r);
      if (FCState[k] == 0)
        w.TextElement(XTag(TDTxmlTags::xmlCellID), Num(v[k], Precision),
                      {{"col", cs}, {"row", rs}});
      else
        w.TextElement(XTag(TDTxmlTags::xmlCellID), Num(v[k], Precision),
                      {{"col", cs}, {"row", rs}, {"state", std::to_string(FCState[k])}});
    }
  }
  w.EndElement();
  w.EndElement();
  sink.Flush();
}

bool TDataTable::ProcessXmlTag(TDTxmlTags Tag, const std::string& S1, const std::string& S2,
                               const std::string& S3, int32_t Context) {
  int64_t a = 0;
  int64_t b = 0;
  switch (Tag) {
    case TDTxmlTags::xmlComment:
      SetFComment(S3);
      return true;
    case TDTxmlTags::xmlSize:
      if (!ToInt(S1, 1, INT32_MAX, a) || !ToInt(S2, 1, INT32_MAX, b) ||
          !detail::PlausibleSize(a, b, a * b))
        return false;
      Resize(int32_t(a), int32_t(b));
      return true;
    case TDTxmlTags::xmlColId:
    case TDTxmlTags::xmlRowId: {
      const bool col = Tag == TDTxmlTags::xmlColId;
      if (!ToInt(S1, 1, col ? FNrOfCols : FNrOfRows, a)) return false;
      const auto ctx = static_cast<TDTxmlTags>(Context);
      if (ctx == TDTxmlTags::xmlColNames || ctx == TDTxmlTags::xmlRowNames) {
        if (col != (ctx == TDTxmlTags::xmlColNames)) return false;
        col ? SetColName(int32_t(a), S3) : SetRowName(int32_t(a), S3);
        return true;
      }
      if (ctx == TDTxmlTags::xmlColAttrib || ctx == TDTxmlTags::xmlRowAttrib) {
        if (col != (ctx == TDTxmlTags::xmlColAttrib) || !ToInt(S3, INT32_MIN, INT32_MAX, b))
          return false;
        col ? SetColAttrib(int32_t(a), int32_t(b)) : SetRowAttrib(int32_t(a), int32_t(b));
        return true;
      }
      return false;
    }
    case TDTxmlTags::xmlVarType: {
      TMScaleType t{};
      if (!ToInt(S1, 1, FNrOfCols, a) || !ScaleOf(S2, t)) return false;
      SetMScaleType(int32_t(a), t);
      return true;
    }
    case TDTxmlTags::xmlVarIdentifier:
      if (Context < 1 || Context > FNrOfCols || !ToInt(S2, 1, kMaxNominalIDs, b) ||
          !IsCategorial(Context) || S3.size() > kMaxNominalIDLength)
        return false;
      SetNominalID(Context, int32_t(b), S3);
      return true;
    case TDTxmlTags::xmlCellID: {
      double v = 0;
      if (!ToInt(S1, 1, FNrOfCols, a) || !ToInt(S2, 1, FNrOfRows, b) ||
          !detail::ParseDouble(Trim(S3), v) || Context < 0 || Context > 255)
        return false;
      SetElem(int32_t(a), int32_t(b), v);
      SetCellState(int32_t(a), int32_t(b), static_cast<uint8_t>(Context));
      return true;
    }
    default:
      return false;
  }
}

bool TDataTable::ReadXml(const std::function<int64_t(char*, int64_t)>& Source,
                         const std::string& DataID, int64_t* Consumed) {
  using corvel::TXmlNodeType;
  corvel::TXmlReader x(Source);
  const std::string table_tag(XTag(TDTxmlTags::xmlDataTableId));
  for (;;) {
    const auto t = x.Next();
    if (t == TXmlNodeType::xntError || t == TXmlNodeType::xntEndOfInput) return false;
    if (t != TXmlNodeType::xntStartElement || x.Name() != table_tag) continue;
    if (DataID.empty() || AttrOr(x, "dataid") == DataID) break;
    if (!x.SkipElement()) return false;
  }
  // Everything is collected first (memory grows with the input, never with
  // a size the input merely claims) and checked before the table is built.
  struct Item {
    TDTxmlTags tag;
    TDTxmlTags context;
    int64_t index;
    int64_t sub;
    std::string text;
  };
  std::vector<Item> items;
  struct Cell {
    uint64_t index;
    double value;
    uint8_t state;
  };
  std::vector<Cell> cells;
  bool in_order = true;
  std::string comment;
  int64_t ncols = -1;
  int64_t nrows = -1;
  std::string text;
  const int32_t depth = x.Depth();
  // The children of a block element, each an element with index attribute
  // attr and text content.
  const auto read_block = [&](TDTxmlTags outer, TDTxmlTags inner, const char* attr, int64_t limit,
                              int64_t sub) -> bool {
    const int32_t d = x.Depth();
    for (;;) {
      const auto t = x.Next();
      if (t == TXmlNodeType::xntEndElement && x.Depth() == d - 1) return true;
      if (t == TXmlNodeType::xntText) continue;
      if (t != TXmlNodeType::xntStartElement) return false;
      if (x.Name() != XTag(inner)) {
        if (!x.SkipElement()) return false;
        continue;
      }
      int64_t ix = 0;
      if (!ToInt(AttrOr(x, attr), 1, limit, ix) || !ElementText(x, text, 4096)) return false;
      items.push_back(Item{inner, outer, ix, sub, text});
    }
  };
  for (;;) {
    const auto t = x.Next();
    if (t == TXmlNodeType::xntEndElement && x.Depth() == depth - 1) break;
    if (t == TXmlNodeType::xntText) continue;
    if (t != TXmlNodeType::xntStartElement) return false;
    const TDTxmlTags tag = DTXmlTagOf(x.Name());
    const bool sized = ncols > 0;
    bool ok = true;
    switch (tag) {
      case TDTxmlTags::xmlComment:
        ok = ElementText(x, comment, std::size_t(1) << 20);
        break;
      case TDTxmlTags::xmlSize:
        ok = !sized && ToInt(AttrOr(x, "cols"), 1, INT32_MAX, ncols) &&
             ToInt(AttrOr(x, "rows"), 1, INT32_MAX, nrows) &&
             detail::PlausibleSize(ncols, nrows, ncols * nrows) && ElementText(x, text, 0);
        break;
      case TDTxmlTags::xmlColNames:
      case TDTxmlTags::xmlColAttrib:
        ok = sized && read_block(tag, TDTxmlTags::xmlColId, "col", ncols, 0);
        break;
      case TDTxmlTags::xmlRowNames:
      case TDTxmlTags::xmlRowAttrib:
        ok = sized && read_block(tag, TDTxmlTags::xmlRowId, "row", nrows, 0);
        break;
      case TDTxmlTags::xmlVarType: {
        int64_t c = 0;
        TMScaleType st{};
        ok = sized && ToInt(AttrOr(x, "col"), 1, ncols, c) && ScaleOf(AttrOr(x, "type"), st);
        if (ok) {
          items.push_back(Item{tag, tag, c, 0, std::string(MScaleTypeNames[std::size_t(st)])});
          ok = read_block(tag, TDTxmlTags::xmlVarIdentifier, "ord", kMaxNominalIDs, c);
        }
        break;
      }
      case TDTxmlTags::xmlDataCells: {
        if (!sized) return false;
        const int32_t d = x.Depth();
        for (;;) {
          const auto u = x.Next();
          if (u == TXmlNodeType::xntEndElement && x.Depth() == d - 1) break;
          if (u == TXmlNodeType::xntText) continue;
          if (u != TXmlNodeType::xntStartElement) return false;
          if (x.Name() != XTag(TDTxmlTags::xmlCellID)) {
            if (!x.SkipElement()) return false;
            continue;
          }
          int64_t c = 0;
          int64_t r = 0;
          int64_t s = 0;
          const std::string* st = x.Attribute("state");
          double v = 0;
          if (!ToInt(AttrOr(x, "col"), 1, ncols, c) || !ToInt(AttrOr(x, "row"), 1, nrows, r) ||
              (st != nullptr && !ToInt(*st, 0, 255, s)) || !ElementText(x, text, 4096) ||
              !detail::ParseDouble(Trim(text), v))
            return false;
          if (static_cast<int64_t>(cells.size()) >= ncols * nrows) return false;  // a repeat
          const auto index = static_cast<uint64_t>((c - 1) * nrows + (r - 1));
          if (!cells.empty() && index <= cells.back().index) in_order = false;
          detail::Allocate<EORKDataTableError>(*this, detail::kDTNoHeap, [&] {
            cells.push_back(Cell{index, v, static_cast<uint8_t>(s)});
          });
        }
        break;
      }
      default:
        ok = x.SkipElement();
    }
    if (!ok) return false;
  }
  if (ncols < 1 || static_cast<int64_t>(cells.size()) != ncols * nrows) return false;
  if (!in_order) {
    std::sort(cells.begin(), cells.end(),
              [](const Cell& a, const Cell& b) { return a.index < b.index; });
    for (std::size_t k = 1; k < cells.size(); ++k)
      if (cells[k].index == cells[k - 1].index) return false;
  }
  TDataTable tmp(nullptr);
  tmp.ResizeImpl(int32_t(ncols), int32_t(nrows));
  tmp.NumericData->OnChange = nullptr;
  tmp.SetFComment(comment);
  for (const Item& it : items) {
    const std::string s1 = std::to_string(it.index);
    bool ok = true;
    if (it.tag == TDTxmlTags::xmlVarType)
      ok = tmp.ProcessXmlTag(it.tag, s1, it.text, "", 0);
    else if (it.tag == TDTxmlTags::xmlVarIdentifier)
      ok = tmp.ProcessXmlTag(it.tag, "", s1, it.text, int32_t(it.sub));
    else
      ok = tmp.ProcessXmlTag(it.tag, s1, "", it.text, static_cast<int32_t>(it.context));
    if (!ok) return false;
  }
  const auto nr = static_cast<std::size_t>(nrows);
  for (const Cell& cell : cells) {
    const auto c = static_cast<int32_t>(cell.index / nr) + 1;
    const auto r = static_cast<int32_t>(cell.index % nr) + 1;
    tmp.NumericData->SetVal(c, r, cell.value);
    tmp.FCState[tmp.SIdx(c, r)] = cell.state;
  }
  if (Consumed != nullptr) *Consumed = x.Consumed();
  TakeContents(tmp);
  return true;
}

void TDataTable::SaveAsXMLFile(const std::string& FName, int32_t Precision,
                               const std::string& DataID) const {
  TTextWriter out;
  if (!out.Open(FName))
    throw EORKDataTableError(detail::ComponentMsg(*this, "cannot write file \"" + FName + "\""));
  WriteXml([&out](std::string_view s) { out.Write(s); }, "\n", true, Precision, DataID);
  if (!out.Close())
    throw EORKDataTableError(detail::ComponentMsg(*this, "cannot write file \"" + FName + "\""));
}

std::string TDataTable::XMLText(bool CreateHeader, int32_t Precision,
                                const std::string& DataID) const {
  std::string out;
  WriteXml([&out](std::string_view s) { out += s; }, "\n", CreateHeader, Precision, DataID);
  return out;
}

bool TDataTable::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  return detail::XmlFromFile(
      FName, [&](const detail::XmlSource& Src) { return ReadXml(Src, DataID, nullptr); });
}

void TDataTable::WriteToXMLStream(TStream* OutStream, bool CreateHeader, int32_t Precision,
                                  const std::string& DataID) const {
  if (OutStream == nullptr) return;
  WriteXml(detail::XmlStreamSink(OutStream), "\n", CreateHeader, Precision, DataID);
}

bool TDataTable::ReadFromXMLStream(TStream* InStream, const std::string& DataID) {
  return detail::XmlFromStream(InStream, [&](const detail::XmlSource& Src, int64_t* Consumed) {
    return ReadXml(Src, DataID, Consumed);
  });
}

bool TDataTable::ReadFromXMLString(const std::string& InString, int64_t& StartAt,
                                   const std::string& DataID) {
  if (StartAt < 0 || StartAt > static_cast<int64_t>(InString.size())) return false;
  std::size_t at = static_cast<std::size_t>(StartAt);
  int64_t consumed = 0;
  const bool ok = ReadXml(
      [&](char* buf, int64_t n) -> int64_t {
        const std::size_t k = std::min(static_cast<std::size_t>(n), InString.size() - at);
        std::memcpy(buf, InString.data() + at, k);
        at += k;
        return static_cast<int64_t>(k);
      },
      DataID, &consumed);
  if (ok) StartAt += consumed;
  return ok;
}

void TDataTable::WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader, int32_t Precision,
                                    const std::string& DataID) const {
  WriteXml(detail::XmlTextSink(OutFile), "\r\n", CreateHeader, Precision, DataID);
}

bool TDataTable::ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID) {
  return detail::XmlFromTextFile(
      InFile, [&](const detail::XmlSource& Src) { return ReadXml(Src, DataID, nullptr); });
}

}  // namespace numbra
