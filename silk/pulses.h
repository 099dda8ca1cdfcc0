// Excitation pulses: per 16-sample block a pulse count (with escapes into
// extra low-bit layers), the distribution over the block by recursive
// halving (shell coding), the low bits, and one sign per non-zero sample.
#pragma once

#include <cstdint>

#include "frame_params.h"
#include "range_decoder.h"

// Decodes params->pulseRateLevel and frameLength pulses (frameLength / 16 blocks).
void SilkDecodePulses(SilkRangeDecoder* dec, SilkFrameParams* params, int32_t* pulses,
                      int32_t frameLength);

// Distributes count (1..18) pulses over 16 values.
void SilkShellDecode(int32_t out[16], SilkRangeDecoder* dec, int32_t count);

// The split tables of the shell coding, from 2-sample parents (level 0) to
// 16-sample parents (level 3), each with the largest parent count it holds.
struct SilkShellTables {
  const uint16_t* cdf[4];
  int32_t maxParent[4];
};

// The decoder's own tables: limits 6, 8, 12 and 18.
extern const SilkShellTables kSilkShellTables;

// Splits `parent` pulses into a left and a right half with `table` and returns
// the left count. A parent above `maxParent` (possible only in a corrupt
// stream) is not looked up: it sets status -2 (if no error came before) and,
// like any split after an error, yields left 0.
int32_t SilkShellSplit(SilkRangeDecoder* dec, const uint16_t* table, int32_t maxParent,
                       int32_t parent);

// SilkShellDecode with a given table set.
void SilkShellDecodeWith(int32_t out[16], SilkRangeDecoder* dec, int32_t count,
                         const SilkShellTables& tables);

// Reads one sign per positive value of pulses[0..length).
void SilkDecodeSigns(SilkRangeDecoder* dec, int32_t* pulses, int32_t length, int32_t signalType,
                     int32_t offsetType, int32_t rateLevel);
