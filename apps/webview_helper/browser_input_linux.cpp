// Keyboard focus between the host and the page, the save dialog and file drags, which the
// helper runs for the plug-in (the plug-in itself has no toolkit).
#include <X11/Xlib.h>
#include <gdk/gdkkeysyms.h>
#include <gdk/gdkx.h>

#include "browser_window_linux.h"

namespace tavrena::webview_helper {

namespace helper = vstwebview::helper;

namespace {

Display* xDisplay() {
  return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

// X calls on windows the host may have destroyed meanwhile: an error is no reason to die.
template <typename Call>
void trapped(Call call) {
  GdkDisplay* display = gdk_display_get_default();
  gdk_x11_display_error_trap_push(display);
  call();
  gdk_x11_display_error_trap_pop_ignored(display);
}

}  // namespace

// An embedded window gets keys only while it holds the X input focus, which a click on the
// page takes and Escape or leaving hands back to the host.
void BrowserWindow::takeFocus() {
  if (!window_ || focused_) return;
  trapped([&] { XSetInputFocus(xDisplay(), ownWindow_, RevertToParent, CurrentTime); });
  gtk_widget_grab_focus(GTK_WIDGET(view_));
  focused_ = true;
  send(helper::Focus{true});
}

void BrowserWindow::giveBackFocus() {
  // By where the X focus is, not by our flag: GTK may have reported a focus change of its own.
  Window focus = 0;
  int revert = 0;
  trapped([&] { XGetInputFocus(xDisplay(), &focus, &revert); });
  const bool ours = focus == ownWindow_;
  focused_ = false;
  if (!ours) return;
  trapped([&] { XSetInputFocus(xDisplay(), hostWindow_, RevertToParent, CurrentTime); });
  send(helper::Focus{false});
}

gboolean BrowserWindow::onButtonPress(GtkWidget*, GdkEventButton*, gpointer data) {
  static_cast<BrowserWindow*>(data)->takeFocus();
  return FALSE;  // the page gets the click too
}

gboolean BrowserWindow::onKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<BrowserWindow*>(data);
  // The forwarded key comes back here when the view lets it bubble up: once is enough.
  if (event->keyval == GDK_KEY_Escape && self->view_ && !self->forwardingKey_) {
    // The page sees this Escape (it closes a picker or cancels a drag) before the focus
    // goes back to the host.
    self->forwardingKey_ = true;
    gtk_widget_event(GTK_WIDGET(self->view_), reinterpret_cast<GdkEvent*>(event));
    self->forwardingKey_ = false;
    self->giveBackFocus();
    return TRUE;
  }
  return FALSE;
}

gboolean BrowserWindow::onFocusOut(GtkWidget*, GdkEventFocus*, gpointer data) {
  auto* self = static_cast<BrowserWindow*>(data);
  if (self->focused_) {
    self->focused_ = false;
    self->send(helper::Focus{false});
  }
  return FALSE;
}

void BrowserWindow::saveDialog(const helper::SaveDialog& request) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      request.title.c_str(), window_ ? GTK_WINDOW(window_) : nullptr, GTK_FILE_CHOOSER_ACTION_SAVE,
      "_Cancel", GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog), TRUE);
  gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), request.suggestedName.c_str());
  GtkFileFilter* midi = gtk_file_filter_new();
  gtk_file_filter_set_name(midi, "MIDI (*.mid)");
  gtk_file_filter_add_pattern(midi, "*.mid");
  gtk_file_filter_add_pattern(midi, "*.MID");
  gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), midi);
  g_object_set_data(G_OBJECT(dialog), "tavrena-request", GUINT_TO_POINTER(request.id));
  g_signal_connect(dialog, "response", G_CALLBACK(&BrowserWindow::onSaveResponse), this);
  gtk_widget_show(dialog);
}

void BrowserWindow::onSaveResponse(GtkDialog* dialog, gint response, gpointer data) {
  auto* self = static_cast<BrowserWindow*>(data);
  const auto id = static_cast<std::uint32_t>(
      GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(dialog), "tavrena-request")));
  std::string path;
  if (response == GTK_RESPONSE_ACCEPT) {
    gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    if (chosen) path = chosen;
    g_free(chosen);
  }
  gtk_widget_destroy(GTK_WIDGET(dialog));
  self->send(helper::SaveDialogResult{id, path});
}

// The drag offers the written file as a URI list, the form file managers and hosts take. Its
// end is reported, with whether a target took the file; a drag that cannot start ends at once.
void BrowserWindow::dragFile(const helper::DragFile& request) {
  if (!view_ || !dragUri_.empty()) {
    send(helper::DragResult{false});
    return;
  }
  GError* error = nullptr;
  gchar* uri = g_filename_to_uri(request.path.c_str(), nullptr, &error);
  if (!uri) {
    g_error_free(error);
    send(helper::DragResult{false});
    return;
  }
  dragUri_ = uri;
  dragFailed_ = false;
  g_free(uri);
  static const GtkTargetEntry kTargets[] = {
      {const_cast<gchar*>("text/uri-list"), 0, 0},
  };
  GtkTargetList* targets = gtk_target_list_new(kTargets, 1);
  if (!dragSignals_) {
    dragSignals_ = true;
    g_signal_connect(view_, "drag-data-get", G_CALLBACK(&BrowserWindow::onDragDataGet), this);
    g_signal_connect(view_, "drag-failed", G_CALLBACK(&BrowserWindow::onDragFailed), this);
    g_signal_connect(view_, "drag-end", G_CALLBACK(&BrowserWindow::onDragEnd), this);
  }
  GdkDragContext* context = gtk_drag_begin_with_coordinates(GTK_WIDGET(view_), targets,
                                                            GDK_ACTION_COPY, 1, nullptr, -1, -1);
  gtk_target_list_unref(targets);
  if (!context) {
    dragUri_.clear();
    send(helper::DragResult{false});
  }
}

void BrowserWindow::onDragDataGet(GtkWidget* widget, GdkDragContext*, GtkSelectionData* data, guint,
                                  guint, gpointer self) {
  auto* window = static_cast<BrowserWindow*>(self);
  if (window->dragUri_.empty()) return;  // the page's own drags keep WebKit's handling
  gchar* uris[] = {window->dragUri_.data(), nullptr};
  gtk_selection_data_set_uris(data, uris);
  g_signal_stop_emission_by_name(widget, "drag-data-get");
}

// No target, a refusal, Escape or a broken grab; drag-end follows.
gboolean BrowserWindow::onDragFailed(GtkWidget*, GdkDragContext*, GtkDragResult, gpointer self) {
  auto* window = static_cast<BrowserWindow*>(self);
  if (!window->dragUri_.empty()) window->dragFailed_ = true;
  return FALSE;  // GTK's animation back to the source
}

void BrowserWindow::onDragEnd(GtkWidget*, GdkDragContext*, gpointer self) {
  auto* window = static_cast<BrowserWindow*>(self);
  if (window->dragUri_.empty()) return;  // one of the page's own drags
  window->dragUri_.clear();
  window->send(helper::DragResult{!window->dragFailed_});
}

}  // namespace tavrena::webview_helper
