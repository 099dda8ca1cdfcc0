// The bundled sample: reproduced byte for byte by its generator, and decoded
// to a steady voiced tone at a comfortable level.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/streamwriter/frame_writer.h"
#include "tools/streamwriter/sample_voice.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Splits a voice file into its packets (the file is well formed).
std::vector<std::vector<uint8_t>> PacketsOf(const std::vector<uint8_t>& file) {
  std::vector<std::vector<uint8_t>> packets;
  size_t at = 10;
  while (at + 2 <= file.size()) {
    const size_t n = file[at] | (file[at + 1] << 8);
    at += 2;
    packets.emplace_back(file.begin() + static_cast<long>(at),
                         file.begin() + static_cast<long>(at + n));
    at += n;
  }
  return packets;
}

TEST(SampleVoice, CommittedFileIsReproduced) {
  const std::vector<uint8_t> committed = ReadFile(TAVIMO_SOURCE_DIR "/samples/sample.slk");
  ASSERT_FALSE(committed.empty());
  EXPECT_EQ(BuildSampleVoiceFile(), committed)
      << "samples/sample.slk is out of date: run tavimo-make-sample from the source directory";
}

TEST(SampleVoice, DecodesToASteadyVoicedTone) {
  const std::vector<std::vector<uint8_t>> packets = PacketsOf(BuildSampleVoiceFile());
  ASSERT_EQ(packets.size(), static_cast<size_t>(kSampleFrames));
  const std::vector<int16_t> pcm = DecodeVoicePackets(packets);
  ASSERT_EQ(pcm.size(), static_cast<size_t>(kSampleFrames) * 480);

  // The middle second: level, headroom and periodicity at the pitch lag.
  const size_t from = 24000 * 3 / 4;
  const size_t to = from + 24000;
  double energy = 0;
  double cross = 0;
  double lagged = 0;
  int32_t peak = 0;
  for (size_t i = from; i < to; ++i) {
    const double x = pcm[i];
    const double y = pcm[i - kSamplePitchLag];
    energy += x * x;
    cross += x * y;
    lagged += y * y;
    peak = std::max(peak, std::abs(static_cast<int32_t>(pcm[i])));
  }
  const double rms = std::sqrt(energy / (to - from));
  const double correlation = cross / std::sqrt(energy * lagged);
  EXPECT_GT(rms, 0.6 * kSampleTargetRms);
  EXPECT_LT(rms, 1.6 * kSampleTargetRms);
  EXPECT_LT(peak, 32000);
  EXPECT_GT(correlation, 0.95);

  // Half a period away the signal is not a copy of itself: a tone, not a buzz of DC.
  double half = 0;
  for (size_t i = from; i < to; ++i)
    half += static_cast<double>(pcm[i]) * pcm[i - kSamplePitchLag / 2];
  EXPECT_LT(half / energy, 0.9);

  // Faded in and out.
  double edge = 0;
  for (size_t i = 0; i < 480; ++i) edge += static_cast<double>(pcm[i]) * pcm[i];
  EXPECT_LT(std::sqrt(edge / 480), rms / 2);
}

}  // namespace
