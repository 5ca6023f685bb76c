#pragma once
// Host objects that throw C++ exceptions from their methods, as a faulty host (or
// one running out of memory) might: the plug-in must answer with a result code.
#include <new>
#include <stdexcept>
#include <string>

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstmessage.h"

namespace tavrena::testing {

class ThrowingStream final : public Steinberg::IBStream {
 public:
  Steinberg::tresult PLUGIN_API read(void*, Steinberg::int32, Steinberg::int32*) override {
    throw std::runtime_error("host stream failed");
  }
  Steinberg::tresult PLUGIN_API write(void*, Steinberg::int32, Steinberg::int32*) override {
    throw std::bad_alloc();
  }
  Steinberg::tresult PLUGIN_API seek(Steinberg::int64, Steinberg::int32,
                                     Steinberg::int64*) override {
    throw std::runtime_error("host stream failed");
  }
  Steinberg::tresult PLUGIN_API tell(Steinberg::int64*) override {
    throw std::runtime_error("host stream failed");
  }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }
};

// A message with an identifier whose attribute list cannot be had.
class ThrowingMessage final : public Steinberg::Vst::IMessage {
 public:
  explicit ThrowingMessage(std::string id) : id_(std::move(id)) {}
  Steinberg::FIDString PLUGIN_API getMessageID() override { return id_.c_str(); }
  void PLUGIN_API setMessageID(Steinberg::FIDString) override {}
  Steinberg::Vst::IAttributeList* PLUGIN_API getAttributes() override {
    throw std::runtime_error("host message failed");
  }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

 private:
  std::string id_;
};

}  // namespace tavrena::testing
