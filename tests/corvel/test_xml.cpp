// corvel's XML writer and pull reader.
#include "corvel_xml.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using corvel::TXmlLimits;
using corvel::TXmlNodeType;
using corvel::TXmlReader;
using corvel::TXmlWriter;

namespace {

// A source over a string that hands out at most Step bytes per call.
TXmlReader::TSource FromString(std::string text, std::size_t step = 1 << 20) {
  auto pos = std::make_shared<std::size_t>(0);
  auto data = std::make_shared<std::string>(std::move(text));
  return [pos, data, step](char* buf, int64_t n) -> int64_t {
    const std::size_t k = std::min({static_cast<std::size_t>(n), step, data->size() - *pos});
    std::memcpy(buf, data->data() + *pos, k);
    *pos += k;
    return static_cast<int64_t>(k);
  };
}

// The nodes of a document as text: "<a x=1>", "</a>", "'text'", "EOF", "ERR".
std::vector<std::string> Nodes(const std::string& xml, std::size_t step = 1 << 20,
                               TXmlLimits limits = {}) {
  TXmlReader r(FromString(xml, step), limits);
  std::vector<std::string> out;
  for (;;) {
    switch (r.Next()) {
      case TXmlNodeType::xntStartElement: {
        std::string s = "<" + r.Name();
        for (const auto& a : r.Attributes()) s += " " + a.Name + "=" + a.Value;
        out.push_back(s + ">");
        break;
      }
      case TXmlNodeType::xntEndElement:
        out.push_back("</" + r.Name() + ">");
        break;
      case TXmlNodeType::xntText:
        out.push_back("'" + r.Text() + "'");
        break;
      case TXmlNodeType::xntEndOfInput:
        out.push_back("EOF");
        return out;
      default:
        out.push_back("ERR");
        return out;
    }
  }
}

using V = std::vector<std::string>;

}  // namespace

TEST(CorvelXml, ReadsElementsAttributesTextAndReferences) {
  const std::string xml =
      "<?xml version=\"1.0\"?>\n<!-- note -->"
      "<a x='1' y = \"t&amp;&lt;&#65;&#x42;\">hi &gt; <b/>"
      "<![CDATA[<raw> & ]]>tail</a>";
  const V want = {"'\n'", "<a x=1 y=t&<AB>", "'hi > '", "<b>",
                  "</b>", "'<raw> & tail'",  "</a>",    "EOF"};
  EXPECT_EQ(Nodes(xml), want);
  EXPECT_EQ(Nodes(xml, 1), want);  // the same, fed one byte at a time
  EXPECT_EQ(Nodes("<a v='a\tb\nc'/>"), (V{"<a v=a b c>", "</a>", "EOF"}));  // normalised
  EXPECT_EQ(Nodes("<a>&#x20AC;</a>")[1], "'\xE2\x82\xAC'");
  EXPECT_EQ(Nodes("<x/><y/>"), (V{"<x>", "</x>", "<y>", "</y>", "EOF"}));  // a sequence
}

TEST(CorvelXml, RefusesMalformedAndHostileInput) {
  for (const char* bad : {
           "<a>",                                 // unclosed
           "<a></b>",                             // mismatched
           "</a>",                                // end without start
           "<a x='1' x='2'/>",                    // duplicate attribute
           "<a x=1/>",                            // unquoted
           "<a x='<'/>",                          // '<' in a value
           "<a x='1'y='2'/>",                     // no blank between attributes
           "<a>&bogus;</a>",                      // undefined entity
           "<a>&#0;</a>",                         // not a character
           "<a>&#xD800;</a>",                     // surrogate
           "<a>&#1114112;</a>",                   // beyond Unicode
           "<a>&#12345678901234567890;</a>",      // overlong reference
           "<a>&amp</a>",                         // unterminated reference
           "<!DOCTYPE a [<!ENTITY e 'x'>]><a/>",  // no DTDs, no entity expansion
           "text<a/>",                            // text outside elements
           "<a><!-- unterminated </a>",           //
           "<a><![CDATA[ unterminated </a>",      //
           "<1a/>",                               // bad name
       }) {
    const V nodes = Nodes(bad);
    EXPECT_EQ(nodes.back(), "ERR") << bad;
  }
}

TEST(CorvelXml, LimitsAreEnforced) {
  TXmlLimits small;
  small.MaxDepth = 3;
  small.MaxNameLength = 4;
  small.MaxAttributes = 2;
  small.MaxAttributeLength = 5;
  small.MaxTextLength = 6;
  EXPECT_EQ(Nodes("<a><b><c/></b></a>", 1 << 20, small).back(), "EOF");
  EXPECT_EQ(Nodes("<a><b><c><d/></c></b></a>", 1 << 20, small).back(), "ERR");
  EXPECT_EQ(Nodes("<abcde/>", 1 << 20, small).back(), "ERR");
  EXPECT_EQ(Nodes("<a x='1' y='2' z='3'/>", 1 << 20, small).back(), "ERR");
  EXPECT_EQ(Nodes("<a x='123456'/>", 1 << 20, small).back(), "ERR");
  EXPECT_EQ(Nodes("<a>1234567</a>", 1 << 20, small).back(), "ERR");
  EXPECT_EQ(Nodes("<a><![CDATA[1234567]]></a>", 1 << 20, small).back(), "ERR");
  // A long comment costs nothing and is fine.
  EXPECT_EQ(Nodes("<a><!--" + std::string(1 << 20, 'c') + "--></a>", 1 << 20, small).back(), "EOF");
}

TEST(CorvelXml, ConsumedAndSkipElement) {
  const std::string xml = "<a><b><c>x</c></b><d/></a> trailing";
  TXmlReader r(FromString(xml, 3));
  ASSERT_EQ(r.Next(), TXmlNodeType::xntStartElement);
  ASSERT_EQ(r.Next(), TXmlNodeType::xntStartElement);  // <b>
  EXPECT_EQ(r.Depth(), 2);
  ASSERT_TRUE(r.SkipElement());
  EXPECT_EQ(r.Name(), "b");
  EXPECT_EQ(r.Depth(), 1);
  ASSERT_EQ(r.Next(), TXmlNodeType::xntStartElement);  // <d/>
  EXPECT_EQ(r.Name(), "d");
  ASSERT_EQ(r.Next(), TXmlNodeType::xntEndElement);
  ASSERT_EQ(r.Next(), TXmlNodeType::xntEndElement);  // </a>
  EXPECT_EQ(r.Consumed(), static_cast<int64_t>(xml.find(" trailing")));
  EXPECT_EQ(r.Next(), TXmlNodeType::xntError);  // text outside an element
  EXPECT_FALSE(r.ErrorMessage().empty());
}

TEST(CorvelXml, WriterEscapesAndIndents) {
  std::string out;
  TXmlWriter w([&out](std::string_view s) { out += s; }, "\r\n");
  w.Declaration();
  w.StartElement("m", {{"id", "a\"<&>'\tb"}});
  w.TextElement("v", "1 < 2", {{"k", "x"}});
  w.StartElement("n");
  w.EndElement();
  w.EndElement();
  w.EndElement();  // nothing open: ignored
  EXPECT_EQ(out,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<m id=\"a&quot;&lt;&amp;&gt;&apos;&#9;b\">\r\n"
            "  <v k=\"x\">1 &lt; 2</v>\r\n"
            "  <n>\r\n"
            "  </n>\r\n"
            "</m>\r\n");
  // What the writer escapes the reader restores.
  const V nodes = Nodes(out);
  EXPECT_EQ(nodes[1], "<m id=a\"<&>'\tb>");
  EXPECT_TRUE(corvel::IsXmlName("cell"));
  EXPECT_FALSE(corvel::IsXmlName("9x"));
  EXPECT_FALSE(corvel::IsXmlName(""));
}
