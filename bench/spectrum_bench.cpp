// The spectrum display's 2048-point transform on noise.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "player/spectrum_fft.h"

namespace {

void BM_SpectrumTransform(benchmark::State& state) {
  SpectrumFft fft;
  std::vector<float> input(static_cast<size_t>(fft.size));
  uint32_t seed = 1;
  for (float& v : input) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<float>(static_cast<int32_t>(seed) >> 16) / 32768.0f;
  }
  for (auto _ : state) {
    const float* magnitude = fft.Transform(input.data());
    benchmark::DoNotOptimize(magnitude);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  // Seconds of 24 kHz audio covered per second, were every sample analysed once.
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * fft.size / 24000.0, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_SpectrumTransform)->Unit(benchmark::kMicrosecond);
