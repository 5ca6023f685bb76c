// The Standard MIDI File writer against hand-written bytes: quantities, meta events,
// track chunks, and whole small files.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "expect_throw_msg.h"
#include "golden_bytes.h"
#include "midi/smf_writer.h"
#include "smf_reader.h"
#include "theory/config.h"

namespace tavrena {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Golden;
using testing::hexDump;

#define EXPECT_BYTES(actual, expected) EXPECT_EQ(hexDump(actual), hexDump(expected))

Bytes quantity(std::uint32_t value) {
  Bytes out;
  appendVariableLength(out, value);
  return out;
}

MidiEvent event(std::int32_t tick, std::int32_t order, const char* hex) {
  return {tick, order, Golden().hex(hex)};
}

// The events of one track as the reader sees them (tick, bytes), without end of track.
std::vector<testing::SmfEvent> trackEvents(const Bytes& file, std::size_t track) {
  return testing::SmfReader::read(file).tracks.at(track).events;
}

TEST(VariableLengthQuantity, EncodesSevenBitGroupsMostSignificantFirst) {
  const std::pair<std::uint32_t, const char*> rows[] = {
      {0, "00"},
      {1, "01"},
      {127, "7F"},
      {128, "81 00"},
      {480, "83 60"},
      {1920, "8F 00"},
      {15360, "F8 00"},
      {16383, "FF 7F"},
      {16384, "81 80 00"},
      {0x1FFFFF, "FF FF 7F"},
      {0x200000, "81 80 80 00"},
      {0x0FFFFFFF, "FF FF FF 7F"},
      {0x10000000, "81 80 80 80 00"},
      {0xFFFFFFFF, "8F FF FF FF 7F"},
  };
  for (const auto& [value, hex] : rows) EXPECT_BYTES(quantity(value), Golden().hex(hex)) << value;
  // Meta events carry their length the same way: texts of 128 bytes need two bytes.
  const std::string t127(127, 'a'), t128(128, 'b');
  EXPECT_BYTES(metaEvent(0, 3, 0x06, t127).bytes, Golden().hex("FF 06 7F").text(t127));
  EXPECT_BYTES(metaEvent(0, 3, 0x06, t128).bytes, Golden().hex("FF 06 81 00").text(t128));
}

TEST(TrackChunk, SortsStablyByTickThenOrderAndWritesDeltas) {
  const Bytes chunk = encodeTrackChunk(
      {
          event(480, 3, "80 3C 00"),  // same tick and order as the next: added first, kept first
          event(480, 3, "80 40 00"),
          event(0, 6, "90 3C 50"),
          event(480, 4, "E0 00 40"),
          event(0, 5, "E0 00 40"),
          event(200, 7, "E0 10 41"),
      },
      960);
  EXPECT_BYTES(chunk, Golden()
                          .hex("4D 54 72 6B 00 00 00 1F")  // MTrk, 31 bytes
                          .hex("00 E0 00 40")              // tick 0, order 5
                          .hex("00 90 3C 50")              // tick 0, order 6
                          .hex("81 48 E0 10 41")           // +200
                          .hex("82 18 80 3C 00")           // +280 = 480, order 3, first added
                          .hex("00 80 40 00")              //        order 3, second added
                          .hex("00 E0 00 40")              //        order 4
                          .hex("83 60 FF 2F 00"));         // end of track 480 later, at 960
}

TEST(TrackChunk, EndsAtTheLaterOfEndTickAndLastEvent) {
  EXPECT_BYTES(encodeTrackChunk({}, 0), Golden().hex("4D 54 72 6B 00 00 00 04  00 FF 2F 00"));
  EXPECT_BYTES(encodeTrackChunk({}, 15360),
               Golden().hex("4D 54 72 6B 00 00 00 05  F8 00 FF 2F 00"));
  // The phrase ends before the last event: the end of track follows it directly.
  EXPECT_BYTES(encodeTrackChunk({event(1000, 3, "80 3C 00")}, 960),
               Golden().hex("4D 54 72 6B 00 00 00 09  87 68 80 3C 00  00 FF 2F 00"));
  // A negative end tick (never produced) cannot underflow the last delta.
  EXPECT_BYTES(encodeTrackChunk({event(5, 3, "80 3C 00")}, -2147483647 - 1),
               Golden().hex("4D 54 72 6B 00 00 00 08  05 80 3C 00  00 FF 2F 00"));
}

TEST(TrackChunk, RefusesEventsItCannotWrite) {
  EXPECT_THROW_MSG(encodeTrackChunk({event(0, 1, "C0 1E"), event(-1, 3, "80 3C 00")}, 0),
                   std::logic_error, "MIDI event with a negative tick");
  EXPECT_THROW_MSG(encodeTrackChunk({MidiEvent{0, 1, {}}}, 0), std::logic_error,
                   "MIDI event without bytes");
}

// The solo track of an empty variant with the default settings, ending at endTick.
Golden emptySoloTrack(const char* lengthHex, const char* endDeltaHex) {
  return std::move(Golden()
                       .hex("4D 54 72 6B")
                       .hex(lengthHex)
                       .hex("00 FF 03 0B")
                       .text("Guitar solo")  // track name
                       .hex("00 C0 1E")      // program 30
                       .hex("00 B0 07 64")   // volume 100
                       .hex("00 B0 0A 40")   // pan 64
                       .hex("00 B0 65 00")   // registered parameter 0 ...
                       .hex("00 B0 64 00")
                       .hex("00 B0 06 0C")  // ... pitch-bend range 12 semitones
                       .hex("00 B0 26 00")
                       .hex("00 B0 65 7F")  // parameter deselected
                       .hex("00 B0 64 7F")
                       .hex(endDeltaHex)
                       .hex("FF 2F 00"));
}

const char* kHeaderHex = "4D 54 68 64 00 00 00 06  00 01  00 02  01 E0";

TEST(StandardMidiFile, DefaultStateWithAnEmptyVariant) {
  const Bytes expected = Golden()
                             .hex(kHeaderHex)                 // MThd, 6, format 1, 2 tracks, 480
                             .hex("4D 54 72 6B 00 00 01 0E")  // MTrk, 270 bytes
                             .hex("00 FF 03 11")
                             .text("Chord progression")
                             .hex("00 FF 51 03 07 A1 20")     // 500000 us per quarter: 120 bpm
                             .hex("00 FF 58 04 04 02 18 08")  // 4/4, 24 clocks, 8 32nds
                             .hex("00 FF 06 16")
                             .text("Am | A aeolian | tonic")
                             .hex("8F 00 FF 06 14")
                             .text("F | F lydian | other")
                             .hex("8F 00 FF 06 14")
                             .text("C | C ionian | other")
                             .hex("8F 00 FF 06 18")
                             .text("G | G mixolydian | other")
                             .hex("8F 00 FF 06 16")
                             .text("Am | A aeolian | tonic")
                             .hex("8F 00 FF 06 14")
                             .text("F | F lydian | other")
                             .hex("8F 00 FF 06 1B")
                             .text("Dm | D dorian | predominant")
                             .hex("8F 00 FF 06 23")
                             .text("E7 | E phrygian_dominant | dominant")
                             .hex("8F 00 FF 2F 00")  // end: a bar (1920) after the last marker
                             .append(emptySoloTrack("00 00 00 37", "F8 00"));  // 55 bytes; 15360
  EXPECT_BYTES(writeStandardMidiFile(Json::object()), expected);
  EXPECT_BYTES(writeStandardMidiFile({{"config", defaultConfig()}}), expected);
}

TEST(StandardMidiFile, TempoOnlyChange) {
  const Json state = {
      {"config", {{"progression", {"C", {{"chord", "G"}, {"bpm", 140}}}}, {"harmony", "global"}}}};
  const Bytes expected = Golden()
                             .hex(kHeaderHex)
                             .hex("4D 54 72 6B 00 00 00 62")  // 98 bytes
                             .hex("00 FF 03 11")
                             .text("Chord progression")
                             .hex("00 FF 51 03 07 A1 20")
                             .hex("00 FF 58 04 04 02 18 08")
                             .hex("00 FF 06 13")
                             .text("C | C major | tonic")
                             .hex("8F 00 FF 51 03 06 8A 1B")  // 428571 us: 140 bpm
                             .hex("00 FF 06 16")              // no second time signature
                             .text("G | C major | dominant")
                             .hex("8F 00 FF 2F 00")
                             .append(emptySoloTrack("00 00 00 37", "9E 00"));  // 3840
  EXPECT_BYTES(writeStandardMidiFile(state), expected);
}

TEST(StandardMidiFile, MetreOnlyChange) {
  const Json state = {
      {"config",
       {{"progression", {"C", {{"chord", "G"}, {"meter", "3/4"}}}}, {"harmony", "global"}}}};
  const Bytes expected = Golden()
                             .hex(kHeaderHex)
                             .hex("4D 54 72 6B 00 00 00 63")  // 99 bytes
                             .hex("00 FF 03 11")
                             .text("Chord progression")
                             .hex("00 FF 51 03 07 A1 20")
                             .hex("00 FF 58 04 04 02 18 08")
                             .hex("00 FF 06 13")
                             .text("C | C major | tonic")
                             .hex("8F 00 FF 58 04 03 02 18 08")  // 3/4; no second tempo
                             .hex("00 FF 06 16")
                             .text("G | C major | dominant")
                             .hex("8B 20 FF 2F 00")  // 1440 later, at 3360
                             .append(emptySoloTrack("00 00 00 37", "9A 20"));  // 3360
  EXPECT_BYTES(writeStandardMidiFile(state), expected);
}

TEST(StandardMidiFile, ANoteEndingWhereTheNextBegins) {
  const Json state = {{"config",
                       {{"progression", {"C"}},
                        {"harmony", "global"},
                        {"solo", {{"articulations_per_phrase", 0}}}}},
                      {"variants",
                       {{{{"start", 0.0}, {"length", 1.0}, {"pitch", 60}, {"velocity", 80}},
                         {{"start", 1.0}, {"length", 1.0}, {"pitch", 62}, {"velocity", 90}}},
                        Json::array(),
                        Json::array()}}};
  const Bytes expected = Golden()
                             .hex("4D 54 72 6B 00 00 00 59")  // 89 bytes
                             .hex("00 FF 03 0B")
                             .text("Guitar solo")
                             .hex("00 C0 1E  00 B0 07 64  00 B0 0A 40")
                             .hex("00 B0 65 00  00 B0 64 00  00 B0 06 0C  00 B0 26 00")
                             .hex("00 B0 65 7F  00 B0 64 7F")
                             .hex("00 E0 00 40")     // bend centred
                             .hex("00 90 3C 50")     // C4 on, velocity 80
                             .hex("83 60 80 3C 00")  // at 480: C4 off first ...
                             .hex("00 E0 00 40")     // ... and its bend reset,
                             .hex("00 E0 00 40")     // then the next note's centring
                             .hex("00 90 3E 5A")     // and D4 on, velocity 90
                             .hex("83 60 80 3E 00")  // at 960
                             .hex("00 E0 00 40")
                             .hex("87 40 FF 2F 00");  // the bar ends at 1920
  const Bytes file = writeStandardMidiFile(state);
  const Bytes soloTrack(file.end() - static_cast<std::ptrdiff_t>(expected.size()), file.end());
  EXPECT_BYTES(soloTrack, expected);
  EXPECT_EQ(file.size(), 14 + 8 + 0x40 + expected.size());  // header, chord track of 64 bytes
}

// The first chord-track meta event of the given type for a one-chord phrase.
Bytes chordMeta(Json config, std::uint8_t type) {
  config["progression"] = {"C"};
  for (const MidiEvent& e : chordTrackEvents(normalizeConfig(config)))
    if (e.bytes[1] == type) return e.bytes;
  return {};
}

TEST(ChordTrack, TimeSignatures) {
  const std::pair<const char*, const char*> rows[] = {
      {"4/4", "FF 58 04 04 02 18 08"},  {"6/8", "FF 58 04 06 03 24 08"},
      {"12/8", "FF 58 04 0C 03 24 08"}, {"3/8", "FF 58 04 03 03 0C 08"},
      {"5/8", "FF 58 04 05 03 0C 08"},  {"9/8", "FF 58 04 09 03 24 08"},
      {"7/8", "FF 58 04 07 03 0C 08"},  {"2/2", "FF 58 04 02 01 30 08"},
      {"3/16", "FF 58 04 03 04 06 08"}, {"1/32", "FF 58 04 01 05 03 08"},
      {"4/1", "FF 58 04 04 00 60 08"},  {"32/8", "FF 58 04 20 03 0C 08"},
  };
  for (const auto& [meter, hex] : rows)
    EXPECT_BYTES(chordMeta({{"meter", meter}}, 0x58), Golden().hex(hex)) << meter;
}

TEST(ChordTrack, TempoRoundsHalvesToEven) {
  const std::pair<double, const char*> rows[] = {
      {120, "FF 51 03 07 A1 20"},                // 500000
      {140, "FF 51 03 06 8A 1B"},                // 428571.43 -> 428571
      {20, "FF 51 03 2D C6 C0"},                 // 3000000
      {400, "FF 51 03 02 49 F0"},                // 150000
      {133.7, "FF 51 03 06 D8 FE"},              // 448765.89 -> 448766
      {399.9986666711111, "FF 51 03 02 49 F0"},  // exactly 150000.5 -> 150000
      {399.9933334444426, "FF 51 03 02 49 F2"},  // exactly 150002.5 -> 150002
      {399.9960000399996, "FF 51 03 02 49 F2"},  // exactly 150001.5 -> 150002
  };
  for (const auto& [bpm, hex] : rows)
    EXPECT_BYTES(chordMeta({{"bpm", bpm}}, 0x51), Golden().hex(hex)) << bpm;
}

TEST(ChordTrack, OneMarkerPerSegmentAtItsStart) {
  // A chord held for two bars is two segments; a half-bar chord before a 3/4 bar
  // leaves its measure unfinished.
  const Json config = {{"progression",
                        {{{"chord", "Am"}, {"bars", 2}},
                         {{"chord", "C"}, {"bars", 0.5}},
                         {{"chord", "G"}, {"meter", "3/4"}}}}};
  std::vector<std::pair<std::int32_t, std::string>> markers;
  for (const MidiEvent& e : chordTrackEvents(normalizeConfig(config)))
    if (e.bytes[1] == 0x06) {
      EXPECT_EQ(e.order, 3);
      markers.emplace_back(e.tick, std::string(e.bytes.begin() + 3, e.bytes.end()));
    }
  const std::vector<std::pair<std::int32_t, std::string>> expected = {
      {0, "Am | A aeolian | tonic"},
      {1920, "Am | A aeolian | tonic"},
      {3840, "C | C ionian | other"},
      {4800, "G | G mixolydian | other"}};
  EXPECT_EQ(markers, expected);
}

TEST(ChordTrack, LongChordTextsKeepTheirBlanksAndAValidLength) {
  const std::string chord = std::string(100, ' ') + "C" + std::string(100, ' ');
  const Json state = {{"config", {{"progression", {chord}}, {"harmony", "global"}}}};
  const Bytes file = writeStandardMidiFile(state);
  const std::string text = chord + " | C major | tonic";  // 219 bytes
  bool found = false;
  for (const testing::SmfEvent& e : trackEvents(file, 0)) {
    if (e.bytes[1] != 0x06) continue;
    found = true;
    EXPECT_BYTES(e.bytes, Golden().hex("FF 06 81 5B").text(text));
  }
  EXPECT_TRUE(found);
}

TEST(StandardMidiFile, RefusesWhatTheStateRefuses) {
  EXPECT_THROW_MSG(writeStandardMidiFile(Json::array()), std::invalid_argument,
                   "State must be an object");
  EXPECT_THROW_MSG(
      writeStandardMidiFile({{"config", {{"progression", {"C"}}, {"scale", "chromatic-ish"}}}}),
      std::invalid_argument, "Unknown scale");
  EXPECT_THROW_MSG(writeStandardMidiFile({{"variation", 3}}), std::invalid_argument, "variation");
  EXPECT_THROW(writeStandardMidiFile({{"sync", "yes"}}), Json::type_error);
}

}  // namespace
}  // namespace tavrena
