// The about box: icon, version, the maker's address and an OK button.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class CAboutDlg final : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  QLabel* iconLabel() const { return m_icon; }
  QLabel* versionLabel() const { return m_version; }
  QLabel* addressLabel() const { return m_address; }
  QPushButton* okButton() const { return m_ok; }

 private:
  QLabel* m_icon;
  QLabel* m_version;
  QLabel* m_address;
  QPushButton* m_ok;
};
