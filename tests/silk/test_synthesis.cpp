// Core synthesis: excitation, gain handling, pitch prediction, re-whitening,
// and the two filters it is built from.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "silk/primitives.h"
#include "silk/silk_decoder.h"
#include "silk/synthesis.h"

namespace {

std::unique_ptr<SilkDecoderState> NewDecoder(int32_t rateKhz) {
  auto st = std::make_unique<SilkDecoderState>();
  SilkDecoderReset(st.get());
  SilkSetInternalRate(st.get(), rateKhz);
  return st;
}

// An unvoiced frame with flat (all-zero) filters and equal gains.
SilkFrameParams UnvoicedFrame(int32_t gain) {
  SilkFrameParams p{};
  p.signalType = 1;
  p.offsetType = 0;
  p.nlsfInterpFactor = 4;
  for (int32_t& g : p.gains) g = gain;
  return p;
}

SilkFrameParams VoicedFrame(int32_t lag, int32_t gain) {
  SilkFrameParams p{};
  p.signalType = 0;
  p.offsetType = 0;
  p.nlsfInterpFactor = 4;
  p.ltpScaleFactor = 15565;
  for (int k = 0; k < 4; ++k) {
    p.pitchLags[k] = lag;
    p.gains[k] = gain;
    p.ltpTaps[5 * k + 2] = 8192;
  }
  return p;
}

int Sign(int32_t v) { return v < 0 ? -1 : 1; }

}  // namespace

TEST(SilkSynthesisExcitation, OffsetIsAddedBeforeTheSeedSignFlip) {
  auto st = NewDecoder(16);
  SilkFrameParams p = UnvoicedFrame(65536);
  p.signalType = 0;  // voiced, offset type 0: offset 32
  p.pitchLags[0] = p.pitchLags[1] = p.pitchLags[2] = p.pitchLags[3] = 100;
  int32_t pulses[480] = {1, 0, -2, 3, 0, 0, 1, -1};
  int16_t out[480];
  SilkCoreSynthesis(st.get(), &p, out, pulses);
  const int32_t expected[8] = {1056, -32, 2016, -3104, 32, 32, 1056, -992};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(st->excitation[i], expected[i]) << "sample " << i;
}

TEST(SilkSynthesisExcitation, SeedSelectsTheSignSequence) {
  const char* patterns[4] = {"+---++-++-", "+++++-+++-", "+++-+-+-++", "+-++++--++"};
  for (int32_t seed = 0; seed < 4; ++seed) {
    auto st = NewDecoder(16);
    SilkFrameParams p = UnvoicedFrame(65536);
    p.excitationSeed = seed;
    int32_t pulses[480] = {};
    int16_t out[480];
    SilkCoreSynthesis(st.get(), &p, out, pulses);
    for (int i = 0; i < 10; ++i) {
      EXPECT_EQ(st->excitation[i], patterns[seed][i] == '+' ? 100 : -100)
          << "seed " << seed << " sample " << i;
    }
  }
}

TEST(SilkSynthesis, UnvoicedFlatFrameIsThePlusMinusOffsetAtEveryRate) {
  for (int32_t rate : {8, 12, 16, 24}) {
    auto st = NewDecoder(rate);
    for (int i = 0; i < 960; ++i) st->ltpBuffer[i] = 7 * i + 1;
    SilkFrameParams p = UnvoicedFrame(67108864);  // gain 1024.0
    int32_t pulses[480] = {};
    int16_t out[480];
    SilkCoreSynthesis(st.get(), &p, out, pulses);
    for (int32_t i = 0; i < st->frameLength; ++i) {
      ASSERT_EQ(out[i], Sign(st->excitation[i]) * 100) << rate << " kHz sample " << i;
      ASSERT_EQ(st->outputHistory[st->frameLength + i], out[i]);
    }
    for (int i = 0; i < 960; ++i) ASSERT_EQ(st->ltpBuffer[i], 7 * i + 1) << "LTP history touched";
  }
}

TEST(SilkSynthesis, InverseGainIsCappedBelowTwo) {
  const struct {
    int32_t gain;
    int32_t invGain;
  } cases[] = {{65536, 32767}, {131072, 32767}, {67108864, 63}, {0, 32767}};
  for (const auto& c : cases) {
    auto st = NewDecoder(16);
    SilkFrameParams p = UnvoicedFrame(c.gain);
    int32_t pulses[480] = {};
    int16_t out[480];
    SilkCoreSynthesis(st.get(), &p, out, pulses);
    EXPECT_EQ(st->lastGainInverse, c.invGain) << "gain " << c.gain;
  }
}

TEST(SilkSynthesis, FirstSubframeAfterResetRescalesTheFilterHistory) {
  // After the reset the stored inverse gain is 1.0; a gain of 1.0 has the
  // capped inverse 32767, so the history is scaled by 32767/65536 before use.
  auto st = NewDecoder(16);
  st->lpcBuffer[15] = 1 << 24;  // feeds 2^20 (1024.0 in Q10) through a unit tap
  SilkFrameParams p = UnvoicedFrame(65536);
  p.lpcCoefs[0][0] = 4096;
  int32_t pulses[480] = {};
  int16_t out[480];
  SilkCoreSynthesis(st.get(), &p, out, pulses);
  EXPECT_EQ(out[0], 512);  // (2^20 * 32767/65536 +- 100) / 1024, rounded
}

TEST(SilkSynthesis, DivVarQ) {
  EXPECT_EQ(SilkDivVarQ(1000, 1000, 16), 65535);  // one below the exact quotient
  EXPECT_EQ(SilkDivVarQ(32767, 65536, 16), 32767);
  EXPECT_EQ(SilkDivVarQ(32767, 64, 16), 33553408);

  // Across the range of gain ratios the quotient is off by at most 2 (or a
  // few units in 2^28 for the largest results).
  std::srand(7);
  for (int n = 0; n < 20000; ++n) {
    const int32_t a = 1 + std::rand() % 32767;
    const int32_t b = 1 + std::rand() % 65536;
    const double exact = static_cast<double>(a) * 65536.0 / b;
    if (exact >= 2147483647.0) continue;
    const double tolerance = exact / 67108864.0 > 2.0 ? exact / 67108864.0 : 2.0;
    ASSERT_NEAR(SilkDivVarQ(a, b, 16), exact, tolerance) << a << " / " << b;
  }
}

TEST(SilkSynthesis, UnvoicedFrameAfterConcealedVoicedContinuesThePitch) {
  // Subframes 0 and 1 run the pitch filter with a single 0.25 tap at the last
  // lag; the frame's LTP scale of 0 clears the re-whitened history, so only
  // the frame's own subframe 0 is repeated. Subframes 2 and 3 stay unvoiced.
  const int32_t lag = 100;
  for (int32_t lost : {0, 1}) {
    auto st = NewDecoder(16);
    const int32_t L = st->frameLength, S = st->subframeLength;
    for (int i = 0; i < 960; ++i) st->ltpBuffer[i] = 5000 + i;
    st->lostCount = lost;
    st->lastSignalType = 0;
    st->lastPitchLag = lag;
    SilkFrameParams p = UnvoicedFrame(65536);
    int32_t pulses[480] = {};
    int16_t out[480];
    SilkCoreSynthesis(st.get(), &p, out, pulses);

    for (int32_t n = 0; n < L; ++n) {
      int32_t expected = st->excitation[n];
      if (lost && n >= lag && n < 2 * S) expected += st->excitation[n - lag] / 4;
      ASSERT_EQ(st->residual[n], expected) << "lost " << lost << " sample " << n;
    }
    for (int32_t i = 0; i < 960; ++i) {
      const bool cleared = lost && i >= L - lag - 2 && i < L;
      const bool written = lost && i >= L && i < L + 2 * S;
      if (cleared) {
        ASSERT_EQ(st->ltpBuffer[i], 0) << i;
      } else if (written) {
        ASSERT_EQ(st->ltpBuffer[i], shlw(st->residual[i - L], 6)) << i;
      } else {
        ASSERT_EQ(st->ltpBuffer[i], 5000 + i) << "lost " << lost << " position " << i;
      }
    }
  }
}

TEST(SilkSynthesis, InterpolatedFrameReWhitensAgainWithTheSecondFilter) {
  // With interpolation the second half of the frame has its own filter, so
  // subframe 2 rebuilds its pitch history from the output through that filter.
  // A flat second filter makes the re-whitened history the output itself,
  // scaled by the inverse gain; without interpolation the history stays the
  // pitch-filtered excitation of subframe 1.
  const int32_t lag = 100;
  for (int32_t factor : {2, 4}) {
    auto st = NewDecoder(16);
    const int32_t L = st->frameLength, S = st->subframeLength;
    SilkFrameParams p = VoicedFrame(lag, 65536);
    p.nlsfInterpFactor = factor;
    p.lpcCoefs[0][0] = 3000;
    p.lpcCoefs[0][1] = -1000;
    int32_t pulses[480];
    for (int i = 0; i < 480; ++i) pulses[i] = (i * 7) % 5 - 2;
    int16_t out[480];
    SilkCoreSynthesis(st.get(), &p, out, pulses);

    const int32_t invGain = st->lastGainInverse;
    for (int32_t i = 0; i < lag + 2; ++i) {
      const int32_t n = 2 * S - 1 - i;  // frame position
      const int32_t expected = factor < 4 ? invGain * out[n] : shlw(st->residual[n], 6);
      ASSERT_EQ(st->ltpBuffer[L + n], expected) << "factor " << factor << " position " << n;
    }
  }
}

TEST(SilkSynthesis, OutputSaturatesInsteadOfWrapping) {
  auto st = NewDecoder(16);
  SilkFrameParams p = UnvoicedFrame(67108864);
  int32_t pulses[480];
  for (int i = 0; i < 480; ++i) pulses[i] = (i % 3 == 0) ? 100 : -40;
  int16_t out[480];
  SilkCoreSynthesis(st.get(), &p, out, pulses);
  for (int32_t i = 0; i < st->frameLength; ++i) {
    ASSERT_EQ(out[i], st->excitation[i] > 0 ? 32767 : -32768) << i;
  }
}

TEST(SilkSynthesis, MalformedLagsStayInsideTheBuffers) {
  // Lags beyond what the re-whitening span allows (224 is reachable at 12 kHz)
  // and degenerate lags that make the taps reach ahead of the write position.
  for (int32_t rate : {12, 24}) {
    for (int32_t lag : {224, 239, 300, 470, 479, 1, 0, -3}) {
      auto st = NewDecoder(rate);
      SilkFrameParams p = VoicedFrame(lag, 65536);
      p.nlsfInterpFactor = 1;
      int32_t pulses[480];
      for (int i = 0; i < 480; ++i) pulses[i] = (i % 7) - 3;
      int16_t out[480];
      SilkCoreSynthesis(st.get(), &p, out, pulses);
      SilkCoreSynthesis(st.get(), &p, out, pulses);
      SUCCEED();
    }
  }
}

TEST(SilkSynthesisFilters, OrderTenAndSixteenAgree) {
  // The two specialised synthesis filters: an order-16 filter whose last six
  // coefficients are zero must match the order-10 one.
  const int16_t a10[16] = {5000, -3000, 1200, -800, 400, 300, -200, 100, 50, -25};
  const int32_t sub = 40;
  int32_t in[sub];
  for (int i = 0; i < sub; ++i) in[i] = (i * 3001) % 20000 - 10000;
  int32_t buf10[136], buf16[136];
  for (int i = 0; i < 16; ++i) buf10[i] = buf16[i] = (i - 8) * 123456;
  int32_t out10[sub], out16[sub];
  SilkLpcSynthesis(buf10, a10, 10, sub, in, out10);
  SilkLpcSynthesis(buf16, a10, 16, sub, in, out16);
  for (int i = 0; i < sub; ++i) ASSERT_EQ(out10[i], out16[i]) << i;
  for (int i = 0; i < 16 + sub; ++i) ASSERT_EQ(buf10[i], buf16[i]) << i;

  // In-place use (concealment synthesises over its own excitation).
  int32_t inplace[sub];
  std::memcpy(inplace, in, sizeof(in));
  for (int i = 0; i < 16; ++i) buf10[i] = (i - 8) * 123456;
  SilkLpcSynthesis(buf10, a10, 10, sub, inplace, inplace);
  for (int i = 0; i < sub; ++i) ASSERT_EQ(inplace[i], out10[i]) << i;
}

TEST(SilkSynthesisFilters, AnalysisFilterIsThePredictionError) {
  const int16_t unitDelay[16] = {4096};  // predicts each sample by the previous one
  const struct {
    std::vector<int16_t> in;
    std::vector<int16_t> out;
  } cases[] = {
      {{1, 3, 6, 10, 15}, {1, 2, 3, 4, 5}},
      {{-32768, 32767, -32768}, {-32768, 32767, -32768}},  // +-65535 saturate
  };
  for (const auto& c : cases) {
    int32_t state[16] = {};
    std::vector<int16_t> out(c.in.size());
    SilkLpcAnalysisFilter(c.in.data(), unitDelay, state, out.data(),
                          static_cast<int32_t>(c.in.size()), 16);
    EXPECT_EQ(out, c.out);
  }
}
