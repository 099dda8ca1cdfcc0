// Fuzz target: the whole voice file loader on arbitrary file bytes.
//
// The bytes go into an in-memory file (memfd) that the loader opens by its
// /proc path, so the loader runs exactly as it does on a real file. Each
// input is loaded twice, the second time over a differently filled stack,
// and must give the same result.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "loader/pcm_store.h"

namespace {

constexpr int32_t kFrameBytes = 960;  // 20 ms at 24 kHz, 16-bit mono

void Check(bool ok) {
  if (!ok) std::abort();
}

// Fills a stretch of stack below the caller, so that a later call that reads
// a local before writing it sees `fill` there.
__attribute__((noinline)) void ScrubStack(uint8_t fill) {
  volatile uint8_t area[128 * 1024];
  std::memset(const_cast<uint8_t*>(area), fill, sizeof area);
}

struct Result {
  bool ok;
  PcmStore::LoadError error;
  int32_t byteCount;
  uint64_t hash;
};

Result Load(PcmStore& store, const std::string& path) {
  store.byteCount = 0;
  const bool ok = store.LoadVoiceFile(path);
  uint64_t h = 1469598103934665603ull;
  for (int32_t i = 0; i < store.byteCount; ++i) {
    h ^= store.buffer[i];
    h *= 1099511628211ull;
  }
  return {ok, store.lastError(), store.byteCount, h};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static PcmStore store;  // 6 MB buffer, allocated once
  const int fd = memfd_create("tavimo-fuzz", 0);
  if (fd < 0) return 0;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);

  ScrubStack(0x00);
  const Result first = Load(store, path);
  ScrubStack(0xA5);
  const Result second = Load(store, path);
  close(fd);

  Check(first.ok == second.ok && first.error == second.error &&
        first.byteCount == second.byteCount && first.hash == second.hash);
  // A result and its reason agree.
  Check(first.ok == (first.error == PcmStore::LoadError::None));
  // The store never claims more than it holds, and only whole frames.
  Check(first.byteCount >= 0 && first.byteCount < PcmStore::kCapacityBytes);
  Check(first.byteCount % kFrameBytes == 0);
  // A file whose bytes 1..9 are not the tag is rejected with nothing stored;
  // a tagged file fails only at the capacity limit and always yields sound.
  const bool tagged = size >= 10 && std::memcmp(data + 1, "#!SILK_V3", 9) == 0;
  if (!tagged) {
    Check(!first.ok && first.error == PcmStore::LoadError::NotVoiceFile && first.byteCount == 0);
  } else {
    Check(first.ok || first.error == PcmStore::LoadError::TooLong);
    Check(first.byteCount > 0);
  }
  return 0;
}
