#pragma once
// Windows only: one counted reference to a COM object, released when the holder goes.
#include <unknwn.h>

#include <utility>

namespace vstwebview {

template <class T>
class ComRef {
 public:
  ComRef() = default;
  // Takes a reference the caller already owns (an out-parameter filled by a COM call).
  static ComRef Adopt(T* object) {
    ComRef ref;
    ref.object_ = object;
    return ref;
  }
  // Adds a reference of its own (an argument the caller only lends).
  static ComRef Share(T* object) {
    if (object) object->AddRef();
    return Adopt(object);
  }
  ComRef(const ComRef& other) : object_(other.object_) {
    if (object_) object_->AddRef();
  }
  ComRef(ComRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComRef& operator=(ComRef other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ComRef() { Reset(); }

  void Reset() {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }
  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // For out-parameters; whatever was held is released first.
  T** Out() {
    Reset();
    return &object_;
  }

 private:
  T* object_ = nullptr;
};

}  // namespace vstwebview
