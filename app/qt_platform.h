// The desktop as the player sees it: Qt dialogs and browser, SDL2 audio.
#pragma once

#include "app/platform.h"
#include "player/sdl_wave_out.h"

class QtPlatform final : public TavimoPlatform {
 public:
  QString ChooseOpenFile(QWidget* parent, const QString& filter,
                         const QString& defaultSuffix) override;
  QString ChooseSaveFile(QWidget* parent, const QString& filter) override;
  QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
                                          const QString& caption, QMessageBox::Icon icon,
                                          QMessageBox::StandardButtons buttons) override;
  int RunModal(QDialog& dialog) override;
  bool OpenUrl(const QString& url) override;
  WaveOut& waveOut() override { return m_waveOut; }

 private:
  SdlWaveOut m_waveOut;
};
