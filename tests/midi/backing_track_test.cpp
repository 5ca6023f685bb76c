// The chord backing as a third track: hand-written bytes, and the first two tracks
// left exactly as the file had them.
#include <gtest/gtest.h>

#include <vector>

#include "golden_bytes.h"
#include "midi/backing_track.h"
#include "midi/smf_writer.h"
#include "smf_reader.h"
#include "state/state.h"
#include "theory/config.h"

namespace tavrena {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Golden;
using testing::hexDump;

Bytes withBacking(const Json& state) {
  Bytes file = writeStandardMidiFile(state);
  appendBackingTrack(file, normalizeConfig(state.at("config")));
  return file;
}

TEST(BackingTrack, OneVoicingPerSegmentOnChannelTwo) {
  const Json state = {{"config", {{"progression", {"C", "Am"}}}}};
  const Bytes plain = writeStandardMidiFile(state);
  const Bytes file = withBacking(state);

  // The header counts three tracks; the first two are the plain file's.
  ASSERT_GT(file.size(), plain.size());
  Bytes head(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(plain.size()));
  EXPECT_EQ(head[11], 3);
  head[11] = 2;
  EXPECT_EQ(hexDump(head), hexDump(plain));

  const Bytes track(file.begin() + static_cast<std::ptrdiff_t>(plain.size()), file.end());
  const Bytes expected = Golden()
                             .hex("4D 54 72 6B 00 00 00 52")  // MTrk, 82 bytes
                             .hex("00 FF 03 0D")              // track name
                             .text("Chord backing")
                             .hex("00 C1 59")                               // program 89: warm pad
                             .hex("00 B1 07 46  00 B1 0A 40")               // volume 70, pan centre
                             .hex("00 91 24 40  00 91 37 40  00 91 40 40")  // C: C2 G3 E4
                             .hex("8F 00 81 24 00  00 81 37 00  00 81 40 00")  // 1920: off
                             .hex("00 91 2D 40  00 91 3C 40  00 91 40 40")     // Am: A2 C4 E4
                             .hex("8F 00 81 2D 00  00 81 3C 00  00 81 40 00")  // 3840: off
                             .hex("00 FF 2F 00");
  EXPECT_EQ(hexDump(track), hexDump(expected));
}

TEST(BackingTrack, HeldChordsAreStruckPerSegmentAndEndWithThePhrase) {
  // A chord over 1.5 bars of 4/4 and a 3/4 bar at another tempo: three segments.
  const Json state = {
      {"config",
       {{"progression",
         {{{"chord", "G7"}, {"bars", 1.5}}, {{"chord", "Dm9"}, {"meter", "3/4"}, {"bpm", 90}}}}}}};
  const testing::SmfFile file = testing::SmfReader::read(withBacking(state));
  ASSERT_EQ(file.tracks.size(), 3u);
  const testing::SmfTrack& backing = file.tracks[2];
  EXPECT_EQ(backing.endTick, file.tracks[1].endTick);
  EXPECT_EQ(backing.endTick, 1920 + 960 + 1440);
  std::vector<std::pair<std::int64_t, int>> onsets;  // tick, note
  for (const testing::SmfEvent& e : backing.events)
    if (e.bytes[0] == 0x91) onsets.emplace_back(e.tick, e.bytes[1]);
  const std::vector<std::pair<std::int64_t, int>> expected = {
      {0, 43},    {0, 59},    {0, 62},    {0, 65},     // G7: G2 | B3 D4 F4
      {1920, 43}, {1920, 59}, {1920, 62}, {1920, 65},  // the second half bar, struck again
      {2880, 38}, {2880, 57}, {2880, 60}, {2880, 64}, {2880, 65}};  // Dm9: D2 | A3 C4 E4 F4
  EXPECT_EQ(onsets, expected);
}

}  // namespace
}  // namespace tavrena
