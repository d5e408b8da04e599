// Twiddle tables and the choice of kernel of the FFT core.
#include "fourier/fft_detail.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace numbra::detail::fft {

namespace {

constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;

// Roots of unity exp(+2 pi i m / n) for one n >= 4, from a table of the
// first octant only: the other seven octants follow by exact reflections,
// so every value is the rounded long double sine or cosine of an angle of at
// most pi/4 (an error below half an ulp plus 1e-19 of the argument), and the
// values at multiples of pi/4 and pi/2 come out exactly symmetric, with exact
// zeros and ones.
class RootsOfUnity {
 public:
  explicit RootsOfUnity(std::size_t N) : n_(N), quarter_(N / 4), eighth_(N / 8) {
    cos_.resize(eighth_ + 1);
    sin_.resize(eighth_ + 1);
    for (std::size_t j = 0; j <= eighth_; ++j) {
      const long double a = kTwoPi * static_cast<long double>(j) / static_cast<long double>(n_);
      cos_[j] = static_cast<double>(std::cos(a));
      sin_[j] = static_cast<double>(std::sin(a));
    }
  }
  void Get(std::size_t m, double& c, double& s) const {
    m %= n_;
    const std::size_t quadrant = m / quarter_;
    const std::size_t j = m % quarter_;
    double bc = 0.0;
    double bs = 0.0;
    if (j <= eighth_) {
      bc = cos_[j];
      bs = sin_[j];
    } else {  // pi/2 - angle(2 eighth - j)
      bc = sin_[2 * eighth_ - j];
      bs = cos_[2 * eighth_ - j];
    }
    switch (quadrant) {
      case 0:
        c = bc;
        s = bs;
        break;
      case 1:
        c = -bs;
        s = bc;
        break;
      case 2:
        c = -bc;
        s = -bs;
        break;
      default:
        c = bs;
        s = -bc;
        break;
    }
  }

 private:
  std::size_t n_, quarter_, eighth_;
  std::vector<double> cos_, sin_;
};

}  // namespace

void BuildTables(Tables& T, int Log2N) {
  T.Log2N = -1;
  T.Values.clear();
  T.Offset.assign(static_cast<std::size_t>(Log2N) + 1, 0);
  if (Log2N <= 0) {
    T.Log2N = Log2N < 0 ? -1 : 0;
    return;
  }
  // Lay out the levels that the transform visits: the top one, then every
  // second one down to 2 (one radix-2 level on top when Log2N is odd).
  std::size_t total = 0;
  for (int l = Log2N; l >= 1;) {
    const std::size_t len = std::size_t{1} << l;
    T.Offset[static_cast<std::size_t>(l)] = total;
    if ((l & 1) != 0) {
      total += len;  // two arrays of len / 2
      --l;
    } else {
      total += 2 * (len / 4);
      l -= 2;
    }
  }
  T.Values.assign(total, 0.0);
  // One table of roots for the full length serves every level: the root
  // exp(2 pi i k / len) is root (k * N / len) of the full length.
  const std::size_t n = std::size_t{1} << Log2N;
  const RootsOfUnity roots(n < 4 ? 4 : n);
  const std::size_t root_n = n < 4 ? 4 : n;
  for (int l = Log2N; l >= 1;) {
    const std::size_t len = std::size_t{1} << l;
    const std::size_t stride = root_n / len;
    double* t = T.Values.data() + T.Offset[static_cast<std::size_t>(l)];
    if ((l & 1) != 0) {
      const std::size_t h = len / 2;
      for (std::size_t k = 0; k < h; ++k) roots.Get(k * stride, t[k], t[h + k]);
      --l;
    } else {
      const std::size_t q = len / 4;
      for (std::size_t k = 0; k < q; ++k) {
        roots.Get(k * stride, t[k], t[q + k]);
      }
      l -= 2;
    }
  }
  T.Log2N = Log2N;
}

void GatherBitReversed(const double* Re, const double* Im, int Log2N, double ScaleRe,
                       double ScaleIm, double* Out) noexcept {
  const std::size_t n = std::size_t{1} << Log2N;
  constexpr int kT = 5;
  if (Log2N < 2 * kT) {
    for (std::size_t p = 0; p < n; ++p) {
      const uint32_t r = BitReverse(static_cast<uint32_t>(p), Log2N);
      Out[2 * p] = Re[r] * ScaleRe;
      Out[2 * p + 1] = Im[r] * ScaleIm;
    }
    return;
  }
  // Cache-blocked permutation: with p = (a, b, c), a and c of kT bits each,
  // bitrev(p) = (rev c, rev b, rev a). For one middle part b the sources
  // form a tile of 2^kT runs of 2^kT consecutive values, 2^(Log2N - kT)
  // apart. The tile is first copied run by run into a small buffer (the runs
  // are so far apart that reading them column-wise would thrash the cache
  // sets), then written out run by run in destination order.
  constexpr std::size_t kTile = std::size_t{1} << kT;
  uint32_t rev_t[kTile];
  for (uint32_t i = 0; i < kTile; ++i) rev_t[i] = BitReverse(i, kT);
  double tile_re[kTile][kTile];
  double tile_im[kTile][kTile];
  const int mid_bits = Log2N - 2 * kT;
  const int high_shift = Log2N - kT;
  for (std::size_t b = 0; b < (std::size_t{1} << mid_bits); ++b) {
    const std::size_t rb = static_cast<std::size_t>(BitReverse(static_cast<uint32_t>(b), mid_bits))
                           << kT;
    for (std::size_t row = 0; row < kTile; ++row) {
      const std::size_t src = (row << high_shift) | rb;
      for (std::size_t x = 0; x < kTile; ++x) {
        tile_re[row][x] = Re[src + x];
        tile_im[row][x] = Im[src + x];
      }
    }
    for (std::size_t a = 0; a < kTile; ++a) {
      const std::size_t col = rev_t[a];
      double* out = Out + 2 * ((a << high_shift) | (b << kT));
      for (std::size_t c = 0; c < kTile; ++c) {
        out[2 * c] = tile_re[rev_t[c]][col] * ScaleRe;
        out[2 * c + 1] = tile_im[rev_t[c]][col] * ScaleIm;
      }
    }
  }
}

namespace {

// Lane j of a group of four k = 4q .. 4q + 3 in the AVX2 work area holds
// k = 4q + kLaneK[j] (see fft_avx2.cpp).
constexpr std::size_t kLaneK[4] = {0, 2, 1, 3};

// Twiddles of the AVX2 transform (layout in fft_avx2.cpp): for each level
// l = Lg + 2, Lg + 4, .., Log2N (Lg = 4 for even Log2N, else 3), with
// M = 2^l / 4, groups of four k = 4q .. 4q + 3 (lanes in the order
// kLaneK), each group the real parts
// and the imaginary parts of w^k, then (l <= FullTwiddleLevels(Log2N)) of w^2k and
// w^3k, w = exp(+2 pi i / 2^l).
void BuildAvx2Tables(Tables& T, int Log2N) {
  T.Log2N = -1;
  T.Values.clear();
  T.Offset.assign(static_cast<std::size_t>(Log2N) + 1, 0);
  const bool r8 = Radix8Level(Log2N);
  // The first radix-4 level: above the leaves (8 or 16), or above the
  // radix-8 level 7, whose table has the powers 1..7 of w per group.
  const int first = r8 ? 9 : ((Log2N & 1) == 0 ? 6 : 5);
  std::size_t total = r8 ? 4 * 7 * 8 : 0;
  for (int l = first; l <= Log2N; l += 2) {
    T.Offset[static_cast<std::size_t>(l)] = total;
    const std::size_t m = (std::size_t{1} << l) / 4;
    total += (l <= FullTwiddleLevels(Log2N) ? 6 : 2) * m;
  }
  T.Values.assign(total, 0.0);
  const std::size_t n = std::size_t{1} << Log2N;
  const RootsOfUnity roots(n);
  if (r8) {
    const std::size_t stride = n >> 7;
    for (std::size_t q = 0; q < 4; ++q)
      for (std::size_t p = 1; p <= 7; ++p)
        for (std::size_t lane = 0; lane < 4; ++lane) {
          double* g = T.Values.data() + 8 * (7 * q + p - 1);
          roots.Get(p * (4 * q + kLaneK[lane]) * stride, g[lane], g[4 + lane]);
        }
  }
  for (int l = first; l <= Log2N; l += 2) {
    const std::size_t m = (std::size_t{1} << l) / 4;
    const std::size_t stride = n >> l;
    const int powers = l <= FullTwiddleLevels(Log2N) ? 3 : 1;
    double* t = T.Values.data() + T.Offset[static_cast<std::size_t>(l)];
    for (std::size_t q = 0; q < m / 4; ++q)
      for (int p = 1; p <= powers; ++p)
        for (std::size_t lane = 0; lane < 4; ++lane) {
          double* g =
              t + 8 * (static_cast<std::size_t>(powers) * q + static_cast<std::size_t>(p - 1));
          roots.Get(static_cast<std::size_t>(p) * (4 * q + kLaneK[lane]) * stride, g[lane],
                    g[4 + lane]);
        }
  }
  T.Log2N = Log2N;
}

}  // namespace
}  // namespace numbra::detail::fft

namespace {
inline double Bc(double x) { return x; }
inline double MulSub(double a, double b, double c) { return a * b - c; }
inline double MulAdd(double a, double b, double c) { return a * b + c; }
}  // namespace

#include "fourier/fft_codelets.inc"

namespace numbra::detail::fft {
namespace {

// Transforms of up to 16 values, in registers: the parts are read with the
// sign of the imaginary part flipped when Inverse (the inverse transform is
// the conjugate of the forward transform of the conjugate) and written back
// times s and -s then. Unrolled by parameter packs rather than loops, so
// that the values stay in registers (a vectorised loop would keep them in
// memory, written as single values and read back as pairs, which the
// processor cannot forward from its store buffer).
template <int Lg, bool Inverse>
void SmallDft(double* d, double s) {
  constexpr int n = 1 << Lg;
  Cx<double> x[n];
  [&]<int... J>(std::integer_sequence<int, J...>) {
    ((x[J] = {d[2 * J], Inverse ? -d[2 * J + 1] : d[2 * J + 1]}), ...);
  }
  (std::make_integer_sequence<int, n>{});
  if constexpr (Lg == 1) {
    Dft2(x[0], x[1]);
  } else if constexpr (Lg == 2) {
    Dft4(x[0], x[1], x[2], x[3]);
  } else if constexpr (Lg == 3) {
    Dft8(x);
  } else {
    Dft16(x);
  }
  [&]<int... K>(std::integer_sequence<int, K...>) {
    if constexpr (Inverse) {
      ((d[2 * K] = x[Lg == 4 ? Dft16Out(K) : K].r * s,
        d[2 * K + 1] = x[Lg == 4 ? Dft16Out(K) : K].i * -s),
       ...);
    } else {
      ((d[2 * K] = x[Lg == 4 ? Dft16Out(K) : K].r, d[2 * K + 1] = x[Lg == 4 ? Dft16Out(K) : K].i),
       ...);
    }
  }
  (std::make_integer_sequence<int, n>{});
}

template <bool Inverse>
void ExecuteSmall(double* d, int Log2N, double s) {
  switch (Log2N) {
    case 1:
      SmallDft<1, Inverse>(d, s);
      break;
    case 2:
      SmallDft<2, Inverse>(d, s);
      break;
    case 3:
      SmallDft<3, Inverse>(d, s);
      break;
    case 4:
      SmallDft<4, Inverse>(d, s);
      break;
    default:
      break;
  }
}

constexpr int kSmallLog2 = 4;

bool HaveAvx2() noexcept {
#if defined(NUMBRA_FFT_HAVE_AVX2)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
  return false;
#endif
}

bool ChooseAvx2() noexcept {
  const char* forced = std::getenv("NUMBRA_FFT_KERNEL");
  if (forced != nullptr && std::strcmp(forced, "generic") == 0) return false;
  return HaveAvx2();
}

bool UseAvx2() noexcept {
  static const bool avx2 = ChooseAvx2();
  return avx2;
}

}  // namespace

void BuildPlan(Plan& P, int Log2N) {
  P.Log2N = -1;
  P.Avx2 = UseAvx2();
  const std::size_t n = std::size_t{1} << Log2N;
  if (Log2N <= kSmallLog2) {
    P.Radix = Tables{};
    P.Work.clear();
  } else {
    if (P.Avx2)
      BuildAvx2Tables(P.Radix, Log2N);
    else
      BuildTables(P.Radix, Log2N);
    P.Work.assign(P.Avx2 ? Avx2WorkDoubles(n) : 2 * n, 0.0);
  }
  P.InvN = 1.0 / static_cast<double>(n);
  P.Log2N = Log2N;
}

void Execute(Plan& P, double* Data, bool Inverse) noexcept {
  const int l = P.Log2N;
#if defined(NUMBRA_FFT_HAVE_AVX2)
  if (P.Avx2 && (l == 3 || l == 4)) {
    ExecuteAvx2(Data, l, nullptr, nullptr, nullptr, Inverse, P.InvN);
    return;
  }
#endif
  if (l <= kSmallLog2) {
    if (Inverse)
      ExecuteSmall<true>(Data, l, P.InvN);
    else
      ExecuteSmall<false>(Data, l, P.InvN);
    return;
  }
#if defined(NUMBRA_FFT_HAVE_AVX2)
  if (P.Avx2) {
    ExecuteAvx2(Data, l, P.Radix.Values.data(), P.Radix.Offset.data(), P.Work.data(), Inverse,
                P.InvN);
    return;
  }
#endif
  const std::size_t n = std::size_t{1} << l;
  double* re = P.Work.data();
  double* im = re + n;
  const double sign = Inverse ? -1.0 : 1.0;
  for (std::size_t k = 0; k < n; ++k) {
    re[k] = Data[2 * k];
    im[k] = sign * Data[2 * k + 1];
  }
  TransformGeneric(re, im, l, P.Radix.Values.data(), P.Radix.Offset.data());
  // Back to natural order while interleaving; the division by N = 2^l is a
  // multiplication by an exact power of two.
  const double s = Inverse ? P.InvN : 1.0;
  GatherBitReversed(re, im, l, s, sign * s, Data);
}

const char* KernelName() noexcept { return UseAvx2() ? "avx2" : "generic"; }

}  // namespace numbra::detail::fft
