// Golden output of the loader: voice files decode to exactly the samples
// recorded below. The rows repeat streams of the decoder's golden corpus
// (tests/silk/test_golden_output.cpp), read from files this time, so they
// carry the same hashes; they depend on the trained tables and the synthetic
// stream builder in the same way.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "loader/pcm_store.h"
#include "tests/loader/voice_files.h"
#include "tools/streamwriter/frame_writer.h"
#include "tools/streamwriter/synthetic_streams.h"

namespace {

// FNV-1a, 64 bits, over the store's little-endian sample bytes.
uint64_t Fnv1a64(const uint8_t* bytes, int32_t n) {
  uint64_t h = 14695981039346656037ull;
  for (int32_t i = 0; i < n; ++i) {
    h ^= bytes[i];
    h *= 1099511628211ull;
  }
  return h;
}

struct LoadCase {
  const char* name;
  SyntheticStreamOptions options;
  int32_t samples;
  uint64_t hash;
};

const LoadCase kFiles[] = {
    {"voiced8k", {0, 85, 60, 1, 5, 0, 0, 0, 11}, 28800, 0x6af53982c1432568ull},
    {"unvoiced24k", {3, 15, 60, 1, 5, 0, 0, 0, 18}, 28800, 0xadf6785aa355dd57ull},
    {"threeFramePackets12k", {1, 60, 30, 3, 8, 0, 0, 0, 21}, 43200, 0x8ce60a9501a74c36ull},
    {"redundancy16k", {2, 60, 80, 1, 20, 70, 0, 0, 31}, 38400, 0x3fa73a93fed18cafull},
    {"redundancy24kMultiFrame", {3, 60, 50, 2, 20, 70, 0, 0, 32}, 48000, 0xea4a8f77006a3050ull},
    {"corrupt", {2, 60, 100, 1, 5, 30, 10, 15, 51}, 49440, 0x57e6965b36b11825ull},
};

struct Loaded {
  bool ok;
  int32_t samples;
  uint64_t hash;
};

Loaded LoadFile(const std::string& path) {
  PcmStore store;
  testing::internal::CaptureStderr();  // the progress line
  const bool ok = store.LoadVoiceFile(path);
  testing::internal::GetCapturedStderr();
  return {ok, store.byteCount / 2, Fnv1a64(store.buffer, store.byteCount)};
}

TEST(GoldenLoad, SyntheticFilesDecodeUnchanged) {
  tavimo_test::TempDir dir;
  for (const LoadCase& c : kFiles) {
    const std::string path = dir.file(std::string(c.name) + ".slk");
    tavimo_test::WriteBytes(path, BuildVoiceFile(BuildSyntheticStream(c.options)));
    const Loaded r = LoadFile(path);
    EXPECT_TRUE(r.ok) << c.name;
    EXPECT_EQ(r.samples, c.samples) << c.name;
    EXPECT_EQ(r.hash, c.hash) << c.name << std::hex << ": got 0x" << r.hash;
  }
}

TEST(GoldenLoad, BundledSampleDecodesUnchanged) {
  const Loaded r = LoadFile(std::string(TAVIMO_SOURCE_DIR) + "/samples/sample.slk");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.samples, 60000);
  EXPECT_EQ(r.hash, 0xd6c37c8e230ace2aull) << std::hex << "got 0x" << r.hash;
}

}  // namespace
