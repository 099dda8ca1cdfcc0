#include "tools/streamwriter/synthetic_streams.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>

#include "silk/nlsf.h"
#include "silk/side_info_tables.h"
#include "silk/silk_decoder.h"
#include "tools/streamwriter/frame_writer.h"

namespace {

constexpr int32_t kFlatContour = 17;  // the same lag in all four subframes (12 kHz and up)
constexpr int32_t kSmallCorrections = 3;

class Picker {
 public:
  explicit Picker(uint32_t seed) : rng_(seed) {}
  // 0..n-1
  int32_t Pick(int32_t n) { return static_cast<int32_t>(rng_() % static_cast<uint32_t>(n)); }
  bool Percent(int32_t p) { return Pick(100) < p; }
  std::mt19937& rng() { return rng_; }

 private:
  std::mt19937 rng_;
};

// The later NLSF stages hold corrections; speech mostly uses the small ones.
// Per codebook and stage, the kSmallCorrections vectors of least magnitude.
struct SmallNlsfCorrections {
  int32_t index[kSilkNlsfMaxStages][kSmallCorrections];
};

SmallNlsfCorrections FindSmallCorrections(const SilkNlsfCodebook& cb, int32_t order) {
  SmallNlsfCorrections r{};
  for (int32_t s = 1; s < cb.stageCount; ++s) {
    std::vector<std::pair<int32_t, int32_t>> sizes;
    for (int32_t v = 0; v < cb.stages[s].vectorCount; ++v) {
      int32_t size = 0;
      for (int32_t i = 0; i < order; ++i) size += std::abs(cb.stages[s].vectorsQ15[order * v + i]);
      sizes.emplace_back(size, v);
    }
    std::sort(sizes.begin(), sizes.end());
    for (int32_t k = 0; k < kSmallCorrections; ++k) r.index[s][k] = sizes[k].second;
  }
  return r;
}

// LTP rows whose taps add up to at most 0.85: pitch filters that do not ring up.
std::vector<int32_t> TameLtpRows(int32_t periodicity) {
  std::vector<int32_t> rows;
  for (int32_t r = 0; r < SilkLtpCodebookRows[periodicity]; ++r) {
    const int16_t* taps = SilkLtpCodebooks[periodicity] + 5 * r;
    int32_t sum = 0;
    for (int i = 0; i < 5; ++i) sum += taps[i];
    if (sum <= 13926 && sum > 0) rows.push_back(r);
  }
  if (rows.empty()) rows.push_back(0);
  return rows;
}

// The talker: what carries over from frame to frame.
struct Talker {
  int32_t level = 24;     // gain index
  int32_t pitchHz = 140;
  int32_t nextPulse = 0;  // samples from the frame start to the next pitch pulse
  bool voiced = true;
};

class FrameMaker {
 public:
  FrameMaker(const SyntheticStreamOptions& o, Picker* p) : opt_(o), pick_(*p) {
    small_[0][0] = FindSmallCorrections(SilkNlsfCodebookVoiced10, 10);
    small_[0][1] = FindSmallCorrections(SilkNlsfCodebookUnvoiced10, 10);
    small_[1][0] = FindSmallCorrections(SilkNlsfCodebookVoiced16, 16);
    small_[1][1] = FindSmallCorrections(SilkNlsfCodebookUnvoiced16, 16);
    for (int32_t p2 = 0; p2 < 3; ++p2) tame_[p2] = TameLtpRows(p2);
  }

  // The frames of one packet at rateIndex.
  std::vector<FrameSymbols> Packet(int32_t rateIndex, int32_t frames) {
    std::vector<FrameSymbols> out;
    for (int32_t n = 0; n < frames; ++n) {
      out.push_back(Frame(rateIndex, n == 0));
      out.back().frameEnd = n + 1 < frames ? 1 : 0;
    }
    return out;
  }

 private:
  FrameSymbols Frame(int32_t rateIndex, bool first) {
    const int32_t kHz = SilkRateKhzTable[rateIndex];
    const int32_t length = 20 * kHz;
    // Speech comes in runs: switch the type now and then, towards the share asked for.
    if (pick_.Percent(25)) t_.voiced = pick_.Percent(opt_.voicedPercent);

    FrameSymbols f;
    f.rateIndex = rateIndex;
    const int32_t signalType = t_.voiced ? 0 : 1;
    f.typeOffset = 2 * signalType + pick_.Pick(2);

    // Gains: a level that wanders within a speaking range, small steps inside the frame.
    const int32_t step = pick_.Pick(5) - 2;
    t_.level = std::clamp(t_.level + step, 12, 36);
    if (first) {
      f.gainIndices[0] = t_.level;
      level_ = t_.level;
    } else {
      f.gainIndices[0] = t_.level - level_ + 4;
      level_ = t_.level;
    }
    for (int k = 1; k < 4; ++k) {
      const int32_t s = std::clamp(pick_.Pick(3) - 1, 12 - level_, 36 - level_);
      f.gainIndices[k] = s + 4;
      level_ += s;
    }
    t_.level = level_;

    const bool narrow = rateIndex == 0;
    const SilkNlsfCodebook* cb =
        narrow ? (t_.voiced ? &SilkNlsfCodebookVoiced10 : &SilkNlsfCodebookUnvoiced10)
               : (t_.voiced ? &SilkNlsfCodebookVoiced16 : &SilkNlsfCodebookUnvoiced16);
    const SmallNlsfCorrections& small = small_[narrow ? 0 : 1][signalType];
    f.nlsfIndices[0] = pick_.Pick(cb->stages[0].vectorCount);
    for (int32_t s = 1; s < cb->stageCount; ++s) {
      f.nlsfIndices[s] = small.index[s][pick_.Pick(kSmallCorrections)];
    }
    f.nlsfInterp = pick_.Percent(50) ? 4 : pick_.Pick(4);

    f.pulses.assign(static_cast<size_t>(length), 0);
    if (t_.voiced) {
      t_.pitchHz = std::clamp(t_.pitchHz + pick_.Pick(11) - 5, 90, 250);
      const int32_t lag = kHz * 1000 / t_.pitchHz;
      f.lagIndex = lag - 2 * kHz;
      f.contourIndex = narrow ? pick_.Pick(11) : (pick_.Percent(50) ? kFlatContour : pick_.Pick(34));
      f.periodicity = pick_.Pick(3);
      const std::vector<int32_t>& rows = tame_[f.periodicity];
      for (int k = 0; k < 4; ++k) f.ltpRows[k] = rows[pick_.Pick(static_cast<int32_t>(rows.size()))];
      f.ltpScale = pick_.Pick(3);
      f.rateLevel = pick_.Pick(9);
      // A pulse train at the pitch period over sparse small pulses.
      for (int32_t& v : f.pulses) {
        if (pick_.Percent(15)) v = pick_.Percent(50) ? 1 : -1;
      }
      int32_t at = std::min(t_.nextPulse, lag - 1);
      for (; at < length; at += lag) {
        const int32_t a = 3 + pick_.Pick(4);
        f.pulses[static_cast<size_t>(at)] = pick_.Percent(50) ? a : -a;
      }
      t_.nextPulse = at - length;
      f.vad = 1;
    } else {
      f.rateLevel = pick_.Pick(9);
      for (int32_t& v : f.pulses) {
        const int32_t r = pick_.Pick(100);
        if (r < 22) {
          v = 1;
        } else if (r < 27) {
          v = 2 + pick_.Pick(2);
        } else {
          continue;
        }
        if (pick_.Percent(50)) v = -v;
      }
      t_.nextPulse = 0;
      f.vad = pick_.Percent(70) ? 1 : 0;
    }
    f.seed = pick_.Pick(4);
    return f;
  }

  const SyntheticStreamOptions& opt_;
  Picker& pick_;
  Talker t_;
  int32_t level_ = 24;  // the decoder's gain index after the last subframe
  SmallNlsfCorrections small_[2][2];
  std::vector<int32_t> tame_[3];
};

}  // namespace

PacketList BuildSyntheticStream(const SyntheticStreamOptions& o) {
  Picker pick(o.seed);
  FrameMaker maker(o, &pick);
  const int32_t frames = std::clamp<int32_t>(o.framesPerPacket, 1, kSilkMaxFramesPerPacket);

  // Every packet's frames first; losses and copies are decided afterwards.
  std::vector<std::vector<FrameSymbols>> symbols;
  PacketList coded;
  for (int32_t i = 0; i < o.packets; ++i) {
    int32_t rate = o.rateIndex;
    if (o.rateChangePercent > 0 && pick.Percent(o.rateChangePercent)) rate = pick.Pick(4);
    symbols.push_back(maker.Packet(rate, frames));
    coded.push_back(BuildPacket(symbols.back()));
  }

  PacketList out = coded;
  std::vector<bool> lost(static_cast<size_t>(o.packets), false);
  for (int32_t i = 2; i + 2 < o.packets; ++i) {
    if (!pick.Percent(o.lostPercent)) continue;
    lost[static_cast<size_t>(i)] = true;
    out[static_cast<size_t>(i)].clear();
  }
  // A copy of a lost packet rides on the next packet that arrived (one or two
  // places on), behind its last frame, with end code 2 or 3.
  for (int32_t i = 0; i < o.packets; ++i) {
    if (!lost[static_cast<size_t>(i)] || !pick.Percent(o.redundancyPercent)) continue;
    for (int32_t d = 1; d <= 2 && i + d < o.packets; ++d) {
      const auto j = static_cast<size_t>(i + d);
      if (lost[j]) continue;
      std::vector<FrameSymbols> carrier = symbols[j];
      if (carrier.back().frameEnd != 0) break;  // carries a copy already
      carrier.back().frameEnd = 1 + d;
      symbols[j] = carrier;
      out[j] = BuildPacket(carrier, coded[static_cast<size_t>(i)]);
      break;
    }
  }
  for (int32_t i = 0; i < o.packets; ++i) {
    std::vector<uint8_t>& p = out[static_cast<size_t>(i)];
    if (p.size() < 2 || !pick.Percent(o.corruptPercent)) continue;
    if (pick.Percent(50)) {
      p[static_cast<size_t>(pick.Pick(static_cast<int32_t>(p.size())))] ^=
          static_cast<uint8_t>(1 + pick.Pick(255));
    } else {
      p.resize(static_cast<size_t>(1 + pick.Pick(static_cast<int32_t>(p.size()) - 1)));
    }
  }
  return out;
}

int64_t DecodeSyntheticStream(SilkDecoderState* st, const PacketList& packets, int32_t apiRateHz,
                              int16_t* out, int64_t capacity) {
  SilkDecoderReset(st);
  SilkDecControl ctl{};
  ctl.apiRateHz = apiRateHz;
  ctl.packetFrames = 1;
  uint8_t copy[kSilkRangeMaxPayload];
  int64_t total = 0;

  auto decode = [&](int32_t lost, const uint8_t* payload, int32_t bytes) {
    if (total + kSilkMaxApiFrameLength > capacity) return false;
    int16_t n = 0;
    SilkDecodePacket(st, &ctl, lost, payload, bytes, out + total, &n);
    total += n;
    return true;
  };

  for (size_t i = 0; i < packets.size(); ++i) {
    const std::vector<uint8_t>* p = &packets[i];
    int16_t found = 0;
    if (p->empty()) {
      for (size_t d = 1; d <= 2 && found == 0 && i + d < packets.size(); ++d) {
        const std::vector<uint8_t>& next = packets[i + d];
        if (next.empty()) continue;
        SilkFindRedundancy(next.data(), static_cast<int32_t>(next.size()), static_cast<int32_t>(d),
                           copy, &found);
      }
      if (found == 0) {
        const int32_t calls = ctl.packetFrames;
        for (int32_t c = 0; c < calls; ++c) {
          if (!decode(1, nullptr, 0)) return total;
        }
        continue;
      }
    }
    const uint8_t* payload = found > 0 ? copy : p->data();
    const int32_t bytes = found > 0 ? found : static_cast<int32_t>(p->size());
    do {
      if (!decode(0, payload, bytes)) return total;
    } while (ctl.moreFrames != 0);
  }
  return total;
}

std::vector<int16_t> DecodeSyntheticStream(const PacketList& packets, int32_t apiRateHz) {
  auto st = std::make_unique<SilkDecoderState>();
  // Five frames per packet at most, and as many for a concealed one.
  std::vector<int16_t> pcm(packets.size() * kSilkMaxFramesPerPacket * (apiRateHz / 50) +
                           kSilkMaxApiFrameLength);
  pcm.resize(static_cast<size_t>(
      DecodeSyntheticStream(st.get(), packets, apiRateHz, pcm.data(), static_cast<int64_t>(pcm.size()))));
  return pcm;
}
