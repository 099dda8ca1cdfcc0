// Constant tables of the excitation pulse coding, shared by the decoder and
// the test-support encoder. The trained pulse-count rows and the shell tables
// for 8- and 16-sample parents are in trained_tables.h.
#pragma once

#include <cstdint>

#include "silk/trained_tables.h"

enum : int32_t {
  kSilkPulseBlockLength = 16,
  kSilkRateLevelStart = 4,       // search start of the rate-level tables
  kSilkRateLevels = 9,           // rate levels 0..8
  kSilkPulseCountRowLength = 21, // counts 0..18 and the escape symbol
  kSilkPulseCountStart = 6,
  kSilkPulseCountEscape = 19,
  kSilkPulseCountEscapeRow = 9,  // row used after an escape
  kSilkMaxBlockCount = 18,
  kSilkLowBitStart = 1,
  kSilkSignStart = 1,
};

// Rate level, by signal type (0 voiced, 1 unvoiced).
extern const uint16_t SilkRateLevelCdf[2][10];

// Shell split tables for 2- and 4-sample parents. For parent count p the
// table of the left child's count 0..p (p + 2 entries) starts at
// SilkShellCdfOffset(p), with search start p >> 1.
extern const uint16_t SilkShellCdfT0[33];  // parents 1..6
extern const uint16_t SilkShellCdfT1[52];  // parents 1..8

extern const uint16_t SilkLowBitCdf[3];

// Middle entry of the three-entry sign table {0, v, 65535} (symbol 0 makes a
// value negative), indexed by SilkSignIndex.
extern const uint16_t SilkSignTable[36];

constexpr int32_t SilkShellCdfOffset(int32_t parent) { return (parent - 1) * (parent + 4) / 2; }

// Index of the sign probability for a frame's signal type, offset type and rate level.
constexpr int32_t SilkSignIndex(int32_t signalType, int32_t offsetType, int32_t rateLevel) {
  return 9 * (2 * signalType + offsetType) + rateLevel;
}
