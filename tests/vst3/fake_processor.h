#pragma once
// A stand-in for the processor on the far side of the controller's connection point:
// records what arrives, accepts or refuses "TavrenaState", and answers "TavrenaPoll"
// with a fixed transport report, as the real processor does, within the same call.
#include <string>
#include <vector>

#include "host/host.h"
#include "ids.h"

namespace tavrena::testing {

class FakeProcessor : public Steinberg::Vst::IConnectionPoint {
 public:
  Steinberg::tresult PLUGIN_API connect(IConnectionPoint* other) override {
    peer = other;
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API disconnect(IConnectionPoint*) override {
    peer = nullptr;
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override {
    const std::string id = message->getMessageID();
    received.push_back(id);
    auto* attributes = message->getAttributes();
    if (id == kMsgState) {
      const void* data = nullptr;
      Steinberg::uint32 size = 0;
      if (attributes->getBinary(kAttrJson, data, size) != Steinberg::kResultOk)
        return Steinberg::kResultFalse;
      lastStateText.assign(static_cast<const char*>(data), size);
      return acceptStates ? Steinberg::kResultOk : Steinberg::kResultFalse;
    }
    if (id == kMsgPlayback) {
      Steinberg::int64 play = -1;
      attributes->getInt(kAttrPlay, play);
      lastPlay = play;
      return playbackResult;
    }
    if (id == kMsgPoll && peer) {
      Steinberg::IPtr<host::Message> reply = Steinberg::owned(new host::Message());
      reply->setMessageID(kMsgTransport);
      auto& out = reply->attributes();
      out.setFloat(kAttrPpq, 12.5);
      out.setFloat(kAttrPosition, 3.25);
      out.setFloat(kAttrBpm, 98.0);
      out.setFloat(kAttrBeatsPerBar, 3.0);
      out.setInt(kAttrNumerator, 6);
      out.setInt(kAttrDenominator, 8);
      out.setInt(kAttrPlaying, 1);
      out.setInt(kAttrHasPpq, 1);
      return peer->notify(reply);
    }
    return Steinberg::kResultFalse;
  }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override {
    if (Steinberg::FUnknownPrivate::iidEqual(iid, IConnectionPoint::iid.toTUID()) ||
        Steinberg::FUnknownPrivate::iidEqual(iid, FUnknown::iid.toTUID())) {
      addRef();
      *obj = static_cast<IConnectionPoint*>(this);
      return Steinberg::kResultOk;
    }
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return ++references_; }
  Steinberg::uint32 PLUGIN_API release() override { return --references_; }

  IConnectionPoint* peer = nullptr;
  bool acceptStates = true;
  Steinberg::tresult playbackResult = Steinberg::kResultOk;
  std::vector<std::string> received;
  std::string lastStateText;
  Steinberg::int64 lastPlay = -1;

 private:
  Steinberg::uint32 references_ = 1;
};

}  // namespace tavrena::testing
