#pragma once
// The messages between the plug-in and the browser helper process it starts on Linux (the
// browser cannot live in hosts that refuse GTK 3), and their framing on the socket pair.
//
// Frame: u32 payload length (little-endian), then the payload: u8 message type and the
// message's fields in order. Integers are little-endian; texts and byte strings are a u32
// length and the bytes; texts are valid UTF-8; a bool is one byte, 0 or 1.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "vstwebview/resource_server.h"

namespace vstwebview::helper {

// The largest payload either side accepts: room for the largest page resource or state
// document with its framing, and small enough that a broken peer cannot make us hold more.
inline constexpr std::uint32_t kMaxPayloadBytes = 32u * 1024u * 1024u;
inline constexpr std::size_t kHeaderBytes = 4;

// Wire values; never renumber (a helper from another build may be on the other end).
enum class MessageType : std::uint8_t {
  kAttach = 1,
  kReady = 2,
  kAddDocumentScript = 3,
  kNavigate = 4,
  kExecute = 5,
  kExecuteResult = 6,
  kWebMessage = 7,
  kResourceRequest = 8,
  kResourceResponse = 9,
  kNavigationBlocked = 10,
  kBounds = 11,
  kFocus = 12,
  kSaveDialog = 13,
  kSaveDialogResult = 14,
  kDragFile = 15,
  kClose = 16,
  kStopped = 17,
  kDragResult = 18,
};

// Plug-in -> helper, first message: embed into the host's window, at this size, serving origin.
struct Attach {
  static constexpr MessageType kType = MessageType::kAttach;
  std::uint64_t hostWindow = 0;  // X11 window id
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::string origin;  // e.g. "tavrena://app/"
  bool operator==(const Attach&) const = default;
};

// Helper -> plug-in: the browser exists and accepts scripts and navigation.
struct Ready {
  static constexpr MessageType kType = MessageType::kReady;
  bool operator==(const Ready&) const = default;
};

// Plug-in -> helper: run script at the start of every later document.
struct AddDocumentScript {
  static constexpr MessageType kType = MessageType::kAddDocumentScript;
  std::string script;
  bool operator==(const AddDocumentScript&) const = default;
};

// Plug-in -> helper: load url.
struct Navigate {
  static constexpr MessageType kType = MessageType::kNavigate;
  std::string url;
  bool operator==(const Navigate&) const = default;
};

// Plug-in -> helper: evaluate script in the current document; answered by ExecuteResult(id).
struct Execute {
  static constexpr MessageType kType = MessageType::kExecute;
  std::uint32_t id = 0;
  std::string script;
  bool operator==(const Execute&) const = default;
};

// Helper -> plug-in: the script's value as JSON text when ok, else the browser's error text.
struct ExecuteResult {
  static constexpr MessageType kType = MessageType::kExecuteResult;
  std::uint32_t id = 0;
  bool ok = false;
  std::string json;
  bool operator==(const ExecuteResult&) const = default;
};

// Helper -> plug-in: a text the page posted through window.external.invoke.
struct WebMessage {
  static constexpr MessageType kType = MessageType::kWebMessage;
  std::string text;
  bool operator==(const WebMessage&) const = default;
};

// Helper -> plug-in: the page requests uri under its origin; answered by ResourceResponse(id).
struct ResourceRequest {
  static constexpr MessageType kType = MessageType::kResourceRequest;
  std::uint32_t id = 0;
  std::string uri;
  bool operator==(const ResourceRequest&) const = default;
};

// Plug-in -> helper: the answer to ResourceRequest(id).
struct ResourceResponse {
  static constexpr MessageType kType = MessageType::kResourceResponse;
  std::uint32_t id = 0;
  std::uint16_t status = 0;
  std::string reason;
  std::string headers;  // "Name: value\r\n" lines
  std::string body;     // bytes
  bool operator==(const ResourceResponse&) const = default;
};

// Helper -> plug-in: a navigation away from the origin was refused.
struct NavigationBlocked {
  static constexpr MessageType kType = MessageType::kNavigationBlocked;
  std::string uri;
  bool operator==(const NavigationBlocked&) const = default;
};

// Plug-in -> helper: the browser's rectangle inside the host window, in pixels.
struct Bounds {
  static constexpr MessageType kType = MessageType::kBounds;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool operator==(const Bounds&) const = default;
};

// Both ways: plug-in -> helper asks the browser to take (true) or give back (false) the
// keyboard focus; helper -> plug-in reports that the browser took or gave it back.
struct Focus {
  static constexpr MessageType kType = MessageType::kFocus;
  bool take = false;
  bool operator==(const Focus&) const = default;
};

// Plug-in -> helper: show the save dialog; answered by SaveDialogResult(id).
struct SaveDialog {
  static constexpr MessageType kType = MessageType::kSaveDialog;
  std::uint32_t id = 0;
  std::string suggestedName;
  std::string title;
  bool operator==(const SaveDialog&) const = default;
};

// Helper -> plug-in: the chosen path, empty when cancelled. A byte string, not a text: Linux
// file names need not be UTF-8, and such a name must not break the connection.
struct SaveDialogResult {
  static constexpr MessageType kType = MessageType::kSaveDialogResult;
  std::uint32_t id = 0;
  std::string path;
  bool operator==(const SaveDialogResult&) const = default;
};

// Plug-in -> helper: start dragging the file at path (a byte string, as above) out of the editor;
// answered by DragResult once the drag has ended.
struct DragFile {
  static constexpr MessageType kType = MessageType::kDragFile;
  std::string path;
  bool operator==(const DragFile&) const = default;
};

// Plug-in -> helper: destroy the browser and exit.
struct Close {
  static constexpr MessageType kType = MessageType::kClose;
  bool operator==(const Close&) const = default;
};

// Helper -> plug-in, last message: the helper is going away, and why.
struct Stopped {
  static constexpr MessageType kType = MessageType::kStopped;
  std::string reason;
  bool operator==(const Stopped&) const = default;
};

// Helper -> plug-in: the drag that DragFile started has ended, with a drop on a target that
// took the file, or without (no target, refused, cancelled, or the drag could not start).
struct DragResult {
  static constexpr MessageType kType = MessageType::kDragResult;
  bool dropped = false;
  bool operator==(const DragResult&) const = default;
};

using Message =
    std::variant<Attach, Ready, AddDocumentScript, Navigate, Execute, ExecuteResult, WebMessage,
                 ResourceRequest, ResourceResponse, NavigationBlocked, Bounds, Focus, SaveDialog,
                 SaveDialogResult, DragFile, Close, Stopped, DragResult>;

// The message's name as used in error texts, e.g. "Navigate".
std::string_view MessageName(const Message& message);

// One frame holding message. Throws std::invalid_argument when a text field is not valid UTF-8
// and std::length_error when the payload would exceed kMaxPayloadBytes; the text names the field.
std::string Encode(const Message& message);

// Splits a byte stream into messages, whatever the chunking. A malformed frame fails the decoder
// for good: the messages before it still come out of Next(), then Failed() is true and Error()
// names the problem; the owner then closes the connection. Holds at most the bytes fed since
// Next() last returned nullopt plus one incomplete frame.
class FrameDecoder {
 public:
  // Appends bytes; ignored once a bad frame was seen. A frame header announcing more than
  // kMaxPayloadBytes is refused here, before its payload is held.
  void Feed(std::string_view bytes);

  // The next complete message, or nullopt when more bytes are needed or the decoder failed.
  std::optional<Message> Next();

  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }

  // Bytes fed but not yet consumed.
  std::size_t Buffered() const { return buffer_.size() - start_; }

 private:
  void fail(std::string error);
  void checkHeaders();
  void refuseFrame(std::string error);

  std::string buffer_;
  std::size_t start_ = 0;    // first byte not yet consumed
  std::size_t checked_ = 0;  // next frame header that checkHeaders has not read yet
  std::string
      pendingError_;  // a bad header at checked_, reported once the frames before it are out
  std::string error_;
};

// Whether the browser may navigate to uri: only when uri begins with origin byte for byte. origin
// must end with "/": without it "tavrena://app" would also admit "tavrena://appx/" or
// "tavrena://app.evil.example/", another host that merely shares the prefix. An empty or
// slash-less origin admits nothing.
bool IsNavigationAllowed(std::string_view uri, std::string_view origin);

// The answer to ResourceRequest(id) from the server's response. A request the server does not
// handle (not under its origin) is refused with 404, as the helper cannot let it through.
ResourceResponse ResponseMessage(std::uint32_t id, const vstwebview::ResourceResponse& response);

}  // namespace vstwebview::helper
