#include "silk/range_decoder.h"

#include <cstring>

#include "silk/primitives.h"

void SilkRangeInit(SilkRangeDecoder* dec, const uint8_t* payload, int32_t n) {
  if (static_cast<uint32_t>(n) > static_cast<uint32_t>(kSilkRangeMaxPayload)) {
    dec->status = kSilkRangeErrTooLong;
    return;
  }
  if (n > 0) std::memcpy(dec->payload, payload, static_cast<size_t>(n));
  dec->payloadLength = n;
  dec->readPos = 0;
  // The first four bytes of the array, whatever the payload's length: a short
  // payload takes the remaining bytes from what the array already holds.
  dec->code = (static_cast<uint32_t>(dec->payload[0]) << 24) |
              (static_cast<uint32_t>(dec->payload[1]) << 16) |
              (static_cast<uint32_t>(dec->payload[2]) << 8) | static_cast<uint32_t>(dec->payload[3]);
  dec->range = 65535;
  dec->status = 0;
}

namespace {

// Appends the next payload byte to the code value. The decoder reads four
// bytes ahead of readPos; past the end of the payload it appends zeros, and
// positions beyond the array read as zero too.
inline uint32_t ShiftByteIn(const SilkRangeDecoder* dec, uint32_t code, int32_t* readPos) {
  code <<= 8;
  if (*readPos < dec->payloadLength) {
    const int32_t at = *readPos + 4;
    if (at < kSilkRangeMaxPayload) code |= dec->payload[at];
    *readPos += 1;
  }
  return code;
}

}  // namespace

int32_t SilkRangeDecode(SilkRangeDecoder* dec, const uint16_t* cdf, int32_t start) {
  if (dec->status != 0) return 0;

  const uint32_t range = dec->range;
  uint32_t code = dec->code;
  uint32_t high = cdf[start];
  uint32_t low;
  int32_t symbol;

  if (range * high > code) {
    // The code lies below the start entry: walk down to the entry at or below it.
    int32_t k = start;
    for (;;) {
      --k;
      low = cdf[k];
      if (range * low <= code) break;
      high = low;
    }
    symbol = k;
  } else {
    low = high;
    int32_t k = start + 1;
    for (;;) {
      high = cdf[k];
      if (range * high > code) break;
      if (high == 65535) {
        dec->status = kSilkRangeErrSymbol;
        return 0;
      }
      low = high;
      ++k;
    }
    symbol = k - 1;
  }

  code -= range * low;
  const uint32_t width = range * (high - low);
  uint32_t newRange;
  int32_t readPos = dec->readPos;

  if (width >= (1u << 24)) {
    newRange = width >> 16;
  } else if (width >= (1u << 16)) {
    newRange = width >> 8;
    if (code >= (1u << 24)) {
      dec->status = kSilkRangeErrNormalise;
      return 0;
    }
    code = ShiftByteIn(dec, code, &readPos);
  } else {
    newRange = width;
    if (code >= (1u << 16)) {
      dec->status = kSilkRangeErrNormalise;
      return 0;
    }
    code = ShiftByteIn(dec, code, &readPos);
    code = ShiftByteIn(dec, code, &readPos);
  }

  if (newRange == 0) {
    dec->status = kSilkRangeErrZeroRange;
    return 0;
  }

  dec->code = code;
  dec->range = newRange;
  dec->readPos = readPos;
  return symbol;
}

void SilkRangeDecodeMany(SilkRangeDecoder* dec, const uint16_t* const* cdfs,
                         const int32_t* starts, int32_t count, int32_t* symbols) {
  for (int32_t k = 0; k < count; ++k) symbols[k] = SilkRangeDecode(dec, cdfs[k], starts[k]);
}

int32_t SilkRangeBitsUsed(const SilkRangeDecoder* dec) {
  return dec->readPos * 8 + clz32(dec->range - 1) - 14;
}

void SilkRangeCheckTail(SilkRangeDecoder* dec) {
  const int32_t bits = SilkRangeBitsUsed(dec);
  const int32_t bytes = (bits + 7) >> 3;
  if (bytes - 1 >= dec->payloadLength) {
    dec->status = kSilkRangeErrTail;
    return;
  }
  if ((bits & 7) != 0) {
    const uint32_t mask = 0xFFu >> (bits & 7);
    if ((dec->payload[bytes - 1] & mask) != mask) dec->status = kSilkRangeErrTail;
  }
}
