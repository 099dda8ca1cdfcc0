// The decoder's hot filters are written for speed (vector code, split
// products, hoisted checks). Here each one is run against the plain
// definition on random data that reaches the extremes of its inputs: full
// 32-bit history values, coefficients of -32768, every order.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

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

}  // namespace
