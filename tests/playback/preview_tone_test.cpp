// The preview tone against a straightforward sample-by-sample mix written here
// from the tone's definition; the optimised generator must match it bit for bit.
#include "playback/preview_tone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "recording_output.h"

namespace tavrena {
namespace {

using testing::RecordingTone;

// One sample at a time: apply the due commands, then sum every audible voice in
// ascending pitch order.
std::vector<double> naiveBlock(PreviewTone& tone, const std::vector<VoiceCommand>& commands,
                               std::int32_t bendRange, double rate, std::int32_t samples) {
  std::vector<double> out(static_cast<std::size_t>(samples));
  const double h = std::exp(-5.0 / rate);
  std::size_t next = 0;
  for (std::int32_t i = 0; i < samples; ++i) {
    while (next < commands.size() && commands[next].sampleOffset <= i) {
      const VoiceCommand& c = commands[next++];
      if (c.kind == 128) {
        const double w = (c.value - 8192.0) * bendRange * std::pow(2.0, -13);
        for (PreviewVoice& v : tone.voices) v.increment *= std::pow(2.0, (w - tone.bend) / 12.0);
        tone.bend = w;
      } else if (c.kind >= 0 && c.kind < 128 && c.value != 0) {
        PreviewVoice& v = tone.voices[static_cast<std::size_t>(c.kind)];
        v.phase = 0.0;
        v.amplitude = c.value * 0.007874015748031496;
        v.increment = std::pow(2.0, (c.kind - 69 + tone.bend) / 12.0) * 2764.601535159018 / rate;
      } else if (c.kind >= 0 && c.kind < 128) {
        tone.voices[static_cast<std::size_t>(c.kind)].amplitude = 0.0;
      }
    }
    double sum = 0.0;
    for (PreviewVoice& v : tone.voices) {
      if (v.amplitude <= 1e-5) continue;
      const double p = v.phase;
      sum += (toneSine(2 * p) * 0.03 + toneSine(p) * 0.12) * v.amplitude;
      v.phase = p + v.increment;
      if (v.phase > 6.283185307179586) v.phase -= 6.283185307179586;
      v.amplitude *= h;
    }
    out[static_cast<std::size_t>(i)] = std::max(-1.0, std::min(1.0, sum));
  }
  return out;
}

std::vector<double> fastBlock(PreviewTone& tone, const std::vector<VoiceCommand>& commands,
                              std::int32_t bendRange, double rate, std::int32_t samples) {
  VoiceCommandBuffer buffer;
  for (const VoiceCommand& c : commands) buffer.push(c.kind, c.value, c.sampleOffset);
  RecordingTone out;
  renderPreviewTone(tone, buffer, bendRange, rate, samples, out);
  EXPECT_EQ(out.block.size(), static_cast<std::size_t>(std::max(samples, 0)));
  return out.block;
}

void expectSameBits(const std::vector<double>& a, const std::vector<double>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(std::bit_cast<std::uint64_t>(a[i]), std::bit_cast<std::uint64_t>(b[i]))
        << "sample " << i << ": " << a[i] << " vs " << b[i];
  }
}

void expectSameTone(const PreviewTone& a, const PreviewTone& b) {
  EXPECT_EQ(std::bit_cast<std::uint64_t>(a.bend), std::bit_cast<std::uint64_t>(b.bend));
  for (std::size_t v = 0; v < 128; ++v) {
    ASSERT_EQ(a.voices[v].phase, b.voices[v].phase) << v;
    ASSERT_EQ(a.voices[v].amplitude, b.voices[v].amplitude) << v;
    ASSERT_EQ(a.voices[v].increment, b.voices[v].increment) << v;
  }
}

TEST(PreviewTone, MatchesTheSampleBySampleMixBitForBit) {
  std::mt19937 random(20240611);
  const std::int32_t sizes[] = {1, 2, 64, 255, 256, 257, 511, 512, 1000, 3};
  for (const double rate : {48000.0, 44100.0, 96000.0, 8000.0}) {
    PreviewTone naive;
    PreviewTone fast;
    for (int block = 0; block < 60; ++block) {
      const std::int32_t samples = sizes[static_cast<std::size_t>(block) % std::size(sizes)];
      std::vector<VoiceCommand> commands;
      std::int32_t offset = 0;
      const int count = static_cast<int>(random() % 40);
      for (int c = 0; c < count; ++c) {
        offset += static_cast<std::int32_t>(random() % 40);
        const std::uint32_t what = random() % 10;
        if (what < 5) {  // note-on, pitch 127 included (it outruns a turn per sample at 8 kHz)
          commands.push_back({static_cast<std::int32_t>(random() % 128),
                              1 + static_cast<std::int32_t>(random() % 127), offset});
        } else if (what < 7) {
          commands.push_back({static_cast<std::int32_t>(random() % 128), 0, offset});
        } else if (what < 9) {
          commands.push_back({128, static_cast<std::int32_t>(random() % 16384), offset});
        } else {
          commands.push_back({129 + static_cast<std::int32_t>(random() % 129),
                              static_cast<std::int32_t>(random() % 128), offset});
        }
      }
      const std::int32_t range = 1 + static_cast<std::int32_t>(random() % 24);
      const auto expected = naiveBlock(naive, commands, range, rate, samples);
      const auto actual = fastBlock(fast, commands, range, rate, samples);
      SCOPED_TRACE(::testing::Message() << "rate " << rate << " block " << block);
      expectSameBits(actual, expected);
      expectSameTone(fast, naive);
    }
  }
}

TEST(PreviewTone, SixteenDecayingVoicesAndAFullChordThatClips) {
  PreviewTone naive;
  PreviewTone fast;
  std::vector<VoiceCommand> chord;
  for (std::int32_t p = 40; p < 56; ++p) chord.push_back({p, 100, (p - 40) * 3});
  expectSameBits(fastBlock(fast, chord, 12, 48000.0, 512),
                 naiveBlock(naive, chord, 12, 48000.0, 512));
  for (int block = 0; block < 300; ++block) {  // about 3.2 s: every voice decays below 1e-5
    expectSameBits(fastBlock(fast, {}, 12, 48000.0, 512), naiveBlock(naive, {}, 12, 48000.0, 512));
  }
  for (const PreviewVoice& v : fast.voices) EXPECT_LE(v.amplitude, 1e-5);

  std::vector<VoiceCommand> all;
  for (std::int32_t p = 0; p < 128; ++p) all.push_back({p, 127, 0});
  const auto clipped = fastBlock(fast, all, 12, 48000.0, 64);
  expectSameBits(clipped, naiveBlock(naive, all, 12, 48000.0, 64));
  EXPECT_EQ(clipped[0], 0.0);  // every phase starts at 0
  EXPECT_EQ(*std::max_element(clipped.begin(), clipped.end()), 1.0);
}

TEST(PreviewTone, ExactSamplesOfOneNote) {
  // A4 at full velocity, 48 kHz, released at sample 100 of the second block.
  PreviewTone tone;
  const double rate = 48000.0;
  const auto first = fastBlock(tone, {{69, 127, 0}}, 12, rate, 64);
  const auto second = fastBlock(tone, {{69, 0, 100}}, 12, rate, 128);
  const double increment = 2.0 * 3.141592653589793 * 440.0 / rate;
  const double h = std::exp(-5.0 / rate);
  EXPECT_EQ(first[0], 0.0);  // phase 0
  double phase = 0.0;
  double amplitude = 127 * 0.007874015748031496;
  EXPECT_NEAR(amplitude, 1.0, 1e-15);
  for (std::size_t k = 0; k < 64 + 128; ++k) {
    const double sample = k < 64 ? first[k] : second[k - 64];
    if (k < 100 + 64) {
      const double expected = (std::sin(2 * phase) * 0.03 + std::sin(phase) * 0.12) * amplitude;
      EXPECT_NEAR(sample, expected, 1e-15) << k;
    }
    phase += increment;
    amplitude *= h;
  }
  for (std::size_t k = 100; k < 128; ++k) EXPECT_EQ(second[k], 0.0) << k;  // no release tail
  // Sample 1 by hand: p = 2 pi 440 / 48000 = 0.0575958653..., h = exp(-5/48000).
  EXPECT_NEAR(first[1],
              (std::sin(0.11519173063162574) * 0.03 + std::sin(0.05759586531581287) * 0.12) *
                  0.9998958387584922,
              1e-12);
}

TEST(PreviewTone, FullBendRaisesSoundingVoicesByTheRange) {
  PreviewTone tone;
  const double rate = 48000.0;
  fastBlock(tone, {{69, 100, 0}}, 12, rate, 4);
  const double before = tone.voices[69].increment;
  EXPECT_EQ(before, 2764.601535159018 / rate);  // 2^0 for A4
  fastBlock(tone, {{128, 16383, 0}}, 12, rate, 4);
  EXPECT_EQ(tone.bend, 11.99853515625);  // 8191 * 12 / 8192
  EXPECT_EQ(tone.voices[69].increment, before * std::pow(2.0, 11.99853515625 / 12.0));
  // A note struck under the bend starts bent.
  fastBlock(tone, {{57, 100, 0}}, 12, rate, 4);
  EXPECT_EQ(tone.voices[57].increment,
            std::pow(2.0, (57 - 69 + 11.99853515625) / 12.0) * 2764.601535159018 / rate);
  // Controllers and programs leave the voices alone.
  const PreviewTone copy = tone;
  fastBlock(tone, {{129 + 7, 100, 0}, {257, 5, 0}}, 12, rate, 0);
  expectSameTone(tone, copy);
}

TEST(ToneSine, AgreesWithTheCLibraryToTheLastPlace) {
  double worst = 0.0;
  for (double x = -13.0; x <= 13.0; x += 1.0 / 65536.0 + 1e-9) {
    worst = std::max(worst, std::fabs(toneSine(x) - std::sin(x)));
  }
  EXPECT_LE(worst, 1.2e-16);  // half an ulp of 1.0 is 1.1e-16
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> small(-1024.0, 1024.0);
  for (int i = 0; i < 200000; ++i) {
    const double x = small(random);
    ASSERT_NEAR(toneSine(x), std::sin(x), 2.3e-16) << x;
  }
  EXPECT_EQ(toneSine(0.0), 0.0);
  EXPECT_EQ(toneSine(1e-300), 1e-300);
  for (const double big : {1024.5, -5000.25, 1e9}) EXPECT_EQ(toneSine(big), std::sin(big));
}

}  // namespace
}  // namespace tavrena
