// NLSF codebook records, decoding, stabilisation, sorting and interpolation.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "silk/nlsf.h"
#include "silk/trained_tables.h"

namespace {

// Spacing table of the voiced order-10 codebook and its first stage-0 vector,
// which is stable under it.
const std::vector<int32_t> kD10 = {563, 3, 22, 20, 3, 3, 132, 119, 358, 86, 964};
const std::vector<int32_t> kStable10 = {2210,  4023,  6981,  9260,  12573,
                                        15687, 19207, 22383, 25981, 29142};

// True when x is strictly increasing and meets every spacing in d.
::testing::AssertionResult MeetsSpacing(const std::vector<int32_t>& x, const int32_t* d) {
  const size_t L = x.size();
  if (x[0] < d[0]) return ::testing::AssertionFailure() << "x[0] = " << x[0];
  for (size_t i = 1; i < L; ++i) {
    if (x[i] - x[i - 1] < d[i]) {
      return ::testing::AssertionFailure() << "gap " << i << ": " << x[i - 1] << ", " << x[i];
    }
  }
  if (32768 - x[L - 1] < d[L]) return ::testing::AssertionFailure() << "top = " << x[L - 1];
  return ::testing::AssertionSuccess();
}

struct StabilizeCase {
  const char* name;
  std::vector<int32_t> in;
  std::vector<int32_t> expected;
};

class NlsfStabilize : public ::testing::TestWithParam<StabilizeCase> {};

TEST_P(NlsfStabilize, GivesExpectedVector) {
  const StabilizeCase& c = GetParam();
  std::vector<int32_t> x = c.in;
  SilkNlsfStabilize(x.data(), kD10.data(), static_cast<int32_t>(x.size()));
  EXPECT_EQ(x, c.expected);
  EXPECT_TRUE(MeetsSpacing(x, kD10.data()));
}

std::vector<int32_t> With(std::vector<int32_t> v, std::initializer_list<std::pair<int, int32_t>> set) {
  for (const auto& [i, value] : set) v[i] = value;
  return v;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NlsfStabilize,
    ::testing::Values(
        StabilizeCase{"AlreadyStable", kStable10, kStable10},
        StabilizeCase{"FirstBelowMinimum", With(kStable10, {{0, 100}}), With(kStable10, {{0, 563}})},
        StabilizeCase{"LastAboveMaximum", With(kStable10, {{9, 32000}}),
                      With(kStable10, {{9, 31804}})},
        // Equal pair, gap 3: the rounded centre stays, lower half 1, upper half 2.
        StabilizeCase{"CoincidentPairKeepsCentre", With(kStable10, {{0, 1000}, {1, 1000}}),
                      With(kStable10, {{0, 999}, {1, 1002}})},
        // Gaps 6 and 7 both 14 short: the lower gap is repaired first, and the
        // alternating repairs settle one above where upper-first would.
        StabilizeCase{"EqualMarginsLowerFirst", With(kStable10, {{6, 15805}, {7, 15910}}),
                      With(kStable10, {{5, 15674}, {6, 15806}, {7, 15925}})},
        // Everything at the bottom: each repair pushes the next entry up.
        StabilizeCase{"AllZero", std::vector<int32_t>(10, 0),
                      {563, 566, 588, 608, 611, 614, 746, 865, 1223, 1309}},
        // Everything at the top: the repairs cascade down from the last entry.
        StabilizeCase{"AllAtTop", std::vector<int32_t>(10, 32767),
                      {31058, 31061, 31083, 31103, 31106, 31109, 31241, 31360, 31718, 31804}}),
    [](const auto& p) { return std::string(p.param.name); });

// Vectors that 20 repairs cannot settle go through the sort and the two
// clamping passes and still come out valid.
TEST(NlsfStabilizeFallback, UnsettledVectorsComeOutValid) {
  const std::vector<std::vector<int32_t>> inputs = {
      {29142, 25981, 22383, 19207, 15687, 12573, 9260, 6981, 4023, 2210},  // reversed
      std::vector<int32_t>(10, 5000),                                        // all equal
      {-9000, 40000, -3000, 35000, 100, 20000, 20000, -1, 70000, 0},          // wild
  };
  for (const auto& in : inputs) {
    std::vector<int32_t> x = in;
    SilkNlsfStabilize(x.data(), kD10.data(), 10);
    EXPECT_TRUE(MeetsSpacing(x, kD10.data())) << "input starting " << in[0];
  }
}

TEST(NlsfSortIncreasing, SortsIntoNonDecreasingOrder) {
  const std::vector<std::pair<std::vector<int32_t>, std::vector<int32_t>>> cases = {
      {{}, {}},
      {{7}, {7}},
      {{1, 2, 3, 4}, {1, 2, 3, 4}},
      {{4, 3, 2, 1}, {1, 2, 3, 4}},
      {{3, -1, 3, 0, -1, 2}, {-1, -1, 0, 2, 3, 3}},
      {{INT32_MAX, INT32_MIN, 0}, {INT32_MIN, 0, INT32_MAX}},
  };
  for (const auto& [in, expected] : cases) {
    std::vector<int32_t> v = in;
    SilkSortIncreasing(v.data(), static_cast<int32_t>(v.size()));
    EXPECT_EQ(v, expected);
  }
}

TEST(NlsfInterpolate, FloorsTheScaledOffset) {
  struct Case {
    int32_t prev, cur, factorQ2, expected;
  };
  const Case cases[] = {
      {1234, 30000, 0, 1234},  // factor 0 keeps the previous vector
      {1001, 1000, 2, 1000},   // -2 >> 2 floors to -1
      {1000, 999, 1, 999},     // -1 >> 2 floors to -1
      {1000, 1003, 1, 1000},   // 3 >> 2 is 0
      {0, 5, 3, 3},            // 15 >> 2
      {1000, 0, 3, 250},
  };
  for (const Case& c : cases) {
    int32_t out = -1;
    SilkNlsfInterpolate(&c.prev, &c.cur, c.factorQ2, 1, &out);
    EXPECT_EQ(out, c.expected) << c.prev << " -> " << c.cur << " factor " << c.factorQ2;
  }
  // Element-wise over a whole vector.
  const std::array<int32_t, 3> prev = {100, 2000, 30000};
  const std::array<int32_t, 3> cur = {300, 1000, 30004};
  std::array<int32_t, 3> out{};
  SilkNlsfInterpolate(prev.data(), cur.data(), 2, 3, out.data());
  EXPECT_EQ(out, (std::array<int32_t, 3>{200, 1500, 30002}));
}

// ---- the codebook records --------------------------------------------------

struct CodebookInfo {
  const char* name;
  const SilkNlsfCodebook* cb;
  int32_t L;
  std::vector<int32_t> vectorCounts;
  std::vector<int32_t> searchStarts;
  int32_t spacingSum, spacingFirst, spacingLast;
  const uint16_t* cdfArray;
  int32_t cdfSize;
  const int16_t* vectorArray;
  int32_t vectorSize;
  std::vector<int16_t> stage0Vector0;
};

const CodebookInfo kCodebooks[] = {
    {"Voiced10", &SilkNlsfCodebookVoiced10, 10, {64, 16, 8, 8, 8, 16}, {23, 8, 5, 5, 5, 9},
     2273, 563, 964, SilkNlsfCdfVoiced10, 126, SilkNlsfVectorsVoiced10, 1200,
     {2210, 4023, 6981, 9260, 12573, 15687, 19207, 22383, 25981, 29142}},
    {"Unvoiced10", &SilkNlsfCodebookUnvoiced10, 10, {32, 8, 8, 8, 8, 8}, {5, 3, 4, 4, 5, 5},
     1728, 462, 639, SilkNlsfCdfUnvoiced10, 78, SilkNlsfVectorsUnvoiced10, 720,
     {1877, 4646, 7712, 10745, 13964, 17028, 20239, 23182, 26471, 29287}},
    {"Voiced16", &SilkNlsfCodebookVoiced16, 16, {128, 16, 8, 8, 8, 8, 8, 8, 8, 16},
     {42, 8, 4, 5, 5, 5, 5, 5, 5, 9}, 2674, 266, 632, SilkNlsfCdfVoiced16, 226,
     SilkNlsfVectorsVoiced16, 3456,
     {1170, 2278, 3658, 5374, 7666, 9113, 11298, 13304, 15371, 17549, 19587, 21487, 23798, 26038,
      28318, 30201}},
    {"Unvoiced16", &SilkNlsfCodebookUnvoiced16, 16, {32, 8, 8, 8, 8, 8, 8, 8, 8, 8},
     {5, 2, 2, 2, 2, 2, 2, 3, 3, 4}, 2955, 148, 792, SilkNlsfCdfUnvoiced16, 114,
     SilkNlsfVectorsUnvoiced16, 1664,
     {1309, 3060, 5071, 6996, 9028, 10938, 12934, 14891, 16933, 18854, 20792, 22764, 24753, 26659,
      28626, 30501}},
};

TEST(NlsfCodebooks, RecordsMatchTheirShapesAndTables) {
  for (const CodebookInfo& info : kCodebooks) {
    SCOPED_TRACE(info.name);
    const SilkNlsfCodebook& cb = *info.cb;
    ASSERT_EQ(cb.stageCount, static_cast<int32_t>(info.vectorCounts.size()));
    EXPECT_EQ(cb.cdf, info.cdfArray);

    int32_t cdfOffset = 0;
    int32_t vectorOffset = 0;
    for (int32_t s = 0; s < cb.stageCount; ++s) {
      SCOPED_TRACE(s);
      EXPECT_EQ(cb.stages[s].vectorCount, info.vectorCounts[s]);
      EXPECT_EQ(cb.searchStart[s], info.searchStarts[s]);
      EXPECT_EQ(cb.stageCdf[s], info.cdfArray + cdfOffset);
      EXPECT_EQ(cb.stages[s].vectorsQ15, info.vectorArray + vectorOffset);
      // Each stage's CDF rises from 0 to 65535 over vectorCount + 1 entries.
      const uint16_t* cdf = cb.stageCdf[s];
      EXPECT_EQ(cdf[0], 0);
      EXPECT_EQ(cdf[info.vectorCounts[s]], 65535);
      cdfOffset += info.vectorCounts[s] + 1;
      vectorOffset += info.vectorCounts[s] * info.L;
    }
    EXPECT_EQ(cdfOffset, info.cdfSize);
    EXPECT_EQ(vectorOffset, info.vectorSize);

    int32_t sum = 0;
    for (int32_t i = 0; i <= info.L; ++i) sum += cb.minSpacingQ15[i];
    EXPECT_EQ(sum, info.spacingSum);
    EXPECT_EQ(cb.minSpacingQ15[0], info.spacingFirst);
    EXPECT_EQ(cb.minSpacingQ15[info.L], info.spacingLast);

    EXPECT_EQ(std::vector<int16_t>(cb.stages[0].vectorsQ15, cb.stages[0].vectorsQ15 + info.L),
              info.stage0Vector0);
  }
  // The one given correction row sits at the start of stage 1.
  const int16_t* v = SilkNlsfCodebookVoiced16.stages[1].vectorsQ15;
  EXPECT_EQ(std::vector<int16_t>(v, v + 16),
            (std::vector<int16_t>{150, 168, -17, -107, -142, -229, -320, -406, -503, -620, -867,
                                  -935, -902, -680, -398, -114}));
}

TEST(NlsfDecode, EveryFirstStageVectorDecodesToAValidVector) {
  for (const CodebookInfo& info : kCodebooks) {
    SCOPED_TRACE(info.name);
    const SilkNlsfCodebook& cb = *info.cb;
    for (int32_t v = 0; v < cb.stages[0].vectorCount; ++v) {
      int32_t indices[kSilkNlsfMaxStages] = {v};
      std::vector<int32_t> x(info.L);
      SilkNlsfDecode(&cb, indices, info.L, x.data());
      EXPECT_TRUE(MeetsSpacing(x, cb.minSpacingQ15)) << "vector " << v;
      EXPECT_GE(x.front(), 1);
      EXPECT_LE(x.back(), 32767);
    }
  }
}

TEST(NlsfDecode, SumsTheChosenRowOfEveryStage) {
  for (const CodebookInfo& info : kCodebooks) {
    SCOPED_TRACE(info.name);
    const SilkNlsfCodebook& cb = *info.cb;
    const int32_t stages = cb.stageCount;
    // First rows, last rows, and a mix.
    std::vector<std::vector<int32_t>> indexSets(3, std::vector<int32_t>(stages));
    for (int32_t s = 0; s < stages; ++s) {
      indexSets[1][s] = info.vectorCounts[s] - 1;
      indexSets[2][s] = (3 * s + 1) % info.vectorCounts[s];
    }
    for (const auto& indices : indexSets) {
      // Expected: the rows read straight from the trained array, then stabilised.
      std::vector<int32_t> expected(info.L, 0);
      int32_t offset = 0;
      for (int32_t s = 0; s < stages; ++s) {
        const int16_t* row = info.vectorArray + offset + indices[s] * info.L;
        for (int32_t i = 0; i < info.L; ++i) expected[i] += row[i];
        offset += info.vectorCounts[s] * info.L;
      }
      SilkNlsfStabilize(expected.data(), cb.minSpacingQ15, info.L);

      std::vector<int32_t> x(info.L);
      SilkNlsfDecode(&cb, indices.data(), info.L, x.data());
      EXPECT_EQ(x, expected);
      EXPECT_TRUE(MeetsSpacing(x, cb.minSpacingQ15));
    }
  }
}

}  // namespace
