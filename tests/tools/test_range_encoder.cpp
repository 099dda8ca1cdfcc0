#include "tools/streamwriter/range_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "silk/range_decoder.h"

namespace {

struct Coded {
  int32_t symbol;
  std::vector<uint16_t> cdf;
  int32_t start;  // where the decoder starts its search
};

// Random table of 2..32 symbols. Some symbols have zero width; some tables
// are very skewed, so that tiny widths (two-byte renormalisations) and long
// carries both occur.
std::vector<uint16_t> RandomCdf(std::mt19937* rng) {
  const int32_t n = 2 + static_cast<int32_t>((*rng)() % 31);
  std::vector<uint16_t> cdf(n + 1);
  const bool skewed = (*rng)() % 3 == 0;
  for (int32_t i = 1; i < n; ++i) {
    cdf[i] = static_cast<uint16_t>(skewed ? 65535 - (*rng)() % 40 : (*rng)() % 65536);
  }
  std::sort(cdf.begin() + 1, cdf.end() - 1);
  for (int32_t i = 1; i < n; ++i) {
    if ((*rng)() % 6 == 0) cdf[i] = cdf[i - 1];
  }
  cdf[0] = 0;
  cdf[n] = 65535;
  return cdf;
}

// A symbol of non-zero width: any of them, or (when `likely`) mostly the
// widest one, which makes long cheap sequences.
Coded RandomSymbol(std::mt19937* rng, bool likely = false) {
  Coded c{0, RandomCdf(rng), 0};
  const int32_t n = static_cast<int32_t>(c.cdf.size()) - 1;
  std::vector<int32_t> usable;
  int32_t widest = 0;
  for (int32_t s = 0; s < n; ++s) {
    if (c.cdf[s + 1] > c.cdf[s]) usable.push_back(s);
    if (c.cdf[s + 1] - c.cdf[s] > c.cdf[widest + 1] - c.cdf[widest]) widest = s;
  }
  c.symbol = likely && (*rng)() % 8 != 0 ? widest : usable[(*rng)() % usable.size()];
  c.start = static_cast<int32_t>((*rng)() % n);
  return c;
}

std::vector<uint8_t> Encode(const std::vector<Coded>& symbols) {
  RangeEncoder enc;
  RangeEncoderInit(&enc);
  for (const Coded& c : symbols) RangeEncode(&enc, c.symbol, c.cdf.data());
  return RangeEncoderFinish(&enc);
}

// Decodes `symbols` from `bytes` in a decoder whose array is full of
// `stale` bytes, and checks symbols, status and the bytes used.
void ExpectDecodes(const std::vector<Coded>& symbols, const std::vector<uint8_t>& payload,
                   size_t codedBytes, uint8_t stale, bool checkTail) {
  auto dec = std::make_unique<SilkRangeDecoder>();
  std::memset(dec.get(), stale, sizeof(SilkRangeDecoder));
  SilkRangeInit(dec.get(), payload.data(), static_cast<int32_t>(payload.size()));
  for (size_t k = 0; k < symbols.size(); ++k) {
    ASSERT_EQ(SilkRangeDecode(dec.get(), symbols[k].cdf.data(), symbols[k].start), symbols[k].symbol)
        << "symbol " << k;
  }
  ASSERT_EQ(dec->status, 0);
  ASSERT_EQ(static_cast<size_t>((SilkRangeBitsUsed(dec.get()) + 7) >> 3), codedBytes);
  if (checkTail) {
    SilkRangeCheckTail(dec.get());
    ASSERT_EQ(dec->status, 0);
  }
}

TEST(RangeEncoder, RoundTripsRandomSymbolsExactly) {
  int shortStreams = 0;
  size_t longest = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    const int32_t count = seed % 10 == 0 ? 1 + static_cast<int32_t>(rng() % 4)
                                         : 1 + static_cast<int32_t>(rng() % 2000);
    // Up to `count` symbols, as many as fit in a payload with room behind it.
    const bool likely = seed % 3 == 0;
    std::vector<Coded> symbols;
    RangeEncoder enc;
    RangeEncoderInit(&enc);
    while (static_cast<int32_t>(symbols.size()) < count && RangeEncoderBitsUsed(&enc) < 8 * 1000) {
      symbols.push_back(RandomSymbol(&rng, likely));
      RangeEncode(&enc, symbols.back().symbol, symbols.back().cdf.data());
    }
    const std::vector<uint8_t> bytes = RangeEncoderFinish(&enc);
    SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << symbols.size() << " symbols");
    if (bytes.size() < 4) ++shortStreams;
    longest = std::max(longest, symbols.size());

    // Exactly the coded bytes, whatever the array held before (a payload of
    // fewer than four bytes takes the rest of its first code from there).
    ExpectDecodes(symbols, bytes, bytes.size(), 0x00, true);
    ExpectDecodes(symbols, bytes, bytes.size(), 0xFF, true);
    ExpectDecodes(symbols, bytes, bytes.size(), static_cast<uint8_t>(rng()), true);

    // The same bytes with raw data behind them.
    std::vector<uint8_t> longer = bytes;
    for (int i = 0; i < 8; ++i) longer.push_back(static_cast<uint8_t>(rng()));
    ExpectDecodes(symbols, longer, bytes.size(), static_cast<uint8_t>(rng()), false);
  }
  EXPECT_GT(shortStreams, 0);
  EXPECT_GT(longest, 1900u);
}

TEST(RangeEncoder, RecodesWhatTheDecoderReadsFromAnyBytes) {
  // Values just beside a byte boundary keep the interval's bottom on a long
  // run of 0xFF bytes until a carry runs through all of them.
  std::mt19937 rng(23);
  std::vector<std::vector<uint8_t>> payloads;
  std::vector<uint8_t> boundary(600, 0x00);
  boundary[0] = 0x80;
  boundary[400] = 0x01;
  payloads.push_back(boundary);
  std::vector<uint8_t> below(600, 0xFF);
  below[0] = 0x7F;
  payloads.push_back(below);
  for (int i = 0; i < 20; ++i) {
    std::vector<uint8_t> random(600);
    for (auto& b : random) b = static_cast<uint8_t>(rng());
    random[0] &= 0x7F;
    payloads.push_back(random);
  }

  size_t longestCarry = 0;
  for (size_t i = 0; i < payloads.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "payload " << i);
    auto dec = std::make_unique<SilkRangeDecoder>();
    std::memset(dec.get(), 0, sizeof(SilkRangeDecoder));
    SilkRangeInit(dec.get(), payloads[i].data(), static_cast<int32_t>(payloads[i].size()));
    std::vector<Coded> symbols;
    while (SilkRangeBitsUsed(dec.get()) < 8 * 500) {
      Coded c = RandomSymbol(&rng);
      c.symbol = SilkRangeDecode(dec.get(), c.cdf.data(), c.start);
      if (dec->status != 0) break;
      symbols.push_back(c);
    }
    ASSERT_FALSE(symbols.empty());

    RangeEncoder enc;
    RangeEncoderInit(&enc);
    for (const Coded& c : symbols) {
      const std::vector<uint8_t> before = enc.low;
      RangeEncode(&enc, c.symbol, c.cdf.data());
      for (size_t k = 0; k + 4 < before.size(); ++k) {
        if (before[k] != enc.low[k]) {
          longestCarry = std::max(longestCarry, before.size() - 4 - k);
          break;
        }
      }
    }
    const std::vector<uint8_t> bytes = RangeEncoderFinish(&enc);
    ExpectDecodes(symbols, bytes, bytes.size(), 0x5A, true);
  }
  EXPECT_GT(longestCarry, 100u);
}

TEST(RangeEncoder, NothingCodedIsOneByte) {
  RangeEncoder enc;
  RangeEncoderInit(&enc);
  const std::vector<uint8_t> bytes = RangeEncoderFinish(&enc);
  ASSERT_EQ(bytes, std::vector<uint8_t>{0x3F});
  ExpectDecodes({}, bytes, 1, 0xA5, true);
}

TEST(RangeEncoder, FinishLeavesTheEncoderAsItWas) {
  std::mt19937 rng(5);
  std::vector<Coded> symbols;
  for (int k = 0; k < 50; ++k) symbols.push_back(RandomSymbol(&rng));
  RangeEncoder enc;
  RangeEncoderInit(&enc);
  for (int k = 0; k < 25; ++k) RangeEncode(&enc, symbols[k].symbol, symbols[k].cdf.data());
  const std::vector<uint8_t> half = RangeEncoderFinish(&enc);
  for (int k = 25; k < 50; ++k) RangeEncode(&enc, symbols[k].symbol, symbols[k].cdf.data());
  EXPECT_EQ(RangeEncoderFinish(&enc), Encode(symbols));
  EXPECT_EQ(half, Encode({symbols.begin(), symbols.begin() + 25}));
}

TEST(RangeEncoder, RejectsZeroWidthSymbols) {
  const uint16_t cdf[] = {0, 0, 30000, 30000, 65535, 65535};
  RangeEncoder enc;
  RangeEncoderInit(&enc);
  for (int32_t s : {0, 2, 4}) EXPECT_THROW(RangeEncode(&enc, s, cdf), std::invalid_argument) << s;
  EXPECT_EQ(enc.low, std::vector<uint8_t>(4, 0));
  EXPECT_EQ(enc.range, 65535u);
}

}  // namespace
