// The AVX2 + FMA transform, called only when the processor has both (see
// fft_tables.cpp). Everything it needs is in this unit with internal
// linkage, and its entry point takes raw pointers only, so that no inline
// library function is compiled here with AVX2 instructions.
//
// Decimation in time on four lanes, out of place through a split work area
// and back, with the digit reversal folded into where the first pass writes:
//  1. Leaf pass. With N = L S (L = 16 when log2 N is even, else 8), column c
//     of the L x S view x[c + S j] is the subsequence whose DFT of length L
//     the recursion needs first. Four neighbouring columns are loaded as
//     whole registers from the caller's interleaved array (split into real
//     and imaginary parts in registers), transformed side by side by a
//     straight-line DFT of length L, transposed 4 x 4 and stored as four
//     contiguous blocks at their base-4 digit-reversed places in the work
//     area.
//  2. Radix-4 passes combine four blocks of length M into one of length
//     4 M: y_r[k] times w^(rk), w = exp(+2 pi i / 4M), then a DFT of length
//     4 across the blocks, vectorised over k. They run depth first, so that
//     once a block fits in the cache all its passes run there.
//  3. The last radix-4 pass writes the caller's interleaved array, with the
//     scaling and conjugation of the inverse transform folded in.
// Transforms of 16 values or fewer never come here.
#include "fourier/fft_detail.h"
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace {

// The register type without the aliasing attribute of __m256d, which a
// template argument would drop (and gcc warn about).
typedef double V __attribute__((vector_size(32)));

inline V Bc(double x) { return _mm256_set1_pd(x); }
inline V MulSub(V a, V b, V c) { return _mm256_fmsub_pd(a, b, c); }
inline V MulAdd(V a, V b, V c) { return _mm256_fmadd_pd(a, b, c); }

}  // namespace

#include "fourier/fft_codelets.inc"

namespace {

using C = Cx<V>;

inline C LoadSplit(const double* re, const double* im) {
  return {_mm256_loadu_pd(re), _mm256_loadu_pd(im)};
}
inline void StoreSplit(double* re, double* im, C v) {
  _mm256_storeu_pd(re, v.r);
  _mm256_storeu_pd(im, v.i);
}

// In-place 4 x 4 transpose of the rows a, b, c, d.
inline void Transpose4(V& a, V& b, V& c, V& d) {
  const V t0 = _mm256_unpacklo_pd(a, b);  // a0 b0 a2 b2
  const V t1 = _mm256_unpackhi_pd(a, b);  // a1 b1 a3 b3
  const V t2 = _mm256_unpacklo_pd(c, d);
  const V t3 = _mm256_unpackhi_pd(c, d);
  a = _mm256_permute2f128_pd(t0, t2, 0x20);
  b = _mm256_permute2f128_pd(t1, t3, 0x20);
  c = _mm256_permute2f128_pd(t0, t2, 0x31);
  d = _mm256_permute2f128_pd(t1, t3, 0x31);
}

// Reverses the order of the Digits base-4 digits of G.
inline std::size_t Rev4(std::size_t G, int Digits) {
  std::size_t r = 0;
  for (int d = 0; d < Digits; ++d) {
    r = (r << 2) | (G & 3);
    G >>= 2;
  }
  return r;
}

template <int Lg>
inline void DftLeaf(C* x) {
  if constexpr (Lg == 3)
    Dft8(x);
  else
    Dft16(x);
}
template <int Lg>
constexpr int LeafOut(int k) {
  if constexpr (Lg == 3)
    return k;
  else
    return Dft16Out(k);
}

// Step 1 over all S columns (S a power of 4, at least 4).
template <int Lg, bool Conj>
void LeafPass(const double* in, double* wr, double* wi, std::size_t S, int Digits) {
  constexpr int L = 1 << Lg;
  const std::size_t quarter = S / 4;
  const V neg = Bc(-0.0);
  for (std::size_t g = 0; g < quarter; ++g) {
    C x[L];
    const double* p = in + 8 * g;
    for (int j = 0; j < L; ++j) {
      const V a = _mm256_loadu_pd(p + 2 * S * static_cast<std::size_t>(j));
      const V b = _mm256_loadu_pd(p + 2 * S * static_cast<std::size_t>(j) + 4);
      // The lanes hold the columns 4g + 0, 2, 1, 3 (no cross-lane move).
      x[j].r = _mm256_unpacklo_pd(a, b);
      x[j].i = _mm256_unpackhi_pd(a, b);
      if constexpr (Conj) x[j].i = _mm256_xor_pd(x[j].i, neg);
    }
    DftLeaf<Lg>(x);
    // Column 4g + t goes to block t S/4 + rev(g); lane order 0, 2, 1, 3.
    const std::size_t base = Rev4(g, Digits - 1) * L;
    double* r0 = wr + base;
    double* r1 = wr + base + 2 * quarter * L;
    double* r2 = wr + base + 1 * quarter * L;
    double* r3 = wr + base + 3 * quarter * L;
    double* i0 = wi + base;
    double* i1 = wi + base + 2 * quarter * L;
    double* i2 = wi + base + 1 * quarter * L;
    double* i3 = wi + base + 3 * quarter * L;
    for (int a = 0; a < L / 4; ++a) {
      C v0 = x[LeafOut<Lg>(4 * a)];
      C v1 = x[LeafOut<Lg>(4 * a + 1)];
      C v2 = x[LeafOut<Lg>(4 * a + 2)];
      C v3 = x[LeafOut<Lg>(4 * a + 3)];
      Transpose4(v0.r, v1.r, v2.r, v3.r);
      Transpose4(v0.i, v1.i, v2.i, v3.i);
      _mm256_storeu_pd(r0 + 4 * a, v0.r);
      _mm256_storeu_pd(r1 + 4 * a, v1.r);
      _mm256_storeu_pd(r2 + 4 * a, v2.r);
      _mm256_storeu_pd(r3 + 4 * a, v3.r);
      _mm256_storeu_pd(i0 + 4 * a, v0.i);
      _mm256_storeu_pd(i1 + 4 * a, v1.i);
      _mm256_storeu_pd(i2 + 4 * a, v2.i);
      _mm256_storeu_pd(i3 + 4 * a, v3.i);
    }
  }
}

// Twiddles of one group of four k: w^k, w^2k, w^3k (Full) or w^k alone, the
// other two formed here (the large levels, where the table would cost more
// memory traffic than the two products).
template <bool Full>
inline void Twiddles(const double* tw, C& w1, C& w2, C& w3) {
  if constexpr (Full) {
    w1 = {_mm256_loadu_pd(tw), _mm256_loadu_pd(tw + 4)};
    w2 = {_mm256_loadu_pd(tw + 8), _mm256_loadu_pd(tw + 12)};
    w3 = {_mm256_loadu_pd(tw + 16), _mm256_loadu_pd(tw + 20)};
  } else {
    w1 = {_mm256_loadu_pd(tw), _mm256_loadu_pd(tw + 4)};
    w2 = Mul(w1, w1);
    w3 = Mul(w2, w1);
  }
}

// Step 2 on one block of length 4M at wr/wi.
template <bool Full>
void Radix4Pass(double* wr, double* wi, std::size_t M, const double* tw) {
  constexpr std::size_t kStride = Full ? 24 : 8;
  for (std::size_t k = 0; k < M; k += 4, tw += kStride) {
    C w1, w2, w3;
    Twiddles<Full>(tw, w1, w2, w3);
    C y0 = LoadSplit(wr + k, wi + k);
    C y1 = Mul(LoadSplit(wr + M + k, wi + M + k), w1);
    C y2 = Mul(LoadSplit(wr + 2 * M + k, wi + 2 * M + k), w2);
    C y3 = Mul(LoadSplit(wr + 3 * M + k, wi + 3 * M + k), w3);
    Dft4(y0, y1, y2, y3);
    StoreSplit(wr + k, wi + k, y0);
    StoreSplit(wr + M + k, wi + M + k, y1);
    StoreSplit(wr + 2 * M + k, wi + 2 * M + k, y2);
    StoreSplit(wr + 3 * M + k, wi + 3 * M + k, y3);
  }
}

inline void StoreInterleaved(double* out, V re, V im) {
  const V lo = _mm256_unpacklo_pd(re, im);  // r0 i0 r2 i2
  const V hi = _mm256_unpackhi_pd(re, im);  // r1 i1 r3 i3
  _mm256_storeu_pd(out, _mm256_permute2f128_pd(lo, hi, 0x20));
  _mm256_storeu_pd(out + 4, _mm256_permute2f128_pd(lo, hi, 0x31));
}

// Step 3: the pass of length N = 4M into the interleaved array, every real
// part times sr and every imaginary part times si (Scale), else unscaled.
template <bool Full, bool Scale>
void TopPass(const double* wr, const double* wi, std::size_t M, const double* tw, double* out,
             double sr, double si) {
  constexpr std::size_t kStride = Full ? 24 : 8;
  const V vr = Bc(sr), vi = Bc(si);
  for (std::size_t k = 0; k < M; k += 4, tw += kStride) {
    C w1, w2, w3;
    Twiddles<Full>(tw, w1, w2, w3);
    C y0 = LoadSplit(wr + k, wi + k);
    C y1 = Mul(LoadSplit(wr + M + k, wi + M + k), w1);
    C y2 = Mul(LoadSplit(wr + 2 * M + k, wi + 2 * M + k), w2);
    C y3 = Mul(LoadSplit(wr + 3 * M + k, wi + 3 * M + k), w3);
    Dft4(y0, y1, y2, y3);
    if constexpr (Scale) {
      y0 = {y0.r * vr, y0.i * vi};
      y1 = {y1.r * vr, y1.i * vi};
      y2 = {y2.r * vr, y2.i * vi};
      y3 = {y3.r * vr, y3.i * vi};
    }
    StoreInterleaved(out + 2 * k, y0.r, y0.i);
    StoreInterleaved(out + 2 * (M + k), y1.r, y1.i);
    StoreInterleaved(out + 2 * (2 * M + k), y2.r, y2.i);
    StoreInterleaved(out + 2 * (3 * M + k), y3.r, y3.i);
  }
}

// Blocks up to this length (complex values) have their remaining passes
// run level by level: 2^12 values are 64 KiB in split form.
constexpr int kBreadthLog2 = 12;

void PassLevel(double* wr, double* wi, std::size_t n, int l, const double* tw) {
  const std::size_t len = std::size_t{1} << l;
  const bool full = l <= numbra::detail::fft::kFullTwiddleLog2;
  for (std::size_t b = 0; b < n; b += len) {
    if (full)
      Radix4Pass<true>(wr + b, wi + b, len / 4, tw);
    else
      Radix4Pass<false>(wr + b, wi + b, len / 4, tw);
  }
}

// All passes of levels Lg + 2 .. l on the block of length 2^l at wr/wi.
void Combine(double* wr, double* wi, int l, int Lg, const double* tw, const std::size_t* offset) {
  if (l <= kBreadthLog2) {
    const std::size_t n = std::size_t{1} << l;
    for (int ll = Lg + 2; ll <= l; ll += 2) PassLevel(wr, wi, n, ll, tw + offset[ll]);
    return;
  }
  const std::size_t quarter = std::size_t{1} << (l - 2);
  for (int j = 0; j < 4; ++j) Combine(wr + j * quarter, wi + j * quarter, l - 2, Lg, tw, offset);
  PassLevel(wr, wi, std::size_t{1} << l, l, tw + offset[l]);
}

template <int Lg>
void Run(double* data, int log2n, const double* tw, const std::size_t* offset, double* work,
         bool inverse) {
  const std::size_t n = std::size_t{1} << log2n;
  const std::size_t S = n >> Lg;
  const int digits = (log2n - Lg) / 2;
  double* wr = work;
  double* wi = work + n;
  if (inverse)
    LeafPass<Lg, true>(data, wr, wi, S, digits);
  else
    LeafPass<Lg, false>(data, wr, wi, S, digits);
  const std::size_t quarter = n / 4;
  if (log2n - 2 > Lg)
    for (int j = 0; j < 4; ++j)
      Combine(wr + j * quarter, wi + j * quarter, log2n - 2, Lg, tw, offset);
  const double* t = tw + offset[log2n];
  const bool full = log2n <= numbra::detail::fft::kFullTwiddleLog2;
  // The inverse is the conjugate of the forward transform of the conjugate,
  // divided by N = 2^log2n (an exact power of two).
  const double s = 1.0 / static_cast<double>(n);
  if (!inverse) {
    if (full)
      TopPass<true, false>(wr, wi, quarter, t, data, 1.0, 1.0);
    else
      TopPass<false, false>(wr, wi, quarter, t, data, 1.0, 1.0);
  } else {
    if (full)
      TopPass<true, true>(wr, wi, quarter, t, data, s, -s);
    else
      TopPass<false, true>(wr, wi, quarter, t, data, s, -s);
  }
}

}  // namespace

namespace numbra::detail::fft {

void ExecuteAvx2(double* Data, int Log2N, const double* Tw, const std::size_t* Offset, double* Work,
                 bool Inverse) noexcept {
  if ((Log2N & 1) == 0)
    Run<4>(Data, Log2N, Tw, Offset, Work, Inverse);
  else
    Run<3>(Data, Log2N, Tw, Offset, Work, Inverse);
}

}  // namespace numbra::detail::fft
