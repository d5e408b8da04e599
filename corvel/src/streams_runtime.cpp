// TStream, TMemoryStream and TFileStream.
#include "corvel_runtime.h"
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace corvel {

int64_t TStream::Size() {
  const int64_t here = Seek(0, TSeekOrigin::soCurrent);
  const int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(here, TSeekOrigin::soBeginning);
  return end;
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError("Stream write error");
}

// ---- TMemoryStream ------------------------------------------------------

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  const auto size = static_cast<int64_t>(data_.size());
  if (Count <= 0 || pos_ >= size || Buffer == nullptr) return 0;
  const int64_t n = std::min(Count, size - pos_);
  std::memcpy(Buffer, data_.data() + pos_, static_cast<std::size_t>(n));
  pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0 || Buffer == nullptr) return 0;
  const int64_t end = pos_ + Count;
  if (end > static_cast<int64_t>(data_.size())) data_.resize(static_cast<std::size_t>(end));
  std::memcpy(data_.data() + pos_, Buffer, static_cast<std::size_t>(Count));
  pos_ = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = 0;
  if (Origin == TSeekOrigin::soCurrent) base = pos_;
  if (Origin == TSeekOrigin::soEnd) base = static_cast<int64_t>(data_.size());
  // Saturate instead of overflowing on hostile offsets.
  if (Offset > 0 && base > std::numeric_limits<int64_t>::max() - Offset)
    pos_ = std::numeric_limits<int64_t>::max();
  else
    pos_ = std::max<int64_t>(0, base + Offset);
  return pos_;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  data_.resize(static_cast<std::size_t>(std::max<int64_t>(0, NewSize)));
  pos_ = std::min(pos_, static_cast<int64_t>(data_.size()));
}

void TMemoryStream::Clear() {
  data_.clear();
  pos_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream f(FileName, TFileMode::fmOpenRead);
  const int64_t n = f.Size();
  std::vector<uint8_t> bytes(static_cast<std::size_t>(std::max<int64_t>(0, n)));
  f.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  data_ = std::move(bytes);
  pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& FileName) const {
  TFileStream f(FileName, TFileMode::fmCreate);
  f.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

// ---- TFileStream --------------------------------------------------------

void TFileStream::Closer::operator()(std::FILE* f) const noexcept { std::fclose(f); }

namespace {
bool IsDirectory(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

TFileStream::TFileStream(const std::string& FileName, TFileMode Mode) : file_name_(FileName) {
  const char* mode = "rb";
  switch (Mode) {
    case TFileMode::fmCreate:
      mode = "w+b";
      break;
    case TFileMode::fmOpenRead:
      mode = "rb";
      break;
    case TFileMode::fmOpenWrite:
    case TFileMode::fmOpenReadWrite:
      mode = "r+b";
      break;
  }
  if (!IsDirectory(FileName)) file_.reset(std::fopen(FileName.c_str(), mode));
  if (!file_) {
    if (Mode == TFileMode::fmCreate) throw EFCreateError("Cannot create file \"" + FileName + "\"");
    throw EFOpenError("Cannot open file \"" + FileName + "\"");
  }
}

TFileStream::~TFileStream() = default;

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || Buffer == nullptr) return 0;
  return static_cast<int64_t>(std::fread(Buffer, 1, static_cast<std::size_t>(Count), file_.get()));
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0 || Buffer == nullptr) return 0;
  return static_cast<int64_t>(std::fwrite(Buffer, 1, static_cast<std::size_t>(Count), file_.get()));
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int whence = SEEK_SET;
  if (Origin == TSeekOrigin::soCurrent) whence = SEEK_CUR;
  if (Origin == TSeekOrigin::soEnd) whence = SEEK_END;
  if (::fseeko(file_.get(), static_cast<off_t>(Offset), whence) != 0 && Offset < 0)
    ::fseeko(file_.get(), 0, SEEK_SET);
  return static_cast<int64_t>(::ftello(file_.get()));
}

}  // namespace corvel
