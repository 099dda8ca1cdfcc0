// tavimo-cli: converts voice messages to WAV from the command line.
//
//   tavimo-cli decode IN OUT.wav   decode IN and write it as a WAV file
//   tavimo-cli                     decode the bundled sample to out/sample.wav
//
// Exit status: 0 success, 1 the conversion failed, 2 usage error.

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "export/wav_writer.h"
#include "loader/pcm_store.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr double kBytesPerSecond = 48000.0;  // 24,000 samples of 2 bytes

void PrintError(const std::string& message) {
  std::fprintf(stderr, "tavimo-cli: %s\n", message.c_str());
}

std::string WithReason(const std::string& text, int error) {
  return error != 0 ? text + ": " + std::strerror(error) : text;
}

// Loads `in` the way the player does and writes the store as `out`. Nothing
// is written when the load fails.
int DecodeToWav(const std::string& in, const std::string& out) {
  PcmStore store;
  store.byteCount = 0;
  errno = 0;
  const bool loaded = store.LoadVoiceFile(in);
  const int error = errno;
  const PcmStore::LoadError why = store.lastError();
  // The loader reports its progress as one line rewritten in place on
  // standard error; end that line before anything else is printed.
  if (loaded || why == PcmStore::LoadError::TooLong) std::fputc('\n', stderr);
  if (!loaded) {
    switch (why) {
      case PcmStore::LoadError::CannotOpen:
        PrintError(WithReason("cannot open " + in, error));
        break;
      case PcmStore::LoadError::NotVoiceFile:
        PrintError(in + " is not a voice file (no #!SILK_V3 tag after its first byte)");
        break;
      case PcmStore::LoadError::TooLong:
        PrintError(in + " is too long: its audio reaches the 125 s limit");
        break;
      case PcmStore::LoadError::None:
        PrintError("cannot decode " + in);
        break;
    }
    return kExitFailed;
  }

  errno = 0;
  if (!WriteWavFile(store, out)) {
    PrintError(WithReason("cannot write " + out, errno));
    return kExitFailed;
  }
  std::printf("Wrote %s (%.2f s of 24 kHz mono audio from %s)\n", out.c_str(),
              store.byteCount / kBytesPerSecond, in.c_str());
  return kExitOk;
}

// The folder of the running executable, or an empty path if unknown.
fs::path ExecutableDir() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

// With no arguments the CLI converts the bundled sample: it is looked for next
// to the executable first, then in the source tree it was built from. The WAV
// goes to out/sample.wav beside the executable's folder (build/out/ for a
// binary in build/bin/).
int DecodeBundledSample() {
  const fs::path exeDir = ExecutableDir();
  std::vector<fs::path> candidates;
  if (!exeDir.empty()) candidates.push_back(exeDir / "sample.slk");
#ifdef TAVIMO_SOURCE_DIR
  candidates.push_back(fs::path(TAVIMO_SOURCE_DIR) / "samples" / "sample.slk");
#endif

  fs::path sample;
  std::string looked;
  for (const fs::path& c : candidates) {
    std::error_code ec;
    if (fs::is_regular_file(c, ec)) {
      sample = c;
      break;
    }
    looked += (looked.empty() ? "" : ", ") + c.string();
  }
  if (sample.empty()) {
    PrintError("the bundled sample was not found (looked for " + looked + ")");
    return kExitFailed;
  }

  const fs::path outDir = exeDir.empty() ? fs::path("out") : exeDir.parent_path() / "out";
  std::error_code ec;
  fs::create_directories(outDir, ec);
  if (ec) {
    PrintError("cannot create " + outDir.string() + ": " + ec.message());
    return kExitFailed;
  }
  return DecodeToWav(sample.lexically_normal().string(),
                     (outDir / "sample.wav").lexically_normal().string());
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Tavimo: converts WeChat/QQ voice messages (.amr, .aud, .slk) to WAV.\n"
               "Without arguments it converts the bundled sample.",
               "tavimo-cli"};
  app.require_subcommand(0, 1);

  std::string in;
  std::string out;
  CLI::App* decode = app.add_subcommand("decode", "Decode a voice file to a 24 kHz mono 16-bit WAV file");
  decode->add_option("IN", in, "Voice file to decode")->required();
  decode->add_option("OUT", out, "WAV file to write (replaced if it exists)")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }

  if (decode->parsed()) return DecodeToWav(in, out);
  return DecodeBundledSample();
}
