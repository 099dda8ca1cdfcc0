// Writes the bundled sample voice file (a steady voiced tone built from
// chosen symbols) to the path given, samples/sample.slk by default.
#include <cstdio>
#include <exception>
#include <string>

#include "tools/streamwriter/frame_writer.h"
#include "tools/streamwriter/sample_voice.h"

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: tavimo-make-sample [OUT.slk]\n");
    return 2;
  }
  const std::string path = argc == 2 ? argv[1] : "samples/sample.slk";
  try {
    const std::vector<uint8_t> file = BuildSampleVoiceFile();
    WriteBytesToFile(path, file);
    std::printf("%s: %zu bytes\n", path.c_str(), file.size());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavimo-make-sample: %s\n", e.what());
    return 1;
  }
  return 0;
}
