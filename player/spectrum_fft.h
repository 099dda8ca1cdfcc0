// 2048-point single-precision FFT for the spectrum display.
//
// The twiddle factors and the bit-reversal permutation are computed once in
// the constructor, so a transform does no trigonometry. Transform() runs an
// in-place radix-2 decimation-in-frequency FFT over real input and returns
// one amplitude per bin for bins 0 to 1023.
#pragma once

#include <cstdint>

class SpectrumFft {
 public:
  SpectrumFft();
  ~SpectrumFft();
  SpectrumFft(const SpectrumFft&) = delete;
  SpectrumFft& operator=(const SpectrumFft&) = delete;

  // Fills sinTable, cosTable and bitReverse.
  void BuildTables();

  // input: `size` floats. Returns `magnitude` (`half` values): bin 0 is
  // |X[0]| / size, bin k >= 1 is 2 |X[k]| / size.
  const float* Transform(const float* input);

  float* re;            // [size] real parts: input, then spectrum
  float* im;            // [size] imaginary parts
  float* magnitude;     // [half] amplitude per bin
  float* sinTable;      // [stages * half] sine of each butterfly's twiddle, in butterfly order
  float* cosTable;      // [stages * half] cosine of each butterfly's twiddle
  int32_t* bitReverse;  // [size] index with its `stages` low bits reversed
  int32_t size;         // 2048
  int32_t half;         // 1024
  int32_t stages;       // 11
  int32_t firstShift;   // stages - 1
};
