#pragma once
// Builder for the flags an audio effect returns from
// IProcessContextRequirements::getProcessContextRequirements, as in the full SDK.
#include "pluginterfaces/vst/ivstaudioprocessor.h"

namespace Steinberg {
namespace Vst {

struct ProcessContextRequirements {
  using Self = ProcessContextRequirements;
  using Flags = IProcessContextRequirements::Flags;

  ProcessContextRequirements(uint32 inFlags = 0) : flags(inFlags) {}

  bool wantsNone() const { return flags == 0; }
  bool wantsSystemTime() const { return has(Flags::kNeedSystemTime); }
  bool wantsContinousTimeSamples() const { return has(Flags::kNeedContinousTimeSamples); }
  bool wantsProjectTimeMusic() const { return has(Flags::kNeedProjectTimeMusic); }
  bool wantsBarPositionMusic() const { return has(Flags::kNeedBarPositionMusic); }
  bool wantsCycleMusic() const { return has(Flags::kNeedCycleMusic); }
  bool wantsSamplesToNextClock() const { return has(Flags::kNeedSamplesToNextClock); }
  bool wantsTempo() const { return has(Flags::kNeedTempo); }
  bool wantsTimeSignature() const { return has(Flags::kNeedTimeSignature); }
  bool wantsChord() const { return has(Flags::kNeedChord); }
  bool wantsFrameRate() const { return has(Flags::kNeedFrameRate); }
  bool wantsTransportState() const { return has(Flags::kNeedTransportState); }

  Self& needSystemTime() { return add(Flags::kNeedSystemTime); }
  Self& needContinousTimeSamples() { return add(Flags::kNeedContinousTimeSamples); }
  Self& needProjectTimeMusic() { return add(Flags::kNeedProjectTimeMusic); }
  Self& needBarPositionMusic() { return add(Flags::kNeedBarPositionMusic); }
  Self& needCycleMusic() { return add(Flags::kNeedCycleMusic); }
  Self& needSamplesToNextClock() { return add(Flags::kNeedSamplesToNextClock); }
  Self& needTempo() { return add(Flags::kNeedTempo); }
  Self& needTimeSignature() { return add(Flags::kNeedTimeSignature); }
  Self& needChord() { return add(Flags::kNeedChord); }
  Self& needFrameRate() { return add(Flags::kNeedFrameRate); }
  Self& needTransportState() { return add(Flags::kNeedTransportState); }

  uint32 flags{0};

 private:
  bool has(uint32 flag) const { return (flags & flag) != 0; }
  Self& add(uint32 flag) {
    flags |= flag;
    return *this;
  }
};

}  // namespace Vst
}  // namespace Steinberg
