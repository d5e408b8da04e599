#include "ORK_orkbase.h"

namespace corvel {

EORKError::~EORKError() = default;

std::atomic<double> ProcStat{0.0};
TMathFeedBackProc MathFeedBackProc;
std::atomic<bool> AbortMathProc{false};

void StepProcStat() {
  // Single writer assumed (one computation per process); a load-add-store is
  // enough and works on every std::atomic<double>.
  const double now = ProcStat.load(std::memory_order_relaxed) + 1.0;
  ProcStat.store(now, std::memory_order_relaxed);
  if (MathFeedBackProc) MathFeedBackProc(now);
}

}  // namespace corvel
