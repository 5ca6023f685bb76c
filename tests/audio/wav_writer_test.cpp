#include "audio/wav_writer.h"

#include <gtest/gtest.h>

#include "golden_bytes.h"

namespace tavrena {
namespace {

TEST(WavWriter, SixteenBitStereoWithClippingAndNothingButFormatAndData) {
  WavWriter wav(44100, SampleFormat::Int16, 2);
  const float frames[] = {0.0f, 0.5f, 2.0f, -2.0f};
  wav.write(frames);
  const std::vector<std::uint8_t> expected =
      testing::Golden()
          .text("RIFF")
          .hex("2C 00 00 00")  // 44 bytes follow
          .text("WAVEfmt ")
          .hex("10 00 00 00")  // 16-byte format chunk
          .hex("01 00 02 00")  // PCM, two channels
          .hex("44 AC 00 00")  // 44100 frames per second
          .hex("10 B1 02 00")  // 176400 bytes per second
          .hex("04 00 10 00")  // 4 bytes per frame, 16 bits per sample
          .text("data")
          .hex("08 00 00 00")
          .hex("00 00 00 40")   // 0, 0.5
          .hex("FF 7F 00 80");  // 2.0 and -2.0 clipped to the extremes
  EXPECT_EQ(testing::hexDump(wav.finish()), testing::hexDump(expected));
}

}  // namespace
}  // namespace tavrena
