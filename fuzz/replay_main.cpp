// Runs a fuzz target's entry point over files or folders of inputs, without
// libFuzzer. The test suite uses it to replay the seed and regression corpora
// in every build (including the sanitizer build).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

static int RunFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "cannot read %s\n", p.c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 0;
}

int main(int argc, char** argv) {
  int files = 0;
  int failures = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg(argv[i]);
    if (fs::is_directory(arg)) {
      std::vector<fs::path> entries;
      for (const auto& e : fs::directory_iterator(arg)) {
        if (e.is_regular_file() && e.path().filename().string()[0] != '.') entries.push_back(e.path());
      }
      std::sort(entries.begin(), entries.end());
      for (const auto& p : entries) {
        failures += RunFile(p);
        ++files;
      }
    } else {
      failures += RunFile(arg);
      ++files;
    }
  }
  std::printf("replayed %d inputs\n", files);
  return failures == 0 ? 0 : 1;
}
