// Object model and exception classes of the corvel runtime layer.
#include "corvel_runtime.h"
#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

namespace corvel {

Exception::Exception(std::string Msg) : message_(std::move(Msg)) {}
Exception::~Exception() = default;
EMathError::~EMathError() = default;
EConvertError::~EConvertError() = default;
EInOutError::~EInOutError() = default;
EOutOfMemory::~EOutOfMemory() = default;
EStreamError::~EStreamError() = default;
EFOpenError::~EFOpenError() = default;
EFCreateError::~EFCreateError() = default;
EReadError::~EReadError() = default;
EWriteError::~EWriteError() = default;

TObject::~TObject() = default;

std::string TObject::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  std::string full = (status == 0 && demangled) ? demangled.get() : mangled;
  // Drop the namespace qualification: "numbra::TVector" -> "TVector".
  const auto colon = full.rfind("::");
  return colon == std::string::npos ? full : full.substr(colon + 2);
}

void TPersistent::Assign(TPersistent* Source) {
  if (Source != nullptr) {
    Source->AssignTo(this);
    return;
  }
  AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) { Dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* Source) const {
  const std::string source_name = Source != nullptr ? Source->ClassName() : "nil";
  throw EConvertError("Cannot assign a " + source_name + " to a " + ClassName());
}

TComponent::TComponent(TComponent* AOwner) : owner_(AOwner) {
  if (owner_ != nullptr) owner_->components_.emplace_back(this);
}

TComponent::~TComponent() {
  // Owned components go first, the last created first. Each leaves the list
  // before it is deleted, so a destructor that deletes a sibling still finds
  // that sibling in the list and nothing is deleted twice.
  while (!components_.empty()) {
    std::unique_ptr<TComponent> last = std::move(components_.back());
    components_.pop_back();
    last->owner_ = nullptr;
    last.reset();
  }
  if (owner_ != nullptr) {
    auto& list = owner_->components_;
    auto it = std::find_if(list.begin(), list.end(), [this](const std::unique_ptr<TComponent>& p) {
      return p.get() == this;
    });
    if (it != list.end()) {
      static_cast<void>(it->release());  // we are being deleted already
      list.erase(it);
    }
  }
}

int32_t TComponent::ComponentCount() const noexcept {
  return static_cast<int32_t>(components_.size());
}

TComponent* TComponent::Components(int32_t Index) const noexcept {
  if (Index < 0 || Index >= ComponentCount()) return nullptr;
  return components_[static_cast<std::size_t>(Index)].get();
}

TComponent* TComponent::FindComponent(const std::string& AName) const noexcept {
  for (const auto& c : components_)
    if (c->name_ == AName) return c.get();
  return nullptr;
}

}  // namespace corvel
