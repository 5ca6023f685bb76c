#include "processor_rig.h"

#include <algorithm>
#include <cstring>

#include "generator/render.h"
#include "pluginterfaces/vst/ivstevents.h"

namespace tavrena::testing {

using namespace Steinberg;
using namespace Steinberg::Vst;

tresult PLUGIN_API PeerRecorder::notify(IMessage* message) {
  if (message == nullptr) return kInvalidArgument;
  messages.emplace_back(message);  // IPtr adds a reference
  return kResultOk;
}

tresult PLUGIN_API PeerRecorder::queryInterface(const TUID iid, void** obj) {
  if (std::memcmp(iid, IConnectionPoint::iid, sizeof(TUID)) == 0 ||
      std::memcmp(iid, FUnknown::iid, sizeof(TUID)) == 0) {
    addRef();
    *obj = static_cast<IConnectionPoint*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

std::ostream& operator<<(std::ostream& out, const Seen& s) {
  out << "{@" << s.sample << " ";
  if (s.type == Event::kNoteOnEvent) return out << "on " << s.pitch << " v" << s.velocity << "}";
  if (s.type == Event::kNoteOffEvent) return out << "off " << s.pitch << "}";
  return out << "cc " << s.control << " " << s.value << " " << s.value2 << "}";
}

Seen seenOn(std::int64_t sample, int pitch, int velocity) {
  return {sample, Event::kNoteOnEvent, pitch, static_cast<float>(velocity) * 0.007874016f};
}
Seen seenOff(std::int64_t sample, int pitch) {
  return {sample, Event::kNoteOffEvent, pitch};
}
Seen seenCc(std::int64_t sample, int control, int value, int value2) {
  return {sample, Event::kLegacyMIDICCOutEvent, 0, 0.0f, control, value, value2};
}
std::vector<Seen> seenSetup(std::int64_t sample, int bendRange, int program) {
  return {seenCc(sample, 101, 0),      seenCc(sample, 100, 0),   seenCc(sample, 6, bendRange),
          seenCc(sample, 38, 0),       seenCc(sample, 101, 127), seenCc(sample, 100, 127),
          seenCc(sample, 130, program)};
}

std::vector<Seen> renderedAsSeen(const Json& config, const Json& notes,
                                 std::int64_t samplesPerTick) {
  std::vector<MidiEvent> events = renderSoloEvents(config, notes);
  std::stable_sort(events.begin(), events.end(), [](const MidiEvent& a, const MidiEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  std::vector<Seen> out;
  for (const MidiEvent& e : events) {
    const std::int64_t at = e.tick * samplesPerTick;
    const auto& b = e.bytes;
    switch (b.at(0)) {
      case 0x90:
        out.push_back(seenOn(at, b.at(1), b.at(2)));
        break;
      case 0x80:
        out.push_back(seenOff(at, b.at(1)));
        break;
      case 0xE0:
        out.push_back(seenCc(at, 129, b.at(1), b.at(2)));
        break;  // LSB, MSB
      case 0xB0:
        out.push_back(seenCc(at, b.at(1), b.at(2)));
        break;
      case 0xC0:
        out.push_back(seenCc(at, 130, b.at(1)));
        break;
      default:
        break;  // markers
    }
  }
  return out;
}

Json makeState(const Json& config, const Json& notes, bool sync, bool loop) {
  return {{"config", config},
          {"sync", sync},
          {"loop", loop},
          {"variants", Json::array({notes, Json::array(), Json::array()})}};
}

Json plainConfig() {
  return {{"progression", {"Am", "F", "C", "G", "Am", "F", "Dm", "E7"}},
          {"bpm", 120},
          {"meter", "4/4"},
          {"solo", {{"articulations_per_phrase", 0}}}};
}

Json note(double start, double length, int pitch, int velocity) {
  return {{"start", start}, {"length", length}, {"pitch", pitch}, {"velocity", velocity}};
}

void ProcessorTest::SetUp() {
  std::string error;
  module = host::Module::load(host::defaultBundlePath(), &error);
  ASSERT_TRUE(module) << error;
  component = module->create<IComponent>(kProcessorUID);
  ASSERT_TRUE(component);
  ASSERT_EQ(component->initialize(&hostApp), kResultOk);
  processor = FUnknownPtr<IAudioProcessor>(component);
  point = FUnknownPtr<IConnectionPoint>(component);
  ASSERT_TRUE(processor);
  ASSERT_TRUE(point);
  ASSERT_EQ(point->connect(&peer), kResultOk);
}

void ProcessorTest::TearDown() {
  if (!component) return;
  if (active) deactivate();
  if (point) point->disconnect(&peer);
  component->terminate();
  point = nullptr;
  processor = nullptr;
  component = nullptr;
  peer.messages.clear();
  module.reset();
}

tresult ProcessorTest::activate(double sampleRate, int32 maxSamples, int32 sampleSize) {
  ProcessSetup setup{kRealtime, sampleSize, maxSamples, sampleRate};
  tresult result = processor->setupProcessing(setup);
  if (result != kResultOk) return result;
  result = component->setActive(true);
  if (result != kResultOk) return result;
  active = true;
  processor->setProcessing(true);
  return kResultOk;
}

tresult ProcessorTest::deactivate() {
  processor->setProcessing(false);
  active = false;
  return component->setActive(false);
}

tresult ProcessorTest::loadJson(const Json& state) {
  return host::loadState(component.get(), state.dump());
}

std::string ProcessorTest::savedState() {
  return host::saveState(component.get());
}

tresult ProcessorTest::message(const char* id, const std::function<void(IAttributeList&)>& fill) {
  IPtr<host::Message> m = owned(new host::Message());
  m->setMessageID(id);
  if (fill) fill(m->attributes());
  return point->notify(m);
}

tresult ProcessorTest::preview(bool play) {
  return message("TavrenaPlayback", [play](IAttributeList& a) { a.setInt("play", play ? 1 : 0); });
}

tresult ProcessorTest::sendState(const std::string& json) {
  return message("TavrenaState",
                 [&](IAttributeList& a) { a.setBinary("json", json.data(), uint32(json.size())); });
}

Transport ProcessorTest::poll() {
  const std::size_t before = peer.messages.size();
  EXPECT_EQ(message("TavrenaPoll"), kResultOk);
  Transport t;
  if (peer.messages.size() != before + 1) {
    ADD_FAILURE() << "no transport report";
    return t;
  }
  IMessage* report = peer.messages.back();
  EXPECT_STREQ(report->getMessageID(), "TavrenaTransport");
  IAttributeList* a = report->getAttributes();
  EXPECT_EQ(a->getFloat("ppq", t.ppq), kResultOk);
  EXPECT_EQ(a->getFloat("position", t.position), kResultOk);
  EXPECT_EQ(a->getFloat("bpm", t.bpm), kResultOk);
  EXPECT_EQ(a->getFloat("beatsPerBar", t.beatsPerBar), kResultOk);
  int64 v = 0;
  EXPECT_EQ(a->getInt("numerator", v), kResultOk);
  t.numerator = v;
  EXPECT_EQ(a->getInt("denominator", v), kResultOk);
  t.denominator = v;
  EXPECT_EQ(a->getInt("playing", v), kResultOk);
  t.playing = v;
  EXPECT_EQ(a->getInt("hasPpq", v), kResultOk);
  t.hasPpq = v;
  return t;
}

void ProcessorTest::runBlock(host::AudioBlock& block, int32 samples, ProcessContext* context) {
  ProcessData& data = block.prepare(samples, context);
  ASSERT_EQ(processor->process(data), kResultOk);
  for (const Event& e : block.events().events()) {
    EXPECT_EQ(e.busIndex, 0);
    EXPECT_EQ(e.flags, Event::kIsLive);
    EXPECT_EQ(e.ppqPosition, 0.0);
    Seen s;
    s.sample = clock + e.sampleOffset;
    s.type = e.type;
    if (e.type == Event::kNoteOnEvent) {
      EXPECT_EQ(e.noteOn.channel, 0);
      EXPECT_EQ(e.noteOn.tuning, 0.0f);
      EXPECT_EQ(e.noteOn.length, 0);
      EXPECT_EQ(e.noteOn.noteId, -1);
      s.pitch = e.noteOn.pitch;
      s.velocity = e.noteOn.velocity;
    } else if (e.type == Event::kNoteOffEvent) {
      EXPECT_EQ(e.noteOff.channel, 0);
      EXPECT_EQ(e.noteOff.velocity, 0.0f);
      EXPECT_EQ(e.noteOff.noteId, -1);
      EXPECT_EQ(e.noteOff.tuning, 0.0f);
      s.pitch = e.noteOff.pitch;
    } else {
      EXPECT_EQ(e.type, Event::kLegacyMIDICCOutEvent);
      EXPECT_EQ(e.midiCCOut.channel, 0);
      s.control = e.midiCCOut.controlNumber;
      s.value = e.midiCCOut.value;
      s.value2 = e.midiCCOut.value2;
    }
    seen.push_back(s);
  }
  clock += data.numSamples;
}

void ProcessorTest::runSamples(host::AudioBlock& block, std::int64_t samples, int32 size) {
  while (samples > 0) {
    const int32 n = static_cast<int32>(std::min<std::int64_t>(samples, size));
    runBlock(block, n);
    samples -= n;
  }
}

}  // namespace tavrena::testing
