// Packet-loss concealment: tracking of the last good frame, synthesis of
// substitute frames, and the fade-in of the first good frame after a loss.
#pragma once

#include <cstdint>

#include "frame_params.h"

struct SilkDecoderState;

struct SilkConcealState {
  int32_t pitchLag;      // Q8; must stay the first field
  int16_t ltpTaps[5];    // Q14
  int16_t lpcCoefs[16];  // Q12
  int32_t prevLost;
  int32_t noiseSeed;
  int16_t noiseScale;    // Q14
  int32_t energy;
  int32_t energyShift;
  int16_t ltpScale;      // Q14
  int32_t gains[4];      // Q16
  int32_t rateKhz;
};

void SilkConcealTrack(SilkDecoderState* state, const SilkFrameParams* params);
void SilkConcealFrame(SilkDecoderState* state, SilkFrameParams* params, int16_t* out);
void SilkConcealSmooth(SilkDecoderState* state, int16_t* out, int32_t length);

// Sum of squares of x shifted right by *shift (even) so that it fits in 30 bits.
void SilkScaledEnergy(int32_t* energy, int32_t* shift, const int16_t* x, int32_t len);
int32_t SilkRoughSqrt(int32_t x);

// Noise factor (Q15) of the first lost frame after an unvoiced frame: the
// factor scaled by the kept filter's inverse prediction gain (Q30), limited to
// 2^22 ... 2^27 first. The more resonant the filter (the lower that gain), the
// faster the noise it colours decays.
int32_t SilkConcealUnvoicedNoiseFactor(int32_t invGainQ30, int32_t noiseFactor);
