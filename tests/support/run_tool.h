#pragma once
// Runs the built `tavrena` executable as a user would and captures what it says.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "work_dir.h"

namespace tavrena::testing {

struct ToolResult {
  int code = -1;
  std::string out;
  std::string err;
};

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
