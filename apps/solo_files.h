#pragma once
// The files a solo leaves the command-line tool as: the Standard MIDI File of a
// state's selected variant and, on request, its piano-roll picture. Shared by the
// commands that write MIDI (export, generate).
#include <cstdint>
#include <string>
#include <vector>

#include "output_set.h"
#include "theory/json.h"

namespace tavrena::cli {

struct SoloFiles {
  Json state;  // the normalised state the files were made from
  std::vector<std::uint8_t> midi;
  std::string svg;      // empty unless the piano roll was asked for
  bool chords = false;  // the MIDI file has the chord backing track
};

// Builds both files in memory, so that a refused state writes nothing. withChords
// adds the chord backing to the MIDI file as a track of its own. Throws the state's
// and configuration's own errors; callers report them as refusals.
SoloFiles buildSoloFiles(const Json& state, bool withPianoRoll, bool withChords = false);

// Adds the MIDI file (and the SVG when svgPath is not empty) to a command's outputs.
// Throws UsageError for an output that cannot be written (see OutputSet::add).
void addSoloFiles(OutputSet& outputs, const SoloFiles& files, const std::string& midiPath,
                  const std::string& svgPath);

// The file name a save dialog would suggest for a configuration's "output": the text
// without a drive prefix and without everything up to its last slash or backslash.
// Empty when "output" ends in a separator.
std::string suggestedFileName(const std::string& output);

// Where a MIDI file goes when no path is given: the suggested name of the state's
// "output" in the current folder, or "solo.mid" when that name is empty.
std::string defaultMidiPath(const Json& normalisedState);

// One line for standard error: "wrote PATH: variant V, N notes, S chord segments",
// and ", chord backing" when the file has it.
std::string describeMidiFile(const SoloFiles& files, const std::string& midiPath);

}  // namespace tavrena::cli
