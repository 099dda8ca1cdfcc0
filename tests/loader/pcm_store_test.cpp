// The voice file loader: tag check, stream framing, the decode schedule of
// the packet queue, the progress line and the capacity limit.
//
// Most files here are made of packets longer than 1024 bytes: the decoder
// conceals such a packet as exactly one 480-sample frame without reading it,
// so every decoded head shows up as 480 samples whatever its bytes are.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "loader/pcm_store.h"
#include "tests/loader/voice_files.h"

namespace {

using tavimo_test::Bytes;
using tavimo_test::TempDir;
using tavimo_test::VoiceFile;

constexpr int32_t kOverlong = 2000;  // concealed as one frame
constexpr int32_t kFrameBytes = 480 * 2;

std::string MainLine(int n) { return "\rPackets decoded:             " + std::to_string(n); }
std::string FlushLine(int n) { return "\rPackets decoded:              " + std::to_string(n); }

// The progress output of a load with `mainLines` main-loop lines, the first
// showing `firstMain`, followed by the two flush lines.
std::string Progress(int firstMain, int mainLines) {
  std::string s;
  for (int i = 0; i < mainLines; ++i) s += MainLine(firstMain + i);
  const int next = firstMain + mainLines;
  return s + FlushLine(next) + FlushLine(next + 1);
}

struct LoadResult {
  bool ok;
  int32_t byteCount;
  PcmStore::LoadError error;
  std::string stderrText;
};

LoadResult Load(PcmStore& store, const std::string& path) {
  store.byteCount = 0;
  testing::internal::CaptureStderr();
  const bool ok = store.LoadVoiceFile(path);
  const std::string err = testing::internal::GetCapturedStderr();
  return {ok, store.byteCount, store.lastError(), err};
}

LoadResult LoadBytes(PcmStore& store, const Bytes& bytes) {
  TempDir dir;
  const std::string path = dir.file("voice.slk");
  tavimo_test::WriteBytes(path, bytes);
  return Load(store, path);
}

Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(LoaderTag, AcceptsTheTagOnlyAtBytesOneToNine) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool accepted;
  };
  const Bytes tail = VoiceFile().Filler(kOverlong).bytes();  // tag + one packet
  const Case cases[] = {
      {"tag behind one byte", Str("\x02#!SILK_V3"), true},
      {"tag behind 0xFF, then a packet", [&] { Bytes b = tail; b[0] = 0xFF; return b; }(), true},
      {"tag behind a zero byte", [&] { Bytes b = tail; b[0] = 0x00; return b; }(), true},
      {"tag at byte 0", Str("#!SILK_V3\x02"), false},
      {"tag at byte 0, one byte short", Str("#!SILK_V3"), false},
      {"nine bytes", Str("\x02#!SILK_V"), false},
      {"empty file", Bytes{}, false},
      {"lower case", Str("\x02#!silk_v3"), false},
      {"other version", Str("\x02#!SILK_V2"), false},
      {"tag behind two bytes", Str("\x02\x02#!SILK_V3"), false},
  };
  PcmStore store;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LoadResult r = LoadBytes(store, c.bytes);
    EXPECT_EQ(r.ok, c.accepted);
    if (c.accepted) {
      EXPECT_EQ(r.error, PcmStore::LoadError::None);
      EXPECT_GT(r.byteCount, 0);
    } else {
      EXPECT_EQ(r.error, PcmStore::LoadError::NotVoiceFile);
      EXPECT_EQ(r.byteCount, 0);
      EXPECT_EQ(r.stderrText, "");  // rejected before any decoding
    }
  }
}

TEST(LoaderTag, MissingFileCannotBeOpened) {
  TempDir dir;
  PcmStore store;
  const LoadResult r = Load(store, dir.file("no such file.slk"));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, PcmStore::LoadError::CannotOpen);
  EXPECT_EQ(r.byteCount, 0);
}

TEST(LoaderTag, LongPathsAreOpened) {
  TempDir dir;
  std::filesystem::path deep = dir.path();
  for (int i = 0; i < 6; ++i) deep /= std::string(60, static_cast<char>('a' + i));
  std::filesystem::create_directories(deep);
  const std::string path = (deep / "voice.slk").string();
  ASSERT_GT(path.size(), 300u);
  VoiceFile().Save(path);
  PcmStore store;
  EXPECT_TRUE(Load(store, path).ok);
}

// A tag and nothing else: the first flush step conceals one frame (the
// control record starts with one frame per packet), the decoder then reports
// zero frames and the second step conceals none.
TEST(LoaderStream, EmptyStreamGivesOneConcealedFrameOfOnes) {
  PcmStore store;
  const LoadResult r = LoadBytes(store, VoiceFile().bytes());
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.byteCount, kFrameBytes);
  for (int i = 0; i < 480; ++i) {
    const int16_t v = static_cast<int16_t>(store.buffer[2 * i] | store.buffer[2 * i + 1] << 8);
    ASSERT_EQ(v, 1) << "sample " << i;
  }
  EXPECT_EQ(r.stderrText, FlushLine(1) + FlushLine(2));
}

// How the file is cut into packets and how often the head is decoded:
// every head of overlong filler gives 480 samples, and the progress line
// counts the priming reads, the main-loop heads and the two flush steps.
TEST(LoaderStream, PacketFramingAndDecodeCount) {
  struct Case {
    const char* name;
    VoiceFile file;
    int heads;  // heads that yield a frame
    std::string progress;
  };
  auto f = [] { return VoiceFile(); };
  const Case cases[] = {
      {"three packets", f().Filler(kOverlong).Filler(kOverlong).Filler(kOverlong), 3, Progress(3, 1)},
      {"seven packets",
       f().Filler(kOverlong).Filler(kOverlong).Filler(kOverlong).Filler(kOverlong).Filler(kOverlong)
           .Filler(kOverlong).Filler(kOverlong),
       7, Progress(3, 5)},
      {"two packets", f().Filler(kOverlong).Filler(kOverlong), 2, Progress(3, 0)},
      // the second flush step finds a lost head and conceals the zero frames
      // of the last finished packet (none was finished)
      {"one packet", f().Filler(kOverlong), 1, Progress(2, 0)},
      {"0xFFFF ends the stream",
       f().Filler(kOverlong).Filler(kOverlong).Filler(kOverlong).Length(0xFFFF).Filler(kOverlong), 3,
       Progress(3, 1)},
      {"0x8000 ends the stream", f().Filler(kOverlong).Filler(kOverlong).Length(0x8000).Filler(kOverlong), 2,
       Progress(3, 0)},
      // a negative length ends the stream also while the queue is primed
      {"negative first length", f().Length(-1).Filler(kOverlong).Filler(kOverlong).Filler(kOverlong), 1,
       Progress(1, 0)},
      {"negative second length", f().Filler(kOverlong).Length(-2).Filler(kOverlong).Filler(kOverlong), 1,
       Progress(2, 0)},
      {"payload cut short", f().Filler(kOverlong).Filler(kOverlong).Filler(kOverlong).Length(kOverlong).Raw(Bytes(100, 0x80)),
       3, Progress(3, 1)},
      {"payload cut short while priming", f().Filler(kOverlong).Length(kOverlong).Raw(Bytes(10, 0x80)), 1,
       Progress(2, 0)},
      {"length cut short", f().Filler(kOverlong).Filler(kOverlong).Filler(kOverlong).Raw({0x05}), 3,
       Progress(3, 1)},
      // long payloads are read whole, so the next length is found after them;
      // whatever is kept of them stays within the queue
      {"lengths 1025 to 32767",
       f().Filler(1025).Filler(5120).Filler(5121).Filler(32767).Filler(10000).Filler(kOverlong), 6,
       Progress(3, 4)},
      // a lost head with nothing behind it conceals the frames of the last
      // finished packet: one before any packet, none after overlong ones
      {"lost packets only", f().Length(0).Length(0).Length(0).Length(0), 1, Progress(3, 2)},
  };
  PcmStore store;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LoadResult r = LoadBytes(store, c.file.bytes());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.byteCount, c.heads * kFrameBytes);
    EXPECT_EQ(r.stderrText, c.progress);
  }
}

// The store holds less than 125 s: a load whose next append would reach
// 6,000,000 bytes fails, keeping the samples of every earlier head.
TEST(LoaderCapacity, AppendReachingTheCapacityFails) {
  constexpr int kFitting = PcmStore::kCapacityBytes / kFrameBytes - 1;  // 6249 heads: 5,999,040 bytes
  struct Case {
    const char* name;
    int packets;
    bool ok;
  };
  const Case cases[] = {
      {"last head fits", kFitting, true},
      {"second flush step reaches the limit", kFitting + 1, false},
      {"main loop reaches the limit", kFitting + 50, false},
  };
  PcmStore store;
  Bytes fitting;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VoiceFile file;
    for (int i = 0; i < c.packets; ++i) file.Filler(1025);
    const LoadResult r = LoadBytes(store, file.bytes());
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.error, c.ok ? PcmStore::LoadError::None : PcmStore::LoadError::TooLong);
    EXPECT_EQ(r.byteCount, kFitting * kFrameBytes);
    const Bytes content(store.buffer, store.buffer + store.byteCount);
    if (fitting.empty()) {
      fitting = content;
    } else {
      EXPECT_TRUE(content == fitting) << "the samples before the failing head changed";
    }
    // Loading a second time into the same store starts from scratch.
    if (!c.ok) continue;
    std::memset(store.buffer, 0x55, 64);
    EXPECT_TRUE(LoadBytes(store, file.bytes()).ok);
    EXPECT_TRUE(Bytes(store.buffer, store.buffer + store.byteCount) == fitting);
  }
}

}  // namespace
