// NLSF to LPC conversion, the stability test and the bandwidth expansions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "silk/lpc.h"
#include "silk/nlsf.h"

namespace {

TEST(LpcCosTable, IsTwiceTheRoundedCosineWithItsSixAdjustedPairs) {
  const int32_t first12[12] = {8192, 8190, 8182, 8170, 8152, 8130,
                               8104, 8072, 8034, 7994, 7946, 7896};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(SilkLsfCosTable[i], first12[i]) << i;

  const int raised[6] = {9, 20, 35, 36, 48, 53};
  for (int i = 0; i <= 128; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(SilkLsfCosTable[128 - i], -SilkLsfCosTable[i]);
    int32_t expected = 2 * static_cast<int32_t>(std::lround(4096.0 * std::cos(M_PI * i / 128.0)));
    for (int r : raised) {
      if (i == r) expected += 2;
      if (i == 128 - r) expected -= 2;
    }
    EXPECT_EQ(SilkLsfCosTable[i], expected);
  }
  EXPECT_EQ(SilkLsfCosTable[64], 0);
  EXPECT_EQ(SilkLsfCosTable[128], -8192);
}

std::vector<int32_t> EvenlySpaced(int32_t L) {
  std::vector<int32_t> nlsf(L);
  for (int32_t k = 0; k < L; ++k) nlsf[k] = (32768 * (k + 1)) / (L + 1);
  return nlsf;
}

// Evenly spaced line frequencies describe a flat spectrum: the predictor is
// almost zero and needs neither limiting nor stabilisation.
TEST(NlsfToLpc, EvenlySpacedFrequenciesGiveANearlyFlatPredictor) {
  const std::vector<std::pair<int32_t, std::vector<int16_t>>> cases = {
      {10, {1, 3, 0, 2, 0, -1, 0, 1, 0, 1}},
      {16, {2, 0, 1, -1, 0, -1, 0, -3, 0, -5, 0, -3, 0, -5, 0, 0}},
  };
  for (const auto& [L, expected] : cases) {
    SCOPED_TRACE(L);
    const std::vector<int32_t> nlsf = EvenlySpaced(L);
    std::vector<int16_t> a(L, 99);
    SilkNlsfToLpc(a.data(), nlsf.data(), L);
    EXPECT_EQ(a, expected);
    std::vector<int16_t> stable(L, 99);
    SilkNlsfToStableLpc(stable.data(), nlsf.data(), L);
    EXPECT_EQ(stable, expected);
  }
  EXPECT_EQ(EvenlySpaced(10).front(), 2978);
  EXPECT_EQ(EvenlySpaced(16).back(), 30840);
}

TEST(NlsfPolynomial, MultipliesTheQuadraticFactors) {
  // (1 - z^-1 + z^-2)^2 = 1 - 2 z^-1 + 3 z^-2 - ...; c = 1.0 in Q20.
  const int32_t c[3] = {1 << 20, 12345, 1 << 20};
  int32_t out[3] = {};
  SilkNlsfPolynomial(out, c, 2);
  EXPECT_EQ(out[0], 1 << 20);
  EXPECT_EQ(out[1], -(2 << 20));
  EXPECT_EQ(out[2], 3 << 20);
}

// A vector of tightly packed low frequencies yields a filter far beyond the
// 16-bit range; no amount of bandwidth expansion makes it stable, so the
// result falls back to zeros.
TEST(NlsfToStableLpc, HopelessFilterFallsBackToZeros) {
  std::vector<int32_t> nlsf(16);
  for (int32_t k = 0; k < 16; ++k) nlsf[k] = 100 + 3 * k;
  std::vector<int16_t> raw(16);
  SilkNlsfToLpc(raw.data(), nlsf.data(), 16);
  int32_t invGain = 0;
  EXPECT_EQ(SilkLpcInversePredGain(&invGain, raw.data(), 16), 1);

  std::vector<int16_t> a(16, 99);
  SilkNlsfToStableLpc(a.data(), nlsf.data(), 16);
  EXPECT_EQ(a, std::vector<int16_t>(16, 0));
}

// Ten lines packed 3 apart in mid band give an unstable filter that a few
// rounds of bandwidth expansion make stable, without resorting to zeros.
TEST(NlsfToStableLpc, UnstableFilterIsExpandedUntilStable) {
  std::vector<int32_t> nlsf(10);
  for (int32_t k = 0; k < 10; ++k) nlsf[k] = 15085 + 3 * k;
  std::vector<int16_t> raw(10);
  SilkNlsfToLpc(raw.data(), nlsf.data(), 10);
  int32_t invGain = 0;
  ASSERT_EQ(SilkLpcInversePredGain(&invGain, raw.data(), 10), 1);

  std::vector<int16_t> a(10);
  SilkNlsfToStableLpc(a.data(), nlsf.data(), 10);
  EXPECT_EQ(SilkLpcInversePredGain(&invGain, a.data(), 10), 0);
  EXPECT_NE(a, std::vector<int16_t>(10, 0));
  for (int32_t k = 0; k < 10; ++k) {
    EXPECT_LT(std::abs(a[k]), std::abs(raw[k])) << k;
  }
}

// Whatever the codebook delivers, the conversion yields a filter that passes
// the stability test (all zeros pass too).
TEST(NlsfToStableLpc, CodebookVectorsGiveStableFilters) {
  const SilkNlsfCodebook* books[4] = {&SilkNlsfCodebookVoiced10, &SilkNlsfCodebookUnvoiced10,
                                      &SilkNlsfCodebookVoiced16, &SilkNlsfCodebookUnvoiced16};
  const int32_t orders[4] = {10, 10, 16, 16};
  for (int b = 0; b < 4; ++b) {
    const SilkNlsfCodebook& cb = *books[b];
    const int32_t L = orders[b];
    for (int32_t v = 0; v < cb.stages[0].vectorCount; ++v) {
      int32_t indices[kSilkNlsfMaxStages] = {};
      indices[0] = v;
      for (int32_t s = 1; s < cb.stageCount; ++s) indices[s] = (v + s) % cb.stages[s].vectorCount;
      int32_t nlsf[16];
      SilkNlsfDecode(&cb, indices, L, nlsf);
      int16_t a[16];
      SilkNlsfToStableLpc(a, nlsf, L);
      int32_t invGain = 0;
      EXPECT_EQ(SilkLpcInversePredGain(&invGain, a, L), 0) << "codebook " << b << " vector " << v;
    }
  }
}

TEST(LpcInversePredGain, StabilityAndGain) {
  struct Case {
    const char* name;
    int32_t L;
    int32_t position;  // index of the single non-zero coefficient, -1 for none
    int16_t value;
    int32_t unstable;
    int64_t invGain;   // -1: not checked
  };
  const Case cases[] = {
      // Each of the L gain updates of a zero filter loses 4 in Q30.
      {"zero10", 10, -1, 0, 0, (1 << 30) - 40},
      {"zero16", 16, -1, 0, 0, (1 << 30) - 64},
      // A last coefficient of 1.0 fails the very first test.
      {"last4096_10", 10, 9, 4096, 1, 1 << 30},
      {"last4096_16", 16, 15, 4096, 1, 1 << 30},
      // 4095 << 4 = 65520 is exactly at the limit and passes.
      {"last4095_16", 16, 15, 4095, 0, 524160},
      {"last4095_10", 10, 9, 4095, 0, 524184},
      {"lastMinus4095_16", 16, 15, -4095, 0, 524160},
      // A first coefficient of 1.0 survives every step-down and fails at the end.
      {"first4096_16", 16, 0, 4096, 1, -1},
      {"first4096_10", 10, 0, 4096, 1, -1},
      {"firstHalf_16", 16, 0, 2048, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int16_t> a(c.L, 0);
    if (c.position >= 0) a[c.position] = c.value;
    int32_t invGain = -7;
    EXPECT_EQ(SilkLpcInversePredGain(&invGain, a.data(), c.L), c.unstable);
    if (c.invGain >= 0) {
      EXPECT_EQ(invGain, c.invGain);
    }
  }
}

TEST(BwExpand16, ScalesCoefficientsByPowersOfTheChirp) {
  struct Case {
    int32_t chirp;
    std::vector<int16_t> in, expected;
  };
  const std::vector<int16_t> odd = {-32768, 32767, 1, -1, 4096, -12345, 0};
  const Case cases[] = {
      {65536, odd, odd},  // exactly 1.0: unchanged
      {63570, {4096, 4096, 4096, 4096}, {3973, 3854, 3738, 3626}},
      {64880, {4096, 4096, 4096, 4096}, {4055, 4014, 3974, 3934}},
      {63570, {-4096, -4096}, {-3973, -3854}},
  };
  for (const Case& c : cases) {
    std::vector<int16_t> a = c.in;
    SilkBwExpand16(a.data(), static_cast<int32_t>(a.size()), c.chirp);
    EXPECT_EQ(a, c.expected) << "chirp " << c.chirp;
  }
}

TEST(BwExpand32, ScalesWithFlooringProducts) {
  std::vector<int32_t> a = {65536, 65536, 65536, 65536};
  SilkBwExpand32(a.data(), 4, 65470);
  EXPECT_EQ(a, (std::vector<int32_t>{65470, 65404, 65338, 65272}));

  std::vector<int32_t> b = {-65536, 3};
  SilkBwExpand32(b.data(), 2, 65470);
  EXPECT_EQ(b, (std::vector<int32_t>{-65470, 2}));  // 3 x 0.998... floors to 2
}

TEST(InverseVarQ, ApproximatesTheReciprocal) {
  struct Case {
    int32_t b, qres, expected;
  };
  const Case cases[] = {
      {65536, 32, 65535},         // one below the exact 65536
      {1, 32, 2147483646},        // 2^32 saturates via the limited shift
      {3, 32, 1431655765},        // floor(2^32 / 3): the correction term wraps
      {1073741823, 46, 65536},    // 1 - rc^2 = 1.0 in Q30 gives 1.0 in Q16
      {524223, 46, 134234370},    // the smallest value the stability test can pass
      {2147483647, 16, 0},        // right shift of 32 or more gives 0
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SilkInverseVarQ(c.b, c.qres), c.expected) << c.b << " q" << c.qres;
  }
}

}  // namespace
