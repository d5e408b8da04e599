// ORK_kohonen: TKohonen, a rectangular self-organising (Kohonen) map that
// is trained on the rows of a matrix and maps input vectors to their
// best-matching neuron; its weights are kept in a TMat3D.
#pragma once

#include "ORK_matrix.h"
#include "ORK_vector.h"
#include "numbra_frame.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace numbra {

/// The XML elements of the map's XML form (see TKohonen). xmlEndKohonen
/// names the enclosing element (start and end tag); xmlInvalid any name
/// that is none of these.
enum class TKohonenXMLTag : uint8_t {
  xmlSizeX,
  xmlSizeY,
  xmlComment,
  xmlNrInsens,
  xmlMaxNeighb,
  xmlMaxSteps,
  xmlMaxAlpha,
  xmlCurStep,
  xmlCyclic,
  xmlCell,
  xmlMeanStdDev,
  xmlEndKohonen,
  xmlInvalid
};

/// Element name of Tag: "sizex", "sizey", "comment", "nrinsens",
/// "maxneighb", "maxsteps", "maxalpha", "curstep", "cyclic", "cell",
/// "meanstddev", "kohonen"; "" for xmlInvalid.
NUMBRA_EXPORT std::string_view KohonenXMLTagName(TKohonenXMLTag Tag) noexcept;
/// The tag with element name Name; xmlInvalid for any other name.
NUMBRA_EXPORT TKohonenXMLTag KohonenXMLTagOf(std::string_view Name) noexcept;

/// Self-organising map of SizeX() x SizeY() neurons, each with NrOfInSens()
/// weights.
///
/// The training objects are the rows of TrainData() and the inputs its
/// columns. Weight k of neuron (x, y), all 1-based, is element (x, y, k) of
/// the owned TMat3D. A training step presents every object in row order:
/// the neuron nearest to it (squared Euclidean distance, the first one in
/// x-outer, y-inner order on ties) is the winner, and every neuron of the
/// square neighbourhood of radius r around it (wrapped around on a cyclic
/// grid, clipped on a bounded one) moves towards the object by the factor
/// h = alpha / (sqrt(e - e_min) + 1), where e is its squared distance and
/// e_min the winner's. Step s of NrOfTrnSteps() = S uses f = (S - s) / S,
/// r = Round((InitialNeighbors() - 1) f^2 + 1) and alpha = InitialAlpha()
/// f^2 (f is taken as 0 beyond the last step, so a map is never trained
/// with a rising rate). On a cyclic grid the radius is at most SizeX() div
/// 2 - 1 across and SizeY() div 2 - 1 down (at least 0), so a neighbourhood
/// never covers a neuron twice.
///
/// The data are used as stored: StandardizeData standardises the columns
/// in place and keeps their means and standard deviations, which ApplyIt
/// and GetWeight then use to translate between raw and standardised units
/// (an input whose deviation is 0 -- a constant column, or no
/// standardisation at all -- is used raw).
///
/// Training reports Round(step 100 / S) through OnFeedback after each step
/// and stops after the step in progress once AbortTraining was called (for
/// instance from the handler). Not safe for use from several threads at
/// once; AbortTraining may be called from the feedback handler.
class NUMBRA_EXPORT TKohonen : public TComponent {
 public:
  /// A 1 x 1 map with one input and random weights in [-0.1, 0.1); 200
  /// steps, initial radius 2, initial rate 1.0, bounded grid, a 1 x 1 data
  /// matrix, zero means and deviations.
  explicit TKohonen(TComponent* AOwner = nullptr);
  ~TKohonen() override;

  /// Progress of the training in percent, with this map as sender.
  TOnPercentDoneEvent OnFeedback;

  /// Free text (kept by the XML form).
  [[nodiscard]] const std::string& Comment() const noexcept { return FComment; }
  /// Sets Comment.
  void SetComment(std::string Value) { FComment = std::move(Value); }
  /// Whether the grid is toroidal.
  [[nodiscard]] bool Cyclic() const noexcept { return FCyclic; }
  /// Sets Cyclic.
  void SetCyclic(bool Value) noexcept { FCyclic = Value; }
  /// Learning rate of the first step.
  [[nodiscard]] double InitialAlpha() const noexcept { return FMaxAlpha; }
  /// Sets InitialAlpha (any finite value; NaN and infinities are ignored).
  void SetInitialAlpha(double Value) noexcept;
  /// Neighbourhood radius at the start of training.
  [[nodiscard]] int32_t InitialNeighbors() const noexcept { return FMaxNeighb; }
  /// Sets InitialNeighbors; values below 0 are ignored.
  void SetInitialNeighbors(int32_t Value) noexcept;
  /// Number of inputs per object (the data's columns, the weights' layers).
  [[nodiscard]] int32_t NrOfInSens() const noexcept { return FNrInSens; }
  /// n <= 0: ignored. Otherwise NrOfInSens := n and the weights (all 0.0),
  /// the data matrix (n x NrOfTrnObj(), all 0.0) and the mean and deviation
  /// vectors (n elements, 0.0) are replaced.
  void SetNumInsens(int32_t n);
  /// Number of training steps S.
  [[nodiscard]] int32_t NrOfTrnSteps() const noexcept { return FMaxSteps; }
  /// Sets NrOfTrnSteps; values below 1 are ignored.
  void SetNrOfTrnSteps(int32_t Value) noexcept;
  /// Grid width.
  [[nodiscard]] int32_t SizeX() const noexcept { return FSizeX; }
  /// Grid height.
  [[nodiscard]] int32_t SizeY() const noexcept { return FSizeY; }
  /// n <= 0: ignored; otherwise the width becomes n and the weights are
  /// replaced by zeros (not randomised).
  void SetSizeX(int32_t n);
  /// The same for the height.
  void SetSizeY(int32_t n);
  /// Number of training objects (rows of the data matrix).
  [[nodiscard]] int32_t NrOfTrnObj() const noexcept { return FNrTrnObj; }
  /// The current (next) training step.
  [[nodiscard]] int32_t CurrentStep() const noexcept { return FCurStep; }
  /// Radius of the last step run.
  [[nodiscard]] int32_t CurrentNeighbors() const noexcept { return FCurNeighb; }
  /// Learning rate of the last step run.
  [[nodiscard]] double CurrentAlpha() const noexcept { return FCurAlpha; }
  /// Kept mean of input k (1-based; 0.0 outside).
  [[nodiscard]] double Mean(int32_t k) const noexcept { return MeanVec->GetVal(k); }
  /// Kept standard deviation of input k (1-based; 0.0 outside).
  [[nodiscard]] double StdDev(int32_t k) const noexcept { return StdDevVec->GetVal(k); }

  /// The training data (NrOfInSens() columns, one row per object).
  [[nodiscard]] TMatrix* TrainData() const noexcept { return FDataMat.get(); }
  /// Takes a copy of Mat as training data: NrOfInSens := its columns,
  /// NrOfTrnObj := its rows; the weights become SizeX x SizeY x NrOfInSens
  /// zeros, means and deviations zero vectors. Null, or a matrix without
  /// columns or rows: nothing.
  void SetDataMat(const TMatrix* Mat);
  /// Standardises each column of the data in place (TMatrix::
  /// StandardizeColumns) and keeps its mean and standard deviation.
  void StandardizeData();

  /// Weight wi of neuron (ix, iy) in raw units: stored weight * StdDev(wi) +
  /// Mean(wi), the stored weight itself where StdDev(wi) is 0; 0.0 outside
  /// the map.
  [[nodiscard]] double GetWeight(int32_t ix, int32_t iy, int32_t wi) const noexcept;
  /// Convenience reader of the Weights property (same as GetWeight).
  [[nodiscard]] double Weights(int32_t ix, int32_t iy, int32_t wi) const noexcept {
    return GetWeight(ix, iy, wi);
  }
  /// The stored (standardised) weights.
  [[nodiscard]] const TMat3D& KohMat() const noexcept { return *FKohMat; }
  /// Every weight becomes (Random() - 0.5) * 0.2, x outermost, then y, then
  /// k.
  void SetWeigtsToRandom();

  /// CurrentStep := 1, SetWeigtsToRandom, ContinueTraining.
  void Trainit();
  /// Runs steps from CurrentStep() on while CurrentStep() < NrOfTrnSteps()
  /// after a step (the first step always runs), clearing the stop request
  /// before and after.
  void ContinueTraining();
  /// Asks the training to stop after the step in progress.
  void AbortTraining() noexcept { FAbort = true; }

  /// The best-matching neuron of InData (element k is input k; missing
  /// elements read 0.0): the input is standardised with the kept means and
  /// deviations, and (BestIx, BestIy) is the first neuron with the smallest
  /// squared distance, Distance that squared distance. Null: BestIx = BestIy
  /// = 0 and Distance = uc_MaxDouble.
  void ApplyIt(const TVector* InData, int32_t& BestIx, int32_t& BestIy, double& Distance) const;

  // ---- XML form -------------------------------------------------------------
  // <kohonen dataid="DataID"> with, one per line, <sizex>, <sizey>,
  // <nrinsens>, <comment>, <maxneighb>, <maxsteps>, <maxalpha>, <curstep>,
  // <cyclic> (true or false), one <meanstddev input="k" mean="m"
  // stddev="s"/> per input and one <cell x="x" y="y" w="k">weight</cell> per
  // weight (x outermost, then y, then k), closed by </kohonen> (names of
  // TKohonenXMLTag). Numbers are written as the shortest text that reads
  // back as the same double, so a map read back gives the same ApplyIt
  // answers bit for bit. The training data are not part of the form.
  //
  // The readers look for the first <kohonen> element (any depth) whose
  // dataid equals DataID (any when DataID is empty). sizex, sizey and
  // nrinsens (each once, integers >= 1, product at most 2^27) must precede
  // the cells and meanstddev elements; every weight and every input's
  // statistics must be given exactly once; the other settings are optional
  // (missing ones keep their values); unknown elements are skipped. On
  // success the map takes the sizes, weights, statistics and settings; its
  // training data stay when they have NrOfInSens columns (so training can
  // go on) and become NrOfInSens x 1 zeros otherwise; true. False, with the map
  // unchanged, when no such element exists, the XML is malformed or beyond
  // corvel's limits, or a rule is broken.

  /// Writes the XML form into the new file FName (declaration first).
  /// Raises EInOutError "Cannot write file "<FName>"" when it cannot be
  /// created or written.
  void SaveAsXMLFile(const std::string& FName, const std::string& DataID) const;
  /// Reads the XML form from FName; false when it cannot be opened or as
  /// above.
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  /// Writes the XML form at the stream's position (null: nothing).
  void WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const;
  /// Reads from the stream's position; on success the stream stands after
  /// </kohonen>. Null: false.
  bool ReadFromXMLStream(TStream* InStream, const std::string& DataID);
  /// Writes the XML form into an open text file (CR LF line ends).
  void WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader, const std::string& DataID) const;
  /// Reads from an open text file; on success it stands at the line after
  /// the one that holds </kohonen>.
  bool ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID);

 protected:
  /// Fires OnFeedback(this, Percent) when assigned.
  void DoFeedback(int32_t Percent) {
    if (OnFeedback) OnFeedback(this, Percent);
  }

  int32_t FMaxNeighb = 2;              ///< initial neighbourhood radius
  std::string FComment;                ///< Comment
  int32_t FCurNeighb = 0;              ///< radius of the last step
  int32_t FMaxSteps = 200;             ///< number of training steps
  int32_t FCurStep = 0;                ///< current (next) step
  double FMaxAlpha = 1.0;              ///< initial learning rate
  double FCurAlpha = 0.0;              ///< learning rate of the last step
  std::unique_ptr<TMat3D> FKohMat;     ///< the weights, SizeX x SizeY x NrOfInSens
  int32_t FSizeX = 1;                  ///< grid width
  int32_t FSizeY = 1;                  ///< grid height
  int32_t FNrInSens = 1;               ///< inputs per object
  int32_t FNrTrnObj = 1;               ///< number of training objects
  std::unique_ptr<TVector> MeanVec;    ///< kept means of the inputs
  std::unique_ptr<TVector> StdDevVec;  ///< kept standard deviations of the inputs
  bool FCyclic = false;                ///< toroidal grid
  bool FAbort = false;                 ///< stop request
  std::unique_ptr<TMatrix> FDataMat;   ///< the training data

 private:
  void NewWeights();
  bool ReadXml(const std::function<int64_t(char*, int64_t)>& Source, const std::string& DataID,
               int64_t* Consumed);
  void WriteXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                bool CreateHeader, const std::string& DataID) const;
};

}  // namespace numbra
