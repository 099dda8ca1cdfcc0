#include "silk/pulses.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "silk/pulse_tables.h"
#include "tools/streamwriter/range_encoder.h"

namespace {

const uint16_t* CountRow(int32_t row) { return SilkPulseCountCdf + row * kSilkPulseCountRowLength; }
const uint16_t* Split(int32_t level, int32_t parent) {
  return kSilkShellTables.cdf[level] + SilkShellCdfOffset(parent);
}

// Symbols read after the pulses: they come back right only if the pulse
// decoding read exactly the symbols that were written before them.
const uint16_t kMarkerCdf[] = {0, 8192, 16384, 24576, 32768, 40960, 49152, 57344, 65535};
const int32_t kMarker[] = {3, 7, 1, 5, 0, 6, 2, 4};

// A hand-written stream: symbols with their tables, then the marker.
struct Script {
  std::vector<std::pair<int32_t, const uint16_t*>> symbols;
  void Add(int32_t symbol, const uint16_t* cdf) { symbols.emplace_back(symbol, cdf); }

  std::vector<uint8_t> Encode() const {
    RangeEncoder enc;
    RangeEncoderInit(&enc);
    for (const auto& [s, cdf] : symbols) RangeEncode(&enc, s, cdf);
    for (int32_t m : kMarker) RangeEncode(&enc, m, kMarkerCdf);
    return RangeEncoderFinish(&enc);
  }
};

struct Decoded {
  std::vector<int32_t> pulses;
  int32_t rateLevel;
};

// Decodes the pulses of `bytes` and checks that the marker follows them.
Decoded DecodeFrame(const std::vector<uint8_t>& bytes, int32_t signalType, int32_t offsetType,
                    int32_t frameLength) {
  auto dec = std::make_unique<SilkRangeDecoder>();
  std::memset(dec.get(), 0, sizeof(SilkRangeDecoder));
  SilkRangeInit(dec.get(), bytes.data(), static_cast<int32_t>(bytes.size()));
  SilkFrameParams params{};
  params.signalType = signalType;
  params.offsetType = offsetType;
  Decoded out{std::vector<int32_t>(frameLength, 99), -1};
  SilkDecodePulses(dec.get(), &params, out.pulses.data(), frameLength);
  out.rateLevel = params.pulseRateLevel;
  for (int32_t m : kMarker) EXPECT_EQ(SilkRangeDecode(dec.get(), kMarkerCdf, 4), m);
  EXPECT_EQ(dec->status, 0);
  return out;
}

template <size_t N>
int64_t Sum(const uint16_t (&table)[N]) {
  int64_t s = 0;
  for (uint16_t v : table) s += v;
  return s;
}

TEST(SilkPulseTables, TranscribedValues) {
  const struct {
    const char* name;
    int64_t sum;
    int64_t wantSum;
    uint16_t spot;
    uint16_t wantSpot;
  } cases[] = {
      {"rate level, voiced", Sum(SilkRateLevelCdf[0]), 334773, SilkRateLevelCdf[0][5], 36234},
      {"rate level, unvoiced", Sum(SilkRateLevelCdf[1]), 413277, SilkRateLevelCdf[1][7], 59151},
      {"low bit", Sum(SilkLowBitCdf), 105535, SilkLowBitCdf[1], 40000},
      {"T0", Sum(SilkShellCdfT0), 1082353, SilkShellCdfT0[SilkShellCdfOffset(6) + 3], 21845},
      {"T1", Sum(SilkShellCdfT1), 1699648, SilkShellCdfT1[SilkShellCdfOffset(8) + 3], 8032},
      {"sign", Sum(SilkSignTable), 1484651, SilkSignTable[27], 59159},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.sum, c.wantSum) << c.name;
    EXPECT_EQ(c.spot, c.wantSpot) << c.name;
  }
  // Every split table is a proper CDF per parent, and parents 7 and 8 of the
  // 4-sample table cannot give a child above 6.
  for (int32_t level = 0; level < 4; ++level) {
    for (int32_t p = 1; p <= kSilkShellTables.maxParent[level]; ++p) {
      const uint16_t* row = kSilkShellTables.cdf[level] + SilkShellCdfOffset(p);
      EXPECT_EQ(row[0], 0) << level << " " << p;
      EXPECT_EQ(row[p + 1], 65535) << level << " " << p;
      for (int32_t s = 0; s <= p; ++s) EXPECT_LE(row[s], row[s + 1]) << level << " " << p;
    }
  }
  EXPECT_EQ(SilkShellCdfT1[SilkShellCdfOffset(7) + 7], SilkShellCdfT1[SilkShellCdfOffset(7) + 8]);
  EXPECT_EQ(SilkShellCdfT1[SilkShellCdfOffset(8) + 1], SilkShellCdfT1[SilkShellCdfOffset(8) + 2]);
}

TEST(SilkPulses, EmptyBlocksReadNothingAndOnePulseReadsFourSplitsAndASign) {
  // Voiced, rate level 3, ten blocks: block 0 holds -1 at sample 5, the rest are empty.
  Script script;
  script.Add(3, SilkRateLevelCdf[0]);
  script.Add(1, CountRow(3));
  for (int b = 1; b < 10; ++b) script.Add(0, CountRow(3));
  script.Add(1, Split(3, 1));  // in samples 0..7
  script.Add(0, Split(2, 1));  // in samples 4..7
  script.Add(1, Split(1, 1));  // in samples 4..5
  script.Add(0, Split(0, 1));  // sample 5
  const uint16_t sign[] = {0, SilkSignTable[SilkSignIndex(0, 1, 3)], 65535};
  script.Add(0, sign);  // negative

  const Decoded d = DecodeFrame(script.Encode(), 0, 1, 160);
  EXPECT_EQ(d.rateLevel, 3);
  std::vector<int32_t> want(160, 0);
  want[5] = -1;
  EXPECT_EQ(d.pulses, want);
}

TEST(SilkPulses, EscapeDoublesEveryValueOfTheBlockAndAddsALowBit) {
  // Unvoiced, rate level 0, block 1 escapes once and then holds two pulses
  // at samples 0 and 15; each of its 16 values gets one low bit.
  Script script;
  script.Add(0, SilkRateLevelCdf[1]);
  script.Add(0, CountRow(0));
  script.Add(kSilkPulseCountEscape, CountRow(0));
  script.Add(2, CountRow(kSilkPulseCountEscapeRow));
  for (int b = 2; b < 10; ++b) script.Add(0, CountRow(0));
  script.Add(1, Split(3, 2));  // one pulse in each half
  script.Add(1, Split(2, 1));
  script.Add(1, Split(1, 1));
  script.Add(1, Split(0, 1));  // sample 0
  script.Add(0, Split(2, 1));
  script.Add(0, Split(1, 1));
  script.Add(0, Split(0, 1));  // sample 15
  const int32_t lowBits[16] = {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  for (int32_t bit : lowBits) script.Add(bit, SilkLowBitCdf);
  // Values 3, 0, 1, 0 ... 0, 3: signs for the three non-zero ones.
  const uint16_t sign[] = {0, SilkSignTable[SilkSignIndex(1, 0, 0)], 65535};
  script.Add(1, sign);
  script.Add(0, sign);
  script.Add(1, sign);

  const Decoded d = DecodeFrame(script.Encode(), 1, 0, 160);
  std::vector<int32_t> want(160, 0);
  want[16] = 3;
  want[18] = -1;
  want[31] = 3;
  EXPECT_EQ(d.pulses, want);
}

TEST(SilkPulses, FrameLengthSetsTheNumberOfBlocks) {
  const struct {
    int32_t frameLength;
    int32_t blocks;
  } cases[] = {{160, 10}, {240, 15}, {320, 20}, {480, 30}};
  for (const auto& c : cases) {
    // Only the last block has a pulse, on its last sample.
    Script script;
    script.Add(8, SilkRateLevelCdf[0]);
    for (int b = 0; b + 1 < c.blocks; ++b) script.Add(0, CountRow(8));
    script.Add(1, CountRow(8));
    script.Add(0, Split(3, 1));
    script.Add(0, Split(2, 1));
    script.Add(0, Split(1, 1));
    script.Add(0, Split(0, 1));
    const uint16_t sign[] = {0, SilkSignTable[SilkSignIndex(0, 0, 8)], 65535};
    script.Add(1, sign);

    const Decoded d = DecodeFrame(script.Encode(), 0, 0, c.frameLength);
    std::vector<int32_t> want(c.frameLength, 0);
    want[c.frameLength - 1] = 1;
    EXPECT_EQ(d.pulses, want) << c.frameLength;
  }
}

TEST(SilkPulses, SignTableFollowsSignalTypeOffsetTypeAndRateLevel) {
  // A code just below the sign threshold decodes as negative, one at the
  // threshold as positive: only the right table entry gives both.
  auto dec = std::make_unique<SilkRangeDecoder>();
  std::memset(dec.get(), 0, sizeof(SilkRangeDecoder));
  for (int32_t signalType = 0; signalType < 2; ++signalType) {
    for (int32_t offsetType = 0; offsetType < 2; ++offsetType) {
      for (int32_t rateLevel = 0; rateLevel < 9; ++rateLevel) {
        const int32_t index = 9 * (2 * signalType + offsetType) + rateLevel;
        ASSERT_LE(index, 35);
        const uint32_t threshold = 65535u * SilkSignTable[index];
        int32_t pulses[3] = {2, 0, 2};
        dec->range = 65535;
        dec->status = 0;
        dec->code = threshold - 1;
        SilkDecodeSigns(dec.get(), pulses, 1, signalType, offsetType, rateLevel);
        dec->range = 65535;
        dec->code = threshold;
        SilkDecodeSigns(dec.get(), pulses + 1, 2, signalType, offsetType, rateLevel);
        EXPECT_EQ(pulses[0], -2) << index;
        EXPECT_EQ(pulses[1], 0) << index;
        EXPECT_EQ(pulses[2], 2) << index;
        EXPECT_EQ(dec->status, 0);
      }
    }
  }
}

TEST(SilkPulses, SplitAboveTheTableLimitIsADecodingError) {
  auto dec = std::make_unique<SilkRangeDecoder>();
  std::memset(dec.get(), 0, sizeof(SilkRangeDecoder));

  // A table for 16-sample parents that sends 15 of 16 pulses to the left
  // half, where the 8-sample table (limit 12) has no row for them.
  uint16_t t3[207];
  for (int32_t p = 1; p <= 18; ++p) {
    uint16_t* row = t3 + SilkShellCdfOffset(p);
    for (int32_t s = 0; s <= p + 1; ++s) row[s] = s == 0 ? 0 : 65535;
    if (p == 16) {
      for (int32_t s = 1; s <= 15; ++s) row[s] = 0;  // only symbol 15 has width
    }
  }
  SilkShellTables tables = kSilkShellTables;
  tables.cdf[3] = t3;

  dec->range = 65535;
  dec->code = 12345;
  dec->status = 0;
  int32_t out[16];
  SilkShellDecodeWith(out, dec.get(), 16, tables);
  EXPECT_EQ(dec->status, kSilkRangeErrSymbol);
  // The failed split and every later one give left 0, so each count ends up
  // on the last sample of its half; the total is kept.
  const int32_t want[16] = {0, 0, 0, 0, 0, 0, 0, 15, 0, 0, 0, 0, 0, 0, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], want[i]) << i;

  // An earlier error is kept; within the limit the split decodes as usual.
  dec->status = kSilkRangeErrNormalise;
  EXPECT_EQ(SilkShellSplit(dec.get(), SilkShellCdfT0, 6, 7), 0);
  EXPECT_EQ(dec->status, kSilkRangeErrNormalise);
  dec->status = 0;
  dec->range = 65535;
  dec->code = 0;
  EXPECT_EQ(SilkShellSplit(dec.get(), SilkShellCdfT0, 6, 6), 0);
  EXPECT_EQ(dec->status, 0);
}

}  // namespace
