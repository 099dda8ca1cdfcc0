#include "app/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "app/resources.h"

using namespace tavimo;

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(kAboutCaption);
  setFont(DialogFont());
  const DialogUnits units = DialogUnits::ForFont(font());
  auto place = [&](QWidget* widget, const DluRect& r) {
    widget->setGeometry(units.Rect(r.x, r.y, r.w, r.h));
  };

  m_icon = new QLabel(this);
  place(m_icon, kAboutIconRect);
  const int side = std::min(m_icon->width(), m_icon->height());
  m_icon->setPixmap(AppIcon().pixmap(side, side));

  m_version = new QLabel(this);
  m_version->setTextFormat(Qt::PlainText);
  m_version->setText(kAboutVersion);
  place(m_version, kAboutVersionRect);

  m_address = new QLabel(this);
  m_address->setTextFormat(Qt::PlainText);
  m_address->setText(kAboutAddress);
  place(m_address, kAboutAddressRect);

  m_ok = new QPushButton(kAboutOk, this);
  m_ok->setDefault(true);
  place(m_ok, kAboutOkRect);
  connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(units.Size(kAboutClient.w, kAboutClient.h));
}
