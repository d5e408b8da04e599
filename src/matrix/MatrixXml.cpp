// TMatrix XML form, written and read with corvel's streaming XML writer and
// bounded pull reader.
#include "ORK_matrix.h"
#include "corvel_xml.h"
#include "foundation/frame_detail.h"
#include "foundation/xml_io_detail.h"
#include "matrix/matrix_io_detail.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

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

}  // namespace

void TMatrix::WriteXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                       bool CreateHeader, const std::string& DataID) const {
  ChunkedSink sink(Sink);
  corvel::TXmlWriter w([&sink](std::string_view s) { sink(s); }, std::string(LineEnd));
  if (CreateHeader) w.Declaration();
  w.StartElement(XmlTag(TMatXmlTag::xmlMatBegin), {{"dataid", DataID}});
  w.TextElement(XmlTag(TMatXmlTag::xmlMatNumCols), std::to_string(FNCol));
  w.TextElement(XmlTag(TMatXmlTag::xmlMatNumRows), std::to_string(FNRow));
  for (int32_t c = 1; c <= FNCol; ++c) {
    const std::string cs = std::to_string(c);
    for (int32_t r = 1; r <= FNRow; ++r)
      w.TextElement(XmlTag(TMatXmlTag::xmlMatCell), detail::FormatFull(Mat[Idx(c, r)]),
                    {{"col", cs}, {"row", std::to_string(r)}});
  }
  w.EndElement();
  sink.Flush();
}

bool TMatrix::ReadXml(const std::function<int64_t(char*, int64_t)>& Source,
                      const std::string& DataID, int64_t* Consumed) {
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
  std::vector<std::pair<uint32_t, double>> cells;  // (column-major index, value)
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
        if (ncols >= 0 && nrows >= 0 && !detail::PlausibleSize(ncols, nrows, ncols * nrows))
          return false;
        break;
      }
      case TMatXmlTag::xmlMatCell: {
        if (ncols < 0 || nrows < 0) return false;
        const std::string* cs = x.Attribute("col");
        const std::string* rs = x.Attribute("row");
        int64_t c = 0;
        int64_t r = 0;
        if (cs == nullptr || rs == nullptr || !detail::ParseInt(Trim(*cs), c) ||
            !detail::ParseInt(Trim(*rs), r) || c < 1 || c > ncols || r < 1 || r > nrows)
          return false;
        double v = 0.0;
        if (!ElementText(x, text) || !detail::ParseDouble(Trim(text), v)) return false;
        if (static_cast<int64_t>(cells.size()) >= ncols * nrows) return false;  // a repeat
        const auto index = static_cast<uint32_t>((c - 1) * nrows + (r - 1));
        if (!cells.empty() && index <= cells.back().first) in_order = false;
        detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { cells.emplace_back(index, v); });
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
  std::vector<double> values;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { values.resize(cells.size()); });
  for (std::size_t k = 0; k < cells.size(); ++k) values[k] = cells[k].second;
  if (Consumed != nullptr) *Consumed = x.Consumed();
  TakeOver(static_cast<int32_t>(ncols), static_cast<int32_t>(nrows), std::move(values));
  FDataID = found_id;
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
