// RIFF/WAVE writer for the decoded store: PCM, mono, 24,000 Hz, 16-bit, with
// an 18-byte format chunk (46-byte header).
#pragma once

#include <string>

class PcmStore;

// Writes store.buffer[0 .. byteCount) to path. The file is written under a
// temporary name in the same folder and renamed over path only when complete,
// so a failure never destroys an existing file and leaves no temporary file
// behind. True on success; on failure false, with errno telling why.
bool WriteWavFile(const PcmStore& store, const std::string& path);
