// Packet-loss concealment: the parameters kept from the last good frame,
// the substitute frames synthesised from them, and the fade-in of the first
// good frame after a loss.

#include "plc.h"

#include <cstring>

#include "lpc.h"
#include "primitives.h"
#include "silk_decoder.h"
#include "synthesis.h"

namespace {

// Per-subframe attenuation, Q15: [0] first lost frame, [1] later ones.
constexpr int32_t kHarmonicFactor[2] = {32440, 31130};
constexpr int32_t kNoiseFactorAfterVoiced[2] = {31130, 26214};
constexpr int32_t kNoiseFactorAfterUnvoiced[2] = {32440, 29491};

constexpr int32_t kBandwidthChirpQ16 = 64880;
constexpr int32_t kMinVoicedTapQ14 = 11469;
constexpr int32_t kMaxVoicedTapQ14 = 15565;
constexpr int32_t kMinNoiseScaleQ14 = 3277;
constexpr int32_t kPitchStretchQ16 = 655;
constexpr int32_t kNoiseWindow = 128;

// Longest concealment lag, 18 ms in Q8.
int32_t MaxLagQ8(int32_t rateKhz) { return static_cast<int16_t>(rateKhz) * 4608; }

uint32_t Square(int16_t v) { return static_cast<uint32_t>(v * v); }

// Arithmetic right shift that also accepts shifts of 32 and more.
int32_t ShiftDown(int32_t x, int32_t s) { return x >> (s > 31 ? 31 : s); }

}  // namespace

void SilkConcealTrack(SilkDecoderState* state, const SilkFrameParams* params) {
  SilkConcealState* plc = &state->plc;
  state->lastSignalType = params->signalType;

  if (params->signalType != 0) {
    plc->pitchLag = MaxLagQ8(state->rateKhz);
    std::memset(plc->ltpTaps, 0, sizeof(plc->ltpTaps));
  } else {
    // The strongest pitch filter among the subframes that the last lag spans,
    // searched from the last subframe backwards; on a tie the later one wins.
    const int32_t sub = state->subframeLength;
    int32_t best = 0;
    for (int32_t j = 0; j < 4 && j * sub < params->pitchLags[3]; ++j) {
      const int16_t* t = params->ltpTaps + 5 * (3 - j);
      const int32_t sum = t[0] + t[1] + t[2] + t[3] + t[4];
      if (sum > best) {
        best = sum;
        plc->pitchLag = shlw(params->pitchLags[3 - j], 8);
      }
    }

    // A single tap at the lag, its gain kept within 11469 ... 15565.
    std::memset(plc->ltpTaps, 0, sizeof(plc->ltpTaps));
    plc->ltpTaps[2] = static_cast<int16_t>(best);
    if (best < kMinVoicedTapQ14) {
      const int32_t scale = (kMinVoicedTapQ14 << 10) / (best > 1 ? best : 1);
      for (int16_t& tap : plc->ltpTaps) tap = static_cast<int16_t>(mulw(tap, scale) >> 10);
    } else if (best > kMaxVoicedTapQ14) {
      const int32_t scale = (kMaxVoicedTapQ14 << 14) / best;
      for (int16_t& tap : plc->ltpTaps) tap = static_cast<int16_t>(mul16(tap, scale) >> 14);
    }
  }

  std::memcpy(plc->lpcCoefs, params->lpcCoefs[1],
              sizeof(int16_t) * static_cast<size_t>(state->lpcOrder));
  plc->ltpScale = static_cast<int16_t>(params->ltpScaleFactor);
  for (int32_t k = 0; k < 4; ++k) plc->gains[k] = params->gains[k];
}

int32_t SilkConcealUnvoicedNoiseFactor(int32_t invGainQ30, int32_t noiseFactor) {
  int32_t d = invGainQ30;
  if (d < (1 << 22)) d = 1 << 22;
  if (d > (1 << 27)) d = 1 << 27;
  return mulw16(shlw(d, 3), noiseFactor) >> 14;
}

void SilkConcealFrame(SilkDecoderState* state, SilkFrameParams* params, int16_t* out) {
  SilkConcealState* plc = &state->plc;
  const int32_t L = state->frameLength;
  const int32_t S = state->subframeLength;
  const int32_t order = state->lpcOrder;
  int32_t* ltp = state->ltpBuffer;

  // The previous frame's LTP history becomes the older half of the buffer.
  std::memmove(ltp, ltp + L, sizeof(int32_t) * static_cast<size_t>(L));
  SilkBwExpand16(plc->lpcCoefs, order, kBandwidthChirpQ16);

  // Noise source: 128 values of the last good excitation, taken from the end
  // of whichever of the last two subframes is quieter (after gain scaling).
  int16_t scaled[240];
  for (int32_t k = 2; k < 4; ++k) {
    for (int32_t i = 0; i < S; ++i) {
      scaled[(k - 2) * S + i] =
          static_cast<int16_t>(mulww(state->excitation[k * S + i], plc->gains[k]) >> 10);
    }
  }
  int32_t e1 = 0, s1 = 0, e2 = 0, s2 = 0;
  SilkScaledEnergy(&e1, &s1, scaled, S);
  SilkScaledEnergy(&e2, &s2, scaled + S, S);
  int32_t windowStart = ShiftDown(e1, s2) < ShiftDown(e2, s1) ? 3 * S - kNoiseWindow : L - kNoiseWindow;
  if (windowStart < 0) windowStart = 0;
  const int32_t* noise = state->excitation + windowStart;

  const int32_t column = state->lostCount == 0 ? 0 : 1;
  const int32_t harm = kHarmonicFactor[column];
  int32_t noiseGain = state->lastSignalType == 0 ? kNoiseFactorAfterVoiced[column]
                                                 : kNoiseFactorAfterUnvoiced[column];
  int32_t scale = plc->noiseScale;
  if (state->lostCount == 0) {
    scale = 16384;
    if (state->lastSignalType == 0) {
      // The noise fills what the pitch filter leaves: 1 minus the tap sum,
      // at least 0.2, times the last frame's LTP scale.
      int16_t t = 16384;
      for (int16_t tap : plc->ltpTaps) t = static_cast<int16_t>(t - tap);
      if (t < kMinNoiseScaleQ14) t = kMinNoiseScaleQ14;
      scale = static_cast<int16_t>((plc->ltpScale * t) >> 14);
    } else {
      int32_t invGainQ30 = 0;
      SilkLpcInversePredGain(&invGainQ30, plc->lpcCoefs, order);
      noiseGain = SilkConcealUnvoicedNoiseFactor(invGainQ30, noiseGain);
    }
  }

  // Excitation: decaying pitch repetition plus decaying random noise. Right
  // after a reset the lag can be below 2 samples, so the taps may reach past
  // the newest value; such positions read as 0 outside the buffer.
  int32_t sig[kSilkMaxFrameLength];  // Q10
  int32_t seed = plc->noiseSeed;
  int32_t lag = rshiftRound(plc->pitchLag, 8);
  int32_t pos = L;
  const int32_t maxLag = MaxLagQ8(state->rateKhz);
  for (int32_t k = 0; k < 4; ++k) {
    int32_t p = pos - lag + 2;
    for (int32_t i = 0; i < S; ++i) {
      seed = lcgNext(seed);
      const int32_t r = (seed >> 25) & 127;
      int32_t pred = 0;
      for (int32_t j = 0; j < 5; ++j) pred = macw16(pred, SilkLtpRead(ltp, p - j), plc->ltpTaps[j]);
      ++p;
      const int32_t x = addw(shlw(mulw16(noise[r], scale), 2), rshiftRound(pred, 4));
      ltp[pos] = shlw(x, 6);
      ++pos;
      sig[k * S + i] = x;
    }
    for (int16_t& tap : plc->ltpTaps) tap = static_cast<int16_t>(mul16(harm, tap) >> 15);
    scale = static_cast<int16_t>(mul16(scale, noiseGain) >> 15);
    plc->pitchLag = addw(plc->pitchLag, mulw16(plc->pitchLag, kPitchStretchQ16));
    if (plc->pitchLag > maxLag) plc->pitchLag = maxLag;
    lag = rshiftRound(plc->pitchLag, 8);
  }

  int16_t a[16];
  std::memcpy(a, plc->lpcCoefs, sizeof(a));
  for (int32_t k = 0; k < 4; ++k) {
    SilkLpcSynthesis(state->lpcBuffer, a, order, S, sig + k * S, sig + k * S);
    std::memmove(state->lpcBuffer, state->lpcBuffer + S, sizeof(int32_t) * 16);
  }

  for (int32_t i = 0; i < L; ++i) {
    out[i] = static_cast<int16_t>(sat16(rshiftRound(mulww(sig[i], plc->gains[3]), 10)));
  }

  plc->noiseSeed = seed;
  plc->noiseScale = static_cast<int16_t>(scale);
  for (int32_t k = 0; k < 4; ++k) params->pitchLags[k] = lag;
}

void SilkConcealSmooth(SilkDecoderState* state, int16_t* out, int32_t length) {
  SilkConcealState* plc = &state->plc;
  if (state->lostCount > 0) {
    SilkScaledEnergy(&plc->energy, &plc->energyShift, out, length);
    plc->prevLost = 1;
    return;
  }

  if (plc->prevLost == 1) {
    int32_t en = 0, sh = 0;
    SilkScaledEnergy(&en, &sh, out, length);
    if (sh > plc->energyShift) {
      plc->energy = ShiftDown(plc->energy, sh - plc->energyShift);
    } else if (sh < plc->energyShift) {
      en = ShiftDown(en, plc->energyShift - sh);
    }

    if (en > plc->energy) {
      // Fade in from about sqrt(concealed / good) to unity over the frame.
      int32_t z = clz32(static_cast<uint32_t>(plc->energy)) - 1;
      if (z < 0) z = 0;
      plc->energy = shlw(plc->energy, z);
      en >>= (24 - z > 0 ? 24 - z : 0);
      if (en < 1) en = 1;
      const int32_t ratio = plc->energy / en;  // about Q24

      // The rough root can overshoot unity (slightly for ordinary energies,
      // by far for near-silent frames whose ratio is not in Q24); a gain above
      // unity would amplify the good frame, so the fade never starts above it.
      int32_t g = SilkRoughSqrt(ratio);
      if (g > 4096) g = 4096;
      const int32_t slope = (4096 - g) / length;
      for (int32_t i = 0; i < length; ++i) {
        out[i] = static_cast<int16_t>(sat16((g * out[i]) >> 12));
        g += slope;
        if (g > 4096) g = 4096;
      }
    }
  }
  plc->prevLost = 0;
}

void SilkScaledEnergy(int32_t* energy, int32_t* shift, const int16_t* x, int32_t len) {
  // Pairs of squares are summed in 32 bits; whenever the sum reaches bit 31
  // it and all later pairs are scaled down by two more bits.
  uint32_t nrg = 0;
  int32_t sh = 0;
  int32_t i = 0;
  while (i < len - 1) {
    nrg += Square(x[i]) + Square(x[i + 1]);
    i += 2;
    if (nrg & 0x80000000u) {
      nrg >>= 2;
      sh = 2;
      break;
    }
  }
  for (; i < len - 1; i += 2) {
    nrg += (Square(x[i]) + Square(x[i + 1])) >> sh;
    if (nrg & 0x80000000u) {
      nrg >>= 2;
      sh += 2;
    }
  }
  if (i == len - 1) nrg += Square(x[i]) >> sh;
  // Leave headroom: the result fits in 30 bits.
  if (nrg & 0xC0000000u) {
    nrg >>= 2;
    sh += 2;
  }
  *energy = static_cast<int32_t>(nrg);
  *shift = sh;
}

int32_t SilkRoughSqrt(int32_t x) {
  if (x <= 0) return 0;
  const int32_t lz = clz32(static_cast<uint32_t>(x));
  // The seven bits after the leading one, as a linear correction term.
  const uint32_t ux = static_cast<uint32_t>(x);
  const int32_t rot = 24 - lz;
  uint32_t rotated = ux;
  if (rot > 0) {
    rotated = (ux >> rot) | (ux << (32 - rot));
  } else if (rot < 0) {
    rotated = (ux << -rot) | (ux >> (32 + rot));
  }
  const int32_t f = static_cast<int32_t>(rotated & 0x7Fu);
  // 2^(-lz/2) from the exponent: 32768 for odd lz, 46214 (32768 sqrt 2) for even.
  int32_t y = (lz & 1) ? 32768 : 46214;
  y >>= (lz >> 1);
  return macw16(y, y, 213 * f);
}
