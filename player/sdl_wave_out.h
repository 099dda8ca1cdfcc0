// The wave-out layer over SDL2 audio.
#pragma once

#include <map>
#include <memory>

#include "player/wave_out.h"

class SdlWaveOut final : public WaveOut {
 public:
  SdlWaveOut();   // initialises SDL's audio subsystem
  ~SdlWaveOut() override;  // closes every device still open, without notices
  SdlWaveOut(const SdlWaveOut&) = delete;
  SdlWaveOut& operator=(const SdlWaveOut&) = delete;

  WaveOutHandle Open(const WaveFormat& format, WaveOutClient* client) override;
  bool Write(WaveOutHandle device, WaveHeader* header) override;
  bool Reset(WaveOutHandle device) override;
  bool Close(WaveOutHandle device) override;

  struct Device;

 private:
  Device* Find(WaveOutHandle device);

  bool m_audioReady = false;
  WaveOutHandle m_lastHandle = kNoWaveOut;
  std::map<WaveOutHandle, std::unique_ptr<Device>> m_devices;
};
