// The decoded-audio store and the voice file loader.
//
// A voice file is one byte of any value, the tag "#!SILK_V3", then packets of
// a 16-bit little-endian signed length and that many payload bytes. The
// loader decodes the whole file into 16-bit mono PCM at 24,000 Hz and appends
// it to the store.
#pragma once

#include <cstdint>
#include <string>

class PcmStore {
 public:
  static constexpr int32_t kCapacityBytes = 6000000;  // 125 s at 24 kHz, 16-bit mono

  enum class LoadError { None, CannotOpen, NotVoiceFile, TooLong };

  PcmStore();   // allocates the buffer and fills it with zeros once
  ~PcmStore();
  PcmStore(const PcmStore&) = delete;
  PcmStore& operator=(const PcmStore&) = delete;

  // Decodes the file at path and appends its samples (precondition:
  // byteCount == 0). True when the whole file was decoded and appended.
  bool LoadVoiceFile(const std::string& path);

  // Why the last LoadVoiceFile returned false (None after a success).
  LoadError lastError() const { return m_lastError; }

  uint8_t* buffer;    // kCapacityBytes bytes of signed 16-bit little-endian samples
  int32_t byteCount;  // valid bytes at the start of buffer; always even

 private:
  LoadError m_lastError = LoadError::None;
};
