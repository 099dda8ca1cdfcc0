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

// Reads one sign per positive value of pulses[0..length).
void SilkDecodeSigns(SilkRangeDecoder* dec, int32_t* pulses, int32_t length, int32_t signalType,
                     int32_t offsetType, int32_t rateLevel);
