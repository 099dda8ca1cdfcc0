// Constant tables of the side-information decoding.
#include "silk/side_info_tables.h"

#include "silk/trained_tables.h"

const uint16_t SilkRateCdf[5] = {0, 16000, 32000, 48000, 65535};
const int32_t SilkRateKhzTable[4] = {8, 12, 16, 24};

const uint16_t SilkTypeOffsetFirstCdf[5] = {0, 37522, 41030, 44212, 65535};
const uint16_t SilkTypeOffsetCdf[4][5] = {
    {0, 57686, 61230, 62358, 65535},
    {0, 18346, 40067, 43659, 65535},
    {0, 22694, 24279, 35507, 65535},
    {0, 6067, 7215, 13010, 65535},
};

const uint16_t SilkGainDeltaCdf[46] = {
    0, 2358, 3856, 7023, 15376, 53058, 59135, 61555, 62784, 63498, 63949, 64265, 64478, 64647,
    64783, 64894, 64986, 65052, 65113, 65169, 65213, 65252, 65284, 65314, 65338, 65359, 65377,
    65392, 65403, 65415, 65424, 65432, 65440, 65448, 65455, 65462, 65470, 65477, 65484, 65491,
    65499, 65506, 65513, 65521, 65528, 65535
};

const uint16_t SilkNlsfInterpCdf[6] = {0, 3706, 8703, 19226, 30926, 65535};

const uint16_t* const SilkPitchLagCdfs[4] = {SilkPitchLagCdf8k, SilkPitchLagCdf12k,
                                              SilkPitchLagCdf16k, SilkPitchLagCdf24k};
const int32_t SilkPitchLagStarts[4] = {43, 64, 86, 128};

const uint16_t SilkPitchContourCdf8k[12] = {
    0, 14445, 18587, 25628, 30013, 34859, 40597, 48426, 54460, 59033, 62990, 65535
};

const uint16_t SilkPitchContourCdf[35] = {
    0, 372, 843, 1315, 1836, 2644, 3576, 4719, 6088, 7621, 9396, 11509, 14245, 17618, 20777,
    24294, 27992, 33116, 40100, 44329, 47558, 50679, 53130, 55557, 57510, 59022, 60285, 61345,
    62316, 63140, 63762, 64321, 64729, 65099, 65535
};

const int16_t SilkPitchContourOffsets8k[4][11] = {
    {0, 2, -1, -1, -1, 0, 0, 1, 1, 0, 1},
    {0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0},
    {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0},
    {0, -1, 2, 1, 0, 1, 1, 0, 0, -1, -1},
};

const int16_t SilkPitchContourOffsets[4][34] = {
    {
        -9, -7, -6, -5, -5, -4, -4, -3, -3, -2, -2, -2, -1, -1, -1, 0, 0, 0, 1, 1, 0, 1, 2, 2,
        2, 3, 3, 4, 4, 5, 6, 5, 6, 8
    },
    {
        -3, -2, -2, -2, -1, -1, -1, -1, -1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1,
        1, 2, 1, 2, 2, 2, 2, 3
    },
    {
        3, 3, 2, 2, 2, 2, 1, 2, 1, 1, 0, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, -1, 0, 0, -1, -1,
        -1, -1, -1, -2, -2, -2
    },
    {
        9, 8, 6, 5, 6, 5, 4, 4, 3, 3, 2, 2, 2, 1, 0, 1, 1, 0, 0, 0, -1, -1, -1, -2, -2, -2, -3,
        -3, -4, -4, -5, -5, -6, -7
    },
};

const uint16_t SilkPeriodicityCdf[4] = {0, 20992, 40788, 65535};

const uint16_t SilkLtpIndexCdf0[11] = {
    0, 49380, 54463, 56494, 58437, 60101, 61683, 62985, 64066, 64823, 65535
};

const uint16_t SilkLtpIndexCdf1[21] = {
    0, 25290, 30654, 35710, 40386, 42937, 45250, 47459, 49411, 51348, 52974, 54517, 55976,
    57423, 58865, 60285, 61667, 62895, 63827, 64724, 65535
};

const uint16_t SilkLtpIndexCdf2[41] = {
    0, 4958, 9439, 13581, 17638, 21651, 25015, 28025, 30287, 32406, 34330, 36240, 38130, 39790,
    41281, 42764, 44229, 45676, 47081, 48431, 49675, 50849, 51932, 52966, 53957, 54936, 55869,
    56789, 57708, 58504, 59285, 60043, 60796, 61542, 62218, 62871, 63483, 64076, 64583, 65062,
    65535
};

const uint16_t* const SilkLtpIndexCdfs[3] = {SilkLtpIndexCdf0, SilkLtpIndexCdf1, SilkLtpIndexCdf2};
const int32_t SilkLtpIndexStarts[3] = {1, 3, 10};
const int32_t SilkLtpCodebookRows[3] = {10, 20, 40};
const int16_t* const SilkLtpCodebooks[3] = {SilkLtpCodebook0, SilkLtpCodebook1, SilkLtpCodebook2};

const uint16_t SilkLtpScaleCdf[4] = {0, 32000, 48000, 65535};
const int32_t SilkLtpScales[3] = {15565, 11469, 8192};

const uint16_t SilkSeedCdf[5] = {0, 16384, 32768, 49152, 65535};

const uint16_t SilkVadCdf[3] = {0, 22000, 65535};

const uint16_t SilkFrameEndCdf[5] = {0, 20000, 45000, 56000, 65535};
