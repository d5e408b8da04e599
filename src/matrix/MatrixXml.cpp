// The XML form of TMatrix and TIntMatrix (one writer and one reader, over
// the element type), written and read with corvel's streaming XML writer
// and bounded pull reader.
#include "ORK_matrix.h"
#include "corvel_xml.h"
#include "foundation/frame_detail.h"
#include "foundation/xml_io_detail.h"
#include "matrix/matrix_io_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <span>

namespace numbra {

namespace {

constexpr std::string_view kNoHeap = "not enough memory on heap";

std::string_view XmlTag(TMatXmlTag t) { return MatXmlTagName(t); }

// Collects written text and hands it on in pieces of about 64 KiB.
class ChunkedSink {
 public:
  explicit ChunkedSink(std::function<void(std::string_view)> out) : out_(std::move(out)) {}
  ChunkedSink(const ChunkedSink&) = delete;
  ChunkedSink& operator=(const ChunkedSink&) = delete;
  ~ChunkedSink() = default;
  void operator()(std::string_view s) {
    buf_ += s;
    if (buf_.size() >= (1U << 16)) Flush();
  }
  void Flush() {
    if (!buf_.empty()) out_(buf_);
    buf_.clear();
  }

 private:
  std::function<void(std::string_view)> out_;
  std::string buf_;
};

// Reads the text content of the current element up to its end tag; false
// when it holds an element or the XML breaks.
bool ElementText(corvel::TXmlReader& x, std::string& text) {
  text.clear();
  for (;;) {
    switch (x.Next()) {
      case corvel::TXmlNodeType::xntText:
        text += x.Text();
        if (text.size() > 4096) return false;  // no number is that long
        break;
      case corvel::TXmlNodeType::xntEndElement:
        return true;
      default:
        return false;
    }
  }
}

std::string_view Trim(std::string_view s) {
  const auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

bool ParseCount(std::string_view text, int64_t& out) {
  return detail::ParseInt(Trim(text), out) && out >= 0 &&
         out <= std::numeric_limits<int32_t>::max();
}

// Cell texts: doubles in full precision, integers in decimal.
std::string CellText(double v) { return detail::FormatFull(v); }
std::string CellText(int32_t v) { return std::to_string(v); }

bool ParseCell(std::string_view s, double& v) { return detail::ParseDouble(s, v); }
bool ParseCell(std::string_view s, int32_t& v) { return detail::ParseIntCell(s, v); }

}  // namespace

namespace detail {

bool ParseIntCell(std::string_view s, int32_t& out) {
  constexpr int64_t kLo = std::numeric_limits<int32_t>::min();
  constexpr int64_t kHi = std::numeric_limits<int32_t>::max();
  int64_t i = 0;
  if (ParseInt(s, i)) {
    if (i < kLo || i > kHi) return false;
    out = static_cast<int32_t>(i);
    return true;
  }
  // Another number form (exponent, fraction): its value must be whole. Every
  // 32-bit integer is exact in a double, so the comparison is exact.
  double d = 0.0;
  if (!ParseDouble(s, d) || !(d >= static_cast<double>(kLo) && d <= static_cast<double>(kHi)) ||
      d != std::trunc(d))
    return false;
  out = static_cast<int32_t>(d);
  return true;
}

template <class V>
void WriteMatrixXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                    bool CreateHeader, const std::string& DataID, int32_t Cols, int32_t Rows,
                    std::span<const V> Values) {
  ChunkedSink sink(Sink);
  corvel::TXmlWriter w([&sink](std::string_view s) { sink(s); }, std::string(LineEnd));
  if (CreateHeader) w.Declaration();
  w.StartElement(XmlTag(TMatXmlTag::xmlMatBegin), {{"dataid", DataID}});
  w.TextElement(XmlTag(TMatXmlTag::xmlMatNumCols), std::to_string(Cols));
  w.TextElement(XmlTag(TMatXmlTag::xmlMatNumRows), std::to_string(Rows));
  std::size_t k = 0;
  for (int32_t c = 1; c <= Cols; ++c) {
    const std::string cs = std::to_string(c);
    for (int32_t r = 1; r <= Rows; ++r)
      w.TextElement(XmlTag(TMatXmlTag::xmlMatCell), CellText(Values[k++]),
                    {{"col", cs}, {"row", std::to_string(r)}});
  }
  w.EndElement();
  sink.Flush();
}

template <class V>
bool ReadMatrixXml(const std::function<int64_t(char*, int64_t)>& Source, const std::string& DataID,
                   const corvel::TComponent& Owner, MatrixContent<V>& Out, int64_t* Consumed) {
  corvel::TXmlReader x(Source);
  const std::string matrix_tag(XmlTag(TMatXmlTag::xmlMatBegin));
  // Find the element.
  std::string found_id;
  for (;;) {
    const auto t = x.Next();
    if (t == corvel::TXmlNodeType::xntError || t == corvel::TXmlNodeType::xntEndOfInput)
      return false;
    if (t != corvel::TXmlNodeType::xntStartElement || x.Name() != matrix_tag) continue;
    const std::string* id = x.Attribute("dataid");
    const std::string this_id = id != nullptr ? *id : std::string();
    if (DataID.empty() || this_id == DataID) {
      found_id = this_id;
      break;
    }
    if (!x.SkipElement()) return false;
  }
  // Read its contents. The cells are collected as they come, so that memory
  // grows with the data present, not with the size the element claims.
  const int32_t depth = x.Depth();
  int64_t ncols = -1;
  int64_t nrows = -1;
  std::vector<std::pair<uint32_t, V>> cells;  // (column-major index, value)
  bool in_order = true;
  std::string text;
  for (;;) {
    const auto t = x.Next();
    if (t == corvel::TXmlNodeType::xntEndElement && x.Depth() == depth - 1) break;
    if (t == corvel::TXmlNodeType::xntText) continue;  // white space between elements
    if (t != corvel::TXmlNodeType::xntStartElement) return false;
    switch (MatXmlTagOf(x.Name())) {
      case TMatXmlTag::xmlMatNumCols:
      case TMatXmlTag::xmlMatNumRows: {
        const bool is_cols = MatXmlTagOf(x.Name()) == TMatXmlTag::xmlMatNumCols;
        int64_t& target = is_cols ? ncols : nrows;
        int64_t v = 0;
        if (target >= 0 || !cells.empty() || !ElementText(x, text) || !ParseCount(text, v))
          return false;
        target = v;
        if (ncols >= 0 && nrows >= 0 && !PlausibleSize(ncols, nrows, ncols * nrows)) return false;
        break;
      }
      case TMatXmlTag::xmlMatCell: {
        if (ncols < 0 || nrows < 0) return false;
        const std::string* cs = x.Attribute("col");
        const std::string* rs = x.Attribute("row");
        int64_t c = 0;
        int64_t r = 0;
        if (cs == nullptr || rs == nullptr || !ParseInt(Trim(*cs), c) || !ParseInt(Trim(*rs), r) ||
            c < 1 || c > ncols || r < 1 || r > nrows)
          return false;
        V v{};
        if (!ElementText(x, text) || !ParseCell(Trim(text), v)) return false;
        if (static_cast<int64_t>(cells.size()) >= ncols * nrows) return false;  // a repeat
        const auto index = static_cast<uint32_t>((c - 1) * nrows + (r - 1));
        if (!cells.empty() && index <= cells.back().first) in_order = false;
        Allocate<EORKMatrixError>(Owner, kNoHeap, [&] { cells.emplace_back(index, v); });
        break;
      }
      default:
        if (!x.SkipElement()) return false;  // unknown elements are passed over
    }
  }
  if (ncols < 0 || nrows < 0 || static_cast<int64_t>(cells.size()) != ncols * nrows) return false;
  // Every cell exactly once: with as many cells as elements, that holds when
  // no index repeats. (The writer's column-by-column order needs no sort.)
  if (!in_order) {
    std::sort(cells.begin(), cells.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t k = 1; k < cells.size(); ++k)
      if (cells[k].first == cells[k - 1].first) return false;
  }
  decltype(Out.Values) values;
  Allocate<EORKMatrixError>(Owner, kNoHeap, [&] { values.resize(cells.size()); });
  for (std::size_t k = 0; k < cells.size(); ++k) values[k] = cells[k].second;
  if (Consumed != nullptr) *Consumed = x.Consumed();
  Out.Cols = static_cast<int32_t>(ncols);
  Out.Rows = static_cast<int32_t>(nrows);
  Out.Values = std::move(values);
  Out.Id = std::move(found_id);
  return true;
}

template void WriteMatrixXml<double>(const std::function<void(std::string_view)>&, std::string_view,
                                     bool, const std::string&, int32_t, int32_t,
                                     std::span<const double>);
template void WriteMatrixXml<int32_t>(const std::function<void(std::string_view)>&,
                                      std::string_view, bool, const std::string&, int32_t, int32_t,
                                      std::span<const int32_t>);
template bool ReadMatrixXml<double>(const std::function<int64_t(char*, int64_t)>&,
                                    const std::string&, const corvel::TComponent&,
                                    MatrixContent<double>&, int64_t*);
template bool ReadMatrixXml<int32_t>(const std::function<int64_t(char*, int64_t)>&,
                                     const std::string&, const corvel::TComponent&,
                                     MatrixContent<int32_t>&, int64_t*);

}  // namespace detail

void TMatrix::WriteXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                       bool CreateHeader, const std::string& DataID) const {
  detail::WriteMatrixXml(Sink, LineEnd, CreateHeader, DataID, FNCol, FNRow, Values());
}

bool TMatrix::ReadXml(const std::function<int64_t(char*, int64_t)>& Source,
                      const std::string& DataID, int64_t* Consumed) {
  detail::MatrixContent<double> got;
  if (!detail::ReadMatrixXml(Source, DataID, *this, got, Consumed)) return false;
  TakeOver(got.Cols, got.Rows, std::move(got.Values));
  FDataID = std::move(got.Id);
  Changed();
  return true;
}

void TMatrix::SaveAsXMLFile(const std::string& FName, const std::string& DataID) const {
  TTextWriter out;
  if (!out.Open(FName))
    throw EORKMatrixError(detail::ComponentMsg(*this, "cannot write file \"" + FName + "\""));
  WriteXml([&out](std::string_view s) { out.Write(s); }, "\n", true, DataID);
  if (!out.Close())
    throw EORKMatrixError(detail::ComponentMsg(*this, "cannot write file \"" + FName + "\""));
}

bool TMatrix::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  return detail::XmlFromFile(
      FName, [&](const detail::XmlSource& Src) { return ReadXml(Src, DataID, nullptr); });
}

void TMatrix::WriteToXMLStream(TStream* OutStream, bool CreateHeader,
                               const std::string& DataID) const {
  if (OutStream == nullptr) return;
  WriteXml(detail::XmlStreamSink(OutStream), "\n", CreateHeader, DataID);
}

bool TMatrix::ReadFromXMLStream(TStream* InStream, const std::string& DataID) {
  return detail::XmlFromStream(InStream, [&](const detail::XmlSource& Src, int64_t* Consumed) {
    return ReadXml(Src, DataID, Consumed);
  });
}

void TMatrix::WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader,
                                 const std::string& DataID) const {
  WriteXml(detail::XmlTextSink(OutFile), "\r\n", CreateHeader, DataID);
}

bool TMatrix::ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID) {
  return detail::XmlFromTextFile(
      InFile, [&](const detail::XmlSource& Src) { return ReadXml(Src, DataID, nullptr); });
}

}  // namespace numbra
