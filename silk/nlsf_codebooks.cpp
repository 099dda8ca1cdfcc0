// The four multi-stage NLSF codebooks: voiced and unvoiced, for order 10
// (8 kHz) and order 16 (12, 16 and 24 kHz). The stage vectors and CDFs are
// the trained arrays; each stage's CDF has vectorCount + 1 entries and its
// vectors vectorCount x L entries, stored stage after stage.
#include "silk/nlsf.h"
#include "silk/trained_tables.h"

namespace {

const int32_t kMinSpacingVoiced10[11] = {563, 3, 22, 20, 3, 3, 132, 119, 358, 86, 964};
const int32_t kMinSpacingUnvoiced10[11] = {462, 3, 64, 74, 98, 50, 97, 68, 120, 53, 639};
const int32_t kMinSpacingVoiced16[17] = {266, 3,   40,  3,   3,   16,  78,  89, 107,
                                         141, 188, 146, 272, 240, 235, 215, 632};
const int32_t kMinSpacingUnvoiced16[17] = {148, 3,   60,  68,  117, 86,  121, 124, 152,
                                           153, 207, 151, 225, 239, 126, 183, 792};

// Offsets below follow from the vector counts:
//   voiced 10:   64, 16, 8, 8, 8, 16           -> CDF 126 entries, vectors 1200
//   unvoiced 10: 32, 8, 8, 8, 8, 8             -> CDF 78,  vectors 720
//   voiced 16:   128, 16, 8, 8, 8, 8, 8, 8, 8, 16 -> CDF 226, vectors 3456
//   unvoiced 16: 32, 8, 8, 8, 8, 8, 8, 8, 8, 8  -> CDF 114, vectors 1664
static_assert(sizeof(SilkNlsfCdfVoiced10) / sizeof(uint16_t) == 109 + 17);
static_assert(sizeof(SilkNlsfVectorsVoiced10) / sizeof(int16_t) == 1040 + 160);
static_assert(sizeof(SilkNlsfCdfUnvoiced10) / sizeof(uint16_t) == 69 + 9);
static_assert(sizeof(SilkNlsfVectorsUnvoiced10) / sizeof(int16_t) == 640 + 80);
static_assert(sizeof(SilkNlsfCdfVoiced16) / sizeof(uint16_t) == 209 + 17);
static_assert(sizeof(SilkNlsfVectorsVoiced16) / sizeof(int16_t) == 3200 + 256);
static_assert(sizeof(SilkNlsfCdfUnvoiced16) / sizeof(uint16_t) == 105 + 9);
static_assert(sizeof(SilkNlsfVectorsUnvoiced16) / sizeof(int16_t) == 1536 + 128);

}  // namespace

const SilkNlsfCodebook SilkNlsfCodebookVoiced10 = {
    6,
    {{64, SilkNlsfVectorsVoiced10 + 0},
     {16, SilkNlsfVectorsVoiced10 + 640},
     {8, SilkNlsfVectorsVoiced10 + 800},
     {8, SilkNlsfVectorsVoiced10 + 880},
     {8, SilkNlsfVectorsVoiced10 + 960},
     {16, SilkNlsfVectorsVoiced10 + 1040}},
    kMinSpacingVoiced10,
    SilkNlsfCdfVoiced10,
    {SilkNlsfCdfVoiced10 + 0, SilkNlsfCdfVoiced10 + 65, SilkNlsfCdfVoiced10 + 82,
     SilkNlsfCdfVoiced10 + 91, SilkNlsfCdfVoiced10 + 100, SilkNlsfCdfVoiced10 + 109},
    {23, 8, 5, 5, 5, 9},
};

const SilkNlsfCodebook SilkNlsfCodebookUnvoiced10 = {
    6,
    {{32, SilkNlsfVectorsUnvoiced10 + 0},
     {8, SilkNlsfVectorsUnvoiced10 + 320},
     {8, SilkNlsfVectorsUnvoiced10 + 400},
     {8, SilkNlsfVectorsUnvoiced10 + 480},
     {8, SilkNlsfVectorsUnvoiced10 + 560},
     {8, SilkNlsfVectorsUnvoiced10 + 640}},
    kMinSpacingUnvoiced10,
    SilkNlsfCdfUnvoiced10,
    {SilkNlsfCdfUnvoiced10 + 0, SilkNlsfCdfUnvoiced10 + 33, SilkNlsfCdfUnvoiced10 + 42,
     SilkNlsfCdfUnvoiced10 + 51, SilkNlsfCdfUnvoiced10 + 60, SilkNlsfCdfUnvoiced10 + 69},
    {5, 3, 4, 4, 5, 5},
};

const SilkNlsfCodebook SilkNlsfCodebookVoiced16 = {
    10,
    {{128, SilkNlsfVectorsVoiced16 + 0},
     {16, SilkNlsfVectorsVoiced16 + 2048},
     {8, SilkNlsfVectorsVoiced16 + 2304},
     {8, SilkNlsfVectorsVoiced16 + 2432},
     {8, SilkNlsfVectorsVoiced16 + 2560},
     {8, SilkNlsfVectorsVoiced16 + 2688},
     {8, SilkNlsfVectorsVoiced16 + 2816},
     {8, SilkNlsfVectorsVoiced16 + 2944},
     {8, SilkNlsfVectorsVoiced16 + 3072},
     {16, SilkNlsfVectorsVoiced16 + 3200}},
    kMinSpacingVoiced16,
    SilkNlsfCdfVoiced16,
    {SilkNlsfCdfVoiced16 + 0, SilkNlsfCdfVoiced16 + 129, SilkNlsfCdfVoiced16 + 146,
     SilkNlsfCdfVoiced16 + 155, SilkNlsfCdfVoiced16 + 164, SilkNlsfCdfVoiced16 + 173,
     SilkNlsfCdfVoiced16 + 182, SilkNlsfCdfVoiced16 + 191, SilkNlsfCdfVoiced16 + 200,
     SilkNlsfCdfVoiced16 + 209},
    {42, 8, 4, 5, 5, 5, 5, 5, 5, 9},
};

const SilkNlsfCodebook SilkNlsfCodebookUnvoiced16 = {
    10,
    {{32, SilkNlsfVectorsUnvoiced16 + 0},
     {8, SilkNlsfVectorsUnvoiced16 + 512},
     {8, SilkNlsfVectorsUnvoiced16 + 640},
     {8, SilkNlsfVectorsUnvoiced16 + 768},
     {8, SilkNlsfVectorsUnvoiced16 + 896},
     {8, SilkNlsfVectorsUnvoiced16 + 1024},
     {8, SilkNlsfVectorsUnvoiced16 + 1152},
     {8, SilkNlsfVectorsUnvoiced16 + 1280},
     {8, SilkNlsfVectorsUnvoiced16 + 1408},
     {8, SilkNlsfVectorsUnvoiced16 + 1536}},
    kMinSpacingUnvoiced16,
    SilkNlsfCdfUnvoiced16,
    {SilkNlsfCdfUnvoiced16 + 0, SilkNlsfCdfUnvoiced16 + 33, SilkNlsfCdfUnvoiced16 + 42,
     SilkNlsfCdfUnvoiced16 + 51, SilkNlsfCdfUnvoiced16 + 60, SilkNlsfCdfUnvoiced16 + 69,
     SilkNlsfCdfUnvoiced16 + 78, SilkNlsfCdfUnvoiced16 + 87, SilkNlsfCdfUnvoiced16 + 96,
     SilkNlsfCdfUnvoiced16 + 105},
    {5, 2, 2, 2, 2, 2, 2, 3, 3, 4},
};
