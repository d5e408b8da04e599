// Storage operations shared by TVector and TIntVector: the resizing, copying
// and assignment rules written once over the element type. Each class's
// member functions pass their fields and their own Changed/SetVal, so the
// event rules stay exactly those of the class. Not installed.
#pragma once

#include "foundation/frame_detail.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace numbra::detail {

/// The storage rules, as static members of the one struct that the vector
/// classes befriend.
struct VectorStorage {
  /// Resize rule: same count -> true, nothing happens; NE < 1 -> false;
  /// otherwise keep 1..min(old, NE), new elements 0, Changed(), true.
  template <class Exc, class T, class ChangedFn>
  static bool ResizeStorage(const corvel::TComponent& C, std::vector<T>& Vec, int32_t& Count,
                            int32_t NE, ChangedFn&& Changed) {
    if (NE == Count) return true;
    if (NE < 1) return false;
    Allocate<Exc>(C, "not enough memory", [&] { Vec.resize(static_cast<std::size_t>(NE), T{}); });
    Count = NE;
    Changed();
    return true;
  }

  /// Clone rule: resize to the source count, write every element through
  /// SetVal, then Changed(). Without a change handler the writes are one copy
  /// with the same result (IsEmpty cleared, no event to fire).
  template <class Dest, class Src>
  static void CloneStorage(Dest& D, const Src* Source) {
    if (Source == nullptr) return;
    if (Source != &D) D.Resize(Source->NrOfElem());
    if (D.OnChange) {
      for (int32_t i = 1; i <= D.NrOfElem(); ++i) D.SetVal(i, Source->GetVal(i));
    } else {
      const auto src = Source->Values();
      auto& dst = D.FVec;
      if (Source != &D) std::copy(src.begin(), src.end(), dst.begin());
      D.FIsEmpty = false;
    }
    D.Changed();
  }

  /// CopyFrom rule: source bounds clamped into 1..source count (no (0, 0)
  /// rule) and ordered; element i goes to i - Lo + DestElem through SetVal,
  /// targets outside are dropped; then Changed(). The source range is copied
  /// first, so copying a vector onto itself reads the original values.
  template <class Dest, class Src>
  static void CopyFromStorage(Dest& D, const Src* Source, int32_t SourceElemLo,
                              int32_t SourceElemHi, int32_t DestElem) {
    if (Source == nullptr) return;
    const int32_t n = Source->NrOfElem();
    int32_t lo = std::clamp(SourceElemLo, 1, n);
    int32_t hi = std::clamp(SourceElemHi, 1, n);
    if (lo > hi) std::swap(lo, hi);
    const auto all = Source->Values();
    const std::vector<typename decltype(all)::value_type> src(all.begin() + (lo - 1),
                                                              all.begin() + hi);
    for (int32_t i = lo; i <= hi; ++i) {
      const int64_t dest = int64_t{i} - lo + DestElem;
      if (dest >= 1 && dest <= D.NrOfElem())
        D.SetVal(static_cast<int32_t>(dest), src[static_cast<std::size_t>(i - lo)]);
    }
    D.Changed();
  }

  /// Fill / Clear rule: every element Value, IsEmpty as given, Changed().
  template <class Dest, class T>
  static void FillStorage(Dest& D, T Value, bool Empty) {
    std::fill(D.FVec.begin(), D.FVec.end(), Value);
    D.FIsEmpty = Empty;
    D.Changed();
  }

  /// Assign rule: count, IsEmpty, elements and event handlers; no event.
  template <class Dest>
  static void AssignStorage(Dest& D, const Dest& Source) {
    if (&Source == &D) return;
    D.FNElem = Source.FNElem;
    D.FIsEmpty = Source.FIsEmpty;
    D.FVec = Source.FVec;
    D.OnChange = Source.OnChange;
    D.OnSortExchange = Source.OnSortExchange;
  }
};

}  // namespace numbra::detail
