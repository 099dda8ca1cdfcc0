// Turning one playback block into the bars of the spectrum display.
#pragma once

#include <cstdint>

constexpr int32_t kSpectrumBlockBytes = 8192;  // one playback block: 4096 samples
constexpr int32_t kSpectrumPoints = 2048;      // transform length

// One bar: the rectangle [left, right) x [top, bottom) and its colour.
// An empty bar has top == bottom.
struct SpectrumBar {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
};

// Averages each pair of the block's 4096 signed 16-bit little-endian samples
// into one of kSpectrumPoints values scaled to [-1, 1].
void DownMixBlock(const uint8_t* block, float* out);

// Applies the boost that lifts quiet levels into view, then clamps loud ones.
float ShapeSpectrumLevel(float level);

// Level of bar i: the sum of its binsPerBar bins weighted by ln(i + 2), shaped.
float SpectrumBarLevel(const float* magnitude, int32_t bar, int32_t binsPerBar);

// Lays out barCount bars over an area of the given size, each from its level:
// red 255, green level * 255, blue 50, rising from the bottom edge.
// Writes barCount bars (none when barCount <= 0) and returns how many.
int32_t ComputeSpectrumBars(const float* magnitude, int32_t barCount, int32_t binsPerBar,
                            int32_t areaWidth, int32_t areaHeight, SpectrumBar* bars);
