// Comfort noise: a model of the background noise learned from good frames
// without voice activity, added to concealed frames.
#pragma once

#include <cstdint>

#include "frame_params.h"

struct SilkDecoderState;

struct SilkComfortNoiseState {
  int32_t excBuffer[480];   // Q10, four blocks of subframeLength, newest first
  int32_t smoothNlsf[16];   // Q15
  int32_t synthState[16];   // Q14, newest last
  int32_t smoothGain;       // Q16
  int32_t seed;
  int32_t rateKhz;
};

void SilkComfortNoiseReset(SilkDecoderState* state);
void SilkComfortNoise(SilkDecoderState* state, const SilkFrameParams* params, int16_t* out,
                      int32_t length);
void SilkComfortNoiseExcitation(int16_t* out, const int32_t* buffer, int32_t gain,
                                int32_t length, int32_t* seed);
void SilkAllPoleFilter(const int16_t* in, const int16_t* A, int32_t* S, int16_t* out,
                       int32_t len, int32_t order);
void SilkAllPoleFilter16(const int16_t* in, const int16_t* A, int32_t* S, int16_t* out,
                         int32_t len);
