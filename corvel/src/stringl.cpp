#include "ORK_stringl.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace corvel {

std::string strff(double Value, int Width, int Decimals) {
  const int decimals = std::clamp(Decimals, 0, 100);
  const int width = std::clamp(Width, 0, 1024);
  std::string body;
  if (std::isnan(Value)) {
    body = "NAN";
  } else if (std::isinf(Value)) {
    body = Value < 0 ? "-INF" : "INF";
  } else {
    // 309 integer digits at most, a sign, a point and the decimals.
    std::vector<char> buf(static_cast<std::size_t>(decimals) + 320);
    const int n = std::snprintf(buf.data(), buf.size(), "%.*f", decimals, Value);
    body.assign(buf.data(), static_cast<std::size_t>(std::max(0, n)));
  }
  if (static_cast<int>(body.size()) < width)
    body.insert(0, static_cast<std::size_t>(width) - body.size(), ' ');
  return body;
}

bool StringContains(std::string_view Text, std::string_view Part) {
  auto any = [Text](auto pred) {
    return std::any_of(Text.begin(), Text.end(),
                       [&](char c) { return pred(static_cast<unsigned char>(c)); });
  };
  if (Part == "//dig") return any([](unsigned char c) { return c >= '0' && c <= '9'; });
  if (Part == "//alp")
    return any([](unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
  if (Part == "//aln")
    return any([](unsigned char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
  if (Part == "//spc") return any([](unsigned char c) { return c == ' ' || c == '\t'; });
  if (Part == "//ctl") return any([](unsigned char c) { return c < 32 || c == 127; });
  return Text.find(Part) != std::string_view::npos;
}

std::string RemoveControlChars(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (const char c : Text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 32 && u != 127) out.push_back(c);
  }
  return out;
}

std::string ReplaceCharInString(std::string_view Text, char Old, char New) {
  std::string out(Text);
  std::replace(out.begin(), out.end(), Old, New);
  return out;
}

}  // namespace corvel

namespace corvel {

std::string SciText(double Value, int Width) {
  const int digits = std::clamp(Width - 9, 1, 30);
  std::string out;
  if (std::isnan(Value) || std::isinf(Value)) {
    out = std::isnan(Value) ? "NAN" : (Value < 0 ? "-INF" : "INF");
  } else {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", digits, std::fabs(Value));
    // buf is "d.ddddE+xx" or "d.ddddE-xxx": widen the exponent to 4 digits.
    const char* e = std::strchr(buf, 'E');
    const int exp_val = std::abs(std::atoi(e + 2));
    char exp_buf[16];
    std::snprintf(exp_buf, sizeof exp_buf, "%c%04d", e[1], exp_val % 10000);
    out.reserve(static_cast<std::size_t>(digits) + 10);
    out.push_back(Value < 0 ? '-' : ' ');
    out.append(buf, static_cast<std::size_t>(e - buf));
    out.push_back('E');
    out.append(exp_buf);
  }
  if (static_cast<int>(out.size()) < Width)
    out.insert(0, static_cast<std::size_t>(Width) - out.size(), ' ');
  return out;
}

}  // namespace corvel
