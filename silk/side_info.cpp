// Side information of one frame: everything the range decoder carries apart
// from the excitation pulses, turned into the frame parameters.
#include "silk/side_info.h"

#include <cstring>

#include "silk/lpc.h"
#include "silk/nlsf.h"
#include "silk/primitives.h"
#include "silk/pulses.h"
#include "silk/range_decoder.h"
#include "silk/side_info_tables.h"
#include "silk/silk_decoder.h"
#include "silk/trained_tables.h"

namespace {

// Bandwidth expansion of both coefficient sets after a concealed frame.
constexpr int32_t kLossChirpQ16 = 63570;

// Largest log-gain (Q7) handed to SilkLog2Lin: just below 31.
constexpr int32_t kMaxLogGainQ7 = 3967;

void DecodePitchAndLtp(SilkDecoderState* st, SilkFrameParams* p) {
  SilkRangeDecoder* dec = &st->rangeDec;
  const int32_t slot = SilkRateSlot(st->rateKhz);
  const int32_t lagIndex = SilkRangeDecode(dec, SilkPitchLagCdfs[slot], SilkPitchLagStarts[slot]);
  const bool narrow = st->rateKhz == 8;
  const int32_t contour =
      narrow ? SilkRangeDecode(dec, SilkPitchContourCdf8k, kSilkPitchContour8kStart)
             : SilkRangeDecode(dec, SilkPitchContourCdf, kSilkPitchContourStart);

  // The shortest lag is 2 ms.
  const int32_t lag = 2 * st->rateKhz + lagIndex;
  for (int k = 0; k < 4; ++k) {
    p->pitchLags[k] = lag + (narrow ? SilkPitchContourOffsets8k[k][contour]
                                    : SilkPitchContourOffsets[k][contour]);
  }

  p->periodicityIndex = SilkRangeDecode(dec, SilkPeriodicityCdf, kSilkPeriodicityStart);
  const int16_t* codebook = SilkLtpCodebooks[p->periodicityIndex];
  for (int k = 0; k < 4; ++k) {
    const int32_t row = SilkRangeDecode(dec, SilkLtpIndexCdfs[p->periodicityIndex],
                                        SilkLtpIndexStarts[p->periodicityIndex]);
    for (int i = 0; i < 5; ++i) p->ltpTaps[5 * k + i] = codebook[5 * row + i];
  }

  const int32_t scale = SilkRangeDecode(dec, SilkLtpScaleCdf, kSilkLtpScaleStart);
  p->ltpScaleFactor = SilkLtpScales[scale];
}

}  // namespace

int32_t SilkLog2Lin(int32_t x) {
  if (x < 0) return 0;
  if (x >= 3968) return INT32_MAX;

  const int32_t out = 1 << (x >> 7);
  const int32_t f = x & 127;
  // Parabolic correction of the fractional part.
  const int32_t y = f + mulw16(f * (128 - f), -174);
  if (x < 2048) return addw(out, mulw(out, y) >> 7);
  return addw(out, mulw(out >> 7, y));
}

void SilkDequantGains(int32_t gains[4], const int32_t indices[4], int32_t* lastIndex,
                      int32_t relative) {
  for (int k = 0; k < 4; ++k) {
    if (k == 0 && relative == 0) {
      *lastIndex = indices[0];
    } else {
      // Delta symbols 0..44 are steps of -4..+40; the index has no floor.
      *lastIndex = subw(addw(*lastIndex, indices[k]), 4);
    }
    // 27.08 Q7 steps per index (mulw16 of 27 * 65536 + 5201) from 2176 (17.0).
    const int32_t logGain = addw(mulw16(27 * 65536 + 5201, *lastIndex), 2176);
    gains[k] = SilkLog2Lin(logGain < kMaxLogGainQ7 ? logGain : kMaxLogGainQ7);
  }
}

void SilkDecodeSideInfo(SilkDecoderState* st, SilkFrameParams* p, int32_t* pulses,
                        int32_t fullDecoding) {
  SilkRangeDecoder* dec = &st->rangeDec;
  const bool firstFrame = st->packetFramesDone == 0;

  // Only a packet's first frame carries the internal rate.
  if (firstFrame) {
    const int32_t rateIndex = SilkRangeDecode(dec, SilkRateCdf, kSilkRateStart);
    SilkSetInternalRate(st, SilkRateKhzTable[rateIndex]);
  }

  const int32_t typeOffset =
      firstFrame
          ? SilkRangeDecode(dec, SilkTypeOffsetFirstCdf, kSilkTypeOffsetStart)
          : SilkRangeDecode(dec, SilkTypeOffsetCdf[st->lastTypeOffset], kSilkTypeOffsetStart);
  p->signalType = typeOffset >> 1;
  p->offsetType = typeOffset & 1;
  st->lastTypeOffset = typeOffset;

  // The first gain of a packet is absolute, everything else a step.
  int32_t gainIndices[4];
  if (firstFrame) {
    gainIndices[0] = SilkRangeDecode(
        dec, p->signalType == 0 ? SilkGainCdfVoiced : SilkGainCdfUnvoiced, kSilkGainFirstStart);
  } else {
    gainIndices[0] = SilkRangeDecode(dec, SilkGainDeltaCdf, kSilkGainDeltaStart);
  }
  for (int k = 1; k < 4; ++k)
    gainIndices[k] = SilkRangeDecode(dec, SilkGainDeltaCdf, kSilkGainDeltaStart);
  SilkDequantGains(p->gains, gainIndices, &st->lastGainIndex, st->packetFramesDone);

  // NLSF vector from the stage indices of the codebook of the signal type.
  const SilkNlsfCodebook* codebook = st->nlsfCodebook[p->signalType];
  int32_t stageIndices[kSilkNlsfMaxStages];
  SilkRangeDecodeMany(dec, codebook->stageCdf, codebook->searchStart, codebook->stageCount,
                      stageIndices);
  const int32_t order = st->lpcOrder;
  int32_t nlsf[kSilkMaxLpcOrder];
  SilkNlsfDecode(codebook, stageIndices, order, nlsf);

  p->nlsfInterpFactor = SilkRangeDecode(dec, SilkNlsfInterpCdf, kSilkNlsfInterpStart);
  // After a reset or a rate change lastNlsf holds nothing to interpolate from.
  if (st->afterReset == 1) p->nlsfInterpFactor = 4;

  if (fullDecoding) {
    SilkNlsfToStableLpc(p->lpcCoefs[1], nlsf, order);
    if (p->nlsfInterpFactor < 4) {
      int32_t halfway[kSilkMaxLpcOrder];
      SilkNlsfInterpolate(st->lastNlsf, nlsf, p->nlsfInterpFactor, order, halfway);
      SilkNlsfToStableLpc(p->lpcCoefs[0], halfway, order);
    } else {
      std::memcpy(p->lpcCoefs[0], p->lpcCoefs[1], sizeof(int16_t) * order);
    }
  }
  std::memcpy(st->lastNlsf, nlsf, sizeof(int32_t) * order);

  // A frame after a concealed one gets a slightly wider bandwidth.
  if (st->lostCount != 0) {
    SilkBwExpand16(p->lpcCoefs[0], order, kLossChirpQ16);
    SilkBwExpand16(p->lpcCoefs[1], order, kLossChirpQ16);
  }

  if (p->signalType == 0) {
    DecodePitchAndLtp(st, p);
  } else {
    std::memset(p->pitchLags, 0, sizeof(p->pitchLags));
    std::memset(p->ltpTaps, 0, sizeof(p->ltpTaps));
    p->periodicityIndex = 0;
    p->ltpScaleFactor = 0;
  }

  p->excitationSeed = SilkRangeDecode(dec, SilkSeedCdf, kSilkSeedStart);
  SilkDecodePulses(dec, p, pulses, st->frameLength);
  st->voiceActivity = SilkRangeDecode(dec, SilkVadCdf, kSilkVadStart);
  st->frameEndCode = SilkRangeDecode(dec, SilkFrameEndCdf, kSilkFrameEndStart);

  // Bytes left for further frames or a redundant copy.
  const int32_t used = (SilkRangeBitsUsed(dec) + 7) >> 3;
  st->packetBytesLeft = dec->payloadLength - used;
  if (st->packetBytesLeft < 0) {
    dec->status = kSilkRangeErrPastEnd;
  } else if (st->packetBytesLeft == 0) {
    SilkRangeCheckTail(dec);
  }
}
