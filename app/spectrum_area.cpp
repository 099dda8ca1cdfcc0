#include "app/spectrum_area.h"

#include <QPainter>
#include <algorithm>

SpectrumArea::SpectrumArea(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void SpectrumArea::SetBars(const SpectrumBar* bars, int count) {
  m_count = std::clamp(count, 0, kMaxBars);
  std::copy(bars, bars + m_count, m_bars.begin());
  update();
}

void SpectrumArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  for (int i = 0; i < m_count; ++i) {
    const SpectrumBar& bar = m_bars[static_cast<size_t>(i)];
    const QRect area(QPoint(bar.left, bar.top), QPoint(bar.right - 1, bar.bottom - 1));
    if (area.isEmpty()) continue;
    painter.fillRect(area, QColor(bar.red, bar.green, bar.blue));
  }
}
