#include "silk/primitives.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace {

struct Case {
  const char* what;
  int64_t got;
  int64_t want;
};

TEST(SilkPrimitives, KnownValues) {
  const Case cases[] = {
      {"mul16 uses the low 16 bits", mul16(0x12345, -2), 0x2345 * -2},
      {"mulw16 max x min", mulw16(2147483647, -32768), -1073741824},
      {"mulw16 floors", mulw16(-1, 1), -1},
      {"mulw16 ignores bits above 16 of b", mulw16(123456789, 5 + 65536), mulw16(123456789, 5)},
      {"mulw16t uses the top half of b", mulw16t(1 << 20, 3 << 16), 48},
      {"mulww 1.0 x 1.0", mulww(65536, 65536), 65536},
      {"mulhi32 min x min", mulhi32(INT32_MIN, INT32_MIN), 1073741824},
      {"rshiftRound64 3 * 2^40 by 20", rshiftRound64(int64_t{3} << 40, 20), 3145728},
      {"rshiftRound64 -0.5 rounds up", rshiftRound64(-(int64_t{1} << 19), 20), 0},
      {"rshiftRound(-1, 1)", rshiftRound(-1, 1), 0},
      {"rshiftRound(1, 1)", rshiftRound(1, 1), 1},
      {"rshiftRound(-3, 1)", rshiftRound(-3, 1), -1},
      {"rshiftRound(-3, 2)", rshiftRound(-3, 2), -1},
      {"rshiftRound(-2, 2)", rshiftRound(-2, 2), 0},
      {"rshiftRound(2, 2)", rshiftRound(2, 2), 1},
      {"sat16 high", sat16(40000), 32767},
      {"sat16 low", sat16(-40000), -32768},
      {"addSat32 positive overflow", addSat32(2147483647, 1), 2147483647},
      {"addSat32 negative overflow", addSat32(INT32_MIN, -1), INT32_MIN},
      {"addSat32 plain", addSat32(-5, 3), -2},
      {"lshiftSat32 limits first", lshiftSat32(268435456, 4), 2147483632},
      {"lshiftSat32 negative", lshiftSat32(-1, 4), -16},
      {"lshiftSat32 low limit", lshiftSat32(INT32_MIN, 4), INT32_MIN},
      {"clz16(0)", clz16(0), 16},
      {"clz16(0x8000)", clz16(0x8000), 0},
      {"clz16(1)", clz16(1), 15},
      {"clz32(0)", clz32(0), 32},
      {"clz32(1)", clz32(1), 31},
      {"clz32(0xFFFF)", clz32(0xFFFF), 16},
      {"clz32(0x10000)", clz32(0x10000), 15},
      {"lcgNext(0)", lcgNext(0), 907633515},
      {"lcgNext wraps", lcgNext(-1), static_cast<int32_t>(907633515u - 196314165u)},
      {"shlw of a negative value", shlw(-3, 4), -48},
      {"shlw wraps", shlw(3, 31), INT32_MIN},
      {"addw wraps", addw(INT32_MAX, 1), INT32_MIN},
      {"mulw wraps", mulw(65536, 65536), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

// The 32-bit split forms that the fast 64-bit implementations stand for.
int32_t SplitMulw16(int32_t a, int32_t b) {
  return addw(mulw(a >> 16, static_cast<int16_t>(b)), ((a & 0xFFFF) * static_cast<int16_t>(b)) >> 16);
}
int32_t SplitMulww(int32_t a, int32_t b) { return addw(SplitMulw16(a, b), mulw(a, rshiftRound(b, 16))); }

TEST(SilkPrimitives, ShortcutsMatchSplitDefinitions) {
  const int32_t edges[] = {0, 1, -1, 32767, -32768, 65535, 65536, INT32_MAX, INT32_MIN, 0x7FFF8000};
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (int32_t a : edges)
    for (int32_t b : edges) pairs.emplace_back(a, b);
  std::mt19937 rng(7);
  for (int i = 0; i < 20000; ++i) pairs.emplace_back(static_cast<int32_t>(rng()), static_cast<int32_t>(rng()));

  for (const auto& [a, b] : pairs) {
    ASSERT_EQ(mulw16(a, b), SplitMulw16(a, b)) << a << " " << b;
    ASSERT_EQ(mulw16t(a, b), SplitMulw16(a, b >> 16)) << a << " " << b;
    ASSERT_EQ(mulww(a, b), SplitMulww(a, b)) << a << " " << b;
    ASSERT_EQ(mulww(a, 65536), a);
    ASSERT_EQ(mulhi32(a, b), static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 32));
    for (int s : {1, 2, 16, 31}) {
      // Halves round toward plus infinity: floor(a / 2^s + 1/2).
      ASSERT_EQ(rshiftRound(a, s), (static_cast<int64_t>(a) + (int64_t{1} << (s - 1))) >> s)
          << a << " " << s;
    }
    const uint32_t u = static_cast<uint32_t>(a);
    ASSERT_EQ(clz32(u), u >= 65536 ? clz16(static_cast<int32_t>(u >> 16)) : clz16(a & 0xFFFF) + 16);
  }
}

}  // namespace
