// The main window: menu, spectrum area, progress slider and notice box. It
// owns the decoded-audio store and plays it through the wave-out layer with
// two blocks that take turns.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QMessageBox>
#include <array>
#include <cstdint>
#include <memory>

#include "player/spectrum_bars.h"
#include "player/wave_out.h"

class NoticeBox;
class PcmStore;
class QMenuBar;
class QSlider;
class SpectrumArea;
class TavimoPlatform;

class CTavimoDlg final : public QDialog, private WaveOutClient {
  Q_OBJECT

 public:
  static constexpr int32_t kBlockBytes = kSpectrumBlockBytes;  // 4096 samples, 170.67 ms
  static constexpr int32_t kBarCount = 30;
  static constexpr int32_t kBinsPerBar = 34;

  explicit CTavimoDlg(TavimoPlatform& platform, QWidget* parent = nullptr);
  ~CTavimoDlg() override;

  // Menu commands and drops.
  void OnOpenVoiceFile();
  void OnDropFiles(const QStringList& paths);  // only the first file counts
  void OnExitCommand();
  void OnAboutCommand();
  void OnOpenWebsite();
  void OnOpenHomePage();
  void OnExportWav();
  // A click on the notice box's link that spans characters [start, end).
  void OnRichEditLink(int start, int end);

  // Loads a voice file; on success the new message replaces the old one and
  // plays. On failure the old message stays as it was. True on success.
  bool LoadVoiceFile(const QString& path);
  // Makes a decoded store the current message and plays it, as a successful
  // load does.
  void TakeOverStore(std::unique_ptr<PcmStore> store);

  // Playback.
  bool StartPlayback();
  void OnWaveOutDone(WaveOutHandle device, WaveHeader* header);
  void OnWaveOutClose(WaveOutHandle device);
  void DrawSpectrum(const uint8_t* block);

  const PcmStore& pcm() const { return *m_pcm; }
  bool fileLoaded() const { return m_fileLoaded; }
  int32_t playPos() const { return m_playPos; }
  WaveOutHandle waveOutHandle() const { return m_hWaveOut; }
  QMenuBar* menuBar() const { return m_menuBar; }
  SpectrumArea* spectrumArea() const { return m_spectrumArea; }
  QSlider* slider() const { return m_slider; }
  NoticeBox* richEdit() const { return m_richEdit; }

 signals:
  // The last block of the message has been played and the device closed.
  void playbackEnded();

 public slots:
  void done(int result) override;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void OnInitDialog();
  void CreateMenu();
  bool PreTranslateMessage(QEvent* event);
  void PostWaveOutNotice(const WaveOutNotice& notice) override;
  void FillBlock(int k, int32_t from);
  void StopPlayback();
  void ShowMessage(const QString& text, QMessageBox::Icon icon);

  TavimoPlatform& m_platform;
  QIcon m_hIcon;
  std::array<float, kSpectrumPoints> m_spectrumInput{};
  int32_t m_barCount = kBarCount;
  int32_t m_binsPerBar = kBinsPerBar;
  int32_t m_areaWidth = 0;
  int32_t m_areaHeight = 0;
  std::array<SpectrumBar, kBarCount> m_bars{};
  std::unique_ptr<PcmStore> m_pcm;
  WaveOutHandle m_hWaveOut = kNoWaveOut;
  std::array<WaveHeader, 2> m_waveHeader{};
  std::array<std::array<uint8_t, kBlockBytes>, 2> m_waveBlock{};
  std::array<bool, 2> m_blockQueued{};  // the block is with the current device
  int32_t m_playPos = 0;
  bool m_fileLoaded = false;
  QMenuBar* m_menuBar = nullptr;
  SpectrumArea* m_spectrumArea = nullptr;
  QSlider* m_slider = nullptr;
  NoticeBox* m_richEdit = nullptr;
};
