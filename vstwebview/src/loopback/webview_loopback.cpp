#include "vstwebview/webview_loopback.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "bridge_client.h"
#include "html_injection.h"

namespace vstwebview {
namespace {

constexpr char kJavaScript[] = "application/javascript; charset=utf-8";
constexpr std::size_t kMaxDocuments = 16;
// Scripts issued to a document that its page has not yet run; past this the page
// is taken to be gone.
constexpr std::size_t kMaxPendingScripts = 4096;
// Requests that arrived ahead of an earlier one still on its way.
constexpr std::size_t kMaxEarlyRequests = 1024;
// A state document may be up to 256 MiB as compact JSON; a request carries one.
constexpr std::size_t kMaxRequestBytes = 280u * 1024u * 1024u;
// How long the page's waiting script element is held when nothing is issued.
constexpr auto kScriptWait = std::chrono::seconds(10);

std::string newToken() {
  std::random_device device;
  std::string token;
  for (int i = 0; i < 4; ++i) {
    char part[9];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(device()));
    token += part;
  }
  return token;
}

bool parseNumber(const std::string& text, std::uint64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

void setCommonHeaders(httplib::Response& response) {
  response.set_header("Cache-Control", "no-store");
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_header("Referrer-Policy", "no-referrer");
  response.set_header("Content-Security-Policy", "frame-ancestors 'none'");
}

}  // namespace

class WebviewLoopback::Server {
 public:
  Server(WebviewLoopback& owner, ResourceLookup lookup, Poster post)
      : owner_(owner), lookup_(std::move(lookup)), post_(std::move(post)) {}

  ~Server() { stop(); }

  bool start(int port, std::string* error) {
    token_ = newToken();
    http_.new_task_queue = [] { return new httplib::ThreadPool(24); };
    http_.set_keep_alive_max_count(100000);
    // A reply is small writes (headers, then the body): without this,
    // Nagle's algorithm holds each one for the page's delayed acknowledgement, ~40 ms.
    http_.set_tcp_nodelay(true);
    // A worker waits this long on a browser's idle connection and stop() waits for
    // the workers: Ctrl-C with the page open would otherwise take five seconds.
    http_.set_keep_alive_timeout(1);
    http_.set_payload_max_length(kMaxRequestBytes);
    http_.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
          return screen(request, response);
        });
    http_.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
      serveGet(request, response);
    });
    http_.Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
      servePost(request, response);
    });
    http_.set_error_handler(
        [](const httplib::Request&, httplib::Response& response) { setCommonHeaders(response); });

    const int bound = port == 0 ? http_.bind_to_any_port("127.0.0.1")
                                : (http_.bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0) {
      if (error) *error = "cannot listen on 127.0.0.1:" + std::to_string(port);
      return false;
    }
    port_ = bound;
    host_ = "127.0.0.1:" + std::to_string(port_);
    origin_ = "http://" + host_ + "/" + token_ + "/";
    resources_ = std::make_unique<ResourceServer>(origin_, lookup_);
    thread_ = std::thread([this] { http_.listen_after_bind(); });
    return true;
  }

  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
      http_.stop();
      thread_.join();
    }
  }

  int port() const { return port_; }
  const std::string& origin() const { return origin_; }

  // --- called on the user-interface thread ---

  void evaluate(const std::string& script) {
    std::lock_guard lock(mutex_);
    Document* document = find(answering_ != 0 ? answering_ : newest());
    if (!document) return;  // no page is open: nothing to run it in
    if (document->pending.size() >= kMaxPendingScripts) {
      forget(document->id);
      return;
    }
    document->pending.emplace_back(document->nextScript++, script);
    changed_.notify_all();
  }

  void addDocumentScript(const std::string& script) {
    std::lock_guard lock(mutex_);
    documentScripts_.push_back(script);
  }

 private:
  struct Document {
    std::uint64_t id = 0;
    std::size_t documentScripts = 0;  // how many existed when it was served
    std::uint64_t nextRequest = 1;
    std::map<std::uint64_t, std::string> early;
    std::uint64_t nextScript = 1;
    std::deque<std::pair<std::uint64_t, std::string>> pending;
  };

  // Host and Origin decide before any route: a page of another site reaching this
  // port through a rebound name, or posting to it, gets nothing.
  httplib::Server::HandlerResponse screen(const httplib::Request& request,
                                          httplib::Response& response) {
    setCommonHeaders(response);
    const bool foreignHost = request.get_header_value("Host") != host_;
    const bool foreignOrigin =
        request.has_header("Origin") && request.get_header_value("Origin") != "http://" + host_;
    if (foreignHost || foreignOrigin) {
      response.status = 403;
      response.set_content("Forbidden\n", "text/plain; charset=utf-8");
      return httplib::Server::HandlerResponse::Handled;
    }
    const std::string prefix = "/" + token_ + "/";
    if (request.target.compare(0, prefix.size(), prefix) != 0) {
      response.status = 404;
      response.set_content("Not Found\n", "text/plain; charset=utf-8");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  }

  // The part of the request target after "/<token>/", undecoded.
  std::string relativeTarget(const httplib::Request& request) const {
    return request.target.substr(token_.size() + 2);
  }

  void serveGet(const httplib::Request& request, httplib::Response& response) {
    const std::string target = relativeTarget(request);
    if (target.rfind("_bridge/", 0) == 0) return serveBridge(target, response);

    const ResourceResponse resource = resources_->Serve(origin_ + target);
    response.status = resource.status;
    if (resource.status != 200) {
      response.set_header("Content-Type", resource.contentType);
      return;
    }
    std::string body = resource.body;
    if (resource.contentType.rfind("text/html", 0) == 0) body = injectBridge(body, openDocument());
    response.set_content(std::move(body), resource.contentType.c_str());
  }

  // The bridge's own files: client.js, document scripts, evaluated scripts.
  void serveBridge(const std::string& target, httplib::Response& response) {
    // _bridge/<document>/<what>
    const std::size_t slash = target.find('/', 8);
    std::uint64_t id = 0;
    if (slash == std::string::npos || !parseNumber(target.substr(8, slash - 8), id))
      return notFound(response);
    const std::string what = target.substr(slash + 1);

    std::unique_lock lock(mutex_);
    Document* document = find(id);
    if (!document) return notFound(response);

    if (what == "client.js") {
      response.set_content(loopback::kBridgeClientScript, kJavaScript);
    } else if (what.rfind("doc/", 0) == 0 && what.size() > 7 &&
               what.compare(what.size() - 3, 3, ".js") == 0) {
      std::uint64_t index = 0;
      if (!parseNumber(what.substr(4, what.size() - 7), index) ||
          index >= document->documentScripts)
        return notFound(response);
      response.set_content(documentScripts_[index], kJavaScript);
    } else if (what.rfind("next.js?n=", 0) == 0) {
      std::uint64_t number = 0;
      if (!parseNumber(what.substr(10), number) || number == 0) return notFound(response);
      waitForScript(lock, id, number, response);
    } else {
      notFound(response);
    }
  }

  // The page keeps one script element waiting here for evaluated script n: the
  // answer is that script, as soon as it is issued. Asking for n also says that
  // every script before it has run. No script in time: 404, and the page asks again.
  void waitForScript(std::unique_lock<std::mutex>& lock, std::uint64_t id, std::uint64_t n,
                     httplib::Response& response) {
    const auto ready = [&] {
      Document* document = find(id);
      if (stopping_ || !document) return true;
      auto& pending = document->pending;
      while (!pending.empty() && pending.front().first < n) pending.pop_front();
      return !pending.empty();
    };
    changed_.wait_for(lock, kScriptWait, ready);
    const Document* document = find(id);
    if (stopping_ || !document || document->pending.empty() || document->pending.front().first != n)
      return notFound(response);
    // Kept until the page asks for the next one, in case this answer is lost.
    response.set_content(document->pending.front().second, kJavaScript);
  }

  void servePost(const httplib::Request& request, httplib::Response& response) {
    const std::string target = relativeTarget(request);
    // _bridge/<document>/invoke?n=<number>
    const std::size_t slash = target.find('/', 8);
    std::uint64_t id = 0;
    std::uint64_t number = 0;
    if (target.rfind("_bridge/", 0) != 0 || slash == std::string::npos ||
        !parseNumber(target.substr(8, slash - 8), id) ||
        target.compare(slash + 1, std::string::npos, "invoke?n=" + request.get_param_value("n")) !=
            0 ||
        !parseNumber(request.get_param_value("n"), number))
      return notFound(response);

    std::lock_guard lock(mutex_);
    Document* document = find(id);
    if (!document) return notFound(response);
    if (number >= document->nextRequest && document->early.size() < kMaxEarlyRequests)
      document->early.emplace(number, request.body);
    // Handed over in the page's order, and posted under the lock so that the
    // user-interface thread receives them in that order too.
    for (auto next = document->early.begin();
         next != document->early.end() && next->first == document->nextRequest;
         next = document->early.erase(next)) {
      ++document->nextRequest;
      post_([this, id, text = std::move(next->second)] { dispatch(id, text); });
    }
    response.status = 204;
  }

  // On the user-interface thread.
  void dispatch(std::uint64_t id, const std::string& text) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_ || !find(id)) return;
      answering_ = id;
    }
    owner_.HandleNativeRequest(text);
    std::lock_guard lock(mutex_);
    answering_ = 0;
  }

  std::uint64_t openDocument() {
    std::lock_guard lock(mutex_);
    if (documents_.size() >= kMaxDocuments) documents_.erase(documents_.begin());
    Document document;
    document.id = ++lastDocument_;
    document.documentScripts = documentScripts_.size();
    documents_.emplace(document.id, std::move(document));
    changed_.notify_all();  // an evicted page's waiting request is answered
    return lastDocument_;
  }

  std::string injectBridge(const std::string& html, std::uint64_t id) {
    std::size_t count = 0;
    {
      std::lock_guard lock(mutex_);
      count = documents_.at(id).documentScripts;
    }
    const std::string base = "_bridge/" + std::to_string(id) + "/";
    std::string tags = "<script src=\"" + base + "client.js\"></script>";
    for (std::size_t i = 0; i < count; ++i)
      tags += "<script src=\"" + base + "doc/" + std::to_string(i) + ".js\"></script>";
    return loopback::insertBeforePageScripts(html, tags);
  }

  Document* find(std::uint64_t id) {
    const auto found = documents_.find(id);
    return found == documents_.end() ? nullptr : &found->second;
  }
  std::uint64_t newest() const { return documents_.empty() ? 0 : documents_.rbegin()->first; }
  void forget(std::uint64_t id) {
    documents_.erase(id);
    changed_.notify_all();
  }
  static void notFound(httplib::Response& response) {
    response.status = 404;
    response.set_content("Not Found\n", "text/plain; charset=utf-8");
  }

  WebviewLoopback& owner_;
  ResourceLookup lookup_;
  Poster post_;
  httplib::Server http_;
  std::thread thread_;
  std::unique_ptr<ResourceServer> resources_;
  std::string token_;
  std::string host_;
  std::string origin_;
  int port_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  std::vector<std::string> documentScripts_;
  std::map<std::uint64_t, Document> documents_;
  std::uint64_t lastDocument_ = 0;
  std::uint64_t answering_ = 0;
};

WebviewLoopback::WebviewLoopback(ResourceLookup lookup, Poster post)
    : server_(std::make_unique<Server>(*this, std::move(lookup), std::move(post))) {}

WebviewLoopback::~WebviewLoopback() {
  server_->stop();
  ClearBindings();
}

bool WebviewLoopback::Start(int port, std::string* error) {
  return server_->start(port, error);
}
int WebviewLoopback::Port() const {
  return server_->port();
}
std::string WebviewLoopback::Origin() const {
  return server_->origin();
}
std::string WebviewLoopback::PageUrl() const {
  return page_.empty() ? Origin() + "index.html" : page_;
}

void WebviewLoopback::SetWindowTitle(const std::string& title) {
  title_ = title;
}
void WebviewLoopback::ResizeWindow(std::int32_t, std::int32_t, ResizeMode) {
  // The browser's window is the user's to size.
}

std::string WebviewLoopback::ContentRootUrl() {
  const std::string origin = Origin();
  return origin.empty() ? origin : origin.substr(0, origin.size() - 1);
}

void WebviewLoopback::LoadUrl(const std::string& url) {
  // Only pages of the origin, as the embedded browser confines navigation.
  const std::string origin = Origin();
  if (!origin.empty() && url.compare(0, origin.size(), origin) == 0) page_ = url;
}

void WebviewLoopback::EvalJS(const std::string& script, ScriptResultCallback) {
  server_->evaluate(script);
}

void WebviewLoopback::AddDocumentScript(const std::string& script) {
  server_->addDocumentScript(script);
}

void WebviewLoopback::Shutdown() {
  server_->stop();
}

void WebviewLoopback::RunTask(std::function<void()> task) {
  task();
}

}  // namespace vstwebview
