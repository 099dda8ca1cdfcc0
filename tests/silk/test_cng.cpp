// Comfort noise: learning the background model from good frames without
// voice activity, and adding noise of that model to concealed frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "silk/cng.h"
#include "silk/silk_decoder.h"

namespace {

std::unique_ptr<SilkDecoderState> NewDecoder(int32_t rateKhz) {
  auto st = std::make_unique<SilkDecoderState>();
  SilkDecoderReset(st.get());
  SilkSetInternalRate(st.get(), rateKhz);
  SilkComfortNoiseReset(st.get());
  st->cng.rateKhz = rateKhz;
  return st;
}

SilkFrameParams Gains(int32_t g0, int32_t g1, int32_t g2, int32_t g3) {
  SilkFrameParams p{};
  p.gains[0] = g0;
  p.gains[1] = g1;
  p.gains[2] = g2;
  p.gains[3] = g3;
  return p;
}

// Fills the excitation store with full-scale values and a matching gain, so
// that concealed frames receive loud noise.
void LearnLoudNoise(SilkDecoderState* st) {
  for (int i = 0; i < 480; ++i) st->cng.excBuffer[i] = ((i * 37) % 61 - 30) * 1024 * 1000;
  st->cng.smoothGain = 65536;
}

}  // namespace

TEST(SilkComfortNoiseReset, SpreadsTheNlsfsEvenly) {
  const struct {
    int32_t rate;
    int32_t order;
    int32_t step;
  } cases[] = {{8, 10, 2978}, {16, 16, 1927}};
  for (const auto& c : cases) {
    auto st = NewDecoder(c.rate);
    st->cng.smoothGain = 5;
    st->cng.seed = 1;
    st->cng.excBuffer[3] = 77;
    st->cng.synthState[2] = 9;
    SilkComfortNoiseReset(st.get());
    for (int32_t i = 0; i < c.order; ++i) EXPECT_EQ(st->cng.smoothNlsf[i], (i + 1) * c.step);
    EXPECT_EQ(st->cng.smoothNlsf[c.order - 1], c.order == 10 ? 29780 : 30832);
    EXPECT_EQ(st->cng.smoothGain, 0);
    EXPECT_EQ(st->cng.seed, 3176576);
    EXPECT_EQ(st->cng.excBuffer[3], 77);
    EXPECT_EQ(st->cng.synthState[2], 9);
  }
}

TEST(SilkComfortNoise, QuietGoodFrameUpdatesTheModel) {
  auto st = NewDecoder(16);
  const int32_t S = st->subframeLength;
  for (int i = 0; i < 16; ++i) st->lastNlsf[i] = 20000;
  for (int i = 0; i < 480; ++i) st->excitation[i] = 1000 + i;
  for (int i = 0; i < 16; ++i) st->cng.synthState[i] = 1234;
  st->voiceActivity = 0;
  st->lostCount = 0;
  SilkFrameParams p = Gains(65536, 65536, 65536, 65536);
  std::vector<int16_t> out(320, 42);
  SilkComfortNoise(st.get(), &p, out.data(), 320);

  EXPECT_EQ(st->cng.smoothGain, 16659);  // 4634, 8940, 12941, 16659 over the subframes
  EXPECT_EQ(st->cng.smoothNlsf[0], 1927 + 4508);  // a quarter of the way to 20000
  for (int32_t i = 0; i < S; ++i) EXPECT_EQ(st->cng.excBuffer[i], 1000 + i);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(st->cng.synthState[i], 0);
  EXPECT_EQ(out, std::vector<int16_t>(320, 42));
}

TEST(SilkComfortNoise, StoresTheLoudestSubframeAndAgesTheOthers) {
  const struct {
    SilkFrameParams params;
    int32_t subframe;
  } cases[] = {
      {Gains(0, 300000, 300000, 100), 1},  // the first of equal maxima
      {Gains(5, 6, 7, 8), 3},
      {Gains(0, 0, 0, 0), 0},
      {Gains(-5, -1, -9, -2), 0},
  };
  for (const auto& c : cases) {
    auto st = NewDecoder(8);
    const int32_t S = st->subframeLength;
    for (int i = 0; i < 480; ++i) st->excitation[i] = i;
    for (int i = 0; i < 4 * S; ++i) st->cng.excBuffer[i] = -1 - i;
    st->voiceActivity = 0;
    std::vector<int16_t> out(160, 0);
    SilkComfortNoise(st.get(), &c.params, out.data(), 160);
    for (int32_t i = 0; i < S; ++i) {
      ASSERT_EQ(st->cng.excBuffer[i], c.subframe * S + i) << "subframe " << c.subframe;
    }
    for (int32_t i = 0; i < 3 * S; ++i) ASSERT_EQ(st->cng.excBuffer[S + i], -1 - i) << i;
  }
}

TEST(SilkComfortNoise, VoicedGoodFrameOnlyClearsTheFilter) {
  auto st = NewDecoder(16);
  LearnLoudNoise(st.get());
  for (int i = 0; i < 16; ++i) {
    st->lastNlsf[i] = 20000;
    st->cng.synthState[i] = 1234;
  }
  const SilkComfortNoiseState before = st->cng;
  st->voiceActivity = 1;
  SilkFrameParams p = Gains(65536, 65536, 65536, 65536);
  std::vector<int16_t> out(320, 42);
  SilkComfortNoise(st.get(), &p, out.data(), 320);
  EXPECT_TRUE(std::equal(before.smoothNlsf, before.smoothNlsf + 16, st->cng.smoothNlsf));
  EXPECT_TRUE(std::equal(before.excBuffer, before.excBuffer + 480, st->cng.excBuffer));
  EXPECT_EQ(st->cng.smoothGain, before.smoothGain);
  EXPECT_EQ(st->cng.seed, before.seed);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(st->cng.synthState[i], 0);
  EXPECT_EQ(out, std::vector<int16_t>(320, 42));
}

TEST(SilkComfortNoise, RateChangeResetsTheModelButKeepsTheStore) {
  auto st = NewDecoder(16);
  LearnLoudNoise(st.get());
  st->cng.seed = 99;
  const int32_t stored = st->cng.excBuffer[10];
  SilkSetInternalRate(st.get(), 8);
  st->voiceActivity = 1;
  SilkFrameParams p{};
  std::vector<int16_t> out(160, 0);
  SilkComfortNoise(st.get(), &p, out.data(), 160);
  EXPECT_EQ(st->cng.rateKhz, 8);
  EXPECT_EQ(st->cng.smoothNlsf[9], 29780);
  EXPECT_EQ(st->cng.smoothGain, 0);
  EXPECT_EQ(st->cng.seed, 3176576);
  EXPECT_EQ(st->cng.excBuffer[10], stored);
}

TEST(SilkComfortNoise, ConcealedFrameWithoutALearnedLevelIsUnchanged) {
  auto st = NewDecoder(24);
  for (int i = 0; i < 480; ++i) st->cng.excBuffer[i] = 1 << 20;
  st->lostCount = 1;
  SilkFrameParams p{};
  std::vector<int16_t> out(480);
  for (int i = 0; i < 480; ++i) out[i] = static_cast<int16_t>(i * 64 - 15000);
  const std::vector<int16_t> in = out;
  SilkComfortNoise(st.get(), &p, out.data(), 480);
  EXPECT_EQ(out, in);
}

TEST(SilkComfortNoise, NoiseIsAddedWithSaturation) {
  for (int32_t rate : {8, 24}) {
    auto st = NewDecoder(rate);
    const int32_t L = st->frameLength;
    LearnLoudNoise(st.get());
    st->lostCount = 1;
    SilkFrameParams p{};

    // The same noise, computed on silence and on the two full-scale values.
    auto alone = std::make_unique<SilkDecoderState>(*st);
    std::vector<int16_t> noise(L, 0);
    SilkComfortNoise(alone.get(), &p, noise.data(), L);
    ASSERT_GT(*std::max_element(noise.begin(), noise.end()), 1000);
    ASSERT_LT(*std::min_element(noise.begin(), noise.end()), -1000);

    for (int16_t level : {int16_t{32767}, int16_t{-32768}}) {
      auto copy = std::make_unique<SilkDecoderState>(*st);
      std::vector<int16_t> out(L, level);
      SilkComfortNoise(copy.get(), &p, out.data(), L);
      for (int32_t i = 0; i < L; ++i) {
        const int32_t sum = level + noise[i];
        ASSERT_EQ(out[i], sum > 32767 ? 32767 : (sum < -32768 ? -32768 : sum)) << i;
      }
    }
  }
}

TEST(SilkComfortNoise, ExcitationIndexStaysInsideTheStore) {
  std::vector<int32_t> store(480);
  for (int i = 0; i < 480; ++i) store[i] = i << 10;  // value = index at unit gain
  const struct {
    int32_t length;
    int32_t mask;
  } cases[] = {{160, 127}, {240, 127}, {320, 255}, {480, 255}};
  for (const auto& c : cases) {
    std::vector<int16_t> out(c.length);
    int32_t seed = 3176576;
    SilkComfortNoiseExcitation(out.data(), store.data(), 65536, c.length, &seed);
    EXPECT_NE(seed, 3176576);
    const int16_t top = *std::max_element(out.begin(), out.end());
    EXPECT_LE(top, c.mask) << c.length;
    EXPECT_GT(top, c.mask / 2) << c.length;  // the whole masked range is used
  }
}

TEST(SilkComfortNoiseFilter, OnePoleResponseAtEveryOrder) {
  // Coefficient 0.5 on the newest output: an impulse decays by halves.
  const int16_t A[16] = {2048};
  const std::vector<int16_t> expected = {1000, 500, 250, 125, 63, 31};
  for (int32_t order : {10, 16, -16}) {
    std::vector<int16_t> x = {1000, 0, 0, 0, 0, 0};
    int32_t S[16] = {};
    if (order < 0) {
      SilkAllPoleFilter16(x.data(), A, S, x.data(), 6);  // in place
    } else {
      SilkAllPoleFilter(x.data(), A, S, x.data(), 6, order);
    }
    EXPECT_EQ(x, expected) << "order " << order;
  }
}

TEST(SilkComfortNoiseFilter, RunawayFilterSaturates) {
  // A gain of almost 2 on a full-scale input: the delay line saturates and
  // the output holds at full scale without wrapping.
  const int16_t A[16] = {8191};
  for (int16_t level : {int16_t{32767}, int16_t{-32768}}) {
    std::vector<int16_t> in(64, level), out(64);
    int32_t S[16] = {};
    SilkAllPoleFilter16(in.data(), A, S, out.data(), 64);
    for (int i = 1; i < 64; ++i) ASSERT_EQ(out[i], level) << i;
    EXPECT_EQ(S[15], level > 0 ? 2147483632 : INT32_MIN);
  }
}
