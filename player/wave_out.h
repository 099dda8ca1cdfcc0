// A small wave-out layer: the default audio output device fed with blocks of
// 16-bit PCM that the caller owns and queues.
//
// The device reads a queued block until it is done with it and then hands the
// block back with a Done notice. Notices are never handled where they arise
// (which may be the audio thread): the device passes them to its client's
// PostWaveOutNotice, which queues them for the user-interface thread, the way
// a window message would be posted.
#pragma once

#include <cstdint>

// One block handed to the device: data[0 .. length) is played.
struct WaveHeader {
  uint8_t* data = nullptr;
  uint32_t length = 0;
};

// Handles are never reused, so every notice names the device that sent it
// even after that device has been replaced by a newer one.
using WaveOutHandle = uint32_t;
constexpr WaveOutHandle kNoWaveOut = 0;

struct WaveFormat {
  int32_t samplesPerSecond = 24000;
  int32_t channels = 1;
  int32_t bitsPerSample = 16;
};

enum class WaveOutNoticeKind { Done, Close };

struct WaveOutNotice {
  WaveOutNoticeKind kind;
  WaveOutHandle device;
  WaveHeader* header;  // the block handed back (Done); null for Close
};

class WaveOutClient {
 public:
  // May be called on any thread. Must only queue the notice for the
  // user-interface thread and return.
  virtual void PostWaveOutNotice(const WaveOutNotice& notice) = 0;

 protected:
  ~WaveOutClient() = default;
};

class WaveOut {
 public:
  virtual ~WaveOut() = default;

  // Opens the default output device for the format; it plays silence until a
  // block is queued. Returns kNoWaveOut when no device can be opened.
  virtual WaveOutHandle Open(const WaveFormat& format, WaveOutClient* client) = 0;

  // Queues a block behind the ones already queued. The block must stay alive
  // and unchanged until it is handed back. False (nothing queued) for a
  // closed or unknown device or a full queue.
  virtual bool Write(WaveOutHandle device, WaveHeader* header) = 0;

  // Stops playing and hands every queued block back, each with a Done notice.
  // When Reset returns the device no longer reads any of them. False for a
  // closed or unknown device.
  virtual bool Reset(WaveOutHandle device) = 0;

  // Closes the device and posts a Close notice. Blocks still queued are handed
  // back first, as by Reset. False for a closed or unknown device.
  virtual bool Close(WaveOutHandle device) = 0;
};
