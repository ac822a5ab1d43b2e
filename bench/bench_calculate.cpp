// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// One calculation end to end through the shared entry point on the shipped tables file: opening
// the file, reading the views, interpolating, rounding, texts.
#include "calculation.h"
#include "climb_tables.h"
#include "test_flights.h"

#include <benchmark/benchmark.h>

using namespace meltor;
using namespace Qt::StringLiterals;

namespace {

// The L-39 flight of the tests, changed into each case measured.
FlightInput Flight(const char* caseId) {
  const QString c = QString::fromLatin1(caseId);
  if (c == QStringLiteral("1b"))
    return test::Changed(test::L39Flight(), u"Bal=5 VidKm= ShtorkaZ=500 ShtorkaO=1500"_s);
  if (c == QStringLiteral("2a"))
    return test::Changed(test::L39Flight(), u"VidKm= Hpol=100 ShtorkaZ=50 ShtorkaO=150"_s);
  if (c == QStringLiteral("3a"))
    return test::Changed(test::L39Flight(), u"Hv=1050 ShtorkaZ=2000 ShtorkaO=3000"_s);
  return test::Changed(test::L39Flight(), u"Hv=1050"_s);
}

void Calculate(benchmark::State& state, const char* caseId, FileClimbTables::Mode mode) {
  FileClimbTables tables(QStringLiteral(MELTOR_SHIPPED_TABLES), {}, mode);
  const FlightInput in = Flight(caseId);
  const QLocale locale = QLocale::c();
  const CalcOutcome check = CalculateFlight(in, tables, locale);
  if (!check.ok() || CaseText(check.state.flightCase) != QString::fromLatin1(caseId)) {
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
