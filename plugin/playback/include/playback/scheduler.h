#pragma once
// Sample-accurate playback of PlaybackData. Audio thread only: nothing here
// allocates, locks or calls the system.
#include <array>
#include <cstddef>
#include <cstdint>

#include "playback/playback_data.h"

namespace tavrena {

struct PlayState {
  std::int32_t nextEvent = 0;                 // index of the next event to dispatch
  double position = 0.0;                      // quarter notes within the phrase
  bool positioned = false;                    // positioned and set-up controllers sent
  std::array<std::int32_t, 128> noteCount{};  // note-ons not yet matched by a note-off
};

// What the tone generator hears: same kinds as PlaybackEvent.
struct VoiceCommand {
  std::int32_t kind = 0;
  std::int32_t value = 0;
  std::int32_t sampleOffset = 0;
  friend bool operator==(const VoiceCommand&, const VoiceCommand&) = default;
};

// Fixed per-block list; commands past the capacity are dropped (for the tone
// generator only: the MIDI output still gets every event).
class VoiceCommandBuffer {
 public:
  static constexpr std::int32_t kCapacity = 4096;

  void clear() noexcept { count_ = 0; }
  void push(std::int32_t kind, std::int32_t value, std::int32_t sampleOffset) noexcept {
    if (count_ < kCapacity)
      items_[static_cast<std::size_t>(count_++)] = {kind, value, sampleOffset};
  }
  std::int32_t size() const noexcept { return count_; }
  const VoiceCommand& operator[](std::int32_t i) const noexcept {
    return items_[static_cast<std::size_t>(i)];
  }

 private:
  std::array<VoiceCommand, kCapacity> items_{};
  std::int32_t count_ = 0;
};

// One MIDI output event with the values the host's event will carry.
struct OutputEvent {
  enum class Type : std::int32_t { noteOn, noteOff, controller };
  Type type = Type::noteOn;
  std::int32_t sampleOffset = 0;
  std::int32_t pitch = 0;          // notes
  float velocity = 0.0f;           // notes: MIDI velocity scaled to 0..1
  std::int32_t controlNumber = 0;  // controller: 0..127, or the two below
  std::int32_t value = 0;          // controller: low 7 bits
  std::int32_t value2 = 0;         // controller: high 7 bits of a bend, else 0
  friend bool operator==(const OutputEvent&, const OutputEvent&) = default;
};

inline constexpr std::int32_t kControlPitchBend = 129;      // as the host's legacy CC event
inline constexpr std::int32_t kControlProgramChange = 130;  // idem
inline constexpr float kVelocityScale = 0.007874016f;

// Receives MIDI output events; called on the audio thread and must not block.
class MidiOutput {
 public:
  virtual void emit(const OutputEvent& event) noexcept = 0;

 protected:
  ~MidiOutput() = default;
};

// Where one block's output goes. midi may be null (the host gave no event list):
// the voice commands and the play state are then updated as usual.
struct BlockOutput {
  MidiOutput* midi = nullptr;
  VoiceCommandBuffer* voices = nullptr;
};

// Registered parameter 0 (bend range in semitones, 0 cents), the null
// parameter, then the program; only for built data.
void sendSetupEvents(const PlaybackData& data, std::int32_t sampleOffset,
                     BlockOutput& out) noexcept;

// Silences every sounding note and, once positioned, centres the bend.
void releaseAllNotes(PlayState& play, std::int32_t sampleOffset, BlockOutput& out) noexcept;

// Plays one event. Overlapping notes of one pitch are counted, so only the last
// of their note-offs is sent. Kinds outside 0..257 are ignored.
void dispatchEvent(PlayState& play, const PlaybackEvent& event, std::int32_t sampleOffset,
                   BlockOutput& out) noexcept;

struct BlockTiming {
  std::int32_t numSamples = 0;
  double sampleRate = 0.0;
  bool active = false;         // following the host or previewing
  bool relocate = false;       // new data, a restart or a host jump
  double startPosition = 0.0;  // quarter notes; used only when (re)positioning
};

// Runs one block sample by sample: positions when needed, dispatches the due
// events at their sample offsets, wraps or stops at the phrase end, and advances
// the position by the tempo in force.
void advancePlayback(PlayState& play, const PlaybackData& data, const BlockTiming& timing,
                     BlockOutput& out) noexcept;

}  // namespace tavrena
