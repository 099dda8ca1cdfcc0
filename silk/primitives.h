// Fixed-point arithmetic primitives of the SILK decoder.
//
// Every filter of the decoder is written with these operations, and their
// exact integer meaning is what makes the output bit-exact. Additions,
// subtractions, products and left shifts wrap modulo 2^32: they are computed
// in uint32_t and converted back, so no operation relies on signed overflow
// (the test suite runs clean under -fsanitize=undefined). Right shifts of
// signed values are arithmetic, which C++20 guarantees.
#pragma once

#include <cstdint>

// ---- wrapping 32-bit helpers -------------------------------------------

inline int32_t addw(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t subw(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t mulw(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline int32_t negw(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }
// Left shift that wraps (shift 0..31); defined for negative values too.
inline int32_t shlw(int32_t a, int s) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) << s);
}

// ---- the decoder's primitives ---------------------------------------------

// (int16)a * (int16)b; always fits in 32 bits.
inline int32_t mul16(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<int16_t>(a)) * static_cast<int32_t>(static_cast<int16_t>(b));
}
inline int32_t mac16(int32_t acc, int32_t a, int32_t b) { return addw(acc, mul16(a, b)); }

// floor(a * (int16)b / 65536). The 48-bit product fits easily in 64 bits and
// the result in 32, so the 64-bit form equals the split 32-bit definition.
inline int32_t mulw16(int32_t a, int32_t b) {
  return static_cast<int32_t>((static_cast<int64_t>(a) * static_cast<int16_t>(b)) >> 16);
}
inline int32_t macw16(int32_t acc, int32_t a, int32_t b) { return addw(acc, mulw16(a, b)); }

// mulw16 with the top 16 bits of b as the signed factor.
inline int32_t mulw16t(int32_t a, int32_t b) {
  return static_cast<int32_t>((static_cast<int64_t>(a) * (b >> 16)) >> 16);
}
inline int32_t macw16t(int32_t acc, int32_t a, int32_t b) { return addw(acc, mulw16t(a, b)); }

// Low 32 bits of floor(a * b / 65536).
inline int32_t mulww(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(
      static_cast<uint64_t>((static_cast<int64_t>(a) * static_cast<int64_t>(b)) >> 16)));
}
inline int32_t macww(int32_t acc, int32_t a, int32_t b) { return addw(acc, mulww(a, b)); }

// High 32 bits of the signed 64-bit product.
inline int32_t mulhi32(int32_t a, int32_t b) {
  return static_cast<int32_t>((static_cast<int64_t>(a) * static_cast<int64_t>(b)) >> 32);
}

// a / 2^s rounded, halves toward plus infinity; s in 1..31.
inline int32_t rshiftRound(int32_t a, int s) {
  if (s == 1) return addw(a >> 1, a & 1);
  return addw(a >> (s - 1), 1) >> 1;
}

// Low 32 bits of ((x >> (s - 1)) + 1) >> 1, in 64 bits; s in 1..63.
inline int32_t rshiftRound64(int64_t x, int s) {
  const int64_t t = x >> (s - 1);
  // t + 1 cannot overflow: t is at most 2^62 for s >= 2, and x >> 0 only for s = 1.
  const uint64_t u = static_cast<uint64_t>(t) + 1u;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(u) >> 1));
}

inline int32_t sat16(int32_t a) {
  return a > 32767 ? 32767 : (a < -32768 ? -32768 : a);
}

inline int32_t addSat32(int32_t a, int32_t b) {
  const int32_t r = addw(a, b);
  if (r < 0 && a >= 0 && b >= 0) return INT32_MAX;
  if (r >= 0 && a < 0 && b < 0) return INT32_MIN;
  return r;
}

// a limited to [INT32_MIN >> s, INT32_MAX >> s], then shifted left by s (0..31).
inline int32_t lshiftSat32(int32_t a, int s) {
  const int32_t lo = INT32_MIN >> s;
  const int32_t hi = INT32_MAX >> s;
  const int32_t c = a < lo ? lo : (a > hi ? hi : a);
  return shlw(c, s);
}

// Leading zeros of a 16-bit value (16 for 0).
inline int32_t clz16(int32_t x) {
  const uint32_t v = static_cast<uint32_t>(x) & 0xFFFFu;
  return v == 0 ? 16 : __builtin_clz(v) - 16;
}

// Leading zeros of a 32-bit value (32 for 0).
inline int32_t clz32(uint32_t x) { return x == 0 ? 32 : __builtin_clz(x); }

// The codec's linear congruential generator.
inline int32_t lcgNext(int32_t seed) { return addw(907633515, mulw(seed, 196314165)); }
