// Range decoder: every symbol of a packet is decoded from one code stream
// against 16-bit cumulative frequency tables (CDFs). A CDF with n + 1 entries
// (0 first, 65535 last, non-decreasing) codes the symbols 0..n-1; each table
// comes with a start index where the linear symbol search begins.
//
// The first inconsistency is recorded in `status`; afterwards every symbol
// decodes as 0 and the decoder does not move.
#pragma once

#include <cstdint>

enum : int32_t {
  kSilkRangeMaxPayload = 1024,
  kSilkRangeErrSymbol = -2,      // upward search reached the final 65535 entry
  kSilkRangeErrNormalise = -3,   // code outside the interval at renormalisation
  kSilkRangeErrZeroRange = -4,   // interval of width 0
  kSilkRangeErrTail = -5,        // end-of-frame padding check failed
  kSilkRangeErrPastEnd = -6,     // a frame used more bytes than the payload has
  kSilkRangeErrTooLong = -8,     // payload longer than 1024 bytes
};

struct SilkRangeDecoder {
  int32_t payloadLength;  // 0..1024
  int32_t readPos;        // bytes consumed after the first four
  uint32_t code;          // offset of the received value from the interval's bottom
  uint32_t range;         // interval width, 1..65535
  int32_t status;         // 0 or a negative error code
  uint8_t payload[kSilkRangeMaxPayload];
};

// Copies n bytes (n <= 1024) into the decoder's own array; the rest of the
// array keeps what it held. n > 1024 or n < 0 sets status -8 and nothing else.
void SilkRangeInit(SilkRangeDecoder* dec, const uint8_t* payload, int32_t n);

// Decodes one symbol with `cdf` starting the search at `start`; 0 after an error.
int32_t SilkRangeDecode(SilkRangeDecoder* dec, const uint16_t* cdf, int32_t start);

// For loops that decode many symbols: the decoder's moving parts copied
// into a local record that the compiler can keep in registers (stores to
// other arrays in the loop then do not force them back to memory). Load,
// decode with the cursor functions, store back; in between the decoder
// record itself must not be used.
struct SilkRangeCursor {
  uint32_t code;
  uint32_t range;
  int32_t readPos;
  int32_t status;
  int32_t payloadLength;
  const uint8_t* payload;
};

inline SilkRangeCursor SilkRangeCursorLoad(const SilkRangeDecoder* dec);
inline void SilkRangeCursorStore(SilkRangeDecoder* dec, const SilkRangeCursor& cursor);

// SilkRangeDecode on a cursor.
inline int32_t SilkRangeCursorDecode(SilkRangeCursor* cursor, const uint16_t* cdf, int32_t start);

// SilkRangeDecode on a cursor for a table of two symbols {0, split, 65535}
// searched from its middle entry (signs, low bits), without the table walk.
inline int32_t SilkRangeCursorDecodeBinary(SilkRangeCursor* cursor, uint32_t split);

// count symbols, the k-th with cdfs[k] and starts[k], into symbols[k].
void SilkRangeDecodeMany(SilkRangeDecoder* dec, const uint16_t* const* cdfs,
                         const int32_t* starts, int32_t count, int32_t* symbols);

// Bits used so far; bytes used = (bits + 7) >> 3.
int32_t SilkRangeBitsUsed(const SilkRangeDecoder* dec);

// For a frame that ends exactly at the payload's end: the spare low bits of
// the last byte must all be ones; otherwise status -5.
void SilkRangeCheckTail(SilkRangeDecoder* dec);

// ---- inline decoding ---------------------------------------------------

inline SilkRangeCursor SilkRangeCursorLoad(const SilkRangeDecoder* dec) {
  return {dec->code, dec->range, dec->readPos, dec->status, dec->payloadLength, dec->payload};
}

inline void SilkRangeCursorStore(SilkRangeDecoder* dec, const SilkRangeCursor& cursor) {
  dec->code = cursor.code;
  dec->range = cursor.range;
  dec->readPos = cursor.readPos;
  dec->status = cursor.status;
}

namespace silk_range_detail {

// Appends the next payload byte to the code value. The decoder reads four
// bytes ahead of readPos; past the end of the payload it appends zeros, and
// positions beyond the array read as zero too.
inline uint32_t ShiftByteIn(const SilkRangeCursor* c, uint32_t code, int32_t* readPos) {
  code <<= 8;
  if (*readPos < c->payloadLength) {
    const int32_t at = *readPos + 4;
    if (at < kSilkRangeMaxPayload) code |= c->payload[at];
    *readPos += 1;
  }
  return code;
}

// Narrows the interval to [low, high) of the decoded symbol and renormalises;
// returns `symbol`, or 0 with the status set when the stream is inconsistent.
inline int32_t Narrow(SilkRangeCursor* c, uint32_t low, uint32_t high, int32_t symbol) {
  const uint32_t range = c->range;
  uint32_t code = c->code - range * low;
  const uint32_t width = range * (high - low);
  uint32_t newRange;
  int32_t readPos = c->readPos;

  if (width >= (1u << 24)) {
    newRange = width >> 16;
  } else if (width >= (1u << 16)) {
    newRange = width >> 8;
    if (code >= (1u << 24)) {
      c->status = kSilkRangeErrNormalise;
      return 0;
    }
    code = ShiftByteIn(c, code, &readPos);
  } else {
    newRange = width;
    if (code >= (1u << 16)) {
      c->status = kSilkRangeErrNormalise;
      return 0;
    }
    code = ShiftByteIn(c, code, &readPos);
    code = ShiftByteIn(c, code, &readPos);
  }

  if (newRange == 0) {
    c->status = kSilkRangeErrZeroRange;
    return 0;
  }

  c->code = code;
  c->range = newRange;
  c->readPos = readPos;
  return symbol;
}

}  // namespace silk_range_detail

inline int32_t SilkRangeCursorDecode(SilkRangeCursor* c, const uint16_t* cdf, int32_t start) {
  if (c->status != 0) return 0;

  const uint32_t range = c->range;
  const uint32_t code = c->code;
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
        c->status = kSilkRangeErrSymbol;
        return 0;
      }
      low = high;
      ++k;
    }
    symbol = k - 1;
  }
  return silk_range_detail::Narrow(c, low, high, symbol);
}

inline int32_t SilkRangeCursorDecodeBinary(SilkRangeCursor* c, uint32_t split) {
  if (c->status != 0) return 0;
  const uint32_t range = c->range;
  const uint32_t code = c->code;
  // The decision itself is taken without a branch: it is as good as random.
  const uint32_t bound = range * split;
  const int32_t symbol = static_cast<int32_t>(code >= bound);
  if (code >= range * 65535u) {
    c->status = kSilkRangeErrSymbol;
    return 0;
  }
  const uint32_t mask = 0u - static_cast<uint32_t>(symbol);
  const uint32_t low = split & mask;
  const uint32_t high = split ^ ((split ^ 65535u) & mask);
  return silk_range_detail::Narrow(c, low, high, symbol);
}
