// Helpers shared by the numbra units (not installed).
#pragma once

#include "numbra_frame.h"

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace numbra::detail {

/// "Component "<Name>": <Text>" -- the message form of every component method.
inline std::string ComponentMsg(const corvel::TComponent& C, std::string_view Text) {
  std::string s = "Component \"";
  s += C.Name();
  s += "\": ";
  s += Text;
  return s;
}

/// The whole-extent / clamp / exchange rule of every ranged operation:
/// (0, 0) is 1..Count; otherwise each bound is clamped into 1..Count and a
/// reversed pair is exchanged.
inline void MakeValidRange(int32_t& Low, int32_t& High, int32_t Count) noexcept {
  if (Low == 0 && High == 0) {
    Low = 1;
    High = Count;
    return;
  }
  if (Low < 1) Low = 1;
  if (Low > Count) Low = Count;
  if (High < 1) High = 1;
  if (High > Count) High = Count;
  if (Low > High) std::swap(Low, High);
}

/// Runs an allocation; a failure is raised as Exc(ComponentMsg(C, Text)).
template <class Exc, class Fn>
void Allocate(const corvel::TComponent& C, std::string_view Text, Fn&& fn) {
  try {
    std::forward<Fn>(fn)();
  } catch (const std::bad_alloc&) {
    throw Exc(ComponentMsg(C, Text));
  } catch (const std::length_error&) {
    throw Exc(ComponentMsg(C, Text));
  }
}

/// Largest element count a reader creates from a count that a file or stream
/// declares (2^27 doubles, 1 GiB): a header may not make us allocate more.
inline constexpr int64_t kMaxElemsFromHeader = int64_t{1} << 27;

}  // namespace numbra::detail
