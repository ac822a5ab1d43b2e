// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// One calculation end to end through the shared entry point on the shipped tables file: opening
// the file, reading the views, interpolating, rounding, texts.
#include "calculation.h"
#include "climb_tables.h"

#include <benchmark/benchmark.h>

using namespace meltor;

namespace {

FlightInput Flight(const char* caseId) {
  FlightInput in;
  in.cboTyp = QStringLiteral("Л-39");
  in.dayNight = DayNight::Day;
  in.txtTpolChas = QStringLiteral("1");
  in.txtTpolMin = QStringLiteral("0");
  in.txtHpol = QStringLiteral("3000");
  const QString c = QString::fromLatin1(caseId);
  if (c == QStringLiteral("1b")) {
    in.txtBal = QStringLiteral("5");
    in.txtShtorkaZ = QStringLiteral("500");
    in.txtShtorkaO = QStringLiteral("1500");
  } else if (c == QStringLiteral("2a")) {
    in.txtBal = QStringLiteral("10");
    in.txtHn = QStringLiteral("200");
    in.txtHpol = QStringLiteral("100");
    in.txtShtorkaZ = QStringLiteral("50");
    in.txtShtorkaO = QStringLiteral("150");
  } else {
    in.txtBal = QStringLiteral("10");
    in.txtHn = QStringLiteral("200");
    in.txtHv = QStringLiteral("1050");
    in.txtVidKm = QStringLiteral("3");
    if (c == QStringLiteral("3a")) {
      in.txtShtorkaZ = QStringLiteral("2000");
      in.txtShtorkaO = QStringLiteral("3000");
    }
  }
  return in;
}

void Calculate(benchmark::State& state, const char* caseId, FileClimbTables::Mode mode) {
  FileClimbTables tables(QStringLiteral(MELTOR_SHIPPED_TABLES), {}, mode);
  const FlightInput in = Flight(caseId);
  const QLocale locale = QLocale::c();
  const CalcOutcome check = CalculateFlight(in, tables, locale);
  if (!check.ok() || check.state.caseId != QString::fromLatin1(caseId)) {
    state.SkipWithError("the flight does not take the case it is named for");
    return;
  }
  for (auto _ : state) {
    CalcOutcome out = CalculateFlight(in, tables, locale);
    benchmark::DoNotOptimize(out);
  }
}

}  // namespace

BENCHMARK_CAPTURE(Calculate, case_1b, "1b", FileClimbTables::Mode::Fresh)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Calculate, case_2a, "2a", FileClimbTables::Mode::Fresh)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Calculate, case_3a, "3a", FileClimbTables::Mode::Fresh)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Calculate, case_3c, "3c", FileClimbTables::Mode::Fresh)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Calculate, case_3a_snapshot, "3a", FileClimbTables::Mode::Snapshot)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
