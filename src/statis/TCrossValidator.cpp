// TCrossValidator: repeated random hold-out cross validation of a model
// that the host builds and applies through events.
#include "ORK_matrix.h"
#include "ORK_statis.h"
#include "ORK_vector.h"

#include <cmath>

namespace numbra {

namespace {

// Whole percent of tested objects, halves to the even neighbour.
int32_t Percent(int32_t Tested, int32_t N) {
  return static_cast<int32_t>(std::nearbyint(static_cast<double>(Tested) / N * 100.0));
}

// Results before a successful run are marked by -1.0.
double Valid(const TVector& V, int32_t ix) {
  if (ix < 1 || ix > V.NrOfElem()) return -1.0;
  return V.GetVal(ix);
}

}  // namespace

TCrossValidator::TCrossValidator(TComponent* AOwner)
    : TComponent(AOwner),
      FPress(std::make_unique<TVector>()),
      FTPCnt(std::make_unique<TVector>()),
      FFPCnt(std::make_unique<TVector>()),
      FTNCnt(std::make_unique<TVector>()),
      FFNCnt(std::make_unique<TVector>()) {
  FillResults(-1.0);
}

TCrossValidator::~TCrossValidator() = default;

void TCrossValidator::FillResults(double Value) {
  for (TVector* v : {FPress.get(), FTPCnt.get(), FFPCnt.get(), FTNCnt.get(), FFNCnt.get()})
    v->Fill(Value);
}

void TCrossValidator::SetTestSize(int32_t n) {
  FTestSize = n < 1 ? 1 : n;
  FillResults(-1.0);
}

bool TCrossValidator::Execute() {
  if (FXMat == nullptr || FYMat == nullptr)
    throw EORKStatisError("TCrossValidator.Execute: data matrix not assigned");
  if (FXMat->NrOfRows() != FYMat->NrOfRows())
    throw EORKStatisError("TCrossValidator.Execute: number of rows of XMat and YMat not equal");
  if (!OnModelApplyRequest)
    throw EORKStatisError("TCrossValidator: OnModelApplyRequest event is not assigned");
  if (!OnModelCreateRequest)
    throw EORKStatisError("TCrossValidator: OnModelCreateRequest event is not assigned");
  const int32_t n = FXMat->NrOfRows();
  if (n < 1) throw EORKStatisError("TCrossValidator.Execute: data matrix has no rows");
  if (FIsRunning) throw EORKStatisError("TCrossValidator.Execute: already running");
  if (FTestSize > n / 2 + 1) FTestSize = n / 2 + 1;

  const int32_t nx = FXMat->NrOfColumns();
  const int32_t ny = FYMat->NrOfColumns();
  const auto ny_size = static_cast<std::size_t>(ny);
  TBitFld used, test;
  used.SetSize(n);
  test.SetSize(n);
  TDoubleArray predictors(static_cast<std::size_t>(nx));
  TDoubleArray response(ny_size, 0.0);
  std::vector<double> press(ny_size, 0.0), tp(ny_size, 0.0), fp(ny_size, 0.0), tn(ny_size, 0.0),
      fn(ny_size, 0.0);
  TIntArray test_list, training_list;
  test_list.reserve(static_cast<std::size_t>(n));
  training_list.reserve(static_cast<std::size_t>(n));

  // Clears the running flag and invalidates the results however Execute is
  // left; a normal end publishes the results first and disarms it.
  struct Guard {
    TCrossValidator* self;
    bool armed = true;
    ~Guard() {
      self->FIsRunning = false;
      if (armed) self->FillResults(-1.0);
    }
  } guard{this};
  FIsRunning = true;
  FFailedCnt = 0;
  bool abort = false;
  bool gave_up = false;
  int32_t tested = 0;
  int32_t failed_in_row = 0;

  do {
    test.Clear();
    const int32_t unused = n - used.CountTrueBits();
    if (FTestSize < unused) {
      // Linear probing from a random start: at least unused - j > 0 objects
      // are still free when object j is drawn, so the probe always stops.
      for (int32_t j = 0; j < FTestSize; ++j) {
        int32_t k = 1 + Random(n);
        while (used.GetBit(k)) k = k == n ? 1 : k + 1;
        used.SetBit(k, true);
        test.SetBit(k, true);
      }
    } else {
      test.Clone(&used);
      test.Invert();
      used.Clear();
      used.Invert();
      used.SetBit(0, false);
      test.SetBit(0, false);
    }
    test_list.clear();
    training_list.clear();
    for (int32_t r = 1; r <= n; ++r) (test.GetBit(r) ? test_list : training_list).push_back(r);

    bool success = false;
    OnModelCreateRequest(this, Percent(tested, n), training_list, success);
    if (!success) {
      // Ordinal 3 is the set difference: the fold's objects become free
      // again and are drawn anew; the bound on consecutive failures makes
      // a host that never succeeds end the run.
      used.CombineWith(&test, static_cast<TLogicOp>(3));
      ++FFailedCnt;
      if (++failed_in_row >= FMaxFailed) {
        gave_up = true;
        break;
      }
      continue;
    }
    failed_in_row = 0;
    for (const int32_t r : test_list) {
      ++tested;
      for (int32_t c = 1; c <= nx; ++c)
        predictors[static_cast<std::size_t>(c) - 1] = FXMat->GetVal(c, r);
      response.resize(ny_size);
      OnModelApplyRequest(this, Percent(tested, n), predictors, response);
      if (response.size() != ny_size)
        throw EORKStatisError(
            "TCrossValidator.Execute: OnModelApplyRequest changed the size of Response");
      for (std::size_t i = 0; i < ny_size; ++i) {
        const double y = FYMat->GetVal(static_cast<int32_t>(i) + 1, r);
        const double p = response[i];
        press[i] += (p - y) * (p - y);
        // A NaN prediction is wrong, not "within 0.001".
        const bool wrong = !(std::fabs(p - y) < 0.001);
        if (y == 1.0)
          (wrong ? fn[i] : tp[i]) += 1.0;
        else
          (wrong ? fp[i] : tn[i]) += 1.0;
      }
      if (OnCheckAbort) OnCheckAbort(this, abort);
      if (abort) break;
    }
  } while (used.CountTrueBits() < n && !abort);

  if (abort || gave_up) return false;  // the guard fills the results with -1.0
  const int32_t cols = ny < 1 ? 1 : ny;
  for (TVector* v : {FPress.get(), FTPCnt.get(), FFPCnt.get(), FTNCnt.get(), FFNCnt.get()}) {
    v->Resize(cols);
    v->Fill(ny < 1 ? -1.0 : 0.0);
  }
  for (int32_t i = 1; i <= ny; ++i) {
    const auto k = static_cast<std::size_t>(i) - 1;
    FPress->SetVal(i, press[k]);
    FTPCnt->SetVal(i, tp[k]);
    FFPCnt->SetVal(i, fp[k]);
    FTNCnt->SetVal(i, tn[k]);
    FFNCnt->SetVal(i, fn[k]);
  }
  guard.armed = false;
  return true;
}

double TCrossValidator::GetRMSEP(int32_t ix) const {
  const double press = Valid(*FPress, ix);
  const int32_t n = FXMat == nullptr ? 0 : FXMat->NrOfRows();
  if (press < 0 || n < 1) return -1.0;
  return std::sqrt(press / n);
}

double TCrossValidator::GetTPRate(int32_t ix) const {
  const double t = Valid(*FTPCnt, ix), f = Valid(*FFNCnt, ix);
  if (t < 0 || f < 0) return -1.0;
  return t + f == 0 ? 0.0 : t / (t + f);
}

double TCrossValidator::GetFPRate(int32_t ix) const {
  const double f = Valid(*FFPCnt, ix), t = Valid(*FTNCnt, ix);
  if (t < 0 || f < 0) return -1.0;
  return f + t == 0 ? 1.0 : f / (f + t);
}

double TCrossValidator::GetPress(int32_t ix) const { return Valid(*FPress, ix); }
double TCrossValidator::GetTPCount(int32_t ix) const { return Valid(*FTPCnt, ix); }
double TCrossValidator::GetFPCount(int32_t ix) const { return Valid(*FFPCnt, ix); }
double TCrossValidator::GetTNCount(int32_t ix) const { return Valid(*FTNCnt, ix); }
double TCrossValidator::GetFNCount(int32_t ix) const { return Valid(*FFNCnt, ix); }

}  // namespace numbra
