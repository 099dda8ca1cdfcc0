// The decoder's packet interface, reset and rate set-up, the frame driver, the
// output high-pass filter and the redundancy search.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "silk/decode_frame.h"
#include "silk/nlsf.h"
#include "silk/range_decoder.h"
#include "silk/silk_decoder.h"
#include "tools/streamwriter/frame_writer.h"
#include "tools/streamwriter/range_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------
// Output high-pass filter

TEST(SilkHighPass, CoefficientSets) {
  const struct {
    const int16_t* a;
    const int16_t* b;
    int16_t a0;
    int16_t a1;
  } sets[] = {
      {SilkHighPassA24, SilkHighPassB24, -16220, 8030},
      {SilkHighPassA16, SilkHighPassB16, -16127, 7940},
      {SilkHighPassA12, SilkHighPassB12, -16043, 7859},
      {SilkHighPassA8, SilkHighPassB8, -15885, 7710},
  };
  for (const auto& s : sets) {
    EXPECT_EQ(s.a[0], s.a0);
    EXPECT_EQ(s.a[1], s.a1);
    EXPECT_EQ(s.b[0], 8000);
    EXPECT_EQ(s.b[1], -16000);
    EXPECT_EQ(s.b[2], 8000);
  }
}

TEST(SilkHighPass, SilenceGivesOneAndLeavesTheStateAtZero) {
  const int16_t zeros[64] = {};
  int16_t out[64];
  int32_t s[2] = {0, 0};
  SilkHighPass(zeros, SilkHighPassB24, SilkHighPassA24, s, out, 64);
  for (int16_t v : out) EXPECT_EQ(v, 1);
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[1], 0);
}

TEST(SilkHighPass, ImpulseResponseInPlace) {
  // Worked through by hand with the 24 kHz coefficients.
  int16_t x[3] = {1000, 0, 0};
  int32_t s[2] = {0, 0};
  SilkHighPass(x, SilkHighPassB24, SilkHighPassA24, s, x, 3);
  EXPECT_EQ(x[0], 978);
  EXPECT_EQ(x[1], -19);
  EXPECT_EQ(x[2], -18);
  EXPECT_EQ(s[0], -157672);
  EXPECT_EQ(s[1], 155776);
}

TEST(SilkHighPass, FullScaleStepsSaturate) {
  const struct {
    int16_t from;
    int16_t to;
    int16_t expected;
  } cases[] = {{-32768, 32767, 32767}, {32767, -32768, -32768}};
  for (const auto& c : cases) {
    int16_t x[60];
    for (int i = 0; i < 60; ++i) x[i] = i < 50 ? c.from : c.to;
    int32_t s[2] = {0, 0};
    SilkHighPass(x, SilkHighPassB8, SilkHighPassA8, s, x, 60);
    for (int i = 50; i < 55; ++i) EXPECT_EQ(x[i], c.expected) << "sample " << i;
  }
}

// ---------------------------------------------------------------------------
// Reset and rate set-up

struct StateDeleter {
  void operator()(SilkDecoderState* s) const { delete s; }
};
using StatePtr = std::unique_ptr<SilkDecoderState, StateDeleter>;

StatePtr NewState() {
  StatePtr st(new SilkDecoderState);
  SilkDecoderReset(st.get());
  return st;
}

TEST(SilkDecoderReset, InitialValues) {
  StatePtr st(new SilkDecoderState);
  std::memset(st.get(), 0xA5, sizeof(SilkDecoderState));
  SilkDecoderReset(st.get());
  EXPECT_EQ(st->rateKhz, 24);
  EXPECT_EQ(st->frameLength, 480);
  EXPECT_EQ(st->subframeLength, 120);
  EXPECT_EQ(st->lpcOrder, 16);
  EXPECT_EQ(st->lastPitchLag, 100);
  EXPECT_EQ(st->lastGainIndex, 1);
  EXPECT_EQ(st->afterReset, 1);
  EXPECT_EQ(st->lastGainInverse, 65536);
  EXPECT_EQ(st->plc.pitchLag, 240);  // samples, not Q8
  EXPECT_EQ(st->plc.rateKhz, 0);
  EXPECT_EQ(st->cng.rateKhz, 0);
  EXPECT_EQ(st->lastApiRateHz, 0);
  EXPECT_EQ(st->packetHasMore, 0);
  EXPECT_EQ(st->hpState[0], 0);
  EXPECT_EQ(st->hpA, SilkHighPassA24);
  EXPECT_EQ(st->hpB, SilkHighPassB24);
  EXPECT_EQ(st->nlsfCodebook[0], &SilkNlsfCodebookVoiced16);
  EXPECT_EQ(st->nlsfCodebook[1], &SilkNlsfCodebookUnvoiced16);
  EXPECT_EQ(st->rangeDec.payload[0], 0);
  EXPECT_EQ(st->ltpBuffer[959], 0);

  // The rate in force: nothing happens.
  const StatePtr copy(new SilkDecoderState(*st));
  st->afterReset = 0;
  copy->afterReset = 0;
  SilkSetInternalRate(st.get(), 24);
  EXPECT_EQ(0, std::memcmp(st.get(), copy.get(), sizeof(SilkDecoderState)));
}

TEST(SilkSetInternalRate, SetsUpTheRateAndClearsOnlyTheFrameHistory) {
  const struct {
    int32_t rate;
    int32_t order;
    const SilkNlsfCodebook* voiced;
    const SilkNlsfCodebook* unvoiced;
    const int16_t* hpA;
  } cases[] = {
      {8, 10, &SilkNlsfCodebookVoiced10, &SilkNlsfCodebookUnvoiced10, SilkHighPassA8},
      {12, 16, &SilkNlsfCodebookVoiced16, &SilkNlsfCodebookUnvoiced16, SilkHighPassA12},
      {16, 16, &SilkNlsfCodebookVoiced16, &SilkNlsfCodebookUnvoiced16, SilkHighPassA16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    StatePtr st = NewState();
    for (auto& v : st->ltpBuffer) v = 7;
    for (auto& v : st->lpcBuffer) v = 7;
    for (auto& v : st->outputHistory) v = 7;
    for (auto& v : st->lastNlsf) v = 7;
    st->hpState[0] = st->hpState[1] = 7;
    st->afterReset = 0;
    st->lastPitchLag = 7;
    st->lastGainIndex = 7;
    st->lastSignalType = 1;
    st->plc.pitchLag = 7;
    st->cng.smoothGain = 7;

    SilkSetInternalRate(st.get(), c.rate);
    EXPECT_EQ(st->rateKhz, c.rate);
    EXPECT_EQ(st->frameLength, 20 * c.rate);
    EXPECT_EQ(st->subframeLength, 5 * c.rate);
    EXPECT_EQ(st->lpcOrder, c.order);
    EXPECT_EQ(st->nlsfCodebook[0], c.voiced);
    EXPECT_EQ(st->nlsfCodebook[1], c.unvoiced);
    EXPECT_EQ(st->hpA, c.hpA);
    EXPECT_EQ(st->lastPitchLag, 100);
    EXPECT_EQ(st->lastGainIndex, 1);
    EXPECT_EQ(st->lastSignalType, 0);
    EXPECT_EQ(st->afterReset, 1);
    for (int i = 0; i < 136; ++i) EXPECT_EQ(st->lpcBuffer[i], i < 16 ? 0 : 7) << i;
    for (int i = 0; i < 960; ++i) EXPECT_EQ(st->outputHistory[i], i < 480 ? 0 : 7) << i;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(st->lastNlsf[i], 0);
    for (int i = 0; i < 960; ++i) EXPECT_EQ(st->ltpBuffer[i], 7);
    EXPECT_EQ(st->hpState[1], 7);
    EXPECT_EQ(st->plc.pitchLag, 7);
    EXPECT_EQ(st->cng.smoothGain, 7);
  }
}

TEST(SilkSetInternalRate, IgnoresRatesItHasNoBuffersFor) {
  StatePtr st = NewState();
  const StatePtr copy(new SilkDecoderState(*st));
  for (int32_t rate : {0, 32, 48, -8}) {
    SilkSetInternalRate(st.get(), rate);
    EXPECT_EQ(0, std::memcmp(st.get(), copy.get(), sizeof(SilkDecoderState))) << rate;
  }
}

// ---------------------------------------------------------------------------
// Packets

// A plain voiced frame with a few pulses, for the given rate index.
FrameSymbols Voiced(int32_t rateIndex, int32_t frameEnd = 0) {
  FrameSymbols f;
  f.rateIndex = rateIndex;
  f.gainIndices[0] = 25;
  f.lagIndex = 40;
  f.contourIndex = rateIndex == 0 ? 0 : 17;  // a flat contour
  f.ltpRows[0] = f.ltpRows[1] = f.ltpRows[2] = f.ltpRows[3] = 2;
  f.pulses.assign(FrameLengthForRateIndex(rateIndex), 0);
  for (size_t i = 0; i < f.pulses.size(); i += 64) f.pulses[i] = 3;
  f.frameEnd = frameEnd;
  return f;
}

// One decoder stream with a control record at a given API rate.
class Packets : public ::testing::Test {
 protected:
  void SetUp() override { Start(24000); }
  void Start(int32_t apiRate) {
    st_ = NewState();
    ctl_ = SilkDecControl{};
    ctl_.apiRateHz = apiRate;
    ctl_.packetFrames = 1;
  }
  int32_t Decode(const Bytes& p, int32_t lostFlag = 0) {
    count_ = -1;
    return SilkDecodePacket(st_.get(), &ctl_, lostFlag, p.data(), static_cast<int32_t>(p.size()),
                            out_, &count_);
  }

  StatePtr st_;
  SilkDecControl ctl_{};
  int16_t out_[kSilkMaxApiFrameLength];
  int16_t count_ = 0;
};

TEST_F(Packets, FrameSizesAtEachInternalRate) {
  const struct {
    int32_t rateIndex;
    int32_t apiRate;
    int16_t samples;
    bool resampled;
  } cases[] = {
      {3, 24000, 480, false}, {2, 24000, 480, true},  {1, 24000, 480, true},
      {0, 24000, 480, true},  {2, 16000, 320, false}, {0, 8000, 160, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "rate index " << c.rateIndex << " at " << c.apiRate);
    Start(c.apiRate);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(Decode(BuildPacket({Voiced(c.rateIndex)})), 0);
      EXPECT_EQ(count_, c.samples);
    }
    EXPECT_EQ(ctl_.frameSamples, c.apiRate / 50);
    EXPECT_EQ(st_->resampler.initMark != 0, c.resampled);
  }
}

TEST_F(Packets, ApiRateOutsideTheRangeIsRejectedAfterTheFrame) {
  const struct {
    int32_t apiRate;
    int32_t result;
  } cases[] = {{7999, -10}, {48001, -10}, {8000, 0}, {48000, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.apiRate);
    Start(c.apiRate);
    ctl_.frameSamples = -1;
    EXPECT_EQ(Decode(BuildPacket({Voiced(3)})), c.result);
    EXPECT_EQ(st_->packetFrameTotal, 1);  // the frame was decoded either way
    EXPECT_EQ(st_->afterReset, 0);
    if (c.result == 0) {
      EXPECT_EQ(count_, c.apiRate / 50);
      EXPECT_EQ(ctl_.frameSamples, c.apiRate / 50);
      EXPECT_EQ(st_->lastApiRateHz, c.apiRate);
    } else {
      EXPECT_EQ(ctl_.frameSamples, -1);  // control record untouched
      EXPECT_EQ(st_->lastApiRateHz, 0);
      EXPECT_EQ(Decode({}, 1), -10);  // concealed frames too
      EXPECT_EQ(st_->lostCount, 1);
    }
  }
}

TEST_F(Packets, OverlongPayloadIsConcealed) {
  const Bytes big(1025, 0x5A);
  EXPECT_EQ(Decode(big), kSilkErrPayloadTooLong);
  EXPECT_EQ(count_, 480);
  EXPECT_EQ(st_->lostCount, 1);
  EXPECT_EQ(ctl_.moreFrames, 0);

  Start(24000);
  EXPECT_EQ(Decode(big, 1), 0);
  EXPECT_EQ(count_, 480);
  EXPECT_EQ(st_->lostCount, 1);
}

TEST_F(Packets, AtMostFiveFramesPerPacket) {
  std::vector<FrameSymbols> frames(5, Voiced(3, 1));  // every frame says "more follow"
  const Bytes p = BuildPacket(frames, Bytes(8, 0xEE));
  for (int call = 1; call <= 5; ++call) {
    SCOPED_TRACE(call);
    EXPECT_EQ(Decode(p), 0);
    EXPECT_EQ(ctl_.moreFrames, call < 5 ? 1 : 0);
    EXPECT_EQ(st_->packetFramesDone, call);
  }
  EXPECT_EQ(ctl_.packetFrames, 5);
  EXPECT_EQ(st_->lostCount, 0);
}

TEST_F(Packets, LaterCallsOfAPacketIgnoreTheirArguments) {
  const Bytes p = BuildPacket({Voiced(3, 1), Voiced(3, 0)});
  EXPECT_EQ(Decode(p), 0);
  ASSERT_EQ(ctl_.moreFrames, 1);
  EXPECT_EQ(SilkDecodePacket(st_.get(), &ctl_, 0, nullptr, 0, out_, &count_), 0);
  EXPECT_EQ(ctl_.moreFrames, 0);
  EXPECT_EQ(ctl_.packetFrames, 2);
}

TEST_F(Packets, RedundancyDistanceFadesAfterElevenPacketsWithoutIt) {
  FrameSymbols withFec = Voiced(3, 2);
  EXPECT_EQ(Decode(BuildPacket({withFec}, Bytes(6, 1))), 0);
  EXPECT_EQ(ctl_.fecDistance, 1);

  FrameSymbols silent = Voiced(3, 0);
  silent.vad = 0;  // packets without voice activity do not count
  EXPECT_EQ(Decode(BuildPacket({silent})), 0);

  const Bytes plain = BuildPacket({Voiced(3, 0)});
  for (int n = 1; n <= 11; ++n) {
    EXPECT_EQ(Decode(plain), 0);
    EXPECT_EQ(st_->framesWithoutFec, n);
    EXPECT_EQ(ctl_.fecDistance, n <= 10 ? 1 : 0) << "after " << n << " packets";
  }

  FrameSymbols twoBack = Voiced(3, 3);
  EXPECT_EQ(Decode(BuildPacket({twoBack}, Bytes(6, 1))), 0);
  EXPECT_EQ(ctl_.fecDistance, 2);
  EXPECT_EQ(st_->framesWithoutFec, 0);
}

// A frame whose last byte has spare bits (so a cleared spare bit fails the
// tail check) at the given rate index.
Bytes FrameWithSpareBits(int32_t rateIndex) {
  for (int32_t gain = 10; gain < 64; ++gain) {
    FrameSymbols f = Voiced(rateIndex);
    f.gainIndices[0] = gain;
    FrameWriter w;
    FrameWriterBegin(&w);
    WriteFrame(&w, f);
    if (RangeEncoderBitsUsed(&w.enc) % 8 != 0) return FrameWriterFinish(&w);
  }
  return {};
}

TEST_F(Packets, CorruptFrameIsConcealedAndEndsThePacket) {
  Bytes p = FrameWithSpareBits(3);
  ASSERT_FALSE(p.empty());
  p.back() &= 0xFE;  // tail check fails (-5)
  EXPECT_EQ(Decode(p), kSilkErrCorrupt);
  EXPECT_EQ(count_, 480);
  EXPECT_EQ(st_->lostCount, 1);
  EXPECT_EQ(st_->afterReset, 1);  // a concealed frame leaves it set
  EXPECT_EQ(st_->packetBytesLeft, 0);
  EXPECT_EQ(ctl_.moreFrames, 0);
  EXPECT_EQ(ctl_.packetFrames, 0);
}

TEST_F(Packets, FramesBeforeACorruptOneStand) {
  // The second frame runs past the cut payload (-6).
  Bytes p = BuildPacket({Voiced(3, 1), Voiced(3, 0)});
  p.pop_back();
  EXPECT_EQ(Decode(p), 0);
  ASSERT_EQ(ctl_.moreFrames, 1);
  EXPECT_EQ(Decode(p), kSilkErrCorrupt);
  EXPECT_EQ(ctl_.moreFrames, 0);
  EXPECT_EQ(ctl_.packetFrames, 1);
  EXPECT_EQ(st_->lostCount, 1);
}

TEST_F(Packets, CorruptFirstFrameRevertsItsRateChange) {
  Start(16000);
  EXPECT_EQ(Decode(BuildPacket({Voiced(2)})), 0);
  EXPECT_EQ(count_, 320);

  Bytes p = FrameWithSpareBits(0);  // asks for 8 kHz
  ASSERT_FALSE(p.empty());
  p.back() &= 0xFE;
  EXPECT_EQ(Decode(p), kSilkErrCorrupt);
  EXPECT_EQ(st_->rateKhz, 16);
  EXPECT_EQ(st_->frameLength, 320);
  EXPECT_EQ(count_, 320);
}

// ---------------------------------------------------------------------------
// The frame driver on its own

TEST_F(Packets, DriverGoodAndLostFrames) {
  const Bytes p = BuildPacket({Voiced(1, 1), Voiced(1, 0)});
  int16_t n = 0;
  int32_t used = -1;
  EXPECT_EQ(
      SilkDecodeFrame(st_.get(), out_, &n, p.data(), static_cast<int32_t>(p.size()), 0, &used), 0);
  EXPECT_EQ(n, 240);
  EXPECT_EQ(st_->lostCount, 0);
  EXPECT_EQ(st_->afterReset, 0);
  EXPECT_EQ(st_->packetFramesDone, 1);
  EXPECT_GT(st_->packetBytesLeft, 0);
  EXPECT_EQ(used, static_cast<int32_t>(p.size()) - st_->packetBytesLeft);
  EXPECT_EQ(st_->lastPitchLag, 2 * 12 + 40);

  const SilkRangeDecoder before = st_->rangeDec;
  for (int lost = 1; lost <= 2; ++lost) {
    EXPECT_EQ(SilkDecodeFrame(st_.get(), out_, &n, nullptr, 0, 1, &used), 0);
    EXPECT_EQ(used, 0);
    EXPECT_EQ(n, 240);
    EXPECT_EQ(st_->lostCount, lost);
  }
  EXPECT_EQ(0, std::memcmp(&before, &st_->rangeDec, sizeof(before)));
  EXPECT_EQ(st_->packetFramesDone, 1);
}

TEST_F(Packets, ConcealmentRightAfterResetIsQuiet) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Decode({}, 1), 0);
    EXPECT_EQ(count_, 480);
    for (int k = 0; k < 480; ++k) ASSERT_EQ(out_[k], 1) << "call " << i << " sample " << k;
  }
  EXPECT_EQ(ctl_.packetFrames, 0);
}

// ---------------------------------------------------------------------------
// Redundancy search

// A packet whose last frame carries `endCode`, followed by `redundancy`.
Bytes PacketWithEnd(int32_t endCode, const Bytes& redundancy) {
  return BuildPacket({Voiced(2, 1), Voiced(2, endCode)}, redundancy);
}

TEST(SilkFindRedundancy, PairsEndCodesWithDistances) {
  const Bytes copy = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
  const struct {
    int32_t endCode;
    int32_t distance;
    bool found;
  } cases[] = {
      {2, 1, true}, {2, 2, false}, {3, 2, true}, {3, 1, false}, {0, 1, false}, {0, 2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "end code " << c.endCode << ", distance " << c.distance);
    const Bytes p = PacketWithEnd(c.endCode, copy);
    uint8_t out[1024] = {};
    int16_t n = -1;
    SilkFindRedundancy(p.data(), static_cast<int32_t>(p.size()), c.distance, out, &n);
    if (c.found) {
      ASSERT_EQ(n, static_cast<int16_t>(copy.size()));
      EXPECT_EQ(Bytes(out, out + n), copy);
    } else {
      EXPECT_EQ(n, 0);
    }
  }
}

TEST(SilkFindRedundancy, YieldsNothingForBadInput) {
  uint8_t out[1024];
  int16_t n = -1;
  // Invalid distances do not look at the payload at all.
  for (int32_t distance : {0, 3, -1}) {
    n = -1;
    SilkFindRedundancy(nullptr, 100, distance, out, &n);
    EXPECT_EQ(n, 0) << distance;
  }

  Bytes p = PacketWithEnd(2, Bytes(5, 0x42));
  const Bytes cut(p.begin(), p.begin() + 3);  // corrupt
  n = -1;
  SilkFindRedundancy(cut.data(), static_cast<int32_t>(cut.size()), 1, out, &n);
  EXPECT_EQ(n, 0);

  p.resize(1025, 0x42);  // too long to be a packet
  n = -1;
  SilkFindRedundancy(p.data(), static_cast<int32_t>(p.size()), 1, out, &n);
  EXPECT_EQ(n, 0);
}

}  // namespace
