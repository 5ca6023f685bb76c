#include "audio/soundfont_lookup.h"

#include <system_error>

namespace tavrena {
namespace {

namespace fs = std::filesystem;

bool isFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);  // follows links: a dangling one is no file
}

fs::path named(const std::string& path, const std::string& by) {
  if (isFile(path)) return path;
  std::error_code error;
  const char* what = fs::is_directory(path, error) ? "is a folder" : "does not exist";
  throw SoundFontNotFound("the SoundFont '" + path + "' (" + by + ") " + what);
}

}  // namespace

fs::path findSoundFont(const std::string& option, const char* environment,
                       std::span<const char* const> known) {
  if (!option.empty()) return named(option, "--soundfont");
  if (environment != nullptr && *environment != '\0')
    return named(environment, "$TAVRENA_SOUNDFONT");
  std::string tried;
  for (const char* path : known) {
    if (isFile(path)) return path;
    tried += tried.empty() ? "" : ", ";
    tried += path;
  }
  throw SoundFontNotFound("no SoundFont found: --soundfont and $TAVRENA_SOUNDFONT are not set, " +
                          std::string("and none of ") + tried +
                          " exists; install Debian's timgm6mb-soundfont or name a .sf2 file "
                          "with --soundfont");
}

}  // namespace tavrena
