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
  // FluidSynth works in 64-frame blocks and runs the player's clock before each
  // one, however many frames a call asks for: the chunk size changes no sample.
  constexpr int kChunkFrames = 4096;
  std::array<float, 2 * kChunkFrames> chunk;
  for (std::int64_t done = 0; done < frames;) {
    const int n = static_cast<int>(std::min<std::int64_t>(kChunkFrames, frames - done));
    if (fluid_synth_write_float(session.synth(), n, chunk.data(), 0, 2, chunk.data(), 1, 2) !=
        FLUID_OK)
      throw AudioError("FluidSynth failed to render: " + takeFluidSynthErrors());
    wav.write(std::span<const float>(chunk.data(), 2 * static_cast<std::size_t>(n)));
    done += n;
  }
  return wav.finish();
}

}  // namespace tavrena
