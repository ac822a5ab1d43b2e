// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The picture of one flight: laid out and drawn into an image, written as SVG, encoded as PNG.
// The calculation is made once, outside the timing.
#include "climb_tables.h"
#include "flight_picture.h"
#include "test_flights.h"

#include <QBuffer>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

using namespace meltor;
using namespace Qt::StringLiterals;

namespace {

// L-39 by day, 12 minutes, cloud 1500..5000 m, 3 km, at 7000 m (case 3c with the balance);
// with the hood from 5000 to 6000 m, case 3a.
CalcOutcome Flight(bool hood) {
  FlightInput in =
      test::Changed(test::L39Flight(), u"TpolChas=0 TpolMin=12 Hn=1500 Hv=5000 Hpol=7000"_s);
  if (hood) in = test::Changed(in, u"ShtorkaZ=5000 ShtorkaO=6000"_s);
  FileClimbTables tables(QStringLiteral(MELTOR_SHIPPED_TABLES));
  return CalculateFlight(in, tables, QLocale::c(), true);
}

void Image(benchmark::State& state, bool hood) {
  const CalcOutcome out = Flight(hood);
  for (auto _ : state) {
    QImage image = FlightPictureImage(out);
    benchmark::DoNotOptimize(image);
  }
}

void Svg(benchmark::State& state, bool hood) {
  const CalcOutcome out = Flight(hood);
  for (auto _ : state) {
    QByteArray svg = FlightPictureSvg(out);
    benchmark::DoNotOptimize(svg);
  }
}

void Png(benchmark::State& state, bool hood) {
  const CalcOutcome out = Flight(hood);
  for (auto _ : state) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FlightPictureImage(out).save(&buffer, "PNG");
    benchmark::DoNotOptimize(buffer.data());
  }
}

}  // namespace

BENCHMARK_CAPTURE(Image, case_3c, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Image, case_3a, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Svg, case_3c, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Svg, case_3a, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Png, case_3c, false)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);  // text needs the font database
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
