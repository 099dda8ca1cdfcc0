// Frame writer: codes chosen symbols of frames exactly in the order and with
// the tables the decoder reads them, plus builders for packets and voice
// files. Test support and sample making; it does not analyse audio.
//
//   FrameSymbols f;                 // a voiced 24 kHz frame, all indices 0
//   f.gainIndices[0] = 30;
//   f.pulses.assign(480, 0);
//   f.pulses[0] = 5;
//   std::vector<uint8_t> packet = BuildPacket({f});
//   std::vector<uint8_t> file = BuildVoiceFile({packet, {}, packet});  // {} = lost
//
// Invalid symbols (outside their table, or of zero probability) throw
// std::invalid_argument or std::out_of_range.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "silk/nlsf.h"
#include "tools/streamwriter/range_encoder.h"

struct FrameSymbols {
  // Internal rate 0..3 = 8, 12, 16, 24 kHz. Coded on a packet's first frame
  // only; later frames of the packet use the first frame's rate.
  int32_t rateIndex = 3;
  // Signal type and quantiser offset: 2 * signalType + offsetType
  // (0, 1 voiced; 2, 3 unvoiced).
  int32_t typeOffset = 0;
  // [0]: on a packet's first frame the absolute gain index 0..63, on later
  // frames a step symbol 0..44 (step symbol - 4); [1..3]: step symbols
  // (4 = unchanged).
  int32_t gainIndices[4] = {0, 4, 4, 4};
  // One index per stage of the NLSF codebook of the rate and signal type
  // (6 stages at 8 kHz, 10 otherwise; the rest is ignored).
  int32_t nlsfIndices[kSilkNlsfMaxStages] = {};
  // NLSF interpolation symbol 0..4 (4 = none).
  int32_t nlsfInterp = 4;
  // Voiced frames only: lag index (lag = 2 * kHz + index before the contour
  // offsets), contour index (0..10 at 8 kHz, 0..33 otherwise), periodicity
  // 0..2, one LTP codebook row per subframe, LTP scale symbol 0..2.
  int32_t lagIndex = 0;
  int32_t contourIndex = 0;
  int32_t periodicity = 0;
  int32_t ltpRows[4] = {};
  int32_t ltpScale = 0;
  int32_t seed = 0;       // 0..3
  int32_t rateLevel = 0;  // pulse rate level 0..8
  // Signed pulses of the frame (20 * kHz values); empty means all zero.
  std::vector<int32_t> pulses;
  int32_t vad = 1;  // voice activity 0 or 1
  // 0 last frame, 1 another frame follows, 2 / 3 redundancy for the packet
  // one / two places back follows.
  int32_t frameEnd = 0;
};

// Samples per frame for a rate index (160, 240, 320, 480).
int32_t FrameLengthForRateIndex(int32_t rateIndex);

// Random symbols that are all valid for a frame at `rateIndex` (the first of
// its packet or a later one): any signal type, small gain steps, mostly zero
// pulses with some large ones, any end code. For stress tests.
FrameSymbols RandomFrameSymbols(std::mt19937& rng, int32_t rateIndex, bool firstInPacket);

// Codes the frames of one packet into one range-code stream.
struct FrameWriter {
  RangeEncoder enc;
  int32_t framesWritten;   // 0: the next frame is the packet's first
  int32_t rateKhz;         // rate of the packet's first frame
  int32_t lastTypeOffset;  // the previous frame's type-and-offset symbol
};

void FrameWriterBegin(FrameWriter* writer);
void WriteFrame(FrameWriter* writer, const FrameSymbols& frame);
// The coded bytes followed by `trailing` raw bytes (a redundant copy of an
// earlier packet after end code 2 or 3, or anything a test wants there).
std::vector<uint8_t> FrameWriterFinish(FrameWriter* writer,
                                       const std::vector<uint8_t>& trailing = {});

// One packet from its frames (1..5 in a valid stream) and optional trailing bytes.
std::vector<uint8_t> BuildPacket(const std::vector<FrameSymbols>& frames,
                                 const std::vector<uint8_t>& trailing = {});

// A voice file: one leading byte, the tag "#!SILK_V3", then per packet its
// length (int16, little-endian) and its bytes. An empty packet is written as
// length 0, a lost packet. Packets longer than 32767 bytes throw.
std::vector<uint8_t> BuildVoiceFile(const std::vector<std::vector<uint8_t>>& packets,
                                    uint8_t leadingByte = 0x02);

// Writes bytes to a file; throws std::runtime_error on failure.
void WriteBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes);
