// Sorting and selection of raw arrays: comb sort, sorted and positional
// insertion, quickselect, exchange.
#include "ORK_math1.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace numbra {

namespace {

// ---------------------------------------------------------------------------
// Orders
// ---------------------------------------------------------------------------

// The built-in comparison: used when the data hold no NaN, so it is the
// same order as NanLast there.
struct PlainOrder {
  template <class T>
  static bool Less(T a, T b) noexcept {
    return a < b;
  }
};

// A strict weak order on all floating values: NaN above everything, all NaNs
// equivalent. For integers it is the plain order.
struct NanLastOrder {
  template <class T>
  static bool Less(T a, T b) noexcept {
    if constexpr (std::is_floating_point_v<T>) {
      return a < b || (std::isnan(b) && !std::isnan(a));
    } else {
      return a < b;
    }
  }
};

template <class Ord, class T>
bool Equivalent(T a, T b) noexcept {
  return !Ord::Less(a, b) && !Ord::Less(b, a);
}

// True when the pair (x at i, y at i + gap) has to be exchanged.
template <class Ord, bool Asc, class T>
bool OutOfOrder(T x, T y) noexcept {
  return Asc ? Ord::Less(y, x) : Ord::Less(x, y);
}

template <class T>
bool HasNaN(const T* d, int64_t n) noexcept {
  if constexpr (std::is_floating_point_v<T>) {
    // No early exit, so the loop vectorises; one read of the data is small
    // next to the log_1.3(n) passes of the sort.
    bool nan = false;
    for (int64_t i = 0; i < n; ++i) nan |= std::isnan(d[i]);
    return nan;
  } else {
    (void)d;
    (void)n;
    return false;
  }
}

// ---------------------------------------------------------------------------
// Comb sort
// ---------------------------------------------------------------------------

// The gap divided by 1.3, truncated, in the fixed-point form that keeps the
// sequence identical on every platform; never below 1.
int64_t NextGap(int64_t gap) noexcept {
  gap = (gap * 100000000 / 13000) / 10000;
  return gap == 0 ? 1 : gap;
}

// Compare-exchanges (i, i + gap) for i in [from, to), in this order.
template <class Ord, bool Asc, class T>
void ScalarPass(T* d, int64_t from, int64_t to, int64_t gap) noexcept {
  for (int64_t i = from; i < to; ++i) {
    const T x = d[i];
    const T y = d[i + gap];
    const bool s = OutOfOrder<Ord, Asc>(x, y);
    d[i] = s ? y : x;
    d[i + gap] = s ? x : y;
  }
}

// The pass of gap 1 is a bubble pass: the element carried upwards stays in a
// register instead of being stored and reloaded at every step (each step
// depends on the previous one, so this loop is latency bound anyway).
// Returns whether anything was exchanged.
template <class Ord, bool Asc, class T>
bool BubblePass(T* d, int64_t n) noexcept {
  T carry = d[0];
  bool swapped = false;
  for (int64_t i = 0; i + 1 < n; ++i) {
    const T y = d[i + 1];
    const bool s = OutOfOrder<Ord, Asc>(carry, y);
    d[i] = s ? y : carry;
    carry = s ? carry : y;
    swapped |= s;
  }
  d[n - 1] = carry;
  return swapped;
}

// A pass of gap >= the vector width: the compare-exchanges of a block of
// `width` consecutive i touch disjoint positions (i..i+w-1 and
// i+gap..i+gap+w-1), so they are done together with min/max; blocks follow
// each other in order, so a block reads what the earlier blocks wrote, just
// as the element-by-element pass does. The min/max operand order reproduces
// the exchange rule exactly: an exchange only when strictly out of order, so
// equal elements (+0.0 and -0.0 among them) keep their places. Only for data
// without NaN (PlainOrder).
#if defined(__SSE2__)
template <bool Asc>
void VectorPass(double* d, int64_t from, int64_t to, int64_t gap) noexcept {
  int64_t i = from;
  for (; i + 2 <= to; i += 2) {
    const __m128d x = _mm_loadu_pd(d + i);
    const __m128d y = _mm_loadu_pd(d + i + gap);
    // _mm_min_pd(a, b) is a < b ? a : b and _mm_max_pd(a, b) is a > b ? a : b.
    if constexpr (Asc) {
      _mm_storeu_pd(d + i, _mm_min_pd(y, x));
      _mm_storeu_pd(d + i + gap, _mm_max_pd(x, y));
    } else {
      _mm_storeu_pd(d + i, _mm_max_pd(y, x));
      _mm_storeu_pd(d + i + gap, _mm_min_pd(x, y));
    }
  }
  ScalarPass<PlainOrder, Asc>(d, i, to, gap);
}

template <bool Asc>
void VectorPass(float* d, int64_t from, int64_t to, int64_t gap) noexcept {
  int64_t i = from;
  for (; i + 4 <= to; i += 4) {
    const __m128 x = _mm_loadu_ps(d + i);
    const __m128 y = _mm_loadu_ps(d + i + gap);
    if constexpr (Asc) {
      _mm_storeu_ps(d + i, _mm_min_ps(y, x));
      _mm_storeu_ps(d + i + gap, _mm_max_ps(x, y));
    } else {
      _mm_storeu_ps(d + i, _mm_max_ps(y, x));
      _mm_storeu_ps(d + i + gap, _mm_min_ps(x, y));
    }
  }
  ScalarPass<PlainOrder, Asc>(d, i, to, gap);
}

template <bool Asc>
void VectorPass(int32_t* d, int64_t from, int64_t to, int64_t gap) noexcept {
  int64_t i = from;
  for (; i + 4 <= to; i += 4) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + gap));
    // SSE2 has no 32-bit min/max: exchange the lanes selected by the mask.
    const __m128i m = Asc ? _mm_cmpgt_epi32(x, y) : _mm_cmpgt_epi32(y, x);
    const __m128i t = _mm_and_si128(_mm_xor_si128(x, y), m);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_xor_si128(x, t));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + gap), _mm_xor_si128(y, t));
  }
  ScalarPass<PlainOrder, Asc>(d, i, to, gap);
}
template <class T>
constexpr int64_t kVectorWidth = 16 / static_cast<int64_t>(sizeof(T));
#endif

template <class Ord, bool Asc, class T>
void CombSort(T* d, int64_t n) {
  if (n < 2) return;
  int64_t gap = n;
  for (;;) {
    gap = NextGap(gap);
    bool swapped = true;  // only read after a pass of gap 1
    if (gap == 1) {
      swapped = BubblePass<Ord, Asc>(d, n);
    } else {
#if defined(__SSE2__)
      if (std::is_same_v<Ord, PlainOrder> && gap >= kVectorWidth<T>) {
        VectorPass<Asc>(d, 0, n - gap, gap);
      } else {
        ScalarPass<Ord, Asc>(d, 0, n - gap, gap);
      }
#else
      ScalarPass<Ord, Asc>(d, 0, n - gap, gap);
#endif
    }
    corvel::StepProcStat();
    if (gap == 1 && !swapped) return;
  }
}

template <class T>
void SortTyped(T* d, int64_t n, bool ascending) {
  if (n < 2) return;
  const bool nan = HasNaN(d, n);
  if (nan) {
    if (ascending) {
      CombSort<NanLastOrder, true>(d, n);
    } else {
      CombSort<NanLastOrder, false>(d, n);
    }
  } else {
    if (ascending) {
      CombSort<PlainOrder, true>(d, n);
    } else {
      CombSort<PlainOrder, false>(d, n);
    }
  }
}

// ---------------------------------------------------------------------------
// Element access of the generic routines (any alignment)
// ---------------------------------------------------------------------------

template <class T>
struct Bytes {
  unsigned char* p;
  [[nodiscard]] T Get(int64_t i) const noexcept {
    T v;
    std::memcpy(&v, p + i * static_cast<int64_t>(sizeof(T)), sizeof(T));
    return v;
  }
  void Set(int64_t i, T v) const noexcept {
    std::memcpy(p + i * static_cast<int64_t>(sizeof(T)), &v, sizeof(T));
  }
  // Moves elements from..to-1 one place up (to + 1 must be valid).
  void ShiftUp(int64_t from, int64_t to) const noexcept {
    if (to > from) {
      std::memmove(p + (from + 1) * static_cast<int64_t>(sizeof(T)),
                   p + from * static_cast<int64_t>(sizeof(T)),
                   static_cast<std::size_t>(to - from) * sizeof(T));
    }
  }
};

// Comb sort of misaligned generic data: the same passes, element by element.
template <class T>
void SortBytes(Bytes<T> a, int64_t n, bool ascending) {
  if (n < 2) return;
  int64_t gap = n;
  for (;;) {
    gap = NextGap(gap);
    bool swapped = false;
    for (int64_t i = 0; i + gap < n; ++i) {
      const T x = a.Get(i);
      const T y = a.Get(i + gap);
      const bool s =
          ascending ? OutOfOrder<NanLastOrder, true>(x, y) : OutOfOrder<NanLastOrder, false>(x, y);
      if (s) {
        a.Set(i, y);
        a.Set(i + gap, x);
        swapped = true;
      }
    }
    corvel::StepProcStat();
    if (gap == 1 && !swapped) return;
  }
}

// Sorted insertion; returns the 0-based position or -1.
template <class T>
int64_t SortInto(Bytes<T> a, int64_t n, T value, bool ascending, bool allow_duplicates) noexcept {
  if (n < 1) return -1;
  // "The value does not follow E": E >= value ascending, E <= value descending.
  auto stops = [&](T e) {
    return ascending ? !NanLastOrder::Less(e, value) : !NanLastOrder::Less(value, e);
  };
  int64_t pos = 0;
  while (pos < n - 1 && !stops(a.Get(pos))) ++pos;
  const T e = a.Get(pos);
  if (!stops(e)) return -1;  // beyond the last element
  if (!allow_duplicates && Equivalent<NanLastOrder>(e, value)) return -1;
  a.ShiftUp(pos, n - 1);
  a.Set(pos, value);
  return pos;
}

template <class T>
void InsertAt(Bytes<T> a, int64_t n, T value, int64_t pos) noexcept {
  if (pos < 0 || pos >= n) return;
  a.ShiftUp(pos, n - 1);
  a.Set(pos, value);
}

template <class T>
Bytes<T> BytesOf(std::span<T> s) noexcept {
  return Bytes<T>{reinterpret_cast<unsigned char*>(s.data())};
}

template <class T>
Bytes<T> BytesOf(void* p) noexcept {
  return Bytes<T>{static_cast<unsigned char*>(p)};
}

template <class T>
T ValueAt(const void* p) noexcept {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}

// Element type of a TVarKind: 0 and 1 double, 2 single, 3 and 4 integer.
enum class Elem { kNone, kDouble, kFloat, kInt };
Elem ElemOf(TVarKind kind) noexcept {
  switch (static_cast<int>(kind)) {
    case 0:
    case 1:
      return Elem::kDouble;
    case 2:
      return Elem::kFloat;
    case 3:
    case 4:
      return Elem::kInt;
    default:
      return Elem::kNone;
  }
}

template <class T>
void SortGeneric(void* data, int64_t n, bool ascending) {
  if (reinterpret_cast<std::uintptr_t>(data) % alignof(T) == 0) {
    SortTyped(static_cast<T*>(data), n, ascending);
  } else {
    SortBytes(BytesOf<T>(data), n, ascending);
  }
}

template <class T>
int32_t SortIntoTyped(std::span<T> data, T value, bool ascending, bool allow_duplicates) noexcept {
  if (data.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return -1;
  return static_cast<int32_t>(SortInto(BytesOf(data), static_cast<int64_t>(data.size()), value,
                                       ascending, allow_duplicates));
}

// ---------------------------------------------------------------------------
// Quickselect
// ---------------------------------------------------------------------------

// Lomuto partition of d[lo..hi] around d[m]: the pivot goes to lo, the
// elements below it are gathered in scan order right after lo, and the pivot
// is exchanged with the last of them. Written without a data-dependent branch
// (every element is exchanged with the first one not yet known to be below
// the pivot, and the boundary moves only when it was below): on random data
// the branchy loop mispredicts half of its comparisons.
template <class Ord>
int64_t Partition(double* d, int64_t lo, int64_t hi, int64_t m) noexcept {
  std::swap(d[lo], d[m]);
  const double pivot = d[lo];
  int64_t last = lo;  // d[lo+1..last] < pivot, d[last+1..i-1] >= pivot
  for (int64_t i = lo + 1; i <= hi; ++i) {
    const double v = d[i];
    const bool below = Ord::Less(v, pivot);
    d[i] = d[last + 1];
    d[last + 1] = v;
    last += below ? 1 : 0;
  }
  std::swap(d[lo], d[last]);
  return last;
}

template <class Ord>
double Select(double* d, int64_t lo, int64_t hi, int64_t k) {
  // Expected iterations are about 2 ln n; a range that shrinks much more
  // slowly (an adversarial order) is handed to the library's introselect,
  // which is O(n log n) in the worst case.
  int64_t budget = 4 * std::bit_width(static_cast<uint64_t>(hi - lo + 1)) + 16;
  for (;;) {
    if (budget-- <= 0) {
      std::nth_element(d + lo, d + k, d + hi + 1,
                       [](double a, double b) { return Ord::Less(a, b); });
      return d[k];
    }
    const int64_t p = Partition<Ord>(d, lo, hi, lo + (hi - lo) / 2);
    if (k == p) return d[k];
    if (k < p) {
      hi = p;
      continue;
    }
    if (p > lo) {
      lo = p + 1;
      continue;
    }
    // The pivot was the least element, so the rest is >= it: a run of
    // elements equal to it would otherwise be peeled off one per partition
    // (quadratic on data with few distinct values). Gather them next to it.
    const double pivot = d[p];
    int64_t q = p;
    for (int64_t i = p + 1; i <= hi; ++i) {
      if (Equivalent<Ord>(d[i], pivot)) std::swap(d[++q], d[i]);
    }
    if (k <= q) return d[k];
    lo = q + 1;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public routines
// ---------------------------------------------------------------------------

void SortArray(std::span<double> Data, bool Ascending) {
  SortTyped(Data.data(), static_cast<int64_t>(Data.size()), Ascending);
}
void SortArray(std::span<float> Data, bool Ascending) {
  SortTyped(Data.data(), static_cast<int64_t>(Data.size()), Ascending);
}
void SortArray(std::span<int32_t> Data, bool Ascending) {
  SortTyped(Data.data(), static_cast<int64_t>(Data.size()), Ascending);
}

void SortArray(void* Data, int32_t N, TVarKind Kind, bool Ascending) {
  if (Data == nullptr || N < 2) return;
  switch (ElemOf(Kind)) {
    case Elem::kDouble:
      SortGeneric<double>(Data, N, Ascending);
      break;
    case Elem::kFloat:
      SortGeneric<float>(Data, N, Ascending);
      break;
    case Elem::kInt:
      SortGeneric<int32_t>(Data, N, Ascending);
      break;
    case Elem::kNone:
      break;
  }
}

int32_t SortIntoArray(std::span<double> Data, double Value, bool Ascending, bool AllowDuplicates) {
  return SortIntoTyped(Data, Value, Ascending, AllowDuplicates);
}
int32_t SortIntoArray(std::span<float> Data, float Value, bool Ascending, bool AllowDuplicates) {
  return SortIntoTyped(Data, Value, Ascending, AllowDuplicates);
}
int32_t SortIntoArray(std::span<int32_t> Data, int32_t Value, bool Ascending,
                      bool AllowDuplicates) {
  return SortIntoTyped(Data, Value, Ascending, AllowDuplicates);
}

int32_t SortIntoArray(void* Data, int32_t N, TVarKind Kind, const void* Value, bool Ascending,
                      bool AllowDuplicates) {
  if (Data == nullptr || Value == nullptr || N < 1) return 0;
  int64_t pos = -1;
  switch (ElemOf(Kind)) {
    case Elem::kDouble:
      pos = SortInto(BytesOf<double>(Data), N, ValueAt<double>(Value), Ascending, AllowDuplicates);
      break;
    case Elem::kFloat:
      pos = SortInto(BytesOf<float>(Data), N, ValueAt<float>(Value), Ascending, AllowDuplicates);
      break;
    case Elem::kInt:
      pos =
          SortInto(BytesOf<int32_t>(Data), N, ValueAt<int32_t>(Value), Ascending, AllowDuplicates);
      break;
    case Elem::kNone:
      break;
  }
  return static_cast<int32_t>(pos + 1);
}

void InsertIntoArray(std::span<double> Data, double Value, int32_t Pos) {
  InsertAt(BytesOf(Data), static_cast<int64_t>(Data.size()), Value, Pos);
}
void InsertIntoArray(std::span<float> Data, float Value, int32_t Pos) {
  InsertAt(BytesOf(Data), static_cast<int64_t>(Data.size()), Value, Pos);
}
void InsertIntoArray(std::span<int32_t> Data, int32_t Value, int32_t Pos) {
  InsertAt(BytesOf(Data), static_cast<int64_t>(Data.size()), Value, Pos);
}

void InsertIntoArray(void* Data, int32_t N, TVarKind Kind, const void* Value, int32_t Pos) {
  if (Data == nullptr || Value == nullptr || N < 1) return;
  const int64_t pos = static_cast<int64_t>(Pos) - 1;
  switch (ElemOf(Kind)) {
    case Elem::kDouble:
      InsertAt(BytesOf<double>(Data), N, ValueAt<double>(Value), pos);
      break;
    case Elem::kFloat:
      InsertAt(BytesOf<float>(Data), N, ValueAt<float>(Value), pos);
      break;
    case Elem::kInt:
      InsertAt(BytesOf<int32_t>(Data), N, ValueAt<int32_t>(Value), pos);
      break;
    case Elem::kNone:
      break;
  }
}

double QuickSelect(std::span<double> Data, int32_t k, int32_t Lo, int32_t Hi) {
  if (Hi < Lo || Data.empty()) return 0.0;
  const int64_t top = static_cast<int64_t>(Data.size()) - 1;
  const int64_t lo = std::max<int64_t>(Lo, 0);
  const int64_t hi = std::min<int64_t>(Hi, top);
  if (lo > hi) return 0.0;  // the range lies outside the array
  double* d = Data.data();
  if (k < lo || k > hi) return d[lo];
  const int64_t n = hi - lo + 1;
  if (HasNaN(d + lo, n)) {
    if (std::all_of(d + lo, d + hi + 1,
                    [&](double v) { return Equivalent<NanLastOrder>(v, d[lo]); })) {
      return d[lo];
    }
    return Select<NanLastOrder>(d, lo, hi, k);
  }
  if (std::all_of(d + lo, d + hi + 1, [&](double v) { return v == d[lo]; })) return d[lo];
  return Select<PlainOrder>(d, lo, hi, k);
}

void ExChange(int32_t& A, int32_t& B) noexcept { std::swap(A, B); }
void ExChange(uint8_t& A, uint8_t& B) noexcept { std::swap(A, B); }
void ExChange(float& A, float& B) noexcept { std::swap(A, B); }
void ExChange(double& A, double& B) noexcept { std::swap(A, B); }
void ExChange(long double& A, long double& B) noexcept { std::swap(A, B); }
void ExChange(std::string& A, std::string& B) noexcept { A.swap(B); }
void ExChange(bool& A, bool& B) noexcept { std::swap(A, B); }
void ExChange(wchar_t& A, wchar_t& B) noexcept { std::swap(A, B); }
void ExChange(uint16_t& A, uint16_t& B) noexcept { std::swap(A, B); }
void ExChange(int8_t& A, int8_t& B) noexcept { std::swap(A, B); }
void ExChange(uint32_t& A, uint32_t& B) noexcept { std::swap(A, B); }
void ExChange(int64_t& A, int64_t& B) noexcept { std::swap(A, B); }

void ExChange(void* P1, void* P2, uint16_t Size) noexcept {
  if (P1 == nullptr || P2 == nullptr) return;
  auto* a = static_cast<unsigned char*>(P1);
  auto* b = static_cast<unsigned char*>(P2);
  for (uint16_t i = 0; i < Size; ++i) std::swap(a[i], b[i]);
}

}  // namespace numbra
