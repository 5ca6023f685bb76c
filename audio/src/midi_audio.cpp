#include "audio/midi_audio.h"

#include <algorithm>
#include <array>

#include "audio/audio_error.h"
#include "audio/wav_writer.h"
#include "synth_session.h"

namespace tavrena {

std::vector<std::uint8_t> renderMidiAudio(std::span<const std::uint8_t> midiFile,
                                          const AudioSettings& settings, std::int64_t frames) {
  SynthSession session(settings.soundFont, settings.sampleRate);
  session.play(midiFile);
  WavWriter wav(settings.sampleRate, settings.format, frames);
  // FluidSynth's file renderer asks for one period (audio.period-size, 64 frames by
  // default) per call, and so do we: FluidSynth dispatches some queued events only
  // between calls, so the size of the calls shapes the samples.
  constexpr int kPeriodFrames = 64;
  constexpr int kBufferFrames = 64 * kPeriodFrames;
  std::array<float, 2 * kBufferFrames> buffer;
  for (std::int64_t done = 0; done < frames;) {
    const int n = static_cast<int>(std::min<std::int64_t>(kBufferFrames, frames - done));
    for (int at = 0; at < n; at += kPeriodFrames) {
      float* out = buffer.data() + 2 * at;
      if (fluid_synth_write_float(session.synth(), std::min(kPeriodFrames, n - at), out, 0, 2, out,
                                  1, 2) != FLUID_OK)
        throw AudioError("FluidSynth failed to render: " + takeFluidSynthErrors());
    }
    wav.write(std::span<const float>(buffer.data(), 2 * static_cast<std::size_t>(n)));
    done += n;
  }
  return wav.finish();
}

}  // namespace tavrena
