// TDataTable model: construction, sizing, insertion and removal, elements,
// nominal identifiers, states, names, attributes and the events.
#include "ORK_datatable.h"

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {

// Counts every event of a table by name.
struct EventLog {
  std::map<std::string, int> n;
  std::vector<std::vector<int32_t>> resizes;
  void Attach(TDataTable& t) {
    t.OnChange = [this](TObject*) { ++n["data"]; };
    t.OnChangeSetup = [this](TObject*) { ++n["setup"]; };
    t.OnChangeNames = [this](TObject*) { ++n["names"]; };
    t.OnChangeAttrib = [this](TObject*) { ++n["attrib"]; };
    t.OnChangeCellState = [this](TObject*) { ++n["states"]; };
    t.OnResize = [this](TObject*, int32_t a, int32_t b, int32_t c, int32_t d) {
      ++n["resize"];
      resizes.push_back({a, b, c, d});
    };
  }
  int operator[](const std::string& k) const { return n.count(k) != 0 ? n.at(k) : 0; }
};

}  // namespace

TEST(TDataTableModel, NewTableAndResize) {
  TDataTable t;
  EXPECT_EQ(t.NrOfColumns(), 1);
  EXPECT_EQ(t.NrOfRows(), 1);
  EXPECT_EQ(t.GetElem(1, 1), 0.0);
  EXPECT_EQ(t.GetCellState(1, 1), 0);
  EXPECT_EQ(t.GetColName(1), "C-1");
  EXPECT_EQ(t.GetRowName(1), "R-1");
  EXPECT_EQ(t.GetMScaleType(1), TMScaleType::stInterval);
  EventLog log;
  log.Attach(t);
  t.Resize(1, 1);
  EXPECT_TRUE(log.n.empty());
  t.SetElem(1, 1, 7.5);
  EXPECT_EQ(log["data"], 1);
  t.Resize(3, 2);
  EXPECT_EQ(t.GetElem(1, 1), 7.5);
  EXPECT_EQ(t.GetColName(3), "C-3");
  EXPECT_EQ(t.GetRowName(2), "R-2");
  ASSERT_EQ(log.resizes.size(), 1u);
  EXPECT_EQ(log.resizes[0], (std::vector<int32_t>{1, 1, 3, 2}));
  EXPECT_EQ(log["data"], 1);  // OnResize is the only event of a resize
  // Sizes below 1 count as 1: the table never loses its last row or column.
  t.Resize(0, -4);
  EXPECT_EQ(t.NrOfColumns(), 1);
  EXPECT_EQ(t.NrOfRows(), 1);
  EXPECT_EQ(t.GetElem(1, 1), 7.5);
  t.SetNrRows(0);
  EXPECT_EQ(t.NrOfRows(), 1);
  EXPECT_EQ(t.NumericData->NrOfColumns(), 1);
}

TEST(TDataTableModel, InsertAndRemoveKeepEverythingAttached) {
  TDataTable t;
  t.Resize(2, 3);
  for (int32_t r = 1; r <= 3; ++r) {
    t.SetElem(1, r, r);
    t.SetCellState(1, r, uint8_t(r * 4));
    t.SetRowAttrib(r, 100 + r);
  }
  t.SetMScaleType(2, TMScaleType::stNominal);
  t.AddNominalID(2, "blue");
  EventLog log;
  log.Attach(t);
  t.InsertRow(2);
  ASSERT_EQ(t.NrOfRows(), 4);
  EXPECT_EQ(t.GetRowName(2), "");
  EXPECT_EQ(t.GetElem(1, 2), 0.0);
  EXPECT_EQ(t.GetCellState(1, 2), 0);
  EXPECT_EQ(t.GetElem(1, 3), 2.0);
  EXPECT_EQ(t.GetCellState(1, 3), 8);
  EXPECT_EQ(t.GetRowAttrib(4), 103);
  EXPECT_EQ(t.GetRowName(4), "R-3");
  EXPECT_EQ(log["resize"], 1);
  EXPECT_EQ(log["setup"], 1);
  t.InsertRow(t.NrOfRows() + 1);  // appends
  EXPECT_EQ(t.GetRowName(5), "");
  t.InsertRow(7);  // outside: nothing
  EXPECT_EQ(t.NrOfRows(), 5);
  t.RemoveRow(2);
  EXPECT_EQ(t.GetElem(1, 2), 2.0);
  EXPECT_EQ(t.GetRowAttrib(2), 102);
  t.InsertColumn(1);
  EXPECT_EQ(t.GetColName(1), "");
  EXPECT_EQ(t.GetMScaleType(3), TMScaleType::stNominal);
  EXPECT_EQ(t.GetNominalID(3, 1), "blue");
  t.RemoveColumn(1);
  t.RemoveColumn(1);
  EXPECT_EQ(t.NrOfColumns(), 1);
  EXPECT_EQ(t.GetNominalID(1, 1), "blue");
  t.RemoveColumn(1);  // the last column stays
  EXPECT_EQ(t.NrOfColumns(), 1);
  TDataTable one;
  one.RemoveRow(1);
  EXPECT_EQ(one.NrOfRows(), 1);
}

TEST(TDataTableModel, NominalIdentifiers) {
  TDataTable t;
  t.Resize(2, 2);
  t.SetMScaleType(1, TMScaleType::stNominal);
  for (int k = 1; k <= 150; ++k) t.SetElemNominal(1, 1, "id" + std::to_string(k));
  EXPECT_EQ(t.GetNominalID(1, 150), "id150");
  t.SetElemNominal(1, 2, "ID7");  // another letter case reuses the index
  EXPECT_EQ(t.GetElem(1, 2), 7.0);
  EXPECT_EQ(t.GetElemNominal(1, 2), "id7");
  try {
    t.SetElemNominal(1, 2, "new");
    FAIL();
  } catch (const EORKDataTableError& e) {
    EXPECT_STREQ(e.what(), "Component \"\": number of available nominal values exceeded");
  }
  // In an interval column the lookup finds nothing: every call takes a slot.
  t.SetElemNominal(2, 1, "a");
  t.SetElemNominal(2, 2, "a");
  EXPECT_EQ(t.GetElem(2, 2), 2.0);
  EXPECT_EQ(t.GetNominalID(2, 1), "");  // hidden outside nominal columns
  t.SetMScaleType(2, TMScaleType::stOrdinal);
  EXPECT_EQ(t.AddNominalID(2, "b"), 3);
  EXPECT_EQ(t.GetMScaleType(2), TMScaleType::stNominal);
  EXPECT_EQ(t.OrdinalOfNominalID(2, "B", false), 0);
  EXPECT_EQ(t.OrdinalOfNominalID(2, "B", true), 3);
  t.SetNominalID(2, 4, "averyverylongid");
  EXPECT_EQ(t.GetNominalID(2, 4), "averyveryl");
  EXPECT_EQ(t.ListOfCategorialVars(), (TIntArray{1, 2}));
  // Rounding halves to even in nominal columns; codes without a slot show
  // as numbers.
  const struct {
    double stored;
    double elem;
    const char* text;
  } cases[] = {{2.5, 2.0, "id2"}, {3.5, 4.0, "id4"}, {151, 151, "151"}, {-3, -3, "-3"}};
  for (const auto& c : cases) {
    t.NumericData->SetVal(1, 1, c.stored);
    EXPECT_EQ(t.GetElem(1, 1), c.elem) << c.stored;
    EXPECT_EQ(t.GetElemNominal(1, 1), c.text) << c.stored;
  }
  t.ClearNominalIDs(1);
  EXPECT_EQ(t.GetNominalID(1, 1), "");
}

TEST(TDataTableModel, CellStatesAndMarkings) {
  TDataTable t;
  t.Resize(3, 2);
  EventLog log;
  log.Attach(t);
  t.SetCellState(2, 1, 64);
  t.SetCellState(2, 1, 64);  // no change: no event
  EXPECT_EQ(log["states"], 1);
  t.SetCellState(9, 9, 1);
  EXPECT_EQ(t.GetCellState(9, 9), 0);
  t.SetIsEmpty(1, 2, true);
  EXPECT_TRUE(t.GetIsEmpty(1, 2));
  EXPECT_FALSE(t.GetIsNumber(1, 2));
  EXPECT_EQ(log["data"], 1);
  t.SetIsImputed(3, 2, true);
  EXPECT_TRUE(t.GetIsImputed(3, 2));
  EXPECT_TRUE(t.GetIsNumber(3, 2));
  EXPECT_TRUE(t.IfRowHasCellState(1, 64));
  EXPECT_FALSE(t.IfRowHasCellState(2, 64));
  EXPECT_FALSE(t.IfColHasCellState(7, 255));
  EXPECT_EQ(t.CountMarkedCellsInRow(2, 2 | 32), 2);
  EXPECT_EQ(t.CountMarkedCellsInColumn(2, 64), 1);
  t.ExchangeMarkings();
  EXPECT_EQ(t.GetCellState(2, 1), 128);
  t.SetAllCellStates(255);
  t.UnmarkAllCells();
  EXPECT_EQ(t.GetCellState(3, 2), 63);
  t.InvertCellStates(0x0F);
  EXPECT_EQ(t.GetCellState(1, 1), 0x30);
  EXPECT_EQ(log["states"], 7);
}

TEST(TDataTableModel, NamesAttributesAndChecks) {
  TDataTable t;
  t.Resize(2, 5);
  t.SetColName(1, std::string(60, 'x'));
  EXPECT_EQ(t.GetColName(1).size(), 50u);
  // A name is cut at a character boundary: 49 bytes and a 2-byte letter.
  t.SetColName(2, std::string(49, 'y') + "\xC3\xA9z");
  EXPECT_EQ(t.GetColName(2), std::string(49, 'y'));
  EXPECT_EQ(t.MaxColNameLength(), 50);
  EXPECT_EQ(t.GetColName(3), "");
  t.SetRowAttributes(0x0F0F);
  t.SetRowAttributes(0x00F0, 0x00FF);
  EXPECT_EQ(t.GetRowAttrib(3), 0x0FF0);
  t.SetFComment("a\tb\nc");
  EXPECT_EQ(t.Comment(), "abc");
  const double col[] = {1, 1, 2, 1, 2};
  for (int32_t r = 1; r <= 5; ++r) t.SetElem(1, r, col[r - 1]);
  double v1 = -1, v2 = -1;
  EXPECT_TRUE(t.CheckDichotomousColumn(1, v1, v2));
  EXPECT_EQ(v1, 1.0);
  EXPECT_EQ(v2, 2.0);
  t.SetElem(1, 5, 3);
  EXPECT_FALSE(t.CheckDichotomousColumn(1, v1, v2));
  EXPECT_FALSE(t.CheckDichotomousColumn(3, v1, v2));
  EXPECT_EQ(v1, 0.0);
  EXPECT_TRUE(t.IsConstantColumn(2));
  EXPECT_FALSE(t.IsConstantColumn(1));
  EXPECT_FALSE(t.IsConstantColumn(0));
  EventLog log;
  log.Attach(t);
  t.Clear();
  EXPECT_EQ(t.GetColName(1), "C-1");
  EXPECT_EQ(t.GetRowAttrib(3), 0);
  EXPECT_EQ(t.Comment(), "");
  EXPECT_EQ(t.GetElem(1, 1), 0.0);
  EXPECT_EQ(log["names"], 1);
  EXPECT_EQ(log["setup"], 1);
  EXPECT_EQ(log["data"], 0);
  int32_t lo = 0, hi = 0;
  t.MakeValidColRange(lo, hi);
  EXPECT_EQ(hi, 2);
  lo = 5;
  hi = 1;
  t.MakeValidRowRange(lo, hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 5);
}
