#include "browser_window_linux.h"

#include <X11/Xlib.h>
#include <gdk/gdkkeysyms.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>

#include <cstdio>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace tavrena::webview_helper {

namespace helper = vstwebview::helper;

namespace {

// Every document gets the same window.external.invoke as under WebView2: the bridge posts
// its requests through it.
constexpr char kInvokeScript[] =
    "window.external={invoke:s=>window.webkit.messageHandlers.tavrena.postMessage(s)}";

Display* xDisplay() {
  return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

std::string schemeOf(const std::string& origin) {
  const auto end = origin.find("://");
  return end == std::string::npos ? std::string() : origin.substr(0, end);
}

}  // namespace

BrowserWindow::BrowserWindow(int fd)
    : connection_(std::make_unique<Connection>(fd)), cancellable_(g_cancellable_new()) {}

BrowserWindow::~BrowserWindow() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  for (auto& [id, request] : requests_) g_object_unref(request);
  if (socketWatch_) g_source_remove(socketWatch_);
  if (writeWatch_) g_source_remove(writeWatch_);
  if (window_) gtk_widget_destroy(window_);
  if (content_) g_object_unref(content_);
  if (context_) g_object_unref(context_);
  if (loop_) g_main_loop_unref(loop_);
}

int BrowserWindow::Run() {
  if (!connection_->Open()) {
    std::fprintf(stderr, "tavrena-webview: %s\n", connection_->Error().c_str());
    return 1;
  }
  loop_ = g_main_loop_new(nullptr, FALSE);
  socketWatch_ =
      g_unix_fd_add(connection_->Fd(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                    &BrowserWindow::onSocket, this);
  g_main_loop_run(loop_);
  return exitCode_;
}

void BrowserWindow::send(const Message& message) {
  if (!connection_->Send(message)) {
    quit("the plug-in is gone: " + connection_->Error());
    return;
  }
  watchWrites();
}

void BrowserWindow::watchWrites() {
  if (connection_->HasPendingWrites() && !writeWatch_) {
    writeWatch_ =
        g_unix_fd_add(connection_->Fd(), G_IO_OUT, &BrowserWindow::onSocketWritable, this);
  }
}

gboolean BrowserWindow::onSocketWritable(gint, GIOCondition, gpointer data) {
  auto* self = static_cast<BrowserWindow*>(data);
  if (!self->connection_->Flush()) {
    self->writeWatch_ = 0;
    self->quit("the plug-in is gone: " + self->connection_->Error());
    return G_SOURCE_REMOVE;
  }
  if (self->connection_->HasPendingWrites()) return G_SOURCE_CONTINUE;
  self->writeWatch_ = 0;
  return G_SOURCE_REMOVE;
}

gboolean BrowserWindow::onSocket(gint, GIOCondition, gpointer data) {
  auto* self = static_cast<BrowserWindow*>(data);
  std::vector<Message> messages;
  const bool open = self->connection_->Receive(messages);
  for (const auto& message : messages) {
    if (self->quitting_) break;
    self->handle(message);
  }
  if (!open) {
    self->socketWatch_ = 0;
    self->quit("the plug-in is gone: " + self->connection_->Error());
    return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

void BrowserWindow::quit(const std::string& reason) {
  if (quitting_) return;
  quitting_ = true;
  if (connection_->Open()) {
    connection_->Send(helper::Stopped{reason});
    connection_->Close();
  } else if (reason.rfind("the plug-in is gone", 0) != 0 && reason != "closed by the plug-in") {
    std::fprintf(stderr, "tavrena-webview: %s\n", reason.c_str());
  }
  if (loop_) g_main_loop_quit(loop_);
}

void BrowserWindow::handle(const Message& message) {
  std::visit(
      [this](const auto& m) {
        using T = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<T, helper::Attach>) {
          attach(m);
        } else if constexpr (std::is_same_v<T, helper::AddDocumentScript>) {
          if (!content_) return;
          WebKitUserScript* script =
              webkit_user_script_new(m.script.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                     WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
          webkit_user_content_manager_add_script(content_, script);
          webkit_user_script_unref(script);
        } else if constexpr (std::is_same_v<T, helper::Navigate>) {
          if (!view_) return;
          if (helper::IsNavigationAllowed(m.url, origin_)) {
            webkit_web_view_load_uri(view_, m.url.c_str());
          } else {
            send(helper::NavigationBlocked{m.url});
          }
        } else if constexpr (std::is_same_v<T, helper::Execute>) {
          execute(m);
        } else if constexpr (std::is_same_v<T, helper::ResourceResponse>) {
          respond(m);
        } else if constexpr (std::is_same_v<T, helper::Bounds>) {
          if (!window_ || m.width <= 0 || m.height <= 0) return;
          gtk_window_resize(GTK_WINDOW(window_), m.width, m.height);
          XMoveResizeWindow(xDisplay(), ownWindow_, m.x, m.y, static_cast<unsigned>(m.width),
                            static_cast<unsigned>(m.height));
        } else if constexpr (std::is_same_v<T, helper::Focus>) {
          if (m.take)
            takeFocus();
          else
            giveBackFocus();
        } else if constexpr (std::is_same_v<T, helper::SaveDialog>) {
          saveDialog(m);
        } else if constexpr (std::is_same_v<T, helper::DragFile>) {
          dragFile(m);
        } else if constexpr (std::is_same_v<T, helper::Close>) {
          quit("closed by the plug-in");
        }
        // The rest travel the other way; a plug-in never sends them.
      },
      message);
}

void BrowserWindow::attach(const helper::Attach& attach) {
  if (window_) return;  // one browser per process
  origin_ = attach.origin;
  hostWindow_ = static_cast<unsigned long>(attach.hostWindow);
  const std::string scheme = schemeOf(origin_);
  if (scheme.empty() || scheme == "http" || scheme == "https" || scheme == "file") {
    quit("the page's origin must use a private scheme: " + origin_);
    return;
  }

  context_ = webkit_web_context_new_ephemeral();
  webkit_web_context_register_uri_scheme(context_, scheme.c_str(), &BrowserWindow::onSchemeRequest,
                                         this, nullptr);
  WebKitSecurityManager* security = webkit_web_context_get_security_manager(context_);
  webkit_security_manager_register_uri_scheme_as_secure(security, scheme.c_str());
  webkit_security_manager_register_uri_scheme_as_cors_enabled(security, scheme.c_str());

  content_ = webkit_user_content_manager_new();
  g_signal_connect(content_, "script-message-received::tavrena",
                   G_CALLBACK(&BrowserWindow::onScriptMessage), this);
  webkit_user_content_manager_register_script_message_handler(content_, "tavrena");
  WebKitUserScript* invoke =
      webkit_user_script_new(kInvokeScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(content_, invoke);
  webkit_user_script_unref(invoke);

  view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context_,
                                       "user-content-manager", content_, nullptr));
  WebKitSettings* settings = webkit_web_view_get_settings(view_);
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
  // The page is a light panel: drawn without the GPU it shows the same in every host, even
  // where a reparented window cannot present GL surfaces (and in screenshots of it).
  webkit_settings_set_hardware_acceleration_policy(settings,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  g_signal_connect(view_, "decide-policy", G_CALLBACK(&BrowserWindow::onDecidePolicy), this);
  g_signal_connect(view_, "create", G_CALLBACK(&BrowserWindow::onCreate), this);
  g_signal_connect(view_, "context-menu", G_CALLBACK(&BrowserWindow::onContextMenu), this);
  g_signal_connect(view_, "web-process-terminated",
                   G_CALLBACK(&BrowserWindow::onWebProcessTerminated), this);
  g_signal_connect(view_, "button-press-event", G_CALLBACK(&BrowserWindow::onButtonPress), this);

  // Embedding by reparenting an undecorated top-level window: XEmbed's GtkPlug stays unmapped
  // in the hosts that matter.
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
  gtk_window_set_default_size(GTK_WINDOW(window_), attach.width > 0 ? attach.width : 1200,
                              attach.height > 0 ? attach.height : 800);
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(view_));
  g_signal_connect(window_, "key-press-event", G_CALLBACK(&BrowserWindow::onKeyPress), this);
  g_signal_connect(window_, "focus-out-event", G_CALLBACK(&BrowserWindow::onFocusOut), this);
  gtk_widget_realize(window_);
  ownWindow_ = gdk_x11_window_get_xid(gtk_widget_get_window(window_));

  Display* display = xDisplay();
  GdkDisplay* gdkDisplay = gdk_display_get_default();
  gdk_x11_display_error_trap_push(gdkDisplay);
  XSelectInput(display, hostWindow_, StructureNotifyMask);
  XReparentWindow(display, ownWindow_, hostWindow_, 0, 0);
  XSync(display, False);
  if (gdk_x11_display_error_trap_pop(gdkDisplay) != 0) {
    quit("the host window does not exist");
    return;
  }
  // The host may destroy its window, and ours with it, at any moment; GDK would then die on
  // the errors its own late requests cause. From here on X errors are recorded, not fatal: the
  // DestroyNotify below ends the process in order.
  gdk_x11_display_error_trap_push(gdkDisplay);
  gdk_window_add_filter(nullptr, &BrowserWindow::onX11Event, this);
  gtk_widget_show_all(window_);
  send(helper::Ready{});
}

GdkFilterReturn BrowserWindow::onX11Event(GdkXEvent* xevent, GdkEvent*, gpointer data) {
  auto* self = static_cast<BrowserWindow*>(data);
  const auto* event = static_cast<XEvent*>(xevent);
  if (event->xany.window != self->hostWindow_) return GDK_FILTER_CONTINUE;
  if (event->type == ConfigureNotify && self->window_) {
    const int width = event->xconfigure.width;
    const int height = event->xconfigure.height;
    gtk_window_resize(GTK_WINDOW(self->window_), width, height);
    XResizeWindow(xDisplay(), self->ownWindow_, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
  } else if (event->type == DestroyNotify) {
    // Our window went with the host's: GTK must not touch the windows again.
    self->window_ = nullptr;
    self->view_ = nullptr;
    self->quit("the host window was destroyed");
  }
  return GDK_FILTER_REMOVE;
}

}  // namespace tavrena::webview_helper
