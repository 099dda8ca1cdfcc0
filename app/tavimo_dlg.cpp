#include "app/tavimo_dlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QSlider>
#include <QTextCursor>
#include <QUrl>
#include <algorithm>
#include <cstring>

#include "app/about_dlg.h"
#include "app/notice_box.h"
#include "app/platform.h"
#include "app/resources.h"
#include "app/spectrum_area.h"
#include "app/tavimo_app.h"
#include "export/wav_writer.h"
#include "loader/pcm_store.h"
#include "player/spectrum_fft.h"

using namespace tavimo;

namespace {

// A wave-out notice queued for the user-interface thread, the counterpart of
// the device's window messages.
class WaveOutEvent final : public QEvent {
 public:
  static QEvent::Type EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  explicit WaveOutEvent(const WaveOutNotice& notice) : QEvent(EventType()), m_notice(notice) {}
  const WaveOutNotice& notice() const { return m_notice; }

 private:
  WaveOutNotice m_notice;
};

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

CTavimoDlg::CTavimoDlg(TavimoPlatform& platform, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_pcm(std::make_unique<PcmStore>()) {
  m_hIcon = AppIcon();
  WaveOutEvent::EventType();  // registered before the audio thread can post one

  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setWindowTitle(kMainCaption);
  setAcceptDrops(true);
  setFont(DialogFont());

  m_menuBar = new QMenuBar(this);
  CreateMenu();
  m_spectrumArea = new SpectrumArea(this);
  m_spectrumArea->setObjectName(QStringLiteral("spectrumArea"));
  m_slider = new QSlider(Qt::Horizontal, this);
  m_slider->setObjectName(QStringLiteral("slider"));
  m_slider->setTickPosition(QSlider::NoTicks);
  m_slider->setFocusPolicy(Qt::TabFocus);
  m_richEdit = new NoticeBox(this);
  m_richEdit->setObjectName(QStringLiteral("richEdit"));
  connect(m_richEdit, &NoticeBox::linkClicked, this, &CTavimoDlg::OnRichEditLink);

  // Template geometry: the menu bar above a client area laid out in dialog units.
  const DialogUnits units = DialogUnits::ForFont(font());
  const int menuHeight = m_menuBar->sizeHint().height();
  const QSize client = units.Size(kMainClient.w, kMainClient.h);
  m_menuBar->setGeometry(0, 0, client.width(), menuHeight);
  auto place = [&](QWidget* widget, const DluRect& r) {
    widget->setGeometry(units.Rect(r.x, r.y, r.w, r.h).translated(0, menuHeight));
  };
  place(m_spectrumArea, kSpectrumRect);
  place(m_slider, kSliderRect);
  place(m_richEdit, kNoticeRect);
  setFixedSize(client.width(), client.height() + menuHeight);

  for (QWidget* child : {static_cast<QWidget*>(m_spectrumArea), static_cast<QWidget*>(m_slider),
                         static_cast<QWidget*>(m_richEdit), m_richEdit->viewport()}) {
    child->installEventFilter(this);
  }
  OnInitDialog();
}

CTavimoDlg::~CTavimoDlg() {
  // The device reads the blocks, which are members: stop it before they go.
  StopPlayback();
}

void CTavimoDlg::CreateMenu() {
  struct Item {
    const QString* text;
    int id;
    void (CTavimoDlg::*handler)();
  };
  auto addItems = [this](QMenu* menu, std::initializer_list<Item> items) {
    for (const Item& item : items) {
      if (item.text == nullptr) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(*item.text);
      action->setData(item.id);
      connect(action, &QAction::triggered, this, item.handler);
    }
  };
  addItems(m_menuBar->addMenu(kMenuFile), {{&kItemOpen, kCmdOpenVoiceFile, &CTavimoDlg::OnOpenVoiceFile},
                                           {&kItemExport, kCmdExportWav, &CTavimoDlg::OnExportWav},
                                           {nullptr, 0, nullptr},
                                           {&kItemExit, kCmdExit, &CTavimoDlg::OnExitCommand}});
  addItems(m_menuBar->addMenu(kMenuAbout), {{&kItemAbout, kCmdAbout, &CTavimoDlg::OnAboutCommand},
                                            {&kItemWebsite, kCmdWebsite, &CTavimoDlg::OnOpenWebsite},
                                            {&kItemHomePage, kCmdHomePage, &CTavimoDlg::OnOpenHomePage}});
}

void CTavimoDlg::OnInitDialog() {
  // This desktop gives the window no system menu, so there is no about item to add there.
  setWindowIcon(m_hIcon);
  m_areaWidth = m_spectrumArea->width();
  m_areaHeight = m_spectrumArea->height();
  m_slider->setRange(0, 100);
  m_richEdit->SetNotice(kNoticeText);
}

// Enter and Esc must not close the main window, whichever control has the focus.
bool CTavimoDlg::PreTranslateMessage(QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<QKeyEvent*>(event)->key();
  return key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool CTavimoDlg::eventFilter(QObject* watched, QEvent* event) {
  if (PreTranslateMessage(event)) return true;
  return QDialog::eventFilter(watched, event);
}

void CTavimoDlg::keyPressEvent(QKeyEvent* event) {
  if (PreTranslateMessage(event)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CTavimoDlg::done(int result) {
  StopPlayback();
  QDialog::done(result);
}

void CTavimoDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CTavimoDlg::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.append(url.toLocalFile());
  }
  event->acceptProposedAction();
  OnDropFiles(paths);
}

void CTavimoDlg::ShowMessage(const QString& text, QMessageBox::Icon icon) {
  m_platform.ShowMessage(this, text, QCoreApplication::applicationName(), icon, QMessageBox::Ok);
}

// ---- loading ----

bool CTavimoDlg::LoadVoiceFile(const QString& path) {
  // A fresh store: a file that fails to load leaves the open message intact.
  auto store = std::make_unique<PcmStore>();
  if (!store->LoadVoiceFile(LocalPath(path))) {
    ShowMessage(kMsgLoadFailed, QMessageBox::NoIcon);
    return false;
  }
  TakeOverStore(std::move(store));
  return true;
}

void CTavimoDlg::TakeOverStore(std::unique_ptr<PcmStore> store) {
  // The device plays copies of the blocks, so the old store may go now.
  m_pcm = std::move(store);
  StartPlayback();
  m_fileLoaded = true;
}

void CTavimoDlg::OnOpenVoiceFile() {
  const QString path = m_platform.ChooseOpenFile(this, kOpenFilter, kOpenDefaultSuffix);
  if (path.isEmpty()) return;
  LoadVoiceFile(path);
}

void CTavimoDlg::OnDropFiles(const QStringList& paths) {
  if (!paths.isEmpty()) LoadVoiceFile(paths.constFirst());
}

// ---- commands ----

void CTavimoDlg::OnExitCommand() { accept(); }

void CTavimoDlg::OnAboutCommand() {
  CAboutDlg about(this);
  m_platform.RunModal(about);
}

void CTavimoDlg::OnOpenWebsite() { m_platform.OpenUrl(kWebsiteUrl); }

void CTavimoDlg::OnOpenHomePage() { m_platform.OpenUrl(kHomePageUrl); }

void CTavimoDlg::OnRichEditLink(int start, int end) {
  QTextCursor cursor(m_richEdit->document());
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  m_richEdit->setTextCursor(cursor);
  const QString text = m_richEdit->textCursor().selectedText();
  // Most links are bare host names; one that names its scheme is opened as it stands.
  const bool hasScheme = text.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
                         text.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
  m_platform.OpenUrl(hasScheme ? text : QStringLiteral("http://") + text);
}

void CTavimoDlg::OnExportWav() {
  if (!m_fileLoaded) {
    ShowMessage(kMsgExportNotLoaded, QMessageBox::NoIcon);
    return;
  }
  QString path = m_platform.ChooseSaveFile(this, kSaveFilter);
  if (path.isEmpty()) return;
  // Only the file's own name decides; a folder such as my.wav.files does not.
  if (!QFileInfo(path).fileName().endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive)) {
    path += QStringLiteral(".wav");
  }
  if (QFileInfo::exists(path)) {
    const auto answer = m_platform.ShowMessage(
        this, kMsgOverwrite.arg(QDir::toNativeSeparators(path)), kOverwriteCaption,
        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  if (WriteWavFile(*m_pcm, LocalPath(path))) ShowMessage(kMsgExportDone, QMessageBox::NoIcon);
}

// ---- playback ----

void CTavimoDlg::PostWaveOutNotice(const WaveOutNotice& notice) {
  QCoreApplication::postEvent(this, new WaveOutEvent(notice));
}

bool CTavimoDlg::event(QEvent* event) {
  if (event->type() == WaveOutEvent::EventType()) {
    const WaveOutNotice& notice = static_cast<WaveOutEvent*>(event)->notice();
    if (notice.kind == WaveOutNoticeKind::Done) {
      OnWaveOutDone(notice.device, notice.header);
    } else {
      OnWaveOutClose(notice.device);
    }
    return true;
  }
  return QDialog::event(event);
}

// Copies the block that starts at `from`; what lies past the end of the
// message is silence.
void CTavimoDlg::FillBlock(int k, int32_t from) {
  uint8_t* block = m_waveBlock[static_cast<size_t>(k)].data();
  const int32_t available = std::clamp(m_pcm->byteCount - from, 0, kBlockBytes);
  if (available > 0) std::memcpy(block, m_pcm->buffer + from, static_cast<size_t>(available));
  std::memset(block + available, 0, static_cast<size_t>(kBlockBytes - available));
}

bool CTavimoDlg::StartPlayback() {
  WaveOut& out = m_platform.waveOut();
  out.Reset(m_hWaveOut);
  out.Close(m_hWaveOut);
  m_blockQueued = {false, false};
  m_hWaveOut = out.Open(WaveFormat{}, this);
  if (m_hWaveOut == kNoWaveOut) {
    ShowMessage(kMsgAudioDeviceError, QMessageBox::Warning);
    return false;
  }
  m_playPos = 0;
  FillBlock(0, 0);
  FillBlock(1, kBlockBytes);
  m_playPos = 2 * kBlockBytes;
  for (size_t k = 0; k < 2; ++k) {
    m_waveHeader[k] = WaveHeader{m_waveBlock[k].data(), static_cast<uint32_t>(kBlockBytes)};
    m_blockQueued[k] = out.Write(m_hWaveOut, &m_waveHeader[k]);
  }
  return true;
}

void CTavimoDlg::OnWaveOutDone(WaveOutHandle device, WaveHeader* header) {
  // Notices of a device that has since been replaced or stopped are old news.
  if (device == kNoWaveOut || device != m_hWaveOut) return;
  const int k = header == &m_waveHeader[0] ? 0 : header == &m_waveHeader[1] ? 1 : -1;
  if (k < 0) return;
  m_blockQueued[static_cast<size_t>(k)] = false;
  WaveOut& out = m_platform.waveOut();

  if (m_playPos >= m_pcm->byteCount) {
    // The other block holds the end of the message: let it play out first.
    if (m_blockQueued[0] || m_blockQueued[1]) return;
    out.Reset(m_hWaveOut);
    out.Close(m_hWaveOut);
    m_slider->setValue(0);
    m_playPos = 0;
    emit playbackEnded();
    return;
  }

  FillBlock(k, m_playPos);
  m_playPos += kBlockBytes;
  m_slider->setValue(m_playPos * 100 / m_pcm->byteCount);
  DrawSpectrum(m_waveBlock[static_cast<size_t>(k)].data());
  m_blockQueued[static_cast<size_t>(k)] = out.Write(m_hWaveOut, header);
}

void CTavimoDlg::OnWaveOutClose(WaveOutHandle device) {
  if (device == kNoWaveOut || device != m_hWaveOut) return;
  m_slider->setValue(0);
}

void CTavimoDlg::StopPlayback() {
  if (m_hWaveOut == kNoWaveOut) return;
  WaveOut& out = m_platform.waveOut();
  out.Reset(m_hWaveOut);
  out.Close(m_hWaveOut);
  m_hWaveOut = kNoWaveOut;
  m_blockQueued = {false, false};
}

void CTavimoDlg::DrawSpectrum(const uint8_t* block) {
  DownMixBlock(block, m_spectrumInput.data());
  const float* magnitude = theSpectrumFft.Transform(m_spectrumInput.data());
  const int32_t count = ComputeSpectrumBars(magnitude, std::min<int32_t>(m_barCount, kBarCount),
                                            m_binsPerBar, m_areaWidth, m_areaHeight, m_bars.data());
  m_spectrumArea->SetBars(m_bars.data(), count);
}
