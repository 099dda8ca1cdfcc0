// Shared pieces of the player's tests: a scripted desktop, a wave-out device
// that plays only when told to, test stores and voice files.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QSlider>
#include <QString>
#include <QStringList>
#include <QTest>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "app/platform.h"
#include "app/tavimo_app.h"
#include "app/tavimo_dlg.h"
#include "loader/pcm_store.h"
#include "player/wave_out.h"
#include "tools/streamwriter/frame_writer.h"

// Runs one test object under a QApplication set up as the player sets it up,
// on the offscreen platform unless another one is asked for.
#define TAVIMO_TEST_MAIN(TestObject)                                                  \
  int main(int argc, char** argv) {                                                 \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen"); \
    QApplication app(argc, argv);                                                   \
    CTavimoApp::SetUpApplication(app);                                              \
    TestObject test;                                                                \
    return QTest::qExec(&test, argc, argv);                                         \
  }

// A device that plays a block only when the test says so. Notices are posted
// to the client as a real device posts them.
class FakeWaveOut final : public WaveOut {
 public:
  struct Device {
    WaveOutClient* client = nullptr;
    std::deque<WaveHeader*> queue;
    QByteArray played;  // every byte the device played, in order
    bool open = true;
  };

  bool failOpen = false;
  std::map<WaveOutHandle, Device> devices;

  WaveOutHandle Open(const WaveFormat& format, WaveOutClient* client) override {
    if (failOpen || format.samplesPerSecond != 24000 || format.channels != 1 ||
        format.bitsPerSample != 16) {
      return kNoWaveOut;
    }
    const WaveOutHandle handle = ++m_last;
    devices[handle].client = client;
    return handle;
  }
  bool Write(WaveOutHandle handle, WaveHeader* header) override {
    Device* device = OpenDevice(handle);
    if (device == nullptr) return false;
    device->queue.push_back(header);
    return true;
  }
  bool Reset(WaveOutHandle handle) override {
    Device* device = OpenDevice(handle);
    if (device == nullptr) return false;
    HandBackAll(handle, *device);
    return true;
  }
  bool Close(WaveOutHandle handle) override {
    Device* device = OpenDevice(handle);
    if (device == nullptr) return false;
    HandBackAll(handle, *device);
    device->open = false;
    device->client->PostWaveOutNotice({WaveOutNoticeKind::Close, handle, nullptr});
    return true;
  }

  // Plays the first queued block in full and hands it back.
  bool PlayNext(WaveOutHandle handle) {
    Device* device = OpenDevice(handle);
    if (device == nullptr || device->queue.empty()) return false;
    WaveHeader* header = device->queue.front();
    device->queue.pop_front();
    device->played.append(reinterpret_cast<const char*>(header->data),
                          static_cast<qsizetype>(header->length));
    device->client->PostWaveOutNotice({WaveOutNoticeKind::Done, handle, header});
    return true;
  }
  bool IsOpen(WaveOutHandle handle) const {
    auto it = devices.find(handle);
    return it != devices.end() && it->second.open;
  }
  size_t Queued(WaveOutHandle handle) const {
    auto it = devices.find(handle);
    return it == devices.end() ? 0 : it->second.queue.size();
  }
  int OpenedCount() const { return static_cast<int>(devices.size()); }

 private:
  Device* OpenDevice(WaveOutHandle handle) {
    auto it = devices.find(handle);
    return it == devices.end() || !it->second.open ? nullptr : &it->second;
  }
  static void HandBackAll(WaveOutHandle handle, Device& device) {
    while (!device.queue.empty()) {
      WaveHeader* header = device.queue.front();
      device.queue.pop_front();
      device.client->PostWaveOutNotice({WaveOutNoticeKind::Done, handle, header});
    }
  }

  WaveOutHandle m_last = kNoWaveOut;
};

struct MessageRecord {
  QString text;
  QString caption;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
};

// A desktop whose dialogs answer from a script and which records what the
// window asked of it.
class FakePlatform final : public TavimoPlatform {
 public:
  explicit FakePlatform(WaveOut& out) : m_out(out) {}

  QStringList openAnswers;  // one per open dialog, first first; empty string = cancel
  QString saveAnswer;       // empty = cancel
  QMessageBox::StandardButton questionAnswer = QMessageBox::Yes;
  std::function<void(QDialog&)> onModal;

  QList<MessageRecord> messages;
  QStringList openedUrls;
  QStringList openFilters;
  QStringList openSuffixes;
  QStringList saveFilters;
  int modalRuns = 0;

  QString ChooseOpenFile(QWidget*, const QString& filter, const QString& suffix) override {
    openFilters.append(filter);
    openSuffixes.append(suffix);
    return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
  }
  QString ChooseSaveFile(QWidget*, const QString& filter) override {
    saveFilters.append(filter);
    return saveAnswer;
  }
  QMessageBox::StandardButton ShowMessage(QWidget*, const QString& text, const QString& caption,
                                          QMessageBox::Icon icon,
                                          QMessageBox::StandardButtons buttons) override {
    messages.append({text, caption, icon, buttons});
    return buttons.testFlag(QMessageBox::Yes) ? questionAnswer : QMessageBox::Ok;
  }
  int RunModal(QDialog& dialog) override {
    ++modalRuns;
    if (onModal) onModal(dialog);
    return QDialog::Accepted;
  }
  bool OpenUrl(const QString& url) override {
    openedUrls.append(url);
    return true;
  }
  WaveOut& waveOut() override { return m_out; }

 private:
  WaveOut& m_out;
};

// Delivers every notice the devices have posted.
inline void DeliverNotices() { QCoreApplication::sendPostedEvents(); }

// Plays the current device of the window block by block until it is closed,
// and returns the slider position after every block.
inline QList<int> PlayToEnd(CTavimoDlg& dialog, FakeWaveOut& out, int maxBlocks = 2000) {
  QList<int> positions;
  const WaveOutHandle handle = dialog.waveOutHandle();
  for (int i = 0; i < maxBlocks && out.PlayNext(handle); ++i) {
    DeliverNotices();
    positions.append(dialog.slider()->value());
  }
  DeliverNotices();
  return positions;
}

// A store of `bytes` bytes whose samples are never 0 (so silence stands out)
// and differ with `seed`. The rest of the buffer holds a non-silent filler,
// like an earlier, longer message would leave there.
inline std::unique_ptr<PcmStore> MakeStore(int32_t bytes, int seed = 1) {
  auto store = std::make_unique<PcmStore>();
  for (int32_t i = 0; i + 1 < PcmStore::kCapacityBytes; i += 2) {
    int16_t sample = static_cast<int16_t>(((i / 2) * (7 + 2 * seed)) % 12000 + 1);
    if (i >= bytes) sample = 0x5A5A;
    std::memcpy(store->buffer + i, &sample, 2);
  }
  store->byteCount = bytes;
  return store;
}

inline QByteArray StoreBytes(const PcmStore& store) {
  return QByteArray(reinterpret_cast<const char*>(store.buffer), store.byteCount);
}

// True when `played` is the store's bytes followed only by silence.
inline bool PlayedWholeStoreThenSilence(const QByteArray& played, const PcmStore& store) {
  const QByteArray expected = StoreBytes(store);
  if (!played.startsWith(expected)) return false;
  for (qsizetype i = expected.size(); i < played.size(); ++i) {
    if (played[i] != 0) return false;
  }
  return true;
}

// Writes a valid voice file of `packets` one-frame packets (24 kHz, 20 ms
// each) and returns its path.
inline QString WriteVoiceFile(const QString& path, int packets, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::vector<uint8_t>> coded;
  for (int p = 0; p < packets; ++p) {
    FrameSymbols frame = RandomFrameSymbols(rng, 3, true);
    frame.frameEnd = 0;
    coded.push_back(BuildPacket({frame}));
  }
  WriteBytesToFile(QFile::encodeName(path).toStdString(), BuildVoiceFile(coded));
  return path;
}

inline QString SourcePath(const char* relative) {
  return QStringLiteral(TAVIMO_SOURCE_DIR "/") + QString::fromUtf8(relative);
}
