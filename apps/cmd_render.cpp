#include <iostream>
#include <sstream>

#include "commands.h"
#include "options.h"
#include "output_set.h"
#include "solo_files.h"
#include "solo_state.h"
#include "sound.h"

namespace tavrena::cli {

namespace {

constexpr const char* kUsage =
    "usage: tavrena render [CONFIG|STATE] [-o FILE.wav] [--variant N] [--soundfont FILE.sf2]\n"
    "                      [--rate 44100|48000] [--format s16|float] [--chords]\n\n";

constexpr const char* kHelp =
    "Renders a solo to a stereo WAV file through FluidSynth, offline and faster than\n"
    "real time: the same events as the MIDI file that generate and export write,\n"
    "played by FluidSynth's own MIDI player, followed by 1.5 s for the last notes to\n"
    "ring out. The same input, SoundFont and options always give the same bytes.\n"
    "CONFIG is a configuration (the built-in default phrase when absent; '-' reads\n"
    "standard input) whose variant is generated as generate does; STATE is a saved\n"
    "state document, whose saved variant is rendered as export writes it.\n\n"
    "options:\n"
    "  -o FILE.wav       where to write the audio ('-': standard output; default: the\n"
    "                    file name of the configuration's \"output\" with .wav, in\n"
    "                    the current folder)\n"
    "  --variant N       the variant slot (0, 1 or 2; default: the state's selected\n"
    "                    slot, or 0)\n"
    "  --soundfont FILE  the General MIDI SoundFont (default: $TAVRENA_SOUNDFONT, else\n"
    "                    /usr/share/sounds/sf2/default-GM.sf2 or another installed one;\n"
    "                    Debian's timgm6mb-soundfont package provides one)\n"
    "  --rate R          samples per second, 44100 (default) or 48000\n"
    "  --format F        s16: 16-bit samples (default); float: 32-bit float samples\n"
    "  --chords          add the progression as a quiet backing (a warm pad)\n\n"
    "FluidSynth plays with reverb and chorus off at gain 1.0; its own command line gives\n"
    "the same samples: fluidsynth -ni -F OUT.wav -O s16 -r 44100 -g 1.0 -R 0 -C 0 SF FILE.mid\n"
    "Inputs are limited as for generate; a phrase may last an hour with its tail.\n"
    "The file is replaced only once it was rendered in full. A refused input prints\n"
    "'error: <message>' on standard error, writes nothing and exits 1; a missing\n"
    "SoundFont exits 2 naming the places it was looked for.\n";

// The suggested MIDI name with ".wav" for its extension.
std::string defaultWavPath(const Json& state) {
  std::string name = defaultMidiPath(state);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot != 0) name.erase(dot);
  return name + ".wav";
}

std::string describeWav(const Json& state, const SoundOptions& options, const std::string& path) {
  const auto variant = state.at("variation").get<std::size_t>();
  std::ostringstream line;
  line << "wrote " << (path == "-" ? "standard output" : path) << ": variant " << variant << ", "
       << state.at("variants").at(variant).size() << " notes, "
       << (options.floatSamples ? "32-bit float" : "16-bit") << " stereo at " << options.sampleRate
       << " Hz" << (options.chords ? ", chord backing" : "");
  return line.str();
}

}  // namespace

int runRender(Args args) {
  const SoundOptions options = parseRenderOptions(args);
  if (options.help) {
    std::cout << kUsage << soundAvailability() << kHelp;
    return kExitOk;
  }
  requireSound();
  const Json state = readStateToHear(options.file, options.variant);
  const std::string path = options.output.empty() ? defaultWavPath(state) : options.output;
  OutputSet outputs;
  outputs.add(path, renderSound(state, options));
  outputs.commit();
  std::cerr << describeWav(state, options, path) << '\n';
  return kExitOk;
}

}  // namespace tavrena::cli
