// TKohonen: the map's settings, training schedule and application.
//
// The training loop works on plain arrays: the objects are copied once into
// contiguous rows, and besides the weight array (neuron-major, the layout of
// TMat3D) an input-major copy of the weights is kept so that the distances
// of one object to all neurons are formed by running over the neurons in
// the innermost loop (contiguous, vectorisable). Each distance is still the
// sum over k in ascending order, so it equals, bit for bit, the sum a
// neuron-by-neuron loop forms; and the winner's distances are kept and reused
// for the neighbourhood factors instead of being formed again (they are the
// same numbers: a neuron's weights do not change before its own update).
#include "ORK_kohonen.h"
#include "ORK_univconst.h"

#include <algorithm>
#include <cmath>

namespace numbra {

TKohonen::TKohonen(TComponent* AOwner)
    : TComponent(AOwner),
      FKohMat(std::make_unique<TMat3D>()),
      MeanVec(std::make_unique<TVector>()),
      StdDevVec(std::make_unique<TVector>()),
      FDataMat(std::make_unique<TMatrix>()) {
  FKohMat->Resize(FSizeX, FSizeY, FNrInSens);
  MeanVec->SetVecSize(FNrInSens);
  StdDevVec->SetVecSize(FNrInSens);
  FDataMat->Resize(FNrInSens, FNrTrnObj);
  SetWeigtsToRandom();
}

TKohonen::~TKohonen() = default;

void TKohonen::SetInitialAlpha(double Value) noexcept {
  if (std::isfinite(Value)) FMaxAlpha = Value;
}

void TKohonen::SetInitialNeighbors(int32_t Value) noexcept {
  if (Value >= 0) FMaxNeighb = Value;
}

void TKohonen::SetNrOfTrnSteps(int32_t Value) noexcept {
  if (Value >= 1) FMaxSteps = Value;
}

void TKohonen::NewWeights() {
  auto w = std::make_unique<TMat3D>();
  w->Resize(FSizeX, FSizeY, FNrInSens);
  FKohMat = std::move(w);
}

void TKohonen::SetNumInsens(int32_t n) {
  if (n <= 0) return;
  auto data = std::make_unique<TMatrix>();
  data->Resize(n, FNrTrnObj);
  auto means = std::make_unique<TVector>();
  auto sds = std::make_unique<TVector>();
  means->SetVecSize(n);
  sds->SetVecSize(n);
  FNrInSens = n;
  NewWeights();
  FDataMat = std::move(data);
  MeanVec = std::move(means);
  StdDevVec = std::move(sds);
}

void TKohonen::SetSizeX(int32_t n) {
  if (n <= 0) return;
  FSizeX = n;
  NewWeights();
}

void TKohonen::SetSizeY(int32_t n) {
  if (n <= 0) return;
  FSizeY = n;
  NewWeights();
}

void TKohonen::SetDataMat(const TMatrix* Mat) {
  if (Mat == nullptr || Mat->NrOfColumns() < 1 || Mat->NrOfRows() < 1) return;
  auto data = std::make_unique<TMatrix>();
  data->Resize(Mat->NrOfColumns(), Mat->NrOfRows());
  data->CopyFrom(Mat, 1, 1, Mat->NrOfColumns(), Mat->NrOfRows(), 1, 1);
  auto means = std::make_unique<TVector>();
  auto sds = std::make_unique<TVector>();
  means->SetVecSize(Mat->NrOfColumns());
  sds->SetVecSize(Mat->NrOfColumns());
  FNrInSens = Mat->NrOfColumns();
  FNrTrnObj = Mat->NrOfRows();
  NewWeights();
  FDataMat = std::move(data);
  MeanVec = std::move(means);
  StdDevVec = std::move(sds);
}

void TKohonen::StandardizeData() { FDataMat->StandardizeColumns(MeanVec.get(), StdDevVec.get()); }

double TKohonen::GetWeight(int32_t ix, int32_t iy, int32_t wi) const noexcept {
  const double w = FKohMat->GetVal(ix, iy, wi);
  const double sd = StdDevVec->GetVal(wi);
  // An input that was not scaled (deviation 0) keeps its raw units.
  return sd != 0.0 ? w * sd + MeanVec->GetVal(wi) : w;
}

void TKohonen::SetWeigtsToRandom() {
  // The storage order of the weight array is x, then y, then k.
  for (double& w : FKohMat->Mat) w = (Random() - 0.5) * 0.2;
}

void TKohonen::Trainit() {
  FCurStep = 1;
  SetWeigtsToRandom();
  ContinueTraining();
}

void TKohonen::ContinueTraining() {
  FAbort = false;
  const auto nx = static_cast<std::size_t>(FSizeX);
  const auto ny = static_cast<std::size_t>(FSizeY);
  const auto nk = static_cast<std::size_t>(FNrInSens);
  const std::size_t neurons = nx * ny;
  const auto nobj = static_cast<std::size_t>(FDataMat->NrOfRows());
  // The objects as contiguous rows.
  std::vector<double> objects(nobj * nk);
  for (std::size_t k = 0; k < nk; ++k)
    for (std::size_t o = 0; o < nobj; ++o)
      objects[o * nk + k] =
          FDataMat->GetVal(static_cast<int32_t>(k) + 1, static_cast<int32_t>(o) + 1);
  std::vector<double>& w = FKohMat->Mat;  // neuron-major: w[n nk + k], n = x ny + y
  std::vector<double> wt(neurons * nk);   // input-major copy: wt[k neurons + n]
  for (std::size_t n = 0; n < neurons; ++n)
    for (std::size_t k = 0; k < nk; ++k) wt[k * neurons + n] = w[n * nk + k];
  std::vector<double> dist(neurons);
  const auto rx_cap = static_cast<int32_t>(nx / 2) - 1;
  const auto ry_cap = static_cast<int32_t>(ny / 2) - 1;
  do {
    // Beyond the last step f would turn negative and the rate rise again.
    const double f = std::max(0.0, static_cast<double>(FMaxSteps - FCurStep) / FMaxSteps);
    FCurNeighb = static_cast<int32_t>(std::nearbyint((FMaxNeighb - 1) * f * f + 1));
    FCurAlpha = FMaxAlpha * f * f;
    int32_t rx = FCurNeighb;
    int32_t ry = FCurNeighb;
    if (FCyclic) {
      rx = std::max(0, std::min(rx, rx_cap));
      ry = std::max(0, std::min(ry, ry_cap));
    }
    for (std::size_t o = 0; o < nobj; ++o) {
      const double* d = &objects[o * nk];
      std::fill(dist.begin(), dist.end(), 0.0);
      for (std::size_t k = 0; k < nk; ++k) {
        const double dk = d[k];
        const double* row = &wt[k * neurons];
        for (std::size_t n = 0; n < neurons; ++n) {
          const double diff = row[n] - dk;
          dist[n] += diff * diff;
        }
      }
      double e_min = uc_MaxDouble;
      std::size_t best = neurons;
      for (std::size_t n = 0; n < neurons; ++n)
        if (dist[n] < e_min) {
          e_min = dist[n];
          best = n;
        }
      if (best == neurons) continue;  // no finite distance (NaN data)
      const auto bx = static_cast<int32_t>(best / ny);
      const auto by = static_cast<int32_t>(best % ny);
      for (int32_t xi = bx - rx; xi <= bx + rx; ++xi) {
        int32_t x = xi;
        if (FCyclic) {
          if (x < 0) x += FSizeX;
          if (x >= FSizeX) x -= FSizeX;
        } else if (x < 0 || x >= FSizeX) {
          continue;
        }
        for (int32_t yi = by - ry; yi <= by + ry; ++yi) {
          int32_t y = yi;
          if (FCyclic) {
            if (y < 0) y += FSizeY;
            if (y >= FSizeY) y -= FSizeY;
          } else if (y < 0 || y >= FSizeY) {
            continue;
          }
          const std::size_t n = static_cast<std::size_t>(x) * ny + static_cast<std::size_t>(y);
          const double h = FCurAlpha / (std::sqrt(dist[n] - e_min) + 1.0);
          double* wn = &w[n * nk];
          for (std::size_t k = 0; k < nk; ++k) {
            wn[k] += h * (d[k] - wn[k]);
            wt[k * neurons + n] = wn[k];
          }
        }
      }
    }
    DoFeedback(static_cast<int32_t>(std::nearbyint(FCurStep * 100.0 / FMaxSteps)));
    ++FCurStep;
    if (FAbort) break;
  } while (FCurStep < FMaxSteps);
  FAbort = false;
}

void TKohonen::ApplyIt(const TVector* InData, int32_t& BestIx, int32_t& BestIy,
                       double& Distance) const {
  Distance = uc_MaxDouble;
  BestIx = 0;
  BestIy = 0;
  if (InData == nullptr) return;
  const auto nk = static_cast<std::size_t>(FNrInSens);
  std::vector<double> z(nk);
  for (std::size_t k = 0; k < nk; ++k) {
    const auto i = static_cast<int32_t>(k) + 1;
    const double sd = StdDevVec->GetVal(i);
    const double centred = InData->GetVal(i) - MeanVec->GetVal(i);
    // An input of deviation 0 was not scaled (nor centred) in the data.
    z[k] = sd != 0.0 ? centred / sd : InData->GetVal(i);
  }
  const std::vector<double>& w = FKohMat->Mat;
  std::size_t n = 0;
  for (int32_t x = 1; x <= FSizeX; ++x)
    for (int32_t y = 1; y <= FSizeY; ++y, ++n) {
      double d = 0.0;
      for (std::size_t k = 0; k < nk; ++k) {
        const double diff = w[n * nk + k] - z[k];
        d += diff * diff;
      }
      if (d < Distance) {
        Distance = d;
        BestIx = x;
        BestIy = y;
      }
    }
}

}  // namespace numbra
