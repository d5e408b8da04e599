// XML forms of TMat3D and TMat4D, written and read with corvel's streaming
// writer and bounded pull reader in the manner of the TMatrix XML form: the
// element <mat3d> or <mat4d> with a dataid attribute, the sizes, then one
// <cell> per element with its 1-based position as attributes.
#include "ORK_matrix.h"
#include "corvel_xml.h"
#include "foundation/frame_detail.h"
#include "foundation/xml_io_detail.h"
#include "matrix/mat4d_detail.h"
#include "matrix/matrix_io_detail.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace numbra {

namespace {

constexpr std::string_view kNoHeap = "not enough memory on heap";
constexpr std::array<TMatXmlTag, 4> kSizeTags{TMatXmlTag::xmlMatNumCols, TMatXmlTag::xmlMatNumRows,
                                              TMatXmlTag::xmlMatNumLayers,
                                              TMatXmlTag::xmlMatNumTimeSlots};
constexpr std::array<std::string_view, 4> kPosAttrs{"col", "row", "layer", "tslot"};

std::string_view Trim(std::string_view s) {
  const auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

// The text content of the current element up to its end tag; false when it
// holds an element, is longer than any number, or the XML breaks.
bool ElementText(corvel::TXmlReader& x, std::string& text) {
  text.clear();
  for (;;) {
    switch (x.Next()) {
      case corvel::TXmlNodeType::xntText:
        text += x.Text();
        if (text.size() > 4096) return false;
        break;
      case corvel::TXmlNodeType::xntEndElement:
        return true;
      default:
        return false;
    }
  }
}

// What a reader found: sizes, the values in storage order, the identifier.
struct ArrayXml {
  std::array<int64_t, 4> size{1, 1, 1, 1};
  std::vector<double> values;
  std::string id;
};

// Reads the first element named Tag with a matching dataid. Dims sizes must
// come first; Index maps a 1-based position to its storage index.
template <class IndexFn>
bool ReadArrayXml(const std::function<int64_t(char*, int64_t)>& Source, const std::string& DataID,
                  std::string_view Tag, int Dims, const TComponent& C, IndexFn&& Index,
                  ArrayXml& out, int64_t* Consumed) {
  corvel::TXmlReader x(Source);
  for (;;) {
    const auto t = x.Next();
    if (t == corvel::TXmlNodeType::xntError || t == corvel::TXmlNodeType::xntEndOfInput)
      return false;
    if (t != corvel::TXmlNodeType::xntStartElement || x.Name() != Tag) continue;
    const std::string* id = x.Attribute("dataid");
    out.id = id != nullptr ? *id : std::string();
    if (DataID.empty() || out.id == DataID) break;
    if (!x.SkipElement()) return false;
  }
  const int32_t depth = x.Depth();
  std::array<int64_t, 4> size{-1, -1, -1, -1};
  for (int d = Dims; d < 4; ++d) size[static_cast<std::size_t>(d)] = 1;
  int64_t total = -1;  // known once every size is
  std::vector<std::pair<uint32_t, double>> cells;
  bool in_order = true;
  std::string text;
  for (;;) {
    const auto t = x.Next();
    if (t == corvel::TXmlNodeType::xntEndElement && x.Depth() == depth - 1) break;
    if (t == corvel::TXmlNodeType::xntText) continue;
    if (t != corvel::TXmlNodeType::xntStartElement) return false;
    const TMatXmlTag tag = MatXmlTagOf(x.Name());
    const auto size_at = std::find(kSizeTags.begin(), kSizeTags.begin() + Dims, tag);
    if (size_at != kSizeTags.begin() + Dims) {
      int64_t& target = size[static_cast<std::size_t>(size_at - kSizeTags.begin())];
      int64_t v = 0;
      if (target >= 0 || !cells.empty() || !ElementText(x, text) ||
          !detail::ParseInt(Trim(text), v) || v < 1 || v > std::numeric_limits<int32_t>::max())
        return false;
      target = v;
      if (std::all_of(size.begin(), size.end(), [](int64_t s) { return s >= 0; })) {
        // Every size at most 2^27 and so is their product, formed stepwise
        // so that it cannot overflow.
        total = 1;
        for (const int64_t s : size) {
          total *= s;
          if (total > detail::kMaxCellsFromFile) return false;
        }
      }
    } else if (tag == TMatXmlTag::xmlMatCell) {
      if (total < 0) return false;
      std::array<int32_t, 4> pos{1, 1, 1, 1};
      for (int d = 0; d < Dims; ++d) {
        const std::string* a = x.Attribute(kPosAttrs[static_cast<std::size_t>(d)]);
        int64_t p = 0;
        if (a == nullptr || !detail::ParseInt(Trim(*a), p) || p < 1 ||
            p > size[static_cast<std::size_t>(d)])
          return false;
        pos[static_cast<std::size_t>(d)] = static_cast<int32_t>(p);
      }
      double v = 0.0;
      if (!ElementText(x, text) || !detail::ParseDouble(Trim(text), v)) return false;
      if (static_cast<int64_t>(cells.size()) >= total) return false;  // a repeat
      const auto index = static_cast<uint32_t>(Index(size, pos));
      if (!cells.empty() && index <= cells.back().first) in_order = false;
      detail::Allocate<EORKMatrixError>(C, kNoHeap, [&] { cells.emplace_back(index, v); });
    } else if (!x.SkipElement()) {
      return false;  // unknown elements are passed over
    }
  }
  if (total < 0 || static_cast<int64_t>(cells.size()) != total) return false;
  if (!in_order) {
    std::sort(cells.begin(), cells.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t k = 1; k < cells.size(); ++k)
      if (cells[k].first == cells[k - 1].first) return false;
  }
  detail::Allocate<EORKMatrixError>(C, kNoHeap, [&] { out.values.resize(cells.size()); });
  for (std::size_t k = 0; k < cells.size(); ++k) out.values[k] = cells[k].second;
  out.size = size;
  if (Consumed != nullptr) *Consumed = x.Consumed();
  return true;
}

// Hands written text on in pieces of about 64 KiB.
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

void SaveXmlFile(const TComponent& C, const std::string& FName,
                 const std::function<void(const std::function<void(std::string_view)>&)>& Write) {
  TTextWriter out;
  if (!out.Open(FName))
    throw EORKMatrixError(detail::ComponentMsg(C, "cannot write file \"" + FName + "\""));
  Write([&out](std::string_view s) { out.Write(s); });
  if (!out.Close())
    throw EORKMatrixError(detail::ComponentMsg(C, "cannot write file \"" + FName + "\""));
}

}  // namespace

// ---- TMat3D ------------------------------------------------------------------------

void TMat3D::WriteXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                      bool CreateHeader, const std::string& DataID) const {
  ChunkedSink sink(Sink);
  corvel::TXmlWriter w([&sink](std::string_view s) { sink(s); }, std::string(LineEnd));
  if (CreateHeader) w.Declaration();
  w.StartElement("mat3d", {{"dataid", DataID}});
  w.TextElement(MatXmlTagName(TMatXmlTag::xmlMatNumCols), std::to_string(FNumX));
  w.TextElement(MatXmlTagName(TMatXmlTag::xmlMatNumRows), std::to_string(FNumY));
  w.TextElement(MatXmlTagName(TMatXmlTag::xmlMatNumLayers), std::to_string(FNumZ));
  for (int32_t x = 1; x <= FNumX; ++x) {
    const std::string xs = std::to_string(x);
    for (int32_t y = 1; y <= FNumY; ++y) {
      const std::string ys = std::to_string(y);
      for (int32_t z = 1; z <= FNumZ; ++z)
        w.TextElement(MatXmlTagName(TMatXmlTag::xmlMatCell), detail::FormatFull(Mat[Idx(x, y, z)]),
                      {{"col", xs}, {"row", ys}, {"layer", std::to_string(z)}});
    }
  }
  w.EndElement();
  sink.Flush();
}

bool TMat3D::ReadXml(const std::function<int64_t(char*, int64_t)>& Source,
                     const std::string& DataID, int64_t* Consumed) {
  ArrayXml a;
  const auto index = [](const std::array<int64_t, 4>& s, const std::array<int32_t, 4>& p) {
    return ((int64_t{p[0]} - 1) * s[1] + (p[1] - 1)) * s[2] + (p[2] - 1);
  };
  if (!ReadArrayXml(Source, DataID, "mat3d", 3, *this, index, a, Consumed)) return false;
  Mat.swap(a.values);
  FNumX = static_cast<int32_t>(a.size[0]);
  FNumY = static_cast<int32_t>(a.size[1]);
  FNumZ = static_cast<int32_t>(a.size[2]);
  FDataID = a.id;
  Changed();
  return true;
}

void TMat3D::SaveAsXMLFile(const std::string& FName, const std::string& DataID) const {
  SaveXmlFile(*this, FName, [&](const auto& sink) { WriteXml(sink, "\n", true, DataID); });
}

bool TMat3D::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  return detail::XmlFromFile(FName, [&](auto&& src) { return ReadXml(src, DataID, nullptr); });
}

void TMat3D::WriteToXMLStream(TStream* OutStream, bool CreateHeader,
                              const std::string& DataID) const {
  if (OutStream == nullptr) return;
  WriteXml(detail::XmlStreamSink(OutStream), "\n", CreateHeader, DataID);
}

bool TMat3D::ReadFromXMLStream(TStream* InStream, const std::string& DataID) {
  return detail::XmlFromStream(InStream, [&](const detail::XmlSource& Src, int64_t* Consumed) {
    return ReadXml(Src, DataID, Consumed);
  });
}

void TMat3D::WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader,
                                const std::string& DataID) const {
  WriteXml(detail::XmlTextSink(OutFile), "\r\n", CreateHeader, DataID);
}

bool TMat3D::ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID) {
  return detail::XmlFromTextFile(InFile, [&](auto&& src) { return ReadXml(src, DataID, nullptr); });
}

// ---- TMat4D ------------------------------------------------------------------------

void TMat4D::WriteXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                      bool CreateHeader, const std::string& DataID) const {
  ChunkedSink sink(Sink);
  corvel::TXmlWriter w([&sink](std::string_view s) { sink(s); }, std::string(LineEnd));
  if (CreateHeader) w.Declaration();
  w.StartElement("mat4d", {{"dataid", DataID}});
  w.TextElement(MatXmlTagName(TMatXmlTag::xmlMatNumCols), std::to_string(FNumX));
  w.TextElement(MatXmlTagName(TMatXmlTag::xmlMatNumRows), std::to_string(FNumY));
  w.TextElement(MatXmlTagName(TMatXmlTag::xmlMatNumLayers), std::to_string(FNumZ));
  w.TextElement(MatXmlTagName(TMatXmlTag::xmlMatNumTimeSlots), std::to_string(FNumT));
  for (int32_t t = 1; t <= FNumT; ++t) {
    const std::string ts = std::to_string(t);
    for (int32_t z = 1; z <= FNumZ; ++z) {
      const std::string zs = std::to_string(z);
      for (int32_t y = 1; y <= FNumY; ++y) {
        const std::string ys = std::to_string(y);
        for (int32_t x = 1; x <= FNumX; ++x)
          w.TextElement(MatXmlTagName(TMatXmlTag::xmlMatCell),
                        detail::FormatFull(Mat[Idx(x, y, z, t)]),
                        {{"col", std::to_string(x)}, {"row", ys}, {"layer", zs}, {"tslot", ts}});
      }
    }
  }
  w.EndElement();
  sink.Flush();
}

bool TMat4D::ReadXml(const std::function<int64_t(char*, int64_t)>& Source,
                     const std::string& DataID) {
  ArrayXml a;
  const auto index = [](const std::array<int64_t, 4>& s, const std::array<int32_t, 4>& p) {
    return (((int64_t{p[3]} - 1) * s[2] + (p[2] - 1)) * s[1] + (p[1] - 1)) * s[0] + (p[0] - 1);
  };
  if (!ReadArrayXml(Source, DataID, "mat4d", 4, *this, index, a, nullptr)) return false;
  TakeOver(static_cast<int32_t>(a.size[0]), static_cast<int32_t>(a.size[1]),
           static_cast<int32_t>(a.size[2]), static_cast<int32_t>(a.size[3]), std::move(a.values));
  FDataID = a.id;
  Changed();
  return true;
}

void TMat4D::SaveAsXMLFile(const std::string& FName, const std::string& DataID) const {
  SaveXmlFile(*this, FName, [&](const auto& sink) { WriteXml(sink, "\n", true, DataID); });
}

bool TMat4D::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  return detail::XmlFromFile(FName, [&](auto&& src) { return ReadXml(src, DataID); });
}

void TMat4D::WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader,
                                const std::string& DataID) const {
  WriteXml(detail::XmlTextSink(OutFile), "\r\n", CreateHeader, DataID);
}

bool TMat4D::ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID) {
  return detail::XmlFromTextFile(InFile, [&](auto&& src) { return ReadXml(src, DataID); });
}

}  // namespace numbra
