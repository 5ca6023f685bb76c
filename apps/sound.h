#pragma once
// Sound is made by FluidSynth, which only the Linux build has: Debian builds no
// FluidSynth for mingw-w64. sound_linux.cpp renders and plays; sound_win32.cpp
// says that this build cannot.
#include <string>

#include "options.h"
#include "theory/json.h"

namespace tavrena::cli {

// Throws UsageError in a build that cannot make sound.
void requireSound();

// For --help: an empty text, or a paragraph saying that this build makes no sound.
const char* soundAvailability();

// The WAV file of a normalised state's selected variant. Throws UsageError (no
// SoundFont, one FluidSynth cannot load, a synthesiser failure) and Refused (a
// phrase too long to render).
std::string renderSound(const Json& state, const SoundOptions& options);

// Plays a normalised state's selected variant to its end. Throws as renderSound,
// and UsageError when no audio device can be opened.
void playSound(const Json& state, const SoundOptions& options);

}  // namespace tavrena::cli
