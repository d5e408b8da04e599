// ORK_fourier: TFastFourier, the fast Fourier transform of one block of
// complex samples of power-of-two length, with weighting windows and the
// usual spectrum quantities.
#pragma once

#include "numbra_frame.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace numbra {

/// Raised by TFastFourier.
NUMBRA_DECLARE_EXCEPTION(EORKFourierError, EORKError);

/// Weighting window that TFastFourier::Transform applies to the samples.
enum class TFastFourierWgtWin : uint8_t {
  fwRectangle,    ///< no weighting
  fwTriangle,     ///< elements i and N-i+1 times 2i/N, i = 1..N/2
  fwCos2,         ///< cos^2(pi c / N), c = i - N/2
  fwGauss,        ///< exp(-0.5 (6 c / N)^2)
  fwHamming,      ///< 0.543478261 + 0.456521739 cos(2 pi c / N)
  fwBlackman,     ///< 0.42659 + 0.49656 cos(2 pi c/N) + 0.076848 cos(4 pi c/N)
  fwBlkmHarris,   ///< 0.35875 + 0.48829 cos(..) + 0.14128 cos(..) + 0.01168 cos(6 pi c/N)
  fwBlkmNuttall,  ///< 0.3635819 + 0.4891775 cos(..) + 0.1365995 cos(..) + 0.0106411 cos(..)
  fwUserDef       ///< the user weights WgtFunction (GetWgtVal / SetWgtVal)
};

/// One block of N complex samples (N a power of two, 1..2^23) and its
/// discrete Fourier transform, computed in place.
///
/// Element ix (1-based) is X[ix - 1]; its real part is stored at Data()[2 ix -
/// 2] and its imaginary part at Data()[2 ix - 1]. After Transform, "line" k
/// (0..N/2) of the spectrum is X[k] together with its mirror X[N - k]; all
/// spectrum quantities are divided by N. Nothing records whether the object
/// holds samples or a spectrum.
///
/// Forward transform: X[k] = sum_j x[j] exp(+2 pi i j k / N), unscaled.
/// Inverse transform: the negative exponent, divided by N, so that Transform
/// followed by InverseTransform gives back the (windowed) samples. Lengths up
/// to 16 run as straight-line code in registers. Longer ones, where the
/// processor has AVX2 with FMA, run as a decimation in time straight from
/// and back into the interleaved storage: DFTs of length 16 (or 8) on four
/// columns at a time, radix-4 passes (one radix-8 level for odd log2 N) in
/// blocks that stay in the cache, the scaling of the inverse folded into
/// the last pass; elsewhere as a radix-4 decimation in frequency on split
/// storage. The environment variable NUMBRA_FFT_KERNEL=generic, read once,
/// forces the portable kernels. Twiddle factors come from a table of
/// correctly rounded roots of unity, not from a trigonometric recurrence:
/// the relative RMS error against the exact DFT stays at a few eps (about
/// 3e-16 up to N = 2^22, every kernel). It keeps a working area of about
/// 3 N doubles between calls (released when the size changes).
///
/// NaN or infinite samples are transformed like any others: they spread over
/// the whole spectrum (every line gets a NaN part; products with an exact 0
/// or 1 of a twiddle factor are left out, so not always both parts). The cached extremes skip NaN
/// values.
///
/// No change event. Not safe for use from several threads at once.
class NUMBRA_EXPORT TFastFourier : public TComponent {
 public:
  /// N = 256, all samples 0, window fwRectangle, the 256 user weights 1.0.
  /// Raises EORKFourierError "Component "<Name>": not enough memory on heap".
  explicit TFastFourier(TComponent* AOwner = nullptr);
  ~TFastFourier() override;

  // ---- size and window ----------------------------------------------------
  /// N, the number of complex samples (property SpectrumSize).
  [[nodiscard]] int32_t SpectrumSize() const noexcept { return FNumData; }
  /// Sets N to n, which must be a power of two in 1..2^23; otherwise raises
  /// EORKFourierError "Component "<Name>": data length must be power of 2" and
  /// nothing changes. Every sample becomes 0 and every user weight 0 (not
  /// 1.0), also when n equals N; the cached extremes become stale. Raises
  /// EORKFourierError "Component "<Name>": not enough memory on heap" (nothing
  /// changed) when the storage cannot be obtained.
  void SetNumData(int32_t n);
  /// The window that Transform applies (property WeightingWindow).
  [[nodiscard]] TFastFourierWgtWin WeightingWindow() const noexcept { return FWgtWin; }
  /// Sets the window that Transform applies.
  void SetWgtWin(TFastFourierWgtWin w) noexcept { FWgtWin = w; }

  // ---- samples ------------------------------------------------------------
  /// Real / imaginary part of element ix (1..N); 0 outside (properties
  /// RealSpec, ImagSpec).
  ///@{
  [[nodiscard]] double GetRealVal(int32_t ix) const noexcept;
  [[nodiscard]] double GetImagVal(int32_t ix) const noexcept;
  ///@}
  /// Store the real / imaginary part of element ix (1..N) and mark the cached
  /// extremes stale; other ix are ignored.
  ///@{
  void SetRealVal(int32_t ix, double v) noexcept;
  void SetImagVal(int32_t ix, double v) noexcept;
  ///@}
  /// User weight ix (1..N) of the fwUserDef window (property WgtFunction);
  /// reads outside give 0, writes outside are ignored.
  ///@{
  [[nodiscard]] double GetWgtVal(int32_t ix) const noexcept;
  void SetWgtVal(int32_t ix, double v) noexcept;
  ///@}
  /// The 2N interleaved values (real part of element ix at 2 ix - 2,
  /// imaginary part at 2 ix - 1) for bulk access. The non-const form marks
  /// the cached extremes stale, since the caller may write through it; the
  /// size cannot be changed through it. Valid until the next SetNumData.
  ///@{
  [[nodiscard]] std::span<double> Data() noexcept {
    MaxValuesValid = false;
    return FData;
  }
  [[nodiscard]] std::span<const double> Data() const noexcept { return FData; }
  ///@}
  /// All 2N values 0 / all real parts 0 / all imaginary parts 0; each marks
  /// the cached extremes stale.
  ///@{
  void Clear() noexcept;
  void ClearReal() noexcept;
  void ClearImag() noexcept;
  ///@}

  // ---- transforms ---------------------------------------------------------
  /// Multiplies the samples in place by the selected window (again on every
  /// call), then DoFFT(1). Raises EORKFourierError "Component "<Name>": not
  /// enough memory on heap" (samples unchanged) when the working area cannot
  /// be obtained.
  void Transform();
  /// DoFFT(-1): the inverse transform, no window.
  void InverseTransform();
  /// The transform in place: isign 1 forward (positive exponent, unscaled),
  /// -1 inverse (negative exponent, every value divided by N). Marks the
  /// cached extremes stale. Any other isign raises EORKFourierError
  /// "Component "<Name>": transform direction must be 1 or -1" and changes
  /// nothing; memory failure as Transform. Cost O(N log N).
  void DoFFT(int32_t isign);

  // ---- spectrum (after Transform; all divided by N) ------------------------
  /// Power of line ix, 0..N/2: |X[0]|^2 / N for 0, (|X[ix]|^2 + |X[N-ix]|^2)
  /// / N otherwise (at N/2 both terms are the same element, so it counts
  /// twice); 0 outside.
  [[nodiscard]] double GetPowerSpec(int32_t ix) const noexcept;
  /// Amplitude of line ix: |X[0]| / N for 0; for 1..N/2 the length of (Re X[ix]
  /// + Re X[N-ix], Im X[ix] - Im X[N-ix]) / N, the amplitude of a real
  /// cosine/sine of that frequency; 0 outside.
  [[nodiscard]] double GetMagnitude(int32_t ix) const noexcept;
  /// Phase of line ix, 1..N/2: with re, im the parts of X[ix], +pi/2 when re
  /// = 0 and im > 0, -pi/2 when re = 0 otherwise (so also for a zero line),
  /// else arctan(im / re) in (-pi/2, pi/2) -- no quadrant correction. 0 for
  /// ix = 0 and outside.
  [[nodiscard]] double GetPhase(int32_t ix) const noexcept;
  /// Sine coefficient of the Fourier series, n = 1..N/2: (Im X[n] - Im
  /// X[N-n]) / N; 0 outside.
  [[nodiscard]] double GetFSerSin(int32_t n) const noexcept;
  /// Cosine coefficient, n = 0: Re X[0] / N; n = 1..N/2: (Re X[n] + Re
  /// X[N-n]) / N; 0 outside.
  [[nodiscard]] double GetFSerCos(int32_t n) const noexcept;
  /// sqrt(sum of |X[0]|^2 (line 0) and |X[k]|^2 + |X[N-k]|^2 (line k > 0)
  /// over the lines FirstIx..LastIx) / N. Both indices are clamped into
  /// 0..N/2 and exchanged when reversed. The sum is scaled, so it neither
  /// overflows nor underflows for finite values.
  [[nodiscard]] double RMS(int32_t FirstIx, int32_t LastIx) const noexcept;
  /// Frequency of line ix (1..N/2) for samples SampleTime apart: ix /
  /// SampleTime / N, in the reciprocal unit of SampleTime. 0 for other ix and
  /// when SampleTime is not a positive finite number.
  [[nodiscard]] double FreqOfLine(int32_t ix, double SampleTime) const noexcept;
  /// Line nearest to frequency f: k = f N SampleTime rounded half to even;
  /// k when 1 <= k <= N/2, else 0 (also when SampleTime is not a positive
  /// finite number or f is NaN).
  [[nodiscard]] int32_t LineOfFreq(double f, double SampleTime) const noexcept;

  // ---- cached extremes -------------------------------------------------------
  /// Largest / smallest real and imaginary part over all N elements
  /// (properties RealMax, ImagMax, RealMin, ImagMin); -uc_MaxDouble /
  /// uc_MaxDouble when every value is NaN. Recomputed when stale.
  ///@{
  [[nodiscard]] double GetMaxReal();
  [[nodiscard]] double GetMaxImag();
  [[nodiscard]] double GetMinReal();
  [[nodiscard]] double GetMinImag();
  ///@}
  /// Largest (|X[k]|^2 + |X[N-k]|^2) / N over k = 1..N/2-1 (property PowerMax;
  /// line 0 and line N/2 are not included; 0 when there is no such line).
  [[nodiscard]] double GetMaxPower();
  /// Largest GetMagnitude(k) over k = 1..N/2 (property MagniMax; line 0 not
  /// included; 0 when N = 1).
  [[nodiscard]] double GetMaxMagni();
  /// Recomputes the six extremes and marks them current.
  void CalcMaxValues() noexcept;
  /// Whether the cached extremes are current. Writes to the samples (setters,
  /// Clear..., Data(), SetNumData, the transforms) make them stale; the window
  /// settings do not.
  [[nodiscard]] bool ExtremesValid() const noexcept { return MaxValuesValid; }

  // ---- persistence ------------------------------------------------------------
  /// Copies size, window, samples, user weights and cached extremes from
  /// another TFastFourier; other sources go to TPersistent::Assign.
  void Assign(TPersistent* Source) override;

 protected:
  void AssignTo(TPersistent* Dest) override;

  /// Number of complex elements N (see SetNumData).
  int32_t FNumData = 256;
  /// The window that Transform applies.
  TFastFourierWgtWin FWgtWin = TFastFourierWgtWin::fwRectangle;
  /// Whether the cached extremes below are current.
  bool MaxValuesValid = false;
  /// Cached extremes (see GetMaxReal, GetMaxPower, GetMaxMagni).
  ///@{
  double FMaxReal = 0.0;
  double FMaxImag = 0.0;
  double FMinReal = 0.0;
  double FMinImag = 0.0;
  double FMaxPower = 0.0;
  double FMaxMagni = 0.0;
  ///@}
  /// User weights of the fwUserDef window, N values.
  std::vector<double> FUserWgt;
  /// The N complex values interleaved: the real part of element ix at
  /// 2 ix - 2, the imaginary part at 2 ix - 1.
  std::vector<double> FData;

 private:
  struct Workspace;
  void PrepareWorkspace();
  void ApplyWindow() noexcept;
  std::unique_ptr<Workspace> work_;
};

}  // namespace numbra
