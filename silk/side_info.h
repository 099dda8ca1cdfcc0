// Side information of one frame: rate, type and offset, gains, NLSFs and
// their interpolation, pitch lags and LTP taps, seed, pulses, voice activity,
// frame end, and the bytes left in the packet.
#pragma once

#include <cstdint>

#include "frame_params.h"

struct SilkDecoderState;

// fullDecoding 0 (the redundancy search) skips only the NLSF-to-LPC conversion.
void SilkDecodeSideInfo(SilkDecoderState* state, SilkFrameParams* params, int32_t* pulses,
                        int32_t fullDecoding);

void SilkDequantGains(int32_t gains[4], const int32_t indices[4], int32_t* lastIndex,
                      int32_t relative);

// 2^(x / 128), approximated; x in Q7.
int32_t SilkLog2Lin(int32_t x);
