// Public interface of the SILK decoder.
//
// One SilkDecoderState holds everything a stream's decoder carries from frame
// to frame: a flat, fixed-size record without heap pointers (the caller owns
// the storage). The decoder allocates nothing and has no global mutable data.
//
//   SilkDecoderReset(&st);
//   ctl.apiRateHz = 24000; ctl.packetFrames = 1;
//   do { SilkDecodePacket(&st, &ctl, 0, payload, n, out, &count); } while (ctl.moreFrames);
#pragma once

#include <cstdint>

#include "cng.h"
#include "nlsf.h"
#include "plc.h"
#include "range_decoder.h"
#include "resampler.h"

enum : int32_t {
  kSilkMaxFrameLength = 480,     // 24 kHz x 20 ms
  kSilkMaxApiFrameLength = 960,  // 48 kHz x 20 ms
  kSilkMaxFramesPerPacket = 5,
  kSilkMaxLpcOrder = 16,
  kSilkErrApiRate = -10,
  kSilkErrPayloadTooLong = -11,
  kSilkErrCorrupt = -12,
};

struct SilkDecoderState {
  SilkRangeDecoder rangeDec;
  int32_t lastGainInverse;     // Q16
  int32_t ltpBuffer[960];      // Q16
  int32_t lpcBuffer[136];      // Q14: 16 history values + one subframe
  int32_t excitation[480];     // Q10
  int32_t residual[480];       // Q10
  int16_t outputHistory[960];  // previous frame, then the current frame
  int32_t lastPitchLag;
  int32_t lastGainIndex;
  int32_t lastTypeOffset;
  int32_t hpState[2];
  const int16_t* hpA;          // feedback pair of the current rate
  const int16_t* hpB;          // feed-forward triple of the current rate
  int32_t rateKhz;             // 8, 12, 16 or 24
  int32_t lastApiRateHz;
  int32_t frameLength;         // 20 x rateKhz
  int32_t subframeLength;      // 5 x rateKhz
  int32_t lpcOrder;            // 10 at 8 kHz, else 16
  int32_t lastNlsf[16];        // Q15
  int32_t afterReset;
  int32_t packetBytesLeft;
  int32_t packetFramesDone;
  int32_t packetFrameTotal;
  int32_t packetHasMore;
  int32_t frameEndCode;        // 0 last frame, 1 more follow, 2/3 redundancy for 1/2 back
  SilkResamplerState resampler;
  const SilkNlsfCodebook* nlsfCodebook[2];  // [0] voiced, [1] unvoiced
  int32_t voiceActivity;
  int32_t framesWithoutFec;
  int32_t fecDistance;
  SilkComfortNoiseState cng;
  int32_t lostCount;
  int32_t lastSignalType;
  SilkConcealState plc;
};

struct SilkDecControl {
  int32_t apiRateHz;     // in: 8000..48000
  int32_t frameSamples;  // out: apiRateHz / 50
  int32_t packetFrames;  // in/out: frames of the last finished packet
  int32_t moreFrames;    // out: 1 when the packet holds further frames
  int32_t fecDistance;   // out
};

void SilkDecoderReset(SilkDecoderState* state);
void SilkSetInternalRate(SilkDecoderState* state, int32_t rateKhz);

// Decodes (lostFlag 0) or conceals (lostFlag 1) one 20 ms frame into
// samplesOut (at least max(apiRateHz / 50, 480) samples). Returns 0 or a
// negative code (-10, -11, -12, plus the resampler's -1).
int32_t SilkDecodePacket(SilkDecoderState* state, SilkDecControl* control, int32_t lostFlag,
                         const uint8_t* payload, int32_t payloadBytes, int16_t* samplesOut,
                         int16_t* sampleCount);

// Copies the redundant copy of the packet lostDistance (1 or 2) places back
// into redundancyOut (at least 1024 bytes); *redundancyBytes = 0 if none.
void SilkFindRedundancy(const uint8_t* payload, int32_t payloadBytes, int32_t lostDistance,
                        uint8_t* redundancyOut, int16_t* redundancyBytes);
