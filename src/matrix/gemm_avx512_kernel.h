// The 24 x 8 micro-kernel of the AVX-512 kernel set, written once over a
// small traits type V of 8-lane double vectors (not installed).
//
// V provides: Vec and Mask types; Zero(); Load(p) (64-byte aligned) and
// LoadU(p) / StoreU(p, v) (unaligned) of 8 doubles; Broadcast(p) (*p in
// every lane); Mul and Add (lane by lane, IEEE rounding); MaskOf(bits)
// (lane i selected when bit i is set); LoadMasked(m, p) (selected lanes
// from memory, the others 0.0, and never read) and StoreMasked(p, m, v)
// (only the selected lanes written); Pin(v) (keeps v in a register).
//
// gemm_avx512.cpp instantiates it with AVX-512F registers; gemm_avx512_avx2.cpp
// with pairs of AVX2 registers, which compute the same lane results, so
// that the tiling, the edge masks and the packing are tested on processors
// without AVX-512 too.
//
// Everything here is a template over V and each V lives in an unnamed
// namespace, so no function of this header is emitted with external
// linkage from a translation unit compiled for a wider instruction set
// (the linker could otherwise pick that copy for the whole program).
#pragma once

#include <cstddef>

namespace numbra::detail::avx512_kernel {

/// Register tile: three 8-lane vectors of rows by eight columns; 24
/// accumulators, three A vectors and a broadcast B value in the 32
/// registers.
inline constexpr std::ptrdiff_t kMR = 24;
inline constexpr std::ptrdiff_t kNR = 8;
inline constexpr int kLanes = 8;

// Lane bits of the first n rows of one vector (n may be outside 0..8).
template <class V>
constexpr unsigned LaneBits(std::ptrdiff_t n) {
  return n <= 0 ? 0u : n >= kLanes ? 0xFFu : (1u << n) - 1u;
}

// Rows vectors (1..3) of rows by Cols columns (1..8) of the tile at c: kc
// terms onto each element, in ascending k, each product rounded before it
// is added. Masked: only rows 0..mr-1 are read and written (the other lanes
// compute on the zero padding of the packed A panel and are discarded).
// FromZero: the tile starts from +0.0 without reading c.
template <class V, int Rows, int Cols, bool Masked>
void Tile(std::ptrdiff_t kc, const double* a, const double* b, double* c, std::ptrdiff_t ldc,
          bool FromZero, std::ptrdiff_t mr) {
  using Vec = typename V::Vec;
  typename V::Mask mask[Rows] = {};
  if constexpr (Masked)
    for (int v = 0; v < Rows; ++v) mask[v] = V::MaskOf(LaneBits<V>(mr - kLanes * v));
  Vec r[Cols][Rows];
#pragma GCC unroll 8
  for (int j = 0; j < Cols; ++j)
#pragma GCC unroll 3
    for (int v = 0; v < Rows; ++v) {
      const double* p = c + j * ldc + kLanes * v;
      if (FromZero)
        r[j][v] = V::Zero();
      else if constexpr (Masked)
        r[j][v] = V::LoadMasked(mask[v], p);
      else
        r[j][v] = V::LoadU(p);
    }
  for (std::ptrdiff_t k = 0; k < kc; ++k) {
    Vec av[Rows];
#pragma GCC unroll 3
    for (int v = 0; v < Rows; ++v) {
      av[v] = V::Load(a + kLanes * v);
      V::Pin(av[v]);
    }
#pragma GCC unroll 8
    for (int j = 0; j < Cols; ++j) {
      const Vec bj = V::Broadcast(b + j);
#pragma GCC unroll 3
      for (int v = 0; v < Rows; ++v) r[j][v] = V::Add(r[j][v], V::Mul(av[v], bj));
    }
    a += kMR;
    b += kNR;
  }
#pragma GCC unroll 8
  for (int j = 0; j < Cols; ++j)
#pragma GCC unroll 3
    for (int v = 0; v < Rows; ++v) {
      double* p = c + j * ldc + kLanes * v;
      if constexpr (Masked)
        V::StoreMasked(p, mask[v], r[j][v]);
      else
        V::StoreU(p, r[j][v]);
    }
}

// The full tile.
template <class V>
void Micro(std::ptrdiff_t kc, const double* a, const double* b, double* c, std::ptrdiff_t ldc,
           bool FromZero) {
  Tile<V, 3, kNR, false>(kc, a, b, c, ldc, FromZero, kMR);
}

// An edge tile of Rows vectors and nr columns (Cols or more).
template <class V, int Rows, int Cols = 1>
void EdgeCols(std::ptrdiff_t kc, const double* a, const double* b, double* c, std::ptrdiff_t ldc,
              bool FromZero, std::ptrdiff_t mr, std::ptrdiff_t nr) {
  if constexpr (Cols < kNR) {
    if (nr > Cols) {
      EdgeCols<V, Rows, Cols + 1>(kc, a, b, c, ldc, FromZero, mr, nr);
      return;
    }
  }
  Tile<V, Rows, Cols, true>(kc, a, b, c, ldc, FromZero, mr);
}

// The edge tiles: rows 0..mr-1 (1..24) and columns 0..nr-1 (1..8); only
// the vectors that hold some of the mr rows are computed.
template <class V>
void Edge(std::ptrdiff_t kc, const double* a, const double* b, double* c, std::ptrdiff_t ldc,
          bool FromZero, std::ptrdiff_t mr, std::ptrdiff_t nr) {
  if (mr > 2 * kLanes)
    EdgeCols<V, 3>(kc, a, b, c, ldc, FromZero, mr, nr);
  else if (mr > kLanes)
    EdgeCols<V, 2>(kc, a, b, c, ldc, FromZero, mr, nr);
  else
    EdgeCols<V, 1>(kc, a, b, c, ldc, FromZero, mr, nr);
}

}  // namespace numbra::detail::avx512_kernel
