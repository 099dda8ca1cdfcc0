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

int32_t SilkRangeDecode(SilkRangeDecoder* dec, const uint16_t* cdf, int32_t start) {
  SilkRangeCursor cursor = SilkRangeCursorLoad(dec);
  const int32_t symbol = SilkRangeCursorDecode(&cursor, cdf, start);
  SilkRangeCursorStore(dec, cursor);
  return symbol;
}

void SilkRangeDecodeMany(SilkRangeDecoder* dec, const uint16_t* const* cdfs,
                         const int32_t* starts, int32_t count, int32_t* symbols) {
  SilkRangeCursor cursor = SilkRangeCursorLoad(dec);
  for (int32_t k = 0; k < count; ++k) symbols[k] = SilkRangeCursorDecode(&cursor, cdfs[k], starts[k]);
  SilkRangeCursorStore(dec, cursor);
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
