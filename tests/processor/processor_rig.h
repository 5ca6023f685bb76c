#pragma once
// Drives the processor class of the built bundle as a host does, with a recording
// peer in place of the controller so that every report it sends can be read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/host.h"
#include "ids.h"
#include "theory/json.h"

namespace tavrena::testing {

// Stands in for the controller's connection point: keeps every message it receives.
class PeerRecorder : public Steinberg::Vst::IConnectionPoint {
 public:
  Steinberg::tresult PLUGIN_API connect(IConnectionPoint*) override { return Steinberg::kResultOk; }
  Steinberg::tresult PLUGIN_API disconnect(IConnectionPoint*) override {
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override;
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return ++references_; }
  Steinberg::uint32 PLUGIN_API release() override { return --references_; }

  std::vector<Steinberg::IPtr<Steinberg::Vst::IMessage>> messages;

 private:
  Steinberg::uint32 references_ = 1;
};

struct Transport {
  double ppq = -1, position = -1, bpm = -1, beatsPerBar = -1;
  std::int64_t numerator = -1, denominator = -1, playing = -1, hasPpq = -1;
};

// One output event as the test compares it, stamped with its absolute sample.
struct Seen {
  std::int64_t sample = 0;
  int type = 0;  // Event::kNoteOnEvent, kNoteOffEvent or kLegacyMIDICCOutEvent
  int pitch = 0;
  float velocity = 0;
  int control = 0, value = 0, value2 = 0;
  friend bool operator==(const Seen&, const Seen&) = default;
};
std::ostream& operator<<(std::ostream& out, const Seen& seen);
Seen seenOn(std::int64_t sample, int pitch, int velocity);
Seen seenOff(std::int64_t sample, int pitch);
Seen seenCc(std::int64_t sample, int control, int value, int value2 = 0);
// The set-up the scheduler sends when it positions: bend range RPN, null RPN, program.
std::vector<Seen> seenSetup(std::int64_t sample, int bendRange = 12, int program = 30);

// What a VST 3 event list should receive for a rendered variant at `samplesPerTick`,
// derived from renderSoloEvents directly: events stable-sorted by (tick, order), meta
// events left out, each channel message translated to its host event.
std::vector<Seen> renderedAsSeen(const Json& config, const Json& notes,
                                 std::int64_t samplesPerTick);

// A state document: configuration, switches and the first variant's notes.
Json makeState(const Json& config, const Json& notes, bool sync, bool loop);
// Eight bars of 4/4 at 120 BPM (32 quarter notes) without bends or slides.
Json plainConfig();
Json note(double start, double length, int pitch, int velocity);

class ProcessorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Steinberg::tresult activate(double sampleRate = 48000.0, Steinberg::int32 maxSamples = 512,
                              Steinberg::int32 sampleSize = Steinberg::Vst::kSample32);
  Steinberg::tresult deactivate();
  Steinberg::tresult loadJson(const Json& state);
  std::string savedState();
  Steinberg::tresult message(const char* id,
                             const std::function<void(Steinberg::Vst::IAttributeList&)>& fill = {});
  Steinberg::tresult preview(bool play);
  Steinberg::tresult sendState(const std::string& json);
  // Sends "TavrenaPoll" and reads back the report the processor sent to its peer.
  Transport poll();

  // Runs one block and appends its events, stamped from `clock`, which advances.
  void runBlock(host::AudioBlock& block, Steinberg::int32 samples,
                Steinberg::Vst::ProcessContext* context = nullptr);
  // Runs blocks of `size` until `samples` have been processed.
  void runSamples(host::AudioBlock& block, std::int64_t samples, Steinberg::int32 size);

  std::unique_ptr<host::Module> module;
  host::HostApplication hostApp;
  Steinberg::IPtr<Steinberg::Vst::IComponent> component;
  Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor;
  Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> point;
  PeerRecorder peer;
  std::vector<Seen> seen;
  std::int64_t clock = 0;
  bool active = false;
};

}  // namespace tavrena::testing
