// Packet-loss concealment: what a good frame leaves for a loss, the decay
// over repeated losses, the noise source, and the fade back to good frames.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "silk/plc.h"
#include "silk/primitives.h"
#include "silk/silk_decoder.h"

namespace {

std::unique_ptr<SilkDecoderState> NewDecoder(int32_t rateKhz) {
  auto st = std::make_unique<SilkDecoderState>();
  SilkDecoderReset(st.get());
  SilkSetInternalRate(st.get(), rateKhz);
  st->plc.rateKhz = rateKhz;
  st->plc.pitchLag = st->frameLength >> 1;
  return st;
}

SilkFrameParams VoicedFrame(int32_t lag, int16_t middleTap) {
  SilkFrameParams p{};
  p.signalType = 0;
  p.ltpScaleFactor = 15565;
  for (int k = 0; k < 4; ++k) {
    p.pitchLags[k] = lag;
    p.gains[k] = 65536;
    p.ltpTaps[5 * k + 2] = middleTap;
  }
  return p;
}

}  // namespace

TEST(SilkConcealTrack, KeepsOneTapOfTheStrongestSpannedSubframe) {
  struct Case {
    const char* name;
    int32_t lags[4];
    int16_t taps[20];
    int16_t middleTap;
    int32_t pitchLag;  // Q8; 12345 = left as it was
  };
  const Case cases[] = {
      {"sum 9000 raised to the floor",
       {90, 90, 90, 90},
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1000, 2000, 3000, 2000, 1000},
       11460,
       90 << 8},
      {"sum 20000 lowered to the ceiling",
       {90, 90, 90, 90},
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4000, 4000, 4000, 4000, 4000},
       15563,
       90 << 8},
      {"no positive sum keeps the lag",
       {90, 90, 90, 90},
       {0, 0, -5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100, -300, 0, 0, 0},
       0,
       12345},
      {"a tie goes to the later subframe",
       {150, 150, 140, 130},
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12000, 0, 0, 0, 0, 12000, 0, 0},
       12000,
       130 << 8},
      {"an earlier stronger subframe inside the lag wins",
       {150, 150, 140, 130},
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 13000, 0, 0, 0, 0, 12000, 0, 0},
       13000,
       140 << 8},
      {"subframes beyond the last lag are not searched",
       {150, 150, 140, 70},
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 13000, 0, 0, 0, 0, 12000, 0, 0},
       12000,
       70 << 8},
  };
  for (const Case& c : cases) {
    auto st = NewDecoder(16);  // subframes of 80 samples
    st->plc.pitchLag = 12345;
    SilkFrameParams p = VoicedFrame(0, 0);
    for (int k = 0; k < 4; ++k) p.pitchLags[k] = c.lags[k];
    for (int i = 0; i < 20; ++i) p.ltpTaps[i] = c.taps[i];
    SilkConcealTrack(st.get(), &p);
    const int16_t expected[5] = {0, 0, c.middleTap, 0, 0};
    for (int j = 0; j < 5; ++j) EXPECT_EQ(st->plc.ltpTaps[j], expected[j]) << c.name << " tap " << j;
    EXPECT_EQ(st->plc.pitchLag, c.pitchLag) << c.name;
  }
}

TEST(SilkConcealTrack, UnvoicedFrameSetsTheLongestLagAndKeepsTheRest) {
  auto st = NewDecoder(16);
  SilkFrameParams p{};
  p.signalType = 1;
  p.ltpScaleFactor = 0;
  const int32_t gains[4] = {70000, 80000, 90000, 100000};
  for (int k = 0; k < 4; ++k) p.gains[k] = gains[k];
  for (int i = 0; i < 16; ++i) {
    p.lpcCoefs[0][i] = static_cast<int16_t>(-i);
    p.lpcCoefs[1][i] = static_cast<int16_t>(100 + i);
  }
  st->plc.ltpTaps[2] = 9999;
  SilkConcealTrack(st.get(), &p);
  EXPECT_EQ(st->plc.pitchLag, 73728);  // 18 ms at 16 kHz, Q8
  for (int j = 0; j < 5; ++j) EXPECT_EQ(st->plc.ltpTaps[j], 0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(st->plc.lpcCoefs[i], 100 + i);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(st->plc.gains[k], gains[k]);
  EXPECT_EQ(st->plc.ltpScale, 0);
  EXPECT_EQ(st->lastSignalType, 1);
}

TEST(SilkConcealFrame, RepeatedLossesDecayAndStretchTheLag) {
  // Voiced frame with a tap of 11469 and LTP scale 15565: the first loss
  // starts the noise at (15565 x 4915) >> 14 = 4669; each subframe applies the
  // harmonic and noise factors of the loss's column.
  auto st = NewDecoder(16);
  SilkFrameParams good = VoicedFrame(100, 11469);
  SilkConcealTrack(st.get(), &good);
  ASSERT_EQ(st->plc.pitchLag, 100 << 8);

  const struct {
    int16_t tap;
    int16_t noiseScale;
    int32_t pitchLag;
    int32_t lag;
  } after[] = {
      {11015, 3801, 26636, 104},  // 32440 / 31130 four times from 11469 / 4669
      {8970, 1555, 27715, 108},   // 31130 / 26214 from then on
  };
  for (int32_t loss = 0; loss < 2; ++loss) {
    st->lostCount = loss;
    SilkFrameParams p{};
    int16_t out[480];
    SilkConcealFrame(st.get(), &p, out);
    EXPECT_EQ(st->plc.ltpTaps[2], after[loss].tap) << "loss " << loss;
    EXPECT_EQ(st->plc.noiseScale, after[loss].noiseScale) << "loss " << loss;
    EXPECT_EQ(st->plc.pitchLag, after[loss].pitchLag) << "loss " << loss;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(p.pitchLags[k], after[loss].lag);
  }
}

TEST(SilkConcealFrame, LagStretchStopsAtEighteenMilliseconds) {
  auto st = NewDecoder(16);
  st->lastSignalType = 1;
  st->plc.pitchLag = 73000;
  SilkFrameParams p{};
  int16_t out[480];
  SilkConcealFrame(st.get(), &p, out);
  EXPECT_EQ(st->plc.pitchLag, 73728);
  EXPECT_EQ(p.pitchLags[0], 288);
}

TEST(SilkConcealFrame, UnvoicedNoiseFactorFollowsThePredictionGain) {
  const struct {
    int32_t invGainQ30;
    int32_t factor;
  } cases[] = {
      {1 << 30, 32440}, {1 << 27, 32440}, {1 << 24, 4055}, {1 << 22, 1013}, {1000, 1013},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SilkConcealUnvoicedNoiseFactor(c.invGainQ30, 32440), c.factor) << c.invGainQ30;
  }

  // A flat kept filter has an inverse prediction gain of 1.0: the first loss
  // after an unvoiced frame decays the noise by 32440 per subframe.
  auto st = NewDecoder(16);
  st->lastSignalType = 1;
  SilkFrameParams p{};
  int16_t out[480];
  SilkConcealFrame(st.get(), &p, out);
  EXPECT_EQ(st->plc.noiseScale, 15736);  // 16384 -> 16220 -> 16057 -> 15896 -> 15736
}

TEST(SilkConcealFrame, NoiseIsDrawnFromTheQuieterEndOfTheLastExcitation) {
  // Excitation value j at index j, unit gains and a flat filter: the first
  // subframe of the concealed frame is then window start + random index.
  const struct {
    int32_t rate;
    int32_t gain2;  // a loud subframe 2 moves the window to the frame end
    int32_t start;
  } cases[] = {{8, 65536, 0}, {8, 4 * 65536, 32}, {24, 65536, 232}, {24, 4 * 65536, 352}};
  for (const auto& c : cases) {
    auto st = NewDecoder(c.rate);
    st->lastSignalType = 1;
    for (int32_t j = 0; j < st->frameLength; ++j) st->excitation[j] = j << 10;
    st->plc.gains[0] = st->plc.gains[1] = st->plc.gains[3] = 65536;
    st->plc.gains[2] = c.gain2;
    SilkFrameParams p{};
    int16_t out[480];
    SilkConcealFrame(st.get(), &p, out);
    int32_t seed = 0;
    for (int32_t i = 0; i < st->subframeLength; ++i) {
      seed = lcgNext(seed);
      ASSERT_EQ(out[i], c.start + ((seed >> 25) & 127)) << c.rate << " kHz sample " << i;
    }
  }
}

TEST(SilkConcealFrame, RightAfterResetReadsNothingPastTheHistory) {
  // The reset leaves a lag of about one sample, so the first tap reaches one
  // position past the newest history value; in a 24 kHz frame that is past the
  // end of the buffer, where the record's next field lies. Such positions
  // count as silence: with an all-zero history and no noise the concealed
  // frame must stay silent.
  for (int32_t rate : {24, 16, 8}) {
    auto st = std::make_unique<SilkDecoderState>();
    SilkDecoderReset(st.get());
    SilkSetInternalRate(st.get(), rate);
    st->plc.rateKhz = rate;
    st->plc.pitchLag = st->frameLength >> 1;
    st->plc.ltpTaps[0] = 16384;  // the tap that looks ahead
    st->plc.gains[3] = 65536;
    for (int32_t loss = 0; loss < 2; ++loss) {
      st->lpcBuffer[0] = 1 << 30;
      st->lostCount = loss;
      SilkFrameParams p{};
      int16_t out[480];
      SilkConcealFrame(st.get(), &p, out);
      EXPECT_LE(p.pitchLags[0], 2) << rate << " kHz";
      for (int32_t i = 0; i < st->frameLength; ++i) {
        ASSERT_EQ(out[i], 0) << rate << " kHz loss " << loss << " sample " << i;
      }
      for (int i = 0; i < 960; ++i) ASSERT_EQ(st->ltpBuffer[i], 0) << rate << " kHz " << i;
    }
  }
}

TEST(SilkConcealSmooth, EnergyAndRootApproximations) {
  const struct {
    std::vector<int16_t> x;
    int32_t energy;
    int32_t shift;
  } energies[] = {
      {std::vector<int16_t>(480, 32767), 503285760, 10},
      {std::vector<int16_t>(480, -32768), 503316480, 10},
      {std::vector<int16_t>(160, 1000), 160000000, 0},
      {{3, 4, 5}, 50, 0},
      {{}, 0, 0},
  };
  for (const auto& c : energies) {
    int32_t energy = -1, shift = -1;
    SilkScaledEnergy(&energy, &shift, c.x.data(), static_cast<int32_t>(c.x.size()));
    EXPECT_EQ(energy, c.energy) << c.x.size() << " samples";
    EXPECT_EQ(shift, c.shift) << c.x.size() << " samples";
  }

  const struct {
    int32_t x;
    int32_t root;
  } roots[] = {{0, 0},           {-7, 0},          {1 << 20, 1024},        {1 << 24, 4096},
               {(1 << 24) + (1 << 17), 4109}, {1 << 23, 2888}, {1 << 30, 32768}};
  for (const auto& c : roots) EXPECT_EQ(SilkRoughSqrt(c.x), c.root) << c.x;
}

TEST(SilkConcealSmooth, LouderFirstGoodFrameFadesIn) {
  auto st = NewDecoder(24);
  std::vector<int16_t> frame(480, 1000);  // energy 480000000, shift 0
  st->lostCount = 0;
  st->plc.prevLost = 1;
  st->plc.energy = 480000000 / 4;
  st->plc.energyShift = 0;
  SilkConcealSmooth(st.get(), frame.data(), 480);
  EXPECT_EQ(frame[0], 500);  // sqrt(1/4)
  for (int i = 1; i < 480; ++i) {
    ASSERT_GE(frame[i], frame[i - 1]) << i;
    ASSERT_LE(frame[i], 1000) << i;
  }
  EXPECT_EQ(frame[479], 967);  // gain 2048 + 479 x 4 at the end
  EXPECT_EQ(st->plc.prevLost, 0);

  // The next good frame is left alone.
  std::vector<int16_t> next(480, 1000);
  SilkConcealSmooth(st.get(), next.data(), 480);
  EXPECT_EQ(next, std::vector<int16_t>(480, 1000));
}

TEST(SilkConcealSmooth, NeverAmplifiesTheGoodFrame) {
  // Cases where the approximate start gain exceeds unity: a frame barely
  // louder than the concealed one (the root rounds up to 4109, and the first
  // sample is full scale), and two nearly silent frames.
  std::vector<int16_t> barelyLouder(480, 133);
  barelyLouder[0] = -32768;  // energy 270553713, shift 2
  std::vector<int16_t> nearlySilent(480, 0);
  for (int i = 0; i < 10; ++i) nearlySilent[i] = 1;
  const struct {
    std::vector<int16_t> frame;
    int32_t concealedEnergy;
    int32_t concealedShift;
  } cases[] = {
      {barelyLouder, 270553712, 2},
      {nearlySilent, 3, 0},
      {std::vector<int16_t>(480, 1000), 480000000, 0},  // equal: unchanged
      {std::vector<int16_t>(480, 1000), 480000001, 0},  // quieter: unchanged
  };
  for (const auto& c : cases) {
    auto st = NewDecoder(24);
    st->plc.prevLost = 1;
    st->plc.energy = c.concealedEnergy;
    st->plc.energyShift = c.concealedShift;
    std::vector<int16_t> frame = c.frame;
    SilkConcealSmooth(st.get(), frame.data(), 480);
    EXPECT_EQ(frame, c.frame) << "concealed energy " << c.concealedEnergy;
  }
}

TEST(SilkConcealSmooth, ConcealedFrameRecordsItsEnergy) {
  auto st = NewDecoder(24);
  st->lostCount = 1;
  std::vector<int16_t> frame(480, -32768);
  SilkConcealSmooth(st.get(), frame.data(), 480);
  EXPECT_EQ(st->plc.energy, 503316480);
  EXPECT_EQ(st->plc.energyShift, 10);
  EXPECT_EQ(st->plc.prevLost, 1);
  EXPECT_EQ(frame, std::vector<int16_t>(480, -32768));
}
