#include "solo_files.h"

#include <cctype>

#include "cli_common.h"
#include "midi/backing_track.h"
#include "midi/smf_writer.h"
#include "piano_roll_svg.h"
#include "state/state.h"
#include "theory/config.h"

namespace tavrena::cli {

SoloFiles buildSoloFiles(const Json& state, bool withPianoRoll, bool withChords) {
  SoloFiles files;
  files.state = normalizeState(state);
  files.midi = writeStandardMidiFile(files.state);
  files.chords = withChords;
  if (withChords) appendBackingTrack(files.midi, normalizeConfig(files.state.at("config")));
  if (withPianoRoll) files.svg = renderPianoRollSvg(files.state);
  return files;
}

void addSoloFiles(OutputSet& outputs, const SoloFiles& files, const std::string& midiPath,
                  const std::string& svgPath) {
  outputs.add(midiPath, std::string(files.midi.begin(), files.midi.end()));
  if (!svgPath.empty()) outputs.add(svgPath, files.svg);
}

std::string suggestedFileName(const std::string& output) {
  std::string_view name = output;
  // A drive prefix such as "C:" names no folder on its own.
  if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))
    name.remove_prefix(2);
  const std::size_t separator = name.find_last_of("/\\");
  if (separator != std::string_view::npos) name.remove_prefix(separator + 1);
  return std::string(name);
}

std::string defaultMidiPath(const Json& normalisedState) {
  // A normalised state's configuration is an object; "output" is optional in it.
  const std::string name =
      suggestedFileName(normalisedState.at("config").value("output", std::string("solo.mid")));
  return name.empty() ? "solo.mid" : name;
}

std::string describeMidiFile(const SoloFiles& files, const std::string& midiPath) {
  const auto variation = files.state.at("variation").get<std::size_t>();
  return "wrote " + midiPath + ": variant " + std::to_string(variation) + ", " +
         std::to_string(files.state.at("variants").at(variation).size()) + " notes, " +
         std::to_string(files.state.at("bars").get<std::size_t>()) + " chord segments" +
         (files.chords ? ", chord backing" : "");
}

}  // namespace tavrena::cli
