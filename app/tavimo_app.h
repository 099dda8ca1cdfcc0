// The application object: sets the application up and runs the main window.
#pragma once

class QApplication;
class SpectrumFft;

class CTavimoApp {
 public:
  // Names the application (the caption of message boxes) and its profile
  // key, and loads Qt's own translations for the standard buttons.
  static void SetUpApplication(QApplication& app);

  // Runs the main window modally until the user leaves it. Returns false:
  // the program ends when it returns.
  bool InitInstance();
};

// The one transform object of the spectrum display; its tables are built
// during static initialisation, before the application runs.
extern SpectrumFft theSpectrumFft;
