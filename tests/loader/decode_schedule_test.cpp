// The loader over coded frames: every frame of every packet is decoded once,
// lost packets are concealed for as many frames as the last packet had, and
// a lost packet is decoded from the redundant copy a later packet carries.

#if __has_include("tools/streamwriter/frame_writer.h")

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loader/pcm_store.h"
#include "tests/loader/voice_files.h"
#include "tools/streamwriter/frame_writer.h"

namespace {

using tavimo_test::Bytes;
using tavimo_test::TempDir;

// A voiced frame with a pulse train; `level` changes its gain and pulse
// pattern so that different packets decode to different sounds.
FrameSymbols Frame(int32_t level, int32_t frameEnd = 0, int32_t rateIndex = 3) {
  FrameSymbols f;
  f.rateIndex = rateIndex;
  f.gainIndices[0] = 20 + level;
  f.pulses.assign(static_cast<size_t>(FrameLengthForRateIndex(rateIndex)), 0);
  for (size_t i = static_cast<size_t>(level) % 7; i < f.pulses.size(); i += 40 + static_cast<size_t>(level)) {
    f.pulses[i] = (i / 40) % 2 == 0 ? 1 : -1;
  }
  f.frameEnd = frameEnd;
  return f;
}

// A packet of `frames` frames (all but the last announce another one).
Bytes Packet(int32_t level, int32_t frames = 1, int32_t rateIndex = 3) {
  std::vector<FrameSymbols> fs;
  for (int32_t i = 0; i < frames; ++i) fs.push_back(Frame(level + i, i + 1 < frames ? 1 : 0, rateIndex));
  return BuildPacket(fs);
}

struct Loaded {
  bool ok;
  Bytes samples;
  std::string progress;
};

Loaded LoadPackets(const std::vector<Bytes>& packets) {
  TempDir dir;
  const std::string path = dir.file("voice.slk");
  tavimo_test::WriteBytes(path, BuildVoiceFile(packets));
  PcmStore store;
  store.byteCount = 0;
  testing::internal::CaptureStderr();
  const bool ok = store.LoadVoiceFile(path);
  const std::string err = testing::internal::GetCapturedStderr();
  return {ok, Bytes(store.buffer, store.buffer + store.byteCount), err};
}

std::string LastCount(const std::string& progress) {
  return progress.substr(progress.find_last_of(' ') + 1);
}

TEST(LoaderSchedule, EveryFrameOfEveryPacketIsDecodedOnce) {
  struct Case {
    const char* name;
    std::vector<Bytes> packets;
    int frames;  // 480-sample frames at the 24 kHz output
  };
  const Case cases[] = {
      {"one to five frames per packet", {Packet(1, 1), Packet(2, 3), Packet(3, 5), Packet(4, 2)}, 11},
      {"rates change between packets",
       {Packet(1, 1, 0), Packet(2, 2, 2), Packet(3, 1, 1), Packet(4, 3, 3), Packet(5, 2, 0)}, 9},
      // a lost packet without redundancy behind it is concealed for as many
      // frames as the packet before it had
      {"lost packet after three frames", {Packet(1, 3), {}, Packet(2, 1), Packet(3, 1)}, 8},
      {"lost packet in the flush", {Packet(1, 2), Packet(2, 4), {}}, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Loaded r = LoadPackets(c.packets);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.samples.size(), static_cast<size_t>(c.frames) * 960);
    EXPECT_EQ(LastCount(r.progress), std::to_string(c.packets.size() + 2));
  }
}

// A lost packet whose redundant copy rides in one of the next two packets
// decodes exactly as if it had arrived; a copy that belongs to another
// distance is ignored, and the packet is concealed as if there were none.
TEST(LoaderSchedule, LostPacketIsRecoveredFromRedundancy) {
  const Bytes p1 = Packet(1), p2 = Packet(9), other = Packet(12);
  // A one-frame packet with the given end code followed by `copy`.
  auto carrying = [](int32_t level, int32_t endCode, const Bytes& copy) {
    return BuildPacket({Frame(level, endCode)}, copy);
  };
  struct Case {
    const char* name;
    int32_t levels[3];          // levels of the packets after it
    int32_t endCodes[3];        // 2: copy for one place back, 3: for two places back, 0: none
    Bytes copies[3];
    bool recovers;
  };
  const Case cases[] = {
      {"copy in the next packet, found in the flush", {2}, {2}, {p2}, true},
      {"copy in the next packet, found in the main loop", {2, 3, 4}, {2, 0, 0}, {p2}, true},
      {"copy two packets later", {2, 3, 4}, {0, 3, 0}, {{}, p2}, true},
      {"the nearer copy wins", {2, 3, 4}, {2, 3, 0}, {p2, other}, true},
      {"copies for other distances are ignored", {2, 3, 4}, {3, 2, 0}, {p2, p2}, false},
      {"a copy three packets later is out of reach", {2, 3, 4}, {0, 0, 3}, {{}, {}, p2}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The stream with the loss, the same stream with the packet received,
    // and the stream with the loss but no copies at all.
    std::vector<Bytes> withLoss = {p1, {}}, arrived = {p1, p2}, noCopy = {p1, {}};
    for (int k = 0; k < 3 && c.levels[k] != 0; ++k) {
      withLoss.push_back(carrying(c.levels[k], c.endCodes[k], c.copies[k]));
      arrived.push_back(withLoss.back());
      noCopy.push_back(carrying(c.levels[k], 0, {}));
    }
    const Loaded lossy = LoadPackets(withLoss);
    const Loaded received = LoadPackets(arrived);
    const Loaded concealed = LoadPackets(noCopy);
    ASSERT_TRUE(lossy.ok && received.ok && concealed.ok);
    EXPECT_FALSE(received.samples == concealed.samples);  // the loss is audible
    if (c.recovers) {
      EXPECT_TRUE(lossy.samples == received.samples) << "the lost packet was not taken from its copy";
    } else {
      EXPECT_TRUE(lossy.samples == concealed.samples) << "a copy was used that belongs elsewhere";
    }
  }
}

// When the flush meets a lost head, its second search reads the bytes right
// behind the last packet, as long as that packet. A payload cut short by the
// end of the file lies there, so a copy it carries is still found.
TEST(LoaderSchedule, FlushSearchesTheCutShortPayload) {
  const Bytes p1 = Packet(1), p2 = Packet(9);
  const Bytes cut = BuildPacket({Frame(5, 3)}, p2);  // copy of the packet two places back
  Bytes p3 = BuildPacket({Frame(2)});
  ASSERT_LT(p3.size(), cut.size());
  p3 = BuildPacket({Frame(2)}, Bytes(cut.size() - p3.size(), 0x33));  // same length as `cut`

  auto load = [](const Bytes& file) {
    TempDir dir;
    tavimo_test::WriteBytes(dir.file("voice.slk"), file);
    PcmStore store;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(store.LoadVoiceFile(dir.file("voice.slk")));
    testing::internal::GetCapturedStderr();
    return Bytes(store.buffer, store.buffer + store.byteCount);
  };
  Bytes withCut = BuildVoiceFile({p1, {}, p3});
  const int32_t declared = static_cast<int32_t>(cut.size()) + 100;
  withCut.push_back(static_cast<uint8_t>(declared & 0xFF));
  withCut.push_back(static_cast<uint8_t>(declared >> 8));
  withCut.insert(withCut.end(), cut.begin(), cut.end());

  EXPECT_TRUE(load(withCut) == load(BuildVoiceFile({p1, p2, p3})));
  EXPECT_FALSE(load(BuildVoiceFile({p1, {}, p3})) == load(BuildVoiceFile({p1, p2, p3})));
}

}  // namespace

#endif
