#pragma once
// MIDI bytes shared by everything that speaks MIDI: the rendered event list, the
// file writer and the processor's playback.
#include <array>
#include <cstdint>

namespace tavrena {

// Channel-voice status bytes of channel 1.
inline constexpr std::uint8_t kStatusNoteOff = 0x80;
inline constexpr std::uint8_t kStatusNoteOn = 0x90;
inline constexpr std::uint8_t kStatusControlChange = 0xB0;
inline constexpr std::uint8_t kStatusProgramChange = 0xC0;
inline constexpr std::uint8_t kStatusPitchBend = 0xE0;

// A file's meta event: 0xFF, its type, a variable-length size and the data.
inline constexpr std::uint8_t kMetaEvent = 0xFF;
inline constexpr std::uint8_t kMetaTrackName = 0x03;
inline constexpr std::uint8_t kMetaMarker = 0x06;
inline constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
inline constexpr std::uint8_t kMetaTempo = 0x51;
inline constexpr std::uint8_t kMetaTimeSignature = 0x58;

struct ControlChange {
  std::uint8_t controller;
  std::uint8_t value;
  friend bool operator==(const ControlChange&, const ControlChange&) = default;
};

// Sets the pitch-bend range: registered parameter 0 (RPN MSB 101, LSB 100) gets
// `semitones` and 0 cents (data entry 6 and 38), then the null parameter (127/127)
// is selected so that later data entries change nothing.
constexpr std::array<ControlChange, 6> bendRangeControllers(std::uint8_t semitones) {
  return {{{101, 0}, {100, 0}, {6, semitones}, {38, 0}, {101, 127}, {100, 127}}};
}

}  // namespace tavrena
