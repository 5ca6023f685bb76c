#pragma once
// Shared by the Windows transfer tests: a state with a solo, whole-file reads by wide
// path, the display check and a short message pump.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "midi/smf_writer.h"
#include "theory/json.h"

namespace tavrena::testing {

// Two notes in the selected variant, so the solo track is not empty.
inline Json soloState(const std::string& output) {
  const Json notes = {{{"start", 0.0}, {"length", 1.0}, {"pitch", 64}, {"velocity", 100}},
                      {{"start", 1.5}, {"length", 0.5}, {"pitch", 67}, {"velocity", 90}}};
  const Json config = {{"progression", {"Am", "F", "C", "G"}}, {"output", output}};
  return {{"config", config},
          {"variants", Json::array({Json::array(), notes, Json::array()})},
          {"variation", 1}};
}

// What export and drag must write for the state.
inline std::string fileBytes(const Json& state) {
  const std::vector<std::uint8_t> bytes = writeStandardMidiFile(state);
  return {bytes.begin(), bytes.end()};
}

inline std::string readWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Wine takes its display from the environment it was started in; without one the
// dialog fails as if cancelled and the drag cannot start.
inline bool haveDisplay() {
  wchar_t display[256];
  const DWORD length = GetEnvironmentVariableW(L"DISPLAY", display, 256);
  return length > 0 && length < 256;
}

// Lets the window system catch up (mapping, activation) without blocking on GetMessage.
inline void pumpMessages(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
}

}  // namespace tavrena::testing

#define SKIP_WITHOUT_DISPLAY()                                                        \
  do {                                                                                \
    if (!::tavrena::testing::haveDisplay())                                           \
      GTEST_SKIP() << "no display: run under xvfb-run for the dialog and drag tests"; \
  } while (false)
