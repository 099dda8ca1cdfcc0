#include "app/qt_platform.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QUrl>

QString QtPlatform::ChooseOpenFile(QWidget* parent, const QString& filter,
                                   const QString& defaultSuffix) {
  QFileDialog dialog(parent, QString(), QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

QString QtPlatform::ChooseSaveFile(QWidget* parent, const QString& filter) {
  return QFileDialog::getSaveFileName(parent, QString(), QString(), filter, nullptr,
                                      QFileDialog::DontConfirmOverwrite);
}

QMessageBox::StandardButton QtPlatform::ShowMessage(QWidget* parent, const QString& text,
                                                    const QString& caption,
                                                    QMessageBox::Icon icon,
                                                    QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, caption, text, buttons, parent);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

int QtPlatform::RunModal(QDialog& dialog) { return dialog.exec(); }

bool QtPlatform::OpenUrl(const QString& url) {
  return QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
}
