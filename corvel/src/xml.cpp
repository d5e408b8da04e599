// Streaming XML writer and bounded pull reader (see corvel_xml.h).
#include "corvel_xml.h"

#include <algorithm>
#include <cstring>

namespace corvel {

namespace {

constexpr int64_t kChunk = 64 * 1024;
constexpr int kEof = -1;

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(int c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// UTF-8 encoding of a code point already checked to be valid.
void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

// ---- escaping and names ------------------------------------------------------

std::string XmlEscape(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (const char ch : Text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "&#";
          out += std::to_string(c);
          out += ';';
        } else {
          out.push_back(ch);
        }
    }
  }
  return out;
}

bool IsXmlName(std::string_view Name) noexcept {
  if (Name.empty() || !IsNameStart(static_cast<unsigned char>(Name[0]))) return false;
  return std::all_of(Name.begin(), Name.end(),
                     [](char c) { return IsNameChar(static_cast<unsigned char>(c)); });
}

// ---- writer ----------------------------------------------------------------

TXmlWriter::TXmlWriter(TSink Sink, std::string LineEnd)
    : sink_(std::move(Sink)), line_end_(std::move(LineEnd)) {}

void TXmlWriter::Declaration() {
  sink_(R"(<?xml version="1.0" encoding="UTF-8"?>)");
  sink_(line_end_);
}

void TXmlWriter::OpenTag(std::string_view Name, TAttributes Attributes) {
  line_.assign(2 * open_.size(), ' ');
  line_ += '<';
  line_ += Name;
  for (const auto& [name, value] : Attributes) {
    line_ += ' ';
    line_ += name;
    line_ += "=\"";
    line_ += XmlEscape(value);
    line_ += '"';
  }
  line_ += '>';
}

void TXmlWriter::StartElement(std::string_view Name, TAttributes Attributes) {
  OpenTag(Name, Attributes);
  line_ += line_end_;
  sink_(line_);
  open_.emplace_back(Name);
}

void TXmlWriter::EndElement() {
  if (open_.empty()) return;
  const std::string name = std::move(open_.back());
  open_.pop_back();
  line_.assign(2 * open_.size(), ' ');
  line_ += "</";
  line_ += name;
  line_ += '>';
  line_ += line_end_;
  sink_(line_);
}

void TXmlWriter::TextElement(std::string_view Name, std::string_view Text, TAttributes Attributes) {
  OpenTag(Name, Attributes);
  line_ += XmlEscape(Text);
  line_ += "</";
  line_ += Name;
  line_ += '>';
  line_ += line_end_;
  sink_(line_);
}

// ---- reader: input ---------------------------------------------------------------

TXmlReader::TXmlReader(TSource Source, TXmlLimits Limits)
    : source_(std::move(Source)), limits_(Limits) {}

TXmlReader::~TXmlReader() = default;

bool TXmlReader::Refill() {
  if (source_done_) return false;
  // Drop what has been consumed, then append one chunk.
  buf_.erase(0, pos_);
  base_ += static_cast<int64_t>(pos_);
  pos_ = 0;
  const std::size_t old = buf_.size();
  buf_.resize(old + kChunk);
  int64_t got = source_ ? source_(buf_.data() + old, kChunk) : 0;
  if (got < 0) got = 0;
  if (got > kChunk) got = kChunk;
  buf_.resize(old + static_cast<std::size_t>(got));
  if (got == 0) source_done_ = true;
  return got > 0;
}

int TXmlReader::Peek() {
  if (pos_ >= buf_.size() && !Refill()) return kEof;
  return static_cast<unsigned char>(buf_[pos_]);
}

int TXmlReader::Get() {
  const int c = Peek();
  if (c != kEof) ++pos_;
  return c;
}

bool TXmlReader::StartsWith(std::string_view s) {
  while (buf_.size() - pos_ < s.size())
    if (!Refill()) return false;
  return std::string_view(buf_).substr(pos_, s.size()) == s;
}

TXmlNodeType TXmlReader::Fail(std::string Message) {
  error_ =
      std::move(Message) + " (at byte " + std::to_string(base_ + static_cast<int64_t>(pos_)) + ")";
  type_ = TXmlNodeType::xntError;
  return type_;
}

void TXmlReader::SkipSpace() {
  while (IsSpace(Peek())) ++pos_;
}

bool TXmlReader::SkipUntil(std::string_view Terminator) {
  // Scans without keeping anything, so a long comment costs no memory.
  for (;;) {
    if (StartsWith(Terminator)) {
      pos_ += Terminator.size();
      return true;
    }
    if (Get() == kEof) return false;
  }
}

bool TXmlReader::ReadName(std::string& Out) {
  Out.clear();
  if (!IsNameStart(Peek())) {
    Fail("name expected");
    return false;
  }
  while (IsNameChar(Peek())) {
    if (static_cast<int64_t>(Out.size()) >= limits_.MaxNameLength) {
      Fail("name longer than " + std::to_string(limits_.MaxNameLength) + " bytes");
      return false;
    }
    Out.push_back(static_cast<char>(Get()));
  }
  return true;
}

bool TXmlReader::ReadReference(std::string& Out) {
  // Called after '&': the five predefined entities and &#n; / &#xh;.
  std::string ref;
  for (;;) {
    const int c = Get();
    if (c == ';') break;
    if (c == kEof || ref.size() >= 12) {
      Fail("unterminated or overlong reference");
      return false;
    }
    ref.push_back(static_cast<char>(c));
  }
  if (ref == "lt") {
    Out.push_back('<');
  } else if (ref == "gt") {
    Out.push_back('>');
  } else if (ref == "amp") {
    Out.push_back('&');
  } else if (ref == "quot") {
    Out.push_back('"');
  } else if (ref == "apos") {
    Out.push_back('\'');
  } else if (ref.size() >= 2 && ref[0] == '#') {
    const bool hex = ref[1] == 'x';
    const std::size_t first = hex ? 2 : 1;
    if (first >= ref.size()) {
      Fail("empty character reference");
      return false;
    }
    uint32_t cp = 0;
    for (std::size_t i = first; i < ref.size(); ++i) {
      const char c = ref[i];
      uint32_t d = 0;
      if (c >= '0' && c <= '9')
        d = static_cast<uint32_t>(c - '0');
      else if (hex && c >= 'a' && c <= 'f')
        d = static_cast<uint32_t>(c - 'a' + 10);
      else if (hex && c >= 'A' && c <= 'F')
        d = static_cast<uint32_t>(c - 'A' + 10);
      else {
        Fail("bad character reference &" + ref + ";");
        return false;
      }
      cp = cp * (hex ? 16 : 10) + d;
      if (cp > 0x10FFFF) break;
    }
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      Fail("character reference &" + ref + "; is not a character");
      return false;
    }
    AppendUtf8(Out, cp);
  } else {
    Fail("undefined entity &" + ref + ";");
    return false;
  }
  return true;
}

// ---- reader: nodes ---------------------------------------------------------------

const std::string* TXmlReader::Attribute(std::string_view AttrName) const noexcept {
  for (const auto& a : attrs_)
    if (a.Name == AttrName) return &a.Value;
  return nullptr;
}

TXmlNodeType TXmlReader::Next() {
  if (type_ == TXmlNodeType::xntError || type_ == TXmlNodeType::xntEndOfInput) return type_;
  name_.clear();
  text_.clear();
  attrs_.clear();
  if (pending_end_) {
    // The end of an empty element <name/>.
    pending_end_ = false;
    name_ = stack_.back();
    stack_.pop_back();
    type_ = TXmlNodeType::xntEndElement;
    return type_;
  }
  for (;;) {
    const int c = Peek();
    if (c == kEof) {
      if (!stack_.empty()) return Fail("input ends inside element <" + stack_.back() + ">");
      type_ = TXmlNodeType::xntEndOfInput;
      node_end_ = base_ + static_cast<int64_t>(pos_);
      return type_;
    }
    if (c != '<') return ReadText();
    if (StartsWith("<?")) {
      if (!SkipUntil("?>")) return Fail("unterminated processing instruction");
      continue;
    }
    if (StartsWith("<!--")) {
      pos_ += 4;
      if (!SkipUntil("-->")) return Fail("unterminated comment");
      continue;
    }
    if (StartsWith("<![CDATA[")) return ReadText();
    if (StartsWith("<!")) return Fail("document type declarations are not supported");
    if (StartsWith("</")) return ReadEndTag();
    return ReadStartTag();
  }
}

TXmlNodeType TXmlReader::ReadStartTag() {
  ++pos_;  // '<'
  if (!ReadName(name_)) return type_;
  for (;;) {
    const bool had_space = IsSpace(Peek());
    SkipSpace();
    const int c = Peek();
    if (c == '>' || c == '/') break;
    if (c == kEof) return Fail("input ends inside a tag");
    if (!had_space) return Fail("blank expected between attributes");
    if (static_cast<int32_t>(attrs_.size()) >= limits_.MaxAttributes)
      return Fail("more than " + std::to_string(limits_.MaxAttributes) + " attributes");
    TXmlAttribute a;
    if (!ReadName(a.Name)) return type_;
    for (const auto& other : attrs_)
      if (other.Name == a.Name) return Fail("attribute " + a.Name + " given twice");
    SkipSpace();
    if (Get() != '=') return Fail("'=' expected after attribute " + a.Name);
    SkipSpace();
    const int quote = Get();
    if (quote != '"' && quote != '\'') return Fail("quoted value expected for " + a.Name);
    for (;;) {
      const int v = Get();
      if (v == quote) break;
      if (v == kEof) return Fail("input ends inside an attribute value");
      if (v == '<') return Fail("'<' in attribute value");
      if (v == '&') {
        if (!ReadReference(a.Value)) return type_;
      } else {
        // Attribute-value normalisation: literal white space becomes a blank.
        a.Value.push_back(IsSpace(v) ? ' ' : static_cast<char>(v));
      }
      if (static_cast<int64_t>(a.Value.size()) > limits_.MaxAttributeLength)
        return Fail("attribute value longer than " + std::to_string(limits_.MaxAttributeLength) +
                    " bytes");
    }
    attrs_.push_back(std::move(a));
  }
  bool empty = false;
  if (Peek() == '/') {
    ++pos_;
    empty = true;
  }
  if (Get() != '>') return Fail("'>' expected");
  if (static_cast<int32_t>(stack_.size()) >= limits_.MaxDepth)
    return Fail("elements nested deeper than " + std::to_string(limits_.MaxDepth));
  stack_.push_back(name_);
  pending_end_ = empty;
  type_ = TXmlNodeType::xntStartElement;
  node_end_ = base_ + static_cast<int64_t>(pos_);
  return type_;
}

TXmlNodeType TXmlReader::ReadEndTag() {
  pos_ += 2;  // "</"
  if (!ReadName(name_)) return type_;
  SkipSpace();
  if (Get() != '>') return Fail("'>' expected");
  if (stack_.empty()) return Fail("end tag </" + name_ + "> without a start tag");
  if (stack_.back() != name_)
    return Fail("end tag </" + name_ + "> does not match <" + stack_.back() + ">");
  stack_.pop_back();
  type_ = TXmlNodeType::xntEndElement;
  node_end_ = base_ + static_cast<int64_t>(pos_);
  return type_;
}

TXmlNodeType TXmlReader::ReadText() {
  // Character data and CDATA sections up to the next tag, merged.
  for (;;) {
    const int c = Peek();
    if (c == kEof) break;
    if (c == '<') {
      if (!StartsWith("<![CDATA[")) break;
      pos_ += 9;
      for (;;) {
        if (StartsWith("]]>")) {
          pos_ += 3;
          break;
        }
        const int d = Get();
        if (d == kEof) return Fail("unterminated CDATA section");
        text_.push_back(static_cast<char>(d));
        if (static_cast<int64_t>(text_.size()) > limits_.MaxTextLength) break;
      }
    } else if (c == '&') {
      ++pos_;
      if (!ReadReference(text_)) return type_;
    } else {
      text_.push_back(static_cast<char>(Get()));
    }
    if (static_cast<int64_t>(text_.size()) > limits_.MaxTextLength)
      return Fail("text longer than " + std::to_string(limits_.MaxTextLength) + " bytes");
  }
  if (stack_.empty() && !std::all_of(text_.begin(), text_.end(), [](char ch) {
        return IsSpace(static_cast<unsigned char>(ch));
      }))
    return Fail("text outside an element");
  type_ = TXmlNodeType::xntText;
  node_end_ = base_ + static_cast<int64_t>(pos_);
  return type_;
}

bool TXmlReader::SkipElement() {
  if (type_ != TXmlNodeType::xntStartElement) return false;
  const int32_t target = Depth() - 1;
  for (;;) {
    const TXmlNodeType t = Next();
    if (t == TXmlNodeType::xntEndElement && Depth() == target) return true;
    if (t == TXmlNodeType::xntError || t == TXmlNodeType::xntEndOfInput) return false;
  }
}

}  // namespace corvel
