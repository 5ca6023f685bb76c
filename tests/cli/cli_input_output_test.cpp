// What the `tavrena` executable does with hostile inputs and outputs: input that
// never ends, folders where files belong, outputs that name one file twice,
// devices, links, read-only files, interruptions and a full disk. Each test runs
// the real executable in a folder of its own and looks at what it left there.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "run_tool.h"

namespace {

namespace fs = std::filesystem;
using tavrena::testing::slurpFile;
using tavrena::testing::ToolResult;

constexpr std::size_t kMiB = std::size_t{1} << 20;

using tavrena::testing::writeFile;

fs::path workDir() {
  return tavrena::testing::freshWorkDir("tavrena_io");
}

// Runs a shell command line in dir, `tavrena` standing for the executable, with
// its own redirections (unlike runTool, which always supplies standard input).
ToolResult shell(const fs::path& dir, const std::string& line) {
  const std::string out = (dir / ".out").string(), err = (dir / ".err").string();
  const std::string command = "cd '" + dir.string() + "' && tavrena() { '" + TAVRENA_EXE +
                              "' \"$@\"; } && { " + line + "; } >'" + out + "' 2>'" + err + "'";
  const int status = std::system(command.c_str());
  ToolResult r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = slurpFile(out);
  r.err = slurpFile(err);
  fs::remove(out);
  fs::remove(err);
  return r;
}

// Everything in dir, so that a test sees any temporary left behind.
std::set<std::string> listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

bool isMidi(const fs::path& path) {
  return slurpFile(path.string()).rfind("MThd", 0) == 0;
}

TEST(CliInput, EndlessAndOversizedInputIsRefusedNamingTheFileAndTheLimit) {
  const fs::path dir = workDir();
  struct Row {
    const char* line;
    const char* message;
  };
  const Row rows[] = {
      {"tavrena check /dev/zero",
       "error: '/dev/zero' is larger than 8 MiB, the most a configuration may hold\n"},
      {"tavrena check </dev/zero",
       "error: standard input is larger than 8 MiB, the most a configuration may hold\n"},
      {"tavrena state /dev/zero",
       "error: '/dev/zero' is larger than 256 MiB, the most a state document may hold\n"},
      {"tavrena export - </dev/zero",
       "error: standard input is larger than 256 MiB, the most a state document may hold\n"},
      {"tavrena generate /dev/zero --notes",
       "error: '/dev/zero' is larger than 256 MiB, the most a state document may hold\n"},
  };
  for (const Row& row : rows) {
    const ToolResult r = shell(dir, row.line);
    EXPECT_EQ(r.code, 1) << row.line;
    EXPECT_EQ(r.err, row.message) << row.line;
    EXPECT_EQ(r.out, "") << row.line;
  }
  EXPECT_EQ(listing(dir), std::set<std::string>{});
}

TEST(CliInput, TheConfigurationLimitIsExactlyEightMebibytes) {
  const fs::path dir = workDir();
  const std::string config = R"({"progression": ["Am", "F"]})";
  writeFile(dir / "full.json", config + std::string(8 * kMiB - config.size(), ' '));
  writeFile(dir / "over.json", config + std::string(8 * kMiB - config.size() + 1, ' '));
  EXPECT_EQ(shell(dir, "tavrena check full.json").code, 0);
  EXPECT_EQ(shell(dir, "tavrena generate full.json --notes").code, 0);
  for (const char* command : {"check", "generate"}) {
    const ToolResult r = shell(dir, std::string("tavrena ") + command + " over.json");
    EXPECT_EQ(r.code, 1) << command;
    EXPECT_EQ(r.err, "error: 'over.json' is larger than 8 MiB, the most a configuration may hold\n")
        << command;
  }
  EXPECT_FALSE(fs::exists(dir / "solo.mid"));
}

TEST(CliInput, GenerateTakesLargeStateDocumentsButNotTheirLargeConfigurations) {
  const fs::path dir = workDir();
  // A saved state whose variants make it large: only its configuration is used.
  std::string notes = "[";
  for (int i = 0; i < 120000; ++i)
    notes += (i ? "," : "") + std::string(R"({"start":0,"length":0.5,"pitch":60,"velocity":90})");
  notes += "]";
  const std::string big = R"({"config": {"progression": ["C", "G"], "seed": 3}, "variants": [)" +
                          notes + "," + notes + ",[]]}";
  ASSERT_GT(big.size(), 8 * kMiB);
  writeFile(dir / "big-state.json", big);
  const ToolResult accepted = shell(dir, "tavrena generate big-state.json --notes");
  EXPECT_EQ(accepted.code, 0) << accepted.err;
  EXPECT_EQ(accepted.out, shell(dir,
                                "echo '{\"progression\": [\"C\", \"G\"], \"seed\": 3}' | "
                                "tavrena generate - --notes")
                              .out);

  // The same size in the configuration itself is refused before generating.
  const std::string padding(8 * kMiB, ' ');
  writeFile(dir / "big-config-state.json",
            R"({"config": {"progression": ["C"], "output": ")" + padding + R"("}})");
  const ToolResult refused = shell(dir, "tavrena generate big-config-state.json -o x.mid");
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.err,
            "error: the configuration in 'big-config-state.json' is larger than 8 MiB, the most a "
            "configuration may hold\n");
  EXPECT_FALSE(fs::exists(dir / "x.mid"));
}

TEST(CliInput, FoldersAndUnreadableFilesExit2) {
  const fs::path dir = workDir();
  fs::create_directory(dir / "folder");
  for (const char* command : {"check", "state", "export", "generate"}) {
    const ToolResult named = shell(dir, std::string("tavrena ") + command + " folder");
    EXPECT_EQ(named.code, 2) << command;
    EXPECT_NE(named.err.find("cannot read 'folder': it is a folder"), std::string::npos)
        << named.err;
    const ToolResult piped = shell(dir, std::string("tavrena ") + command + " - <folder");
    EXPECT_EQ(piped.code, 2) << command;
    EXPECT_NE(piped.err.find("cannot read standard input"), std::string::npos) << piped.err;
  }
  writeFile(dir / "secret.json", "[\"C\"]");
  fs::permissions(dir / "secret.json", fs::perms::none);
  if (geteuid() != 0) {
    EXPECT_EQ(shell(dir, "tavrena check secret.json").code, 2);
  }
}

// An empty argument (an unset shell variable) must not stand for standard input or
// for the default phrase.
TEST(CliInput, EmptyFileNamesAreMistakes) {
  const fs::path dir = workDir();
  for (const char* line :
       {"tavrena check ''", "tavrena state '' </dev/null", "tavrena export '' -o x.mid",
        "tavrena generate ''", "tavrena generate '' --notes"}) {
    const ToolResult r = shell(dir, line);
    EXPECT_EQ(r.code, 2) << line;
    EXPECT_NE(r.err.find("cannot be an empty name"), std::string::npos) << line << ": " << r.err;
  }
  EXPECT_EQ(listing(dir), std::set<std::string>{});
}

TEST(CliOutput, AFullStandardOutputIsAnErrorNotASuccess) {
  const fs::path dir = workDir();
  writeFile(dir / "c.json", R"(["C", "G"])");
  writeFile(dir / "s.json", R"({"config": ["C", "G"]})");
  for (const char* line :
       {"tavrena check c.json", "tavrena state s.json", "tavrena defaults",
        "tavrena generate c.json --notes", "tavrena --help", "tavrena check --help"}) {
    const ToolResult r = shell(dir, std::string(line) + " >/dev/full");
    EXPECT_EQ(r.code, 2) << line;
    EXPECT_NE(r.err.find("tavrena: cannot write standard output\n"), std::string::npos) << line;
  }
}

TEST(CliOutput, OutputsNamingOneFileAreRefusedBeforeAnythingIsWritten) {
  const fs::path dir = workDir();
  writeFile(dir / "kept.mid", "old");
  fs::create_hard_link(dir / "kept.mid", dir / "hard.mid");
  fs::create_symlink("kept.mid", dir / "soft.mid");
  fs::create_symlink("new.mid", dir / "dangling.mid");
  const std::string up = "../" + dir.filename().string() + "/";
  for (const std::string& args : std::vector<std::string>{
           "-o x.mid --state x.mid", "-o x.mid --svg ./x.mid", "-o x.mid --state " + up + "x.mid",
           "-o kept.mid --state hard.mid", "-o soft.mid --svg kept.mid",
           "--svg dangling.mid -o new.mid", "-o /dev/stdout --state /dev/stdout"}) {
    const ToolResult r = shell(dir, "tavrena generate " + args);
    EXPECT_EQ(r.code, 2) << args;
    EXPECT_NE(r.err.find("are the same file"), std::string::npos) << args << ": " << r.err;
  }
  EXPECT_EQ(listing(dir),
            (std::set<std::string>{"kept.mid", "hard.mid", "soft.mid", "dangling.mid"}));
  EXPECT_EQ(slurpFile((dir / "kept.mid").string()), "old");
}

TEST(CliOutput, WhenOneOutputFailsNoneIsReplaced) {
  const fs::path dir = workDir();
  writeFile(dir / "a.mid", "old midi");
  writeFile(dir / "s.json", "old state");
  fs::create_directory(dir / "folder");
  for (const char* line : {"tavrena generate -o a.mid --state s.json --svg no/such/dir/r.svg",
                           "tavrena generate -o a.mid --state s.json --svg /dev/full",
                           "tavrena generate -o a.mid --state folder"}) {
    const ToolResult r = shell(dir, line);
    EXPECT_EQ(r.code, 2) << line;
    EXPECT_EQ(slurpFile((dir / "a.mid").string()), "old midi") << line;
    EXPECT_EQ(slurpFile((dir / "s.json").string()), "old state") << line;
    EXPECT_EQ(listing(dir), (std::set<std::string>{"a.mid", "s.json", "folder"})) << line;
  }
}

TEST(CliOutput, ReplacedFilesKeepTheirModeAndNeighboursAndLinksStay) {
  const fs::path dir = workDir();
  // A user's own file with the name of an old fixed temporary is none of our business.
  writeFile(dir / "solo.mid.part", "mine");
  writeFile(dir / "private.mid", "old");
  fs::permissions(dir / "private.mid", fs::perms::owner_read | fs::perms::owner_write);
  writeFile(dir / "real.mid", "old");
  fs::create_symlink("real.mid", dir / "link.mid");
  fs::create_directory(dir / "sub");
  fs::create_symlink("sub/made.mid", dir / "dangling.mid");

  ToolResult r = shell(dir, "tavrena generate -o private.mid --svg link.mid --state dangling.mid");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(isMidi(dir / "private.mid"));
  EXPECT_EQ(fs::status(dir / "private.mid").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(fs::is_symlink(dir / "link.mid"));
  EXPECT_EQ(slurpFile((dir / "real.mid").string()).rfind("<svg", 0), 0u);
  EXPECT_TRUE(fs::is_symlink(dir / "dangling.mid"));
  EXPECT_EQ(slurpFile((dir / "sub" / "made.mid").string()).rfind("{\"bars\"", 0), 0u);
  EXPECT_EQ(slurpFile((dir / "solo.mid.part").string()), "mine");
  EXPECT_EQ(listing(dir), (std::set<std::string>{"solo.mid.part", "private.mid", "real.mid",
                                                 "link.mid", "sub", "dangling.mid"}));

  // Read-only files are refused, whoever runs the tool.
  writeFile(dir / "locked.mid", "old");
  fs::permissions(dir / "locked.mid", fs::perms::owner_read | fs::perms::group_read);
  r = shell(dir, "tavrena generate -o locked.mid");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("cannot write 'locked.mid': the file is read-only"), std::string::npos);
  EXPECT_EQ(slurpFile((dir / "locked.mid").string()), "old");
}

TEST(CliOutput, DevicesAndPipesAreWrittenNotReplaced) {
  const fs::path dir = workDir();
  ToolResult r = shell(dir, "tavrena generate -o /dev/null --state /dev/stdout");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"bars\":8,", 0), 0u);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  r = shell(dir, "cat pipe >from-pipe.mid & tavrena generate -o pipe; wait");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(isMidi(dir / "from-pipe.mid"));
  EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
  EXPECT_EQ(listing(dir), (std::set<std::string>{"pipe", "from-pipe.mid"}));
}

// The tool waits on a pipe no one reads while its temporary for out.mid is
// complete: an interruption then must leave nothing behind.
TEST(CliOutput, InterruptionsRemoveTemporaries) {
  for (const int signal : {SIGINT, SIGTERM}) {
    const fs::path dir = workDir() / std::to_string(signal);
    fs::create_directories(dir);
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (chdir(dir.c_str()) != 0) _exit(127);
      execl(TAVRENA_EXE, TAVRENA_EXE, "generate", "-o", "out.mid", "--state", "pipe",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    bool temporarySeen = false;
    for (int i = 0; i < 500 && !temporarySeen; ++i) {
      temporarySeen = listing(dir).size() > 1;
      if (!temporarySeen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(temporarySeen);
    kill(child, signal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(listing(dir), std::set<std::string>{"pipe"}) << signal;
  }
}

}  // namespace
