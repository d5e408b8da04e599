// Helpers shared by the multivariate routines (not installed).
#pragma once

#include "ORK_math2.h"
#include "ORK_orkbase.h"

#include <cstdint>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace numbra::detail {

/// Progress counting of the long loops: Step(k) adds k to ProcStat and calls
/// MathFeedBackProc with the new value when a procedure is set. Without
/// one the steps are only summed and added to ProcStat once, by Flush or
/// the destructor, so the counting costs nothing in the hot loops; the
/// final value of ProcStat is the same either way.
class ProgressCounter {
 public:
  ProgressCounter() : live_(static_cast<bool>(corvel::MathFeedBackProc)) {}
  ProgressCounter(const ProgressCounter&) = delete;
  ProgressCounter& operator=(const ProgressCounter&) = delete;
  ~ProgressCounter() { Flush(); }

  void Step(double k = 1.0) {
    if (!live_) {
      pending_ += k;
      return;
    }
    const double now = corvel::ProcStat.load(std::memory_order_relaxed) + k;
    corvel::ProcStat.store(now, std::memory_order_relaxed);
    if (corvel::MathFeedBackProc) corvel::MathFeedBackProc(now);
  }
  /// Step(k) repeated Count times.
  void Steps(int64_t Count, double k = 1.0) {
    if (!live_) {
      pending_ += static_cast<double>(Count) * k;
      return;
    }
    for (int64_t i = 0; i < Count; ++i) Step(k);
  }
  void Flush() {
    if (pending_ != 0.0) {
      corvel::ProcStat.store(corvel::ProcStat.load(std::memory_order_relaxed) + pending_,
                             std::memory_order_relaxed);
      pending_ = 0.0;
    }
  }

 private:
  bool live_;
  double pending_ = 0.0;
};

/// A decomposition of a symmetric matrix: order n, eigenvalue k at
/// values[k], eigenvector k at vectors[k * n .. k * n + n - 1] (0-based).
struct EigenResult {
  int32_t n = 0;
  std::vector<double> values;
  std::vector<double> vectors;
};

/// Cyclic Jacobi on the symmetric n x n column-major matrix a (both
/// triangles filled, finite; destroyed). Fills Result (also on failure,
/// with the last iterate); returns true on convergence, false on an abort
/// or after 100 sweeps.
bool JacobiEigenDense(int32_t n, std::vector<double>& a, EigenResult& Result);

/// Replaces the process-wide eigen storage with Result (under the lock).
void PublishEigen(EigenResult&& Result);

/// The covariance kernel of CalcCovar on validated, 1-based ranges (nc
/// columns from LoC, m rows from LoR) into the dense nc x nc column-major
/// Out. Returns false on an abort.
bool CovarKernel(const TMatrix& InMat, int32_t LoC, int32_t nc, int32_t LoR, int32_t m,
                 int32_t Mode, std::vector<double>& Out);

/// Sizes V to Values.size() elements (at least 1) and stores them.
inline void StoreValues(TVector& V, std::span<const double> Values) {
  V.SetVecSize(static_cast<int32_t>(Values.size()));
  for (std::size_t i = 0; i < Values.size(); ++i) V.SetVal(static_cast<int32_t>(i) + 1, Values[i]);
}

/// Runs fn; an allocation failure is raised as EORKMath2Error
/// "<Routine>: not enough memory on heap".
template <class Fn>
auto WithHeap(const char* Routine, Fn&& fn) -> decltype(fn()) {
  try {
    return fn();
  } catch (const std::bad_alloc&) {
    throw EORKMath2Error(std::string(Routine) + ": not enough memory on heap");
  } catch (const std::length_error&) {
    throw EORKMath2Error(std::string(Routine) + ": not enough memory on heap");
  }
}

}  // namespace numbra::detail
