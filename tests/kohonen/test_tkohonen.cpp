// TKohonen: defaults and setters, the training schedule and its feedback,
// abort and continuation, training runs against an independent reference
// (tests/data/kohonen, make_kohonen_refs.py), ApplyIt, the XML form, and
// the numbra som command.
#include "ORK_kohonen.h"
#include "test_support.h"
#include <sys/wait.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using numbra::TKohonen;
using numbra::TMatrix;
using numbra::TVector;

namespace {

struct RefCase {
  bool cyclic = false;
  int sx = 0, sy = 0, nk = 0, steps = 0, r0 = 0, nobj = 0;
  double a0 = 0;
  std::vector<double> data, init, final_w;
  std::vector<std::pair<int, double>> schedule;  // radius, rate per step
};

std::vector<double> Numbers(std::istringstream& in) {
  std::vector<double> v;
  std::string w;
  while (in >> w) v.push_back(std::stod(w));
  return v;
}

std::vector<RefCase> ReadRefs() {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/kohonen/kohonen_refs.txt");
  std::vector<RefCase> out;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string key;
    s >> key;
    if (key == "case") {
      RefCase c;
      std::string kind;
      s >> kind >> c.sx >> c.sy >> c.nk >> c.steps >> c.r0 >> c.a0 >> c.nobj;
      c.cyclic = kind == "cyclic";
      out.push_back(c);
    } else if (key == "data") {
      out.back().data = Numbers(s);
    } else if (key == "init") {
      out.back().init = Numbers(s);
    } else if (key == "final") {
      out.back().final_w = Numbers(s);
    } else if (key == "step") {
      int step = 0, radius = 0;
      double rate = 0;
      s >> step >> radius >> rate;
      out.back().schedule.emplace_back(radius, rate);
    }
  }
  return out;
}

std::string ShortestText(double v) {
  char buf[32];
  for (int p = 1; p <= 17; ++p) {
    std::snprintf(buf, sizeof buf, "%.*g", p, v);
    if (std::stod(buf) == v) break;
  }
  return buf;
}

// A map with the case's settings and data, its weights set to the initial
// ones through the XML form (curstep 1).
void Prepare(const RefCase& c, TKohonen& map) {
  TMatrix data;
  data.Resize(c.nk, c.nobj);
  for (int o = 0; o < c.nobj; ++o)
    for (int k = 0; k < c.nk; ++k) data.SetVal(k + 1, o + 1, c.data[o * c.nk + k]);
  map.SetDataMat(&data);
  std::string xml = "<kohonen><sizex>" + std::to_string(c.sx) + "</sizex><sizey>" +
                    std::to_string(c.sy) + "</sizey><nrinsens>" + std::to_string(c.nk) +
                    "</nrinsens><maxneighb>" + std::to_string(c.r0) + "</maxneighb><maxsteps>" +
                    std::to_string(c.steps) + "</maxsteps><maxalpha>" + ShortestText(c.a0) +
                    "</maxalpha><curstep>1</curstep><cyclic>" + (c.cyclic ? "true" : "false") +
                    "</cyclic>";
  for (int k = 1; k <= c.nk; ++k)
    xml += "<meanstddev input='" + std::to_string(k) + "' mean='0' stddev='0'/>";
  std::size_t i = 0;
  for (int x = 1; x <= c.sx; ++x)
    for (int y = 1; y <= c.sy; ++y)
      for (int k = 1; k <= c.nk; ++k)
        xml += "<cell x='" + std::to_string(x) + "' y='" + std::to_string(y) + "' w='" +
               std::to_string(k) + "'>" + ShortestText(c.init[i++]) + "</cell>";
  xml += "</kohonen>";
  numbra::TMemoryStream s;
  s.Write(xml.data(), static_cast<int64_t>(xml.size()));
  s.SetPosition(0);
  ASSERT_TRUE(map.ReadFromXMLStream(&s, ""));
  ASSERT_EQ(map.NrOfTrnObj(), c.nobj);
}

}  // namespace

TEST(TKohonen, DefaultsAndSetters) {
  numbra::SetRandSeed(3);
  TKohonen map;
  EXPECT_EQ(map.SizeX(), 1);
  EXPECT_EQ(map.SizeY(), 1);
  EXPECT_EQ(map.NrOfInSens(), 1);
  EXPECT_EQ(map.NrOfTrnSteps(), 200);
  EXPECT_EQ(map.InitialNeighbors(), 2);
  EXPECT_EQ(map.InitialAlpha(), 1.0);
  EXPECT_FALSE(map.Cyclic());
  const double w = map.KohMat().GetVal(1, 1, 1);
  EXPECT_GE(w, -0.1);
  EXPECT_LT(w, 0.1);
  EXPECT_EQ(map.GetWeight(1, 1, 1), w);  // no standardisation: raw units
  map.SetSizeX(0);
  map.SetSizeY(-2);
  map.SetNumInsens(0);
  map.SetNrOfTrnSteps(0);
  EXPECT_EQ(map.SizeX() + map.SizeY() + map.NrOfInSens(), 3);
  EXPECT_EQ(map.NrOfTrnSteps(), 200);
  map.SetSizeX(3);
  EXPECT_EQ(map.KohMat().NrOfColumns(), 3);
  EXPECT_EQ(map.KohMat().GetVal(1, 1, 1), 0.0);  // replaced by zeros
  map.SetNumInsens(4);
  EXPECT_EQ(map.TrainData()->NrOfColumns(), 4);
  EXPECT_EQ(map.KohMat().NrOfLayers(), 4);
}

TEST(TKohonen, ScheduleFeedbackAbortAndContinuation) {
  TKohonen map;
  TMatrix data;
  data.Resize(2, 5);
  data.FillRandomUniform(0, 1);
  map.SetDataMat(&data);
  map.SetSizeX(3);
  map.SetSizeY(3);
  std::vector<int> percents;
  map.OnFeedback = [&](numbra::TObject* s, int32_t p) {
    EXPECT_EQ(s, &map);
    percents.push_back(p);
  };
  map.Trainit();
  ASSERT_EQ(percents.size(), 199U);  // steps 1..199 of 200
  EXPECT_EQ(percents.front(), 0);    // Round(0.5) is even
  EXPECT_EQ(percents[2], 2);         // Round(1.5)
  EXPECT_EQ(percents.back(), 100);   // Round(99.5)
  EXPECT_EQ(map.CurrentStep(), 200);

  // Step 1 of 200: radius Round((2 - 1) 0.995^2 + 1) = 2, rate 0.990025.
  percents.clear();
  map.OnFeedback = [&](numbra::TObject*, int32_t p) {
    percents.push_back(p);
    map.AbortTraining();
  };
  map.Trainit();
  EXPECT_EQ(percents.size(), 1U);
  EXPECT_EQ(map.CurrentStep(), 2);
  EXPECT_EQ(map.CurrentNeighbors(), 2);
  EXPECT_DOUBLE_EQ(map.CurrentAlpha(), 0.990025);
  map.OnFeedback = nullptr;
  map.ContinueTraining();  // goes on with step 2
  EXPECT_EQ(map.CurrentStep(), 200);
  EXPECT_EQ(map.CurrentNeighbors(), 1);
  // Beyond the schedule a step runs with rate 0: nothing moves.
  const std::vector<double> before(map.KohMat().Values().begin(), map.KohMat().Values().end());
  map.ContinueTraining();
  EXPECT_EQ(map.CurrentAlpha(), 0.0);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), map.KohMat().Values().begin()));

  // Cyclic radius caps: 4 x 4 at most 1; on a 1 x n grid 0 across.
  map.SetCyclic(true);
  map.SetInitialNeighbors(5);
  map.SetSizeX(4);
  map.SetSizeY(4);
  map.Trainit();
  EXPECT_EQ(map.CurrentNeighbors(), 1);  // the radius itself; the cap applies to the square
}

TEST(TKohonen, TrainingMatchesTheIndependentReference) {
  const auto refs = ReadRefs();
  ASSERT_EQ(refs.size(), 4U);
  for (const RefCase& c : refs) {
    TKohonen map;
    Prepare(c, map);
    std::vector<std::pair<int, double>> seen;
    map.OnFeedback = [&](numbra::TObject*, int32_t) {
      seen.emplace_back(map.CurrentNeighbors(), map.CurrentAlpha());
    };
    map.ContinueTraining();
    EXPECT_EQ(seen, c.schedule);
    std::size_t i = 0;
    for (int x = 1; x <= c.sx; ++x)
      for (int y = 1; y <= c.sy; ++y)
        for (int k = 1; k <= c.nk; ++k, ++i)
          // The same operations in the same order on IEEE doubles.
          ASSERT_EQ(map.KohMat().GetVal(x, y, k), c.final_w[i])
              << (c.cyclic ? "cyclic " : "bounded ") << c.sx << "x" << c.sy << " at " << x << ","
              << y << "," << k;
  }
}

TEST(TKohonen, ApplyItAndTheXmlFormAgreeBitForBit) {
  numbra::SetRandSeed(17);
  TMatrix data;
  data.Resize(3, 40);
  data.FillRandomGauss(5.0, 2.0);
  for (int r = 1; r <= 40; ++r) data.SetVal(3, r, 7.0);  // a constant input
  TKohonen map;
  map.SetDataMat(&data);
  map.SetSizeX(4);
  map.SetSizeY(3);
  map.SetNrOfTrnSteps(20);
  map.SetComment("a <map> & \"more\"");
  map.StandardizeData();
  map.Trainit();
  EXPECT_EQ(map.StdDev(3), 0.0);
  // An input equal to a neuron's de-standardised weights maps to it.
  TVector in;
  in.SetVecSize(3);
  for (int k = 1; k <= 3; ++k) in.SetVal(k, map.GetWeight(2, 3, k));
  int32_t bx = 0, by = 0;
  double d = -1;
  map.ApplyIt(&in, bx, by, d);
  EXPECT_EQ(bx, 2);
  EXPECT_EQ(by, 3);
  EXPECT_LT(d, 1e-28);  // only the rounding of the round trip
  map.ApplyIt(nullptr, bx, by, d);
  EXPECT_EQ(bx + by, 0);

  numbra_test::TempDir dir;
  map.SaveAsXMLFile(dir.File("map.xml"), "m1");
  TKohonen back;
  ASSERT_TRUE(back.LoadFromXMLFile(dir.File("map.xml"), "m1"));
  EXPECT_EQ(back.Comment(), map.Comment());
  EXPECT_EQ(back.CurrentStep(), map.CurrentStep());
  EXPECT_EQ(back.NrOfTrnSteps(), 20);
  EXPECT_EQ(back.KohMat().CRCofData(), map.KohMat().CRCofData());
  for (int r = 1; r <= 40; ++r) {
    for (int k = 1; k <= 3; ++k) in.SetVal(k, data.GetVal(k, r) + 0.25 * k);
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    double d1 = 0, d2 = 0;
    map.ApplyIt(&in, x1, y1, d1);
    back.ApplyIt(&in, x2, y2, d2);
    ASSERT_EQ(x1, x2);
    ASSERT_EQ(y1, y2);
    ASSERT_EQ(std::bit_cast<uint64_t>(d1), std::bit_cast<uint64_t>(d2));
  }
  EXPECT_FALSE(back.LoadFromXMLFile(dir.File("map.xml"), "other"));

  // Stream and open-file forms.
  numbra::TMemoryStream s;
  map.WriteToXMLStream(&s, true, "a");
  map.WriteToXMLStream(&s, false, "b");
  s.SetPosition(0);
  TKohonen t;
  ASSERT_TRUE(t.ReadFromXMLStream(&s, "b"));
  EXPECT_EQ(t.KohMat().CRCofData(), map.KohMat().CRCofData());
  {
    numbra::TTextWriter w;
    ASSERT_TRUE(w.Open(dir.File("open.xml")));
    map.WriteToOpenXMLFile(w, true, "o");
    w.WriteLine("tail");
    ASSERT_TRUE(w.Close());
  }
  numbra::TTextReader r(dir.File("open.xml"));
  ASSERT_TRUE(t.ReadFromOpenXMLFile(r, "o"));
  std::string line;
  ASSERT_TRUE(r.ReadLine(line));
  EXPECT_EQ(line, "tail");
}

TEST(TKohonen, HostileXmlFailsAndLeavesTheMapAlone) {
  const std::string sizes = "<sizex>1</sizex><sizey>1</sizey><nrinsens>1</nrinsens>";
  const std::string stats = "<meanstddev input='1' mean='0' stddev='1'/>";
  const std::string cell = "<cell x='1' y='1' w='1'>0.5</cell>";
  const struct {
    const char* name;
    std::string xml;
  } bad[] = {
      {"no cells", "<kohonen>" + sizes + stats + "</kohonen>"},
      {"no statistics", "<kohonen>" + sizes + cell + "</kohonen>"},
      {"cell twice", "<kohonen>" + sizes + stats + cell + cell + "</kohonen>"},
      {"cell before sizes", "<kohonen>" + cell + sizes + stats + "</kohonen>"},
      {"cell outside", "<kohonen>" + sizes + stats + "<cell x='2' y='1' w='1'>1</cell></kohonen>"},
      {"huge claim",
       "<kohonen><sizex>2000000000</sizex><sizey>2000000000</sizey>"
       "<nrinsens>2000000000</nrinsens></kohonen>"},
      {"zero size", "<kohonen><sizex>0</sizex></kohonen>"},
      {"bad cyclic", "<kohonen>" + sizes + "<cyclic>maybe</cyclic>" + stats + cell + "</kohonen>"},
      {"zero steps", "<kohonen>" + sizes + "<maxsteps>0</maxsteps>" + stats + cell + "</kohonen>"},
      {"doctype", "<!DOCTYPE kohonen [<!ENTITY a 'b'>]><kohonen>" + sizes + "</kohonen>"},
      {"unclosed", "<kohonen>" + sizes + stats + cell},
  };
  for (const auto& b : bad) {
    TKohonen map;
    map.SetSizeX(2);
    numbra::TMemoryStream s;
    s.Write(b.xml.data(), static_cast<int64_t>(b.xml.size()));
    s.SetPosition(0);
    EXPECT_FALSE(map.ReadFromXMLStream(&s, "")) << b.name;
    EXPECT_EQ(map.SizeX(), 2) << b.name;
  }
  TKohonen ok;
  const std::string good = "<kohonen>" + sizes + stats + cell + "</kohonen>";
  numbra::TMemoryStream s;
  s.Write(good.data(), static_cast<int64_t>(good.size()));
  s.SetPosition(0);
  EXPECT_TRUE(ok.ReadFromXMLStream(&s, ""));
  EXPECT_EQ(ok.GetWeight(1, 1, 1), 0.5);
}

#if defined(NUMBRA_CLI_PATH)
TEST(TKohonen, SomCommandPrintsNeuronsAndQuantisationError) {
  numbra_test::TempDir dir;
  std::string table = "a,b\n";
  for (int i = 0; i < 20; ++i)
    table += std::to_string(i % 2 == 0 ? 0.1 * i : 10 + 0.1 * i) + "," +
             std::to_string(i % 2 == 0 ? 1.0 : 9.0) + "\n";
  numbra_test::WriteText(dir.File("t.csv"), table);
  const std::string out = dir.File("out");
  const std::string cmd = std::string(NUMBRA_CLI_PATH) + " som " + dir.File("t.csv") +
                          " --size 3,2 --steps 30 --save " + dir.File("m.xml") + " >" + out +
                          " 2>&1";
  const int raw = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  ASSERT_EQ(WEXITSTATUS(raw), 0) << numbra_test::ReadText(out);
  const std::string text = numbra_test::ReadText(out);
  EXPECT_EQ(text.rfind("row x y distance\n", 0), 0U);
  EXPECT_NE(text.find("\n20 "), std::string::npos);
  EXPECT_NE(text.find("quantisation error: "), std::string::npos);
  TKohonen map;
  EXPECT_TRUE(map.LoadFromXMLFile(dir.File("m.xml"), ""));
  EXPECT_EQ(map.SizeX() * 10 + map.SizeY(), 32);
  const std::string bad =
      std::string(NUMBRA_CLI_PATH) + " som " + dir.File("t.csv") + " --size 0,2 >" + out + " 2>&1";
  const int raw2 = std::system(bad.c_str());
  EXPECT_EQ(WEXITSTATUS(raw2), 2);
}
#endif
