#include "silk/range_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

// Heap-allocated so that AddressSanitizer sees any read past the record.
std::unique_ptr<SilkRangeDecoder> NewDecoder() {
  auto dec = std::make_unique<SilkRangeDecoder>();
  std::memset(dec.get(), 0, sizeof(SilkRangeDecoder));
  return dec;
}

// Puts the decoder in a chosen state without going through a payload.
void SetState(SilkRangeDecoder* dec, uint32_t code, uint32_t range, int32_t readPos = 0,
              int32_t payloadLength = 0) {
  dec->code = code;
  dec->range = range;
  dec->readPos = readPos;
  dec->payloadLength = payloadLength;
  dec->status = 0;
}

const uint16_t kCdf[] = {0, 1000, 5000, 30000, 50000, 60000, 65535};  // six symbols

TEST(SilkRangeDecoder, InitAcceptsUpTo1024BytesAndRejectsLongerOnesUntouched) {
  std::vector<uint8_t> bytes(1025);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);

  auto dec = NewDecoder();
  SilkRangeInit(dec.get(), bytes.data(), 1024);
  EXPECT_EQ(dec->status, 0);
  EXPECT_EQ(dec->payloadLength, 1024);
  EXPECT_EQ(std::memcmp(dec->payload, bytes.data(), 1024), 0);

  for (int32_t n : {1025, -1, INT32_MIN}) {
    auto before = NewDecoder();
    const uint8_t first[] = {1, 2, 3, 4, 5};
    SilkRangeInit(before.get(), first, 5);
    SetState(before.get(), 0x01020304, 1234, 1, 5);
    auto after = NewDecoder();
    std::memcpy(after.get(), before.get(), sizeof(SilkRangeDecoder));

    SilkRangeInit(after.get(), bytes.data(), n);
    EXPECT_EQ(after->status, kSilkRangeErrTooLong) << n;
    after->status = before->status;
    EXPECT_EQ(std::memcmp(after.get(), before.get(), sizeof(SilkRangeDecoder)), 0) << n;
  }
}

TEST(SilkRangeDecoder, InitReadsCodeFromFirstFourArrayBytes) {
  auto dec = NewDecoder();
  const uint8_t full[] = {0xAB, 0xCD, 0xEF, 0x12, 0x34};
  SilkRangeInit(dec.get(), full, 5);
  EXPECT_EQ(dec->code, 0xABCDEF12u);
  EXPECT_EQ(dec->range, 65535u);
  EXPECT_EQ(dec->readPos, 0);
  EXPECT_EQ(SilkRangeBitsUsed(dec.get()), 2);

  // A short payload keeps the array's older bytes behind it; the status of
  // an earlier error is cleared.
  dec->status = kSilkRangeErrSymbol;
  const uint8_t shortPayload[] = {0x11, 0x22};
  SilkRangeInit(dec.get(), shortPayload, 2);
  EXPECT_EQ(dec->code, 0x1122EF12u);
  EXPECT_EQ(dec->payloadLength, 2);
  EXPECT_EQ(dec->status, 0);
}

TEST(SilkRangeDecoder, SearchFindsTheSymbolFromEveryStartIndex) {
  // A code equal to range * cdf[s] belongs to s; one below belongs to s - 1.
  const uint32_t range = 40000;
  auto dec = NewDecoder();
  for (int32_t s = 0; s < 6; ++s) {
    const uint32_t lo = range * kCdf[s];
    const uint32_t hi = range * kCdf[s + 1];
    for (uint32_t code : {lo, lo + 1, lo + (hi - lo) / 2, hi - 1}) {
      for (int32_t start = 0; start < 6; ++start) {
        SetState(dec.get(), code, range, 0, 100);
        EXPECT_EQ(SilkRangeDecode(dec.get(), kCdf, start), s) << "code " << code << " start " << start;
        EXPECT_EQ(dec->status, 0);
      }
    }
  }

  // Code 0 with leading zero-width symbols: the last entry that is 0.
  const uint16_t leadingZeros[] = {0, 0, 0, 8032, 21695, 65535, 65535};
  for (int32_t start = 0; start < 6; ++start) {
    SetState(dec.get(), 0, 65535, 0, 100);
    EXPECT_EQ(SilkRangeDecode(dec.get(), leadingZeros, start), 2) << start;
  }
}

TEST(SilkRangeDecoder, RenormalisesAndShiftsBytesIn) {
  struct Case {
    uint32_t range;
    int32_t symbol;          // code placed at the bottom of the symbol + 5
    uint32_t wantRange;
    int32_t wantReadPos;
    uint32_t wantCode;
  };
  // Payload bytes after the first four: 0x10, 0x20, ...
  const Case cases[] = {
      {65535, 3, (65535u * 20000) >> 16, 0, 5},                    // wide: no byte
      {600, 3, (600u * 20000) >> 8, 1, (5u << 8) | 0x10},          // one byte
      {3, 3, 3u * 20000, 2, (5u << 16) | 0x1020},                   // two bytes
  };
  uint8_t payload[16] = {0, 0, 0, 0};
  for (int i = 4; i < 16; ++i) payload[i] = static_cast<uint8_t>((i - 3) * 0x10);
  for (const Case& c : cases) {
    auto dec = NewDecoder();
    SilkRangeInit(dec.get(), payload, 16);
    dec->code = c.range * kCdf[c.symbol] + 5;
    dec->range = c.range;
    EXPECT_EQ(SilkRangeDecode(dec.get(), kCdf, 2), c.symbol);
    EXPECT_EQ(dec->status, 0);
    EXPECT_EQ(dec->range, c.wantRange);
    EXPECT_EQ(dec->readPos, c.wantReadPos);
    EXPECT_EQ(dec->code, c.wantCode);
  }
}

TEST(SilkRangeDecoder, ReadsZerosPastThePayloadAndTheArray) {
  struct Case {
    int32_t payloadLength;
    int32_t readPos;
    uint32_t wantLowBytes;  // the two bytes shifted in
    int32_t wantReadPos;
  };
  const Case cases[] = {
      {1024, 1019, 0xFF00, 1021},  // array index 1023, then 1024 reads 0
      {1024, 1023, 0x0000, 1024},  // index 1027: outside the array
      {10, 10, 0x0000, 10},        // at the payload's end nothing moves
      {10, 5, 0xFFFF, 7},          // four bytes ahead of readPos: stale bytes
  };
  for (const Case& c : cases) {
    auto dec = NewDecoder();
    std::memset(dec->payload, 0xFF, sizeof(dec->payload));
    SetState(dec.get(), 7, 2, c.readPos, c.payloadLength);
    // Width 2 * 20000 < 2^16: two bytes are shifted in.
    EXPECT_EQ(SilkRangeDecode(dec.get(), kCdf, 0), 0);
    EXPECT_EQ(dec->status, 0);
    EXPECT_EQ(dec->code, (7u << 16) | c.wantLowBytes) << c.readPos;
    EXPECT_EQ(dec->readPos, c.wantReadPos);
  }
}

TEST(SilkRangeDecoder, ErrorsAreStickyAndLeaveTheStateAlone) {
  auto dec = NewDecoder();
  // A code at or above range * 65535 lies beyond the last symbol.
  SetState(dec.get(), 1000u * 65535, 1000, 3, 20);
  EXPECT_EQ(SilkRangeDecode(dec.get(), kCdf, 2), 0);
  EXPECT_EQ(dec->status, kSilkRangeErrSymbol);
  EXPECT_EQ(dec->code, 1000u * 65535);
  EXPECT_EQ(dec->range, 1000u);
  EXPECT_EQ(dec->readPos, 3);

  // Later symbols decode as 0, even ones the code would otherwise select.
  dec->code = 1000u * 55000;
  const uint16_t* cdfs[] = {kCdf, kCdf, kCdf};
  const int32_t starts[] = {0, 3, 5};
  int32_t symbols[] = {9, 9, 9};
  SilkRangeDecodeMany(dec.get(), cdfs, starts, 3, symbols);
  for (int32_t s : symbols) EXPECT_EQ(s, 0);
  EXPECT_EQ(dec->status, kSilkRangeErrSymbol);
  EXPECT_EQ(dec->code, 1000u * 55000);
}

TEST(SilkRangeDecoder, DecodeManyMatchesSingleCalls) {
  std::vector<uint8_t> payload(40);
  std::mt19937 rng(3);
  for (auto& b : payload) b = static_cast<uint8_t>(rng());
  payload[0] = 0x20;  // keep the first code inside the table
  const uint16_t* cdfs[12];
  int32_t starts[12];
  for (int k = 0; k < 12; ++k) {
    cdfs[k] = kCdf;
    starts[k] = k % 6;
  }
  auto one = NewDecoder();
  auto many = NewDecoder();
  SilkRangeInit(one.get(), payload.data(), 40);
  SilkRangeInit(many.get(), payload.data(), 40);
  int32_t symbols[12];
  SilkRangeDecodeMany(many.get(), cdfs, starts, 12, symbols);
  for (int k = 0; k < 12; ++k) EXPECT_EQ(symbols[k], SilkRangeDecode(one.get(), cdfs[k], starts[k]));
  EXPECT_EQ(std::memcmp(one.get(), many.get(), sizeof(SilkRangeDecoder)), 0);
}

TEST(SilkRangeDecoder, CheckTail) {
  struct Case {
    const char* what;
    int32_t readPos;
    uint32_t range;  // 513..1024: bits = 8 * readPos + 8; 16385..32768: 8 * readPos + 3
    int32_t payloadLength;
    uint8_t lastByte;
    int32_t wantStatus;
  };
  const Case cases[] = {
      {"whole bytes: only the length counts", 2, 1000, 3, 0x00, 0},
      {"whole bytes: one byte short", 2, 1000, 2, 0xFF, kSilkRangeErrTail},
      {"three bits used: low five are ones", 2, 20000, 3, 0x1F, 0},
      {"three bits used: all ones", 2, 20000, 3, 0xFF, 0},
      {"three bits used: a spare bit is zero", 2, 20000, 3, 0xFE, kSilkRangeErrTail},
      {"three bits used: past the end", 2, 20000, 2, 0xFF, kSilkRangeErrTail},
      {"just initialised: two bits of byte 0", 0, 65535, 1, 0x3F, 0},
      {"just initialised: empty payload", 0, 65535, 0, 0xFF, kSilkRangeErrTail},
  };
  for (const Case& c : cases) {
    auto dec = NewDecoder();
    SetState(dec.get(), 0, c.range, c.readPos, c.payloadLength);
    const int32_t bits = SilkRangeBitsUsed(dec.get());
    dec->payload[(bits + 7) / 8 - 1] = c.lastByte;
    SilkRangeCheckTail(dec.get());
    EXPECT_EQ(dec->status, c.wantStatus) << c.what;
  }
}

// Random table of `symbols` symbols; about one in eight has zero width.
std::vector<uint16_t> RandomCdf(std::mt19937* rng, int32_t symbols) {
  std::vector<uint16_t> cdf(symbols + 1);
  for (int32_t i = 1; i < symbols; ++i) cdf[i] = static_cast<uint16_t>((*rng)() % 65536);
  std::sort(cdf.begin() + 1, cdf.end() - 1);
  for (int32_t i = 1; i < symbols; ++i) {
    if ((*rng)() % 8 == 0) cdf[i] = cdf[i - 1];
  }
  cdf[0] = 0;
  cdf[symbols] = 65535;
  return cdf;
}

TEST(SilkRangeDecoder, CodeStaysInsideTheIntervalOnRandomInput) {
  // With non-decreasing tables the code is always below the chosen symbol's
  // width, so renormalisation never fails and the range never becomes 0:
  // the only decoding error is a code beyond the table's last symbol.
  std::mt19937 rng(11);
  auto dec = NewDecoder();
  std::vector<uint8_t> payload(1024);
  int64_t decoded = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const int32_t n = static_cast<int32_t>(rng() % 1025);
    for (auto& b : payload) b = static_cast<uint8_t>(rng());
    SilkRangeInit(dec.get(), payload.data(), n);
    for (int k = 0; k < 3000 && dec->status == 0; ++k) {
      const auto cdf = RandomCdf(&rng, 2 + static_cast<int32_t>(rng() % 30));
      const int32_t start = static_cast<int32_t>(rng() % (cdf.size() - 1));
      const int32_t s = SilkRangeDecode(dec.get(), cdf.data(), start);
      if (dec->status != 0) break;
      ++decoded;
      ASSERT_LT(cdf[s], cdf[s + 1]) << "decoded a zero-width symbol";
      ASSERT_GE(dec->range, 1u);
      ASSERT_LE(dec->range, 65535u);
      ASSERT_LT(uint64_t{dec->code}, (uint64_t{dec->range} + 1) << 16);
      ASSERT_LE(dec->readPos, n);
    }
    ASSERT_TRUE(dec->status == 0 || dec->status == kSilkRangeErrSymbol) << dec->status;
  }
  EXPECT_GT(decoded, 10000);
}

}  // namespace
