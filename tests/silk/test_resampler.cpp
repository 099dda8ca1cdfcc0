// Output resampler: set-up, output counts, state carried between calls,
// filter behaviour on tones and full-scale signals.
#include "silk/resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int16_t kSentinelA = 0x1234;
constexpr int16_t kSentinelB = -0x4321;

SilkResamplerState Configured(int32_t inRate, int32_t outRate) {
  SilkResamplerState s;
  EXPECT_EQ(SilkResamplerInit(&s, inRate, outRate), 0) << inRate << " -> " << outRate;
  return s;
}

// Deterministic full-scale broadband test signal.
std::vector<int16_t> Noise(size_t n, uint32_t seed = 1) {
  std::vector<int16_t> v(n);
  for (auto& x : v) {
    seed = seed * 1664525u + 1013904223u;
    x = static_cast<int16_t>(seed >> 16);
  }
  return v;
}

// Resamples `in` in one call into a buffer prefilled with `fill`.
std::vector<int16_t> Resample(SilkResamplerState s, const std::vector<int16_t>& in,
                              size_t capacity, int16_t fill) {
  std::vector<int16_t> out(capacity, fill);
  EXPECT_EQ(SilkResample(&s, out.data(), in.data(), static_cast<int32_t>(in.size())), 0);
  return out;
}

// Number of output samples a call writes: runs it over two different fills
// and requires the written samples to form a prefix of the buffer.
size_t WrittenCount(const SilkResamplerState& s, const std::vector<int16_t>& in,
                    size_t capacity, std::vector<int16_t>* result = nullptr) {
  const std::vector<int16_t> a = Resample(s, in, capacity, kSentinelA);
  const std::vector<int16_t> b = Resample(s, in, capacity, kSentinelB);
  size_t count = 0;
  while (count < capacity && a[count] == b[count]) count++;
  for (size_t i = count; i < capacity; i++) {
    EXPECT_EQ(a[i], kSentinelA) << "sample " << i << " written after a gap";
    EXPECT_EQ(b[i], kSentinelB) << "sample " << i << " written after a gap";
  }
  if (result) result->assign(a.begin(), a.begin() + count);
  return count;
}

struct SetupCase {
  int32_t inRate, outRate;
  int32_t kind, up2, intermediate2x, blockLen, stepQ16;
  int32_t phases;
  const int16_t* table;
  int32_t pre, post, outerBlockLen, outerRatioQ16;
};

TEST(ResamplerSetup, ChoosesVariantBlocksAndStepForRatePairs) {
  const int32_t F = kSilkResampleFractional, D = kSilkResampleDecimate;
  const SetupCase cases[] = {
      // The decoder's own pairs.
      {8000, 24000, F, kSilkUp2Fine, 1, 80, 43691, 0, nullptr, 0, 0, 0, 0},
      {16000, 24000, F, kSilkUp2Fine, 1, 160, 87382, 0, nullptr, 0, 0, 0, 0},
      {12000, 24000, kSilkResampleUp2Fine, 0, 0, 120, 32768, 0, nullptr, 0, 0, 0, 0},
      {24000, 24000, kSilkResampleCopy, 0, 0, 240, 65536, 0, nullptr, 0, 0, 0, 0},
      // The 2x stage of the fractional variant is coarse above 24 kHz input.
      {32000, 48000, F, kSilkUp2Coarse, 1, 320, 87382, 0, nullptr, 0, 0, 0, 0},
      {24000, 44100, F, kSilkUp2Fine, 1, 240, 71332, 0, nullptr, 0, 0, 0, 0},
      // Down-sampling: ARMA pre-filter, decimating tables, fall-back.
      {44100, 24000, F, 0, 0, 441, 120423, 0, SilkResamplerArma240of441, 0, 0, 0, 0},
      {44100, 8000, F, 0, 0, 441, 361268, 0, SilkResamplerArma80of441, 0, 0, 0, 0},
      {44100, 32000, F, 0, 0, 441, 90317, 0, SilkResamplerArma320of441, 0, 0, 0, 0},
      {48000, 36000, D, 0, 0, 480, 87382, 3, SilkResamplerDecim3of4, 0, 0, 0, 0},
      {48000, 32000, D, 0, 0, 480, 98304, 2, SilkResamplerDecim2of3, 0, 0, 0, 0},
      {48000, 24000, D, 0, 0, 480, 131072, 1, SilkResamplerDecim1of2, 0, 0, 0, 0},
      {48000, 18000, D, 0, 0, 480, 174763, 3, SilkResamplerDecim3of8, 0, 0, 0, 0},
      {48000, 16000, D, 0, 0, 480, 196608, 1, SilkResamplerDecim1of3, 0, 0, 0, 0},
      {48000, 12000, D, 0, 1, 480, 131072, 1, SilkResamplerDecim1of2, 0, 0, 0, 0},
      {48000, 8000, D, 0, 1, 480, 196608, 1, SilkResamplerDecim1of3, 0, 0, 0, 0},
      {48000, 44100, F, kSilkUp2Coarse, 1, 480, 142664, 0, nullptr, 0, 0, 0, 0},
      // Input rates that are not multiples of 100 use whole gcd cycles.
      {11025, 24000, F, kSilkUp2Fine, 1, 441, 60212, 0, nullptr, 0, 0, 0, 0},
      {8001, 24000, F, kSilkUp2Fine, 1, 480, 43697, 0, nullptr, 0, 0, 0, 0},
      // Outer stage above 48 kHz.
      {96000, 24000, D, 0, 0, 480, 131072, 1, SilkResamplerDecim1of2, 1, 0, 960, 16384},
      {48000, 192000, kSilkResampleCopy, 0, 0, 480, 65536, 0, nullptr, 0, 2, 480, 262144},
      {192000, 8000, D, 0, 1, 480, 196608, 1, SilkResamplerDecim1of3, 2, 0, 1920, 2731},
      {8000, 96000, F, kSilkUp2Fine, 1, 80, 21846, 0, nullptr, 0, 1, 80, 786432},
  };
  for (const SetupCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.inRate << " -> " << c.outRate);
    const SilkResamplerState s = Configured(c.inRate, c.outRate);
    EXPECT_EQ(s.resampleFn, c.kind);
    EXPECT_EQ(s.up2Fn, c.up2);
    EXPECT_EQ(s.intermediate2x, c.intermediate2x);
    EXPECT_EQ(s.blockLen, c.blockLen);
    EXPECT_EQ(s.stepQ16, c.stepQ16);
    EXPECT_EQ(s.firPhases, c.phases);
    EXPECT_EQ(s.filterTable, c.table);
    EXPECT_EQ(s.preDecimateShift, c.pre);
    EXPECT_EQ(s.postUpsampleShift, c.post);
    EXPECT_EQ(s.preDecimatorFn, c.pre == 2 ? kSilkPreDown4 : c.pre == 1 ? kSilkPreDown2 : 0);
    EXPECT_EQ(s.postUpsamplerFn,
              c.post == 2 ? kSilkPostUp4Coarse : c.post == 1 ? kSilkPostUp2Coarse : 0);
    EXPECT_EQ(s.outerBlockLen, c.outerBlockLen);
    EXPECT_EQ(s.outerRatioQ16, c.outerRatioQ16);
    EXPECT_EQ(s.initMark, kSilkResamplerInitMark);
  }
}

TEST(ResamplerSetup, RatesOutOfRangeLeaveARecordThatRefusesToRun) {
  const int32_t pairs[][2] = {{7999, 24000}, {24000, 7999}, {192001, 24000}, {24000, 192001},
                              {0, 24000},    {24000, -8000}};
  SilkResamplerState zero;
  std::memset(&zero, 0, sizeof(zero));
  for (const auto& p : pairs) {
    SCOPED_TRACE(testing::Message() << p[0] << " -> " << p[1]);
    SilkResamplerState s = Configured(16000, 24000);  // a working record is wiped too
    EXPECT_EQ(SilkResamplerInit(&s, p[0], p[1]), -1);
    EXPECT_EQ(std::memcmp(&s, &zero, sizeof(s)), 0);
    const std::vector<int16_t> in = Noise(320);
    std::vector<int16_t> out(960, kSentinelA);
    EXPECT_EQ(SilkResample(&s, out.data(), in.data(), 320), -1);
    for (int16_t v : out) ASSERT_EQ(v, kSentinelA);
  }
  // Both ends of the range are accepted.
  SilkResamplerState s;
  EXPECT_EQ(SilkResamplerInit(&s, 8000, 192000), 0);
  EXPECT_EQ(SilkResamplerInit(&s, 192000, 8000), 0);
}

struct CountCase {
  int32_t inRate, outRate, inLen;
  size_t expected;
};

TEST(Resampler, WritesExactlyTheBlockOutputCounts) {
  const CountCase cases[] = {
      {8000, 24000, 160, 480},   {12000, 24000, 240, 480},  {16000, 24000, 320, 480},
      {24000, 24000, 480, 480},  {44100, 24000, 441, 240},  {44100, 8000, 882, 160},
      {11025, 24000, 441, 960},  {48000, 36000, 480, 360},  {48000, 18000, 960, 360},
      {48000, 12000, 481, 120},  {48000, 8000, 960, 160},   {96000, 24000, 960, 240},
      {48000, 192000, 480, 1920}, {192000, 8000, 3840, 160}, {8000, 96000, 160, 1920},
      // Outer blocks whose core output is a sample short of or over the
      // block's share still write exactly that share, without gaps.
      {11025, 96000, 1100, 9570}, {22050, 192000, 440, 3830}, {96000, 22050, 1920, 440},
      {128000, 88200, 3, 2},      {48100, 96000, 962, 1920}, {44100, 96000, 6, 13},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.inRate << " -> " << c.outRate << ", " << c.inLen);
    const SilkResamplerState s = Configured(c.inRate, c.outRate);
    EXPECT_EQ(WrittenCount(s, Noise(c.inLen), c.expected + 64), c.expected);
  }
}

uint32_t Hash(const std::vector<int16_t>& v, size_t stride) {
  uint32_t h = 0;
  for (size_t i = 0; i < v.size(); i += stride) h = h * 31u + static_cast<uint16_t>(v[i]);
  return h;
}

struct ReferenceCase {
  int32_t inRate, outRate, inLen;
  size_t count;
  size_t stride;
  uint32_t hash;
};

// Exact results for full-scale noise (Noise(inLen)), worked out separately
// with an independent model of every filter stage. The interpolating pairs
// are checked on every third output: with their steps those fall on phase 0,
// whose kernel rows are fixed, so the check does not depend on the rest of
// the interpolation table.
TEST(Resampler, MatchesReferenceOutputsExactly) {
  const ReferenceCase cases[] = {
      {8000, 24000, 480, 1440, 3, 0x9af02a60},   {16000, 24000, 480, 720, 3, 0xe6ad1cc9},
      {32000, 48000, 640, 960, 3, 0xacd4cac5},   {12000, 24000, 480, 960, 1, 0xb85fe068},
      {48000, 36000, 960, 720, 1, 0x557e9648},   {48000, 32000, 960, 640, 1, 0x81156256},
      {48000, 18000, 960, 360, 1, 0x9f26ef85},   {48000, 16000, 960, 320, 1, 0x096ec9bc},
      {48000, 12000, 960, 240, 1, 0x655b9c73},   {48000, 8000, 960, 160, 1, 0x52656c36},
      {96000, 24000, 1920, 480, 1, 0xa22059c9},  {192000, 8000, 3840, 160, 1, 0x65f84021},
      {48000, 192000, 480, 1920, 1, 0x84acd4c0},
  };
  for (const ReferenceCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.inRate << " -> " << c.outRate);
    std::vector<int16_t> out;
    ASSERT_EQ(WrittenCount(Configured(c.inRate, c.outRate), Noise(c.inLen), c.count + 64, &out),
              c.count);
    EXPECT_EQ(Hash(out, c.stride), c.hash);
  }
}

TEST(ResamplerArma4, MatchesReferenceOutputsExactly) {
  const struct {
    const int16_t* table;
    uint32_t hash;
  } cases[] = {
      {SilkResamplerArma80of441, 0xb9e7e337},  {SilkResamplerArma120of441, 0x52248c85},
      {SilkResamplerArma160of441, 0x6e075dc1}, {SilkResamplerArma240of441, 0x61b45ad1},
      {SilkResamplerArma320of441, 0x30e11fc1},
  };
  const std::vector<int16_t> in = Noise(441);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table[0]);
    int32_t S[6] = {0, 0, 0, 0, 0, 0};
    std::vector<int16_t> out(441);
    SilkArma4Filter(S, out.data(), in.data(), c.table, 441);
    EXPECT_EQ(Hash(out, 1), c.hash);
  }
}

TEST(Resampler, EqualRatesCopyTheInput) {
  const std::vector<int16_t> in = Noise(1000);
  for (int32_t rate : {8000, 44100, 48000, 96000, 192000}) {
    SCOPED_TRACE(rate);
    std::vector<int16_t> out;
    ASSERT_EQ(WrittenCount(Configured(rate, rate), in, 1100, &out), in.size());
    if (rate <= 48000) {
      EXPECT_EQ(out, in);  // above 48 kHz the outer stage filters
    }
  }
}

// Pairs covering every core variant and both outer stages.
const int32_t kVariantPairs[][2] = {
    {8000, 24000},  {12000, 24000}, {16000, 24000},  {32000, 48000}, {44100, 24000},
    {48000, 36000}, {48000, 12000}, {96000, 24000},  {48000, 192000}, {192000, 8000},
};

TEST(Resampler, EmptyCallWritesNothingAndKeepsAllMemories) {
  for (const auto& p : kVariantPairs) {
    SCOPED_TRACE(testing::Message() << p[0] << " -> " << p[1]);
    SilkResamplerState s = Configured(p[0], p[1]);
    const std::vector<int16_t> in = Noise(static_cast<size_t>(p[0] / 50));
    std::vector<int16_t> out(8000);
    ASSERT_EQ(SilkResample(&s, out.data(), in.data(), static_cast<int32_t>(in.size())), 0);
    const SilkResamplerState before = s;
    std::vector<int16_t> untouched(16, kSentinelA);
    ASSERT_EQ(SilkResample(&s, untouched.data(), in.data(), 0), 0);
    EXPECT_EQ(std::memcmp(&s, &before, sizeof(s)), 0);
    for (int16_t v : untouched) EXPECT_EQ(v, kSentinelA);
  }
}

TEST(ResamplerDownsample2, IgnoresATrailingOddSample) {
  const std::vector<int16_t> in = Noise(5);
  int32_t odd[2] = {0, 0}, even[2] = {0, 0};
  int16_t outOdd[3] = {kSentinelA, kSentinelA, kSentinelA};
  int16_t outEven[2];
  SilkDownsample2(odd, outOdd, in.data(), 5);
  SilkDownsample2(even, outEven, in.data(), 4);
  EXPECT_EQ(outOdd[0], outEven[0]);
  EXPECT_EQ(outOdd[1], outEven[1]);
  EXPECT_EQ(outOdd[2], kSentinelA);
  EXPECT_EQ(odd[0], even[0]);
  EXPECT_EQ(odd[1], even[1]);
}

// At the end of a call, the decimating variant's 2x stage drops a single
// left-over sample without filtering or remembering it.
TEST(ResamplerDecimate, DropsTheLastOddSampleOfACall) {
  const std::vector<int16_t> in = Noise(481);
  const std::vector<int16_t> in480(in.begin(), in.begin() + 480);
  SilkResamplerState odd = Configured(48000, 12000);
  SilkResamplerState even = odd;
  std::vector<int16_t> outOdd(130, kSentinelA), outEven(130, kSentinelA);
  SilkResample(&odd, outOdd.data(), in.data(), 481);
  SilkResample(&even, outEven.data(), in480.data(), 480);
  EXPECT_EQ(outOdd, outEven);
  EXPECT_NE(outOdd[119], kSentinelA);
  EXPECT_EQ(outOdd[120], kSentinelA);
  EXPECT_EQ(std::memcmp(&odd, &even, sizeof(odd)), 0);
}

// The 6-tap kernel: phase r takes row r for the first three taps and row
// 143 - r, reversed, for the last three. A full-scale negative impulse at
// each tap reads the coefficients back out.
TEST(ResamplerInterpolate, KernelMirrorsRowsAroundTheMiddle) {
  struct {
    int32_t pos;
    int16_t expected[6];
  } cases[] = {
      {0, {647, -1884, -30078, -2207, 851, -73}},                  // rows 0 and 143
      {0x8000, {-350, 3286, -19194, -19430, 3283, -346}},          // rows 72 and 71
      {0xFFFF, {-73, 851, -2207, -30078, -1884, 647}},             // rows 143 and 0
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pos);
    for (int tap = 0; tap < 6; tap++) {
      int16_t buf[6] = {0, 0, 0, 0, 0, 0};
      buf[tap] = -32768;
      // Outputs at position 0 and, with the step set to it, at c.pos.
      int16_t out[3] = {0, 0, kSentinelA};
      const int32_t count = c.pos > 0 ? 2 : 1;
      ASSERT_EQ(SilkInterpolate144(out, buf, c.pos + 1, c.pos > 0 ? c.pos : 0x10000) - out, count);
      EXPECT_EQ(out[count - 1], c.expected[tap]) << "tap " << tap;
    }
  }
}

// Each block starts at phase 0 on the last six intermediate samples of the
// block before; a fresh record starts from six zeros.
TEST(ResamplerFractional, BlocksStartAtPhaseZeroOnTheCarriedHistory) {
  const std::vector<int16_t> in(160, 32767);
  SilkResamplerState s = Configured(8000, 24000);
  std::vector<int16_t> out(480);
  SilkResample(&s, out.data(), in.data(), 160);
  EXPECT_EQ(out[0], 0);

  // The intermediate signal of the first block (80 samples at 2x).
  int32_t up2[6] = {0, 0, 0, 0, 0, 0};
  int16_t mid[160];
  SilkUpsample2Fine(up2, mid, in.data(), 80);
  int16_t expected;
  SilkInterpolate144(&expected, mid + 154, 1, 43691);
  EXPECT_EQ(out[240], expected);
  EXPECT_GT(out[240], 30000);
}

// Full-scale square waves: filter overshoot saturates instead of wrapping, so
// the output keeps the input's sign away from the edges.
TEST(Resampler, FullScaleInputSaturatesWithoutWrapping) {
  for (const auto& p : kVariantPairs) {
    SCOPED_TRACE(testing::Message() << p[0] << " -> " << p[1]);
    const int32_t halfPeriod = p[0] / 100;  // 50 Hz square wave
    const int32_t len = p[0] / 5;
    std::vector<int16_t> in(static_cast<size_t>(len));
    for (int32_t i = 0; i < len; i++) in[i] = (i / halfPeriod) % 2 ? -32768 : 32767;
    std::vector<int16_t> out;
    const size_t n = WrittenCount(Configured(p[0], p[1]), in, static_cast<size_t>(p[1]), &out);
    ASSERT_EQ(n, static_cast<size_t>(p[1] / 5));
    const int32_t outHalf = p[1] / 100;
    bool clipped = false;
    for (size_t i = 0; i < n; i++) {
      clipped = clipped || out[i] == 32767 || out[i] == -32768;
      const int32_t phase = static_cast<int32_t>(i) % outHalf;
      if (phase < outHalf / 3) continue;  // edge, filter delay and ringing
      const bool high = (static_cast<int32_t>(i) / outHalf) % 2 == 0;
      if (high) {
        EXPECT_GT(out[i], 20000) << "sample " << i;
      } else {
        EXPECT_LT(out[i], -20000) << "sample " << i;
      }
    }
    EXPECT_TRUE(clipped);
  }
}

struct SplitCase {
  int32_t inRate, outRate, frame;
};

// Memories are carried between calls: frame-by-frame resampling equals one
// call over the whole signal when frames hold whole blocks.
TEST(Resampler, FrameByFrameEqualsOneCall) {
  const SplitCase cases[] = {
      {8000, 24000, 160},  {12000, 24000, 240}, {16000, 24000, 320},  {12000, 24000, 37},
      {44100, 24000, 441}, {48000, 12000, 480}, {96000, 24000, 960},  {48000, 192000, 480},
      {11025, 24000, 441}, {48000, 36000, 480},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.inRate << " -> " << c.outRate << " by " << c.frame);
    const int32_t frames = 7;
    const std::vector<int16_t> in = Noise(static_cast<size_t>(c.frame * frames), 7);
    const size_t capacity = in.size() * 5 + 64;
    std::vector<int16_t> whole;
    const size_t total = WrittenCount(Configured(c.inRate, c.outRate), in, capacity, &whole);
    ASSERT_GT(total, 0u);

    SilkResamplerState s = Configured(c.inRate, c.outRate);
    std::vector<int16_t> pieces;
    for (int32_t f = 0; f < frames; f++) {
      const std::vector<int16_t> frame(in.begin() + f * c.frame, in.begin() + (f + 1) * c.frame);
      std::vector<int16_t> frameOut;
      WrittenCount(s, frame, capacity, &frameOut);
      std::vector<int16_t> scratch(capacity);  // the same call once more, to advance s
      ASSERT_EQ(SilkResample(&s, scratch.data(), frame.data(), c.frame), 0);
      pieces.insert(pieces.end(), frameOut.begin(), frameOut.end());
    }
    EXPECT_EQ(pieces, whole);
  }
}

// A 400 Hz tone comes out as a clean 400 Hz tone of the same amplitude at the
// output rate: catches wrong coefficients, wrong steps and block seams.
TEST(Resampler, KeepsAToneCleanAndAtItsLevel) {
  const int32_t pairs[][2] = {
      {8000, 24000},  {12000, 24000}, {16000, 24000}, {11025, 24000}, {24000, 44100},
      {32000, 48000}, {44100, 24000}, {44100, 8000},  {48000, 36000}, {48000, 32000},
      {48000, 18000}, {48000, 16000}, {48000, 12000}, {48000, 8000},  {48000, 44100},
      {96000, 24000}, {48000, 192000}, {192000, 8000}, {8000, 96000},
  };
  const double freq = 400.0, amplitude = 10000.0;
  for (const auto& p : pairs) {
    SCOPED_TRACE(testing::Message() << p[0] << " -> " << p[1]);
    const int32_t len = p[0];  // one second
    std::vector<int16_t> in(static_cast<size_t>(len));
    for (int32_t i = 0; i < len; i++) {
      in[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * freq * i / p[0])));
    }
    std::vector<int16_t> out;
    const size_t n = WrittenCount(Configured(p[0], p[1]), in, static_cast<size_t>(p[1]) + 1000, &out);
    ASSERT_NEAR(static_cast<double>(n), p[1], p[1] / 100.0);

    // Least-squares fit of a 400 Hz sine and cosine over the settled part.
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
    const size_t first = n / 10;
    for (size_t i = first; i < n; i++) {
      const double w = 2 * M_PI * freq * static_cast<double>(i) / p[1];
      const double si = std::sin(w), co = std::cos(w);
      ss += si * si; cc += co * co; sc += si * co;
      ys += out[i] * si; yc += out[i] * co;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    EXPECT_NEAR(std::hypot(a, b), amplitude, 0.03 * amplitude);
    double residual = 0;
    for (size_t i = first; i < n; i++) {
      const double w = 2 * M_PI * freq * static_cast<double>(i) / p[1];
      const double e = out[i] - a * std::sin(w) - b * std::cos(w);
      residual += e * e;
    }
    EXPECT_LT(std::sqrt(residual / static_cast<double>(n - first)), 0.01 * amplitude);
  }
}

}  // namespace
