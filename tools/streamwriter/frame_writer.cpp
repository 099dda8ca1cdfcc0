#include "tools/streamwriter/frame_writer.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "silk/side_info_tables.h"
#include "silk/trained_tables.h"
#include "tools/streamwriter/pulse_encoder.h"

namespace {

// Codes `symbol` of a table with `symbols` symbols, after a range check that
// keeps the encoder from reading outside the table.
void Put(RangeEncoder* enc, int32_t symbol, const uint16_t* cdf, int32_t symbols,
         const char* what) {
  if (symbol < 0 || symbol >= symbols) {
    throw std::out_of_range(std::string("frame writer: ") + what + " " + std::to_string(symbol) +
                            " outside 0.." + std::to_string(symbols - 1));
  }
  RangeEncode(enc, symbol, cdf);
}

const int32_t kPitchLagSymbols[4] = {129, 193, 257, 385};

}  // namespace

int32_t FrameLengthForRateIndex(int32_t rateIndex) {
  if (rateIndex < 0 || rateIndex > 3) throw std::out_of_range("frame writer: rate index");
  return 20 * SilkRateKhzTable[rateIndex];
}

FrameSymbols RandomFrameSymbols(std::mt19937& rng, int32_t rateIndex, bool firstInPacket) {
  auto pick = [&rng](int32_t n) { return static_cast<int32_t>(rng() % static_cast<uint32_t>(n)); };
  const int32_t frameLength = FrameLengthForRateIndex(rateIndex);
  const bool narrow = rateIndex == 0;
  FrameSymbols f;
  f.rateIndex = rateIndex;
  f.typeOffset = pick(4);
  f.gainIndices[0] = firstInPacket ? pick(64) : pick(45);
  for (int k = 1; k < 4; ++k) f.gainIndices[k] = pick(12);
  const bool voiced = f.typeOffset < 2;
  const SilkNlsfCodebook* cb =
      narrow ? (voiced ? &SilkNlsfCodebookVoiced10 : &SilkNlsfCodebookUnvoiced10)
             : (voiced ? &SilkNlsfCodebookVoiced16 : &SilkNlsfCodebookUnvoiced16);
  for (int32_t s = 0; s < cb->stageCount; ++s) f.nlsfIndices[s] = pick(cb->stages[s].vectorCount);
  f.nlsfInterp = pick(5);
  f.lagIndex = pick(kPitchLagSymbols[rateIndex]);
  f.contourIndex = pick(narrow ? 11 : 34);
  f.periodicity = pick(3);
  for (int k = 0; k < 4; ++k) f.ltpRows[k] = pick(SilkLtpCodebookRows[f.periodicity]);
  f.ltpScale = pick(3);
  f.seed = pick(4);
  f.rateLevel = pick(9);
  f.pulses.assign(frameLength, 0);
  for (int32_t& v : f.pulses) {
    const int32_t r = pick(100);
    v = r < 80 ? 0 : (r < 97 ? pick(7) - 3 : pick(81) - 40);
  }
  f.vad = pick(2);
  f.frameEnd = pick(4);
  return f;
}

void FrameWriterBegin(FrameWriter* w) {
  RangeEncoderInit(&w->enc);
  w->framesWritten = 0;
  w->rateKhz = 0;
  w->lastTypeOffset = 0;
}

void WriteFrame(FrameWriter* w, const FrameSymbols& f) {
  RangeEncoder* enc = &w->enc;
  const bool first = w->framesWritten == 0;

  if (first) {
    Put(enc, f.rateIndex, SilkRateCdf, 4, "rate index");
    w->rateKhz = SilkRateKhzTable[f.rateIndex];
  }
  const int32_t frameLength = 20 * w->rateKhz;

  Put(enc, f.typeOffset, first ? SilkTypeOffsetFirstCdf : SilkTypeOffsetCdf[w->lastTypeOffset], 4,
      "type and offset");
  w->lastTypeOffset = f.typeOffset;
  const int32_t signalType = f.typeOffset >> 1;
  const int32_t offsetType = f.typeOffset & 1;

  if (first) {
    Put(enc, f.gainIndices[0], signalType == 0 ? SilkGainCdfVoiced : SilkGainCdfUnvoiced, 64,
        "first gain index");
  } else {
    Put(enc, f.gainIndices[0], SilkGainDeltaCdf, 45, "gain step");
  }
  for (int k = 1; k < 4; ++k) Put(enc, f.gainIndices[k], SilkGainDeltaCdf, 45, "gain step");

  const SilkNlsfCodebook* cb =
      w->rateKhz == 8 ? (signalType == 0 ? &SilkNlsfCodebookVoiced10 : &SilkNlsfCodebookUnvoiced10)
                      : (signalType == 0 ? &SilkNlsfCodebookVoiced16 : &SilkNlsfCodebookUnvoiced16);
  for (int32_t s = 0; s < cb->stageCount; ++s) {
    Put(enc, f.nlsfIndices[s], cb->stageCdf[s], cb->stages[s].vectorCount, "NLSF stage index");
  }
  Put(enc, f.nlsfInterp, SilkNlsfInterpCdf, 5, "NLSF interpolation");

  if (signalType == 0) {
    const int32_t slot = SilkRateSlot(w->rateKhz);
    Put(enc, f.lagIndex, SilkPitchLagCdfs[slot], kPitchLagSymbols[slot], "lag index");
    if (w->rateKhz == 8) {
      Put(enc, f.contourIndex, SilkPitchContourCdf8k, 11, "contour index");
    } else {
      Put(enc, f.contourIndex, SilkPitchContourCdf, 34, "contour index");
    }
    Put(enc, f.periodicity, SilkPeriodicityCdf, 3, "periodicity");
    for (int k = 0; k < 4; ++k) {
      Put(enc, f.ltpRows[k], SilkLtpIndexCdfs[f.periodicity], SilkLtpCodebookRows[f.periodicity],
          "LTP row");
    }
    Put(enc, f.ltpScale, SilkLtpScaleCdf, 3, "LTP scale");
  }

  Put(enc, f.seed, SilkSeedCdf, 4, "seed");

  if (f.rateLevel < 0 || f.rateLevel > 8) throw std::out_of_range("frame writer: rate level");
  std::vector<int32_t> pulses = f.pulses;
  if (pulses.empty()) pulses.assign(frameLength, 0);
  if (static_cast<int32_t>(pulses.size()) != frameLength) {
    throw std::invalid_argument("frame writer: " + std::to_string(pulses.size()) +
                                " pulses for a frame of " + std::to_string(frameLength));
  }
  EncodePulses(enc, signalType, offsetType, f.rateLevel, pulses.data(), frameLength);

  Put(enc, f.vad, SilkVadCdf, 2, "voice activity");
  Put(enc, f.frameEnd, SilkFrameEndCdf, 4, "frame end");
  w->framesWritten += 1;
}

std::vector<uint8_t> FrameWriterFinish(FrameWriter* w, const std::vector<uint8_t>& trailing) {
  std::vector<uint8_t> bytes = RangeEncoderFinish(&w->enc);
  bytes.insert(bytes.end(), trailing.begin(), trailing.end());
  return bytes;
}

std::vector<uint8_t> BuildPacket(const std::vector<FrameSymbols>& frames,
                                 const std::vector<uint8_t>& trailing) {
  FrameWriter w;
  FrameWriterBegin(&w);
  for (const FrameSymbols& f : frames) WriteFrame(&w, f);
  return FrameWriterFinish(&w, trailing);
}

std::vector<uint8_t> BuildVoiceFile(const std::vector<std::vector<uint8_t>>& packets,
                                    uint8_t leadingByte) {
  static const char kTag[] = "#!SILK_V3";
  std::vector<uint8_t> file;
  file.push_back(leadingByte);
  file.insert(file.end(), kTag, kTag + 9);
  for (const std::vector<uint8_t>& p : packets) {
    if (p.size() > 32767) throw std::invalid_argument("voice file: packet longer than 32767 bytes");
    const auto n = static_cast<uint16_t>(p.size());
    file.push_back(static_cast<uint8_t>(n & 0xFF));
    file.push_back(static_cast<uint8_t>(n >> 8));
    file.insert(file.end(), p.begin(), p.end());
  }
  return file;
}

void WriteBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f) throw std::runtime_error("cannot create " + path);
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) {
    throw std::runtime_error("cannot write " + path);
  }
  if (std::fclose(f.release()) != 0) throw std::runtime_error("cannot write " + path);
}
