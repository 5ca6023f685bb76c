// The SDK helper classes the plug-in builds on (from the compatibility layer when the
// SDK subset is used): buses, arrangements, sample sizes, context requirements and the
// class factory.
#include <gtest/gtest.h>

#include "host/module.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "public.sdk/source/main/pluginfactory.h"
#include "public.sdk/source/vst/vstaudioeffect.h"

namespace tavrena {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

// An effect shaped like ours: stereo audio output, one-channel event output.
class TestEffect : public AudioEffect {
 public:
  TestEffect() {
    processContextRequirements.needProjectTimeMusic().needTempo().needTimeSignature();
  }
  tresult PLUGIN_API initialize(FUnknown* context) override {
    const tresult result = AudioEffect::initialize(context);
    if (result != kResultOk) return result;
    addAudioOutput(host::toUtf16("Preview").c_str(), SpeakerArr::kStereo);
    addEventOutput(host::toUtf16("Solo MIDI").c_str(), 1);
    return kResultOk;
  }
  const ProcessSetup& setup() const { return processSetup; }
};

class AudioEffectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    effect = owned(new TestEffect());
    ASSERT_EQ(effect->initialize(&context), kResultOk);
  }
  void TearDown() override { effect->terminate(); }

  struct Context : public FUnknown {
    tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
      *obj = nullptr;
      return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
  } context;
  IPtr<TestEffect> effect;
};

TEST_F(AudioEffectTest, BusesAreCreatedAsAsked) {
  ASSERT_EQ(effect->getBusCount(kAudio, kOutput), 1);
  ASSERT_EQ(effect->getBusCount(kEvent, kOutput), 1);
  EXPECT_EQ(effect->getBusCount(kAudio, kInput), 0);
  EXPECT_EQ(effect->getBusCount(kEvent, kInput), 0);

  BusInfo audio{};
  ASSERT_EQ(effect->getBusInfo(kAudio, kOutput, 0, audio), kResultOk);
  EXPECT_EQ(host::toUtf8(audio.name), "Preview");
  EXPECT_EQ(audio.channelCount, 2);
  EXPECT_EQ(audio.busType, kMain);
  EXPECT_EQ(audio.flags, static_cast<uint32>(BusInfo::kDefaultActive));

  BusInfo events{};
  ASSERT_EQ(effect->getBusInfo(kEvent, kOutput, 0, events), kResultOk);
  EXPECT_EQ(host::toUtf8(events.name), "Solo MIDI");
  EXPECT_EQ(events.channelCount, 1);
}

TEST_F(AudioEffectTest, ArrangementsApplyToExistingBusesOnly) {
  SpeakerArrangement mono = SpeakerArr::kMono;
  EXPECT_EQ(effect->setBusArrangements(nullptr, 0, &mono, 1), kResultTrue);
  SpeakerArrangement current = 0;
  ASSERT_EQ(effect->getBusArrangement(kOutput, 0, current), kResultTrue);
  EXPECT_EQ(current, SpeakerArr::kMono);
  BusInfo audio{};
  effect->getBusInfo(kAudio, kOutput, 0, audio);
  EXPECT_EQ(audio.channelCount, 1);

  SpeakerArrangement two[] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
  EXPECT_EQ(effect->setBusArrangements(nullptr, 0, two, 2), kResultFalse);
  SpeakerArrangement input = SpeakerArr::kStereo;
  EXPECT_EQ(effect->setBusArrangements(&input, 1, two, 1), kResultFalse);
  EXPECT_EQ(effect->setBusArrangements(nullptr, -1, two, 1), kInvalidArgument);
  EXPECT_EQ(effect->setBusArrangements(nullptr, 1, two, 1), kInvalidArgument);
  ASSERT_EQ(effect->getBusArrangement(kOutput, 0, current), kResultTrue);
  EXPECT_EQ(current, SpeakerArr::kMono);  // refused calls changed nothing

  EXPECT_EQ(effect->getBusArrangement(kOutput, 1, current), kInvalidArgument);
  EXPECT_EQ(effect->getBusArrangement(kInput, 0, current), kInvalidArgument);
  EXPECT_EQ(effect->getBusArrangement(kOutput, -1, current), kInvalidArgument);
}

TEST_F(AudioEffectTest, OnlySupportedSampleSizesAreSetUp) {
  EXPECT_EQ(effect->canProcessSampleSize(kSample32), kResultTrue);
  EXPECT_EQ(effect->canProcessSampleSize(kSample64), kResultFalse);

  ProcessSetup wide{kRealtime, kSample64, 256, 96000.0};
  EXPECT_EQ(effect->setupProcessing(wide), kResultFalse);
  EXPECT_EQ(effect->setup().sampleRate, 44100.0);  // the default stays
  EXPECT_EQ(effect->setup().maxSamplesPerBlock, 1024);

  ProcessSetup narrow{kOffline, kSample32, 256, 96000.0};
  EXPECT_EQ(effect->setupProcessing(narrow), kResultOk);
  EXPECT_EQ(effect->setup().sampleRate, 96000.0);
  EXPECT_EQ(effect->setup().maxSamplesPerBlock, 256);
  EXPECT_EQ(effect->setup().processMode, kOffline);

  EXPECT_EQ(effect->getLatencySamples(), 0u);
  EXPECT_EQ(effect->getTailSamples(), kNoTail);
  EXPECT_EQ(effect->setProcessing(true), kNotImplemented);
}

TEST_F(AudioEffectTest, AnswersItsInterfacesAndContextRequirements) {
  FUnknownPtr<IComponent> component(static_cast<IAudioProcessor*>(effect.get()));
  FUnknownPtr<IConnectionPoint> connection(static_cast<IAudioProcessor*>(effect.get()));
  FUnknownPtr<IProcessContextRequirements> requirements(
      static_cast<IAudioProcessor*>(effect.get()));
  EXPECT_TRUE(component);
  EXPECT_TRUE(connection);
  ASSERT_TRUE(requirements);
  // kNeedProjectTimeMusic | kNeedTempo | kNeedTimeSignature
  EXPECT_EQ(requirements->getProcessContextRequirements(), 0xC4u);
}

// --- CPluginFactory -------------------------------------------------------------------

struct Counted final : public FUnknown {
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid.toTUID())) {
      addRef();
      *obj = this;
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return ++references; }
  uint32 PLUGIN_API release() override {
    if (--references == 0) {
      ++destroyed;
      delete this;
      return 0;
    }
    return references;
  }
  uint32 references = 1;
  static inline int destroyed = 0;
};

FUnknown* createCounted(void*) {
  return new Counted();
}
FUnknown* createNothing(void*) {
  return nullptr;
}

PClassInfo2 classInfo(const FUID& cid, const char* name) {
  return PClassInfo2(cid.toTUID(), PClassInfo::kManyInstances, "Test Class", name, 3, "A|B", "V",
                     "1.2.3", "VST 3.x");
}

TEST(PluginFactoryTest, RegistersEachClassOnce) {
  IPtr<CPluginFactory> factory =
      owned(new CPluginFactory(PFactoryInfo("Vendor", "https://example.org", "", 16)));
  const FUID first(1, 2, 3, 4);
  const PClassInfo2 info = classInfo(first, "First");
  EXPECT_TRUE(factory->registerClass(&info, createCounted));
  EXPECT_FALSE(factory->registerClass(&info, createCounted));
  EXPECT_FALSE(factory->registerClass(nullptr, createCounted));
  EXPECT_FALSE(factory->registerClass(&info, nullptr));
  EXPECT_EQ(factory->countClasses(), 1);
  EXPECT_TRUE(factory->isClassRegistered(first));
  EXPECT_FALSE(factory->isClassRegistered(FUID(4, 3, 2, 1)));

  PFactoryInfo read;
  ASSERT_EQ(factory->getFactoryInfo(&read), kResultOk);
  EXPECT_STREQ(read.vendor, "Vendor");
  EXPECT_STREQ(read.url, "https://example.org");
  EXPECT_EQ(read.flags, 16);
  EXPECT_EQ(factory->getFactoryInfo(nullptr), kInvalidArgument);
}

TEST(PluginFactoryTest, ServesTheInformationInAllThreeFormats) {
  IPtr<CPluginFactory> factory = owned(new CPluginFactory(PFactoryInfo("V", "", "", 16)));
  const FUID cid(0x11111111, 0x22222222, 0x33333333, 0x44444444);
  const PClassInfo2 info = classInfo(cid, "Named");
  factory->registerClass(&info, createCounted);

  PClassInfo2 two;
  ASSERT_EQ(factory->getClassInfo2(0, &two), kResultOk);
  EXPECT_EQ(std::memcmp(&two, &info, sizeof(PClassInfo2)), 0);

  PClassInfo one;
  ASSERT_EQ(factory->getClassInfo(0, &one), kResultOk);
  EXPECT_EQ(FUID::fromTUID(one.cid), cid);
  EXPECT_EQ(one.cardinality, PClassInfo::kManyInstances);
  EXPECT_STREQ(one.category, "Test Class");
  EXPECT_STREQ(one.name, "Named");

  PClassInfoW wide;
  ASSERT_EQ(factory->getClassInfoUnicode(0, &wide), kResultOk);
  EXPECT_EQ(FUID::fromTUID(wide.cid), cid);
  EXPECT_EQ(host::toUtf8(wide.name), "Named");
  EXPECT_EQ(host::toUtf8(wide.vendor), "V");
  EXPECT_EQ(host::toUtf8(wide.version), "1.2.3");
  EXPECT_EQ(host::toUtf8(wide.sdkVersion), "VST 3.x");
  EXPECT_STREQ(wide.subCategories, "A|B");
  EXPECT_EQ(wide.classFlags, 3u);

  EXPECT_EQ(factory->getClassInfo2(1, &two), kInvalidArgument);
  EXPECT_EQ(factory->getClassInfoUnicode(-1, &wide), kInvalidArgument);
  EXPECT_EQ(factory->getClassInfo(0, nullptr), kInvalidArgument);
}

TEST(PluginFactoryTest, CreatesInstancesAndReleasesRefusedOnes) {
  IPtr<CPluginFactory> factory = owned(new CPluginFactory(PFactoryInfo("V", "", "", 16)));
  const FUID counted(1, 1, 1, 1);
  const FUID empty(2, 2, 2, 2);
  const PClassInfo2 countedInfo = classInfo(counted, "Counted");
  const PClassInfo2 emptyInfo = classInfo(empty, "Empty");
  factory->registerClass(&countedInfo, createCounted);
  factory->registerClass(&emptyInfo, createNothing);

  void* object = nullptr;
  ASSERT_EQ(factory->createInstance(counted.toTUID(), FUnknown::iid.toTUID(), &object), kResultOk);
  auto* instance = static_cast<Counted*>(object);
  EXPECT_EQ(instance->references, 1u);  // exactly the caller's reference
  const int before = Counted::destroyed;
  instance->release();
  EXPECT_EQ(Counted::destroyed, before + 1);

  // An interface the class lacks: no object, and the instance made for the attempt is gone.
  EXPECT_EQ(factory->createInstance(counted.toTUID(), IMessage::iid.toTUID(), &object),
            kNoInterface);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(Counted::destroyed, before + 2);

  EXPECT_NE(factory->createInstance(empty.toTUID(), FUnknown::iid.toTUID(), &object), kResultOk);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory->createInstance(FUID(9, 9, 9, 9).toTUID(), FUnknown::iid.toTUID(), &object),
            kNoInterface);
}

TEST(PluginFactoryTest, ModuleFactoryPointerFollowsTheFactorysLife) {
  ASSERT_EQ(gPluginFactory, nullptr);
  auto* factory = new CPluginFactory(PFactoryInfo("V", "", "", 16));
  gPluginFactory = factory;
  FUnknownPtr<IPluginFactory3> three(static_cast<IPluginFactory*>(factory));
  EXPECT_TRUE(three);
  three = nullptr;
  EXPECT_EQ(factory->release(), 0u);
  EXPECT_EQ(gPluginFactory, nullptr);
}

}  // namespace
}  // namespace tavrena
