// Coefficient tables of the resampler's fractional and decimating variants.
#include "silk/resampler.h"

// ARMA pre-filters: K[0..5] Q14, K[6] output gain Q16.
const int16_t SilkResamplerArma320of441[7] = {31454, 24746, -9706, -3386, -17911, -13243, 24797};
const int16_t SilkResamplerArma240of441[7] = {28721, 11254, 3189, -2546, -1495, -12618, 11562};
const int16_t SilkResamplerArma160of441[7] = {23492, -6457, 14358, -4856, 14654, -13008, 4456};
const int16_t SilkResamplerArma120of441[7] = {19311, -15569, 19489, -6950, 21441, -13559, 2370};
const int16_t SilkResamplerArma80of441[7] = {13248, -23849, 24126, -9486, 26806, -14286, 1065};

// AR pair, then one FIR row of six taps per phase (all Q14).
const int16_t SilkResamplerDecim3of4[2 + 3 * 6] = {
    -18249, -12532,
    -97, 284, -495, 309, 10268, 20317,
    -94, 156, -48, -720, 5984, 18278,
    -45, -4, 237, -847, 2540, 14662,
};
const int16_t SilkResamplerDecim2of3[2 + 2 * 6] = {
    -11891, -12486,
    20, 211, -657, 688, 8423, 15911,
    -44, 197, -152, -653, 3855, 13015,
};
const int16_t SilkResamplerDecim1of2[2 + 1 * 6] = {
    2415, -13101,
    158, -295, -400, 1265, 4832, 7968,
};
const int16_t SilkResamplerDecim3of8[2 + 3 * 6] = {
    13270, -13738,
    -294, -123, 747, 2043, 3339, 3995,
    -151, -311, 414, 1583, 2947, 3877,
    -33, -389, 143, 1141, 2503, 3653,
};
const int16_t SilkResamplerDecim1of3[2 + 1 * 6] = {
    16643, -14000,
    -331, 19, 581, 1421, 2290, 2845,
};
