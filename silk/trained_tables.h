// The decoder's trained tables. Their values are compiled in at build time
// from silk/data/trained_tables.txt (or the file named by the CMake option
// TAVIMO_TRAINED_TABLES); see tools/embed_tables.cpp for the layout.
#pragma once

#include <cstdint>

extern const uint16_t SilkGainCdfVoiced[65];
extern const uint16_t SilkGainCdfUnvoiced[65];
extern const uint16_t SilkPitchLagCdf8k[130];
extern const uint16_t SilkPitchLagCdf12k[194];
extern const uint16_t SilkPitchLagCdf16k[258];
extern const uint16_t SilkPitchLagCdf24k[386];
extern const int16_t SilkLtpCodebook0[50];    // 10 rows of 5 taps, Q14
extern const int16_t SilkLtpCodebook1[100];   // 20 rows
extern const int16_t SilkLtpCodebook2[200];   // 40 rows
extern const uint16_t SilkPulseCountCdf[210]; // 10 rows of 21 (rate levels 0..8, row 9 after escapes)
extern const uint16_t SilkShellCdfT2[102];    // parents 1..12
extern const uint16_t SilkShellCdfT3[207];    // parents 1..18
extern const uint16_t SilkNlsfCdfVoiced10[126];
extern const int16_t SilkNlsfVectorsVoiced10[1200];
extern const uint16_t SilkNlsfCdfUnvoiced10[78];
extern const int16_t SilkNlsfVectorsUnvoiced10[720];
extern const uint16_t SilkNlsfCdfVoiced16[226];
extern const int16_t SilkNlsfVectorsVoiced16[3456];
extern const uint16_t SilkNlsfCdfUnvoiced16[114];
extern const int16_t SilkNlsfVectorsUnvoiced16[1664];
extern const int16_t SilkResamplerInterp144[432]; // 144 rows of 3 taps, Q15
