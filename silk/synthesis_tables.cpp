#include "synthesis.h"

// Quantisation offset added to every excitation pulse, Q10,
// [signalType: 0 voiced, 1 unvoiced][offsetType].
const int32_t SilkQuantOffsetsQ10[2][2] = {
    {32, 100},
    {100, 256},
};
