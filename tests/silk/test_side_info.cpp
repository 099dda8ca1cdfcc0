// Side-information decoding: gain dequantisation, the log-to-linear
// approximation, the fixed tables, and frames coded by the frame writer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#include "silk/lpc.h"
#include "silk/nlsf.h"
#include "silk/range_decoder.h"
#include "silk/side_info.h"
#include "silk/side_info_tables.h"
#include "silk/silk_decoder.h"
#include "tools/streamwriter/frame_writer.h"
#include "tools/streamwriter/range_encoder.h"

namespace {

TEST(SilkLog2Lin, Examples) {
  const struct {
    int32_t x;
    int32_t expected;
  } cases[] = {
      {-1, 0},
      {0, 1},
      {128, 2},
      {2047, 65024},
      {2048, 65536},
      {3967, 2130706432},
      {3968, 2147483647},
      {100000, 2147483647},
  };
  for (const auto& c : cases) EXPECT_EQ(SilkLog2Lin(c.x), c.expected) << "x = " << c.x;
}

TEST(SilkDequantGains, AbsoluteFirstIndex) {
  const struct {
    int32_t index;
    int32_t gain;
  } cases[] = {
      {0, 131072},
      {1, 150528},
      {10, 561152},
      {36, 25559040},
      {63, 1333788672},
      {70, 2130706432},      // the log value is capped just below 31
      {65536 + 10, 561152},  // only the low 16 bits of the index count
  };
  for (const auto& c : cases) {
    const int32_t indices[4] = {c.index, 4, 4, 4};
    int32_t gains[4];
    int32_t last = 99;
    SilkDequantGains(gains, indices, &last, 0);
    EXPECT_EQ(gains[0], c.gain) << "index " << c.index;
    EXPECT_EQ(gains[3], c.gain) << "step symbol 4 keeps the gain";
    EXPECT_EQ(last, c.index);
  }
}

TEST(SilkDequantGains, RelativeStepsFallWithoutFloor) {
  int32_t gains[4];
  const int32_t down[4] = {0, 0, 0, 0};  // four steps of -4

  int32_t last = 0;
  SilkDequantGains(gains, down, &last, 1);
  EXPECT_EQ(gains[0], 72192);
  EXPECT_EQ(gains[1], 40192);
  EXPECT_EQ(last, -16);

  // Below a log value of 0 the gain is 0, and the index keeps falling.
  last = -76;
  SilkDequantGains(gains, down, &last, 1);
  EXPECT_EQ(gains[0], 1);
  EXPECT_EQ(gains[1], 0);
  EXPECT_EQ(gains[3], 0);
  EXPECT_EQ(last, -92);

  // With relative set, the first index is a step too.
  const int32_t up[4] = {44, 4, 4, 4};
  last = 0;
  SilkDequantGains(gains, up, &last, 1);
  EXPECT_EQ(last, 40);
}

// Each fixed table: its length, the sum of its entries and a few entries, as
// read from the format description, independently of the table source.
TEST(SideInfoTables, MatchTheFormat) {
  struct Table {
    const char* name;
    const uint16_t* cdf;
    int count;
    int start;
    int64_t sum;
  };
  const Table tables[] = {
      {"rate", SilkRateCdf, 5, kSilkRateStart, 161535},
      {"type first", SilkTypeOffsetFirstCdf, 5, kSilkTypeOffsetStart, 188299},
      {"type after 0", SilkTypeOffsetCdf[0], 5, kSilkTypeOffsetStart, 246809},
      {"type after 1", SilkTypeOffsetCdf[1], 5, kSilkTypeOffsetStart, 167607},
      {"type after 2", SilkTypeOffsetCdf[2], 5, kSilkTypeOffsetStart, 148015},
      {"type after 3", SilkTypeOffsetCdf[3], 5, kSilkTypeOffsetStart, 91827},
      {"gain delta", SilkGainDeltaCdf, 46, kSilkGainDeltaStart, 2677011},
      {"NLSF interpolation", SilkNlsfInterpCdf, 6, kSilkNlsfInterpStart, 128096},
      {"contour 8k", SilkPitchContourCdf8k, 12, kSilkPitchContour8kStart, 454573},
      {"contour", SilkPitchContourCdf, 35, kSilkPitchContourStart, 1166378},
      {"periodicity", SilkPeriodicityCdf, 4, kSilkPeriodicityStart, 127315},
      {"LTP index 0", SilkLtpIndexCdf0, 11, SilkLtpIndexStarts[0], 597967},
      {"LTP index 1", SilkLtpIndexCdf1, 21, SilkLtpIndexStarts[1], 1027133},
      {"LTP index 2", SilkLtpIndexCdf2, 41, SilkLtpIndexStarts[2], 1833631},
      {"LTP scale", SilkLtpScaleCdf, 4, kSilkLtpScaleStart, 145535},
      {"seed", SilkSeedCdf, 5, kSilkSeedStart, 163839},
      {"voice activity", SilkVadCdf, 3, kSilkVadStart, 87535},
      {"frame end", SilkFrameEndCdf, 5, kSilkFrameEndStart, 186535},
  };
  for (const Table& t : tables) {
    SCOPED_TRACE(t.name);
    EXPECT_EQ(t.cdf[0], 0);
    EXPECT_EQ(t.cdf[t.count - 1], 65535);
    EXPECT_EQ(std::accumulate(t.cdf, t.cdf + t.count, int64_t{0}), t.sum);
    for (int i = 1; i < t.count; ++i) EXPECT_GT(t.cdf[i], t.cdf[i - 1]) << "entry " << i;
    EXPECT_GT(t.start, 0);
    EXPECT_LT(t.start, t.count - 1);
  }
  EXPECT_EQ(SilkGainDeltaCdf[5], 53058);
  EXPECT_EQ(SilkPitchContourCdf[17], 33116);
  EXPECT_EQ(SilkLtpIndexCdf2[40 - 1], 65062);
  EXPECT_EQ(SilkLtpScales[0], 15565);
  EXPECT_EQ(SilkLtpScales[1], 11469);
  EXPECT_EQ(SilkLtpScales[2], 8192);

  // Contour offsets: row sums and the corner entries.
  const int sums8k[4] = {2, 2, 2, 2};
  const int sums[4] = {-2, 4, 10, 16};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(std::accumulate(SilkPitchContourOffsets8k[k], SilkPitchContourOffsets8k[k] + 11, 0),
              sums8k[k]);
    EXPECT_EQ(std::accumulate(SilkPitchContourOffsets[k], SilkPitchContourOffsets[k] + 34, 0),
              sums[k]);
  }
  EXPECT_EQ(SilkPitchContourOffsets[0][0], -9);
  EXPECT_EQ(SilkPitchContourOffsets[0][33], 8);
  EXPECT_EQ(SilkPitchContourOffsets[3][0], 9);
  EXPECT_EQ(SilkPitchContourOffsets[3][33], -7);
  EXPECT_EQ(SilkPitchContourOffsets8k[3][2], 2);
}

// A decoder state positioned to read side information from coded bytes.
class SideInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    st_ = std::make_unique<SilkDecoderState>();
    SilkDecoderReset(st_.get());
  }

  // Starts a packet with these bytes and decodes its first frame.
  void DecodeFirst(const std::vector<uint8_t>& bytes) {
    SilkRangeInit(&st_->rangeDec, bytes.data(), static_cast<int32_t>(bytes.size()));
    st_->packetFramesDone = 0;
    SilkDecodeSideInfo(st_.get(), &params_, pulses_, 1);
  }
  // The next frame of the same packet.
  void DecodeNext() {
    st_->packetFramesDone += 1;
    SilkDecodeSideInfo(st_.get(), &params_, pulses_, 1);
  }

  std::unique_ptr<SilkDecoderState> st_;
  SilkFrameParams params_{};
  int32_t pulses_[kSilkMaxFrameLength]{};
};

TEST_F(SideInfo, PitchLagsFromLagAndContour) {
  const struct {
    int32_t rateIndex;
    int32_t lagIndex;
    int32_t contour;
    int32_t lags[4];
  } cases[] = {
      {3, 0, 0, {39, 45, 51, 57}},         // 48 samples minus / plus the widest contour
      {3, 100, 17, {148, 148, 148, 148}},  // a flat contour
      {0, 0, 0, {16, 16, 16, 16}},         // 2 ms at 8 kHz
      {0, 10, 2, {25, 26, 27, 28}},       {2, 5, 33, {45, 40, 35, 30}},
  };
  for (const auto& c : cases) {
    FrameSymbols f;
    f.rateIndex = c.rateIndex;
    f.lagIndex = c.lagIndex;
    f.contourIndex = c.contour;
    DecodeFirst(BuildPacket({f}));
    ASSERT_EQ(st_->rangeDec.status, 0);
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(params_.pitchLags[k], c.lags[k]) << "rate " << c.rateIndex << " subframe " << k;
    }
  }
}

TEST_F(SideInfo, VoicedFrameFields) {
  FrameSymbols f;
  f.rateIndex = 2;
  f.typeOffset = 1;
  f.gainIndices[0] = 20;
  f.gainIndices[1] = 6;
  f.periodicity = 2;
  f.ltpRows[0] = 0;
  f.ltpRows[1] = 39;
  f.ltpRows[2] = 7;
  f.ltpRows[3] = 21;
  f.ltpScale = 2;
  f.seed = 3;
  f.vad = 0;
  f.pulses.assign(320, 0);
  f.pulses[3] = -2;
  f.pulses[100] = 5;
  DecodeFirst(BuildPacket({f}));

  ASSERT_EQ(st_->rangeDec.status, 0);
  EXPECT_EQ(st_->rateKhz, 16);
  EXPECT_EQ(params_.signalType, 0);
  EXPECT_EQ(params_.offsetType, 1);
  EXPECT_EQ(st_->lastTypeOffset, 1);
  EXPECT_EQ(st_->lastGainIndex, 22);
  EXPECT_EQ(params_.periodicityIndex, 2);
  EXPECT_EQ(params_.ltpScaleFactor, 8192);
  EXPECT_EQ(params_.excitationSeed, 3);
  EXPECT_EQ(st_->voiceActivity, 0);
  EXPECT_EQ(st_->frameEndCode, 0);
  EXPECT_EQ(st_->packetBytesLeft, 0);
  // Rows 0 and 39 of codebook 2 are given by the format.
  const int16_t first[5] = {-278, 415, 9345, 7106, -431};
  const int16_t last[5] = {518, -66, 1718, 415, 11435};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(params_.ltpTaps[i], first[i]);
    EXPECT_EQ(params_.ltpTaps[5 + i], last[i]);
    EXPECT_EQ(params_.ltpTaps[10 + i], SilkLtpCodebooks[2][5 * 7 + i]);
    EXPECT_EQ(params_.ltpTaps[15 + i], SilkLtpCodebooks[2][5 * 21 + i]);
  }
  EXPECT_EQ(std::vector<int32_t>(pulses_, pulses_ + 320), f.pulses);
}

TEST_F(SideInfo, UnvoicedFrameClearsPitchFieldsOfAnEarlierVoicedFrame) {
  FrameSymbols voiced;
  voiced.lagIndex = 50;
  voiced.periodicity = 1;
  voiced.ltpRows[2] = 3;
  voiced.frameEnd = 1;
  FrameSymbols unvoiced;
  unvoiced.typeOffset = 2;
  unvoiced.gainIndices[0] = 4;
  DecodeFirst(BuildPacket({voiced, unvoiced}));
  ASSERT_EQ(st_->frameEndCode, 1);
  ASSERT_NE(params_.ltpScaleFactor, 0);

  DecodeNext();
  ASSERT_EQ(st_->rangeDec.status, 0);
  EXPECT_EQ(params_.signalType, 1);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(params_.pitchLags[k], 0);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(params_.ltpTaps[i], 0);
  EXPECT_EQ(params_.periodicityIndex, 0);
  EXPECT_EQ(params_.ltpScaleFactor, 0);
}

TEST_F(SideInfo, LaterFramesCodeGainsAndTypeRelatively) {
  FrameSymbols a;
  a.gainIndices[0] = 30;
  a.frameEnd = 1;
  FrameSymbols b = a;
  b.typeOffset = 3;
  b.gainIndices[0] = 14;  // +10 on the last subframe of frame a
  b.frameEnd = 0;
  const std::vector<uint8_t> bytes = BuildPacket({a, b});
  DecodeFirst(bytes);
  const int32_t used = static_cast<int32_t>(bytes.size()) - st_->packetBytesLeft;
  EXPECT_GT(st_->packetBytesLeft, 0);
  EXPECT_GT(used, 0);
  EXPECT_EQ(st_->lastGainIndex, 30);

  DecodeNext();
  ASSERT_EQ(st_->rangeDec.status, 0);
  EXPECT_EQ(params_.signalType, 1);
  EXPECT_EQ(params_.offsetType, 1);
  EXPECT_EQ(st_->lastGainIndex, 40);
  EXPECT_EQ(st_->packetBytesLeft, 0);
}

// Interpolation needs a real previous vector: it is off while afterReset is 1.
TEST_F(SideInfo, InterpolationOnlyAfterADecodedFrame) {
  FrameSymbols prev;
  prev.nlsfIndices[0] = 5;
  FrameSymbols f;
  f.nlsfIndices[0] = 90;
  f.nlsfInterp = 1;

  DecodeFirst(BuildPacket({prev}));
  ASSERT_EQ(st_->afterReset, 1);
  DecodeFirst(BuildPacket({f}));
  EXPECT_EQ(params_.nlsfInterpFactor, 4);
  EXPECT_EQ(0, std::memcmp(params_.lpcCoefs[0], params_.lpcCoefs[1], sizeof(int16_t) * 16));

  DecodeFirst(BuildPacket({prev}));
  int32_t prevNlsf[16];
  std::memcpy(prevNlsf, st_->lastNlsf, sizeof(prevNlsf));
  st_->afterReset = 0;
  DecodeFirst(BuildPacket({f}));
  EXPECT_EQ(params_.nlsfInterpFactor, 1);

  int32_t half[16];
  int16_t expected[16];
  SilkNlsfInterpolate(prevNlsf, st_->lastNlsf, 1, 16, half);
  SilkNlsfToStableLpc(expected, half, 16);
  EXPECT_EQ(0, std::memcmp(params_.lpcCoefs[0], expected, sizeof(expected)));
  SilkNlsfToStableLpc(expected, st_->lastNlsf, 16);
  EXPECT_EQ(0, std::memcmp(params_.lpcCoefs[1], expected, sizeof(expected)));
}

TEST_F(SideInfo, FrameAfterALossWidensBothCoefficientSets) {
  FrameSymbols prev;
  FrameSymbols f;
  f.nlsfIndices[0] = 40;
  f.nlsfInterp = 2;
  const std::vector<uint8_t> first = BuildPacket({prev});
  const std::vector<uint8_t> bytes = BuildPacket({f});

  DecodeFirst(first);
  st_->afterReset = 0;
  DecodeFirst(bytes);
  SilkFrameParams plain = params_;

  DecodeFirst(first);
  st_->afterReset = 0;
  st_->lostCount = 2;
  DecodeFirst(bytes);
  for (int set = 0; set < 2; ++set) {
    SilkBwExpand16(plain.lpcCoefs[set], 16, 63570);
    EXPECT_EQ(0, std::memcmp(params_.lpcCoefs[set], plain.lpcCoefs[set], sizeof(int16_t) * 16))
        << "set " << set;
  }
}

TEST_F(SideInfo, IndexOnlyModeStillReadsEverything) {
  FrameSymbols f;
  f.nlsfIndices[0] = 7;
  f.frameEnd = 2;
  const std::vector<uint8_t> extra = {1, 2, 3, 4, 5};
  const std::vector<uint8_t> bytes = BuildPacket({f}, extra);
  SilkRangeInit(&st_->rangeDec, bytes.data(), static_cast<int32_t>(bytes.size()));
  st_->packetFramesDone = 0;
  SilkDecodeSideInfo(st_.get(), &params_, pulses_, 0);
  EXPECT_EQ(st_->rangeDec.status, 0);
  EXPECT_EQ(st_->frameEndCode, 2);
  EXPECT_EQ(st_->packetBytesLeft, 5);
  int32_t nlsf[16];
  const int32_t idx[10] = {7};
  SilkNlsfDecode(&SilkNlsfCodebookVoiced16, idx, 16, nlsf);
  EXPECT_EQ(0, std::memcmp(st_->lastNlsf, nlsf, sizeof(nlsf)));
}

// The end of the frame: a frame that needs more bytes than the payload has is
// read past its end (-6); one that ends exactly at the end must have its
// spare bits set (-5).
TEST_F(SideInfo, EndOfFrameChecks) {
  // Find a frame whose last byte has spare bits.
  std::vector<uint8_t> bytes;
  for (int32_t gain = 0; gain < 64 && bytes.empty(); ++gain) {
    FrameSymbols f;
    f.gainIndices[0] = gain;
    FrameWriter w;
    FrameWriterBegin(&w);
    WriteFrame(&w, f);
    if (RangeEncoderBitsUsed(&w.enc) % 8 != 0) bytes = FrameWriterFinish(&w);
  }
  ASSERT_FALSE(bytes.empty());

  DecodeFirst(bytes);
  EXPECT_EQ(st_->rangeDec.status, 0);

  std::vector<uint8_t> spareBitCleared = bytes;
  spareBitCleared.back() &= 0xFE;
  DecodeFirst(spareBitCleared);
  EXPECT_EQ(st_->rangeDec.status, kSilkRangeErrTail);
  EXPECT_EQ(st_->packetBytesLeft, 0);

  const std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 1);
  DecodeFirst(cut);
  EXPECT_EQ(st_->rangeDec.status, kSilkRangeErrPastEnd);
  EXPECT_LT(st_->packetBytesLeft, 0);
}

}  // namespace
