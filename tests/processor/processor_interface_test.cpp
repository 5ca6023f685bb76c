// The processor's VST 3 surface through the built bundle: buses, arrangements,
// sample sizes, state streams and the controller's messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "processor_rig.h"
#include "state/state.h"
#include "throwing_host_objects.h"

namespace tavrena::testing {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::string utf8(const String128 name) {
  return host::toUtf8(name);
}

TEST_F(ProcessorTest, AnnouncesOneStereoAudioOutputAndOneMidiOutput) {
  EXPECT_EQ(component->getBusCount(kAudio, kInput), 0);
  EXPECT_EQ(component->getBusCount(kEvent, kInput), 0);
  ASSERT_EQ(component->getBusCount(kAudio, kOutput), 1);
  ASSERT_EQ(component->getBusCount(kEvent, kOutput), 1);
  BusInfo audio{};
  ASSERT_EQ(component->getBusInfo(kAudio, kOutput, 0, audio), kResultOk);
  EXPECT_EQ(utf8(audio.name), "Preview");
  EXPECT_EQ(audio.channelCount, 2);
  EXPECT_EQ(audio.busType, kMain);
  EXPECT_EQ(audio.flags, uint32(BusInfo::kDefaultActive));
  BusInfo midi{};
  ASSERT_EQ(component->getBusInfo(kEvent, kOutput, 0, midi), kResultOk);
  EXPECT_EQ(utf8(midi.name), "Solo MIDI");
  EXPECT_EQ(midi.channelCount, 1);
  EXPECT_EQ(midi.busType, kMain);
  EXPECT_EQ(midi.flags, uint32(BusInfo::kDefaultActive));

  FUnknownPtr<IProcessContextRequirements> requirements(component);
  ASSERT_TRUE(requirements);
  EXPECT_EQ(requirements->getProcessContextRequirements(), 0xC4u);  // music time, tempo, metre
  TUID controller{};
  ASSERT_EQ(component->getControllerClassId(controller), kResultOk);
  EXPECT_EQ(FUID::fromTUID(controller), kControllerUID);
  EXPECT_EQ(processor->getLatencySamples(), 0u);
  EXPECT_EQ(processor->getTailSamples(), kNoTail);
  EXPECT_EQ(processor->canProcessSampleSize(kSample32), kResultTrue);
  EXPECT_EQ(processor->canProcessSampleSize(kSample64), kResultTrue);
  EXPECT_EQ(processor->canProcessSampleSize(2), kResultFalse);
}

TEST_F(ProcessorTest, AcceptsOnlyOneMonoOrStereoOutputWithoutInputs) {
  SpeakerArrangement mono = SpeakerArr::kMono;
  SpeakerArrangement stereo = SpeakerArr::kStereo;
  SpeakerArrangement surround = SpeakerArr::k51;
  SpeakerArrangement two[] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
  EXPECT_EQ(processor->setBusArrangements(nullptr, 0, &surround, 1), kResultFalse);
  EXPECT_EQ(processor->setBusArrangements(&stereo, 1, &stereo, 1), kResultFalse);
  EXPECT_EQ(processor->setBusArrangements(nullptr, 0, two, 2), kResultFalse);
  EXPECT_EQ(processor->setBusArrangements(nullptr, 0, nullptr, 0), kResultFalse);
  SpeakerArrangement current = 0;
  ASSERT_EQ(processor->getBusArrangement(kOutput, 0, current), kResultTrue);
  EXPECT_EQ(current, SpeakerArr::kStereo);  // refusals changed nothing

  EXPECT_EQ(processor->setBusArrangements(nullptr, 0, &mono, 1), kResultTrue);
  ASSERT_EQ(processor->getBusArrangement(kOutput, 0, current), kResultTrue);
  EXPECT_EQ(current, SpeakerArr::kMono);
  BusInfo audio{};
  ASSERT_EQ(component->getBusInfo(kAudio, kOutput, 0, audio), kResultOk);
  EXPECT_EQ(audio.channelCount, 1);
  EXPECT_EQ(processor->setBusArrangements(nullptr, 0, &stereo, 1), kResultTrue);
  ASSERT_EQ(component->getBusInfo(kAudio, kOutput, 0, audio), kResultOk);
  EXPECT_EQ(audio.channelCount, 2);
}

TEST_F(ProcessorTest, StateStreamsRoundTripByteForByteAndRefusalsKeepTheState) {
  const std::string initial = savedState();
  EXPECT_EQ(initial, serializeState(defaultState()));

  const Json custom = makeState(plainConfig(), Json::array({note(0.5, 1.0, 64, 90)}), true, false);
  ASSERT_EQ(loadJson(custom), kResultOk);
  const std::string saved = savedState();
  EXPECT_EQ(saved, serializeState(normalizeState(custom)));

  EXPECT_EQ(host::loadState(component.get(), "{\"variation\": 3}"), kResultFalse);
  EXPECT_EQ(host::loadState(component.get(), "not json"), kResultFalse);
  EXPECT_EQ(component->setState(nullptr), kResultFalse);
  EXPECT_EQ(savedState(), saved);

  // Restoring the saved bytes gives the same bytes back.
  ASSERT_EQ(host::loadState(component.get(), initial), kResultOk);
  ASSERT_EQ(host::loadState(component.get(), saved), kResultOk);
  EXPECT_EQ(savedState(), saved);
  EXPECT_EQ(component->getState(nullptr), kInvalidArgument);
}

TEST_F(ProcessorTest, HostObjectsThatThrowGetAResultCodeAndChangeNothing) {
  const std::string before = savedState();
  ThrowingStream stream;
  EXPECT_EQ(component->setState(&stream), kResultFalse);
  EXPECT_EQ(component->getState(&stream), kResultFalse);
  for (const char* id : {"TavrenaState", "TavrenaPlayback"}) {
    ThrowingMessage message(id);
    EXPECT_EQ(point->notify(&message), kResultFalse) << id;
  }
  EXPECT_EQ(savedState(), before);
}

// A message whose "json" attribute claims a size without holding the bytes: the
// processor must refuse it from the size alone.

class FakeMessage : public IMessage, public IAttributeList {
 public:
  FakeMessage(const char* id, uint32 claimedSize) : id_(id), size_(claimedSize) {}
  FIDString PLUGIN_API getMessageID() override { return id_; }
  void PLUGIN_API setMessageID(FIDString) override {}
  IAttributeList* PLUGIN_API getAttributes() override { return this; }
  tresult PLUGIN_API setInt(AttrID, int64) override { return kResultFalse; }
  tresult PLUGIN_API getInt(AttrID, int64&) override { return kResultFalse; }
  tresult PLUGIN_API setFloat(AttrID, double) override { return kResultFalse; }
  tresult PLUGIN_API getFloat(AttrID, double&) override { return kResultFalse; }
  tresult PLUGIN_API setString(AttrID, const TChar*) override { return kResultFalse; }
  tresult PLUGIN_API getString(AttrID, TChar*, uint32) override { return kResultFalse; }
  tresult PLUGIN_API setBinary(AttrID, const void*, uint32) override { return kResultFalse; }
  tresult PLUGIN_API getBinary(AttrID id, const void*& data, uint32& size) override {
    if (std::strcmp(id, "json") != 0) return kResultFalse;
    ++reads;
    data = bytes_;
    size = size_;
    return kResultOk;
  }
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 2; }
  uint32 PLUGIN_API release() override { return 1; }
  int reads = 0;

 private:
  const char* id_;
  uint32 size_;
  char bytes_[2] = {'{', '}'};
};

TEST_F(ProcessorTest, StateMessagesAreValidatedBeforeTheyReplaceTheState) {
  const Json custom = makeState(plainConfig(), Json::array({note(1.0, 0.5, 60, 100)}), false, true);
  const std::string text = serializeState(normalizeState(custom));
  ASSERT_EQ(sendState(text), kResultOk);
  EXPECT_EQ(savedState(), text);

  EXPECT_EQ(sendState("{\"variants\": []}"), kResultFalse);  // normalisation fails
  EXPECT_EQ(sendState("{\"a\": 1,}"), kResultFalse);         // strict parsing
  EXPECT_EQ(sendState(""), kResultFalse);
  EXPECT_EQ(message("TavrenaState"), kResultFalse);  // no attribute
  FakeMessage huge("TavrenaState", 268435457);
  EXPECT_EQ(point->notify(&huge), kResultFalse);
  EXPECT_EQ(huge.reads, 1);
  FakeMessage fits("TavrenaState", 2);  // "{}" at the size limit's other end
  EXPECT_EQ(point->notify(&fits), kResultOk);
  EXPECT_EQ(savedState(), serializeState(defaultState()));
}

TEST_F(ProcessorTest, MessagesWithoutIdentifierAndUnknownMessages) {
  EXPECT_EQ(point->notify(nullptr), kInvalidArgument);
  FakeMessage anonymous(nullptr, 0);
  EXPECT_EQ(point->notify(&anonymous), kInvalidArgument);
  EXPECT_NE(message("SomethingElse"), kResultOk);    // the SDK's answer
  EXPECT_EQ(message("TavrenaPlayback"), kResultOk);  // "play" absent counts as 0
}

TEST_F(ProcessorTest, TransportReportBeforeAndAfterHostBlocks) {
  const Transport fresh = poll();
  EXPECT_EQ(fresh.ppq, 0.0);
  EXPECT_EQ(fresh.position, 0.0);
  EXPECT_EQ(fresh.bpm, 120.0);
  EXPECT_EQ(fresh.beatsPerBar, 4.0);
  EXPECT_EQ(fresh.numerator, 4);
  EXPECT_EQ(fresh.denominator, 4);
  EXPECT_EQ(fresh.playing, 0);
  EXPECT_EQ(fresh.hasPpq, 0);

  ASSERT_EQ(activate(), kResultOk);
  host::AudioBlock block(2, 512);
  ProcessContext context = host::makeContext(48000, true, 7.5, 96.0, 6, 8);
  runBlock(block, 256, &context);
  Transport t = poll();
  EXPECT_EQ(t.ppq, 7.5);
  EXPECT_EQ(t.bpm, 96.0);
  EXPECT_EQ(t.beatsPerBar, 3.0);  // 6/8
  EXPECT_EQ(t.numerator, 6);
  EXPECT_EQ(t.denominator, 8);
  EXPECT_EQ(t.playing, 1);
  EXPECT_EQ(t.hasPpq, 1);

  // Tempi outside 20..400 and non-positive metres are ignored; without a musical
  // position the last one stays reported while hasPpq drops.
  for (const double tempo : {10.0, 500.0}) {
    context = host::makeContext(48000, true, 9.0, tempo, 0, 4);
    context.state &= ~ProcessContext::kProjectTimeMusicValid;
    runBlock(block, 256, &context);
  }
  t = poll();
  EXPECT_EQ(t.bpm, 96.0);
  EXPECT_EQ(t.numerator, 6);
  EXPECT_EQ(t.ppq, 7.5);
  EXPECT_EQ(t.hasPpq, 0);
  EXPECT_EQ(t.playing, 1);

  runBlock(block, 256, nullptr);  // no context at all
  t = poll();
  EXPECT_EQ(t.playing, 0);
  EXPECT_EQ(t.hasPpq, 0);

  hostApp.setMessageAllocation(false);
  EXPECT_EQ(message("TavrenaPoll"), kResultFalse);
}

TEST_F(ProcessorTest, DeactivationDropsPreviewAndHostFlags) {
  ASSERT_EQ(activate(), kResultOk);
  host::AudioBlock block(2, 512);
  ProcessContext context = host::makeContext(48000, true, 0.0, 120.0);
  runBlock(block, 64, &context);
  ASSERT_EQ(preview(true), kResultOk);
  ASSERT_EQ(deactivate(), kResultOk);
  const Transport t = poll();
  EXPECT_EQ(t.playing, 0);
  EXPECT_EQ(t.hasPpq, 0);
  // The preview switch went off too: an active block without a host plays nothing.
  ASSERT_EQ(activate(), kResultOk);
  ASSERT_EQ(loadJson(makeState(plainConfig(), Json::array({note(0, 1, 60, 100)}), false, true)),
            kResultOk);
  seen.clear();
  runBlock(block, 512, nullptr);
  EXPECT_TRUE(seen.empty());
}

}  // namespace
}  // namespace tavrena::testing
