// The page side of the helper's browser: resources from the plug-in, the page's messages,
// scripts the plug-in runs, and the rules on where the page may go.
#include <libsoup/soup.h>

#include <string_view>

#include "browser_window_linux.h"

namespace tavrena::webview_helper {

namespace helper = vstwebview::helper;

namespace {

// The value of header name in "Name: value\r\n" lines (names compared without case).
std::string headerValue(std::string_view headers, std::string_view name) {
  std::size_t at = 0;
  while (at < headers.size()) {
    auto end = headers.find("\r\n", at);
    if (end == std::string_view::npos) end = headers.size();
    const std::string_view line = headers.substr(at, end - at);
    const auto colon = line.find(':');
    if (colon == name.size() && g_ascii_strncasecmp(line.data(), name.data(), name.size()) == 0) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      return std::string(value);
    }
    at = end + 2;
  }
  return {};
}

}  // namespace

// Every request under the page's scheme goes to the plug-in, which owns the resources; the
// request waits, held here, for its ResourceResponse.
void BrowserWindow::onSchemeRequest(WebKitURISchemeRequest* request, gpointer data) {
  auto* self = static_cast<BrowserWindow*>(data);
  const std::uint32_t id = self->nextRequest_++;
  self->requests_[id] = WEBKIT_URI_SCHEME_REQUEST(g_object_ref(request));
  self->send(helper::ResourceRequest{id, webkit_uri_scheme_request_get_uri(request)});
}

void BrowserWindow::respond(const helper::ResourceResponse& response) {
  const auto found = requests_.find(response.id);
  if (found == requests_.end()) return;  // answered twice, or by a confused peer
  WebKitURISchemeRequest* request = found->second;
  requests_.erase(found);

  GBytes* bytes = g_bytes_new(response.body.data(), response.body.size());
  GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
  g_bytes_unref(bytes);
  WebKitURISchemeResponse* answer =
      webkit_uri_scheme_response_new(stream, static_cast<gint64>(response.body.size()));
  g_object_unref(stream);
  webkit_uri_scheme_response_set_status(answer, response.status, response.reason.c_str());
  const std::string type = headerValue(response.headers, "Content-Type");
  if (!type.empty()) webkit_uri_scheme_response_set_content_type(answer, type.c_str());
  SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  std::string_view rest = response.headers;
  while (!rest.empty()) {
    auto end = rest.find("\r\n");
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) continue;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    soup_message_headers_append(headers, std::string(line.substr(0, colon)).c_str(),
                                std::string(value).c_str());
  }
  webkit_uri_scheme_response_set_http_headers(answer, headers);  // takes the headers
  webkit_uri_scheme_request_finish_with_response(request, answer);
  g_object_unref(answer);
  g_object_unref(request);
}

void BrowserWindow::onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                    gpointer data) {
  auto* self = static_cast<BrowserWindow*>(data);
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  // The bridge posts texts only; anything else gets no answer, as under WebView2.
  if (!jsc_value_is_string(value)) return;
  gchar* text = jsc_value_to_string(value);
  if (text && g_utf8_validate(text, -1, nullptr)) self->send(helper::WebMessage{text});
  g_free(text);
}

namespace {

struct ScriptCall {
  BrowserWindow* window;
  std::uint32_t id;
};

}  // namespace

void BrowserWindow::execute(const helper::Execute& execute) {
  if (!view_) {
    send(helper::ExecuteResult{execute.id, false, "no page"});
    return;
  }
  // Scripts from the plug-in are trusted and run outside the page's policy; eval inside them
  // is still subject to it.
  webkit_web_view_evaluate_javascript(
      view_, execute.script.data(), static_cast<gssize>(execute.script.size()), nullptr, nullptr,
      cancellable_, &BrowserWindow::onScriptDone, new ScriptCall{this, execute.id});
}

void BrowserWindow::onScriptDone(GObject* view, GAsyncResult* result, gpointer data) {
  const ScriptCall call = *static_cast<ScriptCall*>(data);
  delete static_cast<ScriptCall*>(data);
  GError* error = nullptr;
  JSCValue* value =
      webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
  if (error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
    g_error_free(error);  // the window is gone
    return;
  }
  helper::ExecuteResult answer{call.id, false, {}};
  if (value) {
    // undefined has no JSON text: it reads as null, as WebView2 reports it.
    gchar* json = jsc_value_is_undefined(value) ? nullptr : jsc_value_to_json(value, 0);
    answer.ok = true;
    answer.json = json ? json : "null";
    g_free(json);
    g_object_unref(value);
  } else {
    answer.json = error ? error->message : "script failed";
  }
  if (error) g_error_free(error);
  if (!g_utf8_validate(answer.json.data(), static_cast<gssize>(answer.json.size()), nullptr)) {
    answer = {call.id, false, "the result is not UTF-8"};
  }
  call.window->send(answer);
}

gboolean BrowserWindow::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                       WebKitPolicyDecisionType type, gpointer data) {
  auto* self = static_cast<BrowserWindow*>(data);
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;  // the default is right
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const gchar* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  const std::string target = uri ? uri : "";
  if (helper::IsNavigationAllowed(target, self->origin_)) {
    webkit_policy_decision_use(decision);
  } else {
    webkit_policy_decision_ignore(decision);
    if (g_utf8_validate(target.data(), static_cast<gssize>(target.size()), nullptr)) {
      self->send(helper::NavigationBlocked{target});
    }
  }
  return TRUE;
}

GtkWidget* BrowserWindow::onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer) {
  return nullptr;  // no new windows
}

gboolean BrowserWindow::onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                      WebKitHitTestResult*, gpointer) {
  return TRUE;  // the page is an instrument's panel, not a document
}

void BrowserWindow::onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                           gpointer data) {
  auto* self = static_cast<BrowserWindow*>(data);
  self->quit(reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT
                 ? "the page's process ran out of memory"
                 : "the page's process ended");
}

}  // namespace tavrena::webview_helper
