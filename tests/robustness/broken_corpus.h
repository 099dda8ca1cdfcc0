// A corpus of damaged and unusual voice files, each with the outcome the
// loader must give. Built from code, so every file is small and exact; the
// robustness tests check the loader and the command-line converter on it,
// and the fuzz seed generator writes it out as loader seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "loader/pcm_store.h"

namespace tavimo_test {

struct BrokenFile {
  std::string name;
  bool exists = true;               // false: the path names no file at all
  std::vector<uint8_t> bytes{};     // the file
  bool loads = true;                // LoadVoiceFile's result
  PcmStore::LoadError error = PcmStore::LoadError::None;
  int32_t frames = 0;               // 20 ms frames (960 bytes) in the store afterwards
  // When not empty: a well-formed file the broken one must decode exactly like.
  std::vector<uint8_t> sameAs{};
  // When not empty: the damaged payload inside the file, and the status the
  // range decoder ends with when it takes that payload as a packet.
  std::vector<uint8_t> payload{};
  int32_t payloadStatus = 0;
  // When not 0: the pitch lag of subframe 0 that the payload's first frame
  // decodes to.
  int32_t payloadLag = 0;
  bool slow = false;                // many frames: left out of the fuzz seeds
};

// The whole corpus, built once.
const std::vector<BrokenFile>& BrokenCorpus();

}  // namespace tavimo_test
