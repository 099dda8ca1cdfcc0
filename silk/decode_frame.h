// The per-frame driver (decode or conceal, keep history, smooth, comfort
// noise, high-pass) and the output high-pass filter.
#pragma once

#include <cstdint>

struct SilkDecoderState;

// High-pass coefficient sets, Q13: feedback a0, a1 and feed-forward b0, b1, b2.
extern const int16_t SilkHighPassA24[2], SilkHighPassB24[3];
extern const int16_t SilkHighPassA16[2], SilkHighPassB16[3];
extern const int16_t SilkHighPassA12[2], SilkHighPassB12[3];
extern const int16_t SilkHighPassA8[2], SilkHighPassB8[3];

// Produces one frame at the internal rate; returns 0, -11 or -12.
int32_t SilkDecodeFrame(SilkDecoderState* state, int16_t* out, int16_t* sampleCount,
                        const uint8_t* payload, int32_t payloadBytes, int32_t lostFlag,
                        int32_t* usedBytes);

// Second-order section; in and out may be the same array.
void SilkHighPass(const int16_t* in, const int16_t* b, const int16_t* a, int32_t* s, int16_t* out,
                  int32_t length);
