// TDataTable CSV and XML forms: round trips, the reading rules, hostile
// input, and the exchange with Python's csv module and pandas.
#include "ORK_datatable.h"
#include "test_support.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::ReadText;
using numbra_test::TempDir;
using numbra_test::WriteText;

namespace {

// A table with awkward names, values, states, attributes, a nominal column
// and a comment.
void MakeTable(TDataTable& t) {
  t.Resize(3, 4);
  t.SetFComment("measured 2026, \"lab\" B");
  t.SetColName(1, "x, mm");
  t.SetColName(2, "say \"hi\"\nthere");
  t.SetColName(3, "kind");
  const double x[] = {0.1, -1e-310, 1.7976931348623157e308, -0.0};
  const double y[] = {1.0 / 3, std::numeric_limits<double>::infinity(), 123456789012345678.0,
                      5e-324};
  const char* kinds[] = {"red", "dark,green", "red", "NA"};
  t.SetMScaleType(3, TMScaleType::stNominal);
  for (int32_t r = 1; r <= 4; ++r) {
    t.SetElem(1, r, x[r - 1]);
    t.SetElem(2, r, y[r - 1]);
    t.SetElemNominal(3, r, kinds[r - 1]);
    t.SetRowAttrib(r, r * 1000 - 2500);
  }
  t.SetRowName(1, "#first");
  t.SetRowName(2, " padded ");
  t.SetRowName(3, "");
  t.SetRowName(4, "last;one");
  t.SetCellState(2, 3, 2);  // empty
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectSameCsvContent(const TDataTable& a, const TDataTable& b) {
  ASSERT_EQ(a.NrOfColumns(), b.NrOfColumns());
  ASSERT_EQ(a.NrOfRows(), b.NrOfRows());
  for (int32_t c = 1; c <= a.NrOfColumns(); ++c) {
    EXPECT_EQ(a.GetColName(c), b.GetColName(c));
    for (int32_t r = 1; r <= a.NrOfRows(); ++r) {
      EXPECT_EQ(a.GetIsEmpty(c, r), b.GetIsEmpty(c, r)) << c << "," << r;
      if (a.GetIsEmpty(c, r)) continue;
      if (a.GetMScaleType(c) == TMScaleType::stNominal)
        EXPECT_EQ(a.GetElemNominal(c, r), b.GetElemNominal(c, r));
      else
        EXPECT_TRUE(SameBits(a.GetElem(c, r), b.GetElem(c, r))) << c << "," << r;
    }
  }
  for (int32_t r = 1; r <= a.NrOfRows(); ++r) {
    EXPECT_EQ(a.GetRowName(r), b.GetRowName(r));
    EXPECT_EQ(a.GetRowAttrib(r), b.GetRowAttrib(r));
  }
}

bool HavePandas() {
  return std::system("/usr/bin/python3 -c 'import pandas' >/dev/null 2>&1") == 0;
}

}  // namespace

TEST(TDataTableCsv, RoundTripKeepsEverythingTheFormHolds) {
  TDataTable t;
  MakeTable(t);
  for (const auto d : {TCSVDelimiters::csvComma, TCSVDelimiters::csvSemicolon,
                       TCSVDelimiters::csvTab, TCSVDelimiters::csvColon}) {
    const std::string text = t.CSVText(0, d, true, true, true, true);
    TDataTable back;
    TCSVImportOptions o;
    o.Delimiter = d;
    o.RowHeaders = true;
    TCSVImportReport rep;
    ASSERT_EQ(back.ImportFromCSVText(text, o, &rep), 4) << rep.Message << "\n" << text;
    ExpectSameCsvContent(t, back);
    EXPECT_EQ(back.Comment(), t.Comment());
    EXPECT_EQ(back.GetMScaleType(3), TMScaleType::stNominal);
    // Detected delimiter, file form.
    TempDir dir;
    ASSERT_EQ(t.ExportAsCSV(dir.File("t.csv"), 0, d, true, true, true, true), "");
    o.Delimiter = TCSVDelimiters::csvUnknown;
    TDataTable again;
    ASSERT_EQ(again.ImportFromCSV(dir.File("t.csv"), o, &rep), 4) << rep.Message;
    ExpectSameCsvContent(t, again);
  }
  // Without headers: default names, numbers only in the first record.
  TDataTable plain;
  plain.Resize(2, 2);
  plain.SetElem(1, 1, 0.5);
  TDataTable back;
  ASSERT_EQ(
      back.ImportFromCSVText(plain.CSVText(0, TCSVDelimiters::csvComma, false, false, false, false),
                             TCSVImportOptions{TCSVDelimiters::csvComma, TCSVHeaderMode::hmNone,
                                               false, TCSVHeaderMode::hmNone, false}),
      2);
  EXPECT_EQ(back.GetElem(1, 1), 0.5);
  EXPECT_EQ(back.GetColName(2), "C-2");
  // Precision 3 writes three significant digits.
  EXPECT_EQ(plain.CSVText(3, TCSVDelimiters::csvComma, false, false, false, false),
            "0.5,0\r\n0,0\r\n");
  // A one-column table with an empty cell keeps the row.
  TDataTable one;
  one.Resize(1, 3);
  one.SetIsEmpty(1, 2, true);
  EXPECT_EQ(one.CSVText(0, TCSVDelimiters::csvComma, false, false, false, false),
            "0\r\n\"\"\r\n0\r\n");
  ASSERT_EQ(
      back.ImportFromCSVText(one.CSVText(0, TCSVDelimiters::csvComma, false, false, false, false),
                             TCSVImportOptions{TCSVDelimiters::csvComma, TCSVHeaderMode::hmNone}),
      3);
  EXPECT_TRUE(back.GetIsEmpty(1, 2));
}

TEST(TDataTableCsv, ReadingRules) {
  const struct {
    const char* name;
    const char* text;
    TCSVDelimiters delim;
    int32_t cols, rows;
    double v11;     // value of cell (1, 1)
    double v_last;  // value of the last cell
  } cases[] = {
      {"BOM and CRLF",
       "\xEF\xBB\xBF"
       "a,b\r\n1,2\r\n3,4\r\n",
       TCSVDelimiters::csvComma, 2, 2, 1, 4},
      {"CR only", "a;b\r1;2\r", TCSVDelimiters::csvUnknown, 2, 1, 1, 2},
      {"blank lines, comments", "# c\n\na,b\n\n1,2\n# mid\n  \n3,4", TCSVDelimiters::csvComma, 2, 2,
       1, 4},
      {"blanks, plus, inf", "a,b\n +1.5 , inf\n-2e3,NaN\n", TCSVDelimiters::csvComma, 2, 2, 1.5,
       std::numeric_limits<double>::quiet_NaN()},
      {"decimal comma", "a;b\n1,5;2\n", TCSVDelimiters::csvSemicolon, 2, 1, 1.5, 2},
      {"tab detected", "a\tb\tc\n1\t2\t3\n", TCSVDelimiters::csvUnknown, 3, 1, 1, 3},
      {"quoted numbers", "\"a\",\"b\"\n\"7\",\"8\"\n", TCSVDelimiters::csvComma, 2, 1, 7, 8},
      {"white space", "# a; b, c\n  x   y \n 1\t 2\n3 4   \n", TCSVDelimiters::csvUnknown, 2, 2, 1,
       4},
      {"out of range", "a\n1e999\n", TCSVDelimiters::csvComma, 1, 1,
       std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()},
  };
  for (const auto& c : cases) {
    TDataTable t;
    TCSVImportOptions o;
    o.Delimiter = c.delim;
    TCSVImportReport rep;
    ASSERT_EQ(t.ImportFromCSVText(c.text, o, &rep), c.rows) << c.name << ": " << rep.Message;
    EXPECT_EQ(t.NrOfColumns(), c.cols) << c.name;
    EXPECT_EQ(t.GetElem(1, 1), c.v11) << c.name;
    const double last = t.GetElem(t.NrOfColumns(), t.NrOfRows());
    EXPECT_TRUE(last == c.v_last || (std::isnan(last) && std::isnan(c.v_last))) << c.name;
  }
  // Missing values become empty cells; text columns become nominal with
  // identifiers in order of first appearance; the leading comment is kept.
  TDataTable t;
  ASSERT_EQ(t.ImportFromCSVText(
                "# first\n#second\nid,v,k\nr1,1,NA\nr2,,b\nr3,N/A,\"NA\"\n"
                "r4,<NA>,a\n",
                TCSVImportOptions{TCSVDelimiters::csvComma, TCSVHeaderMode::hmHeader, true}),
            4);
  EXPECT_EQ(t.Comment(), "first second");
  EXPECT_EQ(t.GetRowName(3), "r3");
  EXPECT_EQ(t.GetColName(1), "v");
  EXPECT_EQ(t.CountEmptyCells(1, 0, 1, 0), 3);
  EXPECT_TRUE(t.GetIsEmpty(2, 1));
  EXPECT_EQ(t.GetMScaleType(2), TMScaleType::stNominal);
  EXPECT_EQ(t.GetElemNominal(2, 2), "b");
  EXPECT_EQ(t.GetElem(2, 2), 1.0);
  EXPECT_EQ(t.GetElemNominal(2, 3), "NA");  // quoted: a text, not missing
  EXPECT_EQ(t.GetElem(2, 4), 3.0);
  EXPECT_EQ(t.GetMScaleType(1), TMScaleType::stInterval);
  // Header detection.
  TCSVImportOptions detect;
  detect.ColHeaders = TCSVHeaderMode::hmDetect;
  ASSERT_EQ(t.ImportFromCSVText("1,2\n3,4\n", detect), 2);
  ASSERT_EQ(t.ImportFromCSVText("x,2\n3,4\n", detect), 1);
  EXPECT_EQ(t.GetColName(1), "x");
  // Embedded line break and quotes in a quoted field.
  ASSERT_EQ(t.ImportFromCSVText("a,b\n\"on\ntwo \"\"q\"\"\",1\n", TCSVImportOptions{}), 1);
  EXPECT_EQ(t.GetNominalID(1, 1), "on\ntwo \"q\"");
}

TEST(TDataTableCsv, BadInputLeavesTheTableAlone) {
  const std::string field100mb(100 << 20, 'x');
  std::string many_ids = "k\n";
  for (int k = 0; k < 151; ++k) many_ids += "id" + std::to_string(k) + "\n";
  const struct {
    const char* name;
    std::string text;
    int32_t code;
    int32_t line;
  } cases[] = {
      {"unbalanced quote", "a,b\n1,\"2\n3,4\n", csvErrQuotes, 2},
      {"text after quote", "a,b\n1,\"2\"x\n", csvErrQuotes, 2},
      {"ragged short", "a,b\n1,2\n3\n", csvErrRagged, 3},
      {"ragged long", "a,b\n1,2,3\n", csvErrRagged, 2},
      {"header only", "a,b,c\n", csvErrNoData, 0},
      {"empty", "", csvErrNoData, 1},
      {"only comments", "# x\n\n", csvErrNoData, 3},
      {"binary", std::string("a,b\n1,\0\x01\n", 9), csvErrBinary, 0},
      {"too many levels", many_ids, csvErrNominal, 152},
      {"long level", "k\nabcdefghijk\n", csvErrNominal, 2},
      {"100 MB field", "k\n" + field100mb + "\n", csvErrNominal, 2},
      {"bad attribute", "\"\",(row attribute),v\nr,1.5,2\n", csvErrAttrib, 2},
  };
  for (const auto& c : cases) {
    TDataTable t;
    t.Resize(2, 2);
    t.SetElem(1, 1, 42);
    int events = 0;
    t.OnChange = [&](TObject*) { ++events; };
    t.OnResize = [&](TObject*, int32_t, int32_t, int32_t, int32_t) { ++events; };
    TCSVImportOptions o;
    o.RowHeaders = std::string(c.name) == "bad attribute";
    TCSVImportReport rep;
    EXPECT_EQ(t.ImportFromCSVText(c.text, o, &rep), c.code) << c.name;
    EXPECT_EQ(rep.Line, c.line) << c.name << ": " << rep.Message;
    EXPECT_FALSE(rep.Message.empty()) << c.name;
    EXPECT_EQ(events, 0) << c.name;
    EXPECT_EQ(t.NrOfColumns(), 2);
    EXPECT_EQ(t.GetElem(1, 1), 42.0);
  }
  TDataTable t;
  TCSVImportOptions numbers;
  numbers.NumbersOnly = true;
  TCSVImportReport rep;
  EXPECT_EQ(t.ImportFromCSVText("x,y\n1,2\n3,abc\n", numbers, &rep), csvErrText);
  EXPECT_EQ(rep.Message, "line 3, field 2: not a number: \"abc\"");
  EXPECT_EQ(t.ImportFromCSV("/nonexistent/x.csv", numbers, &rep), csvErrFile);
  EXPECT_NE(t.ExportAsCSV("/nonexistent/x.csv", 0, TCSVDelimiters::csvComma, true, true), "");
}

TEST(TDataTableCsv, ExchangeWithPythonAndPandas) {
  if (!HavePandas()) GTEST_SKIP() << "/usr/bin/python3 with pandas not present";
  TempDir dir;
  TDataTable t;
  MakeTable(t);
  ASSERT_EQ(t.ExportAsCSV(dir.File("ours.csv"), 0, TCSVDelimiters::csvComma, true, true), "");
  // Python's csv module and pandas read our cells: print them back as a
  // canonical text (repr of floats, empty for missing) for comparison.
  WriteText(dir.File("check.py"),
            "import csv, sys, math\n"
            "import pandas as pd\n"
            "rows = list(csv.reader(open(sys.argv[1], newline='')))\n"
            "df = pd.read_csv(sys.argv[1], index_col=0, keep_default_na=False,\n"
            "                 na_values=[''], dtype={'kind': str})\n"
            "out = [str(len(rows)), '|'.join(rows[0]), '|'.join(rows[2]), '|'.join(rows[4])]\n"
            "out.append(repr(float(df.iloc[0, 0])) + ' ' + repr(float(df.iloc[2, 0])))\n"
            "out.append(str(math.isnan(df.iloc[2, 1])) + ' ' + repr(float(df.iloc[1, 1])))\n"
            "out.append('|'.join(df['kind']))\n"
            "out.append('|'.join(str(i) for i in df.index))\n"
            "open(sys.argv[2], 'w').write('\\n'.join(out))\n"
            // pandas writes a file with NA, quoted fields and a BOM for us.
            "pd.DataFrame({'a b': [1.5, float('nan'), 3.0], 'say \"x\"': ['p,q', 'r', None]})"
            ".to_csv(sys.argv[3], index=False, encoding='utf-8-sig')\n");
  const std::string cmd = "/usr/bin/python3 " + dir.File("check.py") + " " + dir.File("ours.csv") +
                          " " + dir.File("out.txt") + " " + dir.File("theirs.csv");
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string out = ReadText(dir.File("out.txt"));
  EXPECT_EQ(out,
            "5\n"
            "|x, mm|say \"hi\"\nthere|kind\n"
            " padded |-1e-310|inf|dark,green\n"
            "last;one|-0|5e-324|NA\n"
            "0.1 1.7976931348623157e+308\n"
            "True inf\n"
            "red|dark,green|red|NA\n"
            "#first| padded |nan|last;one");
  TDataTable theirs;
  TCSVImportReport rep;
  ASSERT_EQ(theirs.ImportFromCSV(dir.File("theirs.csv"), TCSVImportOptions{}, &rep), 3)
      << rep.Message;
  EXPECT_EQ(theirs.GetColName(1), "a b");
  EXPECT_EQ(theirs.GetColName(2), "say \"x\"");
  EXPECT_EQ(theirs.GetElem(1, 1), 1.5);
  EXPECT_TRUE(theirs.GetIsEmpty(1, 2));
  EXPECT_EQ(theirs.GetElemNominal(2, 1), "p,q");
  EXPECT_TRUE(theirs.GetIsEmpty(2, 3));
}

TEST(TDataTableXml, RoundTripKeepsEverything) {
  TDataTable t;
  MakeTable(t);
  t.SetNominalID(3, 150, "last");
  t.SetColAttrib(2, -7);
  t.SetMScaleType(1, TMScaleType::stRatio);
  for (int32_t r = 1; r <= 4; ++r) t.SetCellState(1, r, uint8_t(r * 60));
  t.NumericData->SetVal(2, 4, std::numeric_limits<double>::quiet_NaN());
  TempDir dir;
  t.SaveAsXMLFile(dir.File("t.xml"), 0, "one");
  TDataTable back;
  ASSERT_TRUE(back.LoadFromXMLFile(dir.File("t.xml"), "one"));
  EXPECT_EQ(back.CRCofNamesAndAttributes(), t.CRCofNamesAndAttributes());
  EXPECT_EQ(back.CRCofCellStates(), t.CRCofCellStates());
  for (int32_t c = 1; c <= 3; ++c)
    for (int32_t r = 1; r <= 4; ++r) {
      const double a = t.NumericData->GetVal(c, r);
      const double b = back.NumericData->GetVal(c, r);
      EXPECT_TRUE(SameBits(a, b) || (std::isnan(a) && std::isnan(b))) << c << "," << r;
    }
  EXPECT_FALSE(back.LoadFromXMLFile(dir.File("t.xml"), "two"));
  // Two tables one after the other in a string and in a stream.
  TDataTable second;
  second.Resize(2, 1);
  second.SetElem(2, 1, 9);
  const std::string both = t.XMLText(true, 0, "a") + second.XMLText(false, 0, "b");
  int64_t at = 0;
  TDataTable r;
  ASSERT_TRUE(r.ReadFromXMLString(both, at, ""));
  EXPECT_EQ(r.NrOfRows(), 4);
  ASSERT_TRUE(r.ReadFromXMLString(both, at, ""));
  EXPECT_EQ(r.GetElem(2, 1), 9.0);
  EXPECT_FALSE(r.ReadFromXMLString(both, at, ""));
  TMemoryStream s;
  t.WriteToXMLStream(&s, true, 0, "a");
  second.WriteToXMLStream(&s, false, 0, "b");
  s.SetPosition(0);
  ASSERT_TRUE(r.ReadFromXMLStream(&s, "b"));
  EXPECT_EQ(r.NrOfColumns(), 2);
  {
    TTextWriter w;
    ASSERT_TRUE(w.Open(dir.File("open.xml")));
    t.WriteToOpenXMLFile(w, true, 5, "");
    ASSERT_TRUE(w.Close());
  }
  TTextReader in(dir.File("open.xml"));
  ASSERT_TRUE(r.ReadFromOpenXMLFile(in, ""));
  EXPECT_EQ(r.GetElem(1, 1), 0.1);
  EXPECT_EQ(r.GetElem(2, 1), 0.33333);  // five significant digits
}

TEST(TDataTableXml, BadInputLeavesTheTableAlone) {
  const std::string head = "<datatable dataid=\"\"><size cols=\"2\" rows=\"1\"></size><datacells>";
  const std::string c1 = "<cell col=\"1\" row=\"1\">1</cell>";
  const std::string c2 = "<cell col=\"2\" row=\"1\" state=\"2\">2</cell>";
  const std::string tail = "</datacells></datatable>";
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"missing cell", head + c1 + tail},
      {"repeated cell", head + c1 + c1 + tail},
      {"cell outside", head + c1 + "<cell col=\"3\" row=\"1\">1</cell>" + tail},
      {"bad state", head + c1 + "<cell col=\"2\" row=\"1\" state=\"256\">2</cell>" + tail},
      {"bad number", head + c1 + "<cell col=\"2\" row=\"1\">x</cell>" + tail},
      {"truncated", head + c1 + c2},
      {"huge size", "<datatable><size cols=\"100000\" rows=\"100000\"></size></datatable>"},
      {"cells before size", "<datatable><datacells>" + c1 + tail},
      {"doctype", "<!DOCTYPE x [<!ENTITY a \"b\">]>" + head + c1 + c2 + tail},
      {"bad type", head + c1 + c2 +
                       "</datacells><vartype col=\"1\" type=\"Big\"></vartype>"
                       "</datatable>"},
      {"id in interval column", head + c1 + c2 +
                                    "</datacells><vartype col=\"1\" type=\"Ratio\">"
                                    "<varid ord=\"1\">a</varid></vartype></datatable>"},
      {"no table", "<matrix></matrix>"},
  };
  for (const auto& c : cases) {
    TDataTable t;
    t.SetElem(1, 1, 42);
    int64_t at = 0;
    EXPECT_FALSE(t.ReadFromXMLString(c.text, at, "")) << c.name;
    EXPECT_EQ(t.NrOfColumns(), 1) << c.name;
    EXPECT_EQ(t.GetElem(1, 1), 42.0) << c.name;
  }
  TDataTable ok;
  int64_t at = 0;
  ASSERT_TRUE(ok.ReadFromXMLString(head + c2 + c1 + tail, at, ""));  // any order
  EXPECT_TRUE(ok.GetIsEmpty(2, 1));
  EXPECT_EQ(ok.GetColName(2), "C-2");
  // ProcessXmlTag on its own.
  EXPECT_TRUE(ok.ProcessXmlTag(TDTxmlTags::xmlSize, "3", "2", "", 0));
  EXPECT_EQ(ok.NrOfColumns(), 3);
  EXPECT_TRUE(ok.ProcessXmlTag(TDTxmlTags::xmlColId, "3", "", "third",
                               static_cast<int32_t>(TDTxmlTags::xmlColNames)));
  EXPECT_EQ(ok.GetColName(3), "third");
  EXPECT_FALSE(ok.ProcessXmlTag(TDTxmlTags::xmlCellID, "4", "1", "1", 0));
  EXPECT_EQ(DTXmlTagOf("colid"), TDTxmlTags::xmlColId);
  EXPECT_EQ(DTXmlTagOf("zz"), TDTxmlTags::xmlInvalid);
  EXPECT_EQ(DTXmlTagName(TDTxmlTags::xmlDataTableEndId), "datatable");
}

TEST(TDataTableAsc, RoundTripKeepsEverything) {
  TDataTable t;
  MakeTable(t);
  t.SetColAttrib(1, -70000);
  t.SetColName(2, "say \"hi\" there");  // one-line names: the ASC form holds no line break
  t.SetMScaleType(2, TMScaleType::stRatio);
  t.SetNominalID(3, 150, "q\"uote");
  for (int32_t r = 1; r <= 4; ++r) t.SetCellState(2, r, uint8_t(r * 61));
  t.NumericData->SetVal(3, 2, 2.75);  // a nominal column keeps its stored value
  TempDir dir;
  ASSERT_EQ(t.ExportAsASC(dir.File("t.asc"), 0), "");
  const auto check = [&](const TDataTable& b) {
    EXPECT_EQ(b.CRCofNamesAndAttributes(), t.CRCofNamesAndAttributes());
    EXPECT_EQ(b.CRCofCellStates(), t.CRCofCellStates());
    EXPECT_EQ(b.NumericData->CRCofData(), t.NumericData->CRCofData());
  };
  TDataTable back;
  ASSERT_EQ(back.ImportASC(dir.File("t.asc")), 4);
  check(back);
  TMemoryStream s;
  EXPECT_EQ(t.ExportAsASC(&s, 0), "");
  s.SetPosition(0);
  TDataTable fromStream;
  ASSERT_EQ(fromStream.ImportASC(&s), 4);
  check(fromStream);
  TClipboardBuffer clip;
  t.ExportAsASC(clip, 0);
  TDataTable fromClip;
  ASSERT_EQ(fromClip.ImportASC(clip), 4);
  check(fromClip);
  // The curve fit's two-column form reads as well (names, no attributes).
  TDataTable curve;
  ASSERT_EQ(curve.ImportASC(TClipboardBuffer{"fit\n2\t;nr. of columns\n3\t;nr. of rows\n"
                                             "FALSE TRUE FALSE\t;x\n\"x\"   \"y\"\n"
                                             "1\t2\n3\t4\n5\t6.5\n"}),
            3);
  EXPECT_EQ(curve.GetColName(2), "y");
  EXPECT_EQ(curve.GetElem(2, 3), 6.5);
  EXPECT_EQ(curve.GetRowName(3), "R-3");
  EXPECT_EQ(curve.Comment(), "fit");
}

TEST(TDataTableAsc, PlacingAndBadInput) {
  TDataTable t;
  t.Resize(2, 2);
  t.SetElem(1, 1, 42);
  t.SetMScaleType(2, TMScaleType::stOrdinal);
  TDataTable part;
  part.Resize(2, 1);
  part.SetElem(2, 1, 7);
  part.SetColName(2, "seven");
  part.SetCellState(2, 1, 32);
  TClipboardBuffer clip;
  part.ExportAsASC(clip, 0);
  std::vector<int32_t> resize;
  t.OnResize = [&](TObject*, int32_t, int32_t, int32_t c, int32_t r) { resize = {c, r}; };
  ASSERT_EQ(t.ReadFromASC(clip, 2, 3, false), 1);
  EXPECT_EQ(resize, (std::vector<int32_t>{3, 3}));
  EXPECT_EQ(t.GetElem(1, 1), 42.0);
  EXPECT_EQ(t.GetElem(3, 3), 7.0);
  EXPECT_EQ(t.GetCellState(3, 3), 32);
  EXPECT_EQ(t.GetColName(3), "seven");
  EXPECT_EQ(t.GetMScaleType(2), TMScaleType::stOrdinal);  // types kept without ReplaceIDs
  ASSERT_EQ(t.ReadFromASC(clip, 1, 1, true), 1);
  EXPECT_EQ(t.GetMScaleType(2), TMScaleType::stInterval);
  const std::string head = "c\n2\t;c\n1\t;r\nFALSE FALSE FALSE\n";
  const struct {
    const char* name;
    std::string text;
    int32_t code;
  } cases[] = {
      {"no header", "c\n2\n", corvel::kAscNoHeader},
      {"bad columns", "c\nx\n1\nFALSE FALSE FALSE\n1\n", corvel::kAscBadColumns},
      {"bad flags", "c\n1\n1\nYES FALSE FALSE\n1\n", corvel::kAscBadFlags},
      {"too large", "c\n100000\n100000\nFALSE FALSE FALSE\n1 2\n", corvel::kAscTooLarge},
      {"short body", head + "1   \n", kAscBadBody},
      {"bad value", head + "1 x\n", kAscBadBody},
      {"trailing text", head + "1 2 3\n", kAscBadBody},
      {"zero size", "c\n0\n0\nFALSE FALSE FALSE\n", kAscBadBody},
      {"bad state", "c\n1\n1\nFALSE FALSE FALSE TRUE\n1\n3\n0\n0\n256\n", kAscBadBody},
      {"long id", "c\n1\n1\nFALSE FALSE FALSE TRUE\n1\n1\n0\n1 1 \"abcdefghijk\"\n0\n",
       kAscBadBody},
  };
  for (const auto& c : cases) {
    TDataTable u;
    u.SetElem(1, 1, 5);
    EXPECT_EQ(u.ImportASC(TClipboardBuffer{c.text}), c.code) << c.name;
    EXPECT_EQ(u.ReadFromASC(TClipboardBuffer{c.text}, 1, 1, true), c.code) << c.name;
    EXPECT_EQ(u.GetElem(1, 1), 5.0) << c.name;
    EXPECT_EQ(u.NrOfColumns(), 1) << c.name;
  }
  TDataTable u;
  EXPECT_EQ(u.ImportASC("/nonexistent/t.asc"), corvel::kAscCannotOpen);
}
