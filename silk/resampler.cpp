// Output resampler: set-up, the entry point with the outer decimation and
// up-sampling stage for rates above 48 kHz, the plain copy and the all-pass
// 2x/4x up- and down-samplers. The fractional and decimating core variants
// live in resampler_variants.cpp.
#include "silk/resampler.h"

#include <cstring>

#include "silk/filter_kernels.h"
#include "silk/primitives.h"

namespace {

constexpr int32_t kMinRateHz = 8000;
constexpr int32_t kMaxRateHz = 192000;
constexpr int32_t kMaxBlockLen = 480;

int32_t Gcd(int32_t a, int32_t b) {
  while (b > 0) {
    const int32_t t = a - b * (a / b);
    a = b;
    b = t;
  }
  return a;
}

// Runs the core variant chosen at set-up on one stretch of input and returns
// the end of its output.
int16_t* RunCore(SilkResamplerState* S, int16_t* out, const int16_t* in, int32_t inLen) {
  switch (S->resampleFn) {
    case kSilkResampleCopy:
      return SilkResampleCopy(S, out, in, inLen);
    case kSilkResampleUp2Fine:
      if (inLen <= 0) return out;
      SilkUpsample2Fine(S->iirState, out, in, inLen);
      return out + 2 * inLen;
    case kSilkResampleFractional:
      return SilkResampleFractional(S, out, in, inLen);
    case kSilkResampleDecimate:
      return SilkResampleDecimate(S, out, in, inLen);
    default:
      return out;
  }
}

void RunPostUpsampler(SilkResamplerState* S, int32_t* memory, int16_t* out, const int16_t* in,
                      int32_t len) {
  if (S->postUpsamplerFn == kSilkPostUp4Coarse) {
    SilkUpsample4Coarse(memory, out, in, len);
  } else {
    SilkUpsample2Coarse(memory, out, in, len);
  }
}

// One section of a first-order all-pass pair: returns the section output and
// updates its memory word.
inline int32_t AllpassSection(int32_t* s, int32_t x, int32_t X) {
  const int32_t y = addw(*s, X);
  *s = addw(x, X);
  return y;
}

}  // namespace

int32_t SilkResamplerInit(SilkResamplerState* state, int32_t inRateHz, int32_t outRateHz) {
  std::memset(state, 0, sizeof(*state));
  state->filterTable = nullptr;
  if (inRateHz < kMinRateHz || inRateHz > kMaxRateHz || outRateHz < kMinRateHz ||
      outRateHz > kMaxRateHz) {
    return -1;
  }

  // Outer stage: rates above 48 kHz are brought into the core's range by
  // all-pass decimation before it or all-pass up-sampling after it.
  if (inRateHz > 96000) {
    state->preDecimateShift = 2;
    state->preDecimatorFn = kSilkPreDown4;
  } else if (inRateHz > 48000) {
    state->preDecimateShift = 1;
    state->preDecimatorFn = kSilkPreDown2;
  }
  if (outRateHz > 96000) {
    state->postUpsampleShift = 2;
    state->postUpsamplerFn = kSilkPostUp4Coarse;
  } else if (outRateHz > 48000) {
    state->postUpsampleShift = 1;
    state->postUpsamplerFn = kSilkPostUp2Coarse;
  }

  int32_t in = inRateHz;
  int32_t out = outRateHz;
  if (state->preDecimateShift + state->postUpsampleShift > 0) {
    // Output/input ratio in Q16, rounded up so that whole blocks are covered.
    int32_t ratio = ((outRateHz << 13) / inRateHz) << 3;
    while (mulww(ratio, inRateHz) < outRateHz) ratio++;
    state->outerRatioQ16 = ratio;
    state->outerBlockLen = inRateHz / 100;
    in = inRateHz >> state->preDecimateShift;
    out = outRateHz >> state->postUpsampleShift;
  }

  // Core blocks are 10 ms, or a whole number of in/gcd(in, out) cycles when
  // 10 ms is not a whole number of samples, so each block starts at phase 0.
  state->blockLen = in / 100;
  if (in % 100 != 0) {
    const int32_t cycleLen = in / Gcd(in, out);
    const int32_t cycles = kMaxBlockLen / cycleLen;
    state->blockLen = cycles > 0 ? cycles * cycleLen : kMaxBlockLen;
  }

  int32_t up2 = 0;
  int32_t down2 = 0;
  const int32_t up2Kind = in > 24000 ? kSilkUp2Coarse : kSilkUp2Fine;
  if (out == in) {
    state->resampleFn = kSilkResampleCopy;
  } else if (out > in) {
    if (out == 2 * in) {
      state->resampleFn = kSilkResampleUp2Fine;
    } else {
      state->resampleFn = kSilkResampleFractional;
      up2 = 1;
      state->up2Fn = up2Kind;
    }
  } else {
    struct DecimateRow {
      int32_t outMul, inMul, phases, down2;
      const int16_t* table;
    };
    static const DecimateRow kDecimateRows[] = {
        {4, 3, 3, 0, SilkResamplerDecim3of4}, {3, 2, 2, 0, SilkResamplerDecim2of3},
        {2, 1, 1, 0, SilkResamplerDecim1of2}, {8, 3, 3, 0, SilkResamplerDecim3of8},
        {3, 1, 1, 0, SilkResamplerDecim1of3}, {4, 1, 1, 1, SilkResamplerDecim1of2},
        {6, 1, 1, 1, SilkResamplerDecim1of3},
    };
    struct ArmaRow {
      int32_t num;
      const int16_t* table;
    };
    static const ArmaRow kArmaRows[] = {
        {80, SilkResamplerArma80of441},   {120, SilkResamplerArma120of441},
        {160, SilkResamplerArma160of441}, {240, SilkResamplerArma240of441},
        {320, SilkResamplerArma320of441},
    };
    bool found = false;
    for (const DecimateRow& r : kDecimateRows) {
      if (r.outMul * out == r.inMul * in) {
        state->resampleFn = kSilkResampleDecimate;
        state->firPhases = r.phases;
        state->filterTable = r.table;
        down2 = r.down2;
        found = true;
        break;
      }
    }
    if (!found) {
      for (const ArmaRow& r : kArmaRows) {
        if (441 * out == r.num * in) {
          state->resampleFn = kSilkResampleFractional;
          state->filterTable = r.table;
          found = true;
          break;
        }
      }
    }
    if (!found) {
      state->resampleFn = kSilkResampleFractional;
      up2 = 1;
      state->up2Fn = up2Kind;
    }
  }
  state->intermediate2x = up2 | down2;

  // Input positions per output sample on the intermediate signal, Q16,
  // rounded up to the first step that covers the whole block.
  int32_t step = ((in << (14 + up2 - down2)) / out) << 2;
  while (mulww(step, out << down2) < (in << up2)) step++;
  state->stepQ16 = step;

  state->initMark = kSilkResamplerInitMark;
  return 0;
}

int32_t SilkResample(SilkResamplerState* state, int16_t* out, const int16_t* in, int32_t inLen) {
  if (state->initMark != kSilkResamplerInitMark) return -1;
  if (state->preDecimateShift + state->postUpsampleShift == 0) {
    RunCore(state, out, in, inLen);
    return 0;
  }

  int16_t a[kMaxBlockLen];
  int16_t b[kMaxBlockLen];
  const int32_t preShift = state->preDecimateShift;
  const int32_t postShift = state->postUpsampleShift;
  while (inLen > 0) {
    // n <= inRate / 100 <= 1920 input samples, at most 480 after the
    // pre-decimator; m <= outRate / 100, so the block's m outputs rest on at
    // most 480 core samples.
    const int32_t n = inLen < state->outerBlockLen ? inLen : state->outerBlockLen;
    const int32_t m = mulw16(state->outerRatioQ16, n);
    const int16_t* coreIn = in;
    if (preShift > 0) {
      if (state->preDecimatorFn == kSilkPreDown4) {
        SilkDownsample4(state->preDecimatorState, a, in, n);
      } else {
        SilkDownsample2(state->preDecimatorState, a, in, n);
      }
      coreIn = a;
    }
    // The core's output goes through b so that each block writes exactly its
    // m samples: where the rates are not whole multiples of each other, or a
    // call ends inside a block, the core may yield a sample more (dropped
    // here instead of being written past the block) or a sample fewer (its
    // last sample is held instead of leaving output or scratch unwritten).
    const int32_t written = static_cast<int32_t>(RunCore(state, b, coreIn, n >> preShift) - b);
    int32_t need = (m + (1 << postShift) - 1) >> postShift;
    if (need > kMaxBlockLen) need = kMaxBlockLen;
    for (int32_t i = written; i < need; i++) b[i] = written > 0 ? b[written - 1] : 0;
    if (postShift > 0) {
      const int32_t k = m >> postShift;
      RunPostUpsampler(state, state->postUpsamplerState, out, b, k);
      // When m is not a multiple of the up-sampling factor, the last outputs
      // come from the next group, computed on a copy of the up-sampler's
      // memory so that the next block continues as if they were not taken.
      const int32_t rest = m - (k << postShift);
      if (rest > 0 && k < kMaxBlockLen) {
        int32_t memory[2] = {state->postUpsamplerState[0], state->postUpsamplerState[1]};
        int16_t group[4];
        RunPostUpsampler(state, memory, group, b + k, 1);
        std::memcpy(out + (k << postShift), group, static_cast<size_t>(rest) * sizeof(int16_t));
      }
    } else {
      std::memcpy(out, b, static_cast<size_t>(need) * sizeof(int16_t));
    }
    in += n;
    out += m;
    inLen -= n;
  }
  return 0;
}

int16_t* SilkResampleCopy(SilkResamplerState* /*state*/, int16_t* out, const int16_t* in,
                          int32_t inLen) {
  if (inLen <= 0) return out;
  std::memcpy(out, in, static_cast<size_t>(inLen) * sizeof(int16_t));
  return out + inLen;
}

// Two all-pass chains per input sample, one per output phase, each followed
// by a notch section whose two memories are shared between the phases. The
// products go through SilkMulHigh32 (mulw16(a, c) = high word of a (c << 16)):
// the filter is a chain of them from sample to sample.
void SilkUpsample2Fine(int32_t* S, int16_t* out, const int16_t* in, int32_t len) {
  auto mul = [](int32_t a, int32_t c) { return SilkMulHigh32(a, static_cast<int32_t>(static_cast<uint32_t>(c) << 16)); };
  int32_t s0 = S[0], s1 = S[1], s2 = S[2], s3 = S[3], s4 = S[4], s5 = S[5];
  for (int32_t k = 0; k < len; k++) {
    const int32_t x = shlw(in[k], 10);

    // Even output.
    int32_t Y = subw(x, s0);
    int32_t X = mul(Y, 4280);
    const int32_t a0 = addw(s0, X);
    s0 = addw(x, X);
    Y = subw(a0, s1);
    X = addw(Y, mul(Y, -31809));
    int32_t b = addw(s1, X);
    s1 = addw(a0, X);
    b = addw(addw(b, mul(s5, 13107)), mul(s4, -3604));
    int32_t c = addw(b, mul(s4, 7864));
    s5 = subw(b, s5);
    out[2 * k] = static_cast<int16_t>(sat16(addw(256, mul(c, 28508)) >> 9));

    // Odd output; its notch sees s5 as just updated.
    Y = subw(x, s2);
    X = mul(Y, 16295);
    const int32_t a1 = addw(s2, X);
    s2 = addw(x, X);
    Y = subw(a1, s3);
    X = addw(Y, mul(Y, -11521));
    b = addw(s3, X);
    s3 = addw(a1, X);
    b = addw(addw(b, mul(s4, 13107)), mul(s5, -3604));
    c = addw(b, mul(s5, 7864));
    s4 = subw(b, s4);
    out[2 * k + 1] = static_cast<int16_t>(sat16(addw(256, mul(c, 28508)) >> 9));
  }
  S[0] = s0;
  S[1] = s1;
  S[2] = s2;
  S[3] = s3;
  S[4] = s4;
  S[5] = s5;
}

void SilkUpsample2Coarse(int32_t* S, int16_t* out, const int16_t* in, int32_t len) {
  for (int32_t k = 0; k < len; k++) {
    const int32_t x = shlw(in[k], 10);
    int32_t Y = subw(x, S[0]);
    int32_t X = mulw16(Y, 8102);
    out[2 * k] = static_cast<int16_t>(sat16(rshiftRound(AllpassSection(&S[0], x, X), 10)));
    Y = subw(x, S[1]);
    X = macw16(Y, Y, -28753);
    out[2 * k + 1] = static_cast<int16_t>(sat16(rshiftRound(AllpassSection(&S[1], x, X), 10)));
  }
}

void SilkUpsample4Coarse(int32_t* S, int16_t* out, const int16_t* in, int32_t len) {
  for (int32_t k = 0; k < len; k++) {
    const int32_t x = shlw(in[k], 10);
    int32_t Y = subw(x, S[0]);
    int32_t X = mulw16(Y, 8102);
    const int16_t y0 =
        static_cast<int16_t>(sat16(rshiftRound(AllpassSection(&S[0], x, X), 10)));
    out[4 * k] = y0;
    out[4 * k + 1] = y0;
    Y = subw(x, S[1]);
    X = macw16(Y, Y, -28753);
    const int16_t y1 =
        static_cast<int16_t>(sat16(rshiftRound(AllpassSection(&S[1], x, X), 10)));
    out[4 * k + 2] = y1;
    out[4 * k + 3] = y1;
  }
}

void SilkDownsample2(int32_t* S, int16_t* out, const int16_t* in, int32_t len) {
  const int32_t outLen = len >> 1;
  for (int32_t k = 0; k < outLen; k++) {
    int32_t x = shlw(in[2 * k], 10);
    int32_t Y = subw(x, S[0]);
    int32_t X = macw16(Y, Y, -25727);
    int32_t acc = AllpassSection(&S[0], x, X);
    x = shlw(in[2 * k + 1], 10);
    Y = subw(x, S[1]);
    X = mulw16(Y, 9872);
    acc = addw(acc, AllpassSection(&S[1], x, X));
    out[k] = static_cast<int16_t>(sat16(rshiftRound(acc, 11)));
  }
}

// As the 2x down-sampler, on pairs of input samples summed first.
void SilkDownsample4(int32_t* S, int16_t* out, const int16_t* in, int32_t len) {
  const int32_t outLen = len >> 2;
  for (int32_t k = 0; k < outLen; k++) {
    int32_t x = shlw(in[4 * k] + in[4 * k + 1], 9);
    int32_t Y = subw(x, S[0]);
    int32_t X = macw16(Y, Y, -25727);
    int32_t acc = AllpassSection(&S[0], x, X);
    x = shlw(in[4 * k + 2] + in[4 * k + 3], 9);
    Y = subw(x, S[1]);
    X = mulw16(Y, 9872);
    acc = addw(acc, AllpassSection(&S[1], x, X));
    out[k] = static_cast<int16_t>(sat16(rshiftRound(acc, 11)));
  }
}
