// The spectrum display: the transform against a plain DFT, the bar rules and
// what the black area shows.
#include <QImage>
#include <cmath>

#include "app/spectrum_area.h"
#include "player/spectrum_bars.h"
#include "player/spectrum_fft.h"
#include "test_support.h"

namespace {

using Signal = std::vector<float>;

// Amplitudes as the transform defines them, from a double-precision DFT.
std::vector<double> DftAmplitudes(const Signal& x) {
  const int n = static_cast<int>(x.size());
  std::vector<double> amplitudes(static_cast<size_t>(n / 2));
  for (int k = 0; k < n / 2; ++k) {
    double re = 0;
    double im = 0;
    for (int t = 0; t < n; ++t) {
      const double angle = 2 * M_PI * double(k) * double(t) / n;
      re += x[size_t(t)] * std::cos(angle);
      im -= x[size_t(t)] * std::sin(angle);
    }
    amplitudes[size_t(k)] = (k == 0 ? 1.0 : 2.0) * std::hypot(re, im) / n;
  }
  return amplitudes;
}

QByteArray ConstantBlock(int16_t sample) {
  QByteArray block(kSpectrumBlockBytes, 0);
  for (int i = 0; i < kSpectrumBlockBytes; i += 2) std::memcpy(block.data() + i, &sample, 2);
  return block;
}

}  // namespace

Q_DECLARE_METATYPE(Signal)

class SpectrumTest : public QObject {
  Q_OBJECT

 private slots:
  void transformMatchesDft_data() {
    QTest::addColumn<Signal>("input");
    Signal impulse(2048, 0.0f);
    impulse[5] = 1.0f;
    Signal tone(2048);
    Signal tones(2048);
    Signal noise(2048);
    uint32_t seed = 12345;
    for (int t = 0; t < 2048; ++t) {
      tone[size_t(t)] = float(0.8 * std::sin(2 * M_PI * 100 * t / 2048));
      tones[size_t(t)] = float(0.3 * std::cos(2 * M_PI * 37.5 * t / 2048) +
                               0.2 * std::sin(2 * M_PI * 811 * t / 2048 + 1.0) + 0.1);
      seed = seed * 1664525u + 1013904223u;
      noise[size_t(t)] = float(int32_t(seed) / 2147483648.0);
    }
    QTest::newRow("impulse") << impulse;
    QTest::newRow("tone on a bin") << tone;
    QTest::newRow("tones between bins, offset") << tones;
    QTest::newRow("full-scale noise") << noise;
  }
  void transformMatchesDft() {
    QFETCH(Signal, input);
    SpectrumFft fft;
    QCOMPARE(fft.stages, 11);
    QCOMPARE(fft.firstShift, 10);
    const float* magnitude = fft.Transform(input.data());
    const std::vector<double> expected = DftAmplitudes(input);
    double worst = 0;
    for (int k = 0; k < 1024; ++k) worst = std::max(worst, std::abs(magnitude[k] - expected[size_t(k)]));
    QVERIFY2(worst < 2e-5, qPrintable(QStringLiteral("largest error %1").arg(worst)));
  }

  // Boost ranges (strict edges), then the clamp above 1.
  void levelShaping_data() {
    QTest::addColumn<float>("level");
    QTest::addColumn<float>("shaped");
    QTest::newRow("9 pi range") << 0.007f << 0.19792f;
    QTest::newRow("3 pi range") << 0.05f << 0.4712389f;
    QTest::newRow("pi range, then clamped") << 0.4f << 0.9f;
    QTest::newRow("pi range") << 0.2f << 0.6283185f;
    for (float edge : {0.005f, 0.009f, 0.0095f, 0.01f, 0.1f, 0.5f}) {
      QTest::addRow("edge %g", double(edge)) << edge << edge;
    }
    QTest::newRow("quiet") << 0.001f << 0.001f;
    QTest::newRow("loud") << 0.7f << 0.7f;
    QTest::newRow("exactly 1") << 1.0f << 1.0f;
    QTest::newRow("above 1") << 1.5f << 0.9f;
  }
  void levelShaping() {
    QFETCH(float, level);
    QFETCH(float, shaped);
    QVERIFY2(std::abs(ShapeSpectrumLevel(level) - shaped) < 1e-5f,
             qPrintable(QString::number(double(ShapeSpectrumLevel(level)), 'g', 9)));
  }

  // Each bar sums its own 34 bins, weighted by ln(i + 2); bins 1020 to 1023
  // show nowhere.
  void barsSumTheirBins() {
    std::vector<float> magnitude(1024, 0.0f);
    for (int k = 3 * 34; k < 4 * 34; ++k) magnitude[size_t(k)] = 0.01f;  // bar 3: sum 0.34
    for (int k = 1020; k < 1024; ++k) magnitude[size_t(k)] = 100.0f;
    SpectrumBar bars[30];
    QCOMPARE(ComputeSpectrumBars(magnitude.data(), 30, 34, 300, 100, bars), 30);
    const float level = float(std::log(5.0) * 0.34);  // 0.547, not boosted
    for (int i = 0; i < 30; ++i) {
      QCOMPARE(bars[i].left, 10 * i);
      QCOMPARE(bars[i].right, 10 * i + 8);
      QCOMPARE(bars[i].bottom, 100);
      QCOMPARE(bars[i].top, i == 3 ? int((1 - level) * 100) : 100);
    }
    QCOMPARE(int(bars[3].green), int(level * 255));
    QCOMPARE(ComputeSpectrumBars(magnitude.data(), 0, 34, 300, 100, bars), 0);
  }

  // Silence leaves the area black; a full-scale constant block raises bar 0
  // alone, to 0.693 of the height in red 255, green 176, blue 50.
  void blocksOnScreen() {
    FakeWaveOut out;
    FakePlatform platform(out);
    CTavimoDlg dialog(platform);
    SpectrumArea* area = dialog.spectrumArea();
    const int height = area->height();

    dialog.DrawSpectrum(reinterpret_cast<const uint8_t*>(ConstantBlock(0).constData()));
    QCOMPARE(area->barCount(), 30);
    for (int i = 0; i < 30; ++i) QCOMPARE(area->bar(i).top, area->bar(i).bottom);
    QImage image = area->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) QCOMPARE(image.pixelColor(x, y), QColor(Qt::black));
    }

    dialog.DrawSpectrum(reinterpret_cast<const uint8_t*>(ConstantBlock(32767).constData()));
    const SpectrumBar& bar0 = area->bar(0);
    QCOMPARE(int(bar0.red), 255);
    QCOMPARE(int(bar0.green), 176);
    QCOMPARE(int(bar0.blue), 50);
    QCOMPARE(bar0.top, int(0.30685282f * float(height)));
    for (int i = 1; i < 30; ++i) QCOMPARE(area->bar(i).top, area->bar(i).bottom);

    // A repaint shows the last bars again.
    for (int repaint = 0; repaint < 2; ++repaint) {
      image = area->grab().toImage();
      QCOMPARE(image.pixelColor(bar0.left + 1, height - 1), QColor(255, 176, 50));
      QCOMPARE(image.pixelColor(bar0.left + 1, bar0.top - 1), QColor(Qt::black));
      QCOMPARE(image.pixelColor(area->bar(1).left + 1, height - 1), QColor(Qt::black));
    }
  }
};

TAVIMO_TEST_MAIN(SpectrumTest)
#include "app_spectrum_test.moc"
