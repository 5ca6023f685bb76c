#pragma once
// What the audio thread plays: the selected variant as time-ordered events in
// quarter notes, plus the few phrase settings the scheduler needs.
#include <cstdint>
#include <utility>
#include <vector>

namespace tavrena {

// Event kinds: 0..127 a note of that MIDI pitch (value = velocity, 0 = note-off),
// then the kinds below; control change n is kControlChangeBase + n.
inline constexpr std::int32_t kKindPitchBend = 128;          // value 0..16383, 8192 = centre
inline constexpr std::int32_t kKindControlChangeBase = 129;  // 129..256, value 0..127
inline constexpr std::int32_t kKindProgramChange = 257;      // value = program 0..127
inline constexpr std::int32_t kBendCentre = 8192;

struct PlaybackEvent {
  double time = 0.0;  // quarter notes from the phrase start
  std::int32_t kind = 0;
  std::int32_t value = 0;
  std::int32_t order = 0;  // the rendered event's order; breaks ties at equal times
  friend bool operator==(const PlaybackEvent&, const PlaybackEvent&) = default;
};

struct TempoPoint {
  double start = 0.0;  // quarter notes
  double bpm = 120.0;
  friend bool operator==(const TempoPoint&, const TempoPoint&) = default;
};

struct PlaybackData {
  std::vector<PlaybackEvent> events;    // sorted by time, then order
  std::vector<TempoPoint> tempoPoints;  // one per timeline segment
  std::int32_t eventCount = 0;
  double total = 32.0;               // phrase length, quarter notes
  double bpm = 120.0;                // replaced by the host tempo while following the host
  std::int32_t pitchBendRange = 12;  // semitones per full bend
  std::int32_t program = 30;
  bool sync = true;
  bool loop = true;
  bool built = false;  // nothing plays until a state has been built

  // Back to the defaults, keeping the lists' storage for the next build.
  void reset() {
    events.clear();
    tempoPoints.clear();
    eventCount = 0;
    total = 32.0;
    bpm = 120.0;
    pitchBendRange = 12;
    program = 30;
    sync = true;
    loop = true;
    built = false;
  }

  // Exchanges buffers only: never allocates, so the audio thread may call it.
  void swap(PlaybackData& other) noexcept {
    events.swap(other.events);
    tempoPoints.swap(other.tempoPoints);
    std::swap(eventCount, other.eventCount);
    std::swap(total, other.total);
    std::swap(bpm, other.bpm);
    std::swap(pitchBendRange, other.pitchBendRange);
    std::swap(program, other.program);
    std::swap(sync, other.sync);
    std::swap(loop, other.loop);
    std::swap(built, other.built);
  }
};

}  // namespace tavrena
