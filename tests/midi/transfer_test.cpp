// Export and drag through a recording stand-in for the host's save dialog, local data
// folder and drag, on real files in a fresh folder per test.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <set>
#include <stdexcept>

#include "expect_throw_msg.h"
#include "midi/smf_writer.h"
#include "midi/transfer.h"
#include "work_dir.h"

namespace tavrena {
namespace {

namespace fs = std::filesystem;
using testing::freshWorkDir;
using testing::slurpFile;

std::string fileText(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

std::size_t filesIn(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

struct RecordingPlatform : TransferPlatform {
  std::optional<fs::path> saveAnswer, localData;  // nullopt: cancelled / unavailable
  bool drop = true;
  std::vector<std::string> suggestions, draggedTexts;  // the file as its drag began
  std::vector<fs::path> drags;

  std::optional<fs::path> ChooseSavePath(const std::string& name) override {
    suggestions.push_back(name);
    return saveAnswer;
  }
  std::optional<fs::path> LocalDataFolder() override { return localData; }
  bool DragFile(const fs::path& file) override {
    drags.push_back(file);
    draggedTexts.push_back(slurpFile(file.string()));
    return drop;
  }
};

// Two notes in the selected variant, so the solo track is not empty.
Json soloState(Json config) {
  const Json notes = {{{"start", 0.0}, {"length", 1.0}, {"pitch", 64}, {"velocity", 100}},
                      {{"start", 1.5}, {"length", 0.5}, {"pitch", 67}, {"velocity", 90}}};
  return {{"config", std::move(config)},
          {"variants", Json::array({Json::array(), notes, Json::array()})},
          {"variation", 1}};
}
Json withOutput(const std::string& output) {
  return soloState({{"progression", {"Am", "F", "C", "G"}}, {"output", output}});
}
const Json kInvalid = soloState({{"progression", {"Am"}}, {"bpm", 0}});

TEST(SuggestedFileName, KeepsOnlyTheFileNamePart) {
  const std::pair<const char*, const char*> rows[] = {{"C:\\Music\\take1.mid", "take1.mid"},
                                                      {"C:take1.mid", "take1.mid"},
                                                      {"a\\b/c.mid", "c.mid"},
                                                      {"C:\\Music\\", ""},
                                                      {"C:", ""},
                                                      {"1:x.mid", "1:x.mid"},
                                                      {"Соло/дубль.mid", "дубль.mid"}};
  for (const auto& [output, name] : rows) EXPECT_EQ(suggestedFileName(output), name) << output;
}

TEST(RegistryGuid, KnownValueAndFreshVersionFourGuids) {
  const Guid known = {0x67, 0x45, 0x23, 0x01, 0xAB, 0x89, 0xEF, 0xCD,
                      0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  EXPECT_EQ(dragFileName(known), "Solo-{01234567-89AB-CDEF-0123-456789ABCDEF}.mid");
  std::set<std::string> seen;
  for (int i = 0; i < 32; ++i) {
    const std::string text = formatRegistryGuid(newGuid());
    EXPECT_TRUE(text[15] == '4' && std::string("89AB").find(text[20]) != std::string::npos) << text;
    EXPECT_TRUE(seen.insert(text).second) << "repeated " << text;
  }
}

TEST(ExportMidiFile, WritesTheChosenFileOrNothing) {
  const fs::path dir = freshWorkDir("transfer"), target = dir / "take1.mid";
  testing::writeFile(target, std::string(100000, 'x'));  // longer than the new file
  RecordingPlatform platform;
  EXPECT_FALSE(exportMidiFile(soloState({{"progression", {"Am"}}}), platform));  // cancelled
  platform.saveAnswer = target;
  const Json state = withOutput("C:\\Music\\take1.mid");
  EXPECT_TRUE(exportMidiFile(state, platform));
  EXPECT_EQ(platform.suggestions, (std::vector<std::string>{"solo.mid", "take1.mid"}));
  EXPECT_EQ(slurpFile(target.string()), fileText(writeStandardMidiFile(state)));
  EXPECT_EQ(filesIn(dir), 1u) << "no temporary left behind";

  platform.suggestions.clear();
  EXPECT_THROW_MSG(exportMidiFile(kInvalid, platform), std::invalid_argument, "bpm: out of range");
  EXPECT_TRUE(platform.suggestions.empty()) << "raised before the dialog";
}

TEST(ExportMidiFile, FailedWriteLeavesTheTargetAsItWas) {
  const fs::path dir = freshWorkDir("transfer"), target = dir / "take.mid";
  testing::writeFile(target, "the previous take");
  RecordingPlatform platform;
  platform.saveAnswer = dir / "missing" / "take.mid";
  EXPECT_FALSE(exportMidiFile(withOutput("take.mid"), platform));
  platform.saveAnswer = target;
#ifndef _WIN32
  {
    // A disk that fills up half-way: writes past 16 bytes fail instead of signalling.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit cap = saved;
    cap.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &cap);
    EXPECT_FALSE(exportMidiFile(withOutput("take.mid"), platform));
    setrlimit(RLIMIT_FSIZE, &saved);
  }
#endif
  fs::permissions(target, fs::perms::owner_read);  // read-only even for root
  EXPECT_FALSE(exportMidiFile(withOutput("take.mid"), platform));
  EXPECT_EQ(slurpFile(target.string()), "the previous take");
  EXPECT_EQ(filesIn(dir), 1u) << "no temporary left behind";
  // Writable again, so that the next run can clear the folder (Windows cannot delete
  // a read-only file).
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
}

// Symbolic links need a privilege on Windows that a user rarely has.
#ifndef _WIN32
TEST(ExportMidiFile, WritesThroughASymbolicLink) {
  const fs::path dir = freshWorkDir("transfer"), real = dir / "real.mid", link = dir / "link.mid";
  testing::writeFile(real, "old");
  fs::create_symlink(real, link);
  RecordingPlatform platform;
  platform.saveAnswer = link;
  EXPECT_TRUE(exportMidiFile(withOutput("take.mid"), platform));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(slurpFile(real.string()), fileText(writeStandardMidiFile(withOutput("take.mid"))));
}
#endif

TEST(DragMidiFile, EachDragWritesANewFileThatStays) {
  const fs::path dir = freshWorkDir("transfer");
  const Json state = withOutput("take.mid");
  RecordingPlatform platform;
  EXPECT_FALSE(dragMidiFile(state, platform));  // no local data folder
  platform.localData = dir;
  platform.drop = false;  // escape pressed
  EXPECT_FALSE(dragMidiFile(state, platform));
  platform.drop = true;
  EXPECT_TRUE(dragMidiFile(state, platform));
  ASSERT_EQ(platform.drags.size(), 2u);
  EXPECT_NE(platform.drags[0], platform.drags[1]);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(platform.drags[i].parent_path(), dir / "Veltmark" / "Tavrena" / "MIDI");
    EXPECT_EQ(platform.draggedTexts[i], fileText(writeStandardMidiFile(state)));
    EXPECT_TRUE(fs::exists(platform.drags[i]));
  }
  EXPECT_THROW_MSG(dragMidiFile(kInvalid, platform), std::invalid_argument, "bpm: out of range");
  EXPECT_EQ(filesIn(dir / "Veltmark" / "Tavrena" / "MIDI"), 2u);
}

TEST(DragMidiFile, FolderThatCannotBeCreatedRaises) {
  const fs::path dir = freshWorkDir("transfer");
  testing::writeFile(dir / "Veltmark", "a file where a folder belongs");
  RecordingPlatform platform;
  platform.localData = dir;
  try {
    dragMidiFile(withOutput("take.mid"), platform);
    ADD_FAILURE() << "expected a filesystem_error";
  } catch (const fs::filesystem_error& e) {
    EXPECT_NE(std::string(e.what()).find("create_directories"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(platform.drags.empty());
}

}  // namespace
}  // namespace tavrena
