// Takes the picture of the window for the README: the bundled sample (or, in
// a tree without it, a made-up voice file) a few blocks into playback.
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include "app/spectrum_area.h"
#include "test_support.h"

class ScreenshotTest : public QObject {
  Q_OBJECT

 private slots:
  void windowWhilePlaying() {
    QTemporaryDir dir;
    QString voice = SourcePath("samples/sample.slk");
    if (!QFileInfo::exists(voice)) {
      voice = WriteVoiceFile(dir.filePath(QStringLiteral("voice.slk")), 150, 3);
    }
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.OnDropFiles({voice});
    QVERIFY(platform.messages.isEmpty());

    const WaveOutHandle device = dialog.waveOutHandle();
    const int blocks = std::max(1, dialog.pcm().byteCount / CTavimoDlg::kBlockBytes / 2);
    for (int i = 0; i < blocks && out.PlayNext(device); ++i) DeliverNotices();
    QVERIFY(dialog.slider()->value() > 0);

    const QImage shot = dialog.grab().toImage();
    QCOMPARE(shot.size(), dialog.size() * dialog.devicePixelRatio());
    const QImage area = dialog.spectrumArea()->grab().toImage();
    bool bars = false;
    for (int x = 0; x < area.width() && !bars; ++x) {
      bars = area.pixelColor(x, area.height() - 1) != QColor(Qt::black);
    }
    QVERIFY2(bars, "the spectrum shows no bars");

    const QString path = SourcePath("docs/screenshot.png");
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(shot.save(path, "PNG"));
  }
};

TAVIMO_TEST_MAIN(ScreenshotTest)
#include "app_screenshot_test.moc"
