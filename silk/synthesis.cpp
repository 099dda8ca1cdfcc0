// Core synthesis of one good frame: excitation from the pulses, pitch
// prediction in voiced subframes, short-term synthesis and gain scaling.

#include "synthesis.h"

#include <cstring>

#include "filter_kernels.h"
#include "lpc.h"
#include "primitives.h"
#include "silk_decoder.h"

namespace {

uint32_t Magnitude(int32_t x) {
  return x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
}

}  // namespace

void SilkLpcSynthesis(int32_t* lpcBuffer, const int16_t* aQ12, int32_t L, int32_t n,
                      const int32_t* in, int32_t* out) {
  // The history holds 16 values; a longer filter would read before it.
  const int32_t order = L < 0 ? 0 : (L > 16 ? 16 : L);
  SilkLpcSynthesisKernel(lpcBuffer, aQ12, order, n, in, out);
}

void SilkLpcAnalysisFilter(const int16_t* in, const int16_t* aQ12, int32_t* filterState,
                           int16_t* out, int32_t n, int32_t L) {
  for (int32_t k = 0; k < n; ++k) {
    const int32_t x = in[k];
    // filterState[0] holds the prediction of x from the past samples (Q12).
    const int32_t y = rshiftRound(subw(shlw(x, 12), filterState[0]), 12);
    for (int32_t d = 0; d < L - 1; ++d) filterState[d] = addw(filterState[d + 1], x * aQ12[d]);
    filterState[L - 1] = x * aQ12[L - 1];
    out[k] = static_cast<int16_t>(sat16(y));
  }
}

int32_t SilkDivVarQ(int32_t a, int32_t b, int32_t qres) {
  // Normalise both operands so that their magnitude has bit 30 as its top
  // bit (-2^31 cannot be normalised further and keeps a head of 0).
  int32_t aHead = clz32(Magnitude(a)) - 1;
  if (aHead < 0) aHead = 0;
  int32_t aNorm = shlw(a, aHead);
  int32_t bHead = clz32(Magnitude(b)) - 1;
  if (bHead < 0) bHead = 0;
  const int32_t bNorm = shlw(b, bHead);

  // First approximation with the 16-bit reciprocal of b, then one
  // correction step on the remainder.
  const int32_t bInv = 536870911 / (bNorm >> 16);
  int32_t result = mulw16(aNorm, bInv);
  aNorm = subw(aNorm, shlw(mulhi32(bNorm, result), 3));
  result = addw(result, mulw16(aNorm, bInv));

  const int32_t lshift = 29 + aHead - bHead - qres;
  if (lshift <= 0) return lshiftSat32(result, -lshift);
  if (lshift < 32) return result >> lshift;
  return 0;
}

void SilkCoreSynthesis(SilkDecoderState* state, const SilkFrameParams* params, int16_t* out,
                       const int32_t* pulses) {
  static const int16_t kTransitionTaps[5] = {0, 0, 4096, 0, 0};

  const int32_t frameLength = state->frameLength;
  const int32_t sub = state->subframeLength;
  const int32_t order = state->lpcOrder;
  const int32_t unvoiced = params->signalType != 0 ? 1 : 0;
  const int32_t offsetQ10 = SilkQuantOffsetsQ10[unvoiced][params->offsetType != 0 ? 1 : 0];
  const int32_t interpolated = params->nlsfInterpFactor < 4 ? 1 : 0;
  int32_t* ltp = state->ltpBuffer;

  SilkBuildExcitation(state->excitation, pulses, frameLength, params->excitationSeed, offsetQ10);

  int16_t a[16];
  // Output history to re-whiten, behind 16 zeros: samples before the span's
  // start count as silence.
  alignas(16) int16_t span[16 + kSilkMaxFrameLength];
  int16_t history[kSilkMaxFrameLength];  // re-whitened output, indexed like the frame
  int32_t ltpPos = frameLength;

  for (int32_t k = 0; k < 4; ++k) {
    std::memcpy(a, params->lpcCoefs[k >> 1], sizeof(int16_t) * static_cast<size_t>(order));
    const int16_t* taps = params->ltpTaps + 5 * k;
    const int32_t gain = params->gains[k];
    int32_t type = unvoiced;
    int32_t lag = params->pitchLags[k];

    int32_t invGain = SilkInverseVarQ(gain > 1 ? gain : 1, 32);
    if (invGain > 32767) invGain = 32767;
    int32_t gainAdj = 65536;
    if (invGain != state->lastGainInverse) gainAdj = SilkDivVarQ(invGain, state->lastGainInverse, 16);

    // An unvoiced frame right after concealing voiced speech continues the
    // concealed pitch for its first half, with a single tap of 0.25.
    if (state->lostCount != 0 && state->lastSignalType == 0 && unvoiced && k < 2) {
      taps = kTransitionTaps;
      lag = state->lastPitchLag;
      type = 0;
    }

    if (type == 0) {
      // The newest lag + 2 history positions are rebuilt: ltp[ltpPos - 1 - i]
      // for i = 0 .. lag + 1 while the position is inside the buffer.
      int32_t count = lag + 2;
      if (count > ltpPos) count = ltpPos;
      if ((k & (3 - 2 * interpolated)) == 0) {
        // Re-whiten the newest lag + 2 output samples with this subframe's
        // filter. The filter starts from silence `order` samples earlier, at
        // the span start. A malformed lag may ask for more history than the
        // frame holds: the span then starts at the frame start, and positions
        // before it read as 0.
        int32_t start = frameLength - lag - order - 2;
        if (start < 0) start = 0;
        if (start > frameLength) start = frameLength;
        const int16_t* src = state->outputHistory + k * sub;
        std::memset(span, 0, sizeof(int16_t) * 16);
        std::memcpy(span + 16, src + start, sizeof(int16_t) * static_cast<size_t>(frameLength - start));
        // Only samples from frameLength - count on are read below.
        int32_t from = frameLength - count;
        if (from < start) from = start;
        SilkWhitenSpan(span, start, a, order, from, frameLength, history);

        int32_t invGainQ32 = shlw(invGain, 16);
        if (k == 0) invGainQ32 = shlw(mulw16(invGainQ32, params->ltpScaleFactor), 2);
        for (int32_t i = 0; i < count; ++i) {
          const int32_t h = frameLength - 1 - i;
          ltp[ltpPos - 1 - i] = mulw16(invGainQ32, h >= start ? history[h] : 0);
        }
      } else if (gainAdj != 65536) {
        for (int32_t i = 0; i < count; ++i) ltp[ltpPos - 1 - i] = mulww(gainAdj, ltp[ltpPos - 1 - i]);
      }
    }

    // All 16 history values follow the gain change, whatever the order
    // (a factor of exactly 1.0 leaves them as they are).
    if (gainAdj != 65536) {
      for (int32_t i = 0; i < 16; ++i) state->lpcBuffer[i] = mulww(gainAdj, state->lpcBuffer[i]);
    }
    state->lastGainInverse = invGain;

    const int32_t* exc = state->excitation + k * sub;
    int32_t* res = state->residual + k * sub;
    if (type == 0) {
      // Five taps centred on the lag: positions lag - 2 ... lag + 2 back.
      const int32_t t0 = taps[0], t1 = taps[1], t2 = taps[2], t3 = taps[3], t4 = taps[4];
      const int32_t first = ltpPos - lag + 2;
      if (first - 4 >= 0 && first + sub - 1 < kSilkLtpBufferLength) {
        // Every position read lies inside the buffer.
        SilkPitchFilter(ltp + first, taps, exc, res, ltp + ltpPos, sub);
      } else {
        for (int32_t i = 0; i < sub; ++i) {
          const int32_t p = first + i;
          int32_t pred = mulw16(SilkLtpRead(ltp, p), t0);
          pred = macw16(pred, SilkLtpRead(ltp, p - 1), t1);
          pred = macw16(pred, SilkLtpRead(ltp, p - 2), t2);
          pred = macw16(pred, SilkLtpRead(ltp, p - 3), t3);
          pred = macw16(pred, SilkLtpRead(ltp, p - 4), t4);
          res[i] = addw(exc[i], rshiftRound(pred, 4));
          ltp[ltpPos + i] = shlw(res[i], 6);
        }
      }
      ltpPos += sub;
    } else {
      std::memcpy(res, exc, sizeof(int32_t) * static_cast<size_t>(sub));
    }

    int16_t* dst = state->outputHistory + frameLength + k * sub;
    SilkLpcSynthesisScaled(state->lpcBuffer, a, order, sub, res, gain, dst);
    std::memmove(state->lpcBuffer, state->lpcBuffer + sub, sizeof(int32_t) * 16);
  }

  std::memcpy(out, state->outputHistory + frameLength, sizeof(int16_t) * static_cast<size_t>(frameLength));
}
