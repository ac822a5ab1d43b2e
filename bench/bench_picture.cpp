// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The picture of one flight: laid out and drawn into an image, written as SVG, encoded as PNG.
// The calculation is made once, outside the timing.
#include "climb_tables.h"
#include "flight_picture.h"

#include <QBuffer>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

using namespace meltor;

namespace {

// L-39 by day, 12 minutes, cloud 1500..5000 m, 3 km, at 7000 m (case 3c with the balance);
// with the hood from 5000 to 6000 m, case 3a.
CalcOutcome Flight(bool hood) {
  FlightInput in;
  in.cboTyp = QStringLiteral("Л-39");
  in.dayNight = DayNight::Day;
  in.txtTpolChas = QStringLiteral("0");
  in.txtTpolMin = QStringLiteral("12");
  in.txtBal = QStringLiteral("10");
  in.txtHn = QStringLiteral("1500");
  in.txtHv = QStringLiteral("5000");
  in.txtVidKm = QStringLiteral("3");
  in.txtHpol = QStringLiteral("7000");
  if (hood) {
    in.txtShtorkaZ = QStringLiteral("5000");
    in.txtShtorkaO = QStringLiteral("6000");
  }
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
