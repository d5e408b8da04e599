// Shared helpers of the numbra tests.
#pragma once

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace numbra_test {

/// Relative-error check |a - b| <= k * eps * max(|a|, |b|, tiny).
inline ::testing::AssertionResult RelNear(double a, double b, double k) {
  const double eps = std::numeric_limits<double>::epsilon();
  const double scale = std::max({std::fabs(a), std::fabs(b), std::numeric_limits<double>::min()});
  if (std::fabs(a - b) <= k * eps * scale) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << a << " vs " << b << " differ by " << std::fabs(a - b) / scale / eps << " eps (allowed "
         << k << ")";
}

/// A scratch directory removed with the object.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("numbra_test_" + std::to_string(rd()) + "_" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  [[nodiscard]] std::string File(const std::string& name) const { return (path_ / name).string(); }
  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void WriteText(const std::string& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace numbra_test
