// The packet interface under misuse: a caller that drains packets with the
// usual loop (call again while moreFrames is set) must get to the end of the
// packet whatever it passes, also when every call is rejected.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "silk/silk_decoder.h"
#include "tools/streamwriter/frame_writer.h"

namespace {

TEST(PacketInterface, DrainLoopEndsAfterThePacketsFramesAtAnyOutputRate) {
  std::mt19937 rng(9);
  std::vector<FrameSymbols> frames;
  for (int i = 0; i < 3; ++i) {
    frames.push_back(RandomFrameSymbols(rng, 3, i == 0));
    frames.back().frameEnd = i < 2 ? 1 : 0;
  }
  const std::vector<uint8_t> packet = BuildPacket(frames);

  const struct {
    int32_t apiRateHz;
    int32_t result;
  } cases[] = {{24000, 0}, {8000, 0}, {48001, kSilkErrApiRate}, {7999, kSilkErrApiRate},
               {0, kSilkErrApiRate}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.apiRateHz);
    auto st = std::make_unique<SilkDecoderState>();
    SilkDecoderReset(st.get());
    SilkDecControl control{};
    control.apiRateHz = c.apiRateHz;
    control.packetFrames = 1;
    int16_t out[kSilkMaxApiFrameLength];
    // Two packets in a row: a stale flag would restart the first one.
    for (int p = 0; p < 2; ++p) {
      int calls = 0;
      do {
        int16_t count = 0;
        EXPECT_EQ(SilkDecodePacket(st.get(), &control, 0, packet.data(),
                                   static_cast<int32_t>(packet.size()), out, &count),
                  c.result);
        ++calls;
      } while (control.moreFrames != 0 && calls < 20);
      EXPECT_EQ(calls, 3);
      EXPECT_EQ(st->packetFrameTotal, 3);
    }
  }
}

}  // namespace
