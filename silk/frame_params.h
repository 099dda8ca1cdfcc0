// Decoded parameters of one frame, filled by the side-information decoding
// and read by core synthesis, concealment and comfort noise.
#pragma once

#include <cstdint>

struct SilkFrameParams {
  int32_t pitchLags[4];       // samples at the internal rate, 0 in unvoiced frames
  int32_t gains[4];           // Q16 subframe gains
  int32_t excitationSeed;     // 0..3
  int16_t lpcCoefs[2][16];    // Q12; [0] first half, [1] second half of the frame
  int16_t ltpTaps[20];        // Q14, five per subframe
  int32_t ltpScaleFactor;     // Q14: 15565, 11469, 8192, or 0 when unvoiced
  int32_t periodicityIndex;   // 0..2
  int32_t pulseRateLevel;     // 0..8
  int32_t offsetType;         // 0 or 1
  int32_t signalType;         // 0 voiced, 1 unvoiced
  int32_t nlsfInterpFactor;   // 0..4, 4 = no interpolation
};
