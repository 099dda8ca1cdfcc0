// Core synthesis: excitation from pulses, pitch (LTP) prediction, LPC
// synthesis and gain scaling of one good frame.
#pragma once

#include <cstdint>

#include "frame_params.h"

struct SilkDecoderState;

// Q10 quantisation offsets, [signalType][offsetType].
extern const int32_t SilkQuantOffsetsQ10[2][2];

// Writes frameLength samples to out.
void SilkCoreSynthesis(SilkDecoderState* state, const SilkFrameParams* params, int16_t* out,
                       const int32_t* pulses);

// Short-term synthesis of n <= 120 samples; lpcBuffer holds 16 history values
// (Q14, newest last) followed by room for n.
void SilkLpcSynthesis(int32_t* lpcBuffer, const int16_t* aQ12, int32_t L, int32_t n,
                      const int32_t* in, int32_t* out);

// Whitening (inverse) filter; filterState holds L values.
void SilkLpcAnalysisFilter(const int16_t* in, const int16_t* aQ12, int32_t* filterState,
                           int16_t* out, int32_t n, int32_t L);

// About a * 2^qres / b for non-zero a and b.
int32_t SilkDivVarQ(int32_t a, int32_t b, int32_t qres);

// Size of the long-term-prediction history (two maximal frames).
constexpr int32_t kSilkLtpBufferLength = 960;

// Value of the LTP history at pos; positions outside the buffer count as 0.
// Only malformed pitch lags, or a concealment that runs before any frame set
// a real lag, reach such positions.
inline int32_t SilkLtpRead(const int32_t* ltpBuffer, int32_t pos) {
  return static_cast<uint32_t>(pos) < static_cast<uint32_t>(kSilkLtpBufferLength) ? ltpBuffer[pos]
                                                                                    : 0;
}
