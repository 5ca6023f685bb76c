#include <iostream>

#include "commands.h"
#include "options.h"
#include "solo_state.h"
#include "sound.h"

namespace tavrena::cli {

namespace {

constexpr const char* kUsage =
    "usage: tavrena play [CONFIG|STATE] [--variant N] [--soundfont FILE.sf2] [--chords]\n"
    "                    [--driver NAME]\n\n";

constexpr const char* kHelp =
    "Plays a solo on the sound device through FluidSynth, as render writes it, and\n"
    "returns when it has ended (Ctrl-C stops it). CONFIG and STATE, --variant,\n"
    "--soundfont and --chords: as for render.\n\n"
    "options:\n"
    "  --driver NAME     FluidSynth's audio driver: pulseaudio, alsa, jack, sdl2...\n"
    "                    (default: FluidSynth's own choice)\n\n"
    "When no audio device can be opened, it says so and exits 2.\n";

}  // namespace

int runPlay(Args args) {
  const SoundOptions options = parsePlayOptions(args);
  if (options.help) {
    std::cout << kUsage << soundAvailability() << kHelp;
    return kExitOk;
  }
  requireSound();
  const Json state = readStateToHear(options.file, options.variant);
  playSound(state, options);
  const auto variant = state.at("variation").get<std::size_t>();
  std::cerr << "played variant " << variant << ", " << state.at("variants").at(variant).size()
            << " notes\n";
  return kExitOk;
}

}  // namespace tavrena::cli
