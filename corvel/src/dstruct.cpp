#include "ORK_dstruct.h"

#include <array>
#include <bit>

namespace corvel {

namespace {
constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1U) : c >> 1U;
    table[n] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

std::size_t WordsFor(int32_t size) { return static_cast<std::size_t>(size) / 64 + 1; }
}  // namespace

uint32_t CalcNextCRC32(uint8_t Byte, uint32_t Crc) noexcept {
  return kCrcTable[(Crc ^ Byte) & 0xFFU] ^ (Crc >> 8U);
}

TBitFld::TBitFld(TComponent* AOwner) : TComponent(AOwner), words_(1, 0) {}
TBitFld::~TBitFld() = default;

void TBitFld::SetSize(int32_t N) {
  if (N < 0) return;
  words_.resize(WordsFor(N), 0);
  size_ = N;
  MaskTail();
}

void TBitFld::MaskTail() noexcept {
  // Keep the bits above Size() zero so that counting and combining need no
  // special case for the last word.
  const unsigned used = static_cast<unsigned>(size_ % 64) + 1;
  if (used < 64) words_.back() &= (uint64_t{1} << used) - 1;
}

bool TBitFld::GetBit(int32_t Index) const noexcept {
  if (Index < 0 || Index > size_) return false;
  return ((words_[static_cast<std::size_t>(Index) / 64] >> (static_cast<unsigned>(Index) % 64)) &
          1U) != 0;
}

void TBitFld::SetBit(int32_t Index, bool Value) noexcept {
  if (Index < 0 || Index > size_) return;
  const uint64_t mask = uint64_t{1} << (static_cast<unsigned>(Index) % 64);
  uint64_t& w = words_[static_cast<std::size_t>(Index) / 64];
  w = Value ? (w | mask) : (w & ~mask);
}

void TBitFld::Clear() noexcept {
  for (auto& w : words_) w = 0;
}

void TBitFld::Invert() noexcept {
  for (auto& w : words_) w = ~w;
  MaskTail();
}

void TBitFld::Clone(const TBitFld* Source) {
  if (Source == nullptr || Source == this) return;
  words_ = Source->words_;
  size_ = Source->size_;
}

void TBitFld::CombineWith(const TBitFld* Other, TLogicOp Op) noexcept {
  if (Other == nullptr) return;
  for (std::size_t i = 0; i < words_.size(); ++i) {
    const uint64_t a = words_[i];
    const uint64_t b = i < Other->words_.size() ? Other->words_[i] : 0;
    uint64_t r = 0;
    switch (Op) {
      case TLogicOp::loAND:
        r = a & b;
        break;
      case TLogicOp::loOR:
        r = a | b;
        break;
      case TLogicOp::loXOR:
        r = a ^ b;
        break;
      case TLogicOp::loANDNOT:
        r = a & ~b;
        break;
      case TLogicOp::loNAND:
        r = ~(a & b);
        break;
      case TLogicOp::loNOR:
        r = ~(a | b);
        break;
      case TLogicOp::loNXOR:
        r = ~(a ^ b);
        break;
    }
    words_[i] = r;
  }
  MaskTail();
}

int32_t TBitFld::CountTrueBits() const noexcept {
  int32_t n = 0;
  for (const auto w : words_) n += std::popcount(w);
  return n;
}

void TBitFld::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TBitFld*>(Source)) {
    Clone(src);
    return;
  }
  TPersistent::Assign(Source);
}

}  // namespace corvel
