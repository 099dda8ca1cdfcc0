// RIFF/WAVE writer. The file is first written completely under a temporary
// name in the target's folder and then renamed over the target, so an export
// that fails half-way never costs the user an existing file.

#include "export/wav_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "loader/pcm_store.h"

namespace {

constexpr uint32_t kSampleRate = 24000;
constexpr uint16_t kChannels = 1;
constexpr uint16_t kBitsPerSample = 16;
constexpr uint16_t kBlockAlign = kChannels * kBitsPerSample / 8;
constexpr uint32_t kFormatChunkBytes = 18;  // the whole wave format record, extra-size field included
constexpr size_t kHeaderBytes = 46;

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutId(uint8_t* p, const char* id) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(id[i]);
}

void BuildHeader(uint8_t* h, uint32_t dataBytes) {
  PutId(h + 0, "RIFF");
  Put32(h + 4, 38 + dataBytes);
  PutId(h + 8, "WAVE");
  PutId(h + 12, "fmt ");
  Put32(h + 16, kFormatChunkBytes);
  Put16(h + 20, 1);  // PCM
  Put16(h + 22, kChannels);
  Put32(h + 24, kSampleRate);
  Put32(h + 28, kSampleRate * kBlockAlign);
  Put16(h + 32, kBlockAlign);
  Put16(h + 34, kBitsPerSample);
  Put16(h + 36, 0);  // no extra format bytes
  PutId(h + 38, "data");
  Put32(h + 42, dataBytes);
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// Creates a new, unused file next to `path` (same folder, so the final rename
// stays on one file system). Returns its descriptor and name, or -1.
int CreateTempNextTo(const std::string& path, std::string* tempPath) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    *tempPath = dir + ".tavimo-wav-" + std::to_string(::getpid()) + "-" +
                std::to_string(counter.fetch_add(1)) + ".tmp";
    const int fd = ::open(tempPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool WriteWavFile(const PcmStore& store, const std::string& path) {
  if (path.empty() || store.byteCount < 0 || store.byteCount > PcmStore::kCapacityBytes) {
    errno = EINVAL;
    return false;
  }
  const auto dataBytes = static_cast<uint32_t>(store.byteCount);

  std::string tempPath;
  const int fd = CreateTempNextTo(path, &tempPath);
  if (fd < 0) return false;

  uint8_t header[kHeaderBytes];
  BuildHeader(header, dataBytes);
  bool ok = WriteAll(fd, header, sizeof header) && WriteAll(fd, store.buffer, dataBytes) &&
            ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && std::rename(tempPath.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(tempPath.c_str());
    errno = error;  // the caller may report why the write failed
  }
  return ok;
}
