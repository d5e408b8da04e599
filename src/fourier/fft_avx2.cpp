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
// The work area's quarters are padded apart and its lanes hold the
// positions 4q + 0, 2, 1, 3 (see kQuarterPad and StoreRows). Lengths 16, 32
// and 64 run entirely in registers (Dft16Regs, Dft32, Dft64), length 8 on
// interleaved pairs (Dft8Pairs). Transforms of 4 values or fewer never come
// here.
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

inline void LoadColumns(const double* p, C& x, V neg, bool conj) {
  const V a = _mm256_loadu_pd(p);
  const V b = _mm256_loadu_pd(p + 4);
  // The lanes hold the columns 4g + 0, 2, 1, 3 (no cross-lane move).
  x.r = _mm256_unpacklo_pd(a, b);
  x.i = _mm256_unpackhi_pd(a, b);
  if (conj) x.i = _mm256_xor_pd(x.i, neg);
}

// Transposes the four vectors v[0..3] (lanes = columns 0, 2, 1, 3) and
// stores them at offset At of the four column blocks.
// The rows are transposed in the order v0, v2, v1, v3, so that the stored
// lanes hold the positions At + 0, 2, 1, 3 (the lane order of the work area).
inline void StoreRows(C v0, C v1, C v2, C v3, double* const* r, double* const* i, std::size_t At) {
  Transpose4(v0.r, v2.r, v1.r, v3.r);
  Transpose4(v0.i, v2.i, v1.i, v3.i);
  _mm256_storeu_pd(r[0] + At, v0.r);
  _mm256_storeu_pd(r[1] + At, v2.r);
  _mm256_storeu_pd(r[2] + At, v1.r);
  _mm256_storeu_pd(r[3] + At, v3.r);
  _mm256_storeu_pd(i[0] + At, v0.i);
  _mm256_storeu_pd(i[1] + At, v2.i);
  _mm256_storeu_pd(i[2] + At, v1.i);
  _mm256_storeu_pd(i[3] + At, v3.i);
}

// Half H of the length-16 radix-2 step: X[k] = E[k] + w^k O[k] and X[k + 8] =
// E[k] - w^k O[k] for k = 4H .. 4H + 3, w = exp(+2 pi i / 16), stored as
// rows 4H and 4H + 8.
template <int H>
inline void Combine16(const C* e, const C* o, double* const* r, double* const* i) {
  const C t0 = Rot16<4 * H>(o[4 * H]);
  const C t1 = Rot16<4 * H + 1>(o[4 * H + 1]);
  const C t2 = Rot16<4 * H + 2>(o[4 * H + 2]);
  const C t3 = Rot16<4 * H + 3>(o[4 * H + 3]);
  const C* ee = e + 4 * H;
  StoreRows(ee[0] + t0, ee[1] + t1, ee[2] + t2, ee[3] + t3, r, i, 4 * H);
  StoreRows(ee[0] - t0, ee[1] - t1, ee[2] - t2, ee[3] - t3, r, i, 4 * H + 8);
}

// The four quarters of the work area lie Qs = N/4 + kQuarterPad doubles
// apart, the imaginary parts kImagPad doubles after the fourth quarter of
// the real parts, and the area starts on a cache line. Without the padding
// the quarters (and the two parts) would be a multiple of 4 KiB apart: the
// streams of the top pass and the blocks the leaf pass fills at a time would
// all fall into the same few cache sets. With it the quarters are 16 sets
// of the first-level cache apart and the imaginary parts 8 more.
constexpr std::size_t kQuarterPad = 128;
constexpr std::size_t kImagPad = 64;

// Step 1 for the column groups g = rev(h), H0 <= h < H1, of the S columns
// (S a power of 4, at least 4): group g writes block h of each quarter of
// the work area, so that a run of h completes four sub-blocks (Seq: the
// groups in order, block rev(g)). Length 16 is split into the DFTs of the
// even and the odd rows and a radix-2 step, so that only half of the values
// are live in registers at a time.
//
// With R8 (Lg = 4, a radix-8 level above the leaves), column 4g + t has the
// base-4 digits t, d1, .., d(D-1) and then a base-8 digit e: g = d + 4^(D-1)
// e, and its block is rev(d) 8 + e in quarter t.
template <int Lg, bool Conj, bool Seq, bool R8>
void LeafPass(const double* in, double* wr, double* wi, std::size_t S, int Digits, std::size_t H0,
              std::size_t H1, std::size_t Qs) {
  constexpr int L = 1 << Lg;
  const V neg = Bc(-0.0);
  const std::size_t row = 2 * S;
  for (std::size_t h = H0; h < H1; ++h) {
    std::size_t g = 0;
    std::size_t block = 0;
    if constexpr (R8) {
      const int shift = 2 * (Digits - 1);
      if constexpr (Seq) {
        g = h;
        block = Rev4(h & ((std::size_t{1} << shift) - 1), Digits - 1) * 8 + (h >> shift);
      } else {
        g = Rev4(h >> 3, Digits - 1) + ((h & 7) << shift);
        block = h;
      }
    } else {
      g = Seq ? h : Rev4(h, Digits - 1);
      block = Seq ? Rev4(h, Digits - 1) : h;
    }
    const double* p = in + 8 * g;
    // Column 4g + t goes to block t S/4 + block; lane order 0, 2, 1, 3.
    const std::size_t base = block * L;
    double* const r[4] = {wr + base, wr + base + 2 * Qs, wr + base + Qs, wr + base + 3 * Qs};
    double* const i[4] = {wi + base, wi + base + 2 * Qs, wi + base + Qs, wi + base + 3 * Qs};
    if constexpr (Lg == 3) {
      C x[8];
      for (int j = 0; j < 8; ++j)
        LoadColumns(p + row * static_cast<std::size_t>(j), x[j], neg, Conj);
      Dft8(x);
      StoreRows(x[0], x[1], x[2], x[3], r, i, 0);
      StoreRows(x[4], x[5], x[6], x[7], r, i, 4);
    } else {
      C e[8], o[8];
      for (int j = 0; j < 8; ++j)
        LoadColumns(p + row * static_cast<std::size_t>(2 * j), e[j], neg, Conj);
      Dft8(e);
      for (int j = 0; j < 8; ++j)
        LoadColumns(p + row * static_cast<std::size_t>(2 * j + 1), o[j], neg, Conj);
      Dft8(o);
      Combine16<0>(e, o, r, i);
      Combine16<1>(e, o, r, i);
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

// The radix-8 level above the leaves of 16: on a block of 128, y_r[k] times
// w^(rk), w = exp(+2 pi i / 128), then a DFT of length 8 across the eight
// blocks, for four k at a time. Tw: the powers 1..7 per group of four k.
void Radix8Pass(double* wr, double* wi, const double* tw) {
  for (std::size_t k = 0; k < 16; k += 4, tw += 56) {
    C y[8];
    y[0] = LoadSplit(wr + k, wi + k);
    for (std::size_t r = 1; r < 8; ++r) {
      const C w = {_mm256_loadu_pd(tw + 8 * (r - 1)), _mm256_loadu_pd(tw + 8 * (r - 1) + 4)};
      y[r] = Mul(LoadSplit(wr + 16 * r + k, wi + 16 * r + k), w);
    }
    Dft8(y);
    for (std::size_t r = 0; r < 8; ++r) StoreSplit(wr + 16 * r + k, wi + 16 * r + k, y[r]);
  }
}

// Four values whose lanes hold the positions 0, 2, 1, 3 to out[0..7]
// interleaved: no move across the register halves.
inline void StoreInterleaved(double* out, V re, V im) {
  _mm256_storeu_pd(out, _mm256_unpacklo_pd(re, im));      // r0 i0 r1 i1
  _mm256_storeu_pd(out + 4, _mm256_unpackhi_pd(re, im));  // r2 i2 r3 i3
}

// Step 3: the pass of length N = 4M into the interleaved array, every real
// part times sr and every imaginary part times si (Scale), else unscaled.
template <bool Full, bool Scale>
void TopPass(const double* wr, const double* wi, std::size_t M, std::size_t Qs, const double* tw,
             double* out, double sr, double si) {
  constexpr std::size_t kStride = Full ? 24 : 8;
  const V vr = Bc(sr), vi = Bc(si);
  for (std::size_t k = 0; k < M; k += 4, tw += kStride) {
    C w1, w2, w3;
    Twiddles<Full>(tw, w1, w2, w3);
    C y0 = LoadSplit(wr + k, wi + k);
    C y1 = Mul(LoadSplit(wr + Qs + k, wi + Qs + k), w1);
    C y2 = Mul(LoadSplit(wr + 2 * Qs + k, wi + 2 * Qs + k), w2);
    C y3 = Mul(LoadSplit(wr + 3 * Qs + k, wi + 3 * Qs + k), w3);
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

// Top pass of the transforms in registers for one group h of four k: the
// rows v0..v3 (lanes = the four columns) are transposed as in StoreRows
// into the quarters, combined with the twiddles of group h (full table Tw),
// and stored to Data at positions 4h + M t (M = N/4), times s and -s with
// Inverse.
template <bool Inverse>
inline void TopGroup(double* data, std::size_t M, std::size_t h, const double* tw, double s, C y0,
                     C y1, C y2, C y3) {
  Transpose4(y0.r, y2.r, y1.r, y3.r);
  Transpose4(y0.i, y2.i, y1.i, y3.i);
  C w1, w2, w3;
  Twiddles<true>(tw + 24 * h, w1, w2, w3);
  y1 = Mul(y1, w1);
  y2 = Mul(y2, w2);
  y3 = Mul(y3, w3);
  Dft4(y0, y1, y2, y3);
  if constexpr (Inverse) {
    const V vr = Bc(s), vi = Bc(-s);
    y0 = {y0.r * vr, y0.i * vi};
    y1 = {y1.r * vr, y1.i * vi};
    y2 = {y2.r * vr, y2.i * vi};
    y3 = {y3.r * vr, y3.i * vi};
  }
  double* out = data + 8 * h;
  StoreInterleaved(out, y0.r, y0.i);
  StoreInterleaved(out + 2 * M, y1.r, y1.i);
  StoreInterleaved(out + 4 * M, y2.r, y2.i);
  StoreInterleaved(out + 6 * M, y3.r, y3.i);
}

// The transforms of 32 and 64 values in registers: the leaf pass of the one
// group of four columns, then the top pass on the transposed rows instead of
// a round trip through the work area (the same operations in the same
// order). Every input value is loaded before the first store, so the output
// can go in place.
template <bool Inverse>
void Dft32(double* data, const double* tw, double s) {
  const V neg = Bc(-0.0);
  C x[8];
  for (int j = 0; j < 8; ++j) LoadColumns(data + 8 * j, x[j], neg, Inverse);
  Dft8(x);
  TopGroup<Inverse>(data, 8, 0, tw, s, x[0], x[1], x[2], x[3]);
  TopGroup<Inverse>(data, 8, 1, tw, s, x[4], x[5], x[6], x[7]);
}

// Twiddles of the top pass of length 16 in the layout of the tables (lanes
// k = 0, 2, 1, 3): w^k, w^2k, w^3k, w = exp(+2 pi i / 16).
constexpr double kTw16[24] = {kC16[0],  kC16[2],  kC16[1],  kC16[3], kC16[12], kC16[14],
                              kC16[13], kC16[15], kC16[0],  kC16[4], kC16[2],  kC16[6],
                              kC16[12], kC16[0],  kC16[14], kC16[2], kC16[0],  kC16[6],
                              kC16[3],  kC16[9],  kC16[12], kC16[2], kC16[15], kC16[5]};

// Length 16 as four columns of four: a DFT of length 4 down the columns,
// then the top pass.
template <bool Inverse>
void Dft16Regs(double* data, double s) {
  const V neg = Bc(-0.0);
  C x[4];
  for (int j = 0; j < 4; ++j) LoadColumns(data + 8 * j, x[j], neg, Inverse);
  Dft4(x[0], x[1], x[2], x[3]);
  TopGroup<Inverse>(data, 4, 0, kTw16, s, x[0], x[1], x[2], x[3]);
}

// Length 8 with one complex value (re, im) per 128-bit register, so that
// the transform needs neither a split into parts nor a move across
// register halves, and its dependency chain stays short (a single short
// transform is bound by its latency). Decimation in frequency: y_j =
// x_j + x_(j+4) give the even outputs, z_j = (x_j - x_(j+4)) w^j the odd
// ones, w = exp(+2 pi i / 8) (its conjugate for the inverse, which is built
// with the negative exponent rather than by conjugating in and out), each
// through a DFT of length 4.
typedef double V2 __attribute__((vector_size(16)));

inline V2 Swap(V2 v) { return _mm_shuffle_pd(v, v, 1); }
// v times i: (r, q) -> (-q, r); with Neg times -i: (q, -r).
template <bool Neg>
inline V2 TimesI2(V2 v) {
  return _mm_xor_pd(Swap(v), Neg ? V2{0.0, -0.0} : V2{-0.0, 0.0});
}

// In place: p_k := sum_j p_j i^(jk), or (-i)^(jk) with Neg.
template <bool Neg>
inline void Dft4Cx(V2& p0, V2& p1, V2& p2, V2& p3) {
  const V2 t0 = p0 + p2, t1 = p0 - p2, t2 = p1 + p3, t3 = TimesI2<Neg>(p1 - p3);
  p0 = t0 + t2;
  p2 = t0 - t2;
  p1 = t1 + t3;
  p3 = t1 - t3;
}

template <bool Inverse>
void Dft8Pairs(double* data, double s) {
  V2 x[8];
  for (int j = 0; j < 8; ++j) x[j] = _mm_loadu_pd(data + 2 * j);
  const V2 h{kC16[2], kC16[2]};
  V2 y0 = x[0] + x[4], y1 = x[1] + x[5], y2 = x[2] + x[6], y3 = x[3] + x[7];
  V2 z0 = x[0] - x[4], z1 = x[1] - x[5], z2 = x[2] - x[6], z3 = x[3] - x[7];
  // The twiddles as h (r -+ q, r +- q) and the like, each one addsub of
  // the value and its swapped (or negated) parts; nz = -z costs no extra
  // step on the chain.
  const V2 nz1 = x[5] - x[1], nz3 = x[7] - x[3];
  if (Inverse) {
    z1 = _mm_addsub_pd(z1, Swap(nz1)) * h;   // conj(w) z1 = h (r + q, q - r)
    z3 = _mm_addsub_pd(nz3, Swap(nz3)) * h;  // conj(w^3) z3 = h (q - r, -r - q)
  } else {
    z1 = _mm_addsub_pd(z1, Swap(z1)) * h;   // w z1 = h (r - q, r + q)
    z3 = _mm_addsub_pd(nz3, Swap(z3)) * h;  // w^3 z3 = h (-r - q, r - q)
  }
  z2 = TimesI2<Inverse>(z2);
  Dft4Cx<Inverse>(y0, y1, y2, y3);
  Dft4Cx<Inverse>(z0, z1, z2, z3);
  const V2 out[8] = {y0, z0, y1, z1, y2, z2, y3, z3};
  const V2 sc{s, s};
  for (int k = 0; k < 8; ++k) _mm_storeu_pd(data + 2 * k, Inverse ? out[k] * sc : out[k]);
}

template <int H, bool Inverse>
inline void Dft64Half(double* data, const C* e, const C* o, const double* tw, double s) {
  const C t0 = Rot16<4 * H>(o[4 * H]);
  const C t1 = Rot16<4 * H + 1>(o[4 * H + 1]);
  const C t2 = Rot16<4 * H + 2>(o[4 * H + 2]);
  const C t3 = Rot16<4 * H + 3>(o[4 * H + 3]);
  const C* ee = e + 4 * H;
  TopGroup<Inverse>(data, 16, H, tw, s, ee[0] + t0, ee[1] + t1, ee[2] + t2, ee[3] + t3);
  TopGroup<Inverse>(data, 16, H + 2, tw, s, ee[0] - t0, ee[1] - t1, ee[2] - t2, ee[3] - t3);
}

template <bool Inverse>
void Dft64(double* data, const double* tw, double s) {
  const V neg = Bc(-0.0);
  C e[8], o[8];
  for (int j = 0; j < 8; ++j) LoadColumns(data + 16 * j, e[j], neg, Inverse);
  for (int j = 0; j < 8; ++j) LoadColumns(data + 16 * j + 8, o[j], neg, Inverse);
  Dft8(e);
  Dft8(o);
  Dft64Half<0, Inverse>(data, e, o, tw, s);
  Dft64Half<1, Inverse>(data, e, o, tw, s);
}

// Blocks up to this length (complex values) have their remaining passes
// run level by level: 2^10 values are 16 KiB in split form and stay in the
// first-level cache.
constexpr int kBreadthLog2 = 10;
// The leaf pass runs in chunks that complete four blocks of this length at
// a time (2^8 values each, 16 KiB in all), whose passes then run at once.
constexpr int kChunkLog2 = 8;

void PassLevel(double* wr, double* wi, std::size_t n, int l, const double* tw, int Full) {
  const std::size_t len = std::size_t{1} << l;
  const bool full = l <= Full;
  for (std::size_t b = 0; b < n; b += len) {
    if (full)
      Radix4Pass<true>(wr + b, wi + b, len / 4, tw);
    else
      Radix4Pass<false>(wr + b, wi + b, len / 4, tw);
  }
}

// The passes of levels Lo, Lo + 2, .., l on the block of length 2^l at
// wr/wi, depth first. Levels up to Full have the full twiddle tables.
void Combine(double* wr, double* wi, int l, int Lo, const double* tw, const std::size_t* offset,
             int Full) {
  if (l < Lo) return;
  if (l <= kBreadthLog2) {
    const std::size_t n = std::size_t{1} << l;
    for (int ll = Lo; ll <= l; ll += 2) PassLevel(wr, wi, n, ll, tw + offset[ll], Full);
    return;
  }
  const std::size_t quarter = std::size_t{1} << (l - 2);
  for (int j = 0; j < 4; ++j)
    Combine(wr + j * quarter, wi + j * quarter, l - 2, Lo, tw, offset, Full);
  PassLevel(wr, wi, std::size_t{1} << l, l, tw + offset[l], Full);
}

// Blocks up to this length are finished while the leaf pass produces them
// (four at a time, one per quarter: 2^12 values are 64 KiB each).
constexpr int kInlineLog2 = 8;
// From this length on the leaf pass reads the columns in order instead
// (block order in the work area scattered): the sixteen rows it reads at a
// time are then 8 KiB or more apart, in the same few cache sets, and a
// cache line of the caller's array is used whole only while neighbouring
// columns are read one after the other. That matters more here than
// finishing blocks while the first-level cache holds them (measured).
constexpr int kSeqLog2 = 13;

template <int Lg, bool Inverse, bool R8>
void LeafChunks(const double* data, double* wr, double* wi, std::size_t S, int digits, int cl,
                int il, const double* tw, const std::size_t* offset, int Full, std::size_t Qs) {
  const std::size_t chunk = std::size_t{1} << (cl - Lg);  // leaf groups per chunk
  const std::size_t leaf = std::size_t{1} << Lg;
  std::size_t done = 0;
  for (std::size_t h = 0; h < S / 4; h += chunk) {
    LeafPass<Lg, Inverse, false, R8>(data, wr, wi, S, digits, h, h + chunk, Qs);
    for (int j = 0; j < 4; ++j) {
      const std::size_t at = j * Qs + h * leaf;
      if constexpr (R8)
        Radix8Pass(wr + at, wi + at, tw);  // cl = 7: one block of 128
      else
        Combine(wr + at, wi + at, cl, Lg + 2, tw, offset, Full);
    }
    ++done;
    for (int ll = cl + 2; ll <= il; ll += 2) {
      const std::size_t per = std::size_t{1} << (ll - cl);  // chunks per block
      if (done % per != 0) break;
      const std::size_t len = std::size_t{1} << ll;
      const std::size_t start = (h + chunk) * leaf - len;
      for (int j = 0; j < 4; ++j) {
        const std::size_t at = j * Qs + start;
        PassLevel(wr + at, wi + at, len, ll, tw + offset[ll], Full);
      }
    }
  }
}

template <int Lg, bool Inverse, bool R8>
void Run(double* data, int log2n, const double* tw, const std::size_t* offset, double* work,
         double s) {
  const std::size_t n = std::size_t{1} << log2n;
  const std::size_t S = n >> Lg;
  // Number of radix-4 levels.
  const int digits = (log2n - Lg - (R8 ? 3 : 0)) / 2;
  const std::size_t quarter = n / 4;
  const std::size_t qs = quarter + kQuarterPad;
  double* wr = work + ((0U - reinterpret_cast<std::uintptr_t>(work) / 8) & 7U);
  double* wi = wr + 4 * qs + kImagPad;
  const int full = numbra::detail::fft::FullTwiddleLevels(log2n);
  // Blocks of 2^cl in each quarter are finished while the leaf pass fills
  // them; cl has the parity of the levels, Lg <= cl <= log2n - 2. Larger
  // blocks up to 2^il get their pass as soon as their last chunk is done.
  // (With R8 the chunks are the blocks of 128 of the radix-8 level.)
  const int base = R8 ? 7 : Lg;
  int cl = log2n - 2;
  while (cl > kChunkLog2 || ((cl - base) & 1) != 0) --cl;
  int il = log2n - 2;
  while (il > kInlineLog2 || ((il - base) & 1) != 0) --il;
  if (il < cl) il = cl;
  if (log2n >= kSeqLog2) {
    LeafPass<Lg, Inverse, true, R8>(data, wr, wi, S, digits, 0, S / 4, qs);
    if constexpr (R8)
      for (std::size_t j = 0; j < 4; ++j)
        for (std::size_t b = j * qs; b < j * qs + quarter; b += 128) Radix8Pass(wr + b, wi + b, tw);
    il = base;
  } else {
    LeafChunks<Lg, Inverse, R8>(data, wr, wi, S, digits, cl, il, tw, offset, full, qs);
  }
  // The inverse is the conjugate of the forward transform of the conjugate,
  // divided by N = 2^log2n: s = 1 / N, an exact power of two.
  for (int j = 0; j < 4; ++j)
    Combine(wr + j * qs, wi + j * qs, log2n - 2, il + 2, tw, offset, full);
  const double* t = tw + offset[log2n];
  if (log2n <= full)
    TopPass<true, Inverse>(wr, wi, quarter, qs, t, data, s, -s);
  else
    TopPass<false, Inverse>(wr, wi, quarter, qs, t, data, s, -s);
}

}  // namespace

namespace numbra::detail::fft {

void ExecuteAvx2(double* Data, int Log2N, const double* Tw, const std::size_t* Offset, double* Work,
                 bool Inverse, double InvN) noexcept {
  if (Log2N == 3) {
    if (Inverse)
      Dft8Pairs<true>(Data, InvN);
    else
      Dft8Pairs<false>(Data, InvN);
  } else if (Log2N == 4) {
    if (Inverse)
      Dft16Regs<true>(Data, InvN);
    else
      Dft16Regs<false>(Data, InvN);
  } else if (Log2N == 5) {
    if (Inverse)
      Dft32<true>(Data, Tw + Offset[5], InvN);
    else
      Dft32<false>(Data, Tw + Offset[5], InvN);
  } else if (Log2N == 6) {
    if (Inverse)
      Dft64<true>(Data, Tw + Offset[6], InvN);
    else
      Dft64<false>(Data, Tw + Offset[6], InvN);
  } else if (Radix8Level(Log2N)) {
    if (Inverse)
      Run<4, true, true>(Data, Log2N, Tw, Offset, Work, InvN);
    else
      Run<4, false, true>(Data, Log2N, Tw, Offset, Work, InvN);
  } else if ((Log2N & 1) == 0) {
    if (Inverse)
      Run<4, true, false>(Data, Log2N, Tw, Offset, Work, InvN);
    else
      Run<4, false, false>(Data, Log2N, Tw, Offset, Work, InvN);
  } else {
    if (Inverse)
      Run<3, true, false>(Data, Log2N, Tw, Offset, Work, InvN);
    else
      Run<3, false, false>(Data, Log2N, Tw, Offset, Work, InvN);
  }
}

}  // namespace numbra::detail::fft
