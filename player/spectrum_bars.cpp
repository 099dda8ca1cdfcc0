#include "player/spectrum_bars.h"

#include <cmath>

void DownMixBlock(const uint8_t* block, float* out) {
  for (int32_t i = 0; i < kSpectrumPoints; ++i) {
    const uint8_t* pair = block + 4 * i;
    const auto a = static_cast<int16_t>(pair[0] | (pair[1] << 8));
    const auto b = static_cast<int16_t>(pair[2] | (pair[3] << 8));
    out[i] = static_cast<float>((static_cast<double>(a) + b) / 32767.0 * 0.5);
  }
}

float ShapeSpectrumLevel(float level) {
  // Strict bounds: a level on an edge of a range is not boosted.
  if (level > 0.005f && level < 0.009f) {
    level = level * 28.274332f;  // 9 pi
  } else if (level > 0.01f && level < 0.1f) {
    level = level * 9.424778f;  // 3 pi
  } else if (level > 0.1f && level < 0.5f) {
    level = level * 3.1415925f;  // pi
  }
  if (level > 1.0f) level = 0.9f;
  return level;
}

float SpectrumBarLevel(const float* magnitude, int32_t bar, int32_t binsPerBar) {
  float sum = 0.0f;
  const float* bins = magnitude + static_cast<int64_t>(bar) * binsPerBar;
  for (int32_t k = 0; k < binsPerBar; ++k) sum += bins[k];
  // Higher bars carry less energy in speech; ln(i + 2) evens them out.
  const float x = static_cast<float>(bar) + 2.0f;
  const auto weight = static_cast<float>(std::log(static_cast<double>(x)));
  return ShapeSpectrumLevel(weight * sum);
}

int32_t ComputeSpectrumBars(const float* magnitude, int32_t barCount, int32_t binsPerBar,
                            int32_t areaWidth, int32_t areaHeight, SpectrumBar* bars) {
  if (barCount <= 0) return 0;
  const float barWidth = static_cast<float>(areaWidth) / static_cast<float>(barCount);
  const int32_t drawnWidth = static_cast<int32_t>(barWidth) - 2;
  for (int32_t i = 0; i < barCount; ++i) {
    const float level = SpectrumBarLevel(magnitude, i, binsPerBar);
    SpectrumBar& bar = bars[i];
    bar.left = static_cast<int32_t>(static_cast<float>(i) * barWidth);
    bar.top = static_cast<int32_t>((1.0f - level) * static_cast<float>(areaHeight));
    bar.right = bar.left + drawnWidth;
    bar.bottom = areaHeight;
    bar.red = 255;
    bar.green = static_cast<uint8_t>(static_cast<int32_t>(level * 255.0f));
    bar.blue = 50;
  }
  return barCount;
}
