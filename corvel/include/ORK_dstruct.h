// ORK_dstruct: CRC-32 and the bit-array component TBitFld.
#pragma once

#include "ORK_orkbase.h"
#include "corvel_export.h"
#include "corvel_runtime.h"

#include <cstdint>
#include <vector>

namespace corvel {

/// The standard reflected CRC-32 (polynomial 0xEDB88320, as in zlib and
/// Ethernet) after one more byte. Start from 0xFFFFFFFF and complement the
/// final value: "123456789" then gives 0xCBF43926.
CORVEL_EXPORT uint32_t CalcNextCRC32(uint8_t Byte, uint32_t Crc) noexcept;

/// Array of bits 0..Size(), all false after construction.
///
/// Out-of-range indices are harmless: GetBit returns false and SetBit does
/// nothing. Cost: one bit per element, operations word-parallel.
class CORVEL_EXPORT TBitFld : public TComponent {
 public:
  /// A bit field owned by AOwner (nullptr: none); Size() 0, bit 0 false.
  explicit TBitFld(TComponent* AOwner = nullptr);
  ~TBitFld() override;

  /// Makes bits 0 to N valid (N + 1 bits) and reads back N through Size().
  /// Bits kept by the new size keep their values, new bits are false.
  /// A negative N is ignored.
  void SetSize(int32_t N);
  /// N of the last SetSize: bits 0..Size() are valid.
  [[nodiscard]] int32_t Size() const noexcept { return size_; }
  /// Bit Index (0..Size()); false outside.
  [[nodiscard]] bool GetBit(int32_t Index) const noexcept;
  /// Sets bit Index to Value; ignored outside 0..Size().
  void SetBit(int32_t Index, bool Value) noexcept;
  /// All bits false.
  void Clear() noexcept;
  /// Every valid bit flipped.
  void Invert() noexcept;
  /// Copies the size and the bits of Source into this field (null: nothing).
  void Clone(const TBitFld* Source);
  /// This = this Op Other, bit by bit over this field's bits; bits of Other
  /// beyond its size count as false. Null Other: nothing.
  void CombineWith(const TBitFld* Other, TLogicOp Op) noexcept;
  /// Number of true bits.
  [[nodiscard]] int32_t CountTrueBits() const noexcept;
  /// Copies another TBitFld (size and bits); other sources raise EConvertError.
  void Assign(TPersistent* Source) override;

 private:
  void MaskTail() noexcept;
  int32_t size_ = 0;
  std::vector<uint64_t> words_;
};

}  // namespace corvel
