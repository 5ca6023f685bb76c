// tavrena editor: the plug-in's editor page in the user's own browser, against the
// real controller and processor running in this process.
#include <atomic>
#include <filesystem>
#include <iostream>
#include <optional>

#include "cli_common.h"
#include "commands.h"
#include "interrupt.h"
#include "loopback_services.h"
#include "options.h"
#include "output_set.h"
#include "plugin_host.h"
#include "state/state.h"
#include "theory/json_parse.h"
#include "ui_loop.h"
#include "vstwebview/resource_server.h"
#include "vstwebview/webview_loopback.h"

namespace tavrena::cli {

namespace {

constexpr const char* kHelp =
    "usage: tavrena editor [--state FILE] [--port N] [--open] [--export-dir DIR]\n\n"
    "Runs the plug-in's editor page in your web browser, with the plug-in's controller\n"
    "and processor running here exactly as in a DAW (the preview plays in time, with\n"
    "no sound device). The page's address is printed on standard output; it holds a\n"
    "random key, and the editor answers only on 127.0.0.1.\n\n"
    "options:\n"
    "  --state FILE     the phrase to edit: read at start (a state written by 'tavrena\n"
    "                   generate --state' or by the editor), saved after every accepted\n"
    "                   change and at exit. A missing FILE is created; a FILE that is\n"
    "                   not a valid state is reported and left untouched.\n"
    "  --port N         listen on port N (default: any free port)\n"
    "  --open           open the page in the default browser ($BROWSER, else the\n"
    "                   system's opener)\n"
    "  --export-dir DIR where the page's Export writes MIDI files (default: the current\n"
    "                   folder); an existing file is never replaced: 'solo (2).mid'...\n"
    "  --resources DIR  serve the page's files from DIR instead of the built-in copy\n"
    "                   (for working on the page)\n\n"
    "Dragging a MIDI file out of the page is not available in a browser. Stop the\n"
    "editor with Ctrl-C: the state is saved first.\n";

// The state in FILE, checked as the plug-in will check it; nullopt when there is no
// such file yet. A file that cannot be used is refused here, so it is never saved over.
std::optional<std::string> readStateFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error) && !error) return std::nullopt;
  std::string text = readInput(path, kMaxStateBytes, "a state document");
  try {
    normalizeState(parseJsonText(text));
  } catch (const std::exception& e) {
    throw Refused(path + ": " + e.what());
  }
  return text;
}

void writeStateFile(const std::string& path, std::string bytes) {
  OutputSet outputs;
  outputs.add(path, std::move(bytes));
  outputs.commit();
}

}  // namespace

int runEditor(Args args) {
  const EditorOptions options = parseEditorOptions(args);
  if (options.help) {
    std::cout << kHelp;
    return kExitOk;
  }
  // First, before any thread exists.
  editor::UiLoop ui;
  std::atomic<bool> interrupted{false};
  editor::InterruptWatch interrupts([&ui, &interrupted] {
    interrupted = true;
    ui.quit();
  });

  std::optional<std::string> saved;
  if (!options.state.empty()) saved = readStateFile(options.state);
  const std::filesystem::path exportFolder = options.exportDir.empty()
                                                 ? std::filesystem::path(".")
                                                 : std::filesystem::path(options.exportDir);
  std::error_code folderError;
  if (!std::filesystem::is_directory(exportFolder, folderError))
    throw UsageError("--export-dir: '" + exportFolder.string() + "' is not a folder");
  if (!options.resources.empty() && !std::filesystem::is_directory(options.resources, folderError))
    throw UsageError("--resources: '" + options.resources + "' is not a folder");

  editor::PluginHost plugin;
  std::string error;
  if (!plugin.initialize(&error)) return reportRefused(error);
  if (saved && !plugin.restore(*saved))
    return reportRefused(options.state + ": the plug-in refused this state");
  if (!plugin.activate(&error)) return reportRefused(error);

  Controller& controller = plugin.controller();
  controller.setEditorServices(std::make_shared<editor::LoopbackServices>(
      exportFolder, [](std::string line) { std::cerr << "tavrena editor: " << line << '\n'; }));

  vstwebview::WebviewLoopback webview(
      options.resources.empty() ? vstwebview::EmbeddedResourceLookup()
                                : vstwebview::FolderResourceLookup(options.resources),
      [&ui](std::function<void()> task) { ui.post(std::move(task)); });
  // As the plug-in's view does once its browser is ready: functions first, then the page.
  controller.Bind(&webview);
  if (!webview.Start(options.port, &error)) throw UsageError(error);
  webview.LoadUrl(webview.Origin() + "index.html");

  std::cout << webview.PageUrl() << std::endl;
  if (options.open && !editor::openInBrowser(webview.PageUrl()))
    std::cerr << "tavrena editor: could not start a browser; open the address above\n";

  // Saved after every accepted change; a failure is reported and retried at the next.
  std::uint32_t savedRevision = controller.currentRevision();
  bool saveFailed = false;
  const auto save = [&](bool always) {
    if (options.state.empty()) return;
    if (!always && controller.currentRevision() == savedRevision) return;
    try {
      writeStateFile(options.state, plugin.save());
      savedRevision = controller.currentRevision();
      saveFailed = false;
    } catch (const std::exception& e) {
      saveFailed = true;
      std::cerr << "tavrena editor: cannot save the state: " << e.what() << '\n';
    }
  };
  ui.run([&] { save(false); });

  webview.Shutdown();
  save(true);
  if (interrupted) std::cerr << "tavrena editor: stopped\n";
  return saveFailed ? kExitUsage : kExitOk;
}

}  // namespace tavrena::cli
