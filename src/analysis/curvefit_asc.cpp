// TCurveFit ASC text export and import.
#include "ORK_math2.h"
#include "ORK_stringl.h"
#include "analysis/svd_detail.h"
#include "foundation/frame_detail.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace numbra {

namespace {

constexpr int32_t kBadBody = -8;

struct FileCloser {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

std::string NumberText(double v, int32_t Precision) {
  if (Precision >= 0) return corvel::strff(v, 1, Precision);
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

}  // namespace

std::string TCurveFit::ExportAsASC(const std::string& FName, const std::string& Comment,
                                   int32_t Precision) const {
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(FName.c_str(), "wb"));
  if (!f) return "Cannot create file \"" + FName + "\": " + std::strerror(errno);
  std::string comment =
      corvel::ReplaceCharInString(corvel::ReplaceCharInString(Comment, '\n', ' '), '\r', ' ');
  if (comment.empty()) comment = "Exported by ORK TCurveFit component: " + FName;
  std::string text;
  text += comment + "\n";
  text += "2\t;nr. of columns\n";
  text += std::to_string(FNumData) + "\t;nr. of rows\n";
  text += "FALSE TRUE FALSE\t;row attributes, column names, row names\n";
  text += "\"x\"   \"y\"\n";
  bool ok = std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
  const double* x = Xs();
  const double* y = Ys();
  for (int32_t i = 0; i < FNumData && ok; ++i) {
    text = NumberText(x[i], Precision) + "\t" + NumberText(y[i], Precision) + "\n";
    ok = std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
  }
  ok = std::fclose(f.release()) == 0 && ok;
  if (!ok) throw EInOutError("ExportAsASC: cannot write file \"" + FName + "\"");
  return "";
}

int32_t TCurveFit::ImportASC(const std::string& FName) {
  Invalidate();
  corvel::TAscReader r = corvel::TAscReader::FromFile(FName);
  if (r.Status() != corvel::kAscOk) return r.Status();
  const corvel::TAscHeader& h = r.Header();
  if (h.Extended) return -7;
  if (h.NrColumns != 2)
    throw EORKMath2Error("TCurveFit.ImportASC: number of columns must be 2 (is actually " +
                         std::to_string(h.NrColumns) + ").");
  // Everything is read before the object changes, so a malformed file
  // leaves the previous points as they were.
  const auto rows = static_cast<std::size_t>(h.NrRows);
  std::vector<double> vx, vy;
  detail::Allocate<EORKMath2Error>(*this, "not enough memory on heap", [&] {
    vx.resize(rows);
    vy.resize(rows);
  });
  if (h.ColumnNames)
    for (int c = 0; c < 2; ++c)
      if (!r.ReadName('"', FVNState, FVNName) && rows > 0) return kBadBody;
  double discard = 0;
  for (std::size_t i = 0; i < rows; ++i) {
    if (h.RowAttributes && !r.ReadNumber(discard)) return kBadBody;
    if (h.RowNames && !r.ReadName('"', FVNState, FVNName)) return kBadBody;
    if (!r.ReadNumber(vx[i]) || !r.ReadNumber(vy[i])) return kBadBody;
  }
  if (!r.AtEnd()) return kBadBody;
  FVNName.clear();
  Init();
  detail::Allocate<EORKMath2Error>(*this, "not enough memory on heap",
                                   [&] { FData->Resize(2, static_cast<int32_t>(rows)); });
  auto& m = detail::MatrixAccess::Storage(*FData);
  for (std::size_t i = 0; i < rows; ++i) {
    m[i] = vx[i];
    m[rows + i] = vy[i];
    AdjustSums(vx[i], vy[i]);
  }
  FNumData = h.NrRows;
  Invalidate();
  return 0;
}

}  // namespace numbra
