// Constant tables of the side-information decoding: cumulative frequency
// tables (CDFs) with their search start indices, pitch contour offsets and
// LTP scales. The trained tables (first gains, pitch lags, LTP codebooks) are
// declared in trained_tables.h.
#pragma once

#include <cstdint>

// Search start indices that go with the CDFs below.
enum : int32_t {
  kSilkRateStart = 2,
  kSilkTypeOffsetStart = 2,
  kSilkGainFirstStart = 32,
  kSilkGainDeltaStart = 5,
  kSilkNlsfInterpStart = 4,
  kSilkPitchContour8kStart = 5,
  kSilkPitchContourStart = 17,
  kSilkPeriodicityStart = 1,
  kSilkLtpScaleStart = 2,
  kSilkSeedStart = 2,
  kSilkVadStart = 1,
  kSilkFrameEndStart = 2,
};

// Symbols 0..3 select 8, 12, 16, 24 kHz.
extern const uint16_t SilkRateCdf[5];
extern const int32_t SilkRateKhzTable[4];

// Index of an internal rate into the per-rate tables below (8, 12, 16, 24 kHz).
inline int32_t SilkRateSlot(int32_t rateKhz) {
  return rateKhz == 8 ? 0 : (rateKhz == 12 ? 1 : (rateKhz == 16 ? 2 : 3));
}

// Signal type and quantiser offset: first frame of a packet, then by the
// previous frame's symbol.
extern const uint16_t SilkTypeOffsetFirstCdf[5];
extern const uint16_t SilkTypeOffsetCdf[4][5];

// Gain steps -4..+40 as symbols 0..44.
extern const uint16_t SilkGainDeltaCdf[46];

extern const uint16_t SilkNlsfInterpCdf[6];

// Pitch lags: per rate (8, 12, 16, 24 kHz) the lag-index CDF and its start.
extern const uint16_t* const SilkPitchLagCdfs[4];
extern const int32_t SilkPitchLagStarts[4];

extern const uint16_t SilkPitchContourCdf8k[12];
extern const uint16_t SilkPitchContourCdf[35];  // 12, 16 and 24 kHz
extern const int16_t SilkPitchContourOffsets8k[4][11];
extern const int16_t SilkPitchContourOffsets[4][34];

extern const uint16_t SilkPeriodicityCdf[4];

// LTP codebook-index CDFs and codebooks (10, 20, 40 rows of 5 taps), by periodicity.
extern const uint16_t SilkLtpIndexCdf0[11];
extern const uint16_t SilkLtpIndexCdf1[21];
extern const uint16_t SilkLtpIndexCdf2[41];
extern const uint16_t* const SilkLtpIndexCdfs[3];
extern const int32_t SilkLtpIndexStarts[3];
extern const int32_t SilkLtpCodebookRows[3];
extern const int16_t* const SilkLtpCodebooks[3];

extern const uint16_t SilkLtpScaleCdf[4];
extern const int32_t SilkLtpScales[3];  // Q14

extern const uint16_t SilkSeedCdf[5];
extern const uint16_t SilkVadCdf[3];
extern const uint16_t SilkFrameEndCdf[5];
