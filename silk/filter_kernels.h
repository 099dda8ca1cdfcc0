// The per-sample loops of frame synthesis, written for speed: SSE2 vector
// code on x86-64 (the baseline of every x86-64 CPU), a plain portable form
// elsewhere or when TAVIMO_PORTABLE_KERNELS is defined. Both forms give
// exactly the same integers as the scalar definitions they document.
#pragma once

#include <cstdint>

#if defined(__SSE2__) && !defined(TAVIMO_PORTABLE_KERNELS)
#define SILK_KERNELS_SSE2 1
#else
#define SILK_KERNELS_SSE2 0
#endif

// mulhi32(a, b), the high word of the 64-bit product, with a single 32-bit
// multiply on x86-64. Compilers widen to 64 bits and shift back, two more
// steps in the loop-carried chains of the recursive filters; with
// b = c << 16 this is mulw16(a, c).
inline int32_t SilkMulHigh32(int32_t a, int32_t b) {
#if defined(__x86_64__) && defined(__GNUC__) && !defined(TAVIMO_PORTABLE_KERNELS)
  int32_t high;
  int32_t low;
  __asm__("imull %3" : "=d"(high), "=a"(low) : "a"(a), "rm"(b) : "cc");
  return high;
#else
  return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 32);
#endif
}

// Short-term synthesis of n samples: y[i] = in[i] + sum over j < order of
// mulw16(v[i-1-j], a[j]), where v = y << 4 is appended to lpcBuffer (16
// history values, newest last, then room for n). order is 0..16; out may
// be in.
void SilkLpcSynthesisKernel(int32_t* lpcBuffer, const int16_t* aQ12, int32_t order, int32_t n,
                            const int32_t* in, int32_t* out);

// The same filter writing the gain-scaled 16-bit output instead of y:
// dst[i] = sat16(rshiftRound(mulww(y[i], gain), 10)).
void SilkLpcSynthesisScaled(int32_t* lpcBuffer, const int16_t* aQ12, int32_t order, int32_t n,
                            const int32_t* in, int32_t gain, int16_t* dst);

// Prediction error of the order-`order` (0..16) filter a on a span that
// starts at x[start], with silence before it: for h in [from, to),
// out[h] = sat16(rshiftRound((x[h] << 12) - sum over d < order of
// a[d] x[h-1-d], 12)), x[j] = 0 for j < start; from >= start. `span` holds
// 16 zeros, then x[start], x[start+1], ... up to x[to-1]; out is indexed
// like x. The sum wraps modulo 2^32.
void SilkWhitenSpan(const int16_t* span, int32_t start, const int16_t* aQ12, int32_t order,
                    int32_t from, int32_t to, int16_t* out);

// Five-tap pitch prediction of n samples: res[i] = exc[i] +
// rshiftRound(sum over j < 5 of mulw16(p[i-j], taps[j]), 4) and
// next[i] = res[i] << 6, one sample after the other. p[-4 .. n-1] and
// next[0 .. n-1] lie in one history buffer, and what is written to next may
// be read again through p.
void SilkPitchFilter(const int32_t* p, const int16_t* taps, const int32_t* exc, int32_t* res,
                     int32_t* next, int32_t n);

// Excitation of n samples: t[i] = lcgNext(u[i-1]) (u[-1] = seed),
// exc[i] = (pulses[i] << 10) + offsetQ10 with its sign flipped when t[i] is
// negative, u[i] = t[i] + pulses[i].
void SilkBuildExcitation(int32_t* exc, const int32_t* pulses, int32_t n, int32_t seed,
                         int32_t offsetQ10);
