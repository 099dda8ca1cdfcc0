// The decoder's hot filters are written for speed (vector code, split
// products, reordered sums). Here each one is run against its plain
// definition on random data that reaches the extremes of its inputs: full
// 32-bit history values, samples and coefficients of -32768, every order.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "silk/decode_frame.h"
#include "silk/filter_kernels.h"
#include "silk/primitives.h"
#include "silk/synthesis.h"

namespace {

// Values spread over all magnitudes: a random word shifted right by 0..31.
int32_t AnyMagnitude(std::mt19937& rng) {
  return static_cast<int32_t>(rng()) >> (rng() % 32);
}

int16_t AnyCoefficient(std::mt19937& rng) {
  switch (rng() % 4) {
    case 0:
      return -32768;
    case 1:
      return 32767;
    default:
      return static_cast<int16_t>(rng());
  }
}

// y[i] = in[i] + sum_j mulw16(v[i-1-j], a[j]); v = y << 4 appended to the history.
void ReferenceSynthesis(std::vector<int32_t>& buffer, const int16_t* a, int32_t order, int32_t n,
                        const int32_t* in, int32_t* out) {
  for (int32_t i = 0; i < n; ++i) {
    int32_t pred = 0;
    for (int32_t j = 0; j < order; ++j) pred = macw16(pred, buffer[15 + i - j], a[j]);
    out[i] = addw(in[i], pred);
    buffer[16 + i] = shlw(out[i], 4);
  }
}

TEST(FilterKernels, LpcSynthesisMatchesTheDefinition) {
  std::mt19937 rng(20240611);
  for (int trial = 0; trial < 3000; ++trial) {
    const int32_t order = trial % 17;  // every order the filter accepts
    const int32_t n = 1 + static_cast<int32_t>(rng() % 120);
    int16_t a[16];
    for (int16_t& c : a) c = AnyCoefficient(rng);
    std::vector<int32_t> in(n);
    for (int32_t& x : in) x = AnyMagnitude(rng);
    std::vector<int32_t> expectBuf(16 + n), gotBuf(16 + n);
    for (int i = 0; i < 16; ++i) expectBuf[i] = gotBuf[i] = AnyMagnitude(rng);

    std::vector<int32_t> expect(n), got(n);
    ReferenceSynthesis(expectBuf, a, order, n, in.data(), expect.data());
    if (trial % 2 == 0) {
      SilkLpcSynthesis(gotBuf.data(), a, order, n, in.data(), got.data());
    } else {
      got = in;  // in place, as concealment runs it
      SilkLpcSynthesis(gotBuf.data(), a, order, n, got.data(), got.data());
    }
    ASSERT_EQ(got, expect) << "trial " << trial << ", order " << order;
    ASSERT_EQ(gotBuf, expectBuf) << "trial " << trial << ", order " << order;
  }
}

TEST(FilterKernels, ScaledSynthesisMatchesTheDefinition) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 2000; ++trial) {
    const int32_t order = trial % 17;
    const int32_t n = 1 + static_cast<int32_t>(rng() % 120);
    const int32_t gain = AnyMagnitude(rng);
    int16_t a[16];
    for (int16_t& c : a) c = AnyCoefficient(rng);
    std::vector<int32_t> in(n);
    for (int32_t& x : in) x = AnyMagnitude(rng);
    std::vector<int32_t> expectBuf(16 + n), gotBuf(16 + n);
    for (int i = 0; i < 16; ++i) expectBuf[i] = gotBuf[i] = AnyMagnitude(rng);

    std::vector<int32_t> y(n);
    ReferenceSynthesis(expectBuf, a, order, n, in.data(), y.data());
    std::vector<int16_t> expect(n), got(n);
    for (int32_t i = 0; i < n; ++i) {
      expect[i] = static_cast<int16_t>(sat16(rshiftRound(mulww(y[i], gain), 10)));
    }
    SilkLpcSynthesisScaled(gotBuf.data(), a, order, n, in.data(), gain, got.data());
    ASSERT_EQ(got, expect) << "trial " << trial;
    ASSERT_EQ(gotBuf, expectBuf) << "trial " << trial;
  }
}

// The direct-form whitening equals the shift-register analysis filter run
// from a zero state at the span start.
TEST(FilterKernels, WhiteningMatchesTheAnalysisFilter) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 2000; ++trial) {
    const int32_t order = trial % 2 == 0 ? 16 : static_cast<int32_t>(rng() % 17);
    const int32_t length = 1 + static_cast<int32_t>(rng() % 480);
    const int32_t start = static_cast<int32_t>(rng() % length);
    int16_t a[16] = {};
    for (int32_t d = 0; d < order; ++d) a[d] = AnyCoefficient(rng);
    std::vector<int16_t> x(length);
    for (int16_t& v : x) v = rng() % 8 == 0 ? -32768 : static_cast<int16_t>(rng());

    std::vector<int16_t> expect(length);
    if (order > 0) {
      int32_t state[16] = {};
      SilkLpcAnalysisFilter(x.data() + start, a, state, expect.data() + start, length - start,
                            order);
    } else {
      for (int32_t h = start; h < length; ++h) expect[h] = x[h];
    }
    std::vector<int16_t> span(16, 0);
    span.insert(span.end(), x.begin() + start, x.end());
    const int32_t from = start + static_cast<int32_t>(rng() % (length - start));
    std::vector<int16_t> got(length, 0);
    SilkWhitenSpan(span.data(), start, a, order, from, length, got.data());
    for (int32_t h = from; h < length; ++h) {
      ASSERT_EQ(got[h], expect[h]) << "trial " << trial << ", sample " << h;
    }
  }
}

// Written and read history may overlap (short lags): every distance from the
// read position to the write position is tried.
TEST(FilterKernels, PitchFilterMatchesTheDefinition) {
  std::mt19937 rng(13);
  for (int trial = 0; trial < 3000; ++trial) {
    const int32_t n = 1 + static_cast<int32_t>(rng() % 120);
    // Negative distances: a lag below 2 reads ahead of the write position.
    const int32_t distance = trial % 3 == 0 ? static_cast<int32_t>(rng() % 300)
                                            : static_cast<int32_t>(rng() % 16) - 4;
    const int32_t readAt = 4 + static_cast<int32_t>(rng() % 40);
    std::vector<int32_t> expectHist(readAt + distance + n + 8);
    for (int32_t& v : expectHist) v = AnyMagnitude(rng);
    std::vector<int32_t> gotHist = expectHist;
    int16_t taps[5];
    for (int16_t& t : taps) t = AnyCoefficient(rng);
    std::vector<int32_t> exc(n);
    for (int32_t& e : exc) e = AnyMagnitude(rng);

    std::vector<int32_t> expectRes(n), gotRes(n);
    int32_t* next = expectHist.data() + readAt + distance;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t* p = expectHist.data() + readAt + i;
      int32_t pred = 0;
      for (int j = 0; j < 5; ++j) pred = macw16(pred, p[-j], taps[j]);
      expectRes[i] = addw(exc[i], rshiftRound(pred, 4));
      next[i] = shlw(expectRes[i], 6);
    }
    SilkPitchFilter(gotHist.data() + readAt, taps, exc.data(), gotRes.data(),
                    gotHist.data() + readAt + distance, n);
    ASSERT_EQ(gotRes, expectRes) << "trial " << trial << ", distance " << distance;
    ASSERT_EQ(gotHist, expectHist) << "trial " << trial << ", distance " << distance;
  }
}

TEST(FilterKernels, ExcitationMatchesTheDefinition) {
  std::mt19937 rng(17);
  for (int trial = 0; trial < 500; ++trial) {
    const int32_t n = static_cast<int32_t>(rng() % 481);
    const int32_t seed = AnyMagnitude(rng);
    const int32_t offset = static_cast<int32_t>(rng() % 300);
    std::vector<int32_t> pulses(n);
    for (int32_t& p : pulses) p = rng() % 4 == 0 ? AnyMagnitude(rng) : static_cast<int32_t>(rng() % 7) - 3;

    std::vector<int32_t> expect(n), got(n);
    int32_t u = seed;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t t = lcgNext(u);
      const int32_t e = addw(shlw(pulses[i], 10), offset);
      expect[i] = t < 0 ? negw(e) : e;
      u = addw(t, pulses[i]);
    }
    SilkBuildExcitation(got.data(), pulses.data(), n, seed, offset);
    ASSERT_EQ(got, expect) << "trial " << trial;
  }
}

TEST(FilterKernels, HighPassMatchesTheDefinition) {
  std::mt19937 rng(19);
  for (int trial = 0; trial < 300; ++trial) {
    const int32_t n = 1 + static_cast<int32_t>(rng() % 1500);  // also longer than a frame
    int16_t b[3], a[2];
    for (int16_t& c : b) c = AnyCoefficient(rng);
    for (int16_t& c : a) c = AnyCoefficient(rng);
    std::vector<int16_t> x(n);
    for (int16_t& v : x) v = rng() % 8 == 0 ? -32768 : static_cast<int16_t>(rng());
    int32_t expectState[2] = {AnyMagnitude(rng), AnyMagnitude(rng)};
    int32_t gotState[2] = {expectState[0], expectState[1]};

    std::vector<int16_t> expect(n);
    for (int32_t k = 0; k < n; ++k) {
      const int32_t y = mac16(expectState[0], x[k], b[0]);
      expectState[0] = addw(mac16(expectState[1], x[k], b[1]), shlw(mulw16(y, -a[0]), 3));
      expectState[1] = addw(shlw(mulw16(y, -a[1]), 3), mul16(x[k], b[2]));
      expect[k] = static_cast<int16_t>(sat16(rshiftRound(y, 13) + 1));
    }
    std::vector<int16_t> got = x;  // in place, as the frame driver runs it
    SilkHighPass(got.data(), b, a, gotState, got.data(), n);
    ASSERT_EQ(got, expect) << "trial " << trial;
    ASSERT_EQ(gotState[0], expectState[0]) << "trial " << trial;
    ASSERT_EQ(gotState[1], expectState[1]) << "trial " << trial;
  }
}

}  // namespace
