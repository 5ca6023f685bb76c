#include "playback/scheduler.h"

#include <cmath>
#include <cstddef>

#include "generator/midi_bytes.h"

namespace tavrena {
namespace {

// Positions closer than this count as equal; absorbs the rounding of the
// per-sample position sums.
constexpr double kTimeEpsilon = 1e-8;

void emit(BlockOutput& out, const OutputEvent& event) noexcept {
  if (out.midi != nullptr) out.midi->emit(event);
}

void pushVoice(BlockOutput& out, std::int32_t kind, std::int32_t value,
               std::int32_t sampleOffset) noexcept {
  if (out.voices != nullptr) out.voices->push(kind, value, sampleOffset);
}

void emitNoteOff(BlockOutput& out, std::int32_t pitch, std::int32_t sampleOffset) noexcept {
  OutputEvent event;
  event.type = OutputEvent::Type::noteOff;
  event.sampleOffset = sampleOffset;
  event.pitch = pitch;
  emit(out, event);
}

void emitController(BlockOutput& out, std::int32_t controlNumber, std::int32_t value,
                    std::int32_t value2, std::int32_t sampleOffset) noexcept {
  OutputEvent event;
  event.type = OutputEvent::Type::controller;
  event.sampleOffset = sampleOffset;
  event.controlNumber = controlNumber;
  event.value = value;
  event.value2 = value2;
  emit(out, event);
}

void sendControlChange(BlockOutput& out, std::int32_t number, std::int32_t value,
                       std::int32_t sampleOffset) noexcept {
  pushVoice(out, kKindControlChangeBase + number, value, sampleOffset);
  emitController(out, number, value & 0x7F, 0, sampleOffset);
}

// Index of the first event at or after position (less the tolerance): earlier
// events are skipped, not replayed.
std::int32_t firstEventAt(const PlaybackData& data, double position) noexcept {
  std::int32_t low = 0;
  std::int32_t high = static_cast<std::int32_t>(data.events.size());
  while (low < high) {
    const std::int32_t mid = low + (high - low) / 2;
    if (data.events[static_cast<std::size_t>(mid)].time < position - kTimeEpsilon) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

// A position within the last kTimeEpsilon before the end would count as the
// end again at the next sample and replay the whole phrase at once; it is the
// start of the next pass.
double wrapPosition(double position, double total) noexcept {
  const double wrapped = std::fmod(position, total);
  return wrapped >= total - kTimeEpsilon ? 0.0 : wrapped;
}

}  // namespace

void sendSetupEvents(const PlaybackData& data, std::int32_t sampleOffset,
                     BlockOutput& out) noexcept {
  if (!data.built) return;
  for (const ControlChange& cc :
       bendRangeControllers(static_cast<std::uint8_t>(data.pitchBendRange & 0x7F)))
    sendControlChange(out, cc.controller, cc.value, sampleOffset);
  pushVoice(out, kKindProgramChange, data.program, sampleOffset);
  emitController(out, kControlProgramChange, data.program & 0x7F, 0, sampleOffset);
}

void releaseAllNotes(PlayState& play, std::int32_t sampleOffset, BlockOutput& out) noexcept {
  for (std::int32_t pitch = 0; pitch < 128; ++pitch) {
    std::int32_t& count = play.noteCount[static_cast<std::size_t>(pitch)];
    if (count <= 0) continue;
    pushVoice(out, pitch, 0, sampleOffset);
    emitNoteOff(out, pitch, sampleOffset);
    count = 0;
  }
  if (play.positioned) {
    pushVoice(out, kKindPitchBend, kBendCentre, sampleOffset);
    emitController(out, kControlPitchBend, 0, 64, sampleOffset);
  }
  play.positioned = false;
}

void dispatchEvent(PlayState& play, const PlaybackEvent& event, std::int32_t sampleOffset,
                   BlockOutput& out) noexcept {
  const std::int32_t kind = event.kind;
  if (kind >= 0 && kind < 128) {
    std::int32_t& count = play.noteCount[static_cast<std::size_t>(kind)];
    if (event.value != 0) {
      ++count;
      pushVoice(out, kind, event.value, sampleOffset);
      OutputEvent note;
      note.type = OutputEvent::Type::noteOn;
      note.sampleOffset = sampleOffset;
      note.pitch = kind;
      note.velocity = static_cast<float>(event.value) * kVelocityScale;
      emit(out, note);
      return;
    }
    if (count == 0) return;
    if (--count == 0) {
      pushVoice(out, kind, 0, sampleOffset);
      emitNoteOff(out, kind, sampleOffset);
    }
    return;
  }
  if (kind == kKindPitchBend) {
    pushVoice(out, kind, event.value, sampleOffset);
    emitController(out, kControlPitchBend, event.value & 0x7F, event.value >> 7, sampleOffset);
  } else if (kind == kKindProgramChange) {
    pushVoice(out, kind, event.value, sampleOffset);
    emitController(out, kControlProgramChange, event.value & 0x7F, 0, sampleOffset);
  } else if (kind > kKindPitchBend && kind < kKindProgramChange) {
    pushVoice(out, kind, event.value, sampleOffset);
    emitController(out, kind - kKindControlChangeBase, event.value & 0x7F, 0, sampleOffset);
  }
}

void advancePlayback(PlayState& play, const PlaybackData& data, const BlockTiming& timing,
                     BlockOutput& out) noexcept {
  if (!timing.active || !data.built || !(data.total > 0.0)) {
    releaseAllNotes(play, 0, out);
    return;
  }
  if (!play.positioned || timing.relocate) {
    releaseAllNotes(play, 0, out);
    double position = timing.startPosition < 0.0 ? 0.0 : timing.startPosition;
    if (data.loop) position = wrapPosition(position, data.total);
    play.position = position;
    play.nextEvent = firstEventAt(data, position);
    play.positioned = true;
    sendSetupEvents(data, 0, out);
  }

  const std::size_t tempoCount = data.tempoPoints.size();
  std::size_t tempoIndex = 0;
  if (tempoCount >= 2) {
    while (tempoIndex + 1 < tempoCount && data.tempoPoints[tempoIndex + 1].start <= play.position) {
      ++tempoIndex;
    }
  }
  // With sync on the host tempo (copied into data.bpm) drives the position; the
  // phrase's own tempo changes apply only to free-running playback.
  const bool fixedTempo = data.sync || tempoCount == 0;
  const std::int32_t eventCount = static_cast<std::int32_t>(data.events.size());
  const double endPosition = data.total - kTimeEpsilon;

  for (std::int32_t i = 0; i < timing.numSamples; ++i) {
    if (play.position >= endPosition) {
      if (!data.loop) {
        releaseAllNotes(play, i, out);
        return;
      }
      // Note-offs lying exactly on the end are never dispatched: releasing
      // everything here covers them.
      releaseAllNotes(play, i, out);
      play.positioned = true;
      play.position = wrapPosition(play.position, data.total);
      play.nextEvent = 0;
      tempoIndex = 0;
      sendSetupEvents(data, i, out);
    }
    while (play.nextEvent < eventCount &&
           data.events[static_cast<std::size_t>(play.nextEvent)].time <=
               play.position + kTimeEpsilon) {
      dispatchEvent(play, data.events[static_cast<std::size_t>(play.nextEvent)], i, out);
      ++play.nextEvent;
    }
    while (tempoIndex + 1 < tempoCount &&
           data.tempoPoints[tempoIndex + 1].start <= play.position + kTimeEpsilon) {
      ++tempoIndex;
    }
    const double tempo = fixedTempo ? data.bpm : data.tempoPoints[tempoIndex].bpm;
    play.position = play.position + tempo / 60.0 / timing.sampleRate;
  }
}

}  // namespace tavrena
