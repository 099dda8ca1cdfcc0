#include "app/tavimo_app.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/qt_platform.h"
#include "app/resources.h"
#include "app/tavimo_dlg.h"
#include "player/spectrum_fft.h"

SpectrumFft theSpectrumFft;

void CTavimoApp::SetUpApplication(QApplication& app) {
  QApplication::setApplicationName(tavimo::kApplicationName);
  QApplication::setApplicationVersion(QStringLiteral("2.0.0.1"));
  QApplication::setOrganizationName(tavimo::kRegistryKey);
  auto* translator = new QTranslator(&app);
  if (translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(translator);
  }
}

bool CTavimoApp::InitInstance() {
  SetUpApplication(*qApp);
  QtPlatform platform;  // outlives the dialog, which stops its device on the way out
  CTavimoDlg dialog(platform);
  dialog.exec();
  return false;
}
