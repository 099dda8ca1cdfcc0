// Comfort noise: learns the colour and level of the background from good
// frames without voice activity and adds noise of that kind to concealed
// frames, so that a long loss does not fall into silence.

#include "cng.h"

#include <cstring>

#include "lpc.h"
#include "primitives.h"
#include "silk_decoder.h"

namespace {

constexpr int32_t kNlsfSmoothingQ16 = 16348;  // about 0.25 per frame
constexpr int32_t kGainSmoothingQ16 = 4634;   // about 0.07 per subframe
constexpr int32_t kSeedAfterReset = 3176576;

template <int Order>
void AllPoleFixed(const int16_t* in, const int16_t* A, int32_t* S, int16_t* out, int32_t len) {
  int32_t a[Order];
  for (int j = 0; j < Order; ++j) a[j] = A[j];
  for (int32_t k = 0; k < len; ++k) {
    const int32_t x = in[k];  // read first: out may be in
    int32_t pred = 0;
    for (int j = 0; j < Order; ++j) pred = macw16(pred, S[Order - 1 - j], a[j]);
    for (int i = 0; i < Order - 1; ++i) S[i] = S[i + 1];
    const int32_t acc = addSat32(pred, shlw(x, 10));
    out[k] = static_cast<int16_t>(sat16(rshiftRound(acc, 10)));
    S[Order - 1] = lshiftSat32(acc, 4);
  }
}

}  // namespace

void SilkComfortNoiseReset(SilkDecoderState* state) {
  SilkComfortNoiseState* cng = &state->cng;
  const int32_t order = state->lpcOrder;
  // Evenly spread NLSFs: a flat noise spectrum until the model has learned.
  const int32_t step = 32767 / (order + 1);
  for (int32_t i = 0; i < order; ++i) cng->smoothNlsf[i] = (i + 1) * step;
  cng->smoothGain = 0;
  cng->seed = kSeedAfterReset;
}

void SilkComfortNoise(SilkDecoderState* state, const SilkFrameParams* params, int16_t* out,
                      int32_t length) {
  SilkComfortNoiseState* cng = &state->cng;
  const int32_t order = state->lpcOrder;
  if (state->rateKhz != cng->rateKhz) {
    SilkComfortNoiseReset(state);
    cng->rateKhz = state->rateKhz;
  }

  if (state->lostCount == 0) {
    if (state->voiceActivity == 0) {
      for (int32_t i = 0; i < order; ++i) {
        cng->smoothNlsf[i] =
            macw16(cng->smoothNlsf[i], subw(state->lastNlsf[i], cng->smoothNlsf[i]), kNlsfSmoothingQ16);
      }

      // Keep the excitation of the loudest subframe (the first of equal maxima).
      const int32_t S = state->subframeLength;
      int32_t best = 0;
      int32_t m = 0;
      for (int32_t k = 0; k < 4; ++k) {
        if (params->gains[k] > best) {
          best = params->gains[k];
          m = k;
        }
      }
      std::memmove(cng->excBuffer + S, cng->excBuffer, sizeof(int32_t) * static_cast<size_t>(3 * S));
      std::memcpy(cng->excBuffer, state->excitation + m * S, sizeof(int32_t) * static_cast<size_t>(S));

      for (int32_t k = 0; k < 4; ++k) {
        cng->smoothGain =
            macw16(cng->smoothGain, subw(params->gains[k], cng->smoothGain), kGainSmoothingQ16);
      }
    }
    // Each loss starts its noise filter from silence.
    std::memset(cng->synthState, 0, sizeof(int32_t) * static_cast<size_t>(order));
    return;
  }

  int16_t e[kSilkMaxFrameLength];
  SilkComfortNoiseExcitation(e, cng->excBuffer, cng->smoothGain, length, &cng->seed);
  int16_t A[16] = {};
  SilkNlsfToStableLpc(A, cng->smoothNlsf, order);
  if (order == 16) {
    SilkAllPoleFilter16(e, A, cng->synthState, e, length);
  } else {
    SilkAllPoleFilter(e, A, cng->synthState, e, length, order);
  }
  for (int32_t i = 0; i < length; ++i) out[i] = static_cast<int16_t>(sat16(out[i] + e[i]));
}

void SilkComfortNoiseExcitation(int16_t* out, const int32_t* buffer, int32_t gain, int32_t length,
                                int32_t* seed) {
  // The random index stays below the frame length, that is inside the four
  // stored subframes.
  int32_t mask = 255;
  while (mask > length) mask >>= 1;
  int32_t s = *seed;
  for (int32_t i = 0; i < length; ++i) {
    s = lcgNext(s);
    const int32_t idx = (s >> 24) & mask;
    out[i] = static_cast<int16_t>(sat16(rshiftRound(mulww(buffer[idx], gain), 10)));
  }
  *seed = s;
}

void SilkAllPoleFilter(const int16_t* in, const int16_t* A, int32_t* S, int16_t* out, int32_t len,
                       int32_t order) {
  if (order == 16) {
    AllPoleFixed<16>(in, A, S, out, len);
    return;
  }
  if (order == 10) {
    AllPoleFixed<10>(in, A, S, out, len);
    return;
  }
  for (int32_t k = 0; k < len; ++k) {
    const int32_t x = in[k];
    int32_t pred = 0;
    for (int32_t j = 0; j < order; ++j) pred = macw16(pred, S[order - 1 - j], A[j]);
    for (int32_t i = 0; i < order - 1; ++i) S[i] = S[i + 1];
    const int32_t acc = addSat32(pred, shlw(x, 10));
    out[k] = static_cast<int16_t>(sat16(rshiftRound(acc, 10)));
    if (order > 0) S[order - 1] = lshiftSat32(acc, 4);
  }
}

void SilkAllPoleFilter16(const int16_t* in, const int16_t* A, int32_t* S, int16_t* out,
                         int32_t len) {
  AllPoleFixed<16>(in, A, S, out, len);
}
