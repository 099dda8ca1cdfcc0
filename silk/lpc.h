// NLSF to LPC conversion and the filter-stability machinery.
#pragma once

#include <cstdint>

// 2 cos(pi i / 128) in Q12, i = 0..128.
extern const int32_t SilkLsfCosTable[129];

// Q12 coefficients of a stable filter (or all zeros) from a Q15 NLSF vector.
void SilkNlsfToStableLpc(int16_t* aQ12, const int32_t* nlsfQ15, int32_t L);
void SilkNlsfToLpc(int16_t* aQ12, const int32_t* nlsfQ15, int32_t L);

// First dd + 1 Q20 coefficients of prod (1 - c z^-1 + z^-2) over c[0], c[2], ...
void SilkNlsfPolynomial(int32_t* out, const int32_t* c, int32_t dd);

// Returns 1 if unstable, 0 if stable; *invGainQ30 receives the inverse
// prediction gain (or the partial product reached when unstable).
int32_t SilkLpcInversePredGain(int32_t* invGainQ30, const int16_t* aQ12, int32_t L);

void SilkBwExpand16(int16_t* a, int32_t d, int32_t chirpQ16);
void SilkBwExpand32(int32_t* a, int32_t d, int32_t chirpQ16);

// About 2^qres / b for b > 0.
int32_t SilkInverseVarQ(int32_t b, int32_t qres);
