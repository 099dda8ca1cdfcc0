// Pulse encoder: codes a frame's excitation pulses exactly as
// SilkDecodePulses (silk/pulses.h) reads them back.
#pragma once

#include <cstdint>

#include "tools/streamwriter/range_encoder.h"

// Codes the rate level (0..8) and frameLength pulses (a multiple of 16, at
// most 480) of a frame with signal type 0 (voiced) or 1 (unvoiced) and offset
// type 0 or 1. Any int32 values can be coded: a block whose pulses do not fit
// the count and shell tables directly has its low bits moved into extra
// layers, as few as needed. Throws std::invalid_argument for arguments out of
// range or when the tables leave no way to code a block.
void EncodePulses(RangeEncoder* enc, int32_t signalType, int32_t offsetType, int32_t rateLevel,
                  const int32_t* pulses, int32_t frameLength);
