// The broken-file corpus through the loader and through tavimo-cli: the
// result and reason each file must give, the same samples on every run, and
// from the converter the right exit status and message, no partial output
// and an existing output file left alone on failure. Every CLI run has a
// time limit, so a hang fails the test instead of stalling it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "loader/pcm_store.h"
#include "silk/frame_params.h"
#include "silk/side_info.h"
#include "silk/silk_decoder.h"
#include "tests/loader/voice_files.h"
#include "tests/robustness/broken_corpus.h"

namespace tavimo_test {

void PrintTo(const BrokenFile& f, std::ostream* os) { *os << f.name; }

namespace {

namespace fs = std::filesystem;
using Error = PcmStore::LoadError;

constexpr int32_t kFrameBytes = 960;  // 20 ms at 24 kHz, 16-bit mono

struct Loaded {
  bool ok;
  Error error;
  Bytes samples;
};

Loaded Load(const std::string& path) {
  auto store = std::make_unique<PcmStore>();
  store->byteCount = 0;
  testing::internal::CaptureStderr();  // the progress line
  const bool ok = store->LoadVoiceFile(path);
  testing::internal::GetCapturedStderr();
  return {ok, store->lastError(), Bytes(store->buffer, store->buffer + store->byteCount)};
}

// Writes the case's file (if it has one) into dir and returns its path.
std::string Place(const BrokenFile& f, const TempDir& dir) {
  const std::string path = dir.file(f.name + ".slk");
  if (f.exists) WriteBytes(path, f.bytes);
  return path;
}

// The status the range decoder ends with when a fresh decoder takes the
// payload as a packet's first frame. Over-long payloads never reach the
// frame decoder; the redundancy search initialises its range decoder with
// them directly.
int32_t StatusOf(const Bytes& payload, SilkDecoderState* st) {
  SilkDecoderReset(st);
  const auto n = static_cast<int32_t>(payload.size());
  if (n > kSilkRangeMaxPayload) {
    SilkRangeInit(&st->rangeDec, payload.data(), n);
    return st->rangeDec.status;
  }
  SilkDecControl control{};
  control.apiRateHz = 24000;
  control.packetFrames = 1;
  int16_t out[kSilkMaxApiFrameLength];
  int16_t count = 0;
  const int32_t rc = SilkDecodePacket(st, &control, 0, payload.data(), n, out, &count);
  EXPECT_EQ(rc, st->rangeDec.status == 0 ? 0 : kSilkErrCorrupt);
  EXPECT_EQ(count, 480);
  return st->rangeDec.status;
}

class BrokenFiles : public testing::TestWithParam<BrokenFile> {};

TEST_P(BrokenFiles, LoaderGivesTheExpectedResultTheSameWayEveryTime) {
  const BrokenFile& f = GetParam();
  TempDir dir;
  const std::string path = Place(f, dir);

  const Loaded first = Load(path);
  EXPECT_EQ(first.ok, f.loads);
  EXPECT_EQ(first.error, f.error);
  EXPECT_EQ(first.samples.size(), static_cast<size_t>(f.frames) * kFrameBytes);
  EXPECT_TRUE(Load(path).samples == first.samples) << "a second load gave other samples";

  if (!f.sameAs.empty()) {
    const std::string reference = dir.file("reference.slk");
    WriteBytes(reference, f.sameAs);
    const Loaded ref = Load(reference);
    EXPECT_TRUE(ref.ok);
    EXPECT_TRUE(ref.samples == first.samples) << "decodes differently from its well-formed twin";
  }

  if (!f.payload.empty() || f.payloadLag != 0) {
    auto st = std::make_unique<SilkDecoderState>();
    EXPECT_EQ(StatusOf(f.payload, st.get()), f.payloadStatus);
  }
  if (f.payloadLag != 0) {
    // The first frame's side information, decoded on its own.
    auto st = std::make_unique<SilkDecoderState>();
    SilkDecoderReset(st.get());
    SilkRangeInit(&st->rangeDec, f.payload.data(), static_cast<int32_t>(f.payload.size()));
    SilkFrameParams params{};
    int32_t pulses[kSilkMaxFrameLength];
    SilkDecodeSideInfo(st.get(), &params, pulses, 1);
    ASSERT_EQ(st->rangeDec.status, 0);
    EXPECT_EQ(params.pitchLags[0], f.payloadLag);
    EXPECT_GT(params.pitchLags[0], st->frameLength - st->lpcOrder - 2) << "within the bound";
  }
}

struct CliRun {
  bool finished;
  int status;
  std::string err;
};

// Runs tavimo-cli with args, standard error to a file; kills it after
// `limit` and reports it as unfinished.
CliRun RunCli(const std::vector<std::string>& args, const TempDir& logs,
              std::chrono::seconds limit) {
  const char* env = std::getenv("TAVIMO_BIN_DIR");
  const std::string cli = std::string(env != nullptr ? env : TAVIMO_BINARY_DIR "/bin") + "/tavimo-cli";
  EXPECT_TRUE(fs::exists(cli)) << cli << " has not been built";
  const std::string errPath = logs.file("stderr");

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(cli.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (null < 0 || err < 0) _exit(127);
    dup2(null, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execv(cli.c_str(), argv.data());
    _exit(127);
  }
  EXPECT_GT(pid, 0);
  int raw = 0;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool finished = false;
  while (!finished) {
    const pid_t done = waitpid(pid, &raw, WNOHANG);
    if (done == pid) {
      finished = true;
    } else if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &raw, 0);
      break;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  const Bytes err = ReadBytes(errPath);
  return {finished, finished && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
          std::string(err.begin(), err.end())};
}

std::string MessageFor(Error error) {
  switch (error) {
    case Error::CannotOpen:
      return "cannot open";
    case Error::NotVoiceFile:
      return "is not a voice file";
    case Error::TooLong:
      return "is too long";
    case Error::None:
      break;
  }
  return "";
}

TEST_P(BrokenFiles, ConverterExitsWithTheRightStatusAndNeverLeavesAPartialFile) {
  const BrokenFile& f = GetParam();
  TempDir dir;
  TempDir logs;
  const std::string in = Place(f, dir);
  // The output name already holds a file the user had.
  const std::string out = dir.file("out.wav");
  const Bytes old = {'k', 'e', 'e', 'p'};
  WriteBytes(out, old);

  const CliRun r = RunCli({"decode", in, out}, logs, std::chrono::seconds(60));
  ASSERT_TRUE(r.finished) << "tavimo-cli did not finish within 60 s";
  if (f.loads) {
    EXPECT_EQ(r.status, 0) << r.err;
    // The WAV carries exactly the samples the loader gives in this process.
    const Bytes wav = ReadBytes(out);
    const Bytes samples = Load(in).samples;
    ASSERT_EQ(wav.size(), 46 + samples.size());
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), wav.begin() + 46));
  } else {
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(MessageFor(f.error)), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(out), old) << "the existing output file was changed";
  }
  // Only the input and the output are in the folder: no temporary file.
  int entries = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) {
    ++entries;
    EXPECT_TRUE(e.path() == fs::path(in) || e.path() == fs::path(out)) << e.path();
  }
  EXPECT_EQ(entries, f.exists ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(Corpus, BrokenFiles, testing::ValuesIn(BrokenCorpus()),
                         [](const testing::TestParamInfo<BrokenFile>& p) { return p.param.name; });

}  // namespace
}  // namespace tavimo_test
