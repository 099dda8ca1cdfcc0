// Decodes one fixed benchmark stream once and prints the number of output
// samples: the workload scripts/callgrind.sh counts instructions on. Only
// RunDecode is measured there (callgrind --toggle-collect), not the building
// of the stream. REPEAT decodes it that many times (for sampling profilers).
//   tavimo-decode-once RATE_KHZ voiced|unvoiced [SECONDS] [REPEAT]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_streams.h"
#include "silk/silk_decoder.h"

extern "C" __attribute__((noinline)) int64_t RunDecode(SilkDecoderState* decoder,
                                                       const PacketList* packets, int16_t* pcm,
                                                       int64_t capacity) {
  return DecodeSyntheticStream(decoder, *packets, 24000, pcm, capacity);
}

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s RATE_KHZ voiced|unvoiced [SECONDS] [REPEAT]\n", argv[0]);
    return 2;
  }
  const int32_t rateKhz = std::atoi(argv[1]);
  if (rateKhz != 8 && rateKhz != 12 && rateKhz != 16 && rateKhz != 24) {
    std::fprintf(stderr, "rate must be 8, 12, 16 or 24\n");
    return 2;
  }
  const bool voiced = std::strcmp(argv[2], "unvoiced") != 0;
  const int32_t seconds = argc > 3 ? std::atoi(argv[3]) : 10;
  const int32_t repeat = argc > 4 ? std::atoi(argv[4]) : 1;

  const PacketList packets = BuildSyntheticStream(BenchStreamOptions(rateKhz, voiced, seconds));
  std::vector<int16_t> pcm(packets.size() * kSilkMaxFramesPerPacket * 480);
  auto decoder = std::make_unique<SilkDecoderState>();
  int64_t samples = 0;
  for (int32_t r = 0; r < repeat; ++r) {
    samples = RunDecode(decoder.get(), &packets, pcm.data(), static_cast<int64_t>(pcm.size()));
  }
  std::printf("%lld\n", static_cast<long long>(samples));
  return 0;
}
