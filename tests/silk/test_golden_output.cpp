// Golden output: a fixed corpus of streams decodes to exactly the samples it
// decoded to when the hashes below were recorded. Any change to the decoder
// that is meant to keep its output (speed work, clean-ups) must leave every
// hash as it is.
//
// The hashes depend on the trained tables compiled in from
// silk/data/trained_tables.txt and on the synthetic stream builder in
// tools/streamwriter. Re-record them only when one of those changes on
// purpose, and record them with a decoder whose output is trusted (the last
// commit before the change, built with the new tables): run
//   TAVIMO_PRINT_GOLDEN=1 silk_tests --gtest_filter='GoldenOutput*'
// and paste the printed counts and hashes into the rows. The loader's golden
// test (tests/loader) pins some of the same streams read from files.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/streamwriter/synthetic_streams.h"

namespace {

// FNV-1a, 64 bits, over the samples as little-endian bytes.
uint64_t Fnv1a64(const std::vector<int16_t>& pcm) {
  uint64_t h = 14695981039346656037ull;
  for (int16_t s : pcm) {
    const auto u = static_cast<uint16_t>(s);
    for (int b = 0; b < 2; ++b) {
      h ^= static_cast<uint8_t>(u >> (8 * b));
      h *= 1099511628211ull;
    }
  }
  return h;
}

struct GoldenCase {
  const char* name;
  SyntheticStreamOptions options;
  int32_t apiRateHz;
  size_t samples;
  uint64_t hash;
};

// rateIndex, voiced %, packets, frames per packet, lost %, redundancy %,
// rate change %, corrupt %, seed.
const GoldenCase kCorpus[] = {
    {"voiced8k", {0, 85, 60, 1, 5, 0, 0, 0, 11}, 24000, 28800, 0x6af53982c1432568ull},
    {"unvoiced8k", {0, 15, 60, 1, 5, 0, 0, 0, 12}, 24000, 28800, 0x5a341eca7a465a3full},
    {"voiced12k", {1, 85, 60, 1, 5, 0, 0, 0, 13}, 24000, 28800, 0xf15551b62e57f832ull},
    {"unvoiced12k", {1, 15, 60, 1, 5, 0, 0, 0, 14}, 24000, 28800, 0x4c680fdd26602983ull},
    {"voiced16k", {2, 85, 60, 1, 5, 0, 0, 0, 15}, 24000, 28800, 0xbf8c1c8244fd6731ull},
    {"unvoiced16k", {2, 15, 60, 1, 5, 0, 0, 0, 16}, 24000, 28800, 0x63ca836a30c4a289ull},
    {"voiced24k", {3, 85, 60, 1, 5, 0, 0, 0, 17}, 24000, 28800, 0x5eecf077df76cd68ull},
    {"unvoiced24k", {3, 15, 60, 1, 5, 0, 0, 0, 18}, 24000, 28800, 0xadf6785aa355dd57ull},
    {"threeFramePackets12k", {1, 60, 30, 3, 8, 0, 0, 0, 21}, 24000, 43200, 0x8ce60a9501a74c36ull},
    {"fiveFramePackets24k", {3, 60, 20, 5, 8, 0, 0, 0, 22}, 24000, 48000, 0xcaade0f810dbb295ull},
    {"twoFramePackets8k", {0, 60, 40, 2, 8, 0, 0, 0, 23}, 24000, 38400, 0x9447cb9d203afb18ull},
    {"redundancy16k", {2, 60, 80, 1, 20, 70, 0, 0, 31}, 24000, 38400, 0x3fa73a93fed18cafull},
    {"redundancy24kMultiFrame", {3, 60, 50, 2, 20, 70, 0, 0, 32}, 24000, 48000, 0xea4a8f77006a3050ull},
    {"rateChanges", {3, 60, 100, 1, 5, 0, 25, 0, 41}, 24000, 48000, 0x8a288fcd97d5dd82ull},
    {"corrupt", {2, 60, 100, 1, 5, 30, 10, 15, 51}, 24000, 49440, 0x57e6965b36b11825ull},
    {"longLoss24k", {3, 70, 60, 1, 45, 0, 0, 0, 61}, 24000, 28800, 0x1c72b6e8d5aa8b0full},
    // Other output rates: the decimating, fractional and 2x resamplers.
    {"mixedTo8k", {3, 60, 60, 1, 5, 30, 20, 5, 71}, 8000, 9600, 0x64d3077b2d32ecdcull},
    {"mixedTo12k", {3, 60, 60, 1, 5, 30, 20, 5, 72}, 12000, 14400, 0x688f7a3f141dda03ull},
    {"mixedTo16k", {3, 60, 60, 1, 5, 30, 20, 5, 73}, 16000, 19200, 0x633b868c3b2eb458ull},
    {"mixedTo44k", {3, 60, 60, 1, 5, 30, 20, 5, 74}, 44100, 52920, 0xf1609e5f42834eccull},
    {"mixedTo48k", {3, 60, 60, 1, 5, 30, 20, 5, 75}, 48000, 58560, 0x2ab772eb34c42f53ull},
};

bool PrintRows() { return std::getenv("TAVIMO_PRINT_GOLDEN") != nullptr; }

void Check(const char* name, const std::vector<int16_t>& pcm, size_t samples, uint64_t hash) {
  const uint64_t h = Fnv1a64(pcm);
  if (PrintRows()) {
    std::printf("%s: %zu samples, hash 0x%016llxull\n", name, pcm.size(),
                static_cast<unsigned long long>(h));
  }
  EXPECT_EQ(pcm.size(), samples) << name;
  EXPECT_EQ(h, hash) << name << std::hex << ": got 0x" << h;
}

TEST(GoldenOutput, SyntheticCorpusDecodesUnchanged) {
  for (const GoldenCase& c : kCorpus) {
    const PacketList packets = BuildSyntheticStream(c.options);
    Check(c.name, DecodeSyntheticStream(packets, c.apiRateHz), c.samples, c.hash);
  }
}

// The bundled sample, split into its packets and decoded at 24 kHz.
TEST(GoldenOutput, BundledSampleDecodesUnchanged) {
  std::ifstream f(std::string(TAVIMO_SOURCE_DIR) + "/samples/sample.slk", std::ios::binary);
  ASSERT_TRUE(f.good());
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)),
                                   std::istreambuf_iterator<char>());
  ASSERT_GE(bytes.size(), 10u);
  PacketList packets;
  size_t at = 10;
  while (at + 2 <= bytes.size()) {
    const auto n = static_cast<int16_t>(bytes[at] | (bytes[at + 1] << 8));
    at += 2;
    ASSERT_GE(n, 0);
    ASSERT_LE(at + static_cast<size_t>(n), bytes.size());
    packets.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(at),
                         bytes.begin() + static_cast<ptrdiff_t>(at) + n);
    at += static_cast<size_t>(n);
  }
  Check("sample", DecodeSyntheticStream(packets, 24000), 60000, 0xd6c37c8e230ace2aull);
}

}  // namespace
