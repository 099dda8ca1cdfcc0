// Streams of random payloads decode to the end, deterministically, at every
// internal rate: each packet starts with a valid frame and goes on with random
// bytes, and the stream has truncated, corrupt, overlong and lost packets,
// rate changes and changes of the output rate.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "silk/silk_decoder.h"
#include "tools/streamwriter/frame_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Packet {
  Bytes bytes;
  bool lost = false;
  int32_t apiRateHz = 24000;
};

std::vector<Packet> MakeStream(uint32_t seed, int32_t rateIndex, int count) {
  std::mt19937 rng(seed);
  auto pick = [&rng](int32_t n) { return static_cast<int32_t>(rng() % static_cast<uint32_t>(n)); };
  static const int32_t kApiRates[] = {8000, 12000, 16000, 44100, 48000};
  std::vector<Packet> stream;
  int32_t apiRate = 24000;
  for (int i = 0; i < count; ++i) {
    Packet p;
    if (pick(25) == 0) apiRate = pick(2) ? 24000 : kApiRates[pick(5)];
    p.apiRateHz = apiRate;

    const int32_t kind = pick(100);
    if (kind < 10) {
      p.lost = true;
    } else if (kind < 14) {
      p.bytes.resize(1 + pick(1200));  // random bytes only, at times too long
      for (uint8_t& b : p.bytes) b = static_cast<uint8_t>(rng());
    } else {
      // A valid first frame (now and then at another rate), then random bytes.
      const int32_t rate = pick(10) == 0 ? pick(4) : rateIndex;
      Bytes tail(pick(3) == 0 ? 0 : pick(200));
      for (uint8_t& b : tail) b = static_cast<uint8_t>(rng());
      p.bytes = BuildPacket({RandomFrameSymbols(rng, rate, true)}, tail);
      if (kind < 24) {
        p.bytes.resize(pick(static_cast<int32_t>(p.bytes.size())) + 1);  // truncated
      } else if (kind < 34) {
        p.bytes[pick(static_cast<int32_t>(p.bytes.size()))] ^= static_cast<uint8_t>(1 + pick(255));
      }
    }
    stream.push_back(std::move(p));
  }
  return stream;
}

// Decodes the stream the way the voice-file reader drives the decoder and
// returns every output sample.
std::vector<int16_t> DecodeStream(const std::vector<Packet>& stream) {
  std::unique_ptr<SilkDecoderState> st(new SilkDecoderState);
  SilkDecoderReset(st.get());
  SilkDecControl ctl{};
  ctl.apiRateHz = 24000;
  ctl.packetFrames = 1;
  std::vector<int16_t> all;
  int16_t out[kSilkMaxApiFrameLength];
  int16_t n = 0;
  uint8_t redundancy[1024];

  for (size_t i = 0; i < stream.size(); ++i) {
    const Packet& p = stream[i];
    ctl.apiRateHz = p.apiRateHz;
    const int32_t expected = p.apiRateHz / 50;
    if (p.lost) {
      // Try the next packets for a redundant copy first, as the reader does.
      int16_t found = 0;
      for (size_t d = 1; d <= 2 && found == 0 && i + d < stream.size(); ++d) {
        const Bytes& next = stream[i + d].bytes;
        SilkFindRedundancy(next.data(), static_cast<int32_t>(next.size()), static_cast<int32_t>(d),
                           redundancy, &found);
        EXPECT_GE(found, 0);
        EXPECT_LE(found, static_cast<int16_t>(next.size()));
      }
      if (found > 0) {
        do {
          SilkDecodePacket(st.get(), &ctl, 0, redundancy, found, out, &n);
          EXPECT_EQ(n, expected);
          all.insert(all.end(), out, out + n);
        } while (ctl.moreFrames != 0);
      } else {
        for (int32_t calls = 0; calls < ctl.packetFrames; ++calls) {
          EXPECT_EQ(SilkDecodePacket(st.get(), &ctl, 1, nullptr, 0, out, &n), 0);
          EXPECT_EQ(n, expected);
          all.insert(all.end(), out, out + n);
        }
      }
      continue;
    }
    int calls = 0;
    do {
      const int32_t r = SilkDecodePacket(st.get(), &ctl, 0, p.bytes.data(),
                                         static_cast<int32_t>(p.bytes.size()), out, &n);
      EXPECT_TRUE(r == 0 || r == kSilkErrPayloadTooLong || r == kSilkErrCorrupt) << r;
      EXPECT_EQ(n, expected);
      all.insert(all.end(), out, out + n);
      ++calls;
    } while (ctl.moreFrames != 0);
    EXPECT_LE(calls, kSilkMaxFramesPerPacket);
    EXPECT_LE(ctl.packetFrames, kSilkMaxFramesPerPacket);
  }
  return all;
}

class RandomStreams : public ::testing::TestWithParam<int32_t> {};

TEST_P(RandomStreams, DecodeToTheEndDeterministically) {
  const int32_t rateIndex = GetParam();
  for (uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    const std::vector<Packet> stream =
        MakeStream(seed * 7919u + static_cast<uint32_t>(rateIndex), rateIndex, 120);
    const std::vector<int16_t> first = DecodeStream(stream);
    const std::vector<int16_t> second = DecodeStream(stream);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, second);
  }
}

std::string RateName(const testing::TestParamInfo<int32_t>& param) {
  static const char* const kNames[] = {"8kHz", "12kHz", "16kHz", "24kHz"};
  return kNames[param.param];
}

INSTANTIATE_TEST_SUITE_P(InternalRates, RandomStreams, ::testing::Values(0, 1, 2, 3), RateName);

}  // namespace
