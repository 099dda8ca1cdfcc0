// Core synthesis of one good frame: excitation from the pulses, pitch
// prediction in voiced subframes, short-term synthesis and gain scaling.

#include "synthesis.h"

#include <cstring>

#include "lpc.h"
#include "primitives.h"
#include "silk_decoder.h"

namespace {

// Short-term synthesis with the order fixed at compile time, so that the
// coefficient loop unrolls and the coefficients stay in registers. in and out
// may be the same array.
template <int Order>
void LpcSynthesisFixed(int32_t* lpcBuffer, const int16_t* aQ12, int32_t n, const int32_t* in,
                       int32_t* out) {
  int32_t a[Order];
  for (int j = 0; j < Order; ++j) a[j] = aQ12[j];
  for (int32_t i = 0; i < n; ++i) {
    const int32_t* newest = lpcBuffer + 15 + i;
    int32_t pred = 0;
    for (int j = 0; j < Order; ++j) pred = macw16(pred, newest[-j], a[j]);
    const int32_t y = addw(in[i], pred);
    out[i] = y;
    lpcBuffer[16 + i] = shlw(y, 4);
  }
}

void LpcSynthesisAnyOrder(int32_t* lpcBuffer, const int16_t* aQ12, int32_t order, int32_t n,
                          const int32_t* in, int32_t* out) {
  for (int32_t i = 0; i < n; ++i) {
    const int32_t* newest = lpcBuffer + 15 + i;
    int32_t pred = 0;
    for (int32_t j = 0; j < order; ++j) pred = macw16(pred, newest[-j], aQ12[j]);
    const int32_t y = addw(in[i], pred);
    out[i] = y;
    lpcBuffer[16 + i] = shlw(y, 4);
  }
}

uint32_t Magnitude(int32_t x) {
  return x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
}

}  // namespace

void SilkLpcSynthesis(int32_t* lpcBuffer, const int16_t* aQ12, int32_t L, int32_t n,
                      const int32_t* in, int32_t* out) {
  if (L == 16) {
    LpcSynthesisFixed<16>(lpcBuffer, aQ12, n, in, out);
  } else if (L == 10) {
    LpcSynthesisFixed<10>(lpcBuffer, aQ12, n, in, out);
  } else {
    // The history holds 16 values; a longer filter would read before it.
    LpcSynthesisAnyOrder(lpcBuffer, aQ12, L < 0 ? 0 : (L > 16 ? 16 : L), n, in, out);
  }
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

  // Excitation: pulse plus quantisation offset, with a pseudo-random sign.
  // The sign flip covers the offset too; the seed then absorbs the pulse.
  int32_t seed = params->excitationSeed;
  for (int32_t i = 0; i < frameLength; ++i) {
    seed = lcgNext(seed);
    int32_t e = addw(shlw(pulses[i], 10), offsetQ10);
    const int32_t sign = seed >> 31;  // 0 or -1
    e = subw(e ^ sign, sign);
    state->excitation[i] = e;
    seed = addw(seed, pulses[i]);
  }

  int16_t a[16];
  int16_t history[kSilkMaxFrameLength];  // re-whitened output, indexed like the frame
  int32_t whitenState[16];
  int32_t v[120];  // one synthesised subframe before gain scaling, Q10
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
      if ((k & (3 - 2 * interpolated)) == 0) {
        // Re-whiten the newest lag + 2 output samples with this subframe's
        // filter; the first `order` samples of the span warm the filter up.
        // A malformed lag may ask for more history than the frame holds: the
        // span then starts at the frame start.
        int32_t start = frameLength - lag - order - 2;
        if (start < 0) start = 0;
        if (start > frameLength) start = frameLength;
        std::memset(whitenState, 0, sizeof(whitenState));
        SilkLpcAnalysisFilter(state->outputHistory + start + k * sub, a, whitenState,
                              history + start, frameLength - start, order);

        int32_t invGainQ32 = shlw(invGain, 16);
        if (k == 0) invGainQ32 = shlw(mulw16(invGainQ32, params->ltpScaleFactor), 2);
        for (int32_t i = 0; i <= lag + 1; ++i) {
          const int32_t pos = ltpPos - 1 - i;
          if (pos < 0) break;
          const int32_t h = frameLength - 1 - i;
          ltp[pos] = mulw16(invGainQ32, h >= start ? history[h] : 0);
        }
      } else if (gainAdj != 65536) {
        for (int32_t i = 0; i <= lag + 1; ++i) {
          const int32_t pos = ltpPos - 1 - i;
          if (pos < 0) break;
          ltp[pos] = mulww(gainAdj, ltp[pos]);
        }
      }
    }

    // All 16 history values follow the gain change, whatever the order.
    for (int32_t i = 0; i < 16; ++i) state->lpcBuffer[i] = mulww(gainAdj, state->lpcBuffer[i]);
    state->lastGainInverse = invGain;

    const int32_t* exc = state->excitation + k * sub;
    int32_t* res = state->residual + k * sub;
    if (type == 0) {
      // Five taps centred on the lag: positions lag - 2 ... lag + 2 back.
      for (int32_t i = 0; i < sub; ++i) {
        const int32_t p = ltpPos - lag + 2;
        int32_t pred = mulw16(SilkLtpRead(ltp, p), taps[0]);
        pred = macw16(pred, SilkLtpRead(ltp, p - 1), taps[1]);
        pred = macw16(pred, SilkLtpRead(ltp, p - 2), taps[2]);
        pred = macw16(pred, SilkLtpRead(ltp, p - 3), taps[3]);
        pred = macw16(pred, SilkLtpRead(ltp, p - 4), taps[4]);
        res[i] = addw(exc[i], rshiftRound(pred, 4));
        ltp[ltpPos] = shlw(res[i], 6);
        ++ltpPos;
      }
    } else {
      std::memcpy(res, exc, sizeof(int32_t) * static_cast<size_t>(sub));
    }

    SilkLpcSynthesis(state->lpcBuffer, a, order, sub, res, v);
    int16_t* dst = state->outputHistory + frameLength + k * sub;
    for (int32_t i = 0; i < sub; ++i) {
      dst[i] = static_cast<int16_t>(sat16(rshiftRound(mulww(v[i], gain), 10)));
    }
    std::memmove(state->lpcBuffer, state->lpcBuffer + sub, sizeof(int32_t) * 16);
  }

  std::memcpy(out, state->outputHistory + frameLength, sizeof(int16_t) * static_cast<size_t>(frameLength));
}
