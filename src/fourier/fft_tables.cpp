// Twiddle tables and the choice of kernel of the FFT core.
#include "fourier/fft_detail.h"

#include <cmath>

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
using Kernel = void (*)(double*, double*, int, const double*, const std::size_t*) noexcept;

Kernel PickKernel() noexcept {
#if defined(NUMBRA_FFT_HAVE_AVX2)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return &TransformAvx2;
#endif
  return &TransformGeneric;
}
}  // namespace

void Transform(double* Re, double* Im, const Tables& T) noexcept {
  static const Kernel kernel = PickKernel();
  kernel(Re, Im, T.Log2N, T.Values.data(), T.Offset.data());
}

const char* KernelName() noexcept {
#if defined(NUMBRA_FFT_HAVE_AVX2)
  if (PickKernel() == &TransformAvx2) return "avx2";
#endif
  return "generic";
}

}  // namespace numbra::detail::fft
