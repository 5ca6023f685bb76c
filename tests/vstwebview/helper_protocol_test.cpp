// The plug-in <-> browser helper protocol: exact frame bytes, round trips of every message,
// any chunking of the stream, every malformed frame refused for good, and the shared rules for
// navigation and resource answers.
#include "vstwebview/helper_protocol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "expect_throw_msg.h"

namespace vstwebview::helper {
namespace {

using namespace std::string_literals;

// "05 00 0a" -> the three bytes.
std::string hex(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    i += 2;
  }
  return out;
}

std::string u32le(std::uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}

// A frame around a hand-built payload (type byte first).
std::string frame(const std::string& payload) {
  return u32le(payload.size()) + payload;
}
std::string frame(char type, const std::string& fields) {
  std::string payload(1, type);
  payload += fields;
  return frame(payload);
}
std::string str(const std::string& s) {
  return u32le(s.size()) + s;
}

struct Decoded {
  std::vector<Message> messages;
  bool failed = false;
  std::string error;
};

// Feeds stream in pieces of the given sizes (the rest in one piece), taking messages after each.
Decoded decode(const std::string& stream, const std::vector<std::size_t>& pieces = {}) {
  FrameDecoder decoder;
  Decoded out;
  std::size_t pos = 0;
  auto drain = [&] {
    while (auto m = decoder.Next()) out.messages.push_back(std::move(*m));
  };
  for (std::size_t piece : pieces) {
    decoder.Feed(std::string_view(stream).substr(pos, piece));
    pos = std::min(stream.size(), pos + piece);
    drain();
  }
  decoder.Feed(std::string_view(stream).substr(pos));
  drain();
  out.failed = decoder.Failed();
  out.error = decoder.Error();
  return out;
}

// Every message type, with the edge values of its fields.
std::vector<Message> everyMessage() {
  constexpr auto u32max = std::numeric_limits<std::uint32_t>::max();
  constexpr auto i32min = std::numeric_limits<std::int32_t>::min();
  constexpr auto i32max = std::numeric_limits<std::int32_t>::max();
  const std::string binary = "\0\x01\xff\xfe\r\n\0"s;
  const std::string notUtf8Path = "/tmp/\xff\xc0/solo.mid";
  return {
      Attach{std::numeric_limits<std::uint64_t>::max(), i32min, i32max, "tavrena://app/"},
      Attach{},
      Ready{},
      AddDocumentScript{"(function() { var name = 'tavrenaRead'; })()"},
      AddDocumentScript{""},
      Navigate{"tavrena://app/index.html"},
      Execute{u32max, "window._rpc[3].resolve(true); delete window._rpc[3]"},
      Execute{0, ""},
      ExecuteResult{u32max, true, R"({"a":"Соло ✦ 𝄞"})"},
      ExecuteResult{1, false, ""},
      WebMessage{R"({"id":1,"method":"tavrenaRead","params":[]})"},
      WebMessage{"with\0nul"s},
      ResourceRequest{u32max, "tavrena://app/app.js?v=2#x"},
      ResourceResponse{7, 200, "OK", "Content-Type: image/png\r\nCache-Control: no-store\r\n",
                       binary},
      ResourceResponse{u32max, 65535, "", "", ""},
      NavigationBlocked{"https://example.com/"},
      Bounds{i32min, -1, 0, i32max},
      Focus{true},
      Focus{false},
      SaveDialog{u32max, "solo.mid", "Экспорт MIDI"},
      SaveDialogResult{3, notUtf8Path},
      SaveDialogResult{4, ""},
      DragFile{notUtf8Path},
      Close{},
      Stopped{"WebKit web process crashed"},
      Stopped{""},
  };
}

std::string encodeAll(const std::vector<Message>& messages) {
  std::string stream;
  for (const Message& m : messages) stream += Encode(m);
  return stream;
}

TEST(HelperProtocol, FramesHaveTheDocumentedBytes) {
  EXPECT_EQ(Encode(Execute{0x01020304, "ok"}), hex("0b 00 00 00"       // payload length 11
                                                   "05"                // Execute
                                                   "04 03 02 01"       // id, little-endian
                                                   "02 00 00 00"       // script length
                                                   "6f 6b"));          // "ok"
  EXPECT_EQ(Encode(Bounds{-1, 2, 640, 0x7fffffff}), hex("11 00 00 00"  // 17
                                                        "0b"           // Bounds
                                                        "ff ff ff ff"  // x = -1
                                                        "02 00 00 00"  // y
                                                        "80 02 00 00"  // width 640
                                                        "ff ff ff 7f"));
  EXPECT_EQ(Encode(ExecuteResult{1, true, ""}), hex("0a 00 00 00 06 01 00 00 00"
                                                    "01"              // ok
                                                    "00 00 00 00"));  // empty JSON text
  EXPECT_EQ(Encode(Attach{0x1122334455667788, 1, 2, "/"}),
            hex("16 00 00 00 01"
                "88 77 66 55 44 33 22 11"  // host window, 64 bits
                "01 00 00 00 02 00 00 00"
                "01 00 00 00 2f"));
  EXPECT_EQ(Encode(ResourceResponse{2, 404, "", "", "\0"s}),
            hex("14 00 00 00 09 02 00 00 00"  // 20
                "94 01"                       // status 404, 16 bits
                "00 00 00 00 00 00 00 00"
                "01 00 00 00 00"));  // a body of one NUL
  EXPECT_EQ(Encode(Close{}), hex("01 00 00 00 10"));
  EXPECT_EQ(Encode(Focus{true}), hex("02 00 00 00 0c 01"));
}

TEST(HelperProtocol, EveryMessageRoundTripsWithEdgeValues) {
  const std::vector<Message> messages = everyMessage();
  std::set<std::size_t> kinds;
  for (const Message& m : messages) kinds.insert(m.index());
  ASSERT_EQ(kinds.size(), std::variant_size_v<Message>) << "a message type is not covered";

  for (const Message& m : messages) {
    const Decoded d = decode(Encode(m));
    ASSERT_FALSE(d.failed) << MessageName(m) << ": " << d.error;
    ASSERT_EQ(d.messages.size(), 1u) << MessageName(m);
    EXPECT_TRUE(d.messages[0] == m) << MessageName(m);
  }
  EXPECT_EQ(MessageName(SaveDialogResult{}), "SaveDialogResult");
}

TEST(HelperProtocol, AnyChunkingGivesTheSameMessages) {
  const std::vector<Message> messages = everyMessage();
  const std::string stream = encodeAll(messages);
  for (std::size_t split = 0; split <= stream.size(); ++split) {
    const Decoded d = decode(stream, {split});
    ASSERT_FALSE(d.failed) << split;
    ASSERT_TRUE(d.messages == messages) << "split at " << split;
  }
  const Decoded bytewise = decode(stream, std::vector<std::size_t>(stream.size(), 1));
  EXPECT_TRUE(bytewise.messages == messages);
  const Decoded odd = decode(stream, {3, 0, 5, 7, 11, 13, 1, 2, 64, 9});
  EXPECT_TRUE(odd.messages == messages);
}

TEST(HelperProtocol, ManySmallFramesDecodeAndReleaseTheirBytes) {
  // Copying the rest of the buffer per message would make the single chunk cost some 50 GB of
  // copying; the decoder must keep to linear work and give consumed bytes back.
  constexpr int kFrames = 100000;
  std::string stream;
  for (int i = 0; i < kFrames; ++i) {
    stream += Encode(i % 2 ? Message(Execute{static_cast<std::uint32_t>(i), "x"})
                           : Message(Focus{i % 4 == 0}));
  }
  auto check = [&](FrameDecoder& decoder, std::size_t chunk) {
    int count = 0;
    std::size_t mostHeld = 0;
    for (std::size_t pos = 0; pos < stream.size(); pos += chunk) {
      decoder.Feed(std::string_view(stream).substr(pos, chunk));
      mostHeld = std::max(mostHeld, decoder.Buffered());
      while (auto m = decoder.Next()) {
        const bool expected = count % 2 ? *m == Message(Execute{std::uint32_t(count), "x"})
                                        : *m == Message(Focus{count % 4 == 0});
        ASSERT_TRUE(expected) << count;
        ++count;
      }
    }
    EXPECT_EQ(count, kFrames);
    EXPECT_EQ(decoder.Buffered(), 0u);
    EXPECT_LE(mostHeld, chunk + 16);  // one partial frame left over at most
  };
  FrameDecoder whole, pieces, tiny;
  check(whole, stream.size());
  check(pieces, 4096);
  check(tiny, 3);
}

TEST(HelperProtocol, MalformedFramesFailForGood) {
  const std::string tooLong = u32le(kMaxPayloadBytes + 1);
  struct Row {
    std::string name;
    std::string bytes;
    std::string error;
  };
  const Row rows[] = {
      {"oversized", tooLong, "frame of 33554433 bytes exceeds the limit of 33554432 bytes"},
      {"huge", hex("ff ff ff ff"), "frame of 4294967295 bytes exceeds the limit of 33554432 bytes"},
      {"empty", frame(""), "empty frame without a message type"},
      {"type 0", frame("\0"s), "unknown message type 0"},
      {"type 18", frame("\x12"), "unknown message type 18"},
      {"type 255", frame('\xff', str("x")), "unknown message type 255"},
      {"text past end", frame('\x04', u32le(10) + "abc"),
       "Navigate: field url runs past the end of the frame"},
      {"length prefix cut", frame("\x04\x01\x00"s),
       "Navigate: field url runs past the end of the frame"},
      {"integer cut", frame("\x05\x01\x02"), "Execute: field id runs past the end of the frame"},
      {"field missing", frame('\x0b', u32le(1) + u32le(2) + u32le(3)),
       "Bounds: field height runs past the end of the frame"},
      {"trailing in Close", frame("\x10\x00"s), "Close: 1 trailing bytes in the frame"},
      {"trailing in Navigate", frame('\x04', str("a") + "zz"),
       "Navigate: 2 trailing bytes in the frame"},
      {"overlong UTF-8", frame('\x07', str("\xc0\x80")),
       "WebMessage: field text is not valid UTF-8"},
      {"bad reason", frame('\x09', u32le(1) + "\xc8\x00"s + str("\xff") + str("") + str("")),
       "ResourceResponse: field reason is not valid UTF-8"},
      {"bool 2", frame("\x0c\x02"), "Focus: field take is not a boolean (2)"},
      {"bool 255", frame('\x06', u32le(1) + "\xff" + str("")),
       "ExecuteResult: field ok is not a boolean (255)"},
  };
  for (const Row& row : rows) {
    for (const bool bytewise : {false, true}) {
      const std::string stream = Encode(Ready{}) + row.bytes;
      const Decoded d = decode(stream, bytewise ? std::vector<std::size_t>(stream.size(), 1)
                                                : std::vector<std::size_t>{});
      EXPECT_TRUE(d.failed) << row.name;
      EXPECT_EQ(d.error, row.error) << row.name;
      // The good frame before the bad one is delivered, however the bytes arrived.
      EXPECT_TRUE(d.messages == std::vector<Message>{Ready{}}) << row.name;
    }
    // Sticky: valid frames after the bad one, in its chunk or later, are never decoded.
    FrameDecoder decoder;
    decoder.Feed(row.bytes + Encode(Close{}));
    EXPECT_FALSE(decoder.Next().has_value()) << row.name;
    decoder.Feed(Encode(Close{}));
    EXPECT_FALSE(decoder.Next().has_value()) << row.name;
    EXPECT_EQ(decoder.Error(), row.error) << row.name;
    EXPECT_EQ(decoder.Buffered(), 0u) << row.name;
  }
}

TEST(HelperProtocol, OversizedLengthIsRefusedFromTheHeaderAlone) {
  // Frames before the bad header are handed out first; its payload is never held.
  FrameDecoder pending;
  pending.Feed(Encode(Ready{}) + Encode(Close{}) + u32le(kMaxPayloadBytes + 1) + "xyz");
  EXPECT_FALSE(pending.Failed());
  EXPECT_EQ(pending.Buffered(), 10u);
  pending.Feed(std::string(100, 'x'));
  EXPECT_EQ(pending.Buffered(), 10u);
  EXPECT_TRUE(pending.Next() == std::optional<Message>(Ready{}));
  EXPECT_TRUE(pending.Next() == std::optional<Message>(Close{}));
  EXPECT_TRUE(pending.Failed());
  EXPECT_FALSE(pending.Next().has_value());

  FrameDecoder decoder;
  decoder.Feed(u32le(kMaxPayloadBytes + 1).substr(0, 3));
  EXPECT_FALSE(decoder.Failed());
  decoder.Feed(u32le(kMaxPayloadBytes + 1).substr(3));
  EXPECT_TRUE(decoder.Failed());
  EXPECT_EQ(decoder.Buffered(), 0u);

  // The largest frame allowed is waited for, and decodes.
  FrameDecoder largest;
  const std::size_t bodyBytes = kMaxPayloadBytes - 1 - 4 - 2 - 3 * 4;
  const Message big = ResourceResponse{1, 200, "", "", std::string(bodyBytes, '\0')};
  const std::string bytes = Encode(big);
  ASSERT_EQ(bytes.size(), kHeaderBytes + kMaxPayloadBytes);
  largest.Feed(std::string_view(bytes).substr(0, 5));
  EXPECT_FALSE(largest.Failed());
  EXPECT_FALSE(largest.Next().has_value());
  largest.Feed(std::string_view(bytes).substr(5));
  const auto decoded = largest.Next();
  ASSERT_TRUE(decoded.has_value()) << largest.Error();
  EXPECT_TRUE(*decoded == big);
}

TEST(HelperProtocol, TextsMustBeStrictUtf8) {
  // {text, valid}: the limits of each sequence length, and the forms just beyond them.
  const std::pair<std::string, bool> rows[] = {
      {"\x7f", true},
      {"\xc2\x80", true},           // U+0080
      {"\xdf\xbf", true},           // U+07FF
      {"\xe0\xa0\x80", true},       // U+0800
      {"\xed\x9f\xbf", true},       // U+D7FF
      {"\xee\x80\x80", true},       // U+E000
      {"\xef\xbf\xbf", true},       // U+FFFF
      {"\xf0\x90\x80\x80", true},   // U+10000
      {"\xf4\x8f\xbf\xbf", true},   // U+10FFFF
      {"\x80", false},              // continuation without a lead
      {"\xc0\x80", false},          // overlong NUL
      {"\xc1\xbf", false},          // overlong
      {"\xe0\x9f\xbf", false},      // overlong U+07FF
      {"\xed\xa0\x80", false},      // surrogate U+D800
      {"\xf0\x8f\xbf\xbf", false},  // overlong U+FFFF
      {"\xf4\x90\x80\x80", false},  // above U+10FFFF
      {"\xf5\x80\x80\x80", false},
      {"\xe2\x82", false},  // cut short
      {"a\xe2\x82", false},
      {"\xe2\x28\xa1", false},          // bad continuation
      {"\xf0\x90\x80\x80\x80", false},  // stray continuation after a full sequence
  };
  for (const auto& [text, valid] : rows) {
    const Decoded d = decode(frame('\x04', str(text)));
    EXPECT_EQ(d.failed, !valid) << testing::PrintToString(text);
    if (valid) {
      EXPECT_TRUE(d.messages == std::vector<Message>{Navigate{text}});
      EXPECT_EQ(Encode(Navigate{text}), frame('\x04', str(text)));
      continue;
    }
    EXPECT_EQ(d.error, "Navigate: field url is not valid UTF-8");
    EXPECT_THROW_MSG(Encode(Navigate{text}), std::invalid_argument,
                     "Navigate: field url is not valid UTF-8");
    // Paths are byte strings: the same bytes pass.
    EXPECT_TRUE(decode(Encode(DragFile{text})).messages == std::vector<Message>{DragFile{text}});
  }
}

TEST(HelperProtocol, EncodeRefusesFramesAboveTheLimit) {
  const std::string body(kMaxPayloadBytes, 'x');
  EXPECT_THROW_MSG(Encode(ResourceResponse{1, 200, "OK", "", body}), std::length_error,
                   "ResourceResponse: field body makes the frame exceed 33554432 bytes");
  EXPECT_THROW_MSG(Encode(WebMessage{body}), std::length_error,
                   "WebMessage: field text makes the frame exceed 33554432 bytes");
}

TEST(HelperProtocol, NavigationStaysUnderTheOrigin) {
  const std::string origin = "tavrena://app/";
  // {uri, allowed}
  const std::pair<std::string, bool> rows[] = {
      {"tavrena://app/", true},
      {"tavrena://app/index.html", true},
      {"tavrena://app/app.js?v=1#x", true},
      {"tavrena://app", false},  // the origin without its slash is not under it
      {"tavrena://appx/", false},
      {"tavrena://app.evil.example/", false},
      {"TAVRENA://app/", false},
      {"https://app/", false},
      {"tavrena:/app/", false},
      {" tavrena://app/", false},
      {"", false},
  };
  for (const auto& [uri, allowed] : rows)
    EXPECT_EQ(IsNavigationAllowed(uri, origin), allowed) << uri;
  // An origin without its slash, or none at all, admits nothing rather than every prefix match.
  EXPECT_FALSE(IsNavigationAllowed("tavrena://appx/", "tavrena://app"));
  EXPECT_FALSE(IsNavigationAllowed("tavrena://app/index.html", "tavrena://app"));
  EXPECT_FALSE(IsNavigationAllowed("anything", ""));
  EXPECT_FALSE(IsNavigationAllowed("", ""));
}

TEST(HelperProtocol, ServerResponsesBecomeResponseMessages) {
  vstwebview::ResourceResponse served;
  served.handled = true;
  served.status = 200;
  served.reason = "OK";
  served.contentType = "image/png";
  served.headers = "Content-Type: image/png\r\nCache-Control: no-store\r\n";
  served.body = "\x89PNG\r\n\x1a\n\0\0"s;
  const ResourceResponse ok = ResponseMessage(0xffffffff, served);
  EXPECT_TRUE(ok == (ResourceResponse{0xffffffff, 200, "OK", served.headers, served.body}));
  EXPECT_TRUE(decode(Encode(ok)).messages == std::vector<Message>{ok});

  served.status = 404;
  served.reason = "Not Found";
  served.headers = "Content-Type: text/plain\r\n";
  served.body.clear();
  EXPECT_TRUE(ResponseMessage(5, served) ==
              (ResourceResponse{5, 404, "Not Found", served.headers, ""}));

  // Outside the origin: the helper has nowhere to let the request through to.
  const vstwebview::ResourceResponse notOurs;
  EXPECT_TRUE(ResponseMessage(6, notOurs) == (ResourceResponse{6, 404, "Not Found", "", ""}));

  // A status that HTTP (and the 16-bit field) cannot carry is a server fault, never truncated.
  for (const int status : {0, 99, 600, 70000, -200}) {
    served.status = status;
    EXPECT_TRUE(ResponseMessage(8, served) ==
                (ResourceResponse{8, 500, "Internal Server Error", "", ""}))
        << status;
  }
}

}  // namespace
}  // namespace vstwebview::helper
