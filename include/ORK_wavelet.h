// ORK_wavelet: TWavelet1D, the discrete wavelet transform of a signal of
// power-of-two length with Daubechies filters of order 1 to 3.
#pragma once

#include "numbra_frame.h"

#include <cstdint>
#include <span>
#include <vector>

namespace numbra {

/// Raised by TWavelet1D.
NUMBRA_DECLARE_EXCEPTION(EORKWaveletError, EORKError);

/// How the signal is continued before its first sample.
enum class TWLSigExtMode : uint8_t {
  wseWrap,      ///< periodic: sample s < 0 is sample s modulo the length
  wseZeroPad,   ///< samples before the start are 0
  wseSymmetric  ///< mirrored about the start: -1 -> 0, -2 -> 1, ...
};

/// Wavelet family; Daubechies is the only one.
enum class TWaveletFamily : uint8_t { wlfDaubechies };

/// A signal of N samples (N a power of two, 1..2^23) and its discrete wavelet
/// transform, computed in place.
///
/// Order K (1..3) selects the orthonormal Daubechies scaling filter h_0 ..
/// h_(2K-1) (2, 4 or 6 taps, summing to sqrt 2; K = 1 is Haar) and the
/// wavelet filter g_m = (-1)^m h_(2K-1-m). One analysis step on L samples
/// puts the L/2 approximation coefficients a_i = sum_m h_m x[2(i-K)+m]
/// (i = 1..L/2) in the first half and the details d_i = sum_m g_m x[2(i-K)+m]
/// in the second half; the filter reaches up to 2K-2 samples before the
/// start, which the signal extension mode supplies. With wseWrap a synthesis
/// step undoes an analysis step exactly (up to rounding); with the other modes
/// the synthesis is the transposed operator, not an inverse.
///
/// No change event. Not safe for use from several threads at once.
class NUMBRA_EXPORT TWavelet1D : public TComponent {
 public:
  /// N = 256 zeros, order 2, wseWrap, wlfDaubechies. Raises EORKWaveletError
  /// "Component "<Name>": not enough memory on heap".
  explicit TWavelet1D(TComponent* AOwner = nullptr);
  ~TWavelet1D() override;

  // ---- settings ------------------------------------------------------------
  /// N, the signal length (property Size).
  [[nodiscard]] int32_t Size() const noexcept { return FNumData; }
  /// Sets N to n, a power of two in 1..2^23, all samples 0 (also when n equals
  /// N). Otherwise raises EORKWaveletError "Component "<Name>": data length
  /// must be power of 2" and nothing changes; "Component "<Name>": not enough
  /// memory on heap" (nothing changed) when the storage cannot be obtained.
  void SetNumData(int32_t n);
  /// K, the filter order (property Order).
  [[nodiscard]] int32_t Order() const noexcept { return FOrder; }
  /// Selects order K (1..3) and sets both filters. Other K raise
  /// EORKWaveletError "Component "<Name>": invalid order of Daubechies wavelet
  /// family"; order and filters stay.
  void SetOrder(int32_t K);
  /// The low-pass (scaling) and high-pass (wavelet) filters, 2K taps each.
  ///@{
  [[nodiscard]] std::span<const double> CoeffsLP() const noexcept { return FCoeffsLP; }
  [[nodiscard]] std::span<const double> CoeffsHP() const noexcept { return FCoeffsHP; }
  ///@}
  /// Signal extension mode (property SignalExtMode).
  [[nodiscard]] TWLSigExtMode SignalExtMode() const noexcept { return FWLSigExtMode; }
  /// Sets the signal extension mode.
  void SetSigExtMode(TWLSigExtMode m) noexcept { FWLSigExtMode = m; }
  /// Wavelet family (property WaveletFamily).
  [[nodiscard]] TWaveletFamily WaveletFamily() const noexcept { return FWaveletFam; }
  /// Sets the wavelet family.
  void SetWaveletFam(TWaveletFamily f) noexcept { FWaveletFam = f; }

  // ---- data ----------------------------------------------------------------
  /// Element ix (1..N) of the signal or of the coefficients (property Data);
  /// 0 outside.
  [[nodiscard]] double GetDataVal(int32_t ix) const noexcept {
    return (ix >= 1 && ix <= FNumData) ? FData[static_cast<std::size_t>(ix) - 1] : 0.0;
  }
  /// Stores v at element ix (1..N); other ix are ignored.
  void SetDataVal(int32_t ix, double v) noexcept {
    if (ix >= 1 && ix <= FNumData) FData[static_cast<std::size_t>(ix) - 1] = v;
  }
  /// The N values for bulk access (element ix at index ix - 1); the size
  /// cannot be changed through it. Valid until the next SetNumData.
  ///@{
  [[nodiscard]] std::span<double> Values() noexcept { return FData; }
  [[nodiscard]] std::span<const double> Values() const noexcept { return FData; }
  ///@}
  /// Every element 0.
  void Clear() noexcept;

  // ---- transform -------------------------------------------------------------
  /// One analysis step (Inverse false) or synthesis step (Inverse true) on the
  /// Len samples starting at 0-based position Offset. Nothing happens when
  /// Len < 2, and -- so that no sample is lost and nothing outside the signal
  /// is touched -- when Len is odd, Offset < 0 or Offset + Len > N. Len need
  /// not be a power of two: wrapping is modulo Len. Where the filter reaches
  /// further back than Len samples (Len = 2 with K = 3), wseSymmetric keeps
  /// mirroring (the extension is periodic with period 2 Len). Raises
  /// EORKWaveletError "Component "<Name>": not enough memory on heap" when the
  /// work array cannot be obtained. Cost O(K Len).
  void PartialWLT(int32_t Len, int32_t Offset, bool Inverse);
  /// PartialWLT(N, 0, inverse).
  void SingleStep(bool inverse);
  /// Several steps. Nothing happens when N < 2; Level below 1 counts as 1.
  /// Analysis: on the lengths N, N/2, N/4, ... (down to 2), at most Level
  /// steps. Synthesis: on the lengths 2, 4, 8, ... up to N, at most Level
  /// steps -- always starting from the coarsest length, so a full analysis
  /// (Level >= log2 N) is undone by a full synthesis, while a synthesis with
  /// fewer levels reconstructs the coarse approximations of a fully analysed
  /// signal (it is not the inverse of an analysis with the same Level).
  void DoWLT(int32_t Level, bool Inverse);
  /// DoWLT(Level, false).
  void Transform(int32_t Level) { DoWLT(Level, false); }
  /// DoWLT(Level, true).
  void InverseTransform(int32_t Level) { DoWLT(Level, true); }

  // ---- persistence ------------------------------------------------------------
  /// Copies size, data, order, filters, extension mode and family from another
  /// TWavelet1D; other sources go to TPersistent::Assign.
  void Assign(TPersistent* Source) override;

 protected:
  void AssignTo(TPersistent* Dest) override;

  /// Number of values N (see SetNumData).
  int32_t FNumData = 256;
  /// The signal or its coefficients, element ix at index ix - 1.
  std::vector<double> FData;
  /// Filter order K.
  int32_t FOrder = 2;
  /// Low-pass (scaling) filter, 2K taps.
  std::vector<double> FCoeffsLP;
  /// High-pass (wavelet) filter, 2K taps.
  std::vector<double> FCoeffsHP;
  /// Signal extension mode.
  TWLSigExtMode FWLSigExtMode = TWLSigExtMode::wseWrap;
  /// Wavelet family.
  TWaveletFamily FWaveletFam = TWaveletFamily::wlfDaubechies;

 private:
  void Step(std::size_t Len, std::size_t Offset, bool Inverse, std::vector<double>& Work) noexcept;
};

}  // namespace numbra
