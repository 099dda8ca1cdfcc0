#include "silk/pulses.h"

#include "silk/primitives.h"
#include "silk/silk_decoder.h"
#include "silk/pulse_tables.h"
#include "silk/filter_kernels.h"

#if SILK_KERNELS_SSE2
#include <emmintrin.h>
#endif

const SilkShellTables kSilkShellTables = {
    {SilkShellCdfT0, SilkShellCdfT1, SilkShellCdfT2, SilkShellCdfT3},
    {6, 8, 12, 18},
};

int32_t SilkShellSplit(SilkRangeDecoder* dec, const uint16_t* table, int32_t maxParent,
                       int32_t parent) {
  if (parent <= 0) return 0;
  if (parent > maxParent) {
    // The table has no row for this parent; treat it as a decoding error.
    if (dec->status == 0) dec->status = kSilkRangeErrSymbol;
    return 0;
  }
  return SilkRangeDecode(dec, table + SilkShellCdfOffset(parent), parent >> 1);
}

namespace {

// Splits `parent` at `level` and recurses depth first, left half first, down
// to single samples; `out` receives the 2^(level + 1) values of this parent.
void ShellSplitDown(int32_t* out, SilkRangeDecoder* dec, int32_t parent, int32_t level,
                    const SilkShellTables& tables) {
  const int32_t left =
      SilkShellSplit(dec, tables.cdf[level], tables.maxParent[level], parent);
  const int32_t right = parent - left;
  if (level == 0) {
    out[0] = left;
    out[1] = right;
    return;
  }
  const int32_t half = 1 << level;
  ShellSplitDown(out, dec, left, level - 1, tables);
  ShellSplitDown(out + half, dec, right, level - 1, tables);
}

// SilkShellSplit with the decoder's own tables, on a cursor.
template <int Level>
inline int32_t SplitInline(SilkRangeCursor* c, int32_t parent) {
  static constexpr const uint16_t* kTables[4] = {SilkShellCdfT0, SilkShellCdfT1, SilkShellCdfT2,
                                                 SilkShellCdfT3};
  static constexpr int32_t kMaxParent[4] = {6, 8, 12, 18};
  if (parent <= 0) return 0;
  if (parent > kMaxParent[Level]) {
    if (c->status == 0) c->status = kSilkRangeErrSymbol;
    return 0;
  }
  const uint16_t* row = kTables[Level] + SilkShellCdfOffset(parent);
  // A single pulse: the row {0, split, 65535} is a two-way decision.
  if (parent == 1) return SilkRangeCursorDecodeBinary(c, row[1]);
  return SilkRangeCursorDecode(c, row, parent >> 1);
}

// Splits `parent` over 2^(Level + 1) values in the order of ShellSplitDown:
// depth first, left half first. An empty parent decodes nothing and leaves
// zeros.
template <int Level>
inline void ShellDecodeInline(int32_t* out, SilkRangeCursor* c, int32_t parent) {
  if (parent == 0) {
    for (int32_t i = 0; i < (2 << Level); ++i) out[i] = 0;
    return;
  }
  const int32_t left = SplitInline<Level>(c, parent);
  if constexpr (Level == 0) {
    out[0] = left;
    out[1] = parent - left;
  } else {
    ShellDecodeInline<Level - 1>(out, c, left);
    ShellDecodeInline<Level - 1>(out + (1 << Level), c, parent - left);
  }
}

}  // namespace

void SilkShellDecodeWith(int32_t out[16], SilkRangeDecoder* dec, int32_t count,
                         const SilkShellTables& tables) {
  ShellSplitDown(out, dec, count, 3, tables);
}

void SilkShellDecode(int32_t out[16], SilkRangeDecoder* dec, int32_t count) {
  SilkShellDecodeWith(out, dec, count, kSilkShellTables);
}

namespace {

// One sign per positive value of pulses[0..length), on a cursor.
void DecodeSignsOn(SilkRangeCursor* c, int32_t* pulses, int32_t length, uint32_t split) {
  // First the positions of the positive values (without a branch per
  // sample), then one sign each.
  int32_t positions[kSilkMaxFrameLength + 4];  // room for a last vector store
  for (int32_t done = 0; done < length; done += kSilkMaxFrameLength) {
    const int32_t n = length - done < kSilkMaxFrameLength ? length - done : kSilkMaxFrameLength;
    int32_t count = 0;
    int32_t i = 0;
#if SILK_KERNELS_SSE2
    // Four values at a time: the mask of the positive ones picks a row of
    // offsets that lists them first.
    static const int32_t kListed[16][4] = {
        {0, 0, 0, 0}, {0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {2, 0, 0, 0}, {0, 2, 0, 0},
        {1, 2, 0, 0}, {0, 1, 2, 0}, {3, 0, 0, 0}, {0, 3, 0, 0}, {1, 3, 0, 0}, {0, 1, 3, 0},
        {2, 3, 0, 0}, {0, 2, 3, 0}, {1, 2, 3, 0}, {0, 1, 2, 3},
    };
    static const int32_t kPositive[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    for (; i + 4 <= n; i += 4) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pulses + done + i));
      const int mask = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(v, _mm_setzero_si128())));
      const __m128i at = _mm_add_epi32(_mm_set1_epi32(done + i),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(kListed[mask])));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(positions + count), at);
      count += kPositive[mask];
    }
#endif
    for (; i < n; ++i) {
      positions[count] = done + i;
      count += pulses[done + i] > 0 ? 1 : 0;
    }
    for (int32_t k = 0; k < count; ++k) {
      const int32_t at = positions[k];
      const int32_t s = SilkRangeCursorDecodeBinary(c, split);
      pulses[at] = mulw(pulses[at], 2 * s - 1);
    }
  }
}

}  // namespace

void SilkDecodeSigns(SilkRangeDecoder* dec, int32_t* pulses, int32_t length, int32_t signalType,
                     int32_t offsetType, int32_t rateLevel) {
  // The table {0, split, 65535}, searched from its middle entry.
  const uint32_t split = SilkSignTable[SilkSignIndex(signalType, offsetType, rateLevel)];
  SilkRangeCursor cursor = SilkRangeCursorLoad(dec);
  DecodeSignsOn(&cursor, pulses, length, split);
  SilkRangeCursorStore(dec, cursor);
}

void SilkDecodePulses(SilkRangeDecoder* dec, SilkFrameParams* params, int32_t* pulses,
                      int32_t frameLength) {
  const int32_t blocks = frameLength / kSilkPulseBlockLength;
  int32_t counts[480 / kSilkPulseBlockLength];
  int32_t extra[480 / kSilkPulseBlockLength];
  SilkRangeCursor cursor = SilkRangeCursorLoad(dec);
  SilkRangeCursor* c = &cursor;

  params->pulseRateLevel =
      SilkRangeCursorDecode(c, SilkRateLevelCdf[params->signalType], kSilkRateLevelStart);

  // Pass 1: the pulse count of every block, with escapes into extra low-bit layers.
  const uint16_t* row = SilkPulseCountCdf + params->pulseRateLevel * kSilkPulseCountRowLength;
  const uint16_t* escapeRow = SilkPulseCountCdf + kSilkPulseCountEscapeRow * kSilkPulseCountRowLength;
  for (int32_t b = 0; b < blocks; ++b) {
    extra[b] = 0;
    counts[b] = SilkRangeCursorDecode(c, row, kSilkPulseCountStart);
    while (counts[b] == kSilkPulseCountEscape) {
      ++extra[b];
      counts[b] = SilkRangeCursorDecode(c, escapeRow, kSilkPulseCountStart);
    }
  }

  // Pass 2: the shape of every block.
  for (int32_t b = 0; b < blocks; ++b) {
    ShellDecodeInline<3>(pulses + b * kSilkPulseBlockLength, c, counts[b]);
  }

  // Pass 3: the extra low bits, most significant layer first. The low-bit
  // table is {0, split, 65535}, searched from its middle.
  const uint32_t lowBitSplit = SilkLowBitCdf[kSilkLowBitStart];
  for (int32_t b = 0; b < blocks; ++b) {
    if (extra[b] == 0) continue;
    int32_t* block = pulses + b * kSilkPulseBlockLength;
    for (int32_t i = 0; i < kSilkPulseBlockLength; ++i) {
      int32_t v = block[i];
      for (int32_t layer = 0; layer < extra[b]; ++layer) {
        v = addw(shlw(v, 1), SilkRangeCursorDecodeBinary(c, lowBitSplit));
      }
      block[i] = v;
    }
  }

  // Pass 4: signs.
  DecodeSignsOn(c, pulses, frameLength,
                SilkSignTable[SilkSignIndex(params->signalType, params->offsetType,
                                            params->pulseRateLevel)]);
  SilkRangeCursorStore(dec, cursor);
}
