#pragma once
// Runs the built `tavrena` executable as a user would and captures what it says.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tavrena::testing {

struct ToolResult {
  int code = -1;
  std::string out;
  std::string err;
};

inline std::string slurpFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh, empty working folder for the running test, under TempDir()/area.
inline std::filesystem::path freshWorkDir(const std::string& area) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::filesystem::path dir =
      std::filesystem::path(::testing::TempDir()) / area / info->name();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Runs `tavrena ARGS` with INPUT on standard input, inside workDir when given.
// CTest runs tests in parallel processes, so the capture files are per process.
inline ToolResult runTool(const std::string& args, const std::string& input = "",
                          const std::string& workDir = "") {
  const std::string files = ::testing::TempDir() + "tavrena_tool_" + std::to_string(getpid()) + "_";
  const std::string in = files + "in.txt", out = files + "out.txt", err = files + "err.txt";
  std::ofstream(in, std::ios::binary) << input;
  std::string command = workDir.empty() ? "" : "cd '" + workDir + "' && ";
  command += std::string("'") + TAVRENA_EXE + "' " + args + " <'" + in + "' >'" + out + "' 2>'" +
             err + "'";
  const int status = std::system(command.c_str());
  ToolResult r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = slurpFile(out);
  r.err = slurpFile(err);
  return r;
}

}  // namespace tavrena::testing
