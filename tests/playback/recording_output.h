#pragma once
// Test sinks for the scheduler and the tone generator, and a driver that runs a
// sequence of blocks and stamps each event with its absolute sample index.
#include <cstdint>
#include <vector>

#include "playback/preview_tone.h"
#include "playback/scheduler.h"

namespace tavrena::testing {

struct StampedEvent {
  std::int64_t sample = 0;  // block start + offset
  OutputEvent event;
};

class RecordingMidi final : public MidiOutput {
 public:
  void emit(const OutputEvent& event) noexcept override { events.push_back(event); }
  std::vector<OutputEvent> events;
};

class RecordingTone final : public ToneOutput {
 public:
  void write(std::int32_t firstSample, const double* samples,
             std::int32_t count) noexcept override {
    if (static_cast<std::int32_t>(block.size()) < firstSample + count) {
      block.resize(static_cast<std::size_t>(firstSample + count), 99.0);
    }
    for (std::int32_t i = 0; i < count; ++i) {
      block[static_cast<std::size_t>(firstSample + i)] = samples[i];
    }
  }
  std::vector<double> block;
};

inline OutputEvent noteOn(std::int32_t offset, std::int32_t pitch, std::int32_t velocity) {
  OutputEvent e;
  e.type = OutputEvent::Type::noteOn;
  e.sampleOffset = offset;
  e.pitch = pitch;
  e.velocity = static_cast<float>(velocity) * 0.007874016f;
  return e;
}

inline OutputEvent noteOff(std::int32_t offset, std::int32_t pitch) {
  OutputEvent e;
  e.type = OutputEvent::Type::noteOff;
  e.sampleOffset = offset;
  e.pitch = pitch;
  return e;
}

inline OutputEvent controller(std::int32_t offset, std::int32_t number, std::int32_t value,
                              std::int32_t value2 = 0) {
  OutputEvent e;
  e.type = OutputEvent::Type::controller;
  e.sampleOffset = offset;
  e.controlNumber = number;
  e.value = value;
  e.value2 = value2;
  return e;
}

// The set-up sequence for a bend range and program, all at one offset.
inline std::vector<OutputEvent> setupEvents(std::int32_t offset, std::int32_t bendRange,
                                            std::int32_t program) {
  return {controller(offset, 101, 0),       controller(offset, 100, 0),
          controller(offset, 6, bendRange), controller(offset, 38, 0),
          controller(offset, 101, 127),     controller(offset, 100, 127),
          controller(offset, 130, program)};
}

inline OutputEvent bendCentre(std::int32_t offset) {
  return controller(offset, 129, 0, 64);
}

}  // namespace tavrena::testing
