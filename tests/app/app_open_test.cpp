// Opening voice files from the menu and by dropping them on the window.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include "test_support.h"

namespace {

const QString kLoadFailed = QStringLiteral("您播放的不是微信或QQ语音文件，或者该文件已经被损坏。");

// Decodes a file on its own, for comparison with what the window holds.
QByteArray Decoded(const QString& path) {
  PcmStore store;
  if (!store.LoadVoiceFile(QFile::encodeName(path).toStdString())) return {};
  return StoreBytes(store);
}

void Drop(CTavimoDlg& dialog, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
  data.setUrls(urls);
  const QPoint at(dialog.width() / 2, dialog.height() / 2);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&dialog, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&dialog, &drop);
}

}  // namespace

class OpenTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir m_dir;
  QString m_voiceA;
  QString m_voiceB;
  QString m_notVoice;

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    m_voiceA = WriteVoiceFile(m_dir.filePath(QStringLiteral("a.slk")), 40, 1);
    m_voiceB = WriteVoiceFile(m_dir.filePath(QStringLiteral("b.amr")), 25, 2);
    m_notVoice = m_dir.filePath(QStringLiteral("notes.txt"));
    QFile file(m_notVoice);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!AMR\nnot a voice message at all\n");
    QVERIFY(Decoded(m_voiceA).size() > 16384);
    QVERIFY(Decoded(m_voiceB).size() > 0);
    QVERIFY(Decoded(m_voiceA) != Decoded(m_voiceB));
  }

  // Only the first dropped file counts; it loads and starts playing.
  void dropThreeFiles() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    Drop(dialog, {m_voiceA, m_notVoice, m_voiceB});

    QVERIFY(platform.messages.isEmpty());
    QVERIFY(dialog.fileLoaded());
    QCOMPARE(StoreBytes(dialog.pcm()), Decoded(m_voiceA));
    QCOMPARE(out.OpenedCount(), 1);
    const WaveOutHandle device = dialog.waveOutHandle();
    QCOMPARE(out.Queued(device), size_t{2});
    PlayToEnd(dialog, out);
    QVERIFY(PlayedWholeStoreThenSilence(out.devices[device].played, dialog.pcm()));
  }

  // A failed load shows the one message and leaves the loaded flag as it
  // was; the message that was open stays and goes on playing as it was.
  void failedLoadKeepsOpenMessage() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);

    for (const QString& bad : {m_notVoice, m_dir.filePath(QStringLiteral("missing.slk"))}) {
      platform.messages.clear();
      Drop(dialog, {bad});
      QCOMPARE(platform.messages.size(), 1);
      QCOMPARE(platform.messages[0].text, kLoadFailed);
      QCOMPARE(platform.messages[0].caption, QStringLiteral("Tavimo"));
      QCOMPARE(platform.messages[0].icon, QMessageBox::NoIcon);
      QCOMPARE(platform.messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
      QVERIFY(!dialog.fileLoaded());
      QCOMPARE(out.OpenedCount(), 0);
    }

    Drop(dialog, {m_voiceA});
    const WaveOutHandle device = dialog.waveOutHandle();
    QVERIFY(out.PlayNext(device));
    DeliverNotices();
    platform.messages.clear();
    Drop(dialog, {m_notVoice});
    QCOMPARE(platform.messages.size(), 1);
    QCOMPARE(platform.messages[0].text, kLoadFailed);
    QVERIFY(dialog.fileLoaded());
    QCOMPARE(StoreBytes(dialog.pcm()), Decoded(m_voiceA));
    QCOMPARE(dialog.waveOutHandle(), device);
    PlayToEnd(dialog, out);
    QVERIFY(PlayedWholeStoreThenSilence(out.devices[device].played, dialog.pcm()));
  }

  // The open dialog offers the voice files; cancelling it changes nothing,
  // a running playback included.
  void openCommand() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    platform.openAnswers = {m_voiceA, QString(), m_voiceB};

    dialog.OnOpenVoiceFile();
    QCOMPARE(platform.openFilters.value(0), QStringLiteral("微信/QQ语音文件(*.amr *.aud *.slk)"));
    QCOMPARE(platform.openSuffixes.value(0), QStringLiteral("amr"));
    const WaveOutHandle device = dialog.waveOutHandle();
    QVERIFY(out.PlayNext(device));
    DeliverNotices();
    const int32_t playPos = dialog.playPos();
    const int slider = dialog.slider()->value();

    dialog.OnOpenVoiceFile();  // cancelled
    QCOMPARE(dialog.waveOutHandle(), device);
    QVERIFY(out.IsOpen(device));
    QCOMPARE(out.Queued(device), size_t{2});
    QCOMPARE(dialog.playPos(), playPos);
    QCOMPARE(dialog.slider()->value(), slider);
    QCOMPARE(StoreBytes(dialog.pcm()), Decoded(m_voiceA));
    QVERIFY(platform.messages.isEmpty());

    dialog.OnOpenVoiceFile();
    QCOMPARE(StoreBytes(dialog.pcm()), Decoded(m_voiceB));
    QVERIFY(!out.IsOpen(device));
    QVERIFY(out.IsOpen(dialog.waveOutHandle()));
  }

  // Paths far longer than 260 characters open and export.
  void longPaths() {
    QString folder = m_dir.path();
    while (folder.size() < 400) folder += QStringLiteral("/长路径-long-folder-name-%1").arg(folder.size());
    QVERIFY(QDir().mkpath(folder));
    const QString voice = folder + QStringLiteral("/语音消息-with-a-long-name.slk");
    QFile::copy(m_voiceA, voice);

    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    platform.openAnswers = {voice};
    dialog.OnOpenVoiceFile();
    QVERIFY(platform.messages.isEmpty());
    QCOMPARE(StoreBytes(dialog.pcm()), Decoded(m_voiceA));

    platform.saveAnswer = folder + QStringLiteral("/exported");
    dialog.OnExportWav();
    const QString wav = platform.saveAnswer + QStringLiteral(".wav");
    QVERIFY(wav.size() > 400);
    QCOMPARE(QFileInfo(wav).size(), 46 + dialog.pcm().byteCount);
    QCOMPARE(platform.messages.value(0).text, QStringLiteral("导出成功"));
  }
};

TAVIMO_TEST_MAIN(OpenTest)
#include "app_open_test.moc"
