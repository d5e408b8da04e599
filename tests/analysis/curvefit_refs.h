// Reader of tests/data/curvefit/curvefit_refs.txt (make_curvefit_refs.py).
#pragma once

#include "ORK_math2.h"

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace curvefit_test {

struct Refs {
  std::map<std::string, std::vector<double>> data;  // set -> x1 y1 x2 y2 ...
  std::map<std::pair<std::string, std::string>, std::vector<double>> ref, eval;

  static const Refs& Get() {
    static const Refs r = Load();
    return r;
  }
  [[nodiscard]] const std::vector<double>& Ref(const std::string& set, const std::string& q) const {
    return ref.at({set, q});
  }
  /// A TCurveFit holding the points of a set.
  void Fill(const std::string& set, numbra::TCurveFit& fit) const {
    const auto& d = data.at(set);
    for (std::size_t i = 0; i + 1 < d.size(); i += 2) fit.EnterStatValue(d[i], d[i + 1]);
  }

 private:
  static Refs Load() {
    Refs r;
    std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/curvefit/curvefit_refs.txt");
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream ls(line);
      std::string kind, set, q;
      ls >> kind >> set;
      if (kind != "data") ls >> q;
      std::vector<double> v;
      double t = 0;
      while (ls >> t) v.push_back(t);
      if (kind == "data")
        r.data[set] = v;
      else if (kind == "ref")
        r.ref[{set, q}] = v;
      else if (kind == "eval")
        r.eval[{set, q}] = v;
    }
    return r;
  }
};

}  // namespace curvefit_test
