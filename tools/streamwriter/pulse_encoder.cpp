#include "tools/streamwriter/pulse_encoder.h"

#include <stdexcept>

#include "silk/pulse_tables.h"
#include "silk/pulses.h"

namespace {

constexpr int32_t kBlock = kSilkPulseBlockLength;

bool HasWidth(const uint16_t* cdf, int32_t symbol) { return cdf[symbol + 1] > cdf[symbol]; }

const uint16_t* CountRow(int32_t row) { return SilkPulseCountCdf + row * kSilkPulseCountRowLength; }

const uint16_t* SplitCdf(int32_t level, int32_t parent) {
  return kSilkShellTables.cdf[level] + SilkShellCdfOffset(parent);
}

int32_t Sum(const uint32_t* v, int32_t n) {
  int32_t s = 0;
  for (int32_t i = 0; i < n; ++i) s += static_cast<int32_t>(v[i]);
  return s;
}

// Whether the 2^(level + 1) values at v can be coded by the shell splits,
// whose parents must be within their table and whose left counts must have
// non-zero width.
bool ShellFits(const uint32_t* v, int32_t level) {
  const int32_t half = 1 << level;
  const int32_t left = Sum(v, half);
  const int32_t parent = left + Sum(v + half, half);
  if (parent == 0) return true;
  if (parent > kSilkShellTables.maxParent[level]) return false;
  if (!HasWidth(SplitCdf(level, parent), left)) return false;
  return level == 0 || (ShellFits(v, level - 1) && ShellFits(v + half, level - 1));
}

// Codes the splits in the decoder's order: depth first, left half first.
void ShellEncode(RangeEncoder* enc, const uint32_t* v, int32_t level) {
  const int32_t half = 1 << level;
  const int32_t left = Sum(v, half);
  const int32_t parent = left + Sum(v + half, half);
  if (parent == 0) return;
  RangeEncode(enc, left, SplitCdf(level, parent));
  if (level > 0) {
    ShellEncode(enc, v, level - 1);
    ShellEncode(enc, v + half, level - 1);
  }
}

struct BlockPlan {
  int32_t layers;         // extra low-bit layers
  uint32_t top[kBlock];   // magnitudes without their low `layers` bits
};

// Whether the block can be coded with `layers` extra layers, filling plan->top.
bool TryLayers(const uint32_t* mag, int32_t layers, const uint16_t* firstRow, BlockPlan* plan) {
  uint32_t total = 0;
  for (int32_t i = 0; i < kBlock; ++i) {
    plan->top[i] = mag[i] >> layers;
    total += plan->top[i];
    if (total > static_cast<uint32_t>(kSilkMaxBlockCount)) return false;
  }
  const int32_t count = static_cast<int32_t>(total);
  const uint16_t* escapeRow = CountRow(kSilkPulseCountEscapeRow);
  if (layers >= 1 && !HasWidth(firstRow, kSilkPulseCountEscape)) return false;
  if (layers >= 2 && !HasWidth(escapeRow, kSilkPulseCountEscape)) return false;
  if (!HasWidth(layers == 0 ? firstRow : escapeRow, count)) return false;
  plan->layers = layers;
  return ShellFits(plan->top, 3);
}

}  // namespace

void EncodePulses(RangeEncoder* enc, int32_t signalType, int32_t offsetType, int32_t rateLevel,
                  const int32_t* pulses, int32_t frameLength) {
  if (signalType < 0 || signalType > 1 || offsetType < 0 || offsetType > 1 || rateLevel < 0 ||
      rateLevel >= kSilkRateLevels || frameLength < 0 || frameLength > 480 ||
      frameLength % kBlock != 0) {
    throw std::invalid_argument("EncodePulses: argument out of range");
  }
  const int32_t blocks = frameLength / kBlock;
  const uint16_t* firstRow = CountRow(rateLevel);

  // Magnitudes as unsigned values: the decoder rebuilds them with wrapping
  // arithmetic, so -2^31 comes back as itself (and reads no sign).
  uint32_t mag[480];
  for (int32_t i = 0; i < frameLength; ++i) {
    const uint32_t u = static_cast<uint32_t>(pulses[i]);
    mag[i] = pulses[i] < 0 ? 0u - u : u;
  }

  BlockPlan plans[480 / kBlock];
  for (int32_t b = 0; b < blocks; ++b) {
    int32_t layers = 0;
    while (!TryLayers(mag + b * kBlock, layers, firstRow, &plans[b])) {
      if (++layers > 31) throw std::invalid_argument("EncodePulses: block cannot be coded");
    }
  }

  RangeEncode(enc, rateLevel, SilkRateLevelCdf[signalType]);

  for (int32_t b = 0; b < blocks; ++b) {
    const BlockPlan& plan = plans[b];
    if (plan.layers > 0) RangeEncode(enc, kSilkPulseCountEscape, firstRow);
    for (int32_t e = 1; e < plan.layers; ++e) {
      RangeEncode(enc, kSilkPulseCountEscape, CountRow(kSilkPulseCountEscapeRow));
    }
    const uint16_t* row = plan.layers == 0 ? firstRow : CountRow(kSilkPulseCountEscapeRow);
    RangeEncode(enc, Sum(plan.top, kBlock), row);
  }

  for (int32_t b = 0; b < blocks; ++b) ShellEncode(enc, plans[b].top, 3);

  for (int32_t b = 0; b < blocks; ++b) {
    const int32_t layers = plans[b].layers;
    for (int32_t i = 0; i < kBlock && layers > 0; ++i) {
      const uint32_t m = mag[b * kBlock + i];
      for (int32_t layer = layers - 1; layer >= 0; --layer) {
        RangeEncode(enc, static_cast<int32_t>((m >> layer) & 1u), SilkLowBitCdf);
      }
    }
  }

  const uint16_t signCdf[3] = {
      0, SilkSignTable[SilkSignIndex(signalType, offsetType, rateLevel)], 65535};
  for (int32_t i = 0; i < frameLength; ++i) {
    // The decoder reads a sign for every value that comes out positive.
    if (static_cast<int32_t>(mag[i]) > 0) RangeEncode(enc, pulses[i] > 0 ? 1 : 0, signCdf);
  }
}
