// corvel runtime layer: the host-runtime facilities that every numbra class
// stands on -- the object and component model (TObject, TPersistent,
// TComponent), the runtime exception hierarchy, notify events, binary streams
// (TStream, TMemoryStream, TFileStream), a small text-file reader and writer,
// and the process-wide uniform random generator.
#pragma once

#include "corvel_export.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvel {

// ---------------------------------------------------------------------------
// Exceptions
// ---------------------------------------------------------------------------

/// Root of every exception the runtime, corvel and numbra raise. Holds an
/// English message only; what() returns the same text as Message().
class CORVEL_EXPORT Exception : public std::exception {
 public:
  /// An exception with the message Msg, kept exactly as given.
  explicit Exception(std::string Msg);
  ~Exception() override;
  /// Copies the message.
  ///@{
  Exception(const Exception&) = default;
  Exception& operator=(const Exception&) = default;
  ///@}
  /// The message text, exactly as raised.
  [[nodiscard]] const std::string& Message() const noexcept { return message_; }
  /// The message (the same text as Message()).
  [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

#define CORVEL_DECLARE_EXCEPTION(Name, Base) \
  class CORVEL_EXPORT Name : public Base {   \
   public:                                   \
    using Base::Base;                        \
    ~Name() override;                        \
    Name(const Name&) = default;             \
    Name& operator=(const Name&) = default;  \
  }

/// Floating-point domain and range errors of the runtime's math routines.
CORVEL_DECLARE_EXCEPTION(EMathError, Exception);
/// Raised by TPersistent::Assign / AssignTo for an unsupported source:
/// "Cannot assign a <SourceClass> to a <DestClass>" ("nil" for a null source).
CORVEL_DECLARE_EXCEPTION(EConvertError, Exception);
/// File input/output failures that an operation lets propagate.
CORVEL_DECLARE_EXCEPTION(EInOutError, Exception);
/// The runtime's out-of-memory failure.
CORVEL_DECLARE_EXCEPTION(EOutOfMemory, Exception);
/// Stream failures: base class, and open/create/read/write failures.
CORVEL_DECLARE_EXCEPTION(EStreamError, Exception);
CORVEL_DECLARE_EXCEPTION(EFOpenError, EStreamError);
CORVEL_DECLARE_EXCEPTION(EFCreateError, EStreamError);
CORVEL_DECLARE_EXCEPTION(EReadError, EStreamError);
CORVEL_DECLARE_EXCEPTION(EWriteError, EStreamError);

// ---------------------------------------------------------------------------
// Object model
// ---------------------------------------------------------------------------

/// Root class. ClassName() gives the unqualified C++ class name of the
/// dynamic type ("TVector", "TMatrix", ...).
class CORVEL_EXPORT TObject {
 public:
  TObject() = default;
  virtual ~TObject();
  /// Copyable; TObject itself holds no state.
  ///@{
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  ///@}
  /// Unqualified C++ class name of the dynamic type (e.g. "TMatrix").
  [[nodiscard]] virtual std::string ClassName() const;
};

/// Notify event: a handler that receives the object that fired it.
using TNotifyEvent = std::function<void(TObject* Sender)>;

/// Objects that can copy their contents from another object.
class CORVEL_EXPORT TPersistent : public TObject {
 public:
  /// Copies Source into this object. The base version asks Source->AssignTo
  /// (this) and, when Source is null or does not know this class, raises
  /// EConvertError "Cannot assign a <Source class> to a <this class>".
  virtual void Assign(TPersistent* Source);

 protected:
  /// Copies this object into Dest. The base version raises EConvertError.
  virtual void AssignTo(TPersistent* Dest);
  /// Raises the conversion error for Source being assigned to this object.
  [[noreturn]] void AssignError(const TPersistent* Source) const;
};

/// Component: a persistent object with an owner, a Name and a Tag.
///
/// A component created with an owner is owned by it: the owner's destructor
/// deletes it (last created first). A component deleted before its owner
/// removes itself from the owner's list. Components are neither copyable nor
/// movable; one that has an owner must live on the heap (`new T(Owner)`),
/// one without an owner is an ordinary object.
class CORVEL_EXPORT TComponent : public TPersistent {
 public:
  /// A component owned by AOwner (nullptr: none), which deletes it with itself.
  explicit TComponent(TComponent* AOwner = nullptr);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  TComponent(TComponent&&) = delete;
  TComponent& operator=(TComponent&&) = delete;

  /// The owner given to the constructor, or nullptr.
  [[nodiscard]] TComponent* Owner() const noexcept { return owner_; }
  /// Name of the component; any text is accepted, the empty text included.
  [[nodiscard]] const std::string& Name() const noexcept { return name_; }
  /// Sets Name() to NewName.
  void SetName(std::string NewName) { name_ = std::move(NewName); }
  /// Free integer for the host's use.
  [[nodiscard]] std::intptr_t Tag() const noexcept { return tag_; }
  /// Sets Tag() to NewTag.
  void SetTag(std::intptr_t NewTag) noexcept { tag_ = NewTag; }
  /// Number of owned components, and owned component Index (0-based; nullptr
  /// outside 0..ComponentCount()-1).
  ///@{
  [[nodiscard]] int32_t ComponentCount() const noexcept;
  [[nodiscard]] TComponent* Components(int32_t Index) const noexcept;
  ///@}
  /// The first owned component with the given name (case-sensitive), or nullptr.
  [[nodiscard]] TComponent* FindComponent(const std::string& AName) const noexcept;

 private:
  TComponent* owner_ = nullptr;
  std::vector<std::unique_ptr<TComponent>> components_;
  std::string name_;
  std::intptr_t tag_ = 0;
};

// ---------------------------------------------------------------------------
// Streams
// ---------------------------------------------------------------------------

/// Origin of TStream::Seek: the beginning, the current position or the end.
enum class TSeekOrigin : uint8_t { soBeginning, soCurrent, soEnd };

/// Abstract binary stream with a position.
class CORVEL_EXPORT TStream : public TObject {
 public:
  /// Reads up to Count bytes into Buffer; returns the number read (0 at end).
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  /// Writes Count bytes; returns the number written.
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  /// Moves the position; returns the new position. Positions are clamped at 0.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
  /// Current position and total size in bytes.
  [[nodiscard]] int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  /// Moves the position to Pos bytes from the beginning (clamped at 0).
  void SetPosition(int64_t Pos) { Seek(Pos, TSeekOrigin::soBeginning); }
  /// Total size in bytes.
  [[nodiscard]] virtual int64_t Size();
  /// Read or write exactly Count bytes or raise EReadError / EWriteError.
  ///@{
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  ///@}
};

/// Stream held in memory (a byte vector); grows on write.
class CORVEL_EXPORT TMemoryStream : public TStream {
 public:
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  /// Number of bytes held.
  [[nodiscard]] int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  /// Sets the size (new bytes are 0); the position is kept within the data.
  void SetSize(int64_t NewSize);
  /// Empties the stream.
  void Clear();
  /// The bytes of the stream.
  [[nodiscard]] const std::vector<uint8_t>& Memory() const noexcept { return data_; }
  /// Replaces the contents with a file's / writes the contents to a file.
  /// Raise EFOpenError / EFCreateError when the file cannot be used.
  ///@{
  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName) const;
  ///@}

 private:
  std::vector<uint8_t> data_;
  int64_t pos_ = 0;
};

/// File open modes of TFileStream.
enum class TFileMode : uint8_t {
  fmCreate,        ///< create or truncate, read and write
  fmOpenRead,      ///< existing file, read only
  fmOpenWrite,     ///< existing file, write only
  fmOpenReadWrite  ///< existing file, read and write
};

/// Stream over a file. The constructor raises EFCreateError (fmCreate) or
/// EFOpenError (other modes) with the message "Cannot create file "<name>""
/// or "Cannot open file "<name>"" when the file cannot be used, directories
/// included.
class CORVEL_EXPORT TFileStream : public TStream {
 public:
  /// Opens or creates FileName as Mode says; raises as described above.
  TFileStream(const std::string& FileName, TFileMode Mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  /// The file name given to the constructor.
  [[nodiscard]] const std::string& FileName() const noexcept { return file_name_; }

 private:
  struct Closer {
    void operator()(std::FILE* f) const noexcept;
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::string file_name_;
};

// ---------------------------------------------------------------------------
// Text files
// ---------------------------------------------------------------------------

/// Reads a text file as numbers separated by blanks, tabs and line ends, or
/// line by line. Opening never raises: check IsOpen(). Regular files only
/// (a directory does not open).
class CORVEL_EXPORT TTextReader {
 public:
  /// Opens FileName; never raises (see IsOpen()).
  explicit TTextReader(const std::string& FileName);
  ~TTextReader();
  TTextReader(const TTextReader&) = delete;
  TTextReader& operator=(const TTextReader&) = delete;

  /// Whether the file could be opened.
  [[nodiscard]] bool IsOpen() const noexcept { return file_ != nullptr; }
  /// True when nothing but separators remains to be read.
  [[nodiscard]] bool SeekEof();
  /// True at the end of the file.
  [[nodiscard]] bool Eof();
  /// Reads the next blank-separated token as a 32-bit integer (decimal, with
  /// optional sign). The token is consumed even when it does not convert;
  /// false then, and false at the end of the file.
  bool ReadInteger(int32_t& Value);
  /// Reads the next blank-separated token as a floating number ("1.5",
  /// "-2E-3", "inf", "nan"). The token is consumed even when it does not
  /// convert; false then, and false at the end of the file.
  bool ReadDouble(double& Value);
  /// Reads one line without its line end (LF, CR LF or CR). False at the end
  /// of the file.
  bool ReadLine(std::string& Line);
  /// Starts again from the beginning of the file.
  void Reset();
  /// Size of the file in bytes and number of bytes not yet consumed.
  ///@{
  [[nodiscard]] int64_t FileSize() const noexcept { return size_; }
  [[nodiscard]] int64_t Remaining();
  ///@}

 private:
  bool ReadToken(std::string& Token);
  int Peek();
  int Get();
  struct Closer {
    void operator()(std::FILE* f) const noexcept;
  };
  std::unique_ptr<std::FILE, Closer> file_;
  int64_t size_ = 0;
};

/// Writes a text file. Open() creates or replaces the file; every write
/// reports failure through Ok(), never by raising.
class CORVEL_EXPORT TTextWriter {
 public:
  TTextWriter() = default;
  ~TTextWriter();
  TTextWriter(const TTextWriter&) = delete;
  TTextWriter& operator=(const TTextWriter&) = delete;

  /// Creates (or truncates) the file; false when it cannot be created.
  bool Open(const std::string& FileName);
  /// Writes text as it stands.
  void Write(std::string_view Text);
  /// Writes text followed by a carriage return and line feed.
  void WriteLine(std::string_view Text);
  /// Closes the file; false if any write or the close failed.
  bool Close();
  /// False once the open, a write or the close failed.
  [[nodiscard]] bool Ok() const noexcept { return ok_; }

 private:
  struct Closer {
    void operator()(std::FILE* f) const noexcept;
  };
  std::unique_ptr<std::FILE, Closer> file_;
  bool ok_ = true;
};

// ---------------------------------------------------------------------------
// Uniform random generator
// ---------------------------------------------------------------------------
//
// SplitMix64 (Steele, Lea and Flood, "Fast splittable pseudorandom number
// generators", OOPSLA 2014): the 64-bit state advances by the golden-ratio
// increment 0x9E3779B97F4A7C15 and each output is the state passed through a
// fixed bijective mixer. It passes BigCrush, has period 2^64, and its whole
// state is the value RandSeed, so reading RandSeed and setting it back later
// replays the same sequence from that point. The arithmetic is fixed-width
// integer only, so equal seeds give equal sequences on every platform.
// The state is process-wide and unguarded, like the rest of the runtime.

/// Uniform double in [0, 1), with 53 random bits.
CORVEL_EXPORT double Random();
/// Uniform integer in 0..Range-1 (unbiased); 0 when Range <= 0.
CORVEL_EXPORT int32_t Random(int32_t Range);
/// The generator state; setting it restarts the sequence deterministically.
///@{
CORVEL_EXPORT uint64_t RandSeed();
CORVEL_EXPORT void SetRandSeed(uint64_t Seed);
///@}
/// Seeds the generator from the system clock.
CORVEL_EXPORT void Randomize();

}  // namespace corvel
