#pragma once
// The edit controller: owns the phrase's state document, runs one generation job at a
// time on a worker thread, keeps the status line and the processor's transport report,
// and relays playback requests to the processor.
//
// Threads: every host call and every operation below runs on the host's user-interface
// thread, so the controller takes no lock. The generation worker sees only its private
// copy of the configuration and the atomic cancel flag; its result comes back through
// the future `job`.
#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <utility>

#include "editor_services.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "theory/json.h"
#include "vstwebview/bindings.h"
#include "vstwebview/browser_factory.h"

namespace tavrena {

// Generates one variant (a note array) from a configuration, reading the cancel flag
// between steps. The module uses generateSolo; tests substitute their own.
using GenerateFunction =
    std::function<Json(const Json& configuration, const std::atomic<bool>& cancelFlag)>;

class Controller : public Steinberg::Vst::EditController, public vstwebview::Bindings {
 public:
  Controller();
  explicit Controller(GenerateFunction generate);
  // Cancels a running job and waits for it.
  ~Controller() override;

  // Host calls never let an exception out: every one returns a result code.
  // IEditController. Both state setters read a whole state stream; on success the
  // document becomes current (the processor is restored by the host separately).
  Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* stream) override;
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* stream) override;
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* stream) override;
  // A new View for the name "editor" (the host owns it); null for any other name.
  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;

  // IConnectionPoint: stores "TavrenaTransport" reports; anything else goes to the SDK.
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override;

  // vstwebview::Bindings: registers the editor page's eight native functions, in the
  // order the page documents them.
  void Bind(vstwebview::Webview* webview) override;

  // The editor host's services for export, drag and the maker's site; null (the
  // default) makes those functions answer false.
  void setEditorServices(std::shared_ptr<EditorServices> editorServices) {
    services = std::move(editorServices);
  }

  // Where the views created from now on get their browsers (the platform's by default).
  void setBrowserFactory(vstwebview::BrowserFactory factory) {
    browserFactory = std::move(factory);
  }

  // What tavrenaRead answers: revision, transport, busy, status, and the state unless
  // knownRevision is a JSON integer equal to the current revision.
  Json snapshot(const Json* knownRevision) const;

  // Normalises candidate and sends it to the processor as "TavrenaState"; only when the
  // processor accepts it does it become current (revision + 1, host told it is dirty).
  // A validation failure puts its message into the status line. Returns whether the
  // state was adopted.
  bool applyState(const Json& candidate);

  // Starts generating the selected variant on a worker; false while a job is held
  // (running, or finished and not collected). Throws the JSON library's type error
  // if the configured seed is not a number.
  bool startGeneration();

  // Adopts a finished job's notes into its variant slot, unless the state changed since
  // the job started; sets the status line either way. Does nothing while a job runs.
  void collectGeneration();

  // Asks a running job to stop at its next check.
  void requestCancel();

  // Starts (true) or stops (false) the processor's preview; whether it was accepted.
  bool sendPlayback(bool play);

  // Asks the processor for a transport report ("TavrenaPoll"); the reply arrives
  // through notify.
  void requestTransport();

  // Read access for the editor bridge.
  const Json& currentState() const { return state; }
  const Json& transportReport() const { return transport; }
  std::uint32_t currentRevision() const { return revision; }
  const std::string& statusText() const { return status; }
  bool hasJob() const { return job.valid(); }

 private:
  Steinberg::tresult receiveMessage(Steinberg::Vst::IMessage* message);

  Json state;
  Json transport;
  std::uint32_t revision = 0;
  std::uint32_t jobRevision = 0;
  std::int32_t jobVariation = 0;
  std::future<Json> job;
  std::atomic<bool> cancelRequested{false};
  std::string status;
  GenerateFunction generate;
  std::shared_ptr<EditorServices> services;
  vstwebview::BrowserFactory browserFactory = vstwebview::DefaultBrowserFactory();
};

}  // namespace tavrena
