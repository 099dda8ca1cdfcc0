// The decoder's outside face: reset, internal rate set-up, the per-call
// packet interface with its bookkeeping, and the redundancy search.
#include <algorithm>
#include <cstring>

#include "silk/cng.h"
#include "silk/decode_frame.h"
#include "silk/frame_params.h"
#include "silk/nlsf.h"
#include "silk/range_decoder.h"
#include "silk/resampler.h"
#include "silk/side_info.h"
#include "silk/silk_decoder.h"

namespace {

// More packets than this in a row without redundancy, during voice
// activity, and the redundancy seen earlier is taken to be gone.
constexpr int32_t kMaxPacketsWithoutFec = 10;

// Tracks which earlier packet the following packets carry a copy of.
void TrackRedundancy(SilkDecoderState* st) {
  switch (st->frameEndCode) {
    case 0:
      st->framesWithoutFec += 1;
      if (st->framesWithoutFec > kMaxPacketsWithoutFec) st->fecDistance = 0;
      break;
    case 2:
      st->fecDistance = 1;
      st->framesWithoutFec = 0;
      break;
    case 3:
      st->fecDistance = 2;
      st->framesWithoutFec = 0;
      break;
    default:
      break;
  }
}

}  // namespace

void SilkSetInternalRate(SilkDecoderState* st, int32_t rateKhz) {
  if (rateKhz == st->rateKhz) return;

  const int16_t* hpA;
  const int16_t* hpB;
  switch (rateKhz) {
    case 24:
      hpA = SilkHighPassA24;
      hpB = SilkHighPassB24;
      break;
    case 16:
      hpA = SilkHighPassA16;
      hpB = SilkHighPassB16;
      break;
    case 12:
      hpA = SilkHighPassA12;
      hpB = SilkHighPassB12;
      break;
    case 8:
      hpA = SilkHighPassA8;
      hpB = SilkHighPassB8;
      break;
    // Every buffer is sized for at most 24 kHz; other rates are ignored.
    default:
      return;
  }

  st->rateKhz = rateKhz;
  st->frameLength = 20 * rateKhz;
  st->subframeLength = 5 * rateKhz;
  if (rateKhz == 8) {
    st->lpcOrder = 10;
    st->nlsfCodebook[0] = &SilkNlsfCodebookVoiced10;
    st->nlsfCodebook[1] = &SilkNlsfCodebookUnvoiced10;
  } else {
    st->lpcOrder = 16;
    st->nlsfCodebook[0] = &SilkNlsfCodebookVoiced16;
    st->nlsfCodebook[1] = &SilkNlsfCodebookUnvoiced16;
  }

  std::fill_n(st->lpcBuffer, 16, 0);
  std::fill_n(st->outputHistory, kSilkMaxFrameLength, int16_t{0});
  std::fill_n(st->lastNlsf, 16, 0);

  st->lastPitchLag = 100;
  st->lastGainIndex = 1;
  st->lastSignalType = 0;
  st->afterReset = 1;
  st->hpA = hpA;
  st->hpB = hpB;
}

void SilkDecoderReset(SilkDecoderState* st) {
  std::memset(st, 0, sizeof(*st));
  SilkSetInternalRate(st, 24);
  st->afterReset = 1;
  st->lastGainInverse = 65536;
  SilkComfortNoiseReset(st);
  // Plain samples, not Q8: the first concealment after a reset runs with a
  // lag of about one sample.
  st->plc.pitchLag = st->frameLength >> 1;
}

int32_t SilkDecodePacket(SilkDecoderState* st, SilkDecControl* control, int32_t lostFlag,
                         const uint8_t* payload, int32_t payloadBytes, int16_t* samplesOut,
                         int16_t* sampleCount) {
  int32_t result = 0;
  const int32_t apiRate = control->apiRateHz;

  // A frame above the caller's rate does not fit the caller's buffer before
  // resampling, so it goes to a scratch array first.
  int16_t frame[kSilkMaxApiFrameLength];
  const bool viaScratch = st->rateKhz * 1000 > apiRate;
  int16_t* target = viaScratch ? frame : samplesOut;

  if (st->packetHasMore == 0) {
    st->packetFramesDone = 0;
    if (lostFlag == 0 && payloadBytes > kSilkRangeMaxPayload) {
      lostFlag = 1;
      result = kSilkErrPayloadTooLong;
    }
  }

  const int32_t prevRate = st->rateKhz;
  int32_t usedBytes = 0;
  result += SilkDecodeFrame(st, target, sampleCount, payload, payloadBytes, lostFlag, &usedBytes);

  if (usedBytes != 0) {
    if (st->packetBytesLeft > 0 && st->frameEndCode == 1 &&
        st->packetFramesDone < kSilkMaxFramesPerPacket) {
      st->packetHasMore = 1;
    } else {
      st->packetHasMore = 0;
      st->packetFrameTotal = st->packetFramesDone;
      if (st->voiceActivity == 1) TrackRedundancy(st);
    }
  }

  if (apiRate > 48000 || apiRate < 8000) {
    // Nothing else of the call counts, but the packet did advance: a caller
    // that repeats the call while moreFrames is set must still stop at the
    // packet's end instead of starting it over and over.
    control->moreFrames = st->packetHasMore;
    return kSilkErrApiRate;
  }

  const int32_t internalHz = st->rateKhz * 1000;
  if (internalHz != apiRate) {
    int16_t input[kSilkMaxApiFrameLength];
    std::memcpy(input, target, sizeof(int16_t) * *sampleCount);
    if (prevRate != st->rateKhz || st->lastApiRateHz != apiRate) {
      result += SilkResamplerInit(&st->resampler, internalHz, apiRate);
    }
    result += SilkResample(&st->resampler, samplesOut, input, *sampleCount);
    *sampleCount = static_cast<int16_t>(*sampleCount * apiRate / internalHz);
  } else if (viaScratch) {
    std::memcpy(samplesOut, frame, sizeof(int16_t) * *sampleCount);
  }

  st->lastApiRateHz = apiRate;
  control->frameSamples = static_cast<uint16_t>(apiRate / 50);
  control->packetFrames = st->packetFrameTotal;
  control->fecDistance = st->fecDistance;
  control->moreFrames = st->packetHasMore;
  return result;
}

void SilkFindRedundancy(const uint8_t* payload, int32_t payloadBytes, int32_t lostDistance,
                        uint8_t* redundancyOut, int16_t* redundancyBytes) {
  *redundancyBytes = 0;
  if (lostDistance != 1 && lostDistance != 2) return;

  // A scratch decoder of its own: zero rate, so the first frame's rate set-up
  // runs in full; no loss, so no bandwidth expansion.
  SilkDecoderState scratch;
  std::memset(&scratch, 0, sizeof(scratch));
  SilkRangeInit(&scratch.rangeDec, payload, payloadBytes);

  SilkFrameParams params{};
  int32_t pulses[kSilkMaxFrameLength];
  for (;;) {
    SilkDecodeSideInfo(&scratch, &params, pulses, 0);
    if (scratch.rangeDec.status != 0) return;

    // End code 2 carries the packet one place back, 3 the one two places back.
    if (((scratch.frameEndCode - 1) & lostDistance) != 0 && scratch.frameEndCode > 0 &&
        scratch.packetBytesLeft >= 0) {
      *redundancyBytes = static_cast<int16_t>(scratch.packetBytesLeft);
      std::memcpy(redundancyOut, payload + (payloadBytes - scratch.packetBytesLeft),
                  scratch.packetBytesLeft);
      return;
    }
    if (scratch.packetBytesLeft > 0 && scratch.frameEndCode == 1) {
      scratch.packetFramesDone += 1;
      continue;
    }
    return;
  }
}
