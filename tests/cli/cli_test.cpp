// tavimo-cli as a user runs it: exit status, messages, and the files it
// leaves behind.

#include <gtest/gtest.h>
#include <sys/wait.h>

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
using tavimo_test::VoiceFile;

std::string BinDir() {
  const char* env = std::getenv("TAVIMO_BIN_DIR");
  return env != nullptr ? env : TAVIMO_BINARY_DIR "/bin";
}

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

CliRun RunCli(const std::string& args) {
  TempDir logs;
  const std::string cli = BinDir() + "/tavimo-cli";
  EXPECT_TRUE(fs::exists(cli)) << cli << " has not been built";
  const std::string command =
      "'" + cli + "' " + args + " >'" + logs.file("out") + "' 2>'" + logs.file("err") + "'";
  const int raw = std::system(command.c_str());
  const Bytes out = ReadBytes(logs.file("out"));
  const Bytes err = ReadBytes(logs.file("err"));
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(out.begin(), out.end()),
          std::string(err.begin(), err.end())};
}

// The last line of a text that ends with a newline.
std::string LastLine(const std::string& text) {
  if (text.size() < 2) return text;
  const size_t nl = text.rfind('\n', text.size() - 2);
  return nl == std::string::npos ? text : text.substr(nl + 1);
}

std::string Q(const std::string& s) { return "'" + s + "'"; }

// The WAV the player's export would write for the store the loader fills.
Bytes ExpectedWav(const std::string& voiceFile, const TempDir& dir) {
  PcmStore store;
  store.byteCount = 0;
  testing::internal::CaptureStderr();
  const bool ok = store.LoadVoiceFile(voiceFile);
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(ok);
  const std::string path = dir.file("expected.wav");
  EXPECT_TRUE(WriteWavFile(store, path));
  return ReadBytes(path);
}

TEST(Cli, DecodeWritesTheExportedWav) {
  TempDir dir;
  const std::string in = dir.file("voice.slk");
  VoiceFile().Filler(2000).Filler(2000).Length(0).Filler(2000).Save(in);
  const std::string out = dir.file("voice out.wav");

  const CliRun r = RunCli("decode " + Q(in) + " " + Q(out));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Wrote " + out + " (0.06 s of 24 kHz mono audio from " + in + ")\n");
  EXPECT_EQ(ReadBytes(out), ExpectedWav(in, dir));
  // The loader's progress line, ended before the CLI's own output.
  EXPECT_EQ(LastLine(r.err), "\rPackets decoded:             3\rPackets decoded:             4"
                             "\rPackets decoded:              5\rPackets decoded:              6\n");
}

TEST(Cli, FailuresExplainAndWriteNothing) {
  TempDir dir;
  const std::string notVoice = dir.file("notes.txt");
  tavimo_test::WriteBytes(notVoice, Bytes(40, 'x'));
  const std::string tooLong = dir.file("long.slk");
  {
    VoiceFile file;  // one concealed 20 ms frame per packet, 126 s in all
    for (int i = 0; i < 6300; ++i) file.Filler(1025);
    file.Save(tooLong);
  }
  const std::string good = dir.file("good.slk");
  VoiceFile().Save(good);
  const std::string missing = dir.file("missing.slk");

  struct Case {
    const char* name;
    std::string in;
    std::string out;
    std::string message;
  };
  const Case cases[] = {
      {"missing input", missing, dir.file("a.wav"),
       "tavimo-cli: cannot open " + missing + ": No such file or directory\n"},
      {"not a voice file", notVoice, dir.file("b.wav"),
       "tavimo-cli: " + notVoice + " is not a voice file (no #!SILK_V3 tag after its first byte)\n"},
      {"too long", tooLong, dir.file("c.wav"),
       "tavimo-cli: " + tooLong + " is too long: its audio reaches the 125 s limit\n"},
      {"output folder missing", good, dir.file("nowhere/d.wav"),
       "tavimo-cli: cannot write " + dir.file("nowhere/d.wav") + ": No such file or directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CliRun r = RunCli("decode " + Q(c.in) + " " + Q(c.out));
    EXPECT_EQ(r.status, 1);
    // The reason is the last line, after the loader's progress line if any.
    EXPECT_EQ(LastLine(r.err), c.message);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(c.out));
  }
  // Nothing but the inputs is left in the folder.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"good.slk", "long.slk", "notes.txt"}));
}

TEST(Cli, UsageErrorsExitWithTwo) {
  TempDir dir;
  const std::string in = dir.file("voice.slk");
  VoiceFile().Save(in);
  struct Case {
    const char* name;
    std::string args;
    int status;
  };
  const Case cases[] = {
      {"unknown subcommand", "play " + Q(in), 2},
      {"decode without output", "decode " + Q(in), 2},
      {"decode without arguments", "decode", 2},
      {"extra argument", "decode " + Q(in) + " " + Q(dir.file("x.wav")) + " more", 2},
      {"unknown option", "--loud", 2},
      {"help", "--help", 0},
      {"decode help", "decode --help", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CliRun r = RunCli(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.status == 2) {
      EXPECT_NE(r.err, "");
    } else {
      EXPECT_NE(r.out.find("decode"), std::string::npos);
    }
  }
  EXPECT_FALSE(fs::exists(dir.file("x.wav")));
}

// Without arguments the bundled sample is converted to out/sample.wav next
// to the binary's folder.
TEST(Cli, NoArgumentsConvertsTheBundledSample) {
  const fs::path sample = fs::path(TAVIMO_SOURCE_DIR) / "samples" / "sample.slk";
  const fs::path out = (fs::path(BinDir()).parent_path() / "out" / "sample.wav").lexically_normal();
  const CliRun r = RunCli("");
  if (!fs::exists(sample) && !fs::exists(fs::path(BinDir()) / "sample.slk")) {
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the bundled sample was not found"), std::string::npos) << r.err;
    return;
  }
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Wrote " + out.string() + " (", 0), 0u) << r.out;
  TempDir dir;
  EXPECT_EQ(ReadBytes(out.string()), ExpectedWav(sample.string(), dir));
}

}  // namespace
