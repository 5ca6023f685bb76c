#include "vstwebview/webview.h"

#include <cmath>
#include <exception>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

#include "theory/json_parse.h"

namespace vstwebview {
namespace {

// Everything after the name's declaration; the page relies on it byte for byte.
constexpr char kExposeBody[] =
    "\n     var RPC = window._rpc = (window._rpc || {nextSeq: 1});"
    "\n     window[name] = function() {"
    "\n       var seq = RPC.nextSeq++;"
    "\n       var promise = new Promise(function(resolve, reject) {"
    "\n         RPC[seq] = {"
    "\n           resolve: resolve,"
    "\n           reject: reject,"
    "\n         };"
    "\n       });"
    "\n       window.external.invoke(JSON.stringify({"
    "\n         id: seq,"
    "\n         method: name,"
    "\n         params: Array.prototype.slice.call(arguments),"
    "\n       }));"
    "\n       return promise;"
    "\n     }"
    "\n   })()";
static_assert(sizeof(kExposeBody) - 1 == 481);

constexpr char kInvalidRequest[] = "Invalid native request";

// The request's "id" as a sequence number. A value that does not fit a 32-bit
// integer cannot name one of the page's calls: answering it would settle another
// promise, so it counts as unusable.
std::int32_t readSequence(const Json& id) {
  constexpr auto low = std::numeric_limits<std::int32_t>::min();
  constexpr auto high = std::numeric_limits<std::int32_t>::max();
  if (id.is_boolean()) return id.get<bool>() ? 1 : 0;
  if (id.is_number_integer()) {
    if (id.is_number_unsigned()) {
      const auto value = id.get<std::uint64_t>();
      if (value > static_cast<std::uint64_t>(high)) throw std::out_of_range("id");
      return static_cast<std::int32_t>(value);
    }
    const auto value = id.get<std::int64_t>();
    if (value < low || value > high) throw std::out_of_range("id");
    return static_cast<std::int32_t>(value);
  }
  if (id.is_number_float()) {
    const double value = std::trunc(id.get<double>());
    if (!(value >= low && value <= high)) throw std::out_of_range("id");
    return static_cast<std::int32_t>(value);
  }
  throw std::invalid_argument("id");
}

}  // namespace

Webview::~Webview() = default;

std::string ExposeScript(const std::string& name) {
  return "(function() { var name = '" + name + "';" + kExposeBody;
}

std::string ReplyScript(std::int32_t seq, bool resolve, const std::string& resultText) {
  const std::string slot = "window._rpc[" + std::to_string(seq) + "]";
  return slot + (resolve ? ".resolve(" : ".reject(") + resultText + "); delete " + slot;
}

void Webview::ExposeFunction(const std::string& name, NativeFunction function) {
  AddDocumentScript(ExposeScript(name));
  bindings_[name] = std::move(function);
}

void Webview::UnbindFunction(const std::string& name) {
  const auto found = bindings_.find(name);
  if (found == bindings_.end()) return;
  const std::string script = "delete window['" + name + "'];";
  AddDocumentScript(script);
  EvalJS(script, [](const Json&) {});
  bindings_.erase(found);
}

void Webview::HandleNativeRequest(const std::string& text) {
  const std::weak_ptr<const bool> alive = alive_;
  std::int32_t seq = -1;
  try {
    const Json request = tavrena::parseJsonText(text);
    if (!request.is_object()) return;
    const auto id = request.find("id");
    if (id == request.end()) return;
    seq = readSequence(*id);

    const auto methodValue = request.find("method");
    if (methodValue == request.end() || !methodValue->is_string())
      throw std::invalid_argument("method");
    const std::string method = methodValue->get<std::string>();
    const auto paramsValue = request.find("params");
    const Json params = paramsValue == request.end() ? Json() : *paramsValue;

    const auto found = bindings_.find(method);
    if (found == bindings_.end()) return;  // the promise stays pending
    // A copy: the function may rebind its own name while it runs.
    const NativeFunction function = found->second;
    Json result = function(this, seq, method, params);
    if (alive.expired()) return;
    ResolveFunctionDispatch(seq, 0, result);
  } catch (const std::exception&) {
    if (seq < 0 || alive.expired()) return;
    try {
      ResolveFunctionDispatch(seq, 1, Json(kInvalidRequest));
    } catch (const std::exception&) {
      // The platform could not deliver even the rejection; nothing is reported.
    }
  }
}

void Webview::ResolveFunctionDispatch(std::int32_t seq, int status, const Json& result) {
  // Serialised here, before the task exists, so that a value that cannot be written
  // (invalid UTF-8) turns into a rejection whatever thread the task later runs on.
  std::string script = ReplyScript(seq, status == 0, result.dump());
  RunTask([this, script = std::move(script)] { EvalJS(script, [](const Json&) {}); });
}

}  // namespace vstwebview
