// The expression vocabulary's exception and the parenthesis balance check.
#include "ORK_math2.h"

#include <cstdint>
#include <limits>

namespace numbra {

NUMBRA_DEFINE_EXCEPTION(EORKMathExp);

int32_t CheckParanthInExp(std::string_view Expression) noexcept {
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  int64_t depth = 0;
  for (std::size_t i = 0; i < Expression.size(); ++i) {
    const char c = Expression[i];
    if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth < 0) {
      const auto pos = static_cast<int64_t>(i) + 1;
      return static_cast<int32_t>(-(pos < kMax ? pos : kMax));
    }
  }
  return static_cast<int32_t>(depth < kMax ? depth : kMax);
}

}  // namespace numbra
