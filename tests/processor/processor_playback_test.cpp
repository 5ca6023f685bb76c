// Playback through the built bundle: the processor's MIDI output compared with
// the renderer's own event list, sample by sample, and the preview tone's audio.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "generator/generate.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "processor_rig.h"
#include "theory/config.h"

namespace tavrena::testing {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr std::int64_t kSamplesPerQuarter = 24000;  // 48 kHz at 120 BPM
constexpr std::int64_t kSamplesPerTick = 50;        // 24000 / 480
constexpr std::int64_t kPhrase = 32 * kSamplesPerQuarter;

std::vector<Seen> notesOnly(const std::vector<Seen>& all) {
  std::vector<Seen> out;
  for (const Seen& s : all) {
    if (s.type != Event::kLegacyMIDICCOutEvent) out.push_back(s);
  }
  return out;
}

std::vector<Seen> before(const std::vector<Seen>& all, std::int64_t sample) {
  std::vector<Seen> out;
  for (const Seen& s : all) {
    if (s.sample < sample) out.push_back(s);
  }
  return out;
}

std::vector<Seen> shifted(std::vector<Seen> all, std::int64_t by) {
  for (Seen& s : all) s.sample += by;
  return all;
}

std::vector<Seen> join(std::vector<Seen> a, const std::vector<Seen>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class ProcessorPlayback : public ProcessorTest {
 protected:
  // The build of setActive waits while the one of the state before it is pending; a
  // block adopts the first, a poll builds the second, the next block adopts it.
  // Adopting new data relocates, so tests that watch positions settle first.
  void settle(host::AudioBlock& block) {
    ASSERT_EQ(processor->process(block.prepare(0, nullptr)), kResultOk);
    poll();
    ASSERT_EQ(processor->process(block.prepare(0, nullptr)), kResultOk);
  }

  // Host blocks of `size` samples at `tempo`, the position advancing as a host's does.
  void hostBlocks(host::AudioBlock& block, int count, double tempo, double& ppq, int32 size = 512,
                  bool playing = true) {
    for (int i = 0; i < count; ++i) {
      ProcessContext context = host::makeContext(48000, playing, ppq, tempo);
      runBlock(block, size, &context);
      ppq += size * tempo / 60.0 / 48000.0;
    }
  }
};

TEST_F(ProcessorPlayback, NothingPlaysBeforeAStateIsBuilt) {
  ASSERT_EQ(preview(true), kResultOk);
  host::AudioBlock block(2, 512);
  ProcessContext context = host::makeContext(48000, true, 0.0, 120.0);
  for (int i = 0; i < 4; ++i) {
    ProcessData& data = block.prepare(512, i % 2 ? &context : nullptr, 0.25);
    ASSERT_EQ(processor->process(data), kResultOk);
    EXPECT_EQ(block.events().getEventCount(), 0);
    for (int32 c = 0; c < 2; ++c) {
      for (int32 s = 0; s < 512; ++s) ASSERT_EQ(block.sample(c, s), 0.0);  // written silence
    }
  }
}

TEST_F(ProcessorPlayback, PreviewMatchesTheRenderedEventsAndWrapsAtThePhraseEnd) {
  const Json config = plainConfig();
  const Json notes =
      Json::array({note(0, 1, 60, 100), note(1.5, 0.5, 64, 80), note(31.5, 0.5, 67, 70)});
  ASSERT_EQ(loadJson(makeState(config, notes, false, true)), kResultOk);
  ASSERT_EQ(activate(), kResultOk);
  ASSERT_EQ(preview(true), kResultOk);
  host::AudioBlock block(2, 512);
  runSamples(block, kPhrase + 30000, 512);

  const std::vector<Seen> rendered = renderedAsSeen(config, notes, kSamplesPerTick);
  // The last note-off and its bend reset fall on the end: the wrap releases instead,
  // with the same two events, then positions again and starts over.
  const std::vector<Seen> expected =
      join(join(join(seenSetup(0), before(rendered, kPhrase)),
                {seenOff(kPhrase, 67), seenCc(kPhrase, 129, 0, 64)}),
           join(seenSetup(kPhrase), before(shifted(rendered, kPhrase), kPhrase + 30000)));
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(notesOnly(seen),
            (std::vector<Seen>{seenOn(0, 60, 100), seenOff(24000, 60), seenOn(36000, 64, 80),
                               seenOff(48000, 64), seenOn(756000, 67, 70), seenOff(kPhrase, 67),
                               seenOn(kPhrase, 60, 100), seenOff(kPhrase + 24000, 60)}));
  EXPECT_NEAR(poll().position, 30000.0 / kSamplesPerQuarter, 1e-9);
}

TEST_F(ProcessorPlayback, GeneratedSoloWithBendsAndSlidesIsSampleAccurate) {
  const Json config = defaultConfig();  // bends and slides on
  std::atomic<bool> cancel{false};
  const Json notes = generateSolo(config, cancel);
  ASSERT_FALSE(notes.empty());
  ASSERT_EQ(loadJson(makeState(config, notes, false, false)), kResultOk);
  ASSERT_EQ(activate(), kResultOk);
  ASSERT_EQ(preview(true), kResultOk);
  host::AudioBlock block(2, 512);
  runSamples(block, kPhrase + 1024, 512);

  const std::vector<Seen> rendered = renderedAsSeen(config, notes, kSamplesPerTick);
  const auto bends = std::count_if(rendered.begin(), rendered.end(), [](const Seen& s) {
    return s.control == 129 && !(s.value == 0 && s.value2 == 64);
  });
  ASSERT_GT(bends, 0) << "the solo should carry at least one bend or slide curve";
  EXPECT_EQ(before(seen, kPhrase), join(seenSetup(0), before(rendered, kPhrase)));

  // Without loop the end releases what sounds and centres the bend; the block after
  // positions again and stops at its first sample.
  std::vector<Seen> atEnd;
  for (const Seen& s : seen) {
    if (s.sample >= kPhrase) atEnd.push_back(s);
  }
  ASSERT_GE(atEnd.size(), 1u + 7u + 1u);
  const auto centre = std::find(atEnd.begin(), atEnd.end(), seenCc(kPhrase, 129, 0, 64));
  ASSERT_NE(centre, atEnd.end());
  for (auto it = atEnd.begin(); it != centre; ++it) EXPECT_EQ(it->type, Event::kNoteOffEvent);
  EXPECT_EQ(std::vector<Seen>(centre + 1, atEnd.end()),
            join(seenSetup(kPhrase + 512), {seenCc(kPhrase + 512, 129, 0, 64)}));
}

TEST_F(ProcessorPlayback, PreviewStopReleasesAndRestartPlaysFromTheStart) {
  const Json notes = Json::array({note(0, 1, 60, 100), note(1, 1, 62, 90), note(2, 1, 64, 80)});
  ASSERT_EQ(loadJson(makeState(plainConfig(), notes, false, true)), kResultOk);
  ASSERT_EQ(activate(), kResultOk);
  host::AudioBlock block(2, 512);
  runSamples(block, 1024, 512);
  EXPECT_TRUE(seen.empty());  // nothing until the preview starts

  ASSERT_EQ(preview(true), kResultOk);
  runSamples(block, 30000, 500);  // ends at 1.25 quarter notes: 62 sounds
  seen.clear();
  ASSERT_EQ(preview(false), kResultOk);
  runBlock(block, 100);
  EXPECT_EQ(seen, (std::vector<Seen>{seenOff(31024, 62), seenCc(31024, 129, 0, 64)}));
  seen.clear();
  runBlock(block, 100);
  EXPECT_TRUE(seen.empty());

  ASSERT_EQ(preview(true), kResultOk);
  runBlock(block, 100);
  EXPECT_EQ(notesOnly(seen), (std::vector<Seen>{seenOn(31224, 60, 100)}));
  runSamples(block, 12000, 500);
  seen.clear();
  ASSERT_EQ(preview(true), kResultOk);  // a start while playing restarts as well
  runBlock(block, 100);
  EXPECT_EQ(notesOnly(seen), (std::vector<Seen>{seenOff(43324, 60), seenOn(43324, 60, 100)}));
}

TEST_F(ProcessorPlayback, HostSyncFollowsPositionTempoJumpsAndLoopWrap) {
  const Json config = plainConfig();
  const Json notes = Json::array({note(0, 1, 60, 100), note(3, 1, 62, 90), note(8.5, 0.5, 64, 80)});
  ASSERT_EQ(loadJson(makeState(config, notes, true, true)), kResultOk);
  ASSERT_EQ(activate(), kResultOk);
  host::AudioBlock block(2, 512);
  settle(block);

  // At 60 BPM a quarter note lasts 48000 samples.
  double ppq = 0.0;
  hostBlocks(block, 300, 60.0, ppq);
  EXPECT_EQ(notesOnly(seen),
            (std::vector<Seen>{seenOn(0, 60, 100), seenOff(48000, 60), seenOn(144000, 62, 90)}));
  EXPECT_EQ(before(seen, 1), join(seenSetup(0), before(renderedAsSeen(config, notes, 100), 1)));

  // A jump to 8.0: release, set-up, then the note at 8.5 half a quarter later.
  seen.clear();
  const std::int64_t jumpAt = clock;
  ppq = 8.0;
  hostBlocks(block, 60, 60.0, ppq);
  EXPECT_EQ(before(seen, jumpAt + 1),
            join({seenOff(jumpAt, 62), seenCc(jumpAt, 129, 0, 64)}, seenSetup(jumpAt)));
  EXPECT_EQ(notesOnly(seen),
            (std::vector<Seen>{seenOff(jumpAt, 62), seenOn(jumpAt + 24000, 64, 80)}));

  // A host at 35.0 in a 32-quarter loop plays from 3.0; the note at 3.0 starts at once.
  seen.clear();
  const std::int64_t wrapAt = clock;
  ppq = 35.0;
  hostBlocks(block, 2, 120.0, ppq);
  EXPECT_EQ(notesOnly(seen), (std::vector<Seen>{seenOff(wrapAt, 64), seenOn(wrapAt, 62, 90)}));
  EXPECT_NEAR(poll().position, 3.0 + 1024.0 / kSamplesPerQuarter, 1e-9);

  // A jump of less than four samples' worth is host jitter, not a relocation.
  seen.clear();
  ppq += 3.0 / kSamplesPerQuarter;
  hostBlocks(block, 2, 120.0, ppq);
  EXPECT_TRUE(seen.empty());

  // The host stops: no longer following, so the next block releases everything.
  hostBlocks(block, 1, 120.0, ppq, 512, false);
  EXPECT_EQ(seen, (std::vector<Seen>{seenOff(clock - 512, 62), seenCc(clock - 512, 129, 0, 64)}));
}

TEST_F(ProcessorPlayback, AHostPositionThatIsNotANumberCountsAsNoPosition) {
  const Json notes = Json::array({note(0, 1, 60, 100), note(2, 1, 62, 90)});
  ASSERT_EQ(loadJson(makeState(plainConfig(), notes, true, true)), kResultOk);
  ASSERT_EQ(activate(), kResultOk);
  host::AudioBlock block(2, 512);
  settle(block);
  double broken = std::nan("");
  hostBlocks(block, 4, 120.0, broken);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(poll().hasPpq, 0);
  // Once the host reports real positions again, playback follows them.
  const std::int64_t resumed = clock;
  double ppq = 2.0;
  hostBlocks(block, 4, 120.0, ppq);
  EXPECT_EQ(notesOnly(seen), (std::vector<Seen>{seenOn(resumed, 62, 90)}));
}

TEST_F(ProcessorPlayback, SyncedPreviewRunsAtTheHostTempoEvenWhileTheHostIsStopped) {
  const Json notes = Json::array({note(0, 1, 60, 100), note(1, 1, 62, 90)});
  ASSERT_EQ(loadJson(makeState(plainConfig(), notes, true, true)), kResultOk);
  ASSERT_EQ(activate(), kResultOk);
  ASSERT_EQ(preview(true), kResultOk);
  host::AudioBlock block(2, 512);
  double ppq = 100.0;                             // ignored while stopped
  hostBlocks(block, 120, 80.0, ppq, 512, false);  // a quarter note: 36000 samples
  EXPECT_EQ(notesOnly(seen),
            (std::vector<Seen>{seenOn(0, 60, 100), seenOff(36000, 60), seenOn(36000, 62, 90)}));
}

TEST_F(ProcessorPlayback, WithoutSyncOrContextOnlyThePreviewPlays) {
  const Json notes = Json::array({note(0, 1, 60, 100)});
  ASSERT_EQ(loadJson(makeState(plainConfig(), notes, false, true)), kResultOk);
  ASSERT_EQ(activate(), kResultOk);
  host::AudioBlock block(2, 512);
  double ppq = 0.0;
  hostBlocks(block, 10, 120.0, ppq);  // the host plays, but sync is off
  EXPECT_TRUE(seen.empty());
  ASSERT_EQ(preview(true), kResultOk);
  runBlock(block, 512, nullptr);  // no context: the preview runs at the phrase tempo
  EXPECT_EQ(notesOnly(seen), (std::vector<Seen>{seenOn(5120, 60, 100)}));
  runSamples(block, 24000, 512);
  EXPECT_EQ(notesOnly(seen).back(), seenOff(5120 + 24000, 60));
}

TEST_F(ProcessorPlayback, ZeroSampleBlocksDoNothingButRememberNewData) {
  ASSERT_EQ(loadJson(makeState(plainConfig(), Json::array({note(0, 4, 60, 100)}), false, true)),
            kResultOk);
  ASSERT_EQ(activate(), kResultOk);
  ASSERT_EQ(preview(true), kResultOk);
  host::AudioBlock block(2, 512);
  runSamples(block, 4096, 512);
  seen.clear();
  // A new state, adopted by a block of zero samples, which emits and writes nothing.
  ASSERT_EQ(loadJson(makeState(plainConfig(), Json::array({note(0, 4, 72, 100)}), false, true)),
            kResultOk);
  ProcessData& empty = block.prepare(0, nullptr, 0.25);
  ASSERT_EQ(processor->process(empty), kResultOk);
  EXPECT_EQ(block.events().getEventCount(), 0);
  EXPECT_EQ(block.sample(0, 0), 0.25);
  // The next real block relocates to the start of the new data.
  runBlock(block, 256);
  EXPECT_EQ(notesOnly(seen), (std::vector<Seen>{seenOff(4096, 60), seenOn(4096, 72, 100)}));
}

TEST_F(ProcessorPlayback, StateChangeDuringPreviewRestartsFromThePhraseStart) {
  const Json notes = Json::array({note(0, 1, 60, 100), note(2, 1, 62, 100)});
  ASSERT_EQ(loadJson(makeState(plainConfig(), notes, false, true)), kResultOk);
  ASSERT_EQ(activate(), kResultOk);
  ASSERT_EQ(preview(true), kResultOk);
  host::AudioBlock block(2, 512);
  runSamples(block, 50000, 500);  // past 2.0: 62 sounds
  seen.clear();
  const std::int64_t at = clock;
  ASSERT_EQ(sendState(makeState(plainConfig(), notes, false, false).dump()), kResultOk);
  runBlock(block, 100);
  EXPECT_EQ(seen,
            join(join({seenOff(at, 62), seenCc(at, 129, 0, 64)}, seenSetup(at)),
                 shifted(before(renderedAsSeen(plainConfig(), notes, kSamplesPerTick), 1), at)));
}

TEST_F(ProcessorPlayback, ASecondStateWaitsUntilTheFirstIsAdopted) {
  ASSERT_EQ(activate(), kResultOk);
  host::AudioBlock block(2, 512);
  runBlock(block, 64);  // adopts the build of setActive
  ASSERT_EQ(loadJson(makeState(plainConfig(), Json::array({note(0, 8, 60, 100)}), false, true)),
            kResultOk);
  ASSERT_EQ(loadJson(makeState(plainConfig(), Json::array({note(0, 8, 72, 100)}), false, true)),
            kResultOk);
  ASSERT_EQ(preview(true), kResultOk);
  seen.clear();
  runSamples(block, 1024, 512);  // plays the first; the second is not built yet
  EXPECT_EQ(notesOnly(seen), (std::vector<Seen>{seenOn(64, 60, 100)}));
  poll();  // builds the postponed state
  seen.clear();
  runBlock(block, 512);
  EXPECT_EQ(notesOnly(seen), (std::vector<Seen>{seenOff(1088, 60), seenOn(1088, 72, 100)}));
  EXPECT_NE(savedState().find("\"pitch\":72"), std::string::npos);
}

TEST_F(ProcessorPlayback, SixtyFourAndThirtyTwoBitMonoAndStereoCarryTheSameTone) {
  const Json chord = Json::array(
      {note(0, 2, 60, 120), note(0, 2, 64, 100), note(0, 2, 67, 90), note(2, 2, 72, 127)});
  ASSERT_EQ(loadJson(makeState(plainConfig(), chord, false, true)), kResultOk);
  const int32 sizes[] = {512, 301, 1, 512, 77};
  auto render = [&](int32 sampleSize, int32 channels) {
    host::AudioBlock block(channels, 512, sampleSize);
    std::vector<double> out;
    for (int i = 0; i < 200; ++i) {
      ProcessData& data = block.prepare(sizes[i % 5], nullptr, 0.5);
      data.outputs[0].silenceFlags = ~uint64(0);
      EXPECT_EQ(processor->process(data), kResultOk);
      EXPECT_EQ(data.outputs[0].silenceFlags, 0u);
      for (int32 s = 0; s < data.numSamples; ++s) {
        for (int32 c = 1; c < channels; ++c) EXPECT_EQ(block.sample(c, s), block.sample(0, s));
        out.push_back(block.sample(0, s));
      }
    }
    return out;
  };
  ASSERT_EQ(activate(48000, 512, kSample64), kResultOk);
  ASSERT_EQ(preview(true), kResultOk);
  const std::vector<double> wide = render(kSample64, 2);
  ASSERT_EQ(deactivate(), kResultOk);

  SpeakerArrangement mono = SpeakerArr::kMono;
  ASSERT_EQ(processor->setBusArrangements(nullptr, 0, &mono, 1), kResultTrue);
  ASSERT_EQ(activate(48000, 512, kSample32), kResultOk);
  ASSERT_EQ(preview(true), kResultOk);
  const std::vector<double> narrow = render(kSample32, 1);

  ASSERT_EQ(wide.size(), narrow.size());
  EXPECT_EQ(wide[0], 0.0);  // every voice starts at phase 0
  double peak = 0.0;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    ASSERT_EQ(narrow[i], static_cast<double>(static_cast<float>(wide[i]))) << i;
    peak = std::max(peak, std::fabs(wide[i]));
  }
  EXPECT_GT(peak, 0.1);
  EXPECT_LE(peak, 1.0);
}

}  // namespace
}  // namespace tavrena::testing
