// The solo rendered through FluidSynth, measured from its samples: length, silence
// before the first note, the pitch a bend arrives at, and determinism.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "audio/solo_audio.h"
#include "audio/soundfont_lookup.h"
#include "expect_throw_msg.h"
#include "generator/generate.h"
#include "generator/render.h"
#include "theory/config.h"
#include "wav_reading.h"

namespace tavrena {
namespace {

SoloAudioOptions floatOptions(int rate = 44100) {
  SoloAudioOptions options;
  options.audio.soundFont = findSoundFont("", nullptr);
  options.audio.sampleRate = rate;
  options.audio.format = SampleFormat::Float32;
  return options;
}

testing::WavAudio render(const Json& state, const SoloAudioOptions& options) {
  const std::vector<std::uint8_t> wav = renderSoloWav(state, 0, options);
  return testing::readWav(std::string(wav.begin(), wav.end()));
}

// One bar of C at 120 bpm (2 s) with the given notes as variant 0.
Json oneBar(const Json& notes) {
  return {{"config", {{"progression", {"C"}}, {"bpm", 120}}},
          {"variants", {notes, Json::array(), Json::array()}}};
}

double rms(const testing::WavAudio& audio, double from, double to) {
  const auto first = static_cast<std::size_t>(from * audio.sampleRate) * 2;
  const auto last = static_cast<std::size_t>(to * audio.sampleRate) * 2;
  double sum = 0.0;
  for (std::size_t i = first; i < last; ++i) sum += audio.samples[i] * audio.samples[i];
  return std::sqrt(sum / static_cast<double>(last - first));
}

// The strongest frequency between low and high Hz over [from, to) seconds of the
// left channel: the Hann-windowed DFT evaluated directly on a 0.25 Hz grid (as
// zero padding would), refined by a parabola through the best point and its
// neighbours.
double peakFrequency(const testing::WavAudio& audio, double from, double to, double low,
                     double high) {
  const auto first = static_cast<std::size_t>(from * audio.sampleRate);
  const auto count = static_cast<std::size_t>((to - from) * audio.sampleRate);
  std::vector<double> x(count);
  for (std::size_t n = 0; n < count; ++n)
    x[n] = audio.samples[2 * (first + n)] *
           (0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(n) /
                                 static_cast<double>(count - 1)));
  auto magnitude = [&](double f) {
    double re = 0.0, im = 0.0;
    const double w = 2 * std::numbers::pi * f / audio.sampleRate;
    for (std::size_t n = 0; n < count; ++n) {
      re += x[n] * std::cos(w * static_cast<double>(n));
      im -= x[n] * std::sin(w * static_cast<double>(n));
    }
    return std::hypot(re, im);
  };
  constexpr double kStep = 0.25;
  std::vector<double> grid;
  for (double f = low; f <= high; f += kStep) grid.push_back(magnitude(f));
  const auto best =
      static_cast<std::size_t>(std::max_element(grid.begin(), grid.end()) - grid.begin());
  double offset = 0.0;
  if (best > 0 && best + 1 < grid.size()) {
    const double a = grid[best - 1], b = grid[best], c = grid[best + 1];
    offset = 0.5 * (a - c) / (a - 2 * b + c);
  }
  return low + (static_cast<double>(best) + offset) * kStep;
}

double cents(double frequency, int midiNote) {
  return 1200.0 * std::log2(frequency / (440.0 * std::exp2((midiNote - 69) / 12.0)));
}

TEST(SoloAudio, LastsThePhraseAndTheTailAtEitherRate) {
  // 4/4 at 120 bpm for one bar, then 3/4 at 90 bpm: 2 s + 2 s, and the 1.5 s tail.
  const Json state = {
      {"config", {{"progression", {"C", {{"chord", "G"}, {"meter", "3/4"}, {"bpm", 90}}}}}}};
  for (int rate : {44100, 48000}) {
    const testing::WavAudio audio = render(state, floatOptions(rate));
    EXPECT_EQ(audio.sampleRate, rate);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_EQ(audio.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(audio.frames(), static_cast<std::size_t>(5.5 * rate));
  }
}

TEST(SoloAudio, SilentBeforeTheFirstNoteAndSoundingDuringIt) {
  // A note from 0.5 s to 1 s.
  const testing::WavAudio audio = render(
      oneBar(Json::array({{{"start", 1.0}, {"length", 1.0}, {"pitch", 60}, {"velocity", 100}}})),
      floatOptions());
  const auto onset = static_cast<std::size_t>(0.5 * audio.sampleRate) * 2;
  EXPECT_TRUE(std::all_of(audio.samples.begin(), audio.samples.begin() + onset,
                          [](float s) { return s == 0.0f; }));
  EXPECT_GT(rms(audio, 0.52, 1.0), 0.001);  // above -60 dBFS
}

TEST(SoloAudio, ABentNoteArrivesAtItsTargetPitch) {
  // G4 on the last beat over C: struck as F4 and bent up on the second string (the
  // rendering decides that; the events say so), held until 2 s. Only the pitch bend
  // can bring the sound to G4.
  const Json notes =
      Json::array({{{"start", 3.0}, {"length", 1.0}, {"pitch", 67}, {"velocity", 100}}});
  const Json state = oneBar(notes);
  bool bent = false, struckF4 = false;
  for (const MidiEvent& e : renderSoloEvents(state.at("config"), notes)) {
    bent = bent ||
           std::string(e.bytes.begin(), e.bytes.end()).find("bend: 65->67") != std::string::npos;
    struckF4 = struckF4 || e.bytes == std::vector<std::uint8_t>{0x90, 65, 100};
  }
  ASSERT_TRUE(bent && struckF4);

  const testing::WavAudio audio = render(state, floatOptions());
  // The bend's last 50 ms, ending a block (64 frames) before the note-off reaches
  // the synthesiser: within 10 cents of G4, searched over three semitones either
  // side (F4, where the string was struck, included).
  const double end = 2.0 - 0.002;
  const double arrived = peakFrequency(audio, end - 0.05, end, 311.0, 466.0);
  EXPECT_LT(std::abs(cents(arrived, 67)), 10.0) << arrived << " Hz";
}

TEST(SoloAudio, TwoRendersAreTheSameBytes) {
  static const std::atomic<bool> kNeverCancelled{false};
  const Json config = defaultConfig();
  const Json state = {
      {"config", config},
      {"variants", {generateSolo(config, kNeverCancelled), Json::array(), Json::array()}}};
  SoloAudioOptions options = floatOptions();
  options.chords = true;
  EXPECT_EQ(renderSoloWav(state, 0, options), renderSoloWav(state, 0, options));
}

TEST(SoloAudio, RefusesVariantsAndPhrasesItCannotRender) {
  EXPECT_THROW_MSG(renderSoloWav(oneBar(Json::array()), 3, floatOptions()), std::invalid_argument,
                   "variant must be 0, 1 or 2");
  // 400 bars of 4/4 at 20 bpm: 4800 s.
  const Json longPhrase = {
      {"config",
       {{"progression", {{{"chord", "C"}, {"bars", 200}}, {{"chord", "G"}, {"bars", 200}}}},
        {"bpm", 20}}}};
  EXPECT_THROW_MSG(renderSoloWav(longPhrase, 0, floatOptions()), std::invalid_argument,
                   "the phrase lasts 4802 s with its tail; at most 3600 s can be rendered");
}

}  // namespace
}  // namespace tavrena
