// NLSF vectors: multi-stage codebook decoding, stabilisation (minimum
// spacing) and interpolation with the previous frame's vector. Q15 values.
#pragma once

#include <cstdint>

enum : int32_t { kSilkNlsfMaxStages = 10 };

struct SilkNlsfStage {
  int32_t vectorCount;        // the stage index runs 0..vectorCount-1
  const int16_t* vectorsQ15;  // vectorCount x L values, row-major
};

struct SilkNlsfCodebook {
  int32_t stageCount;                             // 6 (order 10) or 10 (order 16)
  SilkNlsfStage stages[kSilkNlsfMaxStages];
  const int32_t* minSpacingQ15;                   // L + 1 entries
  const uint16_t* cdf;                            // all stages' CDFs back to back
  const uint16_t* stageCdf[kSilkNlsfMaxStages];   // start of each stage's CDF in cdf
  int32_t searchStart[kSilkNlsfMaxStages];
};

extern const SilkNlsfCodebook SilkNlsfCodebookVoiced10;
extern const SilkNlsfCodebook SilkNlsfCodebookUnvoiced10;
extern const SilkNlsfCodebook SilkNlsfCodebookVoiced16;
extern const SilkNlsfCodebook SilkNlsfCodebookUnvoiced16;

// Sum of the chosen stage vectors, then stabilised.
void SilkNlsfDecode(const SilkNlsfCodebook* codebook, const int32_t* stageIndices, int32_t L,
                    int32_t* nlsfQ15);

void SilkNlsfStabilize(int32_t* nlsfQ15, const int32_t* minSpacingQ15, int32_t L);

// Stable insertion sort into non-decreasing order.
void SilkSortIncreasing(int32_t* values, int32_t n);

// out = prev + ((cur - prev) * factorQ2 >> 2), factorQ2 0..3.
void SilkNlsfInterpolate(const int32_t* prevQ15, const int32_t* curQ15, int32_t factorQ2,
                         int32_t L, int32_t* outQ15);
