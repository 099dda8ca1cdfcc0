// The frame writer codes exactly what the side-information decoding reads,
// and the voice-file builder lays packets out as the loader reads them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "silk/nlsf.h"
#include "silk/range_decoder.h"
#include "silk/side_info.h"
#include "silk/side_info_tables.h"
#include "silk/silk_decoder.h"
#include "tools/streamwriter/frame_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(BuildVoiceFile, Layout) {
  const Bytes big(300, 0xAB);
  const Bytes file = BuildVoiceFile({{1, 2, 3}, {}, big}, 0x7F);
  Bytes expected = {0x7F, '#', '!', 'S', 'I', 'L', 'K', '_', 'V', '3',
                    3,    0,   1,   2,   3,   0,   0,   44,  1};  // 300 = 0x012C
  expected.insert(expected.end(), big.begin(), big.end());
  EXPECT_EQ(file, expected);

  EXPECT_EQ(BuildVoiceFile({}).size(), 10u);
  EXPECT_EQ(BuildVoiceFile({}).front(), 0x02);
  EXPECT_THROW(BuildVoiceFile({Bytes(32768, 0)}), std::invalid_argument);
}

// Packets of 1 to 5 random frames at every rate, with random trailing bytes,
// decode to exactly the chosen symbols.
TEST(FrameWriter, RoundTripsThroughTheSideInfoDecoder) {
  std::mt19937 rng(20240611);
  std::unique_ptr<SilkDecoderState> st(new SilkDecoderState);
  SilkDecoderReset(st.get());
  SilkFrameParams p{};
  int32_t pulses[kSilkMaxFrameLength];

  for (int packet = 0; packet < 80; ++packet) {
    const int32_t rateIndex = packet % 4;
    const int32_t rateKhz = SilkRateKhzTable[rateIndex];
    const int frameCount = 1 + static_cast<int>(rng() % 5);
    std::vector<FrameSymbols> frames;
    for (int i = 0; i < frameCount; ++i)
      frames.push_back(RandomFrameSymbols(rng, rateIndex, i == 0));
    Bytes trailing(rng() % 20);
    for (uint8_t& b : trailing) b = static_cast<uint8_t>(rng());
    const Bytes bytes = BuildPacket(frames, trailing);

    SilkRangeInit(&st->rangeDec, bytes.data(), static_cast<int32_t>(bytes.size()));
    st->packetFramesDone = 0;
    int32_t gainIndex = 0;
    for (int i = 0; i < frameCount; ++i) {
      SCOPED_TRACE(testing::Message() << "packet " << packet << " frame " << i);
      const FrameSymbols& f = frames[i];
      st->afterReset = 0;
      SilkDecodeSideInfo(st.get(), &p, pulses, 1);
      ASSERT_EQ(st->rangeDec.status, 0);
      EXPECT_EQ(st->rateKhz, rateKhz);

      EXPECT_EQ(p.signalType * 2 + p.offsetType, f.typeOffset);
      int32_t gains[4];
      SilkDequantGains(gains, f.gainIndices, &gainIndex, i);
      EXPECT_EQ(0, std::memcmp(p.gains, gains, sizeof(gains)));
      EXPECT_EQ(st->lastGainIndex, gainIndex);

      int32_t nlsf[16];
      SilkNlsfDecode(st->nlsfCodebook[p.signalType], f.nlsfIndices, st->lpcOrder, nlsf);
      EXPECT_EQ(0, std::memcmp(st->lastNlsf, nlsf, sizeof(int32_t) * st->lpcOrder));
      // A rate change in this frame sets afterReset again and forces 4.
      EXPECT_EQ(p.nlsfInterpFactor, st->afterReset ? 4 : f.nlsfInterp);

      if (p.signalType == 0) {
        for (int k = 0; k < 4; ++k) {
          const int32_t offset = rateKhz == 8 ? SilkPitchContourOffsets8k[k][f.contourIndex]
                                              : SilkPitchContourOffsets[k][f.contourIndex];
          EXPECT_EQ(p.pitchLags[k], 2 * rateKhz + f.lagIndex + offset);
          for (int t = 0; t < 5; ++t) {
            EXPECT_EQ(p.ltpTaps[5 * k + t], SilkLtpCodebooks[f.periodicity][5 * f.ltpRows[k] + t]);
          }
        }
        EXPECT_EQ(p.periodicityIndex, f.periodicity);
        EXPECT_EQ(p.ltpScaleFactor, SilkLtpScales[f.ltpScale]);
      }
      EXPECT_EQ(p.excitationSeed, f.seed);
      EXPECT_EQ(p.pulseRateLevel, f.rateLevel);
      EXPECT_EQ(std::vector<int32_t>(pulses, pulses + f.pulses.size()), f.pulses);
      EXPECT_EQ(st->voiceActivity, f.vad);
      EXPECT_EQ(st->frameEndCode, f.frameEnd);
      st->packetFramesDone += 1;
    }
    EXPECT_EQ(st->packetBytesLeft, static_cast<int32_t>(trailing.size()));
  }
}

TEST(FrameWriter, RejectsSymbolsOutsideTheirTables) {
  const std::function<void(FrameSymbols&)> breakers[] = {
      [](FrameSymbols& f) { f.rateIndex = 4; },
      [](FrameSymbols& f) { f.typeOffset = -1; },
      [](FrameSymbols& f) { f.gainIndices[0] = 64; },
      [](FrameSymbols& f) { f.gainIndices[2] = 45; },
      [](FrameSymbols& f) { f.nlsfIndices[0] = 128; },
      [](FrameSymbols& f) { f.nlsfInterp = 5; },
      [](FrameSymbols& f) { f.lagIndex = 385; },
      [](FrameSymbols& f) { f.contourIndex = 34; },
      [](FrameSymbols& f) {
        f.rateIndex = 0;
        f.contourIndex = 11;
      },
      [](FrameSymbols& f) { f.periodicity = 3; },
      [](FrameSymbols& f) { f.ltpRows[3] = 10; },
      [](FrameSymbols& f) { f.ltpScale = 3; },
      [](FrameSymbols& f) { f.seed = 4; },
      [](FrameSymbols& f) { f.rateLevel = 9; },
      [](FrameSymbols& f) { f.pulses.assign(320, 0); },
      [](FrameSymbols& f) { f.vad = 2; },
      [](FrameSymbols& f) { f.frameEnd = 4; },
  };
  EXPECT_NO_THROW(BuildPacket({FrameSymbols{}}));
  int i = 0;
  for (const auto& breakIt : breakers) {
    FrameSymbols f;
    breakIt(f);
    EXPECT_ANY_THROW(BuildPacket({f})) << "case " << i++;
  }
  // A later frame's first gain is a step symbol (0..44).
  FrameSymbols later;
  later.gainIndices[0] = 50;
  EXPECT_ANY_THROW(BuildPacket({FrameSymbols{}, later}));
}

}  // namespace
