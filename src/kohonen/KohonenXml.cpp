// TKohonen XML form, written and read with corvel's streaming writer and
// bounded pull reader (layout in ORK_kohonen.h).
#include "ORK_kohonen.h"
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
#include <tuple>

namespace numbra {

namespace {

using KTag = TKohonenXMLTag;

constexpr std::string_view kTagNames[] = {"sizex",     "sizey",    "comment",    "nrinsens",
                                          "maxneighb", "maxsteps", "maxalpha",   "curstep",
                                          "cyclic",    "cell",     "meanstddev", "kohonen"};

std::string_view Trim(std::string_view s) {
  const auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

// Text content of the current element (at most Limit bytes).
bool ElementText(corvel::TXmlReader& x, std::string& text, std::size_t Limit = 4096) {
  text.clear();
  for (;;) {
    switch (x.Next()) {
      case corvel::TXmlNodeType::xntText:
        text += x.Text();
        if (text.size() > Limit) return false;
        break;
      case corvel::TXmlNodeType::xntEndElement:
        return true;
      default:
        return false;
    }
  }
}

bool IntIn(std::string_view s, int64_t lo, int64_t hi, int64_t& v) {
  return detail::ParseInt(Trim(s), v) && v >= lo && v <= hi;
}

constexpr int64_t kMaxInt = std::numeric_limits<int32_t>::max();

}  // namespace

std::string_view KohonenXMLTagName(TKohonenXMLTag T) noexcept {
  const auto i = static_cast<std::size_t>(T);
  return i < std::size(kTagNames) ? kTagNames[i] : std::string_view();
}

TKohonenXMLTag KohonenXMLTagOf(std::string_view Name) noexcept {
  for (std::size_t i = 0; i < std::size(kTagNames); ++i)
    if (Name == kTagNames[i]) return static_cast<TKohonenXMLTag>(i);
  return KTag::xmlInvalid;
}

void TKohonen::WriteXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                        bool CreateHeader, const std::string& DataID) const {
  std::string buf;
  const auto flush = [&] {
    if (!buf.empty()) Sink(buf);
    buf.clear();
  };
  corvel::TXmlWriter w(
      [&](std::string_view s) {
        buf += s;
        if (buf.size() >= (1U << 16)) flush();
      },
      std::string(LineEnd));
  const auto name = [](KTag t) { return KohonenXMLTagName(t); };
  if (CreateHeader) w.Declaration();
  w.StartElement(name(KTag::xmlEndKohonen), {{"dataid", DataID}});
  w.TextElement(name(KTag::xmlSizeX), std::to_string(FSizeX));
  w.TextElement(name(KTag::xmlSizeY), std::to_string(FSizeY));
  w.TextElement(name(KTag::xmlNrInsens), std::to_string(FNrInSens));
  w.TextElement(name(KTag::xmlComment), FComment);
  w.TextElement(name(KTag::xmlMaxNeighb), std::to_string(FMaxNeighb));
  w.TextElement(name(KTag::xmlMaxSteps), std::to_string(FMaxSteps));
  w.TextElement(name(KTag::xmlMaxAlpha), detail::FormatFull(FMaxAlpha));
  w.TextElement(name(KTag::xmlCurStep), std::to_string(FCurStep));
  w.TextElement(name(KTag::xmlCyclic), FCyclic ? "true" : "false");
  for (int32_t k = 1; k <= FNrInSens; ++k)
    w.TextElement(name(KTag::xmlMeanStdDev), "",
                  {{"input", std::to_string(k)},
                   {"mean", detail::FormatFull(MeanVec->GetVal(k))},
                   {"stddev", detail::FormatFull(StdDevVec->GetVal(k))}});
  for (int32_t x = 1; x <= FSizeX; ++x) {
    const std::string xs = std::to_string(x);
    for (int32_t y = 1; y <= FSizeY; ++y) {
      const std::string ys = std::to_string(y);
      for (int32_t k = 1; k <= FNrInSens; ++k)
        w.TextElement(name(KTag::xmlCell), detail::FormatFull(FKohMat->GetVal(x, y, k)),
                      {{"x", xs}, {"y", ys}, {"w", std::to_string(k)}});
    }
  }
  w.EndElement();
  flush();
}

bool TKohonen::ReadXml(const std::function<int64_t(char*, int64_t)>& Source,
                       const std::string& DataID, int64_t* Consumed) {
  corvel::TXmlReader x(Source);
  const std::string root(KohonenXMLTagName(KTag::xmlEndKohonen));
  for (;;) {
    const auto t = x.Next();
    if (t == corvel::TXmlNodeType::xntError || t == corvel::TXmlNodeType::xntEndOfInput)
      return false;
    if (t != corvel::TXmlNodeType::xntStartElement || x.Name() != root) continue;
    const std::string* id = x.Attribute("dataid");
    if (DataID.empty() || (id != nullptr && *id == DataID)) break;
    if (!x.SkipElement()) return false;
  }
  const int32_t depth = x.Depth();
  int64_t sx = -1, sy = -1, nk = -1, total = -1;
  std::string comment = FComment;
  int64_t maxneighb = FMaxNeighb, maxsteps = FMaxSteps, curstep = FCurStep;
  double maxalpha = FMaxAlpha;
  bool cyclic = FCyclic;
  // Collected as they come: memory grows with what the input holds.
  std::vector<std::pair<uint32_t, double>> cells;
  std::vector<std::tuple<uint32_t, double, double>> stats;
  std::string text;
  int64_t v = 0;
  for (;;) {
    const auto t = x.Next();
    if (t == corvel::TXmlNodeType::xntEndElement && x.Depth() == depth - 1) break;
    if (t == corvel::TXmlNodeType::xntText) continue;
    if (t != corvel::TXmlNodeType::xntStartElement) return false;
    const KTag tag = KohonenXMLTagOf(x.Name());
    switch (tag) {
      case KTag::xmlSizeX:
      case KTag::xmlSizeY:
      case KTag::xmlNrInsens: {
        int64_t& target = tag == KTag::xmlSizeX ? sx : tag == KTag::xmlSizeY ? sy : nk;
        if (target >= 0 || !cells.empty() || !stats.empty() || !ElementText(x, text) ||
            !IntIn(text, 1, kMaxInt, v))
          return false;
        target = v;
        if (sx > 0 && sy > 0 && nk > 0) {
          if (sx > detail::kMaxCellsFromFile || sy > detail::kMaxCellsFromFile ||
              sx * sy > detail::kMaxCellsFromFile || sx * sy * nk > detail::kMaxCellsFromFile)
            return false;
          total = sx * sy * nk;
        }
        break;
      }
      case KTag::xmlComment:
        if (!ElementText(x, text, 1U << 20)) return false;
        comment = text;
        break;
      case KTag::xmlMaxNeighb:
        if (!ElementText(x, text) || !IntIn(text, 0, kMaxInt, maxneighb)) return false;
        break;
      case KTag::xmlMaxSteps:
        if (!ElementText(x, text) || !IntIn(text, 1, kMaxInt, maxsteps)) return false;
        break;
      case KTag::xmlCurStep:
        if (!ElementText(x, text) || !IntIn(text, 0, kMaxInt, curstep)) return false;
        break;
      case KTag::xmlMaxAlpha:
        if (!ElementText(x, text) || !detail::ParseDouble(Trim(text), maxalpha) ||
            !std::isfinite(maxalpha))
          return false;
        break;
      case KTag::xmlCyclic: {
        if (!ElementText(x, text)) return false;
        const std::string_view s = Trim(text);
        if (s == "true" || s == "1")
          cyclic = true;
        else if (s == "false" || s == "0")
          cyclic = false;
        else
          return false;
        break;
      }
      case KTag::xmlMeanStdDev: {
        if (total < 0) return false;
        const std::string* in = x.Attribute("input");
        const std::string* ms = x.Attribute("mean");
        const std::string* ss = x.Attribute("stddev");
        double m = 0, s = 0;
        if (in == nullptr || ms == nullptr || ss == nullptr || !IntIn(*in, 1, nk, v) ||
            !detail::ParseDouble(Trim(*ms), m) || !detail::ParseDouble(Trim(*ss), s) ||
            !ElementText(x, text) || !Trim(text).empty() ||
            static_cast<int64_t>(stats.size()) >= nk)
          return false;
        stats.emplace_back(static_cast<uint32_t>(v - 1), m, s);
        break;
      }
      case KTag::xmlCell: {
        if (total < 0) return false;
        const std::string* xs = x.Attribute("x");
        const std::string* ys = x.Attribute("y");
        const std::string* ws = x.Attribute("w");
        int64_t cx = 0, cy = 0, ck = 0;
        double value = 0;
        if (xs == nullptr || ys == nullptr || ws == nullptr || !IntIn(*xs, 1, sx, cx) ||
            !IntIn(*ys, 1, sy, cy) || !IntIn(*ws, 1, nk, ck) || !ElementText(x, text) ||
            !detail::ParseDouble(Trim(text), value) || static_cast<int64_t>(cells.size()) >= total)
          return false;
        cells.emplace_back(static_cast<uint32_t>(((cx - 1) * sy + (cy - 1)) * nk + (ck - 1)),
                           value);
        break;
      }
      default:
        if (!x.SkipElement()) return false;
    }
  }
  if (total < 0 || static_cast<int64_t>(cells.size()) != total ||
      static_cast<int64_t>(stats.size()) != nk)
    return false;
  // Exactly once each: as many entries as places, and no place twice.
  std::sort(cells.begin(), cells.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::sort(stats.begin(), stats.end(),
            [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
  for (std::size_t k = 1; k < cells.size(); ++k)
    if (cells[k].first == cells[k - 1].first) return false;
  for (std::size_t k = 1; k < stats.size(); ++k)
    if (std::get<0>(stats[k]) == std::get<0>(stats[k - 1])) return false;
  // Build everything before the map is touched.
  auto weights = std::make_unique<TMat3D>();
  weights->Resize(static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(nk));
  for (std::size_t k = 0; k < cells.size(); ++k) weights->Mat[k] = cells[k].second;
  auto means = std::make_unique<TVector>();
  auto sds = std::make_unique<TVector>();
  means->SetVecSize(static_cast<int32_t>(nk));
  sds->SetVecSize(static_cast<int32_t>(nk));
  for (const auto& [i, m, s] : stats) {
    means->SetVal(static_cast<int32_t>(i) + 1, m);
    sds->SetVal(static_cast<int32_t>(i) + 1, s);
  }
  // Training data of the same inputs stay, so that a map read back can go
  // on training on them.
  std::unique_ptr<TMatrix> data;
  if (FDataMat->NrOfColumns() != nk) {
    data = std::make_unique<TMatrix>();
    data->Resize(static_cast<int32_t>(nk), 1);
  }
  FSizeX = static_cast<int32_t>(sx);
  FSizeY = static_cast<int32_t>(sy);
  FNrInSens = static_cast<int32_t>(nk);
  FKohMat = std::move(weights);
  MeanVec = std::move(means);
  StdDevVec = std::move(sds);
  if (data) {
    FDataMat = std::move(data);
    FNrTrnObj = 1;
  }
  FComment = comment;
  FMaxNeighb = static_cast<int32_t>(maxneighb);
  FMaxSteps = static_cast<int32_t>(maxsteps);
  FCurStep = static_cast<int32_t>(curstep);
  FMaxAlpha = maxalpha;
  FCyclic = cyclic;
  if (Consumed != nullptr) *Consumed = x.Consumed();
  return true;
}

void TKohonen::SaveAsXMLFile(const std::string& FName, const std::string& DataID) const {
  TTextWriter out;
  if (!out.Open(FName)) throw EInOutError("Cannot write file \"" + FName + "\"");
  WriteXml([&out](std::string_view s) { out.Write(s); }, "\n", true, DataID);
  if (!out.Close()) throw EInOutError("Cannot write file \"" + FName + "\"");
}

bool TKohonen::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  return detail::XmlFromFile(
      FName, [&](const detail::XmlSource& Src) { return ReadXml(Src, DataID, nullptr); });
}

void TKohonen::WriteToXMLStream(TStream* OutStream, bool CreateHeader,
                                const std::string& DataID) const {
  if (OutStream == nullptr) return;
  WriteXml(detail::XmlStreamSink(OutStream), "\n", CreateHeader, DataID);
}

bool TKohonen::ReadFromXMLStream(TStream* InStream, const std::string& DataID) {
  return detail::XmlFromStream(InStream, [&](const detail::XmlSource& Src, int64_t* Consumed) {
    return ReadXml(Src, DataID, Consumed);
  });
}

void TKohonen::WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader,
                                  const std::string& DataID) const {
  WriteXml(detail::XmlTextSink(OutFile), "\r\n", CreateHeader, DataID);
}

bool TKohonen::ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID) {
  return detail::XmlFromTextFile(
      InFile, [&](const detail::XmlSource& Src) { return ReadXml(Src, DataID, nullptr); });
}

}  // namespace numbra
