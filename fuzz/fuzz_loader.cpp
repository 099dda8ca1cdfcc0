// Fuzz target: the whole voice file loader on arbitrary file bytes.
//
// The bytes go into an in-memory file (memfd) that the loader opens by its
// /proc path, so the loader runs exactly as it does on a real file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "loader/pcm_store.h"

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
  store.byteCount = 0;
  const bool ok = store.LoadVoiceFile(path);
  close(fd);
  // The store never claims more than it holds, and always whole samples.
  if (store.byteCount < 0 || store.byteCount >= PcmStore::kCapacityBytes || (store.byteCount & 1) != 0) {
    std::abort();
  }
  // A file whose bytes 1..9 are not the tag must be rejected with nothing stored.
  const bool tagged = size >= 10 && std::string(reinterpret_cast<const char*>(data) + 1, 9) == "#!SILK_V3";
  if (!tagged && (ok || store.byteCount != 0)) std::abort();
  return 0;
}
