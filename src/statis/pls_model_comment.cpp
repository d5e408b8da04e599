// LoadPLSModelComment: the comment block at the head of a PLS model file.
//
// The file is untrusted: every line is read with a length limit, the line
// count is checked before anything is stored, and the reader stops after
// the comment, so the bytes read and kept are bounded by the format's
// limits (1000 lines of 1024 bytes) whatever the file holds.
#include "ORK_statis.h"

#include <cstdint>
#include <string>

namespace numbra {

namespace {

constexpr std::size_t kMaxLine = 1024;
constexpr int32_t kMaxCommentLines = 1000;
constexpr const char* kMagic = "NUMBRA PLS MODEL";

[[noreturn]] void Fail(const std::string& What) {
  throw EORKStatisError("LoadPLSModelComment: " + What);
}

// Buffered line reader over a stream; a line may end in LF, CR LF or the
// end of the data.
class LineReader {
 public:
  explicit LineReader(TStream& S) : stream_(S) {}

  // False at the end of the data. Lines longer than kMaxLine bytes fail.
  bool Next(std::string& Line) {
    Line.clear();
    bool any = false;
    for (;;) {
      if (pos_ == len_) {
        len_ = static_cast<std::size_t>(stream_.Read(buf_, sizeof buf_));
        pos_ = 0;
        if (len_ == 0) break;
      }
      any = true;
      const char c = buf_[pos_++];
      if (c == '\n') break;
      if (Line.size() > kMaxLine) Fail("line too long");
      Line.push_back(c);
    }
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    if (Line.size() > kMaxLine) Fail("line too long");
    return any;
  }

 private:
  TStream& stream_;
  char buf_[4096] = {};
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
};

}  // namespace

void LoadPLSModelComment(TStream& Stream, std::string& Comment) {
  LineReader reader(Stream);
  std::string line;
  if (!reader.Next(line) || line.compare(0, 16, kMagic) != 0 ||
      (line.size() > 16 && line[16] != ' ' && line[16] != '\t'))
    Fail("not a PLS model file");
  if (!reader.Next(line) || line.rfind("COMMENT ", 0) != 0) Fail("invalid comment header");
  // k: 1 to 4 decimal digits, nothing else.
  const std::string digits = line.substr(8);
  if (digits.empty() || digits.size() > 4 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    Fail("invalid comment header");
  const int32_t k = std::stoi(digits);
  if (k > kMaxCommentLines) Fail("invalid comment header");
  std::string text;
  for (int32_t i = 0; i < k; ++i) {
    if (!reader.Next(line)) Fail("comment is truncated");
    if (i > 0) text.push_back('\n');
    text += line;
  }
  Comment = std::move(text);
}

void LoadPLSModelComment(const std::string& FileName, std::string& Comment) {
  try {
    TFileStream file(FileName, TFileMode::fmOpenRead);
    LoadPLSModelComment(file, Comment);
  } catch (const corvel::EFOpenError&) {
    Fail("cannot open file \"" + FileName + "\"");
  }
}

}  // namespace numbra
