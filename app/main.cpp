// Tavimo: plays WeChat and QQ voice messages and exports them as WAV files.
#include <QApplication>

#include "app/tavimo_app.h"

namespace {
CTavimoApp theApp;
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  theApp.InitInstance();
  return 0;
}
