#include "synth_session.h"

#include <glib.h>

#include <mutex>
#include <string>

#include "audio/audio_error.h"
#include "audio/audio_settings.h"

namespace tavrena {
namespace {

thread_local std::string tErrors;

// FluidSynth's log is global: errors are kept for the thread that caused them,
// everything else (warnings about SoundFont details, debug output) is dropped so
// that it never mixes with the tool's own messages.
void keepError(int, const char* message, void*) {
  if (!tErrors.empty()) tErrors += "; ";
  tErrors += message;
}

// FluidSynth's loader of other instrument formats (libinstpatch) complains about a
// broken SoundFont through GLib's log, without a domain.
void keepGlibError(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
  keepError(FLUID_ERR, message, nullptr);
}

void routeFluidSynthLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_log_set_handler(nullptr,
                      static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING),
                      keepGlibError, nullptr);
    fluid_set_log_function(FLUID_PANIC, keepError, nullptr);
    fluid_set_log_function(FLUID_ERR, keepError, nullptr);
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
  });
}

// FluidSynth fills its shared tables on the first synthesiser it makes, without a
// lock of its own.
std::mutex& creationMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string withDetail(std::string message) {
  const std::string detail = takeFluidSynthErrors();
  if (!detail.empty()) message += ": " + detail;
  return message;
}

}  // namespace

void keepFluidSynthError(const char* message) {
  keepError(FLUID_ERR, message, nullptr);
}

std::string takeFluidSynthErrors() {
  std::string errors;
  errors.swap(tErrors);
  return errors;
}

SynthSession::SynthSession(const std::filesystem::path& soundFont, int sampleRate,
                           const char* audioDriver) {
  routeFluidSynthLog();
  takeFluidSynthErrors();
  settings_ = new_fluid_settings();
  if (settings_ == nullptr) throw AudioError(withDetail("cannot start FluidSynth"));
  fluid_settings_setnum(settings_, "synth.sample-rate", sampleRate);
  fluid_settings_setnum(settings_, "synth.gain", kSynthGain);
  fluid_settings_setint(settings_, "synth.reverb.active", 0);
  fluid_settings_setint(settings_, "synth.chorus.active", 0);
  fluid_settings_setstr(settings_, "player.timing-source", "sample");
  if (audioDriver != nullptr) fluid_settings_setstr(settings_, "audio.driver", audioDriver);
  {
    const std::lock_guard lock(creationMutex());
    synth_ = new_fluid_synth(settings_);
  }
  if (synth_ == nullptr) {
    delete_fluid_settings(settings_);
    throw AudioError(withDetail("cannot start FluidSynth"));
  }
  // Checked first: FluidSynth's fallback loader for other formats prints its own
  // complaints about such files straight to standard error.
  if (!fluid_is_soundfont(soundFont.c_str())) {
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
    throw AudioError("cannot load the SoundFont '" + soundFont.string() +
                     "': it is not an SF2 or SF3 file");
  }
  if (fluid_synth_sfload(synth_, soundFont.c_str(), 1) == FLUID_FAILED) {
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
    throw AudioError(withDetail("cannot load the SoundFont '" + soundFont.string() + "'"));
  }
}

SynthSession::~SynthSession() {
  if (player_ != nullptr) delete_fluid_player(player_);
  delete_fluid_synth(synth_);
  delete_fluid_settings(settings_);
}

void SynthSession::play(std::span<const std::uint8_t> midiFile) {
  player_ = new_fluid_player(synth_);
  if (player_ == nullptr) throw AudioError(withDetail("cannot start FluidSynth's MIDI player"));
  if (fluid_player_add_mem(player_, midiFile.data(), midiFile.size()) != FLUID_OK ||
      fluid_player_play(player_) != FLUID_OK)
    throw AudioError(withDetail("FluidSynth's MIDI player refused the MIDI file"));
}

bool SynthSession::playing() const {
  return player_ != nullptr && fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING;
}

}  // namespace tavrena
