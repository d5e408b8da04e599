// TCrossValidator: fold drawing, counters, results, abort, the bound on
// failed model requests and the check messages; LoadPLSModelComment.
#include "ORK_matrix.h"
#include "ORK_statis.h"
#include "test_support.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace numbra;

// X holds the row number in column 1, so a prediction request tells which
// object is tested; Y holds Ys (one column per entry of a row).
struct Fixture {
  TMatrix x, y;
  TCrossValidator cv;
  std::vector<int> tested;            // row of each apply request, in order
  std::vector<std::size_t> training;  // training list sizes
  Fixture(int n, const std::vector<std::vector<double>>& Ys) {
    x.Resize(2, n);
    y.Resize(static_cast<int32_t>(Ys.empty() ? 1 : Ys[0].size()), n);
    for (int r = 1; r <= n; ++r) {
      x.SetVal(1, r, r);
      x.SetVal(2, r, -r);
      for (std::size_t c = 0; c < Ys[0].size(); ++c)
        y.SetVal(static_cast<int32_t>(c) + 1, r,
                 Ys[static_cast<std::size_t>(r - 1) % Ys.size()][c]);
    }
    cv.SetXMat(&x);
    cv.SetYMat(&y);
    cv.OnModelCreateRequest = [this](TObject*, int32_t, const TIntArray& list, bool& ok) {
      training.push_back(list.size());
      ok = true;
    };
  }
  // Predicts Pred(row, column) for every test object.
  template <class F>
  void Predict(F Pred) {
    cv.OnModelApplyRequest = [this, Pred](TObject*, int32_t, const TDoubleArray& p,
                                          TDoubleArray& resp) {
      const int row = static_cast<int>(p[0]);
      tested.push_back(row);
      for (std::size_t c = 0; c < resp.size(); ++c) resp[c] = Pred(row, static_cast<int>(c) + 1);
    };
  }
};

TEST(TCrossValidator, FoldsCoverEveryRowOnce) {
  struct Case {
    int rows, size, size_after;
    std::vector<std::size_t> training;
  };
  const Case cases[] = {
      {5, 2, 2, {3, 3, 4}}, {10, 8, 6, {4, 6}},      {7, 1, 1, {6, 6, 6, 6, 6, 6, 6}},
      {1, 3, 1, {0}},       {4, 0, 1, {3, 3, 3, 3}},
  };
  for (const Case& c : cases) {
    Fixture f(c.rows, {{1.0}});
    f.Predict([](int, int) { return 1.0; });
    f.cv.SetTestSize(c.size);
    SetRandSeed(99);
    EXPECT_TRUE(f.cv.Execute());
    EXPECT_EQ(f.cv.SizeTestSet(), c.size_after) << c.rows;
    EXPECT_EQ(f.training, c.training) << c.rows;
    std::map<int, int> count;
    for (const int r : f.tested) ++count[r];
    EXPECT_EQ(count.size(), static_cast<std::size_t>(c.rows));
    for (const auto& [r, k] : count) EXPECT_EQ(k, 1) << "row " << r;
  }
}

TEST(TCrossValidator, CountsAndRates) {
  // Column 1 all positive, column 2 all negative, column 3 mixed.
  Fixture f(6, {{1, 0, 1}, {1, 0, 0}});
  const std::map<int, double> pred1 = {{1, 0.9995}, {2, 0.998},  {3, 1.0},
                                       {4, NAN},    {5, 1.0005}, {6, 1.2}};
  f.Predict([&](int row, int col) {
    if (col == 1) return pred1.at(row);
    if (col == 2) return row <= 2 ? 0.5 : 0.0;
    return row % 2 == 1 ? 1.0 : 0.0;
  });
  ASSERT_TRUE(f.cv.Execute());
  struct Expect {
    int col;
    double tp, fn, fp, tn, tprate, fprate;
  };
  // 0.9995 and 1.0005 are within 0.001 (true positives); 0.998, 1.2 and NaN
  // are not (false negatives).
  for (const Expect e : {Expect{1, 3, 3, 0, 0, 0.5, 1.0}, Expect{2, 0, 0, 2, 4, 0.0, 1.0 / 3},
                         Expect{3, 3, 0, 0, 3, 1.0, 0.0}}) {
    EXPECT_EQ(f.cv.GetTPCount(e.col), e.tp) << e.col;
    EXPECT_EQ(f.cv.GetFNCount(e.col), e.fn) << e.col;
    EXPECT_EQ(f.cv.GetFPCount(e.col), e.fp) << e.col;
    EXPECT_EQ(f.cv.GetTNCount(e.col), e.tn) << e.col;
    EXPECT_DOUBLE_EQ(f.cv.GetTPRate(e.col), e.tprate) << e.col;
    EXPECT_DOUBLE_EQ(f.cv.GetFPRate(e.col), e.fprate) << e.col;
  }
  EXPECT_DOUBLE_EQ(f.cv.GetPress(2), 2 * 0.25);
  EXPECT_DOUBLE_EQ(f.cv.GetRMSEP(2), std::sqrt(0.5 / 6));
  EXPECT_EQ(f.cv.GetRMSEP(3), 0.0);
  EXPECT_TRUE(std::isnan(f.cv.GetRMSEP(1)));  // the NaN prediction
  EXPECT_EQ(f.cv.GetRMSEP(4), -1.0);          // no such column
  f.cv.SetTestSize(3);                        // invalidates the results
  for (const int col : {1, 2, 3}) {
    EXPECT_EQ(f.cv.GetRMSEP(col), -1.0);
    EXPECT_EQ(f.cv.GetTPRate(col), -1.0);
    EXPECT_EQ(f.cv.GetFPRate(col), -1.0);
  }
}

TEST(TCrossValidator, EndsWhateverTheHostDoes) {
  struct Case {
    const char* what;
    int fail_every;  // 0: never succeed; k: every k-th request fails
    int max_failed;
    bool result;
  };
  for (const Case c :
       {Case{"always fails", 0, 10, false}, Case{"always fails, bound 1", 0, 1, false},
        Case{"every 2nd fails", 2, 10, true}, Case{"every 3rd fails", 3, 1, false}}) {
    Fixture f(20, {{0.0}});
    f.Predict([](int, int) { return 0.0; });
    f.cv.SetTestSize(3);
    f.cv.SetMaxFailedRequests(c.max_failed);
    int requests = 0;
    f.cv.OnModelCreateRequest = [&](TObject*, int32_t, const TIntArray&, bool& ok) {
      ++requests;
      ok = c.fail_every != 0 && requests % c.fail_every != 0;
    };
    SetRandSeed(5);
    EXPECT_EQ(f.cv.Execute(), c.result) << c.what;
    if (c.fail_every == 0) {
      EXPECT_EQ(requests, c.max_failed) << c.what;
      EXPECT_EQ(f.cv.FailedRequests(), c.max_failed) << c.what;
      EXPECT_TRUE(f.tested.empty());
    }
    if (c.result) {
      // Failed folds are drawn again: every object still tested exactly once.
      std::map<int, int> count;
      for (const int r : f.tested) ++count[r];
      EXPECT_EQ(count.size(), 20U);
      for (const auto& [r, k] : count) EXPECT_EQ(k, 1);
      EXPECT_EQ(f.cv.GetRMSEP(1), 0.0);
    } else {
      EXPECT_EQ(f.cv.GetRMSEP(1), -1.0) << c.what;
    }
    EXPECT_FALSE(f.cv.IsRunning());
  }
}

TEST(TCrossValidator, AbortAndProgress) {
  Fixture f(10, {{1.0}});
  f.Predict([](int, int) { return 1.0; });
  std::vector<int32_t> percent;
  f.cv.OnModelCreateRequest = [&](TObject* s, int32_t pc, const TIntArray&, bool& ok) {
    EXPECT_EQ(s, &f.cv);
    EXPECT_TRUE(f.cv.IsRunning());
    percent.push_back(pc);
    ok = true;
  };
  int checks = 0;
  f.cv.OnCheckAbort = [&](TObject*, bool& abort) { abort = ++checks == 5; };
  EXPECT_FALSE(f.cv.Execute());
  EXPECT_EQ(checks, 5);
  EXPECT_EQ(f.tested.size(), 5U);
  EXPECT_EQ(f.cv.GetTPRate(1), -1.0);
  EXPECT_EQ(f.cv.GetPress(1), -1.0);
  EXPECT_EQ(percent, (std::vector<int32_t>{0, 20, 40}));
}

TEST(TCrossValidator, CheckMessages) {
  TMatrix x, y, y4;
  x.Resize(2, 3);
  y.Resize(1, 3);
  y4.Resize(1, 4);
  const auto apply = [](TObject*, int32_t, const TDoubleArray&, TDoubleArray&) {};
  const auto create = [](TObject*, int32_t, const TIntArray&, bool& ok) { ok = true; };
  struct Case {
    TMatrix *x, *y;
    bool apply, create;
    std::string msg;
  };
  TMatrix empty;
  empty.Resize(1, 0);
  const Case cases[] = {
      {nullptr, &y, true, true, "TCrossValidator.Execute: data matrix not assigned"},
      {&x, nullptr, false, false, "TCrossValidator.Execute: data matrix not assigned"},
      {&x, &y4, false, false, "TCrossValidator.Execute: number of rows of XMat and YMat not equal"},
      {&x, &y, false, true, "TCrossValidator: OnModelApplyRequest event is not assigned"},
      {&x, &y, true, false, "TCrossValidator: OnModelCreateRequest event is not assigned"},
      {&empty, &empty, true, true, "TCrossValidator.Execute: data matrix has no rows"},
  };
  for (const Case& c : cases) {
    TCrossValidator cv;
    cv.SetXMat(c.x);
    cv.SetYMat(c.y);
    if (c.apply) cv.OnModelApplyRequest = apply;
    if (c.create) cv.OnModelCreateRequest = create;
    try {
      (void)cv.Execute();
      ADD_FAILURE() << "no exception, expected " << c.msg;
    } catch (const EORKStatisError& e) {
      EXPECT_EQ(std::string(e.what()), c.msg);
    }
  }
  // Handlers that misbehave: a nested Execute, a resized Response.
  TCrossValidator cv;
  cv.SetXMat(&x);
  cv.SetYMat(&y);
  cv.OnModelCreateRequest = create;
  cv.OnModelApplyRequest = [&](TObject*, int32_t, const TDoubleArray&, TDoubleArray&) {
    (void)cv.Execute();
  };
  EXPECT_THROW((void)cv.Execute(), EORKStatisError);
  EXPECT_FALSE(cv.IsRunning());
  cv.OnModelApplyRequest = [](TObject*, int32_t, const TDoubleArray&, TDoubleArray& r) {
    r.clear();
  };
  try {
    (void)cv.Execute();
    ADD_FAILURE();
  } catch (const EORKStatisError& e) {
    EXPECT_STREQ(e.what(),
                 "TCrossValidator.Execute: OnModelApplyRequest changed the size of Response");
  }
  EXPECT_EQ(cv.GetRMSEP(1), -1.0);
}

TEST(LoadPLSModelComment, Format) {
  struct Case {
    std::string text;
    std::string comment;  // expected comment, or the error after "LoadPLSModelComment: "
    bool ok;
  };
  const std::string long_line(1025, 'x');
  const Case cases[] = {
      {"NUMBRA PLS MODEL 1\nCOMMENT 2\nfirst line\nsecond\nDATA...\n", "first line\nsecond", true},
      {"NUMBRA PLS MODEL\r\nCOMMENT 1\r\nwith CR LF\r\n", "with CR LF", true},
      {"NUMBRA PLS MODEL 2\nCOMMENT 0\n", "", true},
      {"NUMBRA PLS MODEL 1\nCOMMENT 1\nno final line end", "no final line end", true},
      {"NUMBRA PLS MODEL 1\nCOMMENT 1\n" + std::string(1024, 'y') + "\n", std::string(1024, 'y'),
       true},
      {"", "not a PLS model file", false},
      {"NUMBRA PLS MODELX\nCOMMENT 0\n", "not a PLS model file", false},
      {"PLS\n", "not a PLS model file", false},
      {"NUMBRA PLS MODEL 1\n", "invalid comment header", false},
      {"NUMBRA PLS MODEL 1\nCOMMENT\n", "invalid comment header", false},
      {"NUMBRA PLS MODEL 1\nCOMMENT -1\n", "invalid comment header", false},
      {"NUMBRA PLS MODEL 1\nCOMMENT 1001\n", "invalid comment header", false},
      {"NUMBRA PLS MODEL 1\nCOMMENT 99999999999\n", "invalid comment header", false},
      {"NUMBRA PLS MODEL 1\nCOMMENT 3\na\nb\n", "comment is truncated", false},
      {"NUMBRA PLS MODEL 1\nCOMMENT 1\n" + long_line + "\n", "line too long", false},
      {"NUMBRA PLS MODEL 1" + long_line, "line too long", false},
  };
  numbra_test::TempDir dir;
  for (const Case& c : cases) {
    const std::string file = dir.File("model.pls");
    numbra_test::WriteText(file, c.text);
    std::string comment = "unchanged";
    try {
      LoadPLSModelComment(file, comment);
      EXPECT_TRUE(c.ok) << c.text;
      EXPECT_EQ(comment, c.comment);
    } catch (const EORKStatisError& e) {
      EXPECT_FALSE(c.ok) << c.text;
      EXPECT_EQ(std::string(e.what()), "LoadPLSModelComment: " + c.comment);
      EXPECT_EQ(comment, "unchanged");
    }
  }
  std::string comment;
  try {
    LoadPLSModelComment(dir.File("missing.pls"), comment);
    ADD_FAILURE();
  } catch (const EORKStatisError& e) {
    EXPECT_EQ(std::string(e.what()),
              "LoadPLSModelComment: cannot open file \"" + dir.File("missing.pls") + "\"");
  }
}

}  // namespace
