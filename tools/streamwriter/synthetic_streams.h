// Synthetic speech-like streams for the golden-output tests and the
// benchmarks: runs of voiced frames (a pitch pulse train, gently moving lag
// and gain, tame pitch filters) and unvoiced frames (dense small pulses),
// with optional multi-frame packets, lost packets, redundant copies, packets
// at another internal rate and corrupt packets. A stream follows from its
// options alone (mt19937 with plain modulo picks), so it is the same on
// every platform.
//
// The golden-output tests pin the decoded output of such streams: changing
// what these builders produce means re-recording those hashes.
#pragma once

#include <cstdint>
#include <vector>

struct SyntheticStreamOptions {
  int32_t rateIndex = 3;          // internal rate 0..3 = 8, 12, 16, 24 kHz
  int32_t voicedPercent = 80;     // share of voiced frames
  int32_t packets = 50;
  int32_t framesPerPacket = 1;    // 1..5
  int32_t lostPercent = 0;        // packets that go missing (empty)
  int32_t redundancyPercent = 0;  // of the lost ones, those whose copy rides on a later packet
  int32_t rateChangePercent = 0;  // packets coded at another internal rate
  int32_t corruptPercent = 0;     // packets with a damaged byte or a cut-off end
  uint32_t seed = 1;
};

using PacketList = std::vector<std::vector<uint8_t>>;

PacketList BuildSyntheticStream(const SyntheticStreamOptions& options);

// Decodes packets the way the voice-file loader does: a lost (empty) packet
// is replaced by a redundant copy found in one of the next two packets, or
// else concealed with as many frames as the last packet had. Writes at most
// `capacity` samples at apiRateHz to out and returns how many it wrote.
// `state` is scratch storage for one decoder (reset here).
struct SilkDecoderState;
int64_t DecodeSyntheticStream(SilkDecoderState* state, const PacketList& packets,
                              int32_t apiRateHz, int16_t* out, int64_t capacity);

// The same into a vector, with a decoder of its own.
std::vector<int16_t> DecodeSyntheticStream(const PacketList& packets, int32_t apiRateHz);
