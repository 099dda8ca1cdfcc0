// Decoding throughput: long streams at each internal rate, all decoded to
// 24 kHz as the loader does. x_realtime is seconds of audio per second of
// decoding (CPU time).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/bench_streams.h"
#include "silk/silk_decoder.h"

namespace {

constexpr int32_t kApiRateHz = 24000;
constexpr int32_t kStreamSeconds = 60;

void BM_Decode(benchmark::State& state) {
  const auto rateKhz = static_cast<int32_t>(state.range(0));
  const bool voiced = state.range(1) != 0;
  const PacketList packets = BuildSyntheticStream(BenchStreamOptions(rateKhz, voiced, kStreamSeconds));
  std::vector<int16_t> pcm(packets.size() * kSilkMaxFramesPerPacket * (kApiRateHz / 50));
  auto decoder = std::make_unique<SilkDecoderState>();

  int64_t samples = 0;
  for (auto _ : state) {
    samples = DecodeSyntheticStream(decoder.get(), packets, kApiRateHz, pcm.data(),
                                    static_cast<int64_t>(pcm.size()));
    benchmark::DoNotOptimize(pcm.data());
    benchmark::ClobberMemory();
  }
  const double audioSeconds = static_cast<double>(samples) / kApiRateHz;
  state.counters["x_realtime"] =
      benchmark::Counter(audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["audio_s"] = audioSeconds;
  state.SetItemsProcessed(samples * state.iterations());
}

}  // namespace

BENCHMARK(BM_Decode)
    ->ArgNames({"kHz", "voiced"})
    ->ArgsProduct({{8, 12, 16, 24}, {1, 0}})
    ->Unit(benchmark::kMillisecond);
