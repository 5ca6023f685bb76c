#pragma once
// The editor's browser in the helper process: a WebKitGTK view in an undecorated GTK window
// reparented into the host's X11 window, driven by the plug-in's messages. Everything runs on
// GTK's main loop.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "vstwebview/helper_connection.h"

namespace tavrena::webview_helper {

using vstwebview::helper::Connection;
using vstwebview::helper::Message;

class BrowserWindow {
 public:
  // fd: the socket to the plug-in (owned from now on).
  explicit BrowserWindow(int fd);
  ~BrowserWindow();
  BrowserWindow(const BrowserWindow&) = delete;
  BrowserWindow& operator=(const BrowserWindow&) = delete;

  // Runs GTK's loop until the plug-in closes, the host window goes or the connection fails.
  // Returns the process's exit code.
  int Run();

 private:
  void handle(const Message& message);
  void attach(const vstwebview::helper::Attach& attach);
  void quit(const std::string& reason);
  void send(const Message& message);
  void watchWrites();

  // GTK, WebKit and X11 callbacks.
  static gboolean onSocket(gint fd, GIOCondition condition, gpointer self);
  static gboolean onSocketWritable(gint fd, GIOCondition condition, gpointer self);
  static void onSchemeRequest(WebKitURISchemeRequest* request, gpointer self);
  static void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                              gpointer self);
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer);
  static gboolean onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                gpointer);
  static void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                     gpointer self);
  static gboolean onButtonPress(GtkWidget*, GdkEventButton*, gpointer self);
  static gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean onFocusOut(GtkWidget*, GdkEventFocus*, gpointer self);
  static GdkFilterReturn onX11Event(GdkXEvent* xevent, GdkEvent*, gpointer self);
  static void onScriptDone(GObject* view, GAsyncResult* result, gpointer data);
  static void onSaveResponse(GtkDialog* dialog, gint response, gpointer self);
  static void onDragDataGet(GtkWidget* widget, GdkDragContext*, GtkSelectionData* data, guint,
                            guint, gpointer self);
  static gboolean onDragFailed(GtkWidget*, GdkDragContext*, GtkDragResult, gpointer self);
  static void onDragEnd(GtkWidget*, GdkDragContext*, gpointer self);

  void takeFocus();
  void giveBackFocus();
  void respond(const vstwebview::helper::ResourceResponse& response);
  void execute(const vstwebview::helper::Execute& execute);
  void saveDialog(const vstwebview::helper::SaveDialog& request);
  void dragFile(const vstwebview::helper::DragFile& request);

  std::unique_ptr<Connection> connection_;
  guint socketWatch_ = 0;
  guint writeWatch_ = 0;
  GMainLoop* loop_ = nullptr;
  int exitCode_ = 0;
  bool quitting_ = false;

  std::string origin_;
  unsigned long hostWindow_ = 0;
  unsigned long ownWindow_ = 0;
  GtkWidget* window_ = nullptr;
  WebKitWebView* view_ = nullptr;
  WebKitWebContext* context_ = nullptr;
  WebKitUserContentManager* content_ = nullptr;
  bool focused_ = false;
  bool forwardingKey_ = false;
  GCancellable* cancellable_ = nullptr;  // cancels scripts still running when the window goes
  bool dragSignals_ = false;

  std::uint32_t nextRequest_ = 1;
  std::map<std::uint32_t, WebKitURISchemeRequest*> requests_;
  std::string dragUri_;  // the file being dragged; empty between drags
  bool dragFailed_ = false;
};

}  // namespace tavrena::webview_helper
