// Output resampler from the internal rate to the caller's rate. The variant
// is chosen once at set-up; the state holds no pointers except to constant
// coefficient tables.
#pragma once

#include <cstdint>

enum SilkResampleKind : int32_t {
  kSilkResampleNone = 0,
  kSilkResampleCopy,
  kSilkResampleUp2Fine,      // the fine 2x all-pass up-sampler on iirState
  kSilkResampleFractional,
  kSilkResampleDecimate,
};

enum SilkUp2Kind : int32_t {
  kSilkUp2None = 0,
  kSilkUp2Fine,
  kSilkUp2Coarse,
};

enum SilkPreDecimatorKind : int32_t {
  kSilkPreNone = 0,
  kSilkPreDown2,
  kSilkPreDown4,
};

enum SilkPostUpsamplerKind : int32_t {
  kSilkPostNone = 0,
  kSilkPostUp2Coarse,
  kSilkPostUp4Coarse,
};

enum : int32_t { kSilkResamplerInitMark = 123456789 };

struct SilkResamplerState {
  int32_t iirState[6];
  int32_t firHistory[16];
  int32_t down2State[2];
  int32_t resampleFn;          // SilkResampleKind
  int32_t up2Fn;               // SilkUp2Kind
  int32_t blockLen;
  int32_t stepQ16;
  int32_t firPhases;
  int32_t intermediate2x;
  const int16_t* filterTable;
  int32_t preDecimatorState[2];
  int32_t postUpsamplerState[2];
  int32_t preDecimatorFn;      // SilkPreDecimatorKind
  int32_t postUpsamplerFn;     // SilkPostUpsamplerKind
  int32_t outerBlockLen;
  int32_t outerRatioQ16;
  int32_t preDecimateShift;
  int32_t postUpsampleShift;
  int32_t initMark;
};

// 0 on success, -1 when a rate lies outside 8000..192000 Hz.
int32_t SilkResamplerInit(SilkResamplerState* state, int32_t inRateHz, int32_t outRateHz);
// 0, or -1 if the record was never set up (nothing written). in and out must differ.
int32_t SilkResample(SilkResamplerState* state, int16_t* out, const int16_t* in, int32_t inLen);

// Core variants. Each returns the end of what it wrote to out.
int16_t* SilkResampleCopy(SilkResamplerState* state, int16_t* out, const int16_t* in,
                          int32_t inLen);
int16_t* SilkResampleFractional(SilkResamplerState* state, int16_t* out, const int16_t* in,
                                int32_t inLen);
int16_t* SilkResampleDecimate(SilkResamplerState* state, int16_t* out, const int16_t* in,
                              int32_t inLen);

// All-pass up- and down-samplers on a memory of 2 (or 6 for the fine one) words.
void SilkUpsample2Fine(int32_t* S, int16_t* out, const int16_t* in, int32_t len);
void SilkUpsample2Coarse(int32_t* S, int16_t* out, const int16_t* in, int32_t len);
void SilkUpsample4Coarse(int32_t* S, int16_t* out, const int16_t* in, int32_t len);
void SilkDownsample2(int32_t* S, int16_t* out, const int16_t* in, int32_t len);
void SilkDownsample4(int32_t* S, int16_t* out, const int16_t* in, int32_t len);

// Filters of the fractional and decimating variants.
void SilkArma4Filter(int32_t* S, int16_t* out, const int16_t* in, const int16_t* K, int32_t len);
void SilkAr2Filter(int32_t* S, int32_t* outQ8, const int16_t* in, const int16_t* A, int32_t len);
int16_t* SilkInterpolate144(int16_t* out, const int16_t* buf, int32_t maxQ16, int32_t stepQ16);
int16_t* SilkDecimateFir(int16_t* out, const int32_t* buf, const int16_t* F, int32_t maxQ16,
                         int32_t stepQ16, int32_t phases);

// Coefficient tables of the core variants (signed 16-bit, constant).
// ARMA pre-filters of the fractional variant for output:input = N:441;
// K[0..5] in Q14, K[6] the output gain in Q16.
extern const int16_t SilkResamplerArma320of441[7];
extern const int16_t SilkResamplerArma240of441[7];
extern const int16_t SilkResamplerArma160of441[7];
extern const int16_t SilkResamplerArma120of441[7];
extern const int16_t SilkResamplerArma80of441[7];
// Decimating variant: two AR coefficients (Q14) followed by one row of six
// FIR coefficients (Q14) per phase.
extern const int16_t SilkResamplerDecim3of4[2 + 3 * 6];
extern const int16_t SilkResamplerDecim2of3[2 + 2 * 6];
extern const int16_t SilkResamplerDecim1of2[2 + 1 * 6];
extern const int16_t SilkResamplerDecim3of8[2 + 3 * 6];
extern const int16_t SilkResamplerDecim1of3[2 + 1 * 6];
