// Playback through the real SDL2 library with its file-writing audio driver:
// the file holds exactly what the device consumed.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <mutex>

#include "player/sdl_wave_out.h"
#include "test_support.h"

namespace {

// What the device consumed, without the silence it played while no block
// was queued (before the first block, between blocks if the test machine
// was slow, after the last). The test stores hold no zero samples.
QByteArray ConsumedSound(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray raw = file.readAll();
  QByteArray sound;
  for (qsizetype i = 0; i + 1 < raw.size(); i += 2) {
    if (raw[i] != 0 || raw[i + 1] != 0) sound.append(raw.constData() + i, 2);
  }
  return sound;
}

QList<int> Distinct(const QSignalSpy& spy) {
  QList<int> values;
  for (const QList<QVariant>& args : spy) {
    const int value = args.at(0).toInt();
    if (values.isEmpty() || values.constLast() != value) values.append(value);
  }
  return values;
}

// Records notices from whatever thread posts them.
class RecordingClient final : public WaveOutClient {
 public:
  void PostWaveOutNotice(const WaveOutNotice& notice) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_notices.push_back(notice);
  }
  std::vector<WaveOutNotice> Notices() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_notices;
  }

 private:
  std::mutex m_mutex;
  std::vector<WaveOutNotice> m_notices;
};

}  // namespace

class SdlPlaybackTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir m_dir;
  QString m_audioFile;

 private slots:
  void initTestCase() {
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "disk");
    if (qEnvironmentVariableIsEmpty("SDL_DISKAUDIODELAY")) qputenv("SDL_DISKAUDIODELAY", "10");
    if (qgetenv("SDL_AUDIODRIVER") != "disk") QSKIP("needs SDL's disk audio driver");
    if (qEnvironmentVariableIsEmpty("SDL_DISKAUDIOFILE")) {
      QVERIFY(m_dir.isValid());
      qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(m_dir.filePath(QStringLiteral("out.raw"))));
    }
    m_audioFile = QFile::decodeName(qgetenv("SDL_DISKAUDIOFILE"));
  }

  // The layer itself: a reset hands back every queued block in order, a
  // close then reports, a closed device refuses everything, handles are
  // not reused, and a block played to its end comes back by itself.
  void waveOutLayer() {
    SdlWaveOut out;
    RecordingClient client;
    const WaveOutHandle first = out.Open(WaveFormat{}, &client);
    QVERIFY(first != kNoWaveOut);
    std::vector<uint8_t> data(3 * 48000, 0x11);  // three blocks of 1 s
    WaveHeader blocks[3];
    for (int k = 0; k < 3; ++k) {
      blocks[k] = WaveHeader{data.data() + 48000 * k, 48000};
      QVERIFY(out.Write(first, &blocks[k]));
    }
    QVERIFY(out.Reset(first));
    QVERIFY(out.Close(first));
    const std::vector<WaveOutNotice> notices = client.Notices();
    QCOMPARE(notices.size(), size_t{4});
    for (int k = 0; k < 3; ++k) {
      QCOMPARE(notices[size_t(k)].kind, WaveOutNoticeKind::Done);
      QCOMPARE(notices[size_t(k)].device, first);
      QCOMPARE(notices[size_t(k)].header, &blocks[k]);
    }
    QCOMPARE(notices[3].kind, WaveOutNoticeKind::Close);
    QCOMPARE(notices[3].device, first);
    QVERIFY(!out.Write(first, &blocks[0]));
    QVERIFY(!out.Reset(first));
    QVERIFY(!out.Close(first));

    const WaveOutHandle second = out.Open(WaveFormat{}, &client);
    QVERIFY(second != kNoWaveOut && second != first);
    WaveHeader shortBlock{data.data(), 2048};
    QVERIFY(out.Write(second, &shortBlock));
    QTRY_COMPARE_WITH_TIMEOUT(client.Notices().size(), size_t{5}, 10000);
    QCOMPARE(client.Notices()[4].header, &shortBlock);
    QCOMPARE(client.Notices()[4].device, second);
  }

  // Every byte of the store, the end included, reaches the device, the
  // slider steps once per block, and at the end the device is closed.
  void playsWholeStoreThenCloses() {
    SdlWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    QSignalSpy ended(&dialog, &CTavimoDlg::playbackEnded);
    QSignalSpy slider(dialog.slider(), &QSlider::valueChanged);

    dialog.TakeOverStore(MakeStore(100000));
    QVERIFY(platform.messages.isEmpty());
    const WaveOutHandle device = dialog.waveOutHandle();
    QVERIFY(ended.wait(30000));
    QTRY_COMPARE(dialog.slider()->value(), 0);

    QCOMPARE(Distinct(slider), (QList<int>{24, 32, 40, 49, 57, 65, 73, 81, 90, 98, 100, 0}));
    QCOMPARE(dialog.playPos(), 0);
    WaveHeader probe{dialog.pcm().buffer, 2};
    QVERIFY(!out.Write(device, &probe));  // closed
    QCOMPARE(ConsumedSound(m_audioFile), StoreBytes(dialog.pcm()));
  }

  // A second message opened mid-playback plays from its start to its end,
  // undisturbed by the replaced device.
  void secondMessageMidPlayback() {
    SdlWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    QSignalSpy ended(&dialog, &CTavimoDlg::playbackEnded);

    dialog.TakeOverStore(MakeStore(400000, 1));
    QTRY_VERIFY_WITH_TIMEOUT(dialog.slider()->value() >= 10, 30000);
    QSignalSpy slider(dialog.slider(), &QSlider::valueChanged);
    dialog.TakeOverStore(MakeStore(60000, 2));
    QVERIFY(ended.wait(30000));
    QTRY_COMPARE(dialog.slider()->value(), 0);
    QCOMPARE(ended.count(), 1);

    QCOMPARE(Distinct(slider), (QList<int>{40, 54, 68, 81, 95, 100, 0}));
    // Opening the new device started the file afresh.
    QCOMPARE(ConsumedSound(m_audioFile), StoreBytes(dialog.pcm()));
  }

  // The window goes away mid-playback: the device is stopped first, and its
  // late notices find nothing.
  void windowDestroyedWhilePlaying() {
    SdlWaveOut out;
    FakePlatform platform(out);
    auto dialog = std::make_unique<CTavimoDlg>(platform);
    dialog->TakeOverStore(MakeStore(400000));
    const WaveOutHandle device = dialog->waveOutHandle();
    QTRY_VERIFY_WITH_TIMEOUT(dialog->slider()->value() >= 10, 30000);
    dialog.reset();
    QTest::qWait(100);
    WaveHeader probe{nullptr, 0};
    uint8_t byte = 0;
    probe.data = &byte;
    probe.length = 1;
    QVERIFY(!out.Write(device, &probe));
  }
};

TAVIMO_TEST_MAIN(SdlPlaybackTest)
#include "app_sdl_playback_test.moc"
