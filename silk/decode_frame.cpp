// One 20 ms frame at the internal rate: decoded from the packet or concealed,
// then kept as history, smoothed after a loss, given comfort noise and
// high-pass filtered.
#include "silk/decode_frame.h"

#include <cstring>

#include "silk/filter_kernels.h"

#if SILK_KERNELS_SSE2
#include <emmintrin.h>
#endif

#include "silk/cng.h"
#include "silk/frame_params.h"
#include "silk/plc.h"
#include "silk/primitives.h"
#include "silk/range_decoder.h"
#include "silk/side_info.h"
#include "silk/silk_decoder.h"
#include "silk/synthesis.h"

// Q13 sections with a double zero at 0 Hz; the poles move with the rate so
// that the corner stays at the same frequency.
const int16_t SilkHighPassA24[2] = {-16220, 8030};
const int16_t SilkHighPassB24[3] = {8000, -16000, 8000};
const int16_t SilkHighPassA16[2] = {-16127, 7940};
const int16_t SilkHighPassB16[3] = {8000, -16000, 8000};
const int16_t SilkHighPassA12[2] = {-16043, 7859};
const int16_t SilkHighPassB12[3] = {8000, -16000, 8000};
const int16_t SilkHighPassA8[2] = {-15885, 7710};
const int16_t SilkHighPassB8[3] = {8000, -16000, 8000};

namespace {

// The concealment lag belongs to one rate; start it afresh after a change.
void MatchConcealmentRate(SilkDecoderState* st) {
  if (st->rateKhz != st->plc.rateKhz) {
    st->plc.pitchLag = st->frameLength >> 1;
    st->plc.rateKhz = st->rateKhz;
  }
}

}  // namespace

namespace {

// The section on at most one frame of samples; see SilkHighPass.
void HighPassChunk(const int16_t* in, int32_t b0, int32_t b1, int32_t b2, int32_t a0n, int32_t a1n,
                   int32_t* s, int16_t* out, int32_t n) {
  // Per sample: y = s0 + x b0, then s0 = s1 + x b1 + 8 mulw16(y, -a0) and
  // s1 = 8 mulw16(y, -a1) + x b2. The sums wrap modulo 2^32, so the next y
  // is gathered as (s1 + x b1 + xNext b0) + 8 mulw16(y, -a0): from one
  // sample to the next only one product and one addition remain. After the
  // last sample xNext is 0 and the same sum is the final s0.
  int32_t y32[kSilkMaxFrameLength];
  int32_t s1 = s[1];
  int32_t y = addw(s[0], mul16(in[0], b0));
  const int32_t a0Up = shlw(static_cast<int16_t>(a0n), 16);  // mulw16(y, -a0) as a high word
  auto step = [&](int32_t k, int32_t xNext) {
    const int32_t x = in[k];
    int32_t feedForward = addw(addw(s1, mul16(x, b1)), mul16(xNext, b0));
#if defined(__GNUC__)
    // Keeps the compiler from spreading this sum over the chain again.
    __asm__("" : "+r"(feedForward));
#endif
    s1 = addw(shlw(mulw16(y, a1n), 3), mul16(x, b2));
    y32[k] = y;
    y = addw(feedForward, shlw(SilkMulHigh32(y, a0Up), 3));
  };
  for (int32_t k = 0; k + 1 < n; ++k) step(k, in[k + 1]);
  step(n - 1, 0);
  s[0] = y;
  s[1] = s1;

  // Output: y / 2^13 rounded, plus one, saturated.
  int32_t k = 0;
#if SILK_KERNELS_SSE2
  const __m128i one = _mm_set1_epi32(1);
  for (; k + 8 <= n; k += 8) {
    __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y32 + k));
    __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y32 + k + 4));
    lo = _mm_add_epi32(_mm_srai_epi32(_mm_add_epi32(_mm_srai_epi32(lo, 12), one), 1), one);
    hi = _mm_add_epi32(_mm_srai_epi32(_mm_add_epi32(_mm_srai_epi32(hi, 12), one), 1), one);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packs_epi32(lo, hi));
  }
#endif
  for (; k < n; ++k) out[k] = static_cast<int16_t>(sat16(rshiftRound(y32[k], 13) + 1));
}

}  // namespace

void SilkHighPass(const int16_t* in, const int16_t* b, const int16_t* a, int32_t* s, int16_t* out,
                  int32_t length) {
  // mulw16 uses the low 16 bits of the negated feedback coefficients.
  const int32_t a0n = -a[0];
  const int32_t a1n = -a[1];
  for (int32_t done = 0; done < length; done += kSilkMaxFrameLength) {
    const int32_t n = length - done < kSilkMaxFrameLength ? length - done : kSilkMaxFrameLength;
    HighPassChunk(in + done, b[0], b[1], b[2], a0n, a1n, s, out + done, n);
  }
}

int32_t SilkDecodeFrame(SilkDecoderState* st, int16_t* out, int16_t* sampleCount,
                        const uint8_t* payload, int32_t payloadBytes, int32_t lostFlag,
                        int32_t* usedBytes) {
  SilkFrameParams params{};
  params.ltpScaleFactor = 0;
  int32_t pulses[kSilkMaxFrameLength]{};

  int32_t length = st->frameLength;
  int32_t result = 0;
  *usedBytes = 0;
  bool conceal = lostFlag != 0;

  if (!conceal) {
    const int32_t oldRate = st->rateKhz;
    if (st->packetFramesDone == 0) SilkRangeInit(&st->rangeDec, payload, payloadBytes);
    SilkDecodeSideInfo(st, &params, pulses, 1);

    if (st->rangeDec.status != 0) {
      // Corrupt frame: end the packet, undo a rate change it made, report the
      // whole payload as used and conceal instead.
      st->packetBytesLeft = 0;
      SilkSetInternalRate(st, oldRate);
      *usedBytes = st->rangeDec.payloadLength;
      result =
          st->rangeDec.status == kSilkRangeErrTooLong ? kSilkErrPayloadTooLong : kSilkErrCorrupt;
      conceal = true;
    } else {
      *usedBytes = st->rangeDec.payloadLength - st->packetBytesLeft;
      st->packetFramesDone += 1;
      length = st->frameLength;
      SilkCoreSynthesis(st, &params, out, pulses);
      MatchConcealmentRate(st);
      SilkConcealTrack(st, &params);
      st->lostCount = 0;
      st->lastSignalType = params.signalType;
      st->afterReset = 0;
    }
  }

  if (conceal) {
    MatchConcealmentRate(st);
    SilkConcealFrame(st, &params, out);
    st->lostCount += 1;
  }

  // History holds the frame as synthesised, before smoothing, noise and filter.
  std::memcpy(st->outputHistory, out, sizeof(int16_t) * length);
  SilkConcealSmooth(st, out, length);
  SilkComfortNoise(st, &params, out, length);
  SilkHighPass(out, st->hpB, st->hpA, st->hpState, out, length);

  *sampleCount = static_cast<int16_t>(length);
  st->lastPitchLag = params.pitchLags[3];
  return result;
}
