// Damaged state streams, as a broken project file would deliver them: whatever the
// bytes, reading either yields a normalised state or fails and keeps the current one.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "memory_stream.h"
#include "state/state_stream.h"

namespace tavrena {
namespace {

std::string seedText() {
  Json notes = Json::array();
  for (int i = 0; i < 6; ++i)
    notes.push_back({{"start", i * 0.75}, {"length", 0.5}, {"pitch", 60 + i}, {"velocity", 90}});
  return serializeState(normalizeState(
      {{"config", {{"progression", {"Am", {{"chord", "F"}, {"bars", 0.5}}}}, {"seed", 7}}},
       {"variants", {notes, Json::array(), notes}},
       {"variation", 2}}));
}

std::string mutate(std::string text, std::mt19937& rng) {
  const char alphabet[] = "{}[]\",:0123456789.-eE truefalsnul\\\xC3\xA9\x80";
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits && !text.empty(); ++e) {
    const std::size_t at = rng() % text.size();
    switch (rng() % 4) {
      case 0:
        text[at] = alphabet[rng() % (sizeof alphabet - 1)];
        break;
      case 1:
        text.erase(at, 1 + rng() % 8);
        break;
      case 2:
        text.insert(at, 1, alphabet[rng() % (sizeof alphabet - 1)]);
        break;
      default:
        text.resize(at);
        break;
    }
  }
  return text;
}

TEST(StateStreamFuzz, DamagedStreamsNeverCorruptTheState) {
  const std::string seed = seedText();
  std::mt19937 rng(20240611);
  const Json sentinel = {{"current", true}};
  int accepted = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string text = mutate(seed, rng);
    testing::MemoryStream stream(text);
    stream.setReadPattern({static_cast<Steinberg::int32>(1 + rng() % 64)});
    Json out = sentinel;
    if (readStateStream(&stream, out)) {
      ++accepted;
      ASSERT_EQ(normalizeState(out), out) << text;
    } else {
      ASSERT_EQ(out, sentinel) << text;
    }
  }
  // Some damage is harmless (a changed digit); most is refused.
  EXPECT_GT(accepted, 0);
  EXPECT_LT(accepted, 3000);
}

}  // namespace
}  // namespace tavrena
