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

// count symbols, the k-th with cdfs[k] and starts[k], into symbols[k].
void SilkRangeDecodeMany(SilkRangeDecoder* dec, const uint16_t* const* cdfs,
                         const int32_t* starts, int32_t count, int32_t* symbols);

// Bits used so far; bytes used = (bits + 7) >> 3.
int32_t SilkRangeBitsUsed(const SilkRangeDecoder* dec);

// For a frame that ends exactly at the payload's end: the spare low bits of
// the last byte must all be ones; otherwise status -5.
void SilkRangeCheckTail(SilkRangeDecoder* dec);
