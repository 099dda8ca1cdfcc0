// What the main window asks of the desktop: file dialogs, message boxes,
// modal dialogs, the web browser and the audio output. The player uses the
// Qt and SDL versions (QtPlatform); tests put their own behind it.
#pragma once

#include <QMessageBox>
#include <QString>

class QDialog;
class QWidget;
class WaveOut;

class TavimoPlatform {
 public:
  virtual ~TavimoPlatform() = default;

  // Asks for an existing file to open. Empty when cancelled.
  virtual QString ChooseOpenFile(QWidget* parent, const QString& filter,
                                 const QString& defaultSuffix) = 0;

  // Asks for a file name to save under; the dialog does not ask about
  // replacing a file. Empty when cancelled.
  virtual QString ChooseSaveFile(QWidget* parent, const QString& filter) = 0;

  // Shows a modal message box and returns the button chosen.
  virtual QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
                                                  const QString& caption, QMessageBox::Icon icon,
                                                  QMessageBox::StandardButtons buttons) = 0;

  // Runs a dialog modally and returns its result.
  virtual int RunModal(QDialog& dialog) = 0;

  // Hands a web address to the desktop's browser.
  virtual bool OpenUrl(const QString& url) = 0;

  virtual WaveOut& waveOut() = 0;
};
