// Fuzz target: the packet interface. The input is a little program of
// decoder calls: packets of arbitrary (also negative and over-long) lengths,
// lost packets, redundancy searches and changes of the output rate.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "silk/silk_decoder.h"

namespace {

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  bool empty() const { return pos >= size; }
  uint8_t byte() { return pos < size ? data[pos++] : 0; }
  int16_t i16() {
    const uint8_t lo = byte();
    const uint8_t hi = byte();
    return static_cast<int16_t>(lo | (hi << 8));
  }
};

constexpr int32_t kRates[] = {24000, 24000, 24000, 16000, 8000, 12000, 48000, 44100, 7999, 48001};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  auto state = std::make_unique<SilkDecoderState>();
  std::memset(state.get(), 0, sizeof(SilkDecoderState));
  SilkDecoderReset(state.get());
  SilkDecControl control{};
  control.apiRateHz = kRates[in.byte() % (sizeof(kRates) / sizeof(kRates[0]))];
  control.packetFrames = 1;

  static uint8_t payload[5120];
  static uint8_t redundancy[1024];
  static int16_t out[kSilkMaxApiFrameLength];
  int32_t lastBytes = 0;

  for (int step = 0; step < 200 && !in.empty(); ++step) {
    const uint8_t op = in.byte();
    switch (op % 8) {
      case 6: {  // redundancy search on a packet
        const int32_t n = in.i16();
        const int32_t avail = n < 0 ? 0 : (n > 5120 ? 5120 : n);
        std::memset(payload, 0, sizeof(payload));
        for (int32_t i = 0; i < avail && !in.empty(); ++i) payload[i] = in.byte();
        int16_t found = -1;
        SilkFindRedundancy(payload, n > 5120 ? 5120 : n, op >> 3 & 3, redundancy, &found);
        if (found < 0 || found > 1024) std::abort();
        break;
      }
      case 7:  // change the output rate
        control.apiRateHz = kRates[in.byte() % (sizeof(kRates) / sizeof(kRates[0]))];
        break;
      default: {  // decode a packet (op 5: lost)
        const int32_t lost = (op % 8) == 5 ? 1 : 0;
        if (!lost) {
          const int32_t n = in.i16();
          const int32_t avail = n < 0 ? 0 : (n > 5120 ? 5120 : n);
          std::memset(payload, 0, sizeof(payload));
          for (int32_t i = 0; i < avail && !in.empty(); ++i) payload[i] = in.byte();
          lastBytes = n > 5120 ? 5120 : n;
        }
        int frames = 0;
        do {
          int16_t count = -1;
          const int32_t rc = SilkDecodePacket(state.get(), &control, lost, payload, lastBytes, out, &count);
          if (rc != kSilkErrApiRate && (count < 0 || count > kSilkMaxApiFrameLength)) std::abort();
          ++frames;
        } while (control.moreFrames != 0 && frames < 10);
        if (frames > 5) std::abort();  // a packet never yields more than five frames
        break;
      }
    }
  }
  return 0;
}
