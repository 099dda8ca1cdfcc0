// The about box, the two web commands and the links of the notice box.
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTextCursor>

#include "app/about_dlg.h"
#include "app/notice_box.h"
#include "app/resources.h"
#include "test_support.h"

namespace {

QAction* FindCommand(CTavimoDlg& dialog, int id) {
  for (QAction* top : dialog.menuBar()->actions()) {
    for (QAction* item : top->menu()->actions()) {
      if (item->data().toInt() == id) return item;
    }
  }
  return nullptr;
}

// Clicks the middle of the link that spans [start, end) in the box.
void ClickLink(NoticeBox* box, int start, int end) {
  QTextCursor cursor(box->document());
  cursor.setPosition((start + end) / 2);
  const QPoint at = box->cursorRect(cursor).center();
  QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

class AboutTest : public QObject {
  Q_OBJECT

 private slots:
  void aboutBox() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    bool checked = false;
    platform.onModal = [&](QDialog& shown) {
      auto* about = qobject_cast<CAboutDlg*>(&shown);
      QVERIFY(about != nullptr);
      QCOMPARE(about->windowTitle(), QStringLiteral("关于 Tavimo"));
      QCOMPARE(about->versionLabel()->text(), QStringLiteral("Tavimo 3.0 版"));
      QCOMPARE(about->addressLabel()->text(), tavimo::kAboutAddress);
      QVERIFY(!about->iconLabel()->pixmap().isNull());
      QCOMPARE(about->okButton()->text(), QStringLiteral("确定"));
      QVERIFY(about->okButton()->isDefault());
      QCOMPARE(about->minimumSize(), about->maximumSize());
      const auto units = tavimo::DialogUnits::ForFont(about->font());
      QCOMPARE(about->size(), units.Size(181, 60));
      QCOMPARE(about->okButton()->geometry(), units.Rect(124, 39, 50, 14));
      about->show();
      QTest::mouseClick(about->okButton(), Qt::LeftButton);
      QCOMPARE(about->result(), int(QDialog::Accepted));
      checked = true;
    };
    QAction* command = FindCommand(dialog, tavimo::kCmdAbout);
    QVERIFY(command != nullptr);
    command->trigger();
    QCOMPARE(platform.modalRuns, 1);
    QVERIFY(checked);
  }

  void webCommands_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("url");
    QTest::newRow("website") << int(tavimo::kCmdWebsite) << tavimo::kWebsiteUrl;
    QTest::newRow("home page") << int(tavimo::kCmdHomePage) << tavimo::kHomePageUrl;
  }
  void webCommands() {
    QFETCH(int, id);
    QFETCH(QString, url);
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    FindCommand(dialog, id)->trigger();
    QCOMPARE(platform.openedUrls, QStringList{url});
    QVERIFY(url.startsWith(QStringLiteral("http://")));
  }

  // A click on a link opens its text, with "http://" in front unless the
  // text already names its scheme; the link stays selected.
  void noticeLinks_data() {
    QTest::addColumn<QString>("notice");  // empty: the window's own notice
    QTest::addColumn<int>("link");
    QTest::addColumn<QString>("url");
    QTest::newRow("first tool") << QString() << 0 << QStringLiteral("http://www.tavimo.example/cutter");
    QTest::newRow("second tool") << QString() << 1
                                 << QStringLiteral("http://www.tavimo.example/converter");
    QTest::newRow("http link") << QStringLiteral("主页：http://tools.example/a?b=1\r\n结束") << 0
                               << QStringLiteral("http://tools.example/a?b=1");
    QTest::newRow("https link, upper case") << QStringLiteral("安全：HTTPS://Secure.example/x，谢谢") << 0
                                            << QStringLiteral("HTTPS://Secure.example/x");
  }
  void noticeLinks() {
    QFETCH(QString, notice);
    QFETCH(int, link);
    QFETCH(QString, url);
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    NoticeBox* box = dialog.richEdit();
    if (!notice.isEmpty()) box->SetNotice(notice);
    const auto links = box->LinkRanges();
    QVERIFY(link < links.size());
    const auto [start, end] = links[link];
    QTextCursor cursor(box->document());
    cursor.setPosition(start);
    box->setTextCursor(cursor);
    box->ensureCursorVisible();

    ClickLink(box, start, end);
    QCOMPARE(platform.openedUrls, QStringList{url});
    QCOMPARE(box->textCursor().selectionStart(), start);
    QCOMPARE(box->textCursor().selectionEnd(), end);
  }
};

TAVIMO_TEST_MAIN(AboutTest)
#include "app_about_test.moc"
