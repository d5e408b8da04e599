// Helpers of the statis tests: relative errors against long double
// references and a record of the worst error per function, printed at the
// end of each grid test.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace statis_test {

/// |got - ref| / |ref| (0 when both are 0).
inline double RelErr(double got, long double ref) {
  if (ref == 0.0L) return got == 0.0 ? 0.0 : INFINITY;
  return static_cast<double>(std::fabs((static_cast<long double>(got) - ref) / ref));
}

/// Largest error seen, with the case that produced it.
class TWorst {
 public:
  explicit TWorst(std::string Name) : name(std::move(Name)) {}
  TWorst(const TWorst&) = delete;
  TWorst& operator=(const TWorst&) = delete;
  std::string name;
  double err = 0.0;
  std::string where;
  int count = 0;
  void Add(double e, const std::string& w) {
    ++count;
    if (e > err || std::isnan(e)) {
      err = e;
      where = w;
    }
  }
  ~TWorst() {
    std::printf("[ worst    ] %-28s %.3g over %d points (at %s)\n", name.c_str(), err, count,
                where.c_str());
  }
};

inline std::string Case(double a, double b, double c = NAN) {
  char buf[160];
  if (std::isnan(c))
    std::snprintf(buf, sizeof buf, "%.17g, %.17g", a, b);
  else
    std::snprintf(buf, sizeof buf, "%.17g, %.17g, %.17g", a, b, c);
  return buf;
}

}  // namespace statis_test
