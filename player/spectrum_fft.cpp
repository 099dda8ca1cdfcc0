#include "player/spectrum_fft.h"

#include <cmath>
#include <utility>

namespace {

// value with its `bits` low bits in reverse order
int32_t ReverseBits(int32_t value, int32_t bits) {
  int32_t reversed = 0;
  for (int32_t b = 0; b < bits; ++b) {
    reversed = (reversed << 1) | ((value >> b) & 1);
  }
  return reversed;
}

}  // namespace

SpectrumFft::SpectrumFft()
    : re(nullptr),
      im(nullptr),
      magnitude(nullptr),
      sinTable(nullptr),
      cosTable(nullptr),
      bitReverse(nullptr),
      size(2048),
      half(1024) {
  // Both logarithms in single precision, the quotient in double: exactly 11.
  const auto lnSize = static_cast<float>(std::log(static_cast<double>(size)));
  const auto lnTwo = static_cast<float>(std::log(2.0));
  stages = static_cast<int32_t>(static_cast<double>(lnSize) / static_cast<double>(lnTwo));
  firstShift = stages - 1;
  re = new float[size];
  im = new float[size];
  magnitude = new float[half];
  BuildTables();
}

SpectrumFft::~SpectrumFft() {
  delete[] re;
  delete[] im;
  delete[] magnitude;
  delete[] sinTable;
  delete[] cosTable;
  delete[] bitReverse;
  re = im = magnitude = sinTable = cosTable = nullptr;
  bitReverse = nullptr;
}

void SpectrumFft::BuildTables() {
  sinTable = new float[static_cast<size_t>(stages) * half];
  cosTable = new float[static_cast<size_t>(stages) * half];
  bitReverse = new int32_t[size];

  int32_t index = 0;
  int32_t span = half;
  int32_t shift = firstShift;
  for (int32_t stage = 1; stage <= stages; ++stage) {
    for (int32_t b = 0; b < size; b += 2 * span) {
      for (int32_t j = b; j < b + span; ++j) {
        const int32_t r = ReverseBits(j >> shift, stages);
        const float angle = static_cast<float>(r) * 6.283185f / 2048.0f;
        sinTable[index] = static_cast<float>(std::sin(static_cast<double>(angle)));
        cosTable[index] = static_cast<float>(std::cos(static_cast<double>(angle)));
        ++index;
      }
    }
    shift -= 1;
    span /= 2;
  }
  for (int32_t i = 0; i < size; ++i) bitReverse[i] = ReverseBits(i, stages);
}

const float* SpectrumFft::Transform(const float* input) {
  const uint32_t step = 2048u / static_cast<uint32_t>(size);
  for (uint32_t i = 0; i * step < 2048u; ++i) {
    re[i] = input[i * step];
    im[i] = 0.0f;
  }

  // Butterflies with the twiddle cos - i sin, read from the tables in order.
  int32_t j = 0;
  int32_t span = half;
  for (int32_t stage = 0; stage < stages; ++stage) {
    for (int32_t b = 0; b < size; b += 2 * span) {
      for (int32_t p = b; p < b + span; ++p) {
        const int32_t q = p + span;
        const float c = cosTable[j];
        const float s = sinTable[j];
        const float tr = re[q] * c + im[q] * s;
        const float ti = im[q] * c - re[q] * s;
        re[q] = re[p] - tr;
        im[q] = im[p] - ti;
        re[p] = re[p] + tr;
        im[p] = im[p] + ti;
        ++j;
      }
    }
    span /= 2;
  }

  // The butterflies leave the spectrum in bit-reversed order.
  for (int32_t i = 0; i < size; ++i) {
    const int32_t r = bitReverse[i];
    if (r > i) {
      std::swap(re[i], re[r]);
      std::swap(im[i], im[r]);
    }
  }

  for (int32_t k = 0; k < half; ++k) {
    const float power = re[k] * re[k] + im[k] * im[k];
    const float amplitude = std::sqrt(power);
    magnitude[k] = (k == 0 ? amplitude : 2.0f * amplitude) / 2048.0f;
  }
  return magnitude;
}
