// Playback through a device that plays one block whenever the test says so:
// what reaches the device, the slider, the end of playback, a device
// replaced mid-playback, closing the window while playing, device errors.
#include <QSignalSpy>

#include "test_support.h"

class PlaybackTest : public QObject {
  Q_OBJECT

 private slots:
  // The slider shows the position after each refill (the trackbar stops at
  // 100), stays while the block holding the end plays out, then goes to 0.
  // The device gets every byte of the store, the end included, and silence
  // for the rest of the last block, never what lies past the end.
  void playsWholeStore_data() {
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QList<int>>("sliderPositions");
    QTest::newRow("empty") << 0 << QList<int>{0, 0};
    QTest::newRow("part of one block") << 5000 << QList<int>{0, 0};
    QTest::newRow("exactly one block") << 8192 << QList<int>{0, 0};
    QTest::newRow("two blocks") << 16384 << QList<int>{0, 0};
    QTest::newRow("two blocks and a sample") << 16386 << QList<int>{100, 100, 0};
    QTest::newRow("five blocks") << 40960 << QList<int>{60, 80, 100, 100, 0};
    QTest::newRow("ends inside a block") << 30000 << QList<int>{81, 100, 100, 0};
    QTest::newRow("uneven steps") << 100000
                                  << QList<int>{24, 32, 40, 49, 57, 65, 73, 81, 90, 98, 100, 100, 0};
  }
  void playsWholeStore() {
    QFETCH(int, bytes);
    QFETCH(QList<int>, sliderPositions);
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    QSignalSpy ended(&dialog, &CTavimoDlg::playbackEnded);

    dialog.TakeOverStore(MakeStore(bytes));
    const WaveOutHandle device = dialog.waveOutHandle();
    QCOMPARE(out.Queued(device), size_t{2});
    QCOMPARE(dialog.playPos(), 16384);

    QCOMPARE(PlayToEnd(dialog, out), sliderPositions);
    QVERIFY(PlayedWholeStoreThenSilence(out.devices[device].played, dialog.pcm()));
    QVERIFY(!out.IsOpen(device));
    QCOMPARE(ended.count(), 1);
    QCOMPARE(dialog.playPos(), 0);
    QCOMPARE(dialog.slider()->value(), 0);
    QVERIFY(platform.messages.isEmpty());
  }

  // The last refills of a nearly full store stay inside the store.
  void nearlyFullStore() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    dialog.TakeOverStore(MakeStore(PcmStore::kCapacityBytes - 2));
    const WaveOutHandle device = dialog.waveOutHandle();
    const QList<int> positions = PlayToEnd(dialog, out);
    QCOMPARE(positions.size(), 733);  // one notice per block played
    QVERIFY(PlayedWholeStoreThenSilence(out.devices[device].played, dialog.pcm()));
    QCOMPARE(out.devices[device].played.size(), qsizetype{733} * 8192);
    QVERIFY(!out.IsOpen(device));
  }

  // A new message while one plays: the old device's late notices (a block it
  // finished before it was replaced, the blocks its reset handed back, its
  // close) must not touch the new device's blocks.
  void replacedDeviceNoticesAreDropped() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    QSignalSpy ended(&dialog, &CTavimoDlg::playbackEnded);

    dialog.TakeOverStore(MakeStore(200000, 1));
    const WaveOutHandle first = dialog.waveOutHandle();
    for (int i = 0; i < 3; ++i) {
      QVERIFY(out.PlayNext(first));
      DeliverNotices();
    }
    QVERIFY(out.PlayNext(first));  // its notice is still in the queue
    const int sliderBefore = dialog.slider()->value();

    dialog.TakeOverStore(MakeStore(60000, 2));
    const WaveOutHandle second = dialog.waveOutHandle();
    QVERIFY(second != first);
    QVERIFY(!out.IsOpen(first));
    DeliverNotices();
    QCOMPARE(out.Queued(second), size_t{2});
    QCOMPARE(dialog.playPos(), 16384);
    QCOMPARE(dialog.slider()->value(), sliderBefore);
    QCOMPARE(ended.count(), 0);

    QCOMPARE(PlayToEnd(dialog, out), (QList<int>{40, 54, 68, 81, 95, 100, 100, 0}));
    QVERIFY(PlayedWholeStoreThenSilence(out.devices[second].played, dialog.pcm()));
    QCOMPARE(ended.count(), 1);
  }

  // However the window goes away while playing, the device is stopped and
  // closed first and none of its blocks stay queued.
  void closingWindowStopsDevice_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("exit command") << QStringLiteral("exit");
    QTest::newRow("close box") << QStringLiteral("close");
    QTest::newRow("destroyed") << QStringLiteral("destroy");
  }
  void closingWindowStopsDevice() {
    QFETCH(QString, how);
    FakeWaveOut out;
    FakePlatform platform(out);
    auto dialog = std::make_unique<CTavimoDlg>(platform);
    dialog->open();
    dialog->TakeOverStore(MakeStore(100000));
    const WaveOutHandle device = dialog->waveOutHandle();
    QVERIFY(out.PlayNext(device));
    DeliverNotices();
    QCOMPARE(out.Queued(device), size_t{2});

    if (how == QStringLiteral("exit")) {
      dialog->OnExitCommand();
    } else if (how == QStringLiteral("close")) {
      dialog->close();
    }
    if (how != QStringLiteral("destroy")) {
      QVERIFY(!dialog->isVisible());
      QVERIFY(!out.IsOpen(device));
    }
    dialog.reset();
    QVERIFY(!out.IsOpen(device));
    QCOMPARE(out.Queued(device), size_t{0});
    DeliverNotices();  // notices of the stopped device find no window
  }

  // A device that cannot be opened: the message, nothing queued, and the
  // message still counts as loaded; the next one plays again.
  void deviceOpenFailure() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    out.failOpen = true;
    dialog.TakeOverStore(MakeStore(30000));
    QCOMPARE(platform.messages.size(), 1);
    QCOMPARE(platform.messages[0].text, QStringLiteral("audio device error!"));
    QCOMPARE(platform.messages[0].caption, QStringLiteral("Tavimo"));
    QCOMPARE(platform.messages[0].icon, QMessageBox::Warning);
    QCOMPARE(platform.messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(dialog.fileLoaded());
    QCOMPARE(out.OpenedCount(), 0);

    out.failOpen = false;
    dialog.TakeOverStore(MakeStore(30000));
    const WaveOutHandle device = dialog.waveOutHandle();
    QCOMPARE(PlayToEnd(dialog, out), (QList<int>{81, 100, 100, 0}));
    QVERIFY(PlayedWholeStoreThenSilence(out.devices[device].played, dialog.pcm()));
  }
};

TAVIMO_TEST_MAIN(PlaybackTest)
#include "app_playback_test.moc"
