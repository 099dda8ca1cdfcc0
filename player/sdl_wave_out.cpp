#include "player/sdl_wave_out.h"

#include <SDL.h>

#include <array>
#include <cstring>
#include <mutex>

// State of one open device. The audio thread reads the block queue in the
// callback; the user-interface thread changes it in Write, Reset and Close.
// Both hold the mutex while they touch it.
struct SdlWaveOut::Device {
  static constexpr size_t kMaxQueued = 8;

  WaveOutHandle handle = kNoWaveOut;
  SDL_AudioDeviceID sdlDevice = 0;
  WaveOutClient* client = nullptr;
  uint8_t silence = 0;

  std::mutex mutex;
  std::array<WaveHeader*, kMaxQueued> queue{};  // ring buffer: no allocation while playing
  size_t first = 0;
  size_t count = 0;
  uint32_t playedOfFirst = 0;  // bytes of queue[first] already played

  WaveHeader* PopFront() {
    WaveHeader* header = queue[first];
    first = (first + 1) % kMaxQueued;
    --count;
    playedOfFirst = 0;
    return header;
  }

  // Hands every queued block back. Caller holds the mutex.
  void HandBackAll() {
    while (count > 0) {
      client->PostWaveOutNotice({WaveOutNoticeKind::Done, handle, PopFront()});
    }
  }
};

namespace {

// Runs on SDL's audio thread: copies queued blocks into the output and hands
// each finished block back; plays silence when nothing is queued.
void FillOutput(void* userdata, Uint8* stream, int length) {
  auto* device = static_cast<SdlWaveOut::Device*>(userdata);
  std::lock_guard<std::mutex> lock(device->mutex);
  auto left = static_cast<uint32_t>(length);
  while (left > 0 && device->count > 0) {
    WaveHeader* header = device->queue[device->first];
    uint32_t n = header->length - device->playedOfFirst;
    if (n > left) n = left;
    std::memcpy(stream, header->data + device->playedOfFirst, n);
    stream += n;
    left -= n;
    device->playedOfFirst += n;
    if (device->playedOfFirst >= header->length) {
      device->client->PostWaveOutNotice(
          {WaveOutNoticeKind::Done, device->handle, device->PopFront()});
    }
  }
  std::memset(stream, device->silence, left);
}

}  // namespace

SdlWaveOut::SdlWaveOut() {
  // SDL would otherwise catch SIGINT and SIGTERM and turn them into quit
  // events that nobody here reads, so the player could not be terminated.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  m_audioReady = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

SdlWaveOut::~SdlWaveOut() {
  // Devices still open at this point have clients that may be gone: close
  // them without posting anything.
  for (auto& entry : m_devices) SDL_CloseAudioDevice(entry.second->sdlDevice);
  m_devices.clear();
  if (m_audioReady) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

SdlWaveOut::Device* SdlWaveOut::Find(WaveOutHandle device) {
  auto it = m_devices.find(device);
  return it == m_devices.end() ? nullptr : it->second.get();
}

WaveOutHandle SdlWaveOut::Open(const WaveFormat& format, WaveOutClient* client) {
  if (!m_audioReady || client == nullptr || format.bitsPerSample != 16) return kNoWaveOut;
  auto device = std::make_unique<Device>();
  device->client = client;

  SDL_AudioSpec wanted{};
  wanted.freq = format.samplesPerSecond;
  wanted.format = AUDIO_S16LSB;
  wanted.channels = static_cast<Uint8>(format.channels);
  wanted.samples = 1024;
  wanted.callback = FillOutput;
  wanted.userdata = device.get();
  SDL_AudioSpec obtained{};
  // No changes allowed: SDL converts to whatever the hardware wants.
  device->sdlDevice = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (device->sdlDevice == 0) return kNoWaveOut;
  device->silence = obtained.silence;
  device->handle = ++m_lastHandle;
  WaveOutHandle handle = device->handle;
  SDL_PauseAudioDevice(device->sdlDevice, 0);
  m_devices.emplace(handle, std::move(device));
  return handle;
}

bool SdlWaveOut::Write(WaveOutHandle handle, WaveHeader* header) {
  Device* device = Find(handle);
  if (device == nullptr || header == nullptr || header->data == nullptr) return false;
  std::lock_guard<std::mutex> lock(device->mutex);
  if (device->count == Device::kMaxQueued) return false;
  device->queue[(device->first + device->count) % Device::kMaxQueued] = header;
  ++device->count;
  return true;
}

bool SdlWaveOut::Reset(WaveOutHandle handle) {
  Device* device = Find(handle);
  if (device == nullptr) return false;
  std::lock_guard<std::mutex> lock(device->mutex);
  device->HandBackAll();
  return true;
}

bool SdlWaveOut::Close(WaveOutHandle handle) {
  auto it = m_devices.find(handle);
  if (it == m_devices.end()) return false;
  std::unique_ptr<Device> device = std::move(it->second);
  m_devices.erase(it);
  // Stops the audio thread of this device; the callback has returned for good.
  SDL_CloseAudioDevice(device->sdlDevice);
  device->HandBackAll();
  device->client->PostWaveOutNotice({WaveOutNoticeKind::Close, handle, nullptr});
  return true;
}
