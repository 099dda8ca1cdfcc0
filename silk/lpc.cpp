// NLSF to LPC conversion, the step-down stability test and the bandwidth
// expansions that make a filter stable.
#include "silk/lpc.h"

#include "silk/filter_kernels.h"
#include "silk/primitives.h"

namespace {

constexpr int32_t kMaxOrder = 16;
constexpr int kMaxLimitPasses = 10;
constexpr int kMaxStabilityPasses = 20;
// Largest reflection coefficient accepted by the stability test, Q16.
constexpr int32_t kMaxReflectionQ16 = 65520;

// 2 cos(pi f) in Q20 for a Q15 frequency f, interpolated in the cosine table.
int32_t CosineQ20(int32_t nlsfQ15) {
  const int32_t fInt = nlsfQ15 >> 8;
  const int32_t fFrac = nlsfQ15 - (fInt << 8);
  const int32_t cosVal = SilkLsfCosTable[fInt];
  const int32_t delta = SilkLsfCosTable[fInt + 1] - cosVal;
  return addw(shlw(cosVal, 8), mulw(delta, fFrac));
}

int32_t Abs32(int32_t v) { return v < 0 ? negw(v) : v; }

}  // namespace

void SilkNlsfPolynomial(int32_t* out, const int32_t* c, int32_t dd) {
  out[0] = 1 << 20;
  out[1] = negw(c[0]);
  for (int32_t k = 1; k < dd; ++k) {
    const int32_t f = c[2 * k];
    out[k + 1] = subw(shlw(out[k - 1], 1), rshiftRound64(static_cast<int64_t>(f) * out[k], 20));
    for (int32_t n = k; n > 1; --n) {
      out[n] = subw(addw(out[n], out[n - 2]),
                    rshiftRound64(static_cast<int64_t>(f) * out[n - 1], 20));
    }
    out[1] = subw(out[1], f);
  }
}

void SilkNlsfToLpc(int16_t* aQ12, const int32_t* nlsfQ15, int32_t L) {
  int32_t cosQ20[kMaxOrder];
  for (int32_t k = 0; k < L; ++k) cosQ20[k] = CosineQ20(nlsfQ15[k]);

  // The even and odd line frequencies give the symmetric and antisymmetric
  // halves of the predictor polynomial.
  const int32_t dd = L >> 1;
  int32_t p[kMaxOrder / 2 + 1];
  int32_t q[kMaxOrder / 2 + 1];
  SilkNlsfPolynomial(p, cosQ20, dd);
  SilkNlsfPolynomial(q, cosQ20 + 1, dd);

  int32_t a32[kMaxOrder];
  for (int32_t k = 0; k < dd; ++k) {
    const int32_t pSum = addw(p[k + 1], p[k]);
    const int32_t qDiff = subw(q[k + 1], q[k]);
    a32[k] = negw(rshiftRound(addw(qDiff, pSum), 9));
    a32[L - 1 - k] = rshiftRound(subw(qDiff, pSum), 9);
  }

  // Coefficients beyond the 16-bit range: shrink them with bandwidth
  // expansion, aimed at the largest one; saturate if that is not enough.
  bool limited = false;
  for (int pass = 0; pass < kMaxLimitPasses; ++pass) {
    int32_t maxAbs = 0;
    int32_t idx = 0;
    for (int32_t k = 0; k < L; ++k) {
      const int32_t m = Abs32(a32[k]);
      if (m > maxAbs) {
        maxAbs = m;
        idx = k;
      }
    }
    if (maxAbs <= 32767) {
      limited = true;
      break;
    }
    if (maxAbs > 98369) maxAbs = 98369;
    const int32_t scQ16 = 65470 - (16367 * (maxAbs - 32767)) / ((maxAbs * (idx + 1)) >> 2);
    SilkBwExpand32(a32, L, scQ16);
  }
  if (!limited) {
    for (int32_t k = 0; k < L; ++k) a32[k] = sat16(a32[k]);
  }

  for (int32_t k = 0; k < L; ++k) aQ12[k] = static_cast<int16_t>(a32[k]);
}

void SilkNlsfToStableLpc(int16_t* aQ12, const int32_t* nlsfQ15, int32_t L) {
  SilkNlsfToLpc(aQ12, nlsfQ15, L);
  // Widen the bandwidth a little more on every failed test; the first pass
  // uses a chirp of exactly 1.0.
  for (int32_t i = 0; i < kMaxStabilityPasses; ++i) {
    int32_t invGain = 0;
    if (SilkLpcInversePredGain(&invGain, aQ12, L) == 0) return;
    SilkBwExpand16(aQ12, L, 65536 - (10 + i) * i);
  }
  // No stable filter found: fall back to a pass-through synthesis.
  for (int32_t k = 0; k < L; ++k) aQ12[k] = 0;
}

int32_t SilkLpcInversePredGain(int32_t* invGainQ30, const int16_t* aQ12, int32_t L) {
  int32_t rows[2][kMaxOrder];
  int32_t* cur = rows[L & 1];
  for (int32_t k = 0; k < L; ++k) cur[k] = shlw(aQ12[k], 4);  // Q12 -> Q16
  int32_t invGain = 1 << 30;

  // Step down from the highest order, one reflection coefficient at a time.
  for (int32_t k = L - 1; k > 0; --k) {
    if (cur[k] > kMaxReflectionQ16 || cur[k] < -kMaxReflectionQ16) {
      *invGainQ30 = invGain;
      return 1;
    }
    const int32_t rc = negw(shlw(cur[k], 15));                  // Q31
    const int32_t mult1 = subw(1073741823, SilkMulHigh32(rc, rc));    // 1 - rc^2, Q30
    const int32_t mult2 = SilkInverseVarQ(mult1, 46);           // Q16
    invGain = shlw(SilkMulHigh32(invGain, mult1), 2);

    const int32_t headroom = clz32(static_cast<uint32_t>(mult2)) - 1;
    const int32_t mult2n = shlw(mult2, headroom);
    int32_t* next = rows[k & 1];
    for (int32_t n = 0; n < k; ++n) {
      const int32_t tmp = subw(cur[n], shlw(SilkMulHigh32(cur[k - 1 - n], rc), 1));
      next[n] = shlw(SilkMulHigh32(tmp, mult2n), 16 - headroom);
    }
    cur = next;
  }

  if (cur[0] > kMaxReflectionQ16 || cur[0] < -kMaxReflectionQ16) {
    *invGainQ30 = invGain;
    return 1;
  }
  const int32_t rc = negw(shlw(cur[0], 15));
  const int32_t mult1 = subw(1073741823, SilkMulHigh32(rc, rc));
  invGain = shlw(SilkMulHigh32(invGain, mult1), 2);
  *invGainQ30 = invGain;
  return 0;
}

void SilkBwExpand16(int16_t* a, int32_t d, int32_t chirpQ16) {
  int32_t c = chirpQ16;
  const int32_t step = chirpQ16 - 65536;
  for (int32_t j = 0; j < d - 1; ++j) {
    a[j] = static_cast<int16_t>(rshiftRound(mulw(c, a[j]), 16));
    c = addw(c, rshiftRound(mulw(c, step), 16));
  }
  a[d - 1] = static_cast<int16_t>(rshiftRound(mulw(c, a[d - 1]), 16));
}

void SilkBwExpand32(int32_t* a, int32_t d, int32_t chirpQ16) {
  int32_t c = chirpQ16;
  for (int32_t j = 0; j < d - 1; ++j) {
    a[j] = mulww(a[j], c);
    c = mulww(chirpQ16, c);
  }
  a[d - 1] = mulww(a[d - 1], c);
}

int32_t SilkInverseVarQ(int32_t b, int32_t qres) {
  const int32_t headroom = clz32(static_cast<uint32_t>(Abs32(b))) - 1;
  const int32_t bNorm = shlw(b, headroom);
  // Reciprocal of the top 16 bits, refined by one Newton-style correction.
  const int32_t bInv = 536870911 / (bNorm >> 16);
  int32_t result = shlw(bInv, 16);
  const int32_t err = shlw(negw(mulw16(bNorm, bInv)), 3);
  result = addw(result, mulww(err, bInv));

  const int32_t lshift = 61 - headroom - qres;
  if (lshift <= 0) return lshiftSat32(result, -lshift);
  if (lshift < 32) return result >> lshift;
  return 0;
}
