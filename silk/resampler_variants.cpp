// Core variants of the resampler for ratios other than 1 and 2:
//  - the fractional variant: 2x all-pass up-sampling or a 4th-order ARMA
//    pre-filter, then a 6-tap, 144-phase interpolator;
//  - the decimating variant: optional 2x all-pass down-sampling, a 2nd-order
//    AR pre-filter, then a 12-tap FIR with 1 to 3 phases.
// Every block starts interpolating at position 0; the last pre-filtered
// samples are carried into the next block (and call) as history.
#include <cstring>

#include "silk/filter_kernels.h"
#include "silk/primitives.h"
#include "silk/resampler.h"

#if SILK_KERNELS_SSE2
#include <emmintrin.h>
#endif
#include "silk/trained_tables.h"

namespace {

constexpr int32_t kMaxBlockLen = 480;
constexpr int32_t kFracHistory = 6;
constexpr int32_t kDecimHistory = 12;

// The fractional variant keeps its six 16-bit history samples in the first
// three words of firHistory, two per word, earlier sample in the low half.
void LoadFracHistory(const int32_t* words, int16_t* buf) {
  for (int32_t i = 0; i < kFracHistory / 2; i++) {
    const uint32_t w = static_cast<uint32_t>(words[i]);
    buf[2 * i] = static_cast<int16_t>(w & 0xFFFFu);
    buf[2 * i + 1] = static_cast<int16_t>(w >> 16);
  }
}

void StoreFracHistory(int32_t* words, const int16_t* buf) {
  for (int32_t i = 0; i < kFracHistory / 2; i++) {
    const uint32_t lo = static_cast<uint16_t>(buf[2 * i]);
    const uint32_t hi = static_cast<uint16_t>(buf[2 * i + 1]);
    words[i] = static_cast<int32_t>(lo | (hi << 16));
  }
}

#if SILK_KERNELS_SSE2
// The interpolation kernel laid out for pmaddwd: row r holds the six taps of
// phase r in the order they meet the samples, then two zeros.
struct Interp144Rows {
  alignas(16) int16_t taps[144][8];
};

void BuildInterp144Rows(Interp144Rows* rows) {
  const int16_t* T = SilkResamplerInterp144;
  for (int32_t r = 0; r < 144; ++r) {
    const int16_t* lo = T + 3 * r;
    const int16_t* hi = T + 3 * (143 - r);
    int16_t* row = rows->taps[r];
    row[0] = lo[0];
    row[1] = lo[1];
    row[2] = lo[2];
    row[3] = hi[2];
    row[4] = hi[1];
    row[5] = hi[0];
    row[6] = 0;
    row[7] = 0;
  }
}

// SilkInterpolate144 for a buffer with two more readable samples after the
// last six it needs: the six products go into one pmaddwd (16 x 16 bits,
// summed modulo 2^32 as in the scalar chain) whose two extra lanes have zero
// coefficients.
int16_t* Interpolate144Padded(const Interp144Rows& rows, int16_t* out, const int16_t* buf,
                              int32_t maxQ16, int32_t stepQ16) {
  for (int32_t pos = 0; pos < maxQ16; pos += stepQ16) {
    const int16_t* b = buf + (pos >> 16);
    const int32_t r = mulw16(pos & 0xFFFF, 144);
    const __m128i taps = _mm_load_si128(reinterpret_cast<const __m128i*>(rows.taps[r]));
    __m128i acc = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)), taps);
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0x4E));
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0xB1));
    *out++ = static_cast<int16_t>(sat16(rshiftRound(_mm_cvtsi128_si32(acc), 15)));
  }
  return out;
}
#endif

}  // namespace

int16_t* SilkResampleFractional(SilkResamplerState* state, int16_t* out, const int16_t* in,
                                int32_t inLen) {
  // Two spare samples at the end for the interpolator's vector reads.
  int16_t buf[2 * kMaxBlockLen + kFracHistory + 2] = {};
  const int32_t i2x = state->intermediate2x;
#if SILK_KERNELS_SSE2
  Interp144Rows rows;
  BuildInterp144Rows(&rows);
#endif
  LoadFracHistory(state->firHistory, buf);

  int32_t n = 0;
  for (;;) {
    n = inLen < state->blockLen ? inLen : state->blockLen;
    if (n < 0) n = 0;
    if (i2x) {
      if (state->up2Fn == kSilkUp2Coarse) {
        SilkUpsample2Coarse(state->iirState, buf + kFracHistory, in, n);
      } else {
        SilkUpsample2Fine(state->iirState, buf + kFracHistory, in, n);
      }
    } else {
      SilkArma4Filter(state->iirState, buf + kFracHistory, in, state->filterTable, n);
    }
    const int32_t maxQ16 = n << (16 + i2x);
#if SILK_KERNELS_SSE2
    out = Interpolate144Padded(rows, out, buf, maxQ16, state->stepQ16);
#else
    out = SilkInterpolate144(out, buf, maxQ16, state->stepQ16);
#endif
    in += n;
    inLen -= n;
    if (inLen <= 0) break;
    std::memmove(buf, buf + (n << i2x), kFracHistory * sizeof(int16_t));
  }
  StoreFracHistory(state->firHistory, buf + (n << i2x));
  return out;
}

// Interpolates buf at positions 0, step, 2*step, ... below maxQ16 (Q16) with
// a 6-tap kernel; phase r uses row r for the first three taps and row 143 - r,
// reversed, for the last three.
int16_t* SilkInterpolate144(int16_t* out, const int16_t* buf, int32_t maxQ16, int32_t stepQ16) {
  const int16_t* T = SilkResamplerInterp144;
  for (int32_t pos = 0; pos < maxQ16; pos += stepQ16) {
    const int16_t* b = buf + (pos >> 16);
    const int32_t r = mulw16(pos & 0xFFFF, 144);
    const int16_t* lo = T + 3 * r;
    const int16_t* hi = T + 3 * (143 - r);
    int32_t acc = mul16(b[0], lo[0]);
    acc = mac16(acc, b[1], lo[1]);
    acc = mac16(acc, b[2], lo[2]);
    acc = mac16(acc, b[3], hi[2]);
    acc = mac16(acc, b[4], hi[1]);
    acc = mac16(acc, b[5], hi[0]);
    *out++ = static_cast<int16_t>(sat16(rshiftRound(acc, 15)));
  }
  return out;
}

void SilkArma4Filter(int32_t* S, int16_t* out, const int16_t* in, const int16_t* K, int32_t len) {
  for (int32_t k = 0; k < len; k++) {
    const int32_t inQ8 = shlw(in[k], 8);
    const int32_t out1 = addw(inQ8, shlw(S[0], 2));
    const int32_t out2 = addw(out1, shlw(S[2], 2));
    // S[1] and S[3] are read before they are overwritten below.
    S[0] = macw16(macw16(S[1], inQ8, K[0]), out1, K[2]);
    S[2] = macw16(macw16(S[3], out1, K[1]), out2, K[4]);
    S[1] = macw16(inQ8 >> 2, out1, K[3]);
    S[3] = macw16(out1 >> 2, out2, K[5]);
    out[k] = static_cast<int16_t>(sat16(macw16(128, out2, K[6]) >> 8));
  }
}

int16_t* SilkResampleDecimate(SilkResamplerState* state, int16_t* out, const int16_t* in,
                              int32_t inLen) {
  int32_t buf[kMaxBlockLen + kDecimHistory];
  int16_t half[kMaxBlockLen / 2];
  const int32_t i2x = state->intermediate2x;
  const int16_t* A = state->filterTable;
  const int16_t* F = state->filterTable + 2;
  std::memcpy(buf, state->firHistory, kDecimHistory * sizeof(int32_t));

  int32_t n = 0;
  for (;;) {
    n = inLen < state->blockLen ? inLen : state->blockLen;
    if (n < 0) n = 0;
    if (i2x) {
      // An odd sample at the end of the block is left in the input and
      // becomes the first sample of the next block.
      SilkDownsample2(state->down2State, half, in, n);
      n >>= 1;
      SilkAr2Filter(state->iirState, buf + kDecimHistory, half, A, n);
    } else {
      SilkAr2Filter(state->iirState, buf + kDecimHistory, in, A, n);
    }
    const int32_t maxQ16 = n << 16;
    out = SilkDecimateFir(out, buf, F, maxQ16, state->stepQ16, state->firPhases);
    in += n << i2x;
    inLen -= n << i2x;
    // A single sample left over after 2x down-sampling is dropped.
    if (inLen <= i2x) break;
    std::memmove(buf, buf + n, kDecimHistory * sizeof(int32_t));
  }
  std::memcpy(state->firHistory, buf + n, kDecimHistory * sizeof(int32_t));
  return out;
}

void SilkAr2Filter(int32_t* S, int32_t* outQ8, const int16_t* in, const int16_t* A, int32_t len) {
  for (int32_t k = 0; k < len; k++) {
    const int32_t y = addw(S[0], shlw(in[k], 8));
    outQ8[k] = y;
    const int32_t t = shlw(y, 2);
    S[0] = macw16(S[1], t, A[0]);
    S[1] = mulw16(t, A[1]);
  }
}

// Evaluates the symmetric 12-tap FIR at positions 0, step, ... below maxQ16.
// With several phases, phase p takes row p for the first six taps and row
// phases - 1 - p for the last six, mirrored.
int16_t* SilkDecimateFir(int16_t* out, const int32_t* buf, const int16_t* F, int32_t maxQ16,
                         int32_t stepQ16, int32_t phases) {
  for (int32_t pos = 0; pos < maxQ16; pos += stepQ16) {
    const int32_t* b = buf + (pos >> 16);
    int32_t acc = 0;
    if (phases == 1) {
      for (int32_t j = 0; j < 6; j++) acc = macw16(acc, addw(b[j], b[11 - j]), F[j]);
    } else {
      const int32_t p = mulw16(pos & 0xFFFF, phases);
      const int16_t* lo = F + 6 * p;
      const int16_t* hi = F + 6 * (phases - 1 - p);
      for (int32_t j = 0; j < 6; j++) acc = macw16(acc, b[j], lo[j]);
      for (int32_t j = 0; j < 6; j++) acc = macw16(acc, b[11 - j], hi[j]);
    }
    *out++ = static_cast<int16_t>(sat16(rshiftRound(acc, 6)));
  }
  return out;
}
