#include "tools/streamwriter/pulse_encoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "silk/pulses.h"
#include "silk/range_decoder.h"

namespace {

enum class Kind { Silent, Sparse, Dense, Large, Extreme };

// Extreme frames put values of any size (up to -2^31) into their first and
// last block; each such block needs up to 31 extra layers.
std::vector<int32_t> RandomFrame(std::mt19937* rng, Kind kind, int32_t frameLength) {
  std::vector<int32_t> p(frameLength, 0);
  for (int32_t i = 0; i < frameLength; ++i) {
    const uint32_t r = (*rng)();
    int32_t& v = p[i];
    switch (kind) {
      case Kind::Silent: break;
      case Kind::Sparse: v = r % 12 == 0 ? static_cast<int32_t>(r % 5) - 2 : 0; break;
      case Kind::Dense: v = static_cast<int32_t>(r % 9) - 4; break;
      case Kind::Large: v = static_cast<int32_t>(r % 2001) - 1000; break;
      case Kind::Extreme: {
        if (i >= 16 && i < frameLength - 16) break;
        const int32_t edges[] = {INT32_MIN, INT32_MAX, INT32_MIN + 1, 0, 1, -1, 1 << 20};
        v = r % 4 == 0 ? edges[(r >> 8) % 7] : static_cast<int32_t>((r >> 1) >> (r % 31));
        if ((r & 0x40) && v != INT32_MIN) v = -v;
        break;
      }
    }
  }
  return p;
}

TEST(PulseEncoder, RoundTripsRandomFrames) {
  std::mt19937 rng(17);
  const int32_t lengths[] = {160, 240, 320, 480};
  const Kind kinds[] = {Kind::Silent, Kind::Sparse, Kind::Dense, Kind::Large, Kind::Extreme};
  auto dec = std::make_unique<SilkRangeDecoder>();
  std::memset(dec.get(), 0, sizeof(SilkRangeDecoder));
  for (int32_t frameLength : lengths) {
    for (Kind kind : kinds) {
      for (int rep = 0; rep < 8; ++rep) {
        const int32_t signalType = static_cast<int32_t>(rng() % 2);
        const int32_t offsetType = static_cast<int32_t>(rng() % 2);
        const int32_t rateLevel = static_cast<int32_t>(rng() % 9);
        const std::vector<int32_t> pulses = RandomFrame(&rng, kind, frameLength);
        SCOPED_TRACE(testing::Message() << "length " << frameLength << " kind "
                                        << static_cast<int>(kind) << " rep " << rep);

        RangeEncoder enc;
        RangeEncoderInit(&enc);
        EncodePulses(&enc, signalType, offsetType, rateLevel, pulses.data(), frameLength);
        const std::vector<uint8_t> bytes = RangeEncoderFinish(&enc);
        ASSERT_LE(bytes.size(), 1024u);

        SilkRangeInit(dec.get(), bytes.data(), static_cast<int32_t>(bytes.size()));
        SilkFrameParams params{};
        params.signalType = signalType;
        params.offsetType = offsetType;
        std::vector<int32_t> decoded(frameLength, 12345);
        SilkDecodePulses(dec.get(), &params, decoded.data(), frameLength);
        ASSERT_EQ(dec->status, 0);
        EXPECT_EQ(params.pulseRateLevel, rateLevel);
        EXPECT_EQ(decoded, pulses);
        EXPECT_EQ(static_cast<size_t>((SilkRangeBitsUsed(dec.get()) + 7) >> 3), bytes.size());
      }
    }
  }
}

TEST(PulseEncoder, RejectsArgumentsOutOfRange) {
  const std::vector<int32_t> pulses(480, 0);
  const struct {
    int32_t signalType, offsetType, rateLevel, frameLength;
  } cases[] = {{2, 0, 0, 160}, {0, -1, 0, 160}, {0, 0, 9, 160}, {0, 0, 0, 170}, {0, 0, 0, 496}};
  for (const auto& c : cases) {
    RangeEncoder enc;
    RangeEncoderInit(&enc);
    EXPECT_THROW(EncodePulses(&enc, c.signalType, c.offsetType, c.rateLevel, pulses.data(),
                              c.frameLength),
                 std::invalid_argument);
  }
}

}  // namespace
