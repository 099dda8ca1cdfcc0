// Test helpers: scratch folders and hand-made voice files.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tavimo_test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavimo-test-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Builds a voice file: a leading byte, the tag, then packets.
class VoiceFile {
 public:
  VoiceFile() {
    const char tag[] = "\x02#!SILK_V3";
    bytes_.assign(tag, tag + 10);
  }
  // A 16-bit little-endian length field (any value, also negative).
  VoiceFile& Length(int32_t length) {
    bytes_.push_back(static_cast<uint8_t>(length & 0xFF));
    bytes_.push_back(static_cast<uint8_t>((length >> 8) & 0xFF));
    return *this;
  }
  VoiceFile& Payload(const Bytes& payload) {
    bytes_.insert(bytes_.end(), payload.begin(), payload.end());
    return *this;
  }
  VoiceFile& Packet(const Bytes& payload) { return Length(static_cast<int32_t>(payload.size())).Payload(payload); }
  // A packet of `length` filler bytes. The filler 0x80 0x80 read as a length
  // is negative, so a loader that loses its place in the file stops early.
  VoiceFile& Filler(int32_t length) { return Length(length).Payload(Bytes(static_cast<size_t>(length), 0x80)); }
  VoiceFile& Raw(const Bytes& raw) { return Payload(raw); }

  const Bytes& bytes() const { return bytes_; }
  void Save(const std::string& path) const { WriteBytes(path, bytes_); }

 private:
  Bytes bytes_;
};

}  // namespace tavimo_test
