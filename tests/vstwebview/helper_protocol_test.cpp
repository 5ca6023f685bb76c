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
  for (std::size_t i = 0; i + 1 < text.size(); i += text[i] == ' ' ? 1 : 2) {
    if (text[i] != ' ') out.push_back(char(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
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
  std::string error;  // empty unless the decoder failed
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
  EXPECT_EQ(decoder.Failed(), !decoder.Error().empty());
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
  return {Attach{std::numeric_limits<std::uint64_t>::max(), i32min, i32max, "tavrena://app/"},
          Attach{},
          Ready{},
          AddDocumentScript{""},
          Navigate{"tavrena://app/index.html"},
          Execute{u32max, ""},
          ExecuteResult{u32max, true, R"({"a":"Соло ✦ 𝄞"})"},
          ExecuteResult{0, false, ""},
          WebMessage{"with\0nul"s},
          ResourceRequest{u32max, "tavrena://app/app.js?v=2#x"},
          ResourceResponse{7, 200, "OK", "Content-Type: image/png\r\n", binary},
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
          Stopped{""},
          DragResult{true},
          DragResult{false}};
}

TEST(HelperProtocol, FramesHaveTheDocumentedBytes) {
  EXPECT_EQ(Encode(Execute{0x01020304, "ok"}), hex("0b 00 00 00"  // payload length 11
                                                   "05"           // Execute
                                                   "04 03 02 01"  // id, little-endian
                                                   "02 00 00 00"  // script length
                                                   "6f 6b"));     // "ok"
  EXPECT_EQ(Encode(Bounds{-1, 2, 640, 0x7fffffff}), hex("11 00 00 00 0b"
                                                        "ff ff ff ff"  // x = -1
                                                        "02 00 00 00 80 02 00 00 ff ff ff 7f"));
  EXPECT_EQ(Encode(Attach{0x1122334455667788, 1, 2, "/"}),
            hex("16 00 00 00 01"
                "88 77 66 55 44 33 22 11"  // host window, 64 bits
                "01 00 00 00 02 00 00 00 01 00 00 00 2f"));
  EXPECT_EQ(Encode(ResourceResponse{2, 404, "", "", "\0"s}),
            hex("14 00 00 00 09 02 00 00 00"
                "94 01"  // status 404, 16 bits
                "00 00 00 00 00 00 00 00"
                "01 00 00 00 00"));  // a body of one NUL
  EXPECT_EQ(Encode(ExecuteResult{1, true, ""}), hex("0a 00 00 00 06 01 00 00 00 01 00 00 00 00"));
  EXPECT_EQ(Encode(Close{}), hex("01 00 00 00 10"));
}

TEST(HelperProtocol, EveryMessageRoundTripsWhateverTheChunking) {
  const std::vector<Message> messages = everyMessage();
  std::set<std::size_t> kinds;
  std::string stream;
  for (const Message& m : messages) {
    kinds.insert(m.index());
    const Decoded d = decode(Encode(m));
    EXPECT_TRUE(d.error.empty() && d.messages == std::vector<Message>{m})
        << MessageName(m) << ": " << d.error;
    stream += Encode(m);
  }
  ASSERT_EQ(kinds.size(), std::variant_size_v<Message>) << "a message type is not covered";
  EXPECT_EQ(MessageName(SaveDialogResult{}), "SaveDialogResult");

  for (std::size_t split = 0; split <= stream.size(); ++split) {
    ASSERT_TRUE(decode(stream, {split}).messages == messages) << "split at " << split;
  }
  EXPECT_TRUE(decode(stream, std::vector<std::size_t>(stream.size(), 1)).messages == messages);
  EXPECT_TRUE(decode(stream, {3, 0, 5, 7, 11, 13, 1, 2, 64, 9}).messages == messages);
}

TEST(HelperProtocol, ManySmallFramesDecodeAndReleaseTheirBytes) {
  // Copying the rest of the buffer per message would cost some 50 GB of copying for the single
  // chunk; the decoder must keep to linear work and give consumed bytes back.
  constexpr int kFrames = 100000;
  auto nth = [](int i) {
    return i % 2 ? Message(Execute{std::uint32_t(i), "x"}) : Message(Focus{i % 4 == 0});
  };
  std::string stream;
  for (int i = 0; i < kFrames; ++i) stream += Encode(nth(i));
  for (const std::size_t chunk : {stream.size(), std::size_t{4096}, std::size_t{3}}) {
    FrameDecoder decoder;
    int count = 0;
    std::size_t mostHeld = 0;
    for (std::size_t pos = 0; pos < stream.size(); pos += chunk) {
      decoder.Feed(std::string_view(stream).substr(pos, chunk));
      mostHeld = std::max(mostHeld, decoder.Buffered());
      while (auto m = decoder.Next()) ASSERT_TRUE(*m == nth(count++)) << count;
    }
    EXPECT_EQ(count, kFrames);
    EXPECT_EQ(decoder.Buffered(), 0u);
    EXPECT_LE(mostHeld, chunk + 16);  // one partial frame left over at most
  }
}

TEST(HelperProtocol, MalformedFramesFailForGood) {
  // {bytes after a good Ready frame, error}
  const std::pair<std::string, std::string> rows[] = {
      {u32le(kMaxPayloadBytes + 1), "frame of 33554433 bytes exceeds the limit of 33554432 bytes"},
      {hex("ff ff ff ff"), "frame of 4294967295 bytes exceeds the limit of 33554432 bytes"},
      {frame(""), "empty frame without a message type"},
      {frame("\0"s), "unknown message type 0"},
      {frame('\x13', str("x")), "unknown message type 19"},
      {frame('\x04', u32le(10) + "abc"), "Navigate: field url runs past the end of the frame"},
      {frame("\x04\x01\x00"s), "Navigate: field url runs past the end of the frame"},
      {frame("\x05\x01\x02"), "Execute: field id runs past the end of the frame"},
      {frame('\x0b', u32le(1) + u32le(2) + u32le(3)),
       "Bounds: field height runs past the end of the frame"},
      {frame("\x10\x00"s), "Close: 1 trailing bytes in the frame"},
      {frame('\x04', str("a") + "zz"), "Navigate: 2 trailing bytes in the frame"},
      {frame('\x09', u32le(1) + "\xc8\x00"s + str("\xff") + str("") + str("")),
       "ResourceResponse: field reason is not valid UTF-8"},
      {frame("\x0c\x02"), "Focus: field take is not a boolean (2)"},
      {frame('\x06', u32le(1) + "\xff" + str("")),
       "ExecuteResult: field ok is not a boolean (255)"},
  };
  for (const auto& [bytes, error] : rows) {
    const std::string stream = Encode(Ready{}) + bytes;
    for (const Decoded& d :
         {decode(stream), decode(stream, std::vector<std::size_t>(stream.size(), 1))}) {
      EXPECT_EQ(d.error, error);
      // The good frame before the bad one comes out however the bytes arrived.
      EXPECT_TRUE(d.messages == std::vector<Message>{Ready{}}) << error;
    }
    // Sticky: valid frames after the bad one, in its chunk or later, are never decoded.
    FrameDecoder decoder;
    decoder.Feed(bytes + Encode(Close{}));
    EXPECT_FALSE(decoder.Next().has_value()) << error;
    decoder.Feed(Encode(Close{}));
    EXPECT_FALSE(decoder.Next().has_value()) << error;
    EXPECT_EQ(decoder.Error(), error);
    EXPECT_EQ(decoder.Buffered(), 0u) << error;
  }
}

TEST(HelperProtocol, OversizedLengthIsRefusedFromTheHeaderAlone) {
  // Frames before the bad header are handed out first; its payload is never held.
  FrameDecoder pending;
  pending.Feed(Encode(Ready{}) + Encode(Close{}) + u32le(kMaxPayloadBytes + 1) + "xyz");
  EXPECT_FALSE(pending.Failed());
  pending.Feed(std::string(100, 'x'));
  EXPECT_EQ(pending.Buffered(), 10u);
  EXPECT_TRUE(pending.Next() == std::optional<Message>(Ready{}));
  EXPECT_TRUE(pending.Next() == std::optional<Message>(Close{}));
  EXPECT_TRUE(pending.Failed());

  // The largest frame allowed is waited for, and decodes; one byte more cannot be encoded.
  FrameDecoder largest;
  std::string body(kMaxPayloadBytes - 1 - 4 - 2 - 3 * 4, '\0');
  const Message big = ResourceResponse{1, 200, "", "", body};
  const std::string bytes = Encode(big);
  ASSERT_EQ(bytes.size(), kHeaderBytes + kMaxPayloadBytes);
  largest.Feed(std::string_view(bytes).substr(0, 5));
  EXPECT_FALSE(largest.Failed() || largest.Next());
  largest.Feed(std::string_view(bytes).substr(5));
  EXPECT_TRUE(largest.Next() == std::optional<Message>(big)) << largest.Error();
  body.push_back('\0');
  EXPECT_THROW_MSG(Encode(ResourceResponse{1, 200, "", "", body}), std::length_error,
                   "ResourceResponse: field body makes the frame exceed 33554432 bytes");
}

TEST(HelperProtocol, TextsMustBeStrictUtf8ButPathsAreBytes) {
  // Each sequence length's limits, and the forms just beyond them.
  const std::string valid[] = {"\x7f",         "\xc2\x80",         "\xdf\xbf",
                               "\xe0\xa0\x80", "\xed\x9f\xbf",     "\xee\x80\x80",
                               "\xef\xbf\xbf", "\xf0\x90\x80\x80", "\xf4\x8f\xbf\xbf"};
  // A lone continuation, overlong forms, a surrogate, beyond U+10FFFF, cut short, bad or stray
  // continuation bytes.
  const std::string invalid[] = {"\x80",
                                 "\xc0\x80",
                                 "\xc1\xbf",
                                 "\xe0\x9f\xbf",
                                 "\xf0\x8f\xbf\xbf",
                                 "\xed\xa0\x80",
                                 "\xf4\x90\x80\x80",
                                 "\xf5\x80\x80\x80",
                                 "\xe2\x82",
                                 "a\xe2\x82",
                                 "\xe2\x28\xa1",
                                 "\xf0\x90\x80\x80\x80"};
  for (const std::string& text : valid) {
    EXPECT_TRUE(decode(frame('\x04', str(text))).messages == std::vector<Message>{Navigate{text}});
    EXPECT_EQ(Encode(Navigate{text}), frame('\x04', str(text)));
  }
  for (const std::string& text : invalid) {
    EXPECT_EQ(decode(frame('\x04', str(text))).error, "Navigate: field url is not valid UTF-8")
        << testing::PrintToString(text);
    EXPECT_THROW_MSG(Encode(Navigate{text}), std::invalid_argument,
                     "Navigate: field url is not valid UTF-8");
    EXPECT_TRUE(decode(Encode(DragFile{text})).messages == std::vector<Message>{DragFile{text}});
  }
}

TEST(HelperProtocol, NavigationStaysUnderTheOrigin) {
  for (const char* uri : {"tavrena://app/", "tavrena://app/app.js?v=1#x"}) {
    EXPECT_TRUE(IsNavigationAllowed(uri, "tavrena://app/")) << uri;
  }
  for (const char* uri : {"tavrena://app", "tavrena://appx/", "tavrena://app.evil.example/",
                          "TAVRENA://app/", "https://app/", " tavrena://app/", ""}) {
    EXPECT_FALSE(IsNavigationAllowed(uri, "tavrena://app/")) << uri;
  }
  // An origin without its slash, or none at all, admits nothing rather than every prefix match.
  EXPECT_FALSE(IsNavigationAllowed("tavrena://appx/", "tavrena://app"));
  EXPECT_FALSE(IsNavigationAllowed("tavrena://app/index.html", "tavrena://app"));
  EXPECT_FALSE(IsNavigationAllowed("anything", ""));
}

TEST(HelperProtocol, ServerResponsesBecomeResponseMessages) {
  vstwebview::ResourceResponse served{true,
                                      200,
                                      "OK",
                                      "image/png",
                                      "Content-Type: image/png\r\nCache-Control: no-store\r\n",
                                      "\x89PNG\r\n\x1a\n\0\0"s};
  const ResourceResponse ok = ResponseMessage(0xffffffff, served);
  EXPECT_TRUE(ok == (ResourceResponse{0xffffffff, 200, "OK", served.headers, served.body}));
  served = {true, 404, "Not Found", "text/plain", "Content-Type: text/plain\r\n", ""};
  EXPECT_TRUE(ResponseMessage(5, served) ==
              (ResourceResponse{5, 404, "Not Found", served.headers, ""}));
  // Outside the origin: the helper has nowhere to let the request through to.
  EXPECT_TRUE(ResponseMessage(6, {}) == (ResourceResponse{6, 404, "Not Found", "", ""}));
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
