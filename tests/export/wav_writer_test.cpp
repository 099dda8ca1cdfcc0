// The WAV writer: exact bytes, acceptance by other readers, and safe
// replacement of an existing file.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "export/wav_writer.h"
#include "loader/pcm_store.h"
#include "tests/loader/voice_files.h"

namespace {

namespace fs = std::filesystem;
using tavimo_test::Bytes;
using tavimo_test::ReadBytes;
using tavimo_test::TempDir;
using tavimo_test::WriteBytes;

// A store holding `samples` samples of a repeating ramp.
void FillStore(PcmStore& store, int32_t samples) {
  for (int32_t i = 0; i < samples; ++i) {
    const auto v = static_cast<uint16_t>(static_cast<int16_t>((i * 37) % 65536 - 32768));
    store.buffer[2 * i] = static_cast<uint8_t>(v);
    store.buffer[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  store.byteCount = 2 * samples;
}

uint32_t Le32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  return names;
}

bool HaveTool(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Output(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
  ::pclose(p);
  return out;
}

TEST(WavWriter, EmptyStoreIsTheHeaderAlone) {
  const Bytes expected = {0x52, 0x49, 0x46, 0x46, 0x26, 0x00, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45,
                          0x66, 0x6D, 0x74, 0x20, 0x12, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
                          0xC0, 0x5D, 0x00, 0x00, 0x80, 0xBB, 0x00, 0x00, 0x02, 0x00, 0x10, 0x00,
                          0x00, 0x00, 0x64, 0x61, 0x74, 0x61, 0x00, 0x00, 0x00, 0x00};
  TempDir dir;
  PcmStore store;
  store.buffer[0] = 0x7F;  // bytes past the count are not written
  ASSERT_TRUE(WriteWavFile(store, dir.file("empty.wav")));
  EXPECT_EQ(ReadBytes(dir.file("empty.wav")), expected);
}

TEST(WavWriter, OneSecondStore) {
  TempDir dir;
  PcmStore store;
  FillStore(store, 24000);
  const std::string path = dir.file("one second.wav");
  ASSERT_TRUE(WriteWavFile(store, path));

  const Bytes file = ReadBytes(path);
  ASSERT_EQ(file.size(), 48046u);
  EXPECT_EQ(Le32(file, 4), 48038u);   // RIFF size
  EXPECT_EQ(Le32(file, 42), 48000u);  // data size
  EXPECT_TRUE(Bytes(file.begin() + 46, file.end()) == Bytes(store.buffer, store.buffer + 48000));
  // Only the finished file is left in the folder, with the usual permissions.
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"one second.wav"});
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

TEST(WavWriter, ReadableByPythonWaveAndSox) {
  TempDir dir;
  PcmStore store;
  FillStore(store, 24000);
  const std::string path = dir.file("tone.wav");
  ASSERT_TRUE(WriteWavFile(store, path));

  bool ranOne = false;
  if (HaveTool("python3")) {
    ranOne = true;
    const std::string script =
        "import sys, wave\n"
        "w = wave.open(sys.argv[1], 'rb')\n"
        "data = w.readframes(w.getnframes())\n"
        "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes(), len(data))\n";
    const std::string scriptPath = dir.file("check.py");
    WriteBytes(scriptPath, Bytes(script.begin(), script.end()));
    EXPECT_EQ(Output("python3 '" + scriptPath + "' '" + path + "' 2>&1"), "1 2 24000 24000 48000\n");
  }
  if (HaveTool("sox")) {
    ranOne = true;
    EXPECT_EQ(Output("sox --i -r '" + path + "' 2>&1"), "24000\n");
    EXPECT_EQ(Output("sox --i -c '" + path + "' 2>&1"), "1\n");
    EXPECT_EQ(Output("sox --i -b '" + path + "' 2>&1"), "16\n");
    EXPECT_EQ(Output("sox --i -s '" + path + "' 2>&1"), "24000\n");
    // sox reads back exactly the stored samples
    const std::string raw = dir.file("tone.raw");
    ASSERT_EQ(std::system(("sox '" + path + "' -t raw -e signed -b 16 -L '" + raw + "'").c_str()), 0);
    EXPECT_TRUE(ReadBytes(raw) == Bytes(store.buffer, store.buffer + store.byteCount));
  }
  if (!ranOne) GTEST_SKIP() << "neither python3 nor sox is installed";
}

TEST(WavWriter, ReplacesAnExistingFile) {
  TempDir dir;
  const std::string path = dir.file("voice.wav");
  WriteBytes(path, Bytes(100000, 0xAA));
  PcmStore store;
  FillStore(store, 480);
  ASSERT_TRUE(WriteWavFile(store, path));
  EXPECT_EQ(ReadBytes(path).size(), 46u + 960u);
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"voice.wav"});
}

// Sets a file size limit for the life of the object, so that writes past it
// fail (with the limit signal ignored) as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, savedHandler_);
  }

 private:
  rlimit saved_{};
  sighandler_t savedHandler_;
};

// A write that fails at any stage leaves an existing file as it was and no
// temporary file behind.
TEST(WavWriter, FailedWriteKeepsTheExistingFile) {
  enum class Failure { FolderMissing, TargetIsFolder, DiskFull };
  struct Case {
    const char* name;
    Failure failure;
  };
  const Case cases[] = {
      {"target folder does not exist", Failure::FolderMissing},
      {"target is a folder", Failure::TargetIsFolder},
      {"write fails half-way", Failure::DiskFull},
  };
  PcmStore store;
  FillStore(store, 24000);
  const Bytes precious(5000, 0x5A);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string existing = dir.file("voice.wav");
    WriteBytes(existing, precious);
    bool ok = true;
    switch (c.failure) {
      case Failure::FolderMissing:
        ok = WriteWavFile(store, dir.file("missing/voice.wav"));
        break;
      case Failure::TargetIsFolder:
        fs::create_directory(dir.file("folder.wav"));
        WriteBytes(dir.file("folder.wav/inside"), precious);
        ok = WriteWavFile(store, dir.file("folder.wav"));
        EXPECT_EQ(ReadBytes(dir.file("folder.wav/inside")), precious);
        break;
      case Failure::DiskFull: {
        FileSizeLimit limit(10000);
        ok = WriteWavFile(store, existing);
        break;
      }
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadBytes(existing), precious);
    std::vector<std::string> names = Entries(dir.path());
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected =
        c.failure == Failure::TargetIsFolder ? std::vector<std::string>{"folder.wav", "voice.wav"}
                                             : std::vector<std::string>{"voice.wav"};
    EXPECT_EQ(names, expected);
  }
}

}  // namespace
