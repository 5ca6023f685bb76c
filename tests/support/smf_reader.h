#pragma once
// A strict Standard MIDI File reader for tests, written independently of the writer:
// it checks the header, every chunk length, every delta time, that each track ends
// with exactly one end-of-track event, and that no running status is used.
// Problems are reported as std::runtime_error naming the offset.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavrena::testing {

struct SmfEvent {
  std::int64_t tick = 0;            // absolute
  std::vector<std::uint8_t> bytes;  // status byte and data, or FF type length data
  friend bool operator==(const SmfEvent&, const SmfEvent&) = default;
};

struct SmfTrack {
  std::vector<SmfEvent> events;  // without the end-of-track event
  std::int64_t endTick = 0;      // tick of the end-of-track event
};

struct SmfFile {
  int format = -1;
  int division = 0;
  std::vector<SmfTrack> tracks;
};

class SmfReader {
 public:
  static SmfFile read(const std::vector<std::uint8_t>& data) { return SmfReader(data).file(); }

  // Decodes a variable-length quantity of at most four bytes (the file format's limit).
  static std::uint32_t variableLength(const std::vector<std::uint8_t>& data, std::size_t& pos) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      if (pos >= data.size()) fail(pos, "variable-length quantity runs past the end");
      const std::uint8_t byte = data[pos++];
      value = (value << 7) | (byte & 0x7Fu);
      if ((byte & 0x80u) == 0) return value;
    }
    fail(pos, "variable-length quantity longer than four bytes");
  }

 private:
  explicit SmfReader(const std::vector<std::uint8_t>& data) : data_(data) {}

  [[noreturn]] static void fail(std::size_t pos, const std::string& what) {
    throw std::runtime_error("offset " + std::to_string(pos) + ": " + what);
  }

  std::uint32_t be(std::size_t pos, int bytes) const {
    if (pos + bytes > data_.size()) fail(pos, "truncated");
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | data_[pos + i];
    return v;
  }

  void expectTag(std::size_t pos, const char* tag) const {
    if (pos + 4 > data_.size() || std::string(data_.begin() + pos, data_.begin() + pos + 4) != tag)
      fail(pos, std::string("expected ") + tag);
  }

  SmfFile file() {
    SmfFile f;
    expectTag(0, "MThd");
    if (be(4, 4) != 6) fail(4, "header length is not 6");
    f.format = static_cast<int>(be(8, 2));
    const std::uint32_t tracks = be(10, 2);
    f.division = static_cast<int>(be(12, 2));
    std::size_t pos = 14;
    for (std::uint32_t t = 0; t < tracks; ++t) {
      expectTag(pos, "MTrk");
      const std::size_t length = be(pos + 4, 4);
      const std::size_t end = pos + 8 + length;
      if (end > data_.size()) fail(pos + 4, "chunk length runs past the end of the file");
      f.tracks.push_back(track(pos + 8, end));
      pos = end;
    }
    if (pos != data_.size()) fail(pos, "bytes after the last track");
    return f;
  }

  SmfTrack track(std::size_t pos, std::size_t end) {
    SmfTrack t;
    std::int64_t tick = 0;
    while (pos < end) {
      tick += variableLength(data_, pos);
      if (pos >= end) fail(pos, "delta time without an event");
      const std::size_t start = pos;
      const std::uint8_t status = data_[pos++];
      if (status < 0x80) fail(start, "running status or stray data byte");
      if (status == 0xFF) {
        if (pos >= end) fail(pos, "meta event without a type");
        const std::uint8_t type = data_[pos++];
        const std::uint32_t length = variableLength(data_, pos);
        pos += length;
        if (pos > end) fail(start, "meta event runs past the chunk");
        if (type == 0x2F) {
          if (length != 0) fail(start, "end of track with data");
          if (pos != end) fail(pos, "events after the end of track");
          t.endTick = tick;
          return t;
        }
      } else if (status == 0xF0 || status == 0xF7) {
        pos += variableLength(data_, pos);
        if (pos > end) fail(start, "system exclusive runs past the chunk");
      } else {
        const int kind = status & 0xF0;
        const std::size_t dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        for (std::size_t i = 0; i < dataBytes; ++i) {
          if (pos >= end || data_[pos] >= 0x80) fail(pos, "channel message data byte missing");
          ++pos;
        }
      }
      t.events.push_back(
          {tick, std::vector<std::uint8_t>(data_.begin() + start, data_.begin() + pos)});
    }
    fail(end, "track without an end-of-track event");
  }

  const std::vector<std::uint8_t>& data_;
};

}  // namespace tavrena::testing
