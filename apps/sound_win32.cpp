// The Windows build has no FluidSynth (see sound.h).
#include "cli_common.h"
#include "sound.h"

namespace tavrena::cli {

namespace {
constexpr const char* kNoSound =
    "this build of tavrena cannot make sound: FluidSynth is not available for Windows "
    "builds; write the MIDI file with 'tavrena generate' and play it in your DAW, or "
    "render it with tavrena on Linux";
}  // namespace

void requireSound() {
  throw UsageError(kNoSound);
}

const char* soundAvailability() {
  return "This Windows build cannot make sound (FluidSynth is not available for\n"
         "Windows builds): the command stops with exit code 2.\n\n";
}

std::string renderSound(const Json&, const SoundOptions&) {
  throw UsageError(kNoSound);
}

void playSound(const Json&, const SoundOptions&) {
  throw UsageError(kNoSound);
}

}  // namespace tavrena::cli
