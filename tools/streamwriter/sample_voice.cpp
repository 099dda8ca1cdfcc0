#include "tools/streamwriter/sample_voice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

#include "silk/nlsf.h"
#include "silk/primitives.h"
#include "silk/side_info_tables.h"
#include "silk/silk_decoder.h"

namespace {

constexpr int32_t kRateIndex24k = 3;
constexpr int32_t kFrameLength = 480;
constexpr int32_t kFlatContour = 17;  // the same lag in all four subframes
constexpr int32_t kPulseAmplitude = 6;
constexpr int32_t kFadeFrames = 4;
constexpr int32_t kFadeStep = 3;  // gain indices per fade frame (about 3.8 dB)

// The LTP row that makes the strongest clean pitch predictor: a total gain
// of at most 0.85 (Q14) and the largest centre tap net of the other taps.
void PickLtpRow(int32_t* periodicity, int32_t* row) {
  int32_t bestScore = std::numeric_limits<int32_t>::min();
  *periodicity = 0;
  *row = 0;
  for (int32_t p = 0; p < 3; ++p) {
    for (int32_t r = 0; r < SilkLtpCodebookRows[p]; ++r) {
      const int16_t* taps = SilkLtpCodebooks[p] + 5 * r;
      int32_t sum = 0;
      int32_t score = 0;
      for (int i = 0; i < 5; ++i) {
        sum += taps[i];
        score += i == 2 ? taps[i] : -std::abs(static_cast<int32_t>(taps[i]));
      }
      if (sum <= 13926 && score > bestScore) {
        bestScore = score;
        *periodicity = p;
        *row = r;
      }
    }
  }
}

// The first stage's first vector (a typical voiced envelope) and, in every
// later stage, the smallest correction.
void PickNlsf(int32_t* indices) {
  const SilkNlsfCodebook& cb = SilkNlsfCodebookVoiced16;
  indices[0] = 0;
  for (int32_t s = 1; s < cb.stageCount; ++s) {
    int32_t best = std::numeric_limits<int32_t>::max();
    indices[s] = 0;
    for (int32_t v = 0; v < cb.stages[s].vectorCount; ++v) {
      int32_t size = 0;
      for (int32_t i = 0; i < 16; ++i) size += std::abs(cb.stages[s].vectorsQ15[16 * v + i]);
      if (size < best) {
        best = size;
        indices[s] = v;
      }
    }
  }
}

std::vector<FrameSymbols> FramesWithGain(int32_t gainIndex) {
  FrameSymbols f;
  f.rateIndex = kRateIndex24k;
  f.typeOffset = 0;  // voiced, low quantisation offset
  f.lagIndex = kSamplePitchLag - 2 * 24;
  f.contourIndex = kFlatContour;
  PickLtpRow(&f.periodicity, &f.ltpRows[0]);
  for (int k = 1; k < 4; ++k) f.ltpRows[k] = f.ltpRows[0];
  f.ltpScale = 0;
  PickNlsf(f.nlsfIndices);
  f.nlsfInterp = 4;
  f.seed = 0;
  f.rateLevel = 0;
  f.vad = 1;
  f.frameEnd = 0;
  // One pulse per pitch period; 480 is a multiple of the period, so every
  // frame has the same train. The decoder flips the sign of each excitation
  // sample by its pseudo-random sequence (restarted from the seed symbol in
  // every frame), so each pulse gets the sign that comes out positive.
  f.pulses.assign(kFrameLength, 0);
  int32_t seed = f.seed;
  for (int32_t i = 0; i < kFrameLength; ++i) {
    seed = lcgNext(seed);
    if (i % kSamplePitchLag == 0) {
      f.pulses[i] = seed < 0 ? -kPulseAmplitude : kPulseAmplitude;
      seed = addw(seed, f.pulses[i]);
    }
  }

  std::vector<FrameSymbols> frames(kSampleFrames, f);
  for (int32_t n = 0; n < kSampleFrames; ++n) {
    const int32_t fromEdge = std::min(n, kSampleFrames - 1 - n);
    const int32_t fade = fromEdge < kFadeFrames ? (kFadeFrames - fromEdge) * kFadeStep : 0;
    frames[n].gainIndices[0] = std::max(gainIndex - fade, 0);
  }
  return frames;
}

std::vector<std::vector<uint8_t>> Packets(const std::vector<FrameSymbols>& frames) {
  std::vector<std::vector<uint8_t>> packets;
  for (const FrameSymbols& f : frames) packets.push_back(BuildPacket({f}));
  return packets;
}

double SteadyRms(const std::vector<int16_t>& pcm) {
  const size_t from = static_cast<size_t>(2 * kFadeFrames) * kFrameLength;
  const size_t to = pcm.size() - from;
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

int32_t Peak(const std::vector<int16_t>& pcm) {
  int32_t peak = 0;
  for (int16_t v : pcm) peak = std::max(peak, std::abs(static_cast<int32_t>(v)));
  return peak;
}

}  // namespace

std::vector<int16_t> DecodeVoicePackets(const std::vector<std::vector<uint8_t>>& packets) {
  std::unique_ptr<SilkDecoderState> st(new SilkDecoderState);
  SilkDecoderReset(st.get());
  SilkDecControl ctl{};
  ctl.apiRateHz = 24000;
  ctl.packetFrames = 1;
  std::vector<int16_t> pcm;
  int16_t out[kSilkMaxApiFrameLength];
  int16_t n = 0;
  for (const std::vector<uint8_t>& p : packets) {
    do {
      SilkDecodePacket(st.get(), &ctl, p.empty() ? 1 : 0, p.data(), static_cast<int32_t>(p.size()),
                       out, &n);
      pcm.insert(pcm.end(), out, out + n);
    } while (ctl.moreFrames != 0);
  }
  return pcm;
}

std::vector<FrameSymbols> SampleVoiceFrames() {
  // The gain index whose steady part comes closest to the target level
  // without clipping.
  int32_t bestIndex = 0;
  double bestDistance = std::numeric_limits<double>::max();
  for (int32_t g = 0; g < 64; ++g) {
    const std::vector<int16_t> pcm = DecodeVoicePackets(Packets(FramesWithGain(g)));
    if (Peak(pcm) >= 32000) break;
    const double distance = std::fabs(SteadyRms(pcm) - kSampleTargetRms);
    if (distance < bestDistance) {
      bestDistance = distance;
      bestIndex = g;
    }
  }
  return FramesWithGain(bestIndex);
}

std::vector<uint8_t> BuildSampleVoiceFile() { return BuildVoiceFile(Packets(SampleVoiceFrames())); }
