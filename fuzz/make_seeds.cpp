// Writes the seed inputs of the fuzz targets, structure-aware ones built with
// the frame writer, into OUT/loader, OUT/packet and OUT/wav:
//
//   fuzz_make_seeds fuzz/corpus
//
// loader: well-formed voice files of every rate, multi-frame packets, lost
// packets recovered from redundant copies, the bundled sample, and the
// broken-file corpus of the robustness tests. packet: decoder call programs
// (format in fuzz_packet.cpp) over valid, damaged and over-long payloads.
// wav: store contents and byte counts at the writer's limits.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/robustness/broken_corpus.h"
#include "tools/streamwriter/frame_writer.h"
#include "tools/streamwriter/sample_voice.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Larger files only slow the fuzzer down. Files that reach the store's
// limit are left out too: 125 s of audio take the instrumented fuzz build
// seconds per input (the robustness tests cover that limit).
constexpr size_t kMaxSeedBytes = 8192;

FrameSymbols Frame(std::mt19937& rng, int32_t rateIndex, bool first, int32_t end) {
  FrameSymbols f = RandomFrameSymbols(rng, rateIndex, first);
  f.frameEnd = end;
  return f;
}

// A packet of `frames` random frames at one rate; the last one carries
// `lastEnd` and then `trailing` (a redundant copy after end code 2 or 3).
Bytes RandomPacket(std::mt19937& rng, int32_t rateIndex, int32_t frames, int32_t lastEnd = 0,
                   const Bytes& trailing = {}) {
  std::vector<FrameSymbols> fs;
  for (int32_t i = 0; i < frames; ++i) fs.push_back(Frame(rng, rateIndex, i == 0, i + 1 < frames ? 1 : lastEnd));
  return BuildPacket(fs, trailing);
}

// Packet-program builder (see fuzz_packet.cpp for the format).
struct Program {
  Bytes bytes;
  explicit Program(uint8_t rate = 0) : bytes{rate} {}
  Program& Op(uint8_t op) {
    bytes.push_back(op);
    return *this;
  }
  Program& Payload(uint8_t op, const Bytes& p, int32_t declared) {
    bytes.push_back(op);
    bytes.push_back(static_cast<uint8_t>(declared & 0xFF));
    bytes.push_back(static_cast<uint8_t>((declared >> 8) & 0xFF));
    bytes.insert(bytes.end(), p.begin(), p.end());
    return *this;
  }
  Program& Drain(const Bytes& p) { return Payload(0, p, static_cast<int32_t>(p.size())); }
  Program& Start(const Bytes& p) { return Payload(3, p, static_cast<int32_t>(p.size())); }
  Program& Continue() { return Op(4); }
  Program& Lost(uint8_t flagIndex = 0) { return Op(static_cast<uint8_t>(5 | flagIndex << 3)); }
  Program& Search(const Bytes& p, int32_t distance) {
    return Payload(static_cast<uint8_t>(6 | distance << 3), p, static_cast<int32_t>(p.size()));
  }
  Program& Rate(uint8_t rate) { return Op(7).Op(rate); }
  Program& Reset() { return Op(7 | 1 << 3); }
};

void Write(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  WriteBytesToFile((dir / name).string(), bytes);
}

void LoaderSeeds(const fs::path& dir) {
  std::mt19937 rng(1);
  const char* rates[] = {"8k", "12k", "16k", "24k"};
  for (int32_t r = 0; r < 4; ++r) {
    std::vector<Bytes> packets;
    for (int32_t i = 0; i < 4; ++i) packets.push_back(RandomPacket(rng, r, 1 + i % 3));
    Write(dir, std::string("rate_") + rates[r] + ".slk", BuildVoiceFile(packets));
  }
  {
    std::vector<Bytes> packets;
    for (int32_t i = 0; i < 6; ++i) packets.push_back(RandomPacket(rng, i % 4, 1 + (i * 2) % 5));
    Write(dir, "rates_mixed_frames_1_to_5.slk", BuildVoiceFile(packets));
  }
  {
    // Packets 2 and 3 are lost; packet 4 carries a copy of packet 3 (end
    // code 2), packet 5 a copy of packet 3 as well (end code 3: two back).
    const Bytes p1 = RandomPacket(rng, 3, 1), p3 = RandomPacket(rng, 3, 1);
    const Bytes p4 = RandomPacket(rng, 3, 1, 2, p3);
    const Bytes p5 = RandomPacket(rng, 3, 2, 3, p3);
    Write(dir, "lost_with_redundancy.slk", BuildVoiceFile({p1, {}, {}, p4, p5, RandomPacket(rng, 3, 1)}));
  }
  Write(dir, "sample.slk", BuildSampleVoiceFile());
  for (const tavimo_test::BrokenFile& f : tavimo_test::BrokenCorpus()) {
    if (f.exists && !f.slow && f.bytes.size() <= kMaxSeedBytes) Write(dir, f.name + ".slk", f.bytes);
  }
}

void PacketSeeds(const fs::path& dir) {
  std::mt19937 rng(2);
  // Rate selectors of fuzz_packet.cpp: 0 = 24000, 3 = 16000, 4 = 12000,
  // 5 = 8000, 6 = 48000, 7 = 44100, 10 = 7999.
  for (uint8_t rate : {0, 3, 5, 7}) {
    Program p(rate);
    for (int32_t r = 0; r < 4; ++r) p.Drain(RandomPacket(rng, r, 1 + r));
    Write(dir, "rates_at_selector_" + std::to_string(rate), p.bytes);
  }
  {
    Program p;
    p.Start(RandomPacket(rng, 3, 5)).Continue().Lost().Continue().Continue().Continue().Lost().Lost();
    p.Drain(RandomPacket(rng, 2, 1)).Lost(5).Lost(6).Lost(7);
    Write(dir, "single_calls_and_lost_flags", p.bytes);
  }
  {
    const Bytes earlier = RandomPacket(rng, 3, 1);
    Program p;
    p.Drain(earlier).Lost();
    p.Search(RandomPacket(rng, 3, 1, 2, earlier), 1).Search(RandomPacket(rng, 3, 2, 3, earlier), 2);
    p.Search(RandomPacket(rng, 3, 1, 2, earlier), 2).Search(earlier, 0);
    p.Drain(RandomPacket(rng, 3, 1, 2, earlier));
    Write(dir, "redundancy_searches", p.bytes);
  }
  {
    Program p;
    p.Drain(RandomPacket(rng, 0, 2)).Rate(4).Drain(RandomPacket(rng, 1, 2)).Rate(10).Lost();
    p.Rate(6).Drain(RandomPacket(rng, 3, 1)).Reset().Lost().Drain(RandomPacket(rng, 2, 3));
    Write(dir, "rate_changes_and_reset", p.bytes);
  }
  {
    Program p;
    p.Drain(RandomPacket(rng, 3, 1));
    p.Payload(0, Bytes(1025, 0x55), 1025).Payload(0, {}, -5).Payload(0, Bytes(3, 0x21), 3);
    p.Payload(3, Bytes(1030, 0x11), 1030).Continue().Lost();
    p.Payload(6 | 1 << 3, Bytes(1100, 0x77), 1100).Payload(6 | 2 << 3, {}, -1);
    Write(dir, "odd_lengths", p.bytes);
  }
  for (const tavimo_test::BrokenFile& f : tavimo_test::BrokenCorpus()) {
    if (f.payload.empty() || f.payload.size() > 1100) continue;
    Program p;
    p.Drain(RandomPacket(rng, 3, 1)).Drain(f.payload).Lost().Drain(f.payload).Search(f.payload, 1);
    Write(dir, "payload_" + f.name, p.bytes);
  }
}

void WavSeeds(const fs::path& dir) {
  auto counted = [](int32_t count, const Bytes& fill) {
    Bytes b{2};
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(count) >> (8 * i)));
    b.insert(b.end(), fill.begin(), fill.end());
    return b;
  };
  Write(dir, "empty_store", {0});
  Write(dir, "some_samples", {0, 1, 0, 0xFF, 0x7F, 0x00, 0x80});
  Write(dir, "replace_existing", {3, 0x10, 0x20, 0x30, 0x40});
  Write(dir, "count_negative", counted(-2, {1}));
  Write(dir, "count_odd", counted(7, {1, 2, 3}));
  Write(dir, "count_at_capacity", counted(6000000, {9, 8}));
  Write(dir, "count_over_capacity", counted(6000001, {9}));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds OUT\n");
    return 2;
  }
  try {
    const fs::path out(argv[1]);
    LoaderSeeds(out / "loader");
    PacketSeeds(out / "packet");
    WavSeeds(out / "wav");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fuzz_make_seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
