// Text-file reader and writer used by the text forms of the data classes.
#include "corvel_runtime.h"
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace corvel {

namespace {
bool IsSeparator(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Longest token we keep; longer ones are consumed whole but fail to convert
// (no number of this library needs more characters than this).
constexpr std::size_t kMaxToken = 512;
}  // namespace

void TTextReader::Closer::operator()(std::FILE* f) const noexcept { std::fclose(f); }
void TTextWriter::Closer::operator()(std::FILE* f) const noexcept { std::fclose(f); }

TTextReader::TTextReader(const std::string& FileName) {
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  file_.reset(std::fopen(FileName.c_str(), "rb"));
  if (file_) size_ = static_cast<int64_t>(st.st_size);
}

TTextReader::~TTextReader() = default;

int TTextReader::Peek() {
  const int c = std::fgetc(file_.get());
  if (c != EOF) std::ungetc(c, file_.get());
  return c;
}

int TTextReader::Get() { return std::fgetc(file_.get()); }

bool TTextReader::Eof() { return !file_ || Peek() == EOF; }

bool TTextReader::SeekEof() {
  if (!file_) return true;
  int c = Get();
  while (c != EOF && IsSeparator(c)) c = Get();
  if (c == EOF) return true;
  std::ungetc(c, file_.get());
  return false;
}

int64_t TTextReader::Remaining() {
  if (!file_) return 0;
  const auto pos = static_cast<int64_t>(::ftello(file_.get()));
  return pos < 0 ? 0 : std::max<int64_t>(0, size_ - pos);
}

void TTextReader::Reset() {
  if (file_) std::rewind(file_.get());
}

bool TTextReader::ReadToken(std::string& Token) {
  Token.clear();
  if (SeekEof()) return false;
  int c = Get();
  while (c != EOF && !IsSeparator(c)) {
    if (Token.size() < kMaxToken + 1) Token.push_back(static_cast<char>(c));
    c = Get();
  }
  // The separator that ended the token is consumed, as a runtime read does.
  return true;
}

bool TTextReader::ReadInteger(int32_t& Value) {
  std::string tok;
  if (!ReadToken(tok) || tok.size() > kMaxToken) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(tok.c_str(), &end, 10);
  if (end == tok.c_str() || *end != '\0' || errno == ERANGE ||
      v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    return false;
  Value = static_cast<int32_t>(v);
  return true;
}

bool TTextReader::ReadDouble(double& Value) {
  std::string tok;
  if (!ReadToken(tok) || tok.size() > kMaxToken) return false;
  char* end = nullptr;
  // strtod accepts hexadecimal floats too; the text forms never write them,
  // but they are numbers and reading them is harmless.
  const double v = std::strtod(tok.c_str(), &end);
  if (end == tok.c_str() || *end != '\0') return false;
  Value = v;  // overflow gives +-inf, underflow a subnormal or 0, as the text says
  return true;
}

bool TTextReader::ReadLine(std::string& Line) {
  Line.clear();
  if (!file_) return false;
  int c = Get();
  if (c == EOF) return false;
  while (c != EOF && c != '\n' && c != '\r') {
    Line.push_back(static_cast<char>(c));
    c = Get();
  }
  if (c == '\r') {
    const int next = Get();
    if (next != '\n' && next != EOF) std::ungetc(next, file_.get());
  }
  return true;
}

TTextWriter::~TTextWriter() = default;

bool TTextWriter::Open(const std::string& FileName) {
  struct stat st {};
  file_.reset();
  ok_ = true;
  if (::stat(FileName.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    ok_ = false;
    return false;
  }
  file_.reset(std::fopen(FileName.c_str(), "wb"));
  ok_ = file_ != nullptr;
  return ok_;
}

void TTextWriter::Write(std::string_view Text) {
  if (!file_) {
    ok_ = false;
    return;
  }
  if (!Text.empty() && std::fwrite(Text.data(), 1, Text.size(), file_.get()) != Text.size())
    ok_ = false;
}

void TTextWriter::WriteLine(std::string_view Text) {
  Write(Text);
  Write("\r\n");
}

bool TTextWriter::Close() {
  if (file_) {
    if (std::fclose(file_.release()) != 0) ok_ = false;
  }
  return ok_;
}

}  // namespace corvel
