// Fuzz target: the WAV writer with arbitrary store contents. The written
// file must be the 46-byte header followed by exactly the store's bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export/wav_writer.h"
#include "loader/pcm_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static PcmStore store;
  const size_t n = size & ~static_cast<size_t>(1);
  if (n >= static_cast<size_t>(PcmStore::kCapacityBytes)) return 0;
  std::memcpy(store.buffer, data, n);
  store.byteCount = static_cast<int32_t>(n);
  const std::string path = "/tmp/tavimo-fuzz-wav-" + std::to_string(getpid()) + ".wav";
  if (!WriteWavFile(store, path)) std::abort();
  std::ifstream f(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  if (bytes.size() != 46 + n) std::abort();
  if (std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 38, "data", 4) != 0) std::abort();
  const uint32_t riff = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<uint32_t>(bytes[7]) << 24;
  const uint32_t dataSize = bytes[42] | bytes[43] << 8 | bytes[44] << 16 | static_cast<uint32_t>(bytes[45]) << 24;
  if (riff != 38 + n || dataSize != n) std::abort();
  if (n > 0 && std::memcmp(bytes.data() + 46, data, n) != 0) std::abort();
  return 0;
}
