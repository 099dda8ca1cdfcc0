// Range encoder: the exact inverse of the decoder in silk/range_decoder.h.
//
// The encoder follows the decoder's arithmetic step by step. It keeps the
// bottom of the current interval as a growing big-endian number with one
// byte per byte the decoder has shifted in (four at the start), adds the
// symbol's offset range * cdf[s] into its low end (carries run towards the
// front), and appends zero bytes exactly where the decoder renormalises.
//
// RangeEncoderFinish picks, inside the final interval, the value with the
// fewest leading bits such that every continuation of those bits stays in
// the interval, and fills the rest of the last byte with ones. So:
//  - decoding the bytes with the same tables (any valid start indices) gives
//    back the symbols with status 0, whatever follows the bytes in the
//    decoder's array (stale bytes, or raw data appended to the packet);
//  - after the last symbol, (SilkRangeBitsUsed + 7) >> 3 equals the number of
//    bytes, and SilkRangeCheckTail passes on them.
// The output is never empty. It is shorter than four bytes when little was
// coded (nothing at all gives one byte, 0x3F); the decoder then takes the
// rest of its initial code from whatever its array holds, which by the
// property above does not change any symbol.
#pragma once

#include <cstdint>
#include <vector>

struct RangeEncoder {
  std::vector<uint8_t> low;  // bottom of the interval, big-endian, 4 + shifts bytes
  uint32_t range;            // the decoder's range after the last symbol
  uint64_t width;            // width of the interval in units of the last byte of `low`
  int32_t shifts;            // bytes the decoder has shifted in after the first four
};

void RangeEncoderInit(RangeEncoder* enc);

// Codes `symbol` with `cdf` (a table as the decoder takes it). The symbol must
// have non-zero width (cdf[symbol + 1] > cdf[symbol]); otherwise
// std::invalid_argument is thrown and the encoder is unchanged.
void RangeEncode(RangeEncoder* enc, int32_t symbol, const uint16_t* cdf);

// The coded bytes. The encoder is left as it was, so coding may go on and a
// later call gives the bytes of the longer sequence.
std::vector<uint8_t> RangeEncoderFinish(RangeEncoder* enc);

// The bits the decoder reports as used at this point (SilkRangeBitsUsed).
int32_t RangeEncoderBitsUsed(const RangeEncoder* enc);
