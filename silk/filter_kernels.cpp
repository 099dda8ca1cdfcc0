#include "silk/filter_kernels.h"

#include "silk/primitives.h"

#if SILK_KERNELS_SSE2
#include <emmintrin.h>
#endif

// How the vector forms compute mulw16(v, a) = floor(v a / 65536) for a
// 32-bit v and a 16-bit a: v = (v >> 16) 65536 + (v & 0xFFFF), so
//   mulw16(v, a) = (v >> 16) a + floor((v & 0xFFFF) a / 65536).
// The first part is a 16 x 16 product (pmaddwd). For the second, the low
// half read as a signed value l gives floor(l a / 65536) (pmulhw), plus a
// when l is negative (the unsigned low half is then l + 65536); that part
// always fits in 16 bits. Products and sums wrap modulo 2^32 exactly as the
// scalar chains of macw16 do, so the terms may be added in any order.

namespace {

#if SILK_KERNELS_SSE2

// The synthesis filter keeps the older taps in two sliding windows (high
// and low halves, 16 lanes each) and adds the two newest taps in scalar
// code, so the window work of one sample does not wait for the samples just
// before it.
void LpcSynthesisSse2(int32_t* lpcBuffer, const int16_t* aQ12, int32_t order, int32_t n,
                      const int32_t* in, int32_t* out) {
  // Window lane m holds v[i-18+m] for output i; its coefficient is a[17-m]
  // (none for lanes 0 and 1). Coefficients beyond the order are zero.
  alignas(16) int16_t coef[16] = {};
  for (int32_t m = 2; m < 16; ++m) {
    if (17 - m < order) coef[m] = aQ12[17 - m];
  }
  const int32_t a0 = order > 0 ? aQ12[0] : 0;
  const int32_t a1 = order > 1 ? aQ12[1] : 0;
  const int32_t a0Up = shlw(a0, 16);  // mulw16(v, a0) as a high word
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
    const int32_t y = addw(rest, SilkMulHigh32(last, a0Up));
    const int32_t v = shlw(y, 4);
    lpcBuffer[16 + i] = v;
    out[i] = y;
    older = prev;
    prev = last;
    last = v;
  }
}

// dst[i] = sat16(rshiftRound(mulww(y[i], gain), 10)), four at a time.
// With g = gh 2^16 + gl and y = yh 2^16 + yl (gh, yh signed; gl, yl the
// unsigned low halves), floor(y g / 2^16) = y gh + yh gl + floor(yl gl / 2^16)
// exactly, and only its low 32 bits are wanted. Per 32-bit lane, pmaddwd
// gives yh gh (shifted up by 16 afterwards), yl gh and yh gl with the low
// halves read as signed values; each of those is corrected by the factor
// times 2^16 where the low half reads negative. pmulhuw gives
// floor(yl gl / 2^16).
void ScaleToInt16(const int32_t* y, int32_t n, int32_t gain, int16_t* dst) {
  const int32_t gh = gain >> 16;
  const int32_t gl = gain & 0xFFFF;
  auto lanePair = [](int32_t lo, int32_t hi) {
    return _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(hi) << 16) |
                                               (static_cast<uint32_t>(lo) & 0xFFFFu)));
  };
  const __m128i hiGh = lanePair(0, gh);  // yh gh
  const __m128i loGh = lanePair(gh, 0);  // yl gh
  const __m128i hiGl = lanePair(0, gl);  // yh gl
  const __m128i loGlU = lanePair(gl, 0);  // for pmulhuw: yl gl
  const __m128i ghUp = _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(gh) << 16));
  // yh 2^16 is added when gl reads negative as a 16-bit value.
  const __m128i glNeg = _mm_set1_epi32((gl & 0x8000) != 0 ? static_cast<int32_t>(0xFFFF0000u) : 0);
  const __m128i one = _mm_set1_epi32(1);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m128i r[2];
    for (int h = 0; h < 2; ++h) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + i + 4 * h));
      const __m128i ylNeg = _mm_srai_epi32(_mm_slli_epi32(v, 16), 31);
      __m128i p = _mm_slli_epi32(_mm_madd_epi16(v, hiGh), 16);
      p = _mm_add_epi32(p, _mm_madd_epi16(v, loGh));
      p = _mm_add_epi32(p, _mm_and_si128(ylNeg, ghUp));
      p = _mm_add_epi32(p, _mm_madd_epi16(v, hiGl));
      p = _mm_add_epi32(p, _mm_and_si128(v, glNeg));
      p = _mm_add_epi32(p, _mm_mulhi_epu16(v, loGlU));
      // rshiftRound(p, 10) = ((p >> 9) + 1) >> 1
      r[h] = _mm_srai_epi32(_mm_add_epi32(_mm_srai_epi32(p, 9), one), 1);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packs_epi32(r[0], r[1]));
  }
  for (; i < n; ++i) dst[i] = static_cast<int16_t>(sat16(rshiftRound(mulww(y[i], gain), 10)));
}

#else

// Portable form: the order fixed at compile time where it can be, so that
// the coefficient loop unrolls and the coefficients stay in registers.
template <int Order>
void LpcSynthesisFixed(int32_t* lpcBuffer, const int16_t* aQ12, int32_t order, int32_t n,
                       const int32_t* in, int32_t* out) {
  int32_t a[Order];
  for (int j = 0; j < Order; ++j) a[j] = j < order ? aQ12[j] : 0;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t* newest = lpcBuffer + 15 + i;
    int32_t pred = 0;
    for (int j = 0; j < Order; ++j) pred = macw16(pred, newest[-j], a[j]);
    const int32_t y = addw(in[i], pred);
    out[i] = y;
    lpcBuffer[16 + i] = shlw(y, 4);
  }
}

void LpcSynthesisPortable(int32_t* lpcBuffer, const int16_t* aQ12, int32_t order, int32_t n,
                          const int32_t* in, int32_t* out) {
  if (order <= 10) {
    LpcSynthesisFixed<10>(lpcBuffer, aQ12, order, n, in, out);
  } else {
    LpcSynthesisFixed<16>(lpcBuffer, aQ12, order, n, in, out);
  }
}

#endif

}  // namespace

void SilkLpcSynthesisKernel(int32_t* lpcBuffer, const int16_t* aQ12, int32_t order, int32_t n,
                            const int32_t* in, int32_t* out) {
#if SILK_KERNELS_SSE2
  LpcSynthesisSse2(lpcBuffer, aQ12, order, n, in, out);
#else
  LpcSynthesisPortable(lpcBuffer, aQ12, order, n, in, out);
#endif
}

void SilkLpcSynthesisScaled(int32_t* lpcBuffer, const int16_t* aQ12, int32_t order, int32_t n,
                            const int32_t* in, int32_t gain, int16_t* dst) {
  int32_t y[120];
#if SILK_KERNELS_SSE2
  for (int32_t done = 0; done < n; done += 120) {
    const int32_t m = n - done < 120 ? n - done : 120;
    LpcSynthesisSse2(lpcBuffer + done, aQ12, order, m, in + done, y);
    ScaleToInt16(y, m, gain, dst + done);
  }
#else
  for (int32_t done = 0; done < n; done += 120) {
    const int32_t m = n - done < 120 ? n - done : 120;
    LpcSynthesisPortable(lpcBuffer + done, aQ12, order, m, in + done, y);
    for (int32_t i = 0; i < m; ++i) {
      dst[done + i] = static_cast<int16_t>(sat16(rshiftRound(mulww(y[i], gain), 10)));
    }
  }
#endif
}

void SilkWhitenSpan(const int16_t* span, int32_t start, const int16_t* aQ12, int32_t order,
                    int32_t from, int32_t to, int16_t* out) {
  // Lane m of the window ending before sample h holds x[h-16+m] and gets the
  // coefficient a[15-m].
  alignas(16) int16_t coef[16] = {};
  for (int32_t m = 0; m < 16; ++m) {
    if (15 - m < order) coef[m] = aQ12[15 - m];
  }
  int32_t h = from;
#if SILK_KERNELS_SSE2
  const __m128i c0 = _mm_load_si128(reinterpret_cast<const __m128i*>(coef));
  const __m128i c1 = _mm_load_si128(reinterpret_cast<const __m128i*>(coef + 8));
  const __m128i one = _mm_set1_epi32(1);
  // Four samples at a time: four windows, their sums gathered into one
  // vector, then the rounding and saturation of all four.
  for (; h + 4 <= to; h += 4) {
    const int16_t* w = span + (h - start);
    __m128i acc[4];
    for (int32_t r = 0; r < 4; ++r) {
      const __m128i w0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + r));
      const __m128i w1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + r + 8));
      acc[r] = _mm_add_epi32(_mm_madd_epi16(w0, c0), _mm_madd_epi16(w1, c1));
    }
    const __m128i t0 = _mm_add_epi32(_mm_unpacklo_epi32(acc[0], acc[1]),
                                     _mm_unpackhi_epi32(acc[0], acc[1]));
    const __m128i t1 = _mm_add_epi32(_mm_unpacklo_epi32(acc[2], acc[3]),
                                     _mm_unpackhi_epi32(acc[2], acc[3]));
    const __m128i pred = _mm_add_epi32(_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1));
    // x[h .. h+3], sign-extended, in Q12.
    const __m128i x16 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w + 16));
    const __m128i x = _mm_srai_epi32(_mm_unpacklo_epi16(x16, x16), 16);
    const __m128i e = _mm_sub_epi32(_mm_slli_epi32(x, 12), pred);
    // rshiftRound(e, 12) = ((e >> 11) + 1) >> 1, then saturated to 16 bits.
    const __m128i r = _mm_srai_epi32(_mm_add_epi32(_mm_srai_epi32(e, 11), one), 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + h), _mm_packs_epi32(r, r));
  }
#endif
  for (; h < to; ++h) {
    // x[h - 16 + m] is w[m], x[h] is w[16].
    const int16_t* w = span + (h - start);
    int32_t pred = 0;
    for (int32_t m = 0; m < 16; ++m) pred = addw(pred, w[m] * coef[m]);
    out[h] = static_cast<int16_t>(sat16(rshiftRound(subw(shlw(w[16], 12), pred), 12)));
  }
}

void SilkPitchFilter(const int32_t* p, const int16_t* taps, const int32_t* exc, int32_t* res,
                     int32_t* next, int32_t n) {
  const int32_t t0 = taps[0], t1 = taps[1], t2 = taps[2], t3 = taps[3], t4 = taps[4];
  int32_t i = 0;
#if SILK_KERNELS_SSE2
  // Four outputs at a time when none of them reads what another writes: the
  // newest position read, p + i + 3, lies before next + i.
  if (next - p >= 4) {
    // Per 32-bit lane: (v >> 16) t from pmaddwd with (0, t); the low half's
    // share from pmulhw with (t, 0) plus t where the low half reads negative,
    // sign-extended by pmaddwd with (1, 0).
    auto lanePair = [](int32_t lo, int32_t hi) {
      return _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(hi) << 16) |
                                                 (static_cast<uint32_t>(lo) & 0xFFFFu)));
    };
    const __m128i unitLow = lanePair(1, 0);
    const __m128i hiT[5] = {lanePair(0, t0), lanePair(0, t1), lanePair(0, t2), lanePair(0, t3),
                            lanePair(0, t4)};
    const __m128i loT[5] = {lanePair(t0, 0), lanePair(t1, 0), lanePair(t2, 0), lanePair(t3, 0),
                            lanePair(t4, 0)};
    const __m128i one = _mm_set1_epi32(1);
    for (; i + 4 <= n; i += 4) {
      __m128i pred = _mm_setzero_si128();
      for (int j = 0; j < 5; ++j) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i - j));
        const __m128i low = _mm_add_epi16(_mm_mulhi_epi16(v, loT[j]),
                                          _mm_and_si128(_mm_srai_epi16(v, 15), loT[j]));
        pred = _mm_add_epi32(pred, _mm_add_epi32(_mm_madd_epi16(v, hiT[j]),
                                                 _mm_madd_epi16(low, unitLow)));
      }
      // rshiftRound(pred, 4) = ((pred >> 3) + 1) >> 1
      const __m128i rounded = _mm_srai_epi32(_mm_add_epi32(_mm_srai_epi32(pred, 3), one), 1);
      const __m128i r =
          _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(exc + i)), rounded);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(res + i), r);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(next + i), _mm_slli_epi32(r, 6));
    }
  }
#endif
  for (; i < n; ++i) {
    int32_t pred = mulw16(p[i], t0);
    pred = macw16(pred, p[i - 1], t1);
    pred = macw16(pred, p[i - 2], t2);
    pred = macw16(pred, p[i - 3], t3);
    pred = macw16(pred, p[i - 4], t4);
    res[i] = addw(exc[i], rshiftRound(pred, 4));
    next[i] = shlw(res[i], 6);
  }
}

void SilkBuildExcitation(int32_t* exc, const int32_t* pulses, int32_t n, int32_t seed,
                         int32_t offsetQ10) {
  // Two samples per step: t[i+1] = lcgNext(lcgNext(u) + p[i]) expands
  // (modulo 2^32) into C + B^2 u + B p[i], so that the chain from one pair
  // to the next is one product and two additions.
  constexpr uint32_t kLcgA = 907633515u;
  constexpr uint32_t kLcgB = 196314165u;
  constexpr auto kLcgB2 = static_cast<int32_t>(kLcgB * kLcgB);
  constexpr auto kLcgC = static_cast<int32_t>(kLcgA + kLcgA * kLcgB);
  auto signedExcitation = [offsetQ10](int32_t pulse, int32_t t) {
    const int32_t e = addw(shlw(pulse, 10), offsetQ10);
    const int32_t sign = t >> 31;  // 0 or -1
    return subw(e ^ sign, sign);
  };
  int32_t u = seed;
  int32_t i = 0;
  for (; i + 1 < n; i += 2) {
    const int32_t p0 = pulses[i];
    const int32_t p1 = pulses[i + 1];
    const int32_t t0 = lcgNext(u);
    const int32_t t1 = addw(addw(kLcgC, mulw(p0, static_cast<int32_t>(kLcgB))), mulw(u, kLcgB2));
    exc[i] = signedExcitation(p0, t0);
    exc[i + 1] = signedExcitation(p1, t1);
    u = addw(t1, p1);
  }
  for (; i < n; ++i) {
    const int32_t t = lcgNext(u);
    exc[i] = signedExcitation(pulses[i], t);
    u = addw(t, pulses[i]);
  }
}
