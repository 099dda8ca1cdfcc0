// The export command: the not-loaded message, the file name, the question
// before replacing a file, the success message and the file written.
#include <QDir>
#include <QTemporaryDir>

#include "test_support.h"

namespace {

const QString kExportDone = QStringLiteral("导出成功");

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The 46-byte header of a mono 24 kHz 16-bit file with an 18-byte format chunk.
QByteArray WavHeader(uint32_t dataBytes) {
  QByteArray header;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) header.append(char((v >> (8 * i)) & 0xFF));
  };
  auto u16 = [&](uint16_t v) {
    header.append(char(v & 0xFF));
    header.append(char(v >> 8));
  };
  header.append("RIFF");
  u32(38 + dataBytes);
  header.append("WAVEfmt ");
  u32(18);
  u16(1);
  u16(1);
  u32(24000);
  u32(48000);
  u16(2);
  u16(16);
  u16(0);
  header.append("data");
  u32(dataBytes);
  return header;
}

}  // namespace

class ExportTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir m_dir;
  int m_case = 0;

  // A fresh folder per case.
  QString CaseDir() {
    const QString path = m_dir.filePath(QString::number(++m_case));
    QDir().mkpath(path);
    return path;
  }

 private slots:
  void notLoadedYet() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    platform.saveAnswer = CaseDir() + QStringLiteral("/voice");
    dialog.OnExportWav();
    QCOMPARE(platform.messages.size(), 1);
    QCOMPARE(platform.messages[0].text, QStringLiteral("您需要先打开一个语音文件后才可以进行导出操作。"));
    QCOMPARE(platform.messages[0].caption, QStringLiteral("Tavimo"));
    QCOMPARE(platform.messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(platform.saveFilters.isEmpty());
    QVERIFY(!QFileInfo::exists(platform.saveAnswer + QStringLiteral(".wav")));
  }

  // ".wav" is added unless the file's own name already ends in it, in any
  // letter case; folder names do not count. The file holds the header and
  // the store's bytes.
  void fileName_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain name") << "voice" << "voice.wav";
    QTest::newRow("has .wav") << "voice.wav" << "voice.wav";
    QTest::newRow("upper case") << "voice.WAV" << "voice.WAV";
    QTest::newRow("mixed case") << "voice.Wav" << "voice.Wav";
    QTest::newRow(".wav inside the name") << "voice.wav.bak" << "voice.wav.bak.wav";
    QTest::newRow(".wave") << "voice.wave" << "voice.wave.wav";
    QTest::newRow(".wav folder") << "my.wav.files/voice" << "my.wav.files/voice.wav";
    QTest::newRow("chinese") << "语音" << "语音.wav";
  }
  void fileName() {
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    const QString dir = CaseDir();
    QDir(dir).mkpath(QStringLiteral("my.wav.files"));
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    dialog.TakeOverStore(MakeStore(48000));
    platform.saveAnswer = dir + QLatin1Char('/') + chosen;

    dialog.OnExportWav();
    QCOMPARE(platform.saveFilters.value(0), QStringLiteral("wav files (*wav)"));
    QCOMPARE(platform.messages.size(), 1);
    QCOMPARE(platform.messages[0].text, kExportDone);
    QCOMPARE(platform.messages[0].caption, QStringLiteral("Tavimo"));
    const QByteArray file = ReadAll(dir + QLatin1Char('/') + written);
    QCOMPARE(file.size(), 48046);
    QCOMPARE(file.left(46), WavHeader(48000));
    QCOMPARE(file.mid(46), StoreBytes(dialog.pcm()));
    if (written != chosen) QVERIFY(!QFileInfo::exists(platform.saveAnswer));
  }

  // An existing name (after completing it) is replaced only on Yes.
  void replaceQuestion_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("no") << int(QMessageBox::No);
    QTest::newRow("yes") << int(QMessageBox::Yes);
  }
  void replaceQuestion() {
    QFETCH(int, answer);
    const QString dir = CaseDir();
    const QString target = dir + QStringLiteral("/voice.wav");
    {
      QFile old(target);
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write("an older recording");
    }
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    dialog.TakeOverStore(MakeStore(20000));
    platform.saveAnswer = dir + QStringLiteral("/voice");
    platform.questionAnswer = static_cast<QMessageBox::StandardButton>(answer);

    dialog.OnExportWav();
    QVERIFY(!platform.messages.isEmpty());
    const MessageRecord& question = platform.messages[0];
    QCOMPARE(question.text, target + QStringLiteral(" 已经存在，要替换它吗？"));
    QCOMPARE(question.caption, QStringLiteral("文件覆盖询问"));
    QCOMPARE(question.icon, QMessageBox::Question);
    QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::No) {
      QCOMPARE(platform.messages.size(), 1);
      QCOMPARE(ReadAll(target), QByteArray("an older recording"));
    } else {
      QCOMPARE(platform.messages.size(), 2);
      QCOMPARE(platform.messages[1].text, kExportDone);
      QCOMPARE(ReadAll(target), WavHeader(20000) + StoreBytes(dialog.pcm()));
    }
  }

  void cancelledDialogWritesNothing() {
    const QString dir = CaseDir();
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    dialog.TakeOverStore(MakeStore(20000));
    platform.saveAnswer.clear();
    dialog.OnExportWav();
    QCOMPARE(platform.saveFilters.size(), 1);
    QVERIFY(platform.messages.isEmpty());
    QVERIFY(QDir(dir).isEmpty());
  }

  // After a file that failed to load, the message that was open exports as it was.
  void exportAfterFailedLoad() {
    const QString dir = CaseDir();
    const QString voice = WriteVoiceFile(dir + QStringLiteral("/a.slk"), 30, 7);
    const QString notVoice = dir + QStringLiteral("/picture.slk");
    {
      QFile file(notVoice);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(QByteArray(64, 'x'));
    }
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    dialog.OnDropFiles({voice});
    const QByteArray decoded = StoreBytes(dialog.pcm());
    QVERIFY(!decoded.isEmpty());
    dialog.OnDropFiles({notVoice});
    QCOMPARE(platform.messages.size(), 1);

    platform.saveAnswer = dir + QStringLiteral("/out");
    dialog.OnExportWav();
    QCOMPARE(platform.messages.size(), 2);
    QCOMPARE(platform.messages[1].text, kExportDone);
    QCOMPARE(ReadAll(dir + QStringLiteral("/out.wav")), WavHeader(uint32_t(decoded.size())) + decoded);
  }
};

TAVIMO_TEST_MAIN(ExportTest)
#include "app_export_test.moc"
