// Core synthesis of one good frame: excitation from the pulses, pitch
// prediction in voiced subframes, short-term synthesis and gain scaling.

#include "synthesis.h"

#include <cstring>

#include "lpc.h"
#include "primitives.h"
#include "silk_decoder.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Short-term synthesis: y[i] = in[i] + sum over j < order of
// mulw16(v[i-1-j], a[j]), v = y << 4 kept in lpcBuffer. The sum wraps modulo
// 2^32 like the scalar chain of macw16, so its terms may be added in any order.

#if defined(__SSE2__)

// With SSE2 each term is split as mulw16(v, a) = (v >> 16) * a +
// floor((v & 0xFFFF) * a / 65536). The first part is a 16 x 16 product
// (pmaddwd). In the second, the low half read as a signed value l gives
// floor(l * a / 65536) (pmulhw), plus a when l is negative (the unsigned low
// half is l + 65536); that part always fits in 16 bits. The filter keeps the
// older taps in two sliding windows (high and low halves, 16 lanes each) and
// adds the two newest taps in scalar code, so the window work of one sample
// does not wait for the samples just before it.
//
// With kScaled the kernel also writes the gain-scaled 16-bit output
// dst[i] = sat16(rshiftRound(mulww(y[i], gain), 10)) instead of out[i].
template <bool kScaled>
void LpcSynthesisSse2(int32_t* lpcBuffer, const int16_t* aQ12, int32_t order, int32_t n,
                      const int32_t* in, int32_t* out, int32_t gain, int16_t* dst) {
  // Window lane m holds v[i-18+m] for output i; its coefficient is a[17-m]
  // (none for lanes 0 and 1). Coefficients beyond the order are zero.
  alignas(16) int16_t coef[16] = {};
  for (int32_t m = 2; m < 16; ++m) {
    if (17 - m < order) coef[m] = aQ12[17 - m];
  }
  const int32_t a0 = order > 0 ? aQ12[0] : 0;
  const int32_t a1 = order > 1 ? aQ12[1] : 0;
  const __m128i c0 = _mm_load_si128(reinterpret_cast<const __m128i*>(coef));
  const __m128i c1 = _mm_load_si128(reinterpret_cast<const __m128i*>(coef + 8));
  const __m128i ones = _mm_set1_epi16(1);

  // Before the first shift the windows hold v[-19..-4]: the history minus its
  // three newest values, which enter as `older`, `prev` and `last`.
  alignas(16) int16_t hiInit[16] = {};
  alignas(16) int16_t loInit[16] = {};
  for (int32_t m = 3; m < 16; ++m) {
    hiInit[m] = static_cast<int16_t>(lpcBuffer[m - 3] >> 16);
    loInit[m] = static_cast<int16_t>(lpcBuffer[m - 3] & 0xFFFF);
  }
  __m128i h0 = _mm_load_si128(reinterpret_cast<const __m128i*>(hiInit));
  __m128i h1 = _mm_load_si128(reinterpret_cast<const __m128i*>(hiInit + 8));
  __m128i l0 = _mm_load_si128(reinterpret_cast<const __m128i*>(loInit));
  __m128i l1 = _mm_load_si128(reinterpret_cast<const __m128i*>(loInit + 8));
  int32_t older = lpcBuffer[13];
  int32_t prev = lpcBuffer[14];
  int32_t last = lpcBuffer[15];

  for (int32_t i = 0; i < n; ++i) {
    h0 = _mm_or_si128(_mm_srli_si128(h0, 2), _mm_slli_si128(h1, 14));
    h1 = _mm_insert_epi16(_mm_srli_si128(h1, 2), older >> 16, 7);
    l0 = _mm_or_si128(_mm_srli_si128(l0, 2), _mm_slli_si128(l1, 14));
    l1 = _mm_insert_epi16(_mm_srli_si128(l1, 2), older & 0xFFFF, 7);

    __m128i acc = _mm_add_epi32(_mm_madd_epi16(h0, c0), _mm_madd_epi16(h1, c1));
    const __m128i f0 =
        _mm_add_epi16(_mm_mulhi_epi16(l0, c0), _mm_and_si128(_mm_srai_epi16(l0, 15), c0));
    const __m128i f1 =
        _mm_add_epi16(_mm_mulhi_epi16(l1, c1), _mm_and_si128(_mm_srai_epi16(l1, 15), c1));
    acc = _mm_add_epi32(acc, _mm_add_epi32(_mm_madd_epi16(f0, ones), _mm_madd_epi16(f1, ones)));
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0x4E));
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0xB1));

    // The input and the older terms first; the newest term last, so that the
    // chain from one sample to the next is a single product and two additions.
    const int32_t rest = addw(macw16(_mm_cvtsi128_si32(acc), prev, a1), in[i]);
    const int32_t y = macw16(rest, last, a0);
    const int32_t v = shlw(y, 4);
    lpcBuffer[16 + i] = v;
    if constexpr (kScaled) {
      dst[i] = static_cast<int16_t>(sat16(rshiftRound(mulww(y, gain), 10)));
    } else {
      out[i] = y;
    }
    older = prev;
    prev = last;
    last = v;
  }
}

#else

// Portable form: the order fixed at compile time, so that the coefficient
// loop unrolls and the coefficients stay in registers.
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

#endif

// Whitening of the samples x[from..to) of a span that starts at x[start]:
// the prediction error of the order-`order` filter a, rounded back from Q12
// and saturated, with silence before the span. As a direct-form sum this
// equals the shift-register form of SilkLpcAnalysisFilter started from a zero
// state at the span start (the products are 16 x 16 bits and the sums wrap
// modulo 2^32 either way). `span` holds 16 zeros, then x[start], x[start+1],
// ...; out is indexed like x.
void WhitenSpan(const int16_t* span, int32_t start, const int16_t* aQ12, int32_t order,
                int32_t from, int32_t to, int16_t* out) {
  // Lane m of the window ending before sample h holds x[h-16+m], the
  // coefficient a[15-m].
  alignas(16) int16_t coef[16] = {};
  for (int32_t m = 0; m < 16; ++m) {
    if (15 - m < order) coef[m] = aQ12[15 - m];
  }
#if defined(__SSE2__)
  const __m128i c0 = _mm_load_si128(reinterpret_cast<const __m128i*>(coef));
  const __m128i c1 = _mm_load_si128(reinterpret_cast<const __m128i*>(coef + 8));
  for (int32_t h = from; h < to; ++h) {
    // x[h - 16 + m] is span[h - start + m].
    const int16_t* w = span + (h - start);
    const __m128i w0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w));
    const __m128i w1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8));
    __m128i acc = _mm_add_epi32(_mm_madd_epi16(w0, c0), _mm_madd_epi16(w1, c1));
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0x4E));
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0xB1));
    const int32_t pred = _mm_cvtsi128_si32(acc);
    out[h] = static_cast<int16_t>(sat16(rshiftRound(subw(shlw(w[16], 12), pred), 12)));
  }
#else
  for (int32_t h = from; h < to; ++h) {
    const int16_t* w = span + (h - start);
    int32_t pred = 0;
    for (int32_t m = 0; m < 16; ++m) pred = addw(pred, w[m] * coef[m]);
    out[h] = static_cast<int16_t>(sat16(rshiftRound(subw(shlw(w[16], 12), pred), 12)));
  }
#endif
}

uint32_t Magnitude(int32_t x) {
  return x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
}

}  // namespace

void SilkLpcSynthesis(int32_t* lpcBuffer, const int16_t* aQ12, int32_t L, int32_t n,
                      const int32_t* in, int32_t* out) {
  // The history holds 16 values; a longer filter would read before it.
  const int32_t order = L < 0 ? 0 : (L > 16 ? 16 : L);
#if defined(__SSE2__)
  LpcSynthesisSse2<false>(lpcBuffer, aQ12, order, n, in, out, 0, nullptr);
#else
  if (order == 16) {
    LpcSynthesisFixed<16>(lpcBuffer, aQ12, n, in, out);
  } else if (order == 10) {
    LpcSynthesisFixed<10>(lpcBuffer, aQ12, n, in, out);
  } else {
    LpcSynthesisAnyOrder(lpcBuffer, aQ12, order, n, in, out);
  }
#endif
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
  // Output history to re-whiten, behind 16 zeros: samples before the span's
  // start count as silence.
  alignas(16) int16_t span[16 + kSilkMaxFrameLength];
  int16_t history[kSilkMaxFrameLength];  // re-whitened output, indexed like the frame
#if !defined(__SSE2__)
  int32_t v[120];  // one synthesised subframe before gain scaling, Q10
#endif
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
        WhitenSpan(span, start, a, order, from, frameLength, history);

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
        const int32_t* p = ltp + first;
        for (int32_t i = 0; i < sub; ++i) {
          int32_t pred = mulw16(p[i], t0);
          pred = macw16(pred, p[i - 1], t1);
          pred = macw16(pred, p[i - 2], t2);
          pred = macw16(pred, p[i - 3], t3);
          pred = macw16(pred, p[i - 4], t4);
          res[i] = addw(exc[i], rshiftRound(pred, 4));
          ltp[ltpPos + i] = shlw(res[i], 6);
        }
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
#if defined(__SSE2__)
    LpcSynthesisSse2<true>(state->lpcBuffer, a, order, sub, res, nullptr, gain, dst);
#else
    SilkLpcSynthesis(state->lpcBuffer, a, order, sub, res, v);
    for (int32_t i = 0; i < sub; ++i) {
      dst[i] = static_cast<int16_t>(sat16(rshiftRound(mulww(v[i], gain), 10)));
    }
#endif
    std::memmove(state->lpcBuffer, state->lpcBuffer + sub, sizeof(int32_t) * 16);
  }

  std::memcpy(out, state->outputHistory + frameLength, sizeof(int16_t) * static_cast<size_t>(frameLength));
}
