#include "audio/soundfont_lookup.h"

#include <gtest/gtest.h>

#include <array>

#include "expect_throw_msg.h"
#include "work_dir.h"

namespace tavrena {
namespace {

namespace fs = std::filesystem;

TEST(SoundFontLookup, OptionThenEnvironmentThenTheFirstKnownFile) {
  const fs::path dir = testing::freshWorkDir("tavrena_soundfont");
  const std::string a = (dir / "a.sf2").string(), b = (dir / "b.sf2").string();
  const std::string missing = (dir / "missing.sf2").string();
  testing::writeFile(a, "x");
  testing::writeFile(b, "x");
  fs::create_symlink(dir / "nowhere.sf2", dir / "dangling.sf2");
  const std::string dangling = (dir / "dangling.sf2").string();
  const std::array<const char*, 4> known = {missing.c_str(), dangling.c_str(), b.c_str(),
                                            a.c_str()};

  EXPECT_EQ(findSoundFont(a, b.c_str(), known), a);
  EXPECT_EQ(findSoundFont("", a.c_str(), known), a);
  EXPECT_EQ(findSoundFont("", nullptr, known), b);  // a missing file and a dangling link skipped
  EXPECT_EQ(findSoundFont("", "", known), b);       // an empty variable counts as unset
}

TEST(SoundFontLookup, ANamedSoundFontMustExistAndNoneFoundSaysWhereItLooked) {
  const fs::path dir = testing::freshWorkDir("tavrena_soundfont");
  const std::string folder = dir.string(), missing = (dir / "missing.sf2").string();
  const std::array<const char*, 2> known = {"/nonexistent/one.sf2", "/nonexistent/two.sf2"};
  EXPECT_THROW_MSG(findSoundFont(missing, nullptr, known), SoundFontNotFound,
                   "the SoundFont '" + missing + "' (--soundfont) does not exist");
  EXPECT_THROW_MSG(findSoundFont("", folder.c_str(), known), SoundFontNotFound,
                   "the SoundFont '" + folder + "' ($TAVRENA_SOUNDFONT) is a folder");
  EXPECT_THROW_MSG(findSoundFont("", nullptr, known), SoundFontNotFound,
                   "no SoundFont found: --soundfont and $TAVRENA_SOUNDFONT are not set, and none "
                   "of /nonexistent/one.sf2, /nonexistent/two.sf2 exists; install Debian's "
                   "timgm6mb-soundfont or name a .sf2 file with --soundfont");
}

}  // namespace
}  // namespace tavrena
