#include "app/resources.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>

namespace tavimo {

DialogUnits DialogUnits::ForFont(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogUnits{(width / 26 + 1) / 2, metrics.height()};
}

QFont DialogFont() {
  QFont font = QApplication::font();
  font.setPointSize(9);
  return font;
}

namespace {

QPixmap DrawIcon(int side) {
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(24, 24, 28));
  painter.drawEllipse(QRectF(0.5, 0.5, side - 1.0, side - 1.0));
  // Five bars, taller towards the middle, coloured like the spectrum.
  static constexpr double kHeights[] = {0.30, 0.55, 0.80, 0.55, 0.30};
  const double barWidth = side * 0.11;
  const double gap = side * 0.045;
  const double total = 5 * barWidth + 4 * gap;
  double x = (side - total) / 2;
  for (double height : kHeights) {
    const double h = height * side * 0.75;
    const int green = static_cast<int>(height * 255);
    painter.setBrush(QColor(255, green, 50));
    painter.drawRoundedRect(QRectF(x, (side - h) / 2, barWidth, h), barWidth / 3, barWidth / 3);
    x += barWidth + gap;
  }
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  for (int side : {16, 32, 48, 256}) icon.addPixmap(DrawIcon(side));
  return icon;
}

}  // namespace tavimo
