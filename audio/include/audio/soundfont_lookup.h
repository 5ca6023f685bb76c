#pragma once
#include <array>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>

namespace tavrena {

// Where General MIDI SoundFonts are installed, in the order they are tried: Debian's
// default-GM.sf2 alternative, then the files of Debian's (and other systems')
// SoundFont packages.
inline constexpr std::array<const char*, 6> kKnownSoundFonts = {
    "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/soundfonts/default.sf2",    "/usr/share/soundfonts/FluidR3_GM.sf2",
};

// No SoundFont where one was asked for or looked for; the message says where.
class SoundFontNotFound : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The SoundFont to play with: `option` (--soundfont) when not empty, else
// `environment` ($TAVRENA_SOUNDFONT; nullptr when unset) when not empty, else the
// first of `known` that is a file. A SoundFont named by the user must exist: it is
// never silently replaced by another. Throws SoundFontNotFound.
std::filesystem::path findSoundFont(const std::string& option, const char* environment,
                                    std::span<const char* const> known = kKnownSoundFonts);

}  // namespace tavrena
