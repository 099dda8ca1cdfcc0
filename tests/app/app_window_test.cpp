// Start-up state of the main window: caption, menu, template layout, controls
// and the keys that must not close it.
#include <QMenu>
#include <QMenuBar>

#include "app/notice_box.h"
#include "app/resources.h"
#include "app/spectrum_area.h"
#include "test_support.h"

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpState() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Tavimo"));
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());  // fixed size
    QVERIFY(dialog.acceptDrops());
    QVERIFY(!dialog.windowIcon().isNull());

    QCOMPARE(dialog.slider()->minimum(), 0);
    QCOMPARE(dialog.slider()->maximum(), 100);
    QCOMPARE(dialog.slider()->value(), 0);
    QCOMPARE(dialog.slider()->orientation(), Qt::Horizontal);

    NoticeBox* notice = dialog.richEdit();
    QVERIFY(notice->isReadOnly());
    QCOMPARE(notice->document()->blockCount(), 4);
    const auto links = notice->LinkRanges();
    QCOMPARE(links.size(), 2);
    const QString text = notice->document()->toPlainText();
    for (const auto& [start, end] : links) {
      QVERIFY(text.mid(start, end - start).startsWith(QStringLiteral("www.")));
    }
    QCOMPARE(dialog.fileLoaded(), false);
    QCOMPARE(out.OpenedCount(), 0);
  }

  void menuItems() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);

    struct Expected {
      QString menu;
      QString text;  // empty: separator
      int id;
    };
    const QList<Expected> expected = {
        {QStringLiteral("文件"), QStringLiteral("打开(拖拽文件到窗口也可打开)"), 32775},
        {QStringLiteral("文件"), QStringLiteral("导出为wav文件"), 32782},
        {QStringLiteral("文件"), QString(), 0},
        {QStringLiteral("文件"), QStringLiteral("退出"), 32776},
        {QStringLiteral("关于"), QStringLiteral("关于"), 32779},
        {QStringLiteral("关于"), QStringLiteral("官方网站"), 32780},
        {QStringLiteral("关于"), QStringLiteral("软件主页"), 32787},
    };
    QList<Expected> actual;
    for (QAction* top : dialog.menuBar()->actions()) {
      QVERIFY(top->menu() != nullptr);
      for (QAction* item : top->menu()->actions()) {
        actual.append({top->text(), item->isSeparator() ? QString() : item->text(),
                       item->isSeparator() ? 0 : item->data().toInt()});
      }
    }
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
      QCOMPARE(actual[i].menu, expected[i].menu);
      QCOMPARE(actual[i].text, expected[i].text);
      QCOMPARE(actual[i].id, expected[i].id);
    }
  }

  // Template 102 in dialog units of the 9-point dialog font, below the menu bar.
  void templateLayout() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    QCOMPARE(dialog.font().pointSize(), 9);
    const auto units = tavimo::DialogUnits::ForFont(dialog.font());
    QVERIFY(units.baseX > 0 && units.baseY > 0);
    const int menuHeight = dialog.menuBar()->height();
    struct Control {
      QWidget* widget;
      QRect dlu;
    };
    for (const Control& c : {Control{dialog.spectrumArea(), QRect(7, 7, 208, 39)},
                             Control{dialog.slider(), QRect(7, 49, 208, 15)},
                             Control{dialog.richEdit(), QRect(7, 67, 208, 44)}}) {
      const QRect expected = units.Rect(c.dlu.x(), c.dlu.y(), c.dlu.width(), c.dlu.height());
      QCOMPARE(c.widget->geometry(), expected.translated(0, menuHeight));
    }
    QCOMPARE(dialog.size(), units.Size(222, 118) + QSize(0, menuHeight));
  }

  void enterAndEscapeDoNothing_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("target");
    for (auto [key, name] : {std::pair{Qt::Key_Escape, "Esc"}, std::pair{Qt::Key_Return, "Enter"},
                             std::pair{Qt::Key_Enter, "keypad Enter"}}) {
      for (const char* target : {"window", "slider", "richEdit"}) {
        QTest::addRow("%s on %s", name, target) << int(key) << QString::fromLatin1(target);
      }
    }
  }
  void enterAndEscapeDoNothing() {
    QFETCH(int, key);
    QFETCH(QString, target);
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QWidget* receiver = target == QStringLiteral("window") ? static_cast<QWidget*>(&dialog)
                        : target == QStringLiteral("slider") ? static_cast<QWidget*>(dialog.slider())
                                                             : dialog.richEdit();
    receiver->setFocus();
    QTest::keyClick(receiver, static_cast<Qt::Key>(key));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
  }

  void exitCommandEndsTheWindow() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QAction* exit = nullptr;
    for (QAction* top : dialog.menuBar()->actions()) {
      for (QAction* item : top->menu()->actions()) {
        if (item->data().toInt() == tavimo::kCmdExit) exit = item;
      }
    }
    QVERIFY(exit != nullptr);
    exit->trigger();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }
};

TAVIMO_TEST_MAIN(WindowTest)
#include "app_window_test.moc"
