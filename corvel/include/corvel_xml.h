// corvel_xml: a small streaming XML writer and pull reader for the XML
// forms of the data classes (matrices, arrays, the data table, the map).
//
// The reader understands the subset of XML 1.0 that these forms use and is
// safe on hostile input: elements with attributes, character data, CDATA
// sections, comments and processing instructions (both skipped), the five
// predefined entities and numeric character references. Document type
// declarations are refused, so no entity can expand into more text than it
// stands for. Nesting depth, name, attribute and text lengths and the
// number of attributes are bounded (TXmlLimits), and the reader holds at
// most one node and one input chunk in memory however long the input is.
// It reads a sequence of elements, not only a single-rooted document, so
// that several blocks written one after another into one stream can be read
// back one by one. Bytes are passed through as they are (UTF-8 is expected
// but not validated).
#pragma once

#include "corvel_export.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvel {

/// Bounds of TXmlReader. An input that exceeds one is an error.
struct TXmlLimits {
  int32_t MaxDepth = 256;                ///< open elements at one time
  int64_t MaxNameLength = 1024;          ///< bytes of an element or attribute name
  int32_t MaxAttributes = 256;           ///< attributes of one element
  int64_t MaxAttributeLength = 1 << 16;  ///< bytes of one attribute value (decoded)
  int64_t MaxTextLength = 1 << 20;       ///< bytes of one text node (decoded)
};

/// Kinds of node the reader returns.
enum class TXmlNodeType : uint8_t {
  xntNone,          ///< before the first Next()
  xntStartElement,  ///< <name attr="...">, and <name/> (followed by its end)
  xntEndElement,    ///< </name>, and the end of <name/>
  xntText,          ///< character data and CDATA between tags (entities decoded)
  xntEndOfInput,    ///< the input ended outside any element
  xntError          ///< malformed input or a limit exceeded; see ErrorMessage()
};

/// One attribute of a start element (value decoded).
struct TXmlAttribute {
  /// Attribute name.
  std::string Name;
  /// Attribute value, entities decoded.
  std::string Value;
};

/// Pull reader: each Next() returns the next node of the input.
class CORVEL_EXPORT TXmlReader {
 public:
  /// Supplies up to Count bytes into Buffer and returns how many it gave;
  /// 0 means the input has ended. A source may give fewer bytes than asked.
  using TSource = std::function<int64_t(char* Buffer, int64_t Count)>;

  /// A reader of the XML text that Source supplies, within Limits.
  explicit TXmlReader(TSource Source, TXmlLimits Limits = {});
  ~TXmlReader();
  TXmlReader(const TXmlReader&) = delete;
  TXmlReader& operator=(const TXmlReader&) = delete;

  /// Advances to the next node and returns its kind. Once xntEndOfInput or
  /// xntError has been returned, every further call returns it again. Text
  /// outside all elements must be white space; comments and processing
  /// instructions (the XML declaration included) are passed over.
  TXmlNodeType Next();
  /// Kind of the current node: what Next() returned last (xntNone before the first call).
  [[nodiscard]] TXmlNodeType NodeType() const noexcept { return type_; }
  /// Element name of a start or end element.
  [[nodiscard]] const std::string& Name() const noexcept { return name_; }
  /// Decoded text of a text node.
  [[nodiscard]] const std::string& Text() const noexcept { return text_; }
  /// Attributes of a start element, in input order.
  [[nodiscard]] const std::vector<TXmlAttribute>& Attributes() const noexcept { return attrs_; }
  /// The value of attribute Name of a start element, or nullptr.
  [[nodiscard]] const std::string* Attribute(std::string_view AttrName) const noexcept;
  /// Number of open elements: after a start element it counts that element,
  /// after an end element it no longer does.
  [[nodiscard]] int32_t Depth() const noexcept { return static_cast<int32_t>(stack_.size()); }
  /// Called right after a start element: reads past its matching end
  /// element. False (with the reader in the error or end state) when the
  /// input ends or is malformed first.
  bool SkipElement();
  /// What went wrong, with the byte offset, once xntError was returned.
  [[nodiscard]] const std::string& ErrorMessage() const noexcept { return error_; }
  /// Number of input bytes that the nodes returned so far span: the offset
  /// just after the current node.
  [[nodiscard]] int64_t Consumed() const noexcept { return node_end_; }

 private:
  int Peek();
  int Get();
  bool Refill();
  bool StartsWith(std::string_view s);
  TXmlNodeType Fail(std::string Message);
  bool ReadName(std::string& Out);
  bool ReadReference(std::string& Out);
  bool SkipUntil(std::string_view Terminator);
  void SkipSpace();
  TXmlNodeType ReadStartTag();
  TXmlNodeType ReadEndTag();
  TXmlNodeType ReadText();

  TSource source_;
  TXmlLimits limits_;
  std::string buf_;
  std::size_t pos_ = 0;
  int64_t base_ = 0;  // input offset of buf_[0]
  bool source_done_ = false;
  TXmlNodeType type_ = TXmlNodeType::xntNone;
  std::string name_;
  std::string text_;
  std::vector<TXmlAttribute> attrs_;
  std::vector<std::string> stack_;
  bool pending_end_ = false;
  std::string error_;
  int64_t node_end_ = 0;
};

/// Streaming writer: each call sends its text to the sink at once. Elements
/// are indented by two blanks per level and each starts a new line; lines
/// end with LineEnd.
class CORVEL_EXPORT TXmlWriter {
 public:
  /// Receives each piece of output as it is written.
  using TSink = std::function<void(std::string_view)>;
  /// Attributes of an element: (name, value) pairs, written in the order given.
  using TAttributes = std::initializer_list<std::pair<std::string_view, std::string_view>>;

  /// A writer that sends its output to Sink and ends lines with LineEnd.
  explicit TXmlWriter(TSink Sink, std::string LineEnd = "\n");
  /// <?xml version="1.0" encoding="UTF-8"?> and a line end.
  void Declaration();
  /// <Name a="v" ...> on a line of its own.
  void StartElement(std::string_view Name, TAttributes Attributes = {});
  /// Closes the innermost open element (nothing when none is open).
  void EndElement();
  /// <Name a="v" ...>Text</Name> on one line (text escaped).
  void TextElement(std::string_view Name, std::string_view Text, TAttributes Attributes = {});
  /// Number of open elements.
  [[nodiscard]] int32_t Depth() const noexcept { return static_cast<int32_t>(open_.size()); }

 private:
  void OpenTag(std::string_view Name, TAttributes Attributes);
  TSink sink_;
  std::string line_end_;
  std::vector<std::string> open_;
  std::string line_;
};

/// Text with &, <, >, " and ' replaced by their entities and the control
/// characters (tab, line feed and carriage return included) by numeric
/// character references, fit for element content and attribute values.
CORVEL_EXPORT std::string XmlEscape(std::string_view Text);

/// True when Name is a valid XML element or attribute name (ASCII letters,
/// digits, '_', ':', '-', '.', bytes >= 0x80; not starting with a digit,
/// '-' or '.').
CORVEL_EXPORT bool IsXmlName(std::string_view Name) noexcept;

}  // namespace corvel
