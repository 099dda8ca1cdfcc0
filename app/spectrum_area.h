// The black area at the top of the main window that shows the spectrum bars.
#pragma once

#include <QWidget>
#include <array>

#include "player/spectrum_bars.h"

class SpectrumArea final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMaxBars = 64;

  explicit SpectrumArea(QWidget* parent);

  // Keeps the bars and repaints; every later repaint shows them again.
  void SetBars(const SpectrumBar* bars, int count);
  int barCount() const { return m_count; }
  const SpectrumBar& bar(int i) const { return m_bars[static_cast<size_t>(i)]; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<SpectrumBar, kMaxBars> m_bars{};
  int m_count = 0;
};
