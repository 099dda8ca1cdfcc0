// The streams the benchmarks and the instruction-count driver decode:
// speech-like runs at one internal rate, mostly voiced or mostly unvoiced,
// with a few lost packets (some of them carried as redundant copies).
#pragma once

#include <cstdint>

#include "tools/streamwriter/synthetic_streams.h"

inline SyntheticStreamOptions BenchStreamOptions(int32_t rateKhz, bool voiced, int32_t seconds) {
  SyntheticStreamOptions o;
  o.rateIndex = rateKhz == 8 ? 0 : rateKhz == 12 ? 1 : rateKhz == 16 ? 2 : 3;
  o.voicedPercent = voiced ? 85 : 15;
  o.packets = seconds * 50;  // one 20 ms frame per packet
  o.lostPercent = 3;
  o.redundancyPercent = 50;
  o.seed = static_cast<uint32_t>(1000 + 10 * rateKhz + (voiced ? 1 : 0));
  return o;
}
