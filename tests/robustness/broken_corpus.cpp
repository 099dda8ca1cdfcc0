#include "tests/robustness/broken_corpus.h"

#include <random>
#include <stdexcept>

#include "silk/range_decoder.h"
#include "tools/streamwriter/frame_writer.h"
#include "tools/streamwriter/range_encoder.h"

namespace tavimo_test {
namespace {

using Bytes = std::vector<uint8_t>;
using Error = PcmStore::LoadError;

constexpr int32_t kRate24 = 3;  // rate index of 24 kHz
constexpr int32_t kRate12 = 1;

// Valid random symbols for one frame; the last frame of its packet unless
// the caller says otherwise.
FrameSymbols Frame(uint32_t seed, int32_t rateIndex = kRate24, bool first = true) {
  std::mt19937 rng(seed);
  FrameSymbols f = RandomFrameSymbols(rng, rateIndex, first);
  f.frameEnd = 0;
  return f;
}

// A packet of one frame.
Bytes Packet(uint32_t seed) { return BuildPacket({Frame(seed)}); }

// A packet of five frames (end codes 1, 1, 1, 1, 0).
Bytes FiveFramePacket(uint32_t seed) {
  std::vector<FrameSymbols> frames;
  for (int32_t i = 0; i < 5; ++i) {
    FrameSymbols f = Frame(seed + i, kRate24, i == 0);
    f.frameEnd = i < 4 ? 1 : 0;
    frames.push_back(f);
  }
  return BuildPacket(frames);
}

// A 16-bit little-endian length field, any value.
Bytes Length(int32_t length) {
  return {static_cast<uint8_t>(length & 0xFF), static_cast<uint8_t>((length >> 8) & 0xFF)};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Text(const char* s) { return Bytes(s, s + std::char_traits<char>::length(s)); }

// Filler whose bytes, read as a length, are negative: a loader that loses its
// place inside such a payload ends the stream early and the frame count shows it.
Bytes Filler(size_t n) { return Bytes(n, 0x80); }

// A one-frame packet whose spare low bits in the last byte are not all ones.
// The symbols are unchanged, only the end-of-frame check fails.
Bytes BadTailPacket() {
  for (uint32_t seed = 100; seed < 200; ++seed) {
    FrameWriter w;
    FrameWriterBegin(&w);
    WriteFrame(&w, Frame(seed));
    if (RangeEncoderBitsUsed(&w.enc) % 8 == 0) continue;  // no spare bits
    Bytes p = FrameWriterFinish(&w);
    p.back() &= 0xFE;
    return p;
  }
  throw std::logic_error("no frame with spare bits");
}

// A 12 kHz voiced frame with the longest lag the stream can code for
// subframe 0: lag index 192 plus contour offset 8 gives 224, above the 222
// samples the re-whitening of a 240-sample frame can reach back.
Bytes LongLagPacket(uint32_t seed) {
  FrameSymbols f = Frame(seed, kRate12);
  f.typeOffset = 0;  // voiced
  f.lagIndex = 192;
  f.contourIndex = 33;
  f.nlsfInterp = 2;  // re-whiten in subframe 2 too, once past the first frame
  return BuildPacket({f});
}

std::vector<BrokenFile> Build() {
  const Bytes p1 = Packet(1), p2 = Packet(2), p3 = Packet(3), p4 = Packet(4);
  const Bytes three = BuildVoiceFile({p1, p2, p3});
  const Bytes tagged = Text("\x02#!SILK_V3");

  std::vector<BrokenFile> c;
  auto add = [&c](BrokenFile f) { c.push_back(std::move(f)); };

  // Not voice files at all.
  add({.name = "missing", .exists = false, .loads = false, .error = Error::CannotOpen});
  add({.name = "empty", .loads = false, .error = Error::NotVoiceFile});
  add({.name = "nine_bytes", .bytes = Text("\x02#!SILK_V"), .loads = false, .error = Error::NotVoiceFile});
  add({.name = "tag_at_byte_0",
       .bytes = Bytes(three.begin() + 1, three.end()),
       .loads = false,
       .error = Error::NotVoiceFile});
  add({.name = "tag_in_lower_case",
       .bytes = Cat({Text("\x02#!silk_v3"), Bytes(three.begin() + 10, three.end())}),
       .loads = false,
       .error = Error::NotVoiceFile});
  add({.name = "renamed_mp3",
       .bytes = Cat({Text("ID3\x04"), Bytes(6, 0), Bytes{0xFF, 0xFB, 0x90, 0x64}, Filler(200)}),
       .loads = false,
       .error = Error::NotVoiceFile});

  // Stream ends: the header alone conceals one frame (the decoder knows of
  // no packet yet, so the second flush step conceals none).
  add({.name = "header_only", .bytes = tagged, .frames = 1});
  add({.name = "three_packets", .bytes = three, .frames = 3});
  add({.name = "length_past_the_end",
       .bytes = Cat({three, Length(100), Filler(10)}),
       .frames = 3,
       .sameAs = three});
  add({.name = "negative_length",
       .bytes = Cat({three, Length(-32768), Length(int32_t(p4.size())), p4}),
       .frames = 3,
       .sameAs = three});
  add({.name = "length_ffff",
       .bytes = Cat({three, Length(0xFFFF), Length(int32_t(p4.size())), p4}),
       .frames = 3,
       .sameAs = three});
  add({.name = "truncated_length", .bytes = Cat({three, Bytes{0x05}}), .frames = 3, .sameAs = three});
  // Only lost packets: the first conceals the one frame the set-up asks
  // for; after it the decoder reports packets of 0 frames.
  add({.name = "lost_packets_only", .bytes = BuildVoiceFile({{}, {}, {}, {}}), .frames = 1});

  // Payloads of unusual sizes. Bytes after the frame with end code 0 are not
  // read; payloads over 1024 bytes are concealed like lost packets, and the
  // loader keeps its place in the file behind them.
  add({.name = "payload_1024",
       .bytes = BuildVoiceFile({Cat({p1, Bytes(1024 - p1.size(), 0)}), p2, p3}),
       .frames = 3,
       .sameAs = three});
  const Bytes oneLost = BuildVoiceFile({p1, {}, p2, p3});
  for (size_t n : {size_t{1025}, size_t{5120}, size_t{5121}, size_t{32767}}) {
    add({.name = "payload_" + std::to_string(n),
         .bytes = BuildVoiceFile({p1, Filler(n), p2, p3}),
         .frames = 4,
         .sameAs = oneLost,
         .payload = Filler(n),
         .payloadStatus = kSilkRangeErrTooLong});
  }
  // A lost packet whose redundancy search meets an over-long packet.
  add({.name = "lost_before_payload_1025",
       .bytes = BuildVoiceFile({p1, {}, Filler(1025), p2}),
       .frames = 4,
       .sameAs = BuildVoiceFile({p1, {}, {}, p2})});
  // Payloads of 1..3 bytes: the initial code takes its missing bytes from
  // the decoder's own array; every frame runs past the payload's end.
  for (size_t n : {size_t{1}, size_t{2}, size_t{3}}) {
    const Bytes tiny(p2.begin(), p2.begin() + static_cast<long>(n));
    add({.name = "payload_of_" + std::to_string(n) + "_bytes",
         .bytes = BuildVoiceFile({p1, tiny, p3, p4}),
         .frames = 4,
         .payload = tiny,
         .payloadStatus = kSilkRangeErrPastEnd});
  }

  // Each range decoder status a payload can reach (-3 and -4 cannot occur).
  const Bytes ff(60, 0xFF);
  add({.name = "status_symbol_out_of_table",
       .bytes = BuildVoiceFile({p1, ff, p2, p3}),
       .frames = 4,
       .payload = ff,
       .payloadStatus = kSilkRangeErrSymbol});
  const Bytes badTail = BadTailPacket();
  add({.name = "status_tail_check",
       .bytes = BuildVoiceFile({p1, badTail, p2, p3}),
       .frames = 4,
       .payload = badTail,
       .payloadStatus = kSilkRangeErrTail});
  const Bytes cut(p4.begin(), p4.end() - 1);
  add({.name = "status_read_past_the_payload",
       .bytes = BuildVoiceFile({p1, cut, p2, p3}),
       .frames = 4,
       .payload = cut,
       .payloadStatus = kSilkRangeErrPastEnd});

  add({.name = "all_ff_payloads",
       .bytes = BuildVoiceFile({ff, ff, ff, ff}),
       .frames = 4,
       .payload = ff,
       .payloadStatus = kSilkRangeErrSymbol});
  // Zero bytes select the first symbol of every table: a well-formed 8 kHz
  // frame at the lowest gain, with the rest of the payload unused.
  const Bytes zeros(60, 0x00);
  add({.name = "all_zero_payloads",
       .bytes = BuildVoiceFile({zeros, zeros, zeros, zeros}),
       .frames = 4,
       .payload = zeros,
       .payloadStatus = 0});

  // 12 kHz voiced frames with a lag beyond the re-whitening bound.
  const Bytes longLag = LongLagPacket(7);
  add({.name = "lag_224_at_12_khz",
       .bytes = BuildVoiceFile({LongLagPacket(5), LongLagPacket(6), longLag, LongLagPacket(8)}),
       .frames = 4,
       .payload = longLag,
       .payloadLag = 224});

  // The 125 s store: 1249 packets of five frames bring it to 5,995,200
  // bytes; the 1250th would reach 6,000,000 and fails the load, keeping
  // what came before.
  const Bytes five = FiveFramePacket(20);
  add({.name = "capacity_just_below",
       .bytes = BuildVoiceFile(std::vector<Bytes>(1249, five)),
       .frames = 1249 * 5,
       .slow = true});
  add({.name = "capacity_reached",
       .bytes = BuildVoiceFile(std::vector<Bytes>(1250, five)),
       .loads = false,
       .error = Error::TooLong,
       .frames = 1249 * 5,
       .slow = true});
  return c;
}

}  // namespace

const std::vector<BrokenFile>& BrokenCorpus() {
  static const std::vector<BrokenFile> corpus = Build();
  return corpus;
}

}  // namespace tavimo_test
