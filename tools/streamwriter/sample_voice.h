// The bundled sample voice file: a steady voiced tone built from chosen
// symbols (24 kHz frames, one per packet, a constant pitch of 150 Hz, a pulse
// train at the pitch period, strong pitch prediction, a smooth spectral
// envelope and a gain picked for a comfortable level, faded in and out).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/streamwriter/frame_writer.h"

constexpr int32_t kSampleFrames = 125;     // 2.5 s
constexpr int32_t kSamplePitchLag = 160;   // samples at 24 kHz: 150 Hz
constexpr double kSampleTargetRms = 3000;  // about -21 dBFS

// The symbols of the sample's frames, one frame per packet. The gain comes
// from a search that decodes candidate streams, so the result follows the
// decoder's tables.
std::vector<FrameSymbols> SampleVoiceFrames();

// The whole file, as tavimo-make-sample writes it to samples/sample.slk.
std::vector<uint8_t> BuildSampleVoiceFile();

// Decodes a voice file's packets in order at 24000 Hz (one call per frame,
// no loss handling) and returns the samples.
std::vector<int16_t> DecodeVoicePackets(const std::vector<std::vector<uint8_t>>& packets);
