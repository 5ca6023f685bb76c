// The state streams as hosts drive them: round trips, short reads, failing writes,
// the size limit, and a refused stream never touching the caller's state.
#include <gtest/gtest.h>

#include <string>

#include "memory_stream.h"
#include "state/state_stream.h"

namespace tavrena {
namespace {

using testing::MemoryStream;
using testing::RepeatedByteStream;

// A state whose text spans several read buffers: 300 notes in variant 1.
Json busyState() {
  Json notes = Json::array();
  for (int i = 0; i < 300; ++i)
    notes.push_back(
        {{"start", i * 0.1}, {"length", 0.05}, {"pitch", 40 + i % 48}, {"velocity", 1 + i % 127}});
  Json input = {
      {"config", {{"progression", {"Am", "Dm", "E7"}}, {"repeats", 3}, {"output", "Соло.mid"}}},
      {"variation", 1},
      {"sync", true},
      {"variants", {Json::array(), notes, Json::array()}}};
  return normalizeState(input);
}

// Something that differs from every state a test reads, to see it left alone.
Json sentinel() {
  return {{"caller", "state"}};
}

TEST(StateStream, WritesTheCompactTextInOneCallAndReadsItBack) {
  const Json state = busyState();
  MemoryStream stream;
  ASSERT_EQ(writeStateStream(&stream, state), Steinberg::kResultOk);
  EXPECT_EQ(stream.writeCalls(), 1);
  EXPECT_EQ(stream.data(), serializeState(state));
  EXPECT_GT(stream.data().size(), 3u * 4096u);
  EXPECT_EQ(stream.data().substr(0, 10), "{\"bars\":9,");  // no byte-order mark, no blanks
  EXPECT_EQ(stream.data().back(), '}');                    // no terminator

  stream.rewind();
  Json out = sentinel();
  ASSERT_TRUE(readStateStream(&stream, out));
  EXPECT_EQ(out, state);
}

TEST(StateStream, FragmentedReadsAreJoined) {
  const Json state = busyState();
  const std::vector<std::vector<Steinberg::int32>> patterns = {
      {1}, {1, 7, 4095, 13, 4096}, {4096}, {3000, 1}};
  for (const auto& pattern : patterns) {
    MemoryStream stream(serializeState(state));
    stream.setReadPattern(pattern);
    Json out = sentinel();
    EXPECT_TRUE(readStateStream(&stream, out)) << pattern.size();
    EXPECT_EQ(out, state);
  }
}

TEST(StateStream, AStreamThatFailsSilentlyAtItsEndStillEnds) {
  // The count of the previous call must not be taken again.
  MemoryStream stream(serializeState(busyState()));
  stream.setSilentEnd(true);
  Json out = sentinel();
  EXPECT_TRUE(readStateStream(&stream, out));
  EXPECT_EQ(out, busyState());
}

TEST(StateStream, RefusedStreamsLeaveTheCallersStateUntouched) {
  const char* texts[] = {
      "",                     // empty stream
      "{",                    // truncated
      "{} // comment",        // comments are not JSON
      "[1, 2]",               // not an object
      R"({"variation": 3})",  // refused by the normaliser
      R"({"variants": [[], [], [{"start": 99, "length": 1, "pitch": 60, "velocity": 9}]]})",
      "\xEF\xBB",                                // half a byte-order mark
      "{\"config\": [\"C\"], \"x\": \"\xC3\"}",  // invalid UTF-8
  };
  for (const char* text : texts) {
    MemoryStream stream(text);
    Json out = sentinel();
    EXPECT_FALSE(readStateStream(&stream, out)) << text;
    EXPECT_EQ(out, sentinel()) << text;
  }
  Json out = sentinel();
  EXPECT_FALSE(readStateStream(nullptr, out));
  EXPECT_EQ(out, sentinel());
}

TEST(StateStream, AcceptsSurroundingWhitespace) {
  MemoryStream stream(" \n\t{\"variation\": 2}\r\n ");
  Json out;
  ASSERT_TRUE(readStateStream(&stream, out));
  EXPECT_EQ(out.at("variation"), 2);
}

TEST(StateStream, ReadsThatClaimMoreThanTheBufferAreRefused) {
  RepeatedByteStream stream("{}", ' ', 10000);
  stream.setOverReport(true);
  Json out = sentinel();
  EXPECT_FALSE(readStateStream(&stream, out));
  EXPECT_EQ(out, sentinel());
}

TEST(StateStream, SizeLimitIsExact) {
  // "{}" padded with blanks to exactly the limit is a valid (default) state; one more
  // byte and the read fails before parsing. The streams generate their bytes.
  RepeatedByteStream atLimit("{}", ' ', static_cast<Steinberg::int64>(kMaxStateBytes));
  Json out = sentinel();
  ASSERT_TRUE(readStateStream(&atLimit, out));
  EXPECT_EQ(out, defaultState());

  RepeatedByteStream overLimit("{}", ' ', static_cast<Steinberg::int64>(kMaxStateBytes) + 1);
  out = sentinel();
  EXPECT_FALSE(readStateStream(&overLimit, out));
  EXPECT_EQ(out, sentinel());
}

TEST(StateStream, FailedWritesAreReported) {
  const Json state = busyState();
  {
    MemoryStream shortWrite;
    shortWrite.setWriteLimit(100);  // accepts part of the text, says OK
    EXPECT_EQ(writeStateStream(&shortWrite, state), Steinberg::kResultFalse);
  }
  {
    MemoryStream refusing;
    refusing.setWriteResult(Steinberg::kResultFalse);  // stores everything, says no
    EXPECT_EQ(writeStateStream(&refusing, state), Steinberg::kResultFalse);
  }
  EXPECT_EQ(writeStateStream(nullptr, state), Steinberg::kInvalidArgument);
  {
    // Text that cannot be written as UTF-8 is not written at all.
    MemoryStream stream;
    Json bad = state;
    bad["config"]["output"] = std::string("\xFF");
    EXPECT_EQ(writeStateStream(&stream, bad), Steinberg::kResultFalse);
    EXPECT_EQ(stream.writeCalls(), 0);
  }
}

}  // namespace
}  // namespace tavrena
