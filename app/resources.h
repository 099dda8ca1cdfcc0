// Texts, command ids, dialog templates and the icon of the player.
#pragma once

#include <QIcon>
#include <QRect>
#include <QSize>
#include <QString>

class QFont;

namespace tavimo {

// Caption of every message box that names none.
inline const QString kApplicationName = QStringLiteral("Tavimo");
// Profile key named at start-up; nothing is stored under it.
inline const QString kRegistryKey = QStringLiteral("应用程序向导生成的本地应用程序");

// Menu 129 command ids.
enum CommandId : int {
  kCmdOpenVoiceFile = 32775,
  kCmdExit = 32776,
  kCmdAbout = 32779,
  kCmdWebsite = 32780,
  kCmdExportWav = 32782,
  kCmdHomePage = 32787,
};

// Control ids of template 102.
enum ControlId : int {
  kIdSpectrumArea = 1000,
  kIdSlider = 1001,
  kIdNoticeBox = 1002,
};

inline const QString kMenuFile = QStringLiteral("文件");
inline const QString kMenuAbout = QStringLiteral("关于");
inline const QString kItemOpen = QStringLiteral("打开(拖拽文件到窗口也可打开)");
inline const QString kItemExport = QStringLiteral("导出为wav文件");
inline const QString kItemExit = QStringLiteral("退出");
inline const QString kItemAbout = QStringLiteral("关于");
inline const QString kItemWebsite = QStringLiteral("官方网站");
inline const QString kItemHomePage = QStringLiteral("软件主页");

inline const QString kMainCaption = QStringLiteral("Tavimo");
inline const QString kAboutCaption = QStringLiteral("关于 Tavimo");
inline const QString kAboutVersion = QStringLiteral("Tavimo 3.0 版");
inline const QString kAboutOk = QStringLiteral("确定");

inline const QString kMsgLoadFailed =
    QStringLiteral("您播放的不是微信或QQ语音文件，或者该文件已经被损坏。");
inline const QString kMsgAudioDeviceError = QStringLiteral("audio device error!");
inline const QString kMsgExportNotLoaded =
    QStringLiteral("您需要先打开一个语音文件后才可以进行导出操作。");
inline const QString kMsgExportDone = QStringLiteral("导出成功");
inline const QString kMsgOverwrite = QStringLiteral("%1 已经存在，要替换它吗？");
inline const QString kOverwriteCaption = QStringLiteral("文件覆盖询问");

inline const QString kOpenFilter = QStringLiteral("微信/QQ语音文件(*.amr *.aud *.slk)");
inline const QString kOpenDefaultSuffix = QStringLiteral("amr");
inline const QString kSaveFilter = QStringLiteral("wav files (*wav)");

// The maker's web addresses.
inline const QString kWebsiteUrl = QStringLiteral("http://www.tavimo.example");
inline const QString kHomePageUrl = QStringLiteral("http://www.tavimo.example/player.html");
inline const QString kAboutAddress = QStringLiteral("www.tavimo.example");

// The notice shown in the read-only box: four lines, two naming another tool
// of ours with its address, which the box shows as a link.
inline const QString kNoticeText = QStringLiteral(
    "感谢使用 Tavimo！打开或拖入语音文件即可播放。\r\n"
    "语音剪辑工具：www.tavimo.example/cutter\r\n"
    "格式转换工具：www.tavimo.example/converter\r\n"
    "有问题或建议，欢迎到官方网站留言。");

// Dialog units of a dialog template, converted to pixels for the template's
// font the way the window system does it: a horizontal unit is a quarter of
// the font's average character width, a vertical unit an eighth of its height.
struct DialogUnits {
  int baseX;  // average character width, pixels
  int baseY;  // character height, pixels

  static DialogUnits ForFont(const QFont& font);
  int X(int units) const { return (units * baseX + 2) / 4; }
  int Y(int units) const { return (units * baseY + 4) / 8; }
  QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
  QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }
};

// The font of both dialog templates: the desktop's UI font at 9 points.
QFont DialogFont();

// Template rectangles in dialog units (x, y, width, height).
struct DluRect {
  int x, y, w, h;
};
inline constexpr DluRect kMainClient{0, 0, 222, 118};
inline constexpr DluRect kSpectrumRect{7, 7, 208, 39};
inline constexpr DluRect kSliderRect{7, 49, 208, 15};
inline constexpr DluRect kNoticeRect{7, 67, 208, 44};
inline constexpr DluRect kAboutClient{0, 0, 181, 60};
inline constexpr DluRect kAboutIconRect{14, 11, 20, 20};
inline constexpr DluRect kAboutVersionRect{42, 11, 114, 8};
inline constexpr DluRect kAboutAddressRect{42, 35, 70, 8};
inline constexpr DluRect kAboutOkRect{124, 39, 50, 14};

// The application icon: red-to-yellow bars on a dark disc, in four sizes.
QIcon AppIcon();

}  // namespace tavimo
