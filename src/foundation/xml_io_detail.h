// Where the XML forms of the matrix classes, the data table and the
// self-organising map read from and write to. Each class has one reader
// (Source: fills a buffer, returns the bytes given, 0 at the end) and one
// writer (Sink); these adaptors connect them to a file, a stream and an open
// text file, so that every class treats its inputs the same way.
#pragma once

#include "ORK_filesys.h"
#include "corvel_runtime.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace numbra::detail {

using XmlSource = std::function<int64_t(char*, int64_t)>;
using XmlSink = std::function<void(std::string_view)>;

/// Runs Read(source) on the bytes of the regular file FName; false when the
/// file is not a regular file or cannot be opened.
template <class ReadFn>
bool XmlFromFile(const std::string& FName, ReadFn&& Read) {
  if (corvel::FileSizeOf(FName) < 0) return false;
  struct Closer {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> f(std::fopen(FName.c_str(), "rb"));
  if (!f) return false;
  return Read(XmlSource([&f](char* buf, int64_t n) {
    return static_cast<int64_t>(std::fread(buf, 1, static_cast<std::size_t>(n), f.get()));
  }));
}

/// Runs Read(source, &consumed) on InStream. The reader reads ahead in
/// chunks, so on success the stream is put right after the element.
template <class ReadFn>
bool XmlFromStream(corvel::TStream* InStream, ReadFn&& Read) {
  if (InStream == nullptr) return false;
  const int64_t start = InStream->Position();
  int64_t consumed = 0;
  const bool ok = Read(
      XmlSource([InStream](char* buf, int64_t n) { return InStream->Read(buf, n); }), &consumed);
  if (ok) InStream->SetPosition(start + consumed);
  return ok;
}

/// Runs Read(source) on an open text file, one line at a time, so that the
/// reader never takes a line beyond the one that closes the element.
template <class ReadFn>
bool XmlFromTextFile(corvel::TTextReader& InFile, ReadFn&& Read) {
  std::string pending;
  std::size_t at = 0;
  return Read(XmlSource([&](char* buf, int64_t n) -> int64_t {
    if (at >= pending.size()) {
      if (!InFile.ReadLine(pending)) return 0;
      pending += '\n';
      at = 0;
    }
    const std::size_t k = std::min(static_cast<std::size_t>(n), pending.size() - at);
    std::memcpy(buf, pending.data() + at, k);
    at += k;
    return static_cast<int64_t>(k);
  }));
}

/// A sink that appends to OutStream.
inline XmlSink XmlStreamSink(corvel::TStream* OutStream) {
  return [OutStream](std::string_view s) {
    OutStream->WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
  };
}

/// A sink that writes to an open text file.
inline XmlSink XmlTextSink(corvel::TTextWriter& OutFile) {
  return [&OutFile](std::string_view s) { OutFile.Write(s); };
}

}  // namespace numbra::detail
