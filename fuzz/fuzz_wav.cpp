// Fuzz target: the WAV writer with arbitrary store contents and byte counts.
//
// Input format: byte 0 picks the case (% 4):
//   0, 1  the rest of the input is the store's content, byteCount its size
//         rounded down to whole samples
//   2     bytes 1..4 are byteCount as a little-endian int32 (any value), the
//         store is filled by repeating the rest of the input
//   3     as 0, but the target already exists and must be replaced whole
// Every write goes to a private folder. A write that succeeds leaves exactly
// the 46-byte header and the store's bytes under the target name; a write
// that fails leaves the folder as it was (an existing target untouched, no
// temporary file). Byte counts outside 0..capacity must be refused.
#include <dirent.h>
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

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

int CountEntries(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return -1;
  int n = 0;
  while (const dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) ++n;
  }
  closedir(d);
  return n;
}

uint32_t Get32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// A private folder for the writes, removed when the process ends. In memory
// where there is such a file system: the writer syncs every file to disk.
struct Folder {
  std::string path;
  Folder() {
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    pattern += "/tavimo-fuzz-wav-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path = pattern;
  }
  ~Folder() {
    std::remove((path + "/out.wav").c_str());
    rmdir(path.c_str());
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static PcmStore store;
  if (size == 0) return 0;
  static const Folder folder;
  const std::string& dir = folder.path;
  const std::string target = dir + "/out.wav";
  std::remove(target.c_str());

  const int mode = data[0] % 4;
  int32_t count = 0;
  if (mode == 2) {
    if (size < 5) return 0;
    count = static_cast<int32_t>(Get32(data + 1));
    const uint8_t* fill = data + 5;
    const size_t fillSize = size - 5;
    if (count > 0 && count <= PcmStore::kCapacityBytes) {
      for (int32_t i = 0; i < count; ++i) {
        store.buffer[i] = fillSize == 0 ? 0 : fill[static_cast<size_t>(i) % fillSize];
      }
    }
  } else {
    const size_t n = (size - 1) & ~static_cast<size_t>(1);
    if (n >= static_cast<size_t>(PcmStore::kCapacityBytes)) return 0;
    if (n > 0) std::memcpy(store.buffer, data + 1, n);
    count = static_cast<int32_t>(n);
  }
  store.byteCount = count;

  const std::vector<uint8_t> old = {'k', 'e', 'e', 'p'};
  if (mode == 3) {
    std::ofstream(target, std::ios::binary).write(reinterpret_cast<const char*>(old.data()), 4);
  }

  const bool ok = WriteWavFile(store, target);
  const bool valid = count >= 0 && count <= PcmStore::kCapacityBytes;
  Check(ok == valid);

  if (!ok) {
    // Nothing written, nothing lost.
    Check(CountEntries(dir) == (mode == 3 ? 1 : 0));
    if (mode == 3) Check(ReadFile(target) == old);
    return 0;
  }

  Check(CountEntries(dir) == 1);
  const std::vector<uint8_t> bytes = ReadFile(target);
  const auto n = static_cast<size_t>(count);
  Check(bytes.size() == 46 + n);
  Check(std::memcmp(bytes.data(), "RIFF", 4) == 0 && std::memcmp(bytes.data() + 8, "WAVEfmt ", 8) == 0);
  Check(std::memcmp(bytes.data() + 38, "data", 4) == 0);
  Check(Get32(bytes.data() + 4) == 38 + n && Get32(bytes.data() + 42) == n);
  Check(n == 0 || std::memcmp(bytes.data() + 46, store.buffer, n) == 0);
  std::remove(target.c_str());
  return 0;
}
