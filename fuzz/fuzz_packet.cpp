// Fuzz target: the packet interface. The input is a little program of decoder
// calls on one stream: packets of arbitrary (also negative and over-long)
// lengths, single calls in the middle of a packet, lost calls with any flag
// value, redundancy searches, output rate changes and resets.
//
// Input format: byte 0 picks the first output rate; then one op byte per
// step, op % 8:
//   0..2  new payload, then calls until the packet is drained (at most 10)
//   3     new payload, one call only (the packet may stay open)
//   4     one call with the current payload (continues an open packet)
//   5     one lost call; op >> 3 picks the flag value (mostly 1)
//   6     new payload, redundancy search with distance (op >> 3) & 3
//   7     op >> 3 even: new output rate from the next byte; odd: reset
// A new payload is an int16 length (little-endian) followed by its bytes,
// as many as the length asks for and the input still has (lengths above
// 5120 count as 5120). The payload sits in a buffer of exactly its length,
// so the sanitizer sees any read past it.
//
// Checked: sample counts, frame counts and flags stay in range, a bad output
// rate gives -10 and nothing else does, a packet yields at most five frames,
// a found redundant copy is the tail of the searched packet, and the program
// gives the same output when run a second time over a differently filled
// stack (no value depends on uninitialised memory).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "silk/silk_decoder.h"

namespace {

constexpr int32_t kMaxPayload = 5120;
constexpr int32_t kMaxSteps = 64;
constexpr int32_t kMaxDrainCalls = 10;

constexpr int32_t kRates[] = {24000, 24000, 24000, 16000, 12000, 8000,  48000,
                              44100, 32000, 11025, 7999,  48001, 0,     -24000};
constexpr int32_t kLostFlags[] = {1, 1, 1, 1, 1, 2, -1, 255};

template <typename T, size_t N>
constexpr size_t Count(const T (&)[N]) {
  return N;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  bool empty() const { return pos >= size; }
  uint8_t byte() { return pos < size ? data[pos++] : 0; }
  int16_t i16() {
    const uint8_t lo = byte();
    const uint8_t hi = byte();
    return static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
  }
};

// Fills a stretch of stack below the caller, so that a later call that reads
// a local before writing it sees `fill` there.
__attribute__((noinline)) void ScrubStack(uint8_t fill) {
  volatile uint8_t area[96 * 1024];
  std::memset(const_cast<uint8_t*>(area), fill, sizeof area);
}

struct Hash {
  uint64_t h = 1469598103934665603ull;
  void add(int64_t v) {
    for (int i = 0; i < 8; ++i) {
      h ^= static_cast<uint8_t>(v >> (8 * i));
      h *= 1099511628211ull;
    }
  }
};

class Program {
 public:
  Program(const uint8_t* data, size_t size) : in_{data, size} {}

  uint64_t Run() {
    state_ = std::make_unique<SilkDecoderState>();
    SilkDecoderReset(state_.get());
    control_ = SilkDecControl{};
    control_.apiRateHz = kRates[in_.byte() % Count(kRates)];
    control_.packetFrames = 1;

    for (int32_t step = 0; step < kMaxSteps && !in_.empty(); ++step) {
      const uint8_t op = in_.byte();
      switch (op % 8) {
        case 0:
        case 1:
        case 2: {
          NewPayload();
          int32_t calls = 0;
          do {
            Call(0);
            ++calls;
          } while (control_.moreFrames != 0 && calls < kMaxDrainCalls);
          // A packet never yields more than five frames.
          Check(calls <= kSilkMaxFramesPerPacket);
          break;
        }
        case 3:
          NewPayload();
          Call(0);
          break;
        case 4:
          Call(0);
          break;
        case 5:
          Call(kLostFlags[(op >> 3) % Count(kLostFlags)]);
          break;
        case 6:
          NewPayload();
          Search((op >> 3) & 3);
          break;
        case 7:
          if (((op >> 3) & 1) == 0) {
            control_.apiRateHz = kRates[in_.byte() % Count(kRates)];
          } else {
            SilkDecoderReset(state_.get());
          }
          break;
      }
    }
    return hash_.h;
  }

 private:
  void NewPayload() {
    const int32_t n = in_.i16();
    const int32_t bytes = n < 0 ? 0 : (n > kMaxPayload ? kMaxPayload : n);
    payload_.assign(static_cast<size_t>(bytes), 0);
    for (int32_t i = 0; i < bytes && !in_.empty(); ++i) payload_[static_cast<size_t>(i)] = in_.byte();
    payload_.shrink_to_fit();
    // Negative lengths reach the decoder as they are.
    payloadBytes_ = n < 0 ? n : bytes;
  }

  void Call(int32_t lostFlag) {
    int16_t count = -1;
    const int32_t rate = control_.apiRateHz;
    const int32_t rc = SilkDecodePacket(state_.get(), &control_, lostFlag, payload_.data(),
                                        payloadBytes_, out_, &count);
    const bool rateOk = rate >= 8000 && rate <= 48000;
    Check(rateOk == (rc != kSilkErrApiRate));
    Check(rc <= 0);
    if (rateOk) {
      Check(count >= 0 && count <= kSilkMaxApiFrameLength);
      Check(control_.frameSamples == rate / 50);
      for (int32_t i = 0; i < count; ++i) hash_.add(out_[i]);
    }
    Check(control_.moreFrames == 0 || control_.moreFrames == 1);
    Check(control_.packetFrames >= 0 && control_.packetFrames <= kSilkMaxFramesPerPacket);
    Check(state_->rateKhz == 8 || state_->rateKhz == 12 || state_->rateKhz == 16 ||
          state_->rateKhz == 24);
    hash_.add(rc);
    hash_.add(count);
    hash_.add(control_.moreFrames);
    hash_.add(control_.packetFrames);
  }

  void Search(int32_t distance) {
    int16_t found = -1;
    std::memset(redundancy_, 0xA5, sizeof redundancy_);
    SilkFindRedundancy(payload_.data(), payloadBytes_, distance, redundancy_, &found);
    Check(found >= 0 && found <= kSilkRangeMaxPayload);
    if (distance != 1 && distance != 2) Check(found == 0);
    if (payloadBytes_ < 1 || payloadBytes_ > kSilkRangeMaxPayload) Check(found == 0);
    if (found > 0) {
      Check(found <= payloadBytes_);
      Check(std::memcmp(redundancy_, payload_.data() + (payloadBytes_ - found), found) == 0);
    }
    hash_.add(found);
  }

  Reader in_;
  std::unique_ptr<SilkDecoderState> state_;
  SilkDecControl control_{};
  std::vector<uint8_t> payload_;
  int32_t payloadBytes_ = 0;
  uint8_t redundancy_[kSilkRangeMaxPayload];
  int16_t out_[kSilkMaxApiFrameLength];
  Hash hash_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ScrubStack(0x00);
  const uint64_t first = Program(data, size).Run();
  ScrubStack(0xA5);
  const uint64_t second = Program(data, size).Run();
  Check(first == second);
  return 0;
}
