#include "tools/streamwriter/range_encoder.h"

#include <stdexcept>

#include "silk/primitives.h"

namespace {

// Adds v to the big-endian number at its last byte, carrying towards the front.
void AddAtEnd(std::vector<uint8_t>* digits, uint64_t v) {
  for (size_t i = digits->size(); v != 0; --i) {
    if (i == 0) throw std::logic_error("range encoder: interval left the code space");
    const uint64_t sum = static_cast<uint64_t>((*digits)[i - 1]) + (v & 0xFF);
    (*digits)[i - 1] = static_cast<uint8_t>(sum & 0xFF);
    v = (v >> 8) + (sum >> 8);
  }
}

}  // namespace

void RangeEncoderInit(RangeEncoder* enc) {
  enc->low.assign(4, 0);
  enc->range = 65535;
  enc->width = uint64_t{1} << 32;
  enc->shifts = 0;
}

void RangeEncode(RangeEncoder* enc, int32_t symbol, const uint16_t* cdf) {
  if (symbol < 0) throw std::invalid_argument("range encoder: negative symbol");
  const uint32_t lo = cdf[symbol];
  const uint32_t hi = cdf[symbol + 1];
  if (hi <= lo) throw std::invalid_argument("range encoder: symbol of zero width");

  AddAtEnd(&enc->low, static_cast<uint64_t>(enc->range * lo));
  const uint32_t w = enc->range * (hi - lo);
  // Renormalise exactly as the decoder does, appending a zero byte to the
  // interval's bottom for every byte the decoder shifts in.
  if (w >= (1u << 24)) {
    enc->range = w >> 16;
    enc->width = w;
  } else if (w >= (1u << 16)) {
    enc->range = w >> 8;
    enc->width = static_cast<uint64_t>(w) << 8;
    enc->low.push_back(0);
    enc->shifts += 1;
  } else {
    enc->range = w;
    enc->width = static_cast<uint64_t>(w) << 16;
    enc->low.push_back(0);
    enc->low.push_back(0);
    enc->shifts += 2;
  }
}

int32_t RangeEncoderBitsUsed(const RangeEncoder* enc) {
  return enc->shifts * 8 + clz32(enc->range - 1) - 14;
}

std::vector<uint8_t> RangeEncoderFinish(RangeEncoder* enc) {
  const int32_t bits = RangeEncoderBitsUsed(enc);
  // The bits of `low` below the used ones: 14 to 30 of them. The interval is
  // at least twice this block size wide, so it holds a whole aligned block.
  const int32_t freeBits = static_cast<int32_t>(enc->low.size()) * 8 - bits;
  const uint64_t block = uint64_t{1} << freeBits;

  const size_t n = enc->low.size();
  const uint64_t tail = (static_cast<uint64_t>(enc->low[n - 4]) << 24) |
                        (static_cast<uint64_t>(enc->low[n - 3]) << 16) |
                        (static_cast<uint64_t>(enc->low[n - 2]) << 8) | enc->low[n - 1];
  const uint64_t toAligned = (block - tail % block) % block;
  if (toAligned + block > enc->width) throw std::logic_error("range encoder: interval too narrow");

  // The first aligned block in the interval, with all its free bits set: the
  // used bits identify the block, and the spare bits of the last byte are ones.
  std::vector<uint8_t> value = enc->low;
  AddAtEnd(&value, toAligned + block - 1);
  value.resize(static_cast<size_t>((bits + 7) >> 3));
  return value;
}
