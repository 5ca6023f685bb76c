#include "playback/preview_tone.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>

namespace tavrena {
namespace {

// The mix is rendered in runs of at most this many samples (stack buffers).
constexpr std::int32_t kChunk = 256;
// Arguments up to this size take the polynomial path (quadrant count < 2^20,
// so the first part of pi/2 times it is exact); larger ones use the C library.
constexpr double kFastSineLimit = 1024.0;

constexpr double kTwoOverPi = 6.36619772367581382433e-01;
constexpr double kPiOver2Hi = 1.57079632673412561417e+00;  // first 33 bits of pi/2
constexpr double kPiOver2Lo = 6.07710050650619224932e-11;  // pi/2 - kPiOver2Hi
constexpr double kRoundShift = 6755399441055744.0;         // 1.5 * 2^52

// Minimax polynomials for sin and cos on [-pi/4, pi/4], error below one unit
// in the last place (the classic fdlibm kernels).
inline double kernelSin(double x) {
  const double z = x * x;
  const double w = z * z;
  const double r = 8.33333333332248946124e-03 +
                   z * (-1.98412698298579493134e-04 + z * 2.75573137070700676789e-06) +
                   z * w * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10);
  const double v = z * x;
  return x + v * (-1.66666666666666324348e-01 + z * r);
}

inline double kernelCos(double x) {
  const double z = x * x;
  const double w = z * z;
  const double r = z * (4.16666666666666019037e-02 +
                        z * (-1.38888888888741095749e-03 + z * 2.48015872894767294178e-05)) +
                   w * w *
                       (-2.75573143513906633035e-07 +
                        z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11));
  const double hz = 0.5 * z;
  const double one = 1.0 - hz;
  return one + (((1.0 - one) - hz) + z * r);
}

// Branch-free so that loops over it vectorise; only for |x| <= kFastSineLimit.
inline double fastSine(double x) {
  const double shifted = x * kTwoOverPi + kRoundShift;
  const double quadrants = shifted - kRoundShift;  // x * 2/pi rounded to nearest
  const std::uint64_t q = std::bit_cast<std::uint64_t>(shifted);
  const double r = (x - quadrants * kPiOver2Hi) - quadrants * kPiOver2Lo;
  const std::uint64_t s = std::bit_cast<std::uint64_t>(kernelSin(r));
  const std::uint64_t c = std::bit_cast<std::uint64_t>(kernelCos(r));
  const std::uint64_t useCos = 0 - (q & 1);
  const std::uint64_t negate = (q & 2) << 62;
  return std::bit_cast<double>(((s & ~useCos) | (c & useCos)) ^ negate);
}

void applyCommand(PreviewTone& tone, const VoiceCommand& command, std::int32_t pitchBendRange,
                  double sampleRate) noexcept {
  if (command.kind == kKindPitchBend) {
    const double semitones = static_cast<double>(command.value - kBendCentre) *
                             static_cast<double>(pitchBendRange) * 0.0001220703125;  // 2^-13
    const double ratio = std::pow(2.0, (semitones - tone.bend) / 12.0);
    for (PreviewVoice& voice : tone.voices) voice.increment = voice.increment * ratio;
    tone.bend = semitones;
    return;
  }
  if (command.kind < 0 || command.kind >= 128) return;  // controllers and programs
  PreviewVoice& voice = tone.voices[static_cast<std::size_t>(command.kind)];
  if (command.value == 0) {
    voice.amplitude = 0.0;  // no release: the preview stops at once
    return;
  }
  voice.phase = 0.0;
  voice.amplitude = static_cast<double>(command.value) * 0.007874015748031496;  // 1/127
  // 2 pi * 440 Hz * equal-tempered ratio from A4, per sample.
  voice.increment = std::pow(2.0, (static_cast<double>(command.kind - 69) + tone.bend) / 12.0) *
                    2764.601535159018 / sampleRate;
}

// Adds one voice's next `length` samples to mix, in the same per-sample order of
// operations as a sample-by-sample mix over ascending voices.
void mixVoice(PreviewVoice& voice, double decay, std::int32_t length, double* mix, double* phases,
              double* amplitudes) noexcept {
  double phase = voice.phase;
  double amplitude = voice.amplitude;
  const double increment = voice.increment;
  std::int32_t audible = 0;
  for (; audible < length && amplitude > kSilentAmplitude; ++audible) {
    phases[audible] = phase;
    amplitudes[audible] = amplitude;
    phase = phase + increment;
    if (phase > kTwoPi) phase = phase - kTwoPi;
    amplitude = amplitude * decay;
  }
  voice.phase = phase;
  voice.amplitude = amplitude;

  // Phases stay within one turn unless the increment exceeds a turn (absurdly
  // low sample rates); bound the worst case before taking the fast path.
  if (std::fabs(phases[0]) + static_cast<double>(length) * std::fabs(increment) <=
      kFastSineLimit / 2.0) {
    for (std::int32_t k = 0; k < audible; ++k) {
      mix[k] += (fastSine(2.0 * phases[k]) * 0.03 + fastSine(phases[k]) * 0.12) * amplitudes[k];
    }
  } else {
    for (std::int32_t k = 0; k < audible; ++k) {
      mix[k] += (toneSine(2.0 * phases[k]) * 0.03 + toneSine(phases[k]) * 0.12) * amplitudes[k];
    }
  }
}

}  // namespace

double toneSine(double x) noexcept {
  if (!(std::fabs(x) <= kFastSineLimit)) return std::sin(x);
  return fastSine(x);
}

void renderPreviewTone(PreviewTone& tone, const VoiceCommandBuffer& commands,
                       std::int32_t pitchBendRange, double sampleRate, std::int32_t numSamples,
                       ToneOutput& out) noexcept {
  if (numSamples <= 0) return;
  const double decay = std::exp(-5.0 / sampleRate);  // 1/e after 0.2 s
  double mix[kChunk];
  double phases[kChunk];
  double amplitudes[kChunk];
  const std::int32_t commandCount = commands.size();
  std::int32_t nextCommand = 0;

  std::int32_t first = 0;
  while (first < numSamples) {
    while (nextCommand < commandCount && commands[nextCommand].sampleOffset <= first) {
      applyCommand(tone, commands[nextCommand], pitchBendRange, sampleRate);
      ++nextCommand;
    }
    // A run ends at the next command, so every voice is constant in between.
    std::int32_t end = std::min(numSamples, first + kChunk);
    if (nextCommand < commandCount) end = std::min(end, commands[nextCommand].sampleOffset);
    const std::int32_t length = end - first;

    std::fill_n(mix, length, 0.0);
    for (PreviewVoice& voice : tone.voices) {
      if (voice.amplitude > kSilentAmplitude) {
        mixVoice(voice, decay, length, mix, phases, amplitudes);
      }
    }
    for (std::int32_t k = 0; k < length; ++k) mix[k] = std::clamp(mix[k], -1.0, 1.0);
    out.write(first, mix, length);
    first = end;
  }
}

}  // namespace tavrena
