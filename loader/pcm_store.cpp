// The voice file loader: reads the length-prefixed packets of a voice file,
// keeps the last three in a queue so that a later packet's redundant copy can
// stand in for a lost one, and drives the decoder over every packet.

#include "loader/pcm_store.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "silk/silk_decoder.h"

namespace {

constexpr int32_t kApiRateHz = 24000;
constexpr int32_t kHeaderAreaBytes = 50;
constexpr int32_t kHeaderReadBytes = 10;
constexpr const char kTag[] = "#!SILK_V3";

// The queue holds three packets of at most kMaxQueuedPayload bytes each.
constexpr int32_t kMaxQueuedPayload = 5120;
constexpr int32_t kQueueBytes = 3 * kMaxQueuedPayload;
constexpr int32_t kRedundancyBytes = 5120;
constexpr int32_t kOutputSamples = 9600;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Reads a 16-bit little-endian signed packet length. False when the file
// ends before both bytes were read.
bool ReadLength(std::FILE* f, int16_t* length) {
  uint8_t b[2];
  if (std::fread(b, 1, 2, f) != 2) return false;
  *length = static_cast<int16_t>(static_cast<uint16_t>(b[0] | (b[1] << 8)));
  return true;
}

// Reads a payload of `length` bytes (length >= 0) to `dest`. Only the first
// kMaxQueuedPayload bytes are kept; the rest is read and dropped so that the
// next length is found in its place. Returns the number of bytes kept, or -1
// when the file ended early (the bytes that did arrive stay in dest).
int32_t ReadPayload(std::FILE* f, int32_t length, uint8_t* dest) {
  const int32_t kept = length < kMaxQueuedPayload ? length : kMaxQueuedPayload;
  if (kept > 0 && std::fread(dest, 1, static_cast<size_t>(kept), f) != static_cast<size_t>(kept)) {
    return -1;
  }
  uint8_t discard[512];
  int32_t rest = length - kept;
  while (rest > 0) {
    const int32_t n = rest < static_cast<int32_t>(sizeof discard) ? rest : sizeof discard;
    if (std::fread(discard, 1, static_cast<size_t>(n), f) != static_cast<size_t>(n)) return -1;
    rest -= n;
  }
  return kept;
}

// The progress line, "\rPackets decoded:" and the count, after every
// packet. The lines are gathered and written in batches (one write for about
// a hundred packets, and the rest when the load returns): the same bytes
// reach stderr without a system call per packet.
class ProgressLine {
 public:
  ProgressLine() = default;
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() { Flush(); }

  // `prefix` is the line up to the count; count >= 0.
  void Add(const char* prefix, int32_t count) {
    const size_t prefixBytes = std::strlen(prefix);
    if (m_used + prefixBytes + kMaxDigits > sizeof m_text) Flush();
    std::memcpy(m_text + m_used, prefix, prefixBytes);
    m_used += prefixBytes;
    char digits[kMaxDigits];
    size_t n = 0;
    auto value = static_cast<uint32_t>(count);
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (n > 0) m_text[m_used++] = digits[--n];
  }

  void Flush() {
    if (m_used > 0) std::fwrite(m_text, 1, m_used, stderr);
    m_used = 0;
  }

 private:
  static constexpr size_t kMaxDigits = 10;
  char m_text[4096];
  size_t m_used = 0;
};

constexpr const char kMainLine[] = "\rPackets decoded:             ";
constexpr const char kFlushLine[] = "\rPackets decoded:              ";

// Everything one load works on; lives for a single LoadVoiceFile call.
struct LoadContext {
  SilkDecoderState* state;
  SilkDecControl control;
  uint8_t queue[kQueueBytes];
  int32_t queueEnd;
  int16_t slots[3];  // payload lengths: 0 oldest (next to decode), 2 newest; 0 = lost
  uint8_t redundancy[kRedundancyBytes];
  int16_t output[kOutputSamples];
  // What the last decode call was given; a concealment call passes it again
  // (the decoder does not read it then).
  const uint8_t* lastPayload;
  int32_t lastPayloadBytes;
};

// Decodes a received packet: one call per frame while the decoder reports
// more frames. Returns the number of samples written to ctx.output.
int32_t DecodeReceived(LoadContext& ctx, const uint8_t* payload, int32_t bytes) {
  ctx.lastPayload = payload;
  ctx.lastPayloadBytes = bytes;
  int32_t total = 0;
  do {
    // A packet has at most five frames of at most 960 samples; the room check
    // only guards the buffer should the decoder ever report more.
    if (total + kSilkMaxApiFrameLength > kOutputSamples) break;
    int16_t n = 0;
    SilkDecodePacket(ctx.state, &ctx.control, 0, payload, bytes, ctx.output + total, &n);
    total += n;
  } while (ctx.control.moreFrames != 0);
  return total;
}

// Conceals a lost packet: as many frames as the last finished packet had.
int32_t DecodeLost(LoadContext& ctx) {
  int32_t total = 0;
  for (int32_t calls = 0; calls < ctx.control.packetFrames; ++calls) {
    if (total + kSilkMaxApiFrameLength > kOutputSamples) break;
    int16_t n = 0;
    SilkDecodePacket(ctx.state, &ctx.control, 1, ctx.lastPayload, ctx.lastPayloadBytes,
                     ctx.output + total, &n);
    total += n;
  }
  return total;
}

// Decodes the head of the queue. A lost head is taken from the redundant copy
// carried by one of the two packets behind it when there is one.
int32_t DecodeHead(LoadContext& ctx) {
  if (ctx.slots[0] > 0) return DecodeReceived(ctx, ctx.queue, ctx.slots[0]);

  int32_t offset = 0;  // slot 0 is lost and has no bytes in the queue
  for (int32_t i = 1; i <= 2; ++i) {
    if (ctx.slots[i] > 0) {
      int16_t found = 0;
      SilkFindRedundancy(ctx.queue + offset, ctx.slots[i], i, ctx.redundancy, &found);
      if (found >= 1) return DecodeReceived(ctx, ctx.redundancy, found);
    }
    offset += ctx.slots[i];
  }
  return DecodeLost(ctx);
}

// Drops the head: the payloads of slots 1 and 2 move to the queue's start.
// The newest slot keeps its value, so during the flush slots 1 and 2 are
// equal and the last search looks at the bytes behind the last packet.
void AdvanceQueue(LoadContext& ctx, bool moveEnd) {
  const int16_t moved = static_cast<int16_t>(ctx.slots[1] + ctx.slots[2]);
  if (moved > 0) std::memmove(ctx.queue, ctx.queue + ctx.slots[0], static_cast<size_t>(moved));
  if (moveEnd) ctx.queueEnd -= ctx.slots[0];
  ctx.slots[0] = ctx.slots[1];
  ctx.slots[1] = ctx.slots[2];
}

}  // namespace

PcmStore::PcmStore() : buffer(new uint8_t[kCapacityBytes]()), byteCount(0) {}

PcmStore::~PcmStore() { delete[] buffer; }

bool PcmStore::LoadVoiceFile(const std::string& path) {
  m_lastError = LoadError::None;

  FileHandle file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    m_lastError = LoadError::CannotOpen;
    return false;
  }

  // The tag must stand at bytes 1..9. Only ten bytes are read into a zeroed
  // area, so the text compared ends right after byte 9.
  char header[kHeaderAreaBytes] = {};
  std::fread(header, 1, kHeaderReadBytes, file.get());
  if (std::strcmp(header + 1, kTag) != 0) {
    m_lastError = LoadError::NotVoiceFile;
    return false;
  }

  // Working storage of this call, zero-filled on every load so that reads
  // past the last queued packet see the same bytes each time. The decoder
  // state is the only heap object; both go away on every return path.
  LoadContext ctx{};
  ctx.control.apiRateHz = kApiRateHz;
  ctx.control.packetFrames = 1;
  auto state = std::make_unique<SilkDecoderState>();  // zero-filled
  ctx.state = state.get();
  SilkDecoderReset(ctx.state);

  std::FILE* f = file.get();
  ProgressLine progress;  // written out on every return path
  int32_t packets = 0;
  bool streamEnded = false;

  // Prime the queue with the first two packets. A negative length, a missing
  // length or a short payload ends the stream here already.
  for (int32_t slot = 0; slot < 2; ++slot) {
    int16_t length = 0;
    if (!ReadLength(f, &length) || length < 0) {
      streamEnded = true;
      break;
    }
    const int32_t kept = ReadPayload(f, length, ctx.queue + ctx.queueEnd);
    if (kept < 0) {
      streamEnded = true;
      break;
    }
    ctx.slots[slot] = static_cast<int16_t>(kept);
    ctx.queueEnd += kept;
    ++packets;
  }

  // Append the decoded samples as little-endian bytes; reaching the
  // capacity fails the load and keeps what was appended before.
  auto append = [&](int32_t samples) {
    const int32_t bytes = 2 * samples;
    if (byteCount + bytes >= kCapacityBytes) return false;
    uint8_t* out = buffer + byteCount;
    for (int32_t i = 0; i < samples; ++i) {
      const auto v = static_cast<uint16_t>(ctx.output[i]);
      out[2 * i] = static_cast<uint8_t>(v & 0xFF);
      out[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    byteCount += bytes;
    return true;
  };

  // Main loop: every newly read packet lets the oldest queued one be decoded.
  int16_t length = 0;
  if (!streamEnded && ReadLength(f, &length) && length >= 0) {
    for (;;) {
      const int32_t kept = ReadPayload(f, length, ctx.queue + ctx.queueEnd);
      // A short payload ends the stream. Its bytes stay behind the queue end
      // without a slot; only the flush's last search may still read them.
      if (kept < 0) break;
      ctx.slots[2] = static_cast<int16_t>(kept);
      ctx.queueEnd += kept;

      const int32_t samples = DecodeHead(ctx);
      ++packets;
      if (!append(samples)) {
        m_lastError = LoadError::TooLong;
        return false;
      }
      AdvanceQueue(ctx, true);
      progress.Add(kMainLine, packets);

      if (!ReadLength(f, &length) || length < 0) break;
    }
  }

  // Flush: two more heads, whatever the queue holds.
  for (int32_t step = 0; step < 2; ++step) {
    const int32_t samples = DecodeHead(ctx);
    ++packets;
    if (!append(samples)) {
      m_lastError = LoadError::TooLong;
      return false;
    }
    AdvanceQueue(ctx, false);
    progress.Add(kFlushLine, packets);
  }
  return true;
}
