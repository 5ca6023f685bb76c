#include "vstwebview/helper_protocol.h"

#include <array>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace vstwebview::helper {
namespace {

constexpr std::size_t kMessageCount = std::variant_size_v<Message>;

// The variant's order is the wire order, so a type code is its alternative's index + 1.
template <std::size_t... I>
constexpr bool typesFollowVariantOrder(std::index_sequence<I...>) {
  return ((static_cast<std::size_t>(std::variant_alternative_t<I, Message>::kType) == I + 1) &&
          ...);
}
static_assert(typesFollowVariantOrder(std::make_index_sequence<kMessageCount>{}));

// Indexed by type code.
constexpr std::array<std::string_view, kMessageCount + 1> kNames = {
    "",
    "Attach",
    "Ready",
    "AddDocumentScript",
    "Navigate",
    "Execute",
    "ExecuteResult",
    "WebMessage",
    "ResourceRequest",
    "ResourceResponse",
    "NavigationBlocked",
    "Bounds",
    "Focus",
    "SaveDialog",
    "SaveDialogResult",
    "DragFile",
    "Close",
    "Stopped",
    "DragResult",
};

// Each message's fields in wire order, for the encoder and the decoder alike; M may be const.
template <class M, class V>
void fields(M& m, V& v) {
  using T = std::remove_const_t<M>;
  if constexpr (std::is_same_v<T, Attach>) {
    v.u64("hostWindow", m.hostWindow);
    v.i32("width", m.width);
    v.i32("height", m.height);
    v.text("origin", m.origin);
  } else if constexpr (std::is_same_v<T, AddDocumentScript>) {
    v.text("script", m.script);
  } else if constexpr (std::is_same_v<T, Navigate>) {
    v.text("url", m.url);
  } else if constexpr (std::is_same_v<T, Execute>) {
    v.u32("id", m.id);
    v.text("script", m.script);
  } else if constexpr (std::is_same_v<T, ExecuteResult>) {
    v.u32("id", m.id);
    v.boolean("ok", m.ok);
    v.text("json", m.json);
  } else if constexpr (std::is_same_v<T, WebMessage>) {
    v.text("text", m.text);
  } else if constexpr (std::is_same_v<T, ResourceRequest>) {
    v.u32("id", m.id);
    v.text("uri", m.uri);
  } else if constexpr (std::is_same_v<T, ResourceResponse>) {
    v.u32("id", m.id);
    v.u16("status", m.status);
    v.text("reason", m.reason);
    v.text("headers", m.headers);
    v.bytes("body", m.body);
  } else if constexpr (std::is_same_v<T, NavigationBlocked>) {
    v.text("uri", m.uri);
  } else if constexpr (std::is_same_v<T, Bounds>) {
    v.i32("x", m.x);
    v.i32("y", m.y);
    v.i32("width", m.width);
    v.i32("height", m.height);
  } else if constexpr (std::is_same_v<T, Focus>) {
    v.boolean("take", m.take);
  } else if constexpr (std::is_same_v<T, SaveDialog>) {
    v.u32("id", m.id);
    v.text("suggestedName", m.suggestedName);
    v.text("title", m.title);
  } else if constexpr (std::is_same_v<T, SaveDialogResult>) {
    v.u32("id", m.id);
    v.bytes("path", m.path);
  } else if constexpr (std::is_same_v<T, DragFile>) {
    v.bytes("path", m.path);
  } else if constexpr (std::is_same_v<T, Stopped>) {
    v.text("reason", m.reason);
  } else if constexpr (std::is_same_v<T, DragResult>) {
    v.boolean("dropped", m.dropped);
  } else {
    static_assert(std::is_same_v<T, Ready> || std::is_same_v<T, Close>, "fields not listed");
  }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    std::size_t extra = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      extra = 1;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      extra = 2;
      if (b0 == 0xE0) lo = 0xA0;
      if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      extra = 3;
      if (b0 == 0xF0) lo = 0x90;
      if (b0 == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (s.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return false;
    }
    i += extra + 1;
  }
  return true;
}

std::uint32_t readU32(const char* p) {
  std::uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(p[k]);
  return v;
}

class Writer {
 public:
  Writer(std::string& out, std::string_view message) : out_(out), message_(message) {}

  void u16(const char*, std::uint16_t v) { put(v, 2); }
  void u32(const char*, std::uint32_t v) { put(v, 4); }
  void u64(const char*, std::uint64_t v) { put(v, 8); }
  void i32(const char*, std::int32_t v) { put(static_cast<std::uint32_t>(v), 4); }
  void boolean(const char*, bool v) { put(v ? 1 : 0, 1); }
  void text(const char* name, const std::string& s) {
    if (!isValidUtf8(s)) {
      throw std::invalid_argument(std::string(message_) + ": field " + name +
                                  " is not valid UTF-8");
    }
    bytes(name, s);
  }
  void bytes(const char* name, const std::string& s) {
    // Checked before appending, so that an oversized body is never copied.
    if (s.size() > kMaxPayloadBytes ||
        out_.size() - kHeaderBytes + 4 + s.size() > kMaxPayloadBytes) {
      throw std::length_error(std::string(message_) + ": field " + name +
                              " makes the frame exceed " + std::to_string(kMaxPayloadBytes) +
                              " bytes");
    }
    put(s.size(), 4);
    out_ += s;
  }

 private:
  void put(std::uint64_t v, int width) {
    for (int k = 0; k < width; ++k) out_.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
  }

  std::string& out_;
  std::string_view message_;
};

struct DecodeError {
  std::string text;
};

class Reader {
 public:
  Reader(std::string_view payload, std::string_view message)
      : payload_(payload), message_(message) {}

  void u16(const char* name, std::uint16_t& v) { v = static_cast<std::uint16_t>(get(name, 2)); }
  void u32(const char* name, std::uint32_t& v) { v = static_cast<std::uint32_t>(get(name, 4)); }
  void u64(const char* name, std::uint64_t& v) { v = get(name, 8); }
  void i32(const char* name, std::int32_t& v) {
    v = static_cast<std::int32_t>(static_cast<std::uint32_t>(get(name, 4)));
  }
  void boolean(const char* name, bool& v) {
    const std::uint64_t b = get(name, 1);
    if (b > 1) fail(std::string("field ") + name + " is not a boolean (" + std::to_string(b) + ")");
    v = b == 1;
  }
  void text(const char* name, std::string& s) {
    bytes(name, s);
    if (!isValidUtf8(s)) fail(std::string("field ") + name + " is not valid UTF-8");
  }
  void bytes(const char* name, std::string& s) {
    const std::uint64_t length = get(name, 4);
    if (length > payload_.size() - pos_) {
      fail(std::string("field ") + name + " runs past the end of the frame");
    }
    s.assign(payload_.substr(pos_, length));
    pos_ += length;
  }

  void finish() {
    if (pos_ != payload_.size()) {
      fail(std::to_string(payload_.size() - pos_) + " trailing bytes in the frame");
    }
  }

 private:
  std::uint64_t get(const char* name, std::size_t width) {
    if (payload_.size() - pos_ < width) {
      fail(std::string("field ") + name + " runs past the end of the frame");
    }
    std::uint64_t v = 0;
    for (std::size_t k = width; k-- > 0;) {
      v = (v << 8) | static_cast<unsigned char>(payload_[pos_ + k]);
    }
    pos_ += width;
    return v;
  }

  [[noreturn]] void fail(const std::string& what) {
    throw DecodeError{std::string(message_) + ": " + what};
  }

  std::string_view payload_;
  std::size_t pos_ = 1;  // after the type byte
  std::string_view message_;
};

template <std::size_t I>
Message decodeAlternative(std::string_view payload) {
  using T = std::variant_alternative_t<I, Message>;
  T m;
  Reader reader(payload, kNames[I + 1]);
  fields(m, reader);
  reader.finish();
  return m;
}

// Indexed by type code - 1.
template <std::size_t... I>
constexpr auto makeDecoders(std::index_sequence<I...>) {
  return std::array<Message (*)(std::string_view), sizeof...(I)>{&decodeAlternative<I>...};
}
constexpr auto kDecoders = makeDecoders(std::make_index_sequence<kMessageCount>{});

constexpr std::size_t kKeepCapacity = 1024 * 1024;

bool isKnownType(unsigned char type) {
  return type >= 1 && type <= kMessageCount;
}

}  // namespace

std::string_view MessageName(const Message& message) {
  return kNames[message.index() + 1];
}

std::string Encode(const Message& message) {
  std::string out(kHeaderBytes, '\0');
  std::visit(
      [&](const auto& m) {
        out.push_back(static_cast<char>(m.kType));
        Writer writer(out, MessageName(message));
        fields(m, writer);
      },
      message);
  if (out.size() - kHeaderBytes > kMaxPayloadBytes) {
    throw std::length_error(std::string(MessageName(message)) + ": the frame exceeds " +
                            std::to_string(kMaxPayloadBytes) + " bytes");
  }
  const auto length = static_cast<std::uint32_t>(out.size() - kHeaderBytes);
  for (std::size_t k = 0; k < kHeaderBytes; ++k)
    out[k] = static_cast<char>((length >> (8 * k)) & 0xFF);
  return out;
}

void FrameDecoder::fail(std::string error) {
  error_ = std::move(error);
  pendingError_.clear();
  // Nothing more will be read; the bytes held are of no use.
  std::string().swap(buffer_);
  start_ = 0;
  checked_ = 0;
}

void FrameDecoder::Feed(std::string_view bytes) {
  if (Failed() || !pendingError_.empty() || bytes.empty()) return;
  // Drop consumed bytes once they are at least as many as those kept: each byte is moved at
  // most once on average, so many small frames cost linear time.
  if (start_ > 0 && start_ >= buffer_.size() - start_) {
    buffer_.erase(0, start_);
    checked_ -= start_;
    start_ = 0;
    // The room a large frame took is given back rather than held for the life of the connection.
    if (buffer_.capacity() > kKeepCapacity && buffer_.size() < buffer_.capacity() / 4) {
      buffer_.shrink_to_fit();
    }
  }
  buffer_.append(bytes);
  checkHeaders();
}

// Reads each frame's header as soon as it arrives, so a hostile length is refused before its
// payload is held, and an unknown type before its payload is waited for.
void FrameDecoder::checkHeaders() {
  while (checked_ + kHeaderBytes <= buffer_.size()) {
    const std::uint32_t length = readU32(buffer_.data() + checked_);
    if (length == 0) return refuseFrame("empty frame without a message type");
    if (length > kMaxPayloadBytes) {
      return refuseFrame("frame of " + std::to_string(length) + " bytes exceeds the limit of " +
                         std::to_string(kMaxPayloadBytes) + " bytes");
    }
    if (checked_ + kHeaderBytes == buffer_.size()) return;
    const auto type = static_cast<unsigned char>(buffer_[checked_ + kHeaderBytes]);
    if (!isKnownType(type)) return refuseFrame("unknown message type " + std::to_string(type));
    checked_ += kHeaderBytes + length;
  }
}

// The frames before the bad one (all complete, as its header follows them) still come out of
// Next(), so that the outcome never depends on how the stream was chunked.
void FrameDecoder::refuseFrame(std::string error) {
  buffer_.resize(checked_);
  pendingError_ = std::move(error);
  if (start_ == checked_) fail(std::move(pendingError_));
}

std::optional<Message> FrameDecoder::Next() {
  if (Failed()) return std::nullopt;
  // checkHeaders has passed the header and type of every frame that starts before checked_.
  if (checked_ <= start_) return std::nullopt;
  const std::uint32_t length = readU32(buffer_.data() + start_);
  if (buffer_.size() - start_ - kHeaderBytes < length) return std::nullopt;
  const std::string_view payload(buffer_.data() + start_ + kHeaderBytes, length);
  std::optional<Message> message;
  try {
    message = kDecoders[static_cast<unsigned char>(payload[0]) - 1](payload);
  } catch (const DecodeError& e) {
    fail(e.text);
    return std::nullopt;
  }
  start_ += kHeaderBytes + length;
  if (!pendingError_.empty() && start_ == checked_) {
    fail(std::move(pendingError_));
  } else if (start_ == buffer_.size()) {
    start_ = 0;
    checked_ = 0;
    buffer_.clear();
    if (buffer_.capacity() > kKeepCapacity) std::string().swap(buffer_);
  }
  return message;
}

bool IsNavigationAllowed(std::string_view uri, std::string_view origin) {
  if (origin.empty() || origin.back() != '/') return false;
  return uri.substr(0, origin.size()) == origin;
}

ResourceResponse ResponseMessage(std::uint32_t id, const vstwebview::ResourceResponse& response) {
  ResourceResponse message;
  message.id = id;
  if (!response.handled) {
    message.status = 404;
    message.reason = "Not Found";
    return message;
  }
  if (response.status < 100 || response.status > 599) {
    message.status = 500;
    message.reason = "Internal Server Error";
    return message;
  }
  message.status = static_cast<std::uint16_t>(response.status);
  message.reason = response.reason;
  message.headers = response.headers;
  message.body = response.body;
  return message;
}

}  // namespace vstwebview::helper
