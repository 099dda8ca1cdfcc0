// NLSF vectors: multi-stage codebook decoding, stabilisation and
// interpolation. Values are Q15 on the axis 0 (DC) .. 32768 (Nyquist).
#include "silk/nlsf.h"

#include "silk/primitives.h"

namespace {

constexpr int32_t kNlsfTop = 32768;
constexpr int kMaxStabilizeSteps = 20;

}  // namespace

void SilkNlsfDecode(const SilkNlsfCodebook* codebook, const int32_t* stageIndices, int32_t L,
                    int32_t* nlsfQ15) {
  // Stage 0 holds absolute vectors, the later stages signed corrections.
  const int16_t* first = codebook->stages[0].vectorsQ15 + stageIndices[0] * L;
  for (int32_t i = 0; i < L; ++i) nlsfQ15[i] = first[i];
  for (int32_t s = 1; s < codebook->stageCount; ++s) {
    const int16_t* v = codebook->stages[s].vectorsQ15 + stageIndices[s] * L;
    for (int32_t i = 0; i < L; ++i) nlsfQ15[i] = addw(nlsfQ15[i], v[i]);
  }
  SilkNlsfStabilize(nlsfQ15, codebook->minSpacingQ15, L);
}

void SilkNlsfStabilize(int32_t* x, const int32_t* d, int32_t L) {
  for (int step = 0; step < kMaxStabilizeSteps; ++step) {
    // Smallest margin over the L + 1 constraints; the first one wins a tie.
    int32_t minMargin = subw(x[0], d[0]);
    int32_t pos = 0;
    for (int32_t i = 1; i < L; ++i) {
      const int32_t margin = subw(subw(x[i], x[i - 1]), d[i]);
      if (margin < minMargin) {
        minMargin = margin;
        pos = i;
      }
    }
    const int32_t topMargin = subw(subw(kNlsfTop, x[L - 1]), d[L]);
    if (topMargin < minMargin) {
      minMargin = topMargin;
      pos = L;
    }

    if (minMargin >= 0) return;

    if (pos == 0) {
      x[0] = d[0];
    } else if (pos == L) {
      x[L - 1] = kNlsfTop - d[L];
    } else {
      // Push the pair apart around its centre, keeping the centre where the
      // remaining spacings below and above can still be met.
      int32_t minCentre = 0;
      for (int32_t k = 0; k < pos; ++k) minCentre += d[k];
      minCentre += d[pos] >> 1;
      int32_t maxCentre = kNlsfTop;
      for (int32_t k = L; k > pos; --k) maxCentre -= d[k];
      maxCentre -= d[pos] - (d[pos] >> 1);

      int32_t centre = rshiftRound(addw(x[pos - 1], x[pos]), 1);
      if (centre > maxCentre) {
        centre = maxCentre;
      } else if (centre < minCentre) {
        centre = minCentre;
      }
      x[pos - 1] = centre - (d[pos] >> 1);
      x[pos] = x[pos - 1] + d[pos];
    }
  }

  // Still not stable: sort, then force every spacing from below and from above.
  SilkSortIncreasing(x, L);
  if (x[0] < d[0]) x[0] = d[0];
  for (int32_t i = 1; i < L; ++i) {
    const int32_t lowest = addw(x[i - 1], d[i]);
    if (x[i] < lowest) x[i] = lowest;
  }
  if (x[L - 1] > kNlsfTop - d[L]) x[L - 1] = kNlsfTop - d[L];
  for (int32_t i = L - 2; i >= 0; --i) {
    const int32_t highest = subw(x[i + 1], d[i + 1]);
    if (x[i] > highest) x[i] = highest;
  }
}

void SilkSortIncreasing(int32_t* values, int32_t n) {
  for (int32_t i = 1; i < n; ++i) {
    const int32_t v = values[i];
    int32_t j = i - 1;
    for (; j >= 0 && values[j] > v; --j) values[j + 1] = values[j];
    values[j + 1] = v;
  }
}

void SilkNlsfInterpolate(const int32_t* prevQ15, const int32_t* curQ15, int32_t factorQ2,
                         int32_t L, int32_t* outQ15) {
  for (int32_t i = 0; i < L; ++i) {
    const int32_t offset = mulw(subw(curQ15[i], prevQ15[i]), factorQ2) >> 2;
    outQ15[i] = addw(prevQ15[i], offset);
  }
}
