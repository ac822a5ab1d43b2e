// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The journal on 100,000 flights: the totals by month, the list of a year, an import of all of
// them into a new journal, and the page check an opening for writing makes.
#include "journal.h"
#include "test_journal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <string>

using namespace meltor;
using namespace meltor::journal;

namespace {

constexpr int kFlights = 100'000;

bool Import(const QString& path, int count) {
  auto j = Journal::Open(path, Journal::Access::Write);
  if (!j) return false;
  auto import = (*j)->BeginImport();
  if (!import) return false;
  for (int i = 0; i < count; ++i) {
    if (!(*import)->Add(test::SyntheticEntry(i))) return false;
  }
  return (*import)->Commit().ok();
}

// A journal of kFlights flights, made once for the benchmarks that read it.
const QString& Logbook() {
  static QTemporaryDir dir;
  static const QString path = [] {
    const QString p = dir.filePath(QStringLiteral("journal.sqlite"));
    if (!Import(p, kFlights)) return QString();
    return p;
  }();
  return path;
}

void TotalsByMonth(benchmark::State& state) {
  auto j = Journal::Open(Logbook(), Journal::Access::Read);
  if (Logbook().isEmpty() || !j) return state.SkipWithError("no journal");
  for (auto _ : state) {
    auto t = (*j)->Total({}, Grouping::Month);
    if (!t || t->flights.flights != kFlights) return state.SkipWithError("wrong totals");
    benchmark::DoNotOptimize(t);
  }
}

// As a command does it: open the file for reading, total, close.
void OpenAndTotalsByMonth(benchmark::State& state) {
  if (Logbook().isEmpty()) return state.SkipWithError("no journal");
  for (auto _ : state) {
    auto j = Journal::Open(Logbook(), Journal::Access::Read);
    auto t = j ? (*j)->Total({}, Grouping::Month) : Result<Totals>(j.error());
    if (!t) return state.SkipWithError("wrong totals");
    benchmark::DoNotOptimize(t);
  }
}

// A year of the two-year logbook: half the flights, every field read.
void ListOfAYear(benchmark::State& state) {
  auto j = Journal::Open(Logbook(), Journal::Access::Read);
  if (Logbook().isEmpty() || !j) return state.SkipWithError("no journal");
  const Filter year{QDate(2023, 1, 1), QDate(2023, 12, 31), {}};
  qint64 seen = 0;
  for (auto _ : state) {
    auto n = (*j)->ForEach(year, [](const Entry& e) {
      benchmark::DoNotOptimize(e);
      return true;
    });
    if (!n) return state.SkipWithError("list failed");
    seen = *n;
  }
  state.SetLabel(std::to_string(seen) + " flights");
}

void OpenForWriting(benchmark::State& state) {
  if (Logbook().isEmpty()) return state.SkipWithError("no journal");
  for (auto _ : state) {
    auto j = Journal::Open(Logbook(), Journal::Access::Write);
    if (!j) return state.SkipWithError("not opened");
    benchmark::DoNotOptimize(j);
  }
}

void ImportAll(benchmark::State& state) {
  QTemporaryDir dir;
  int round = 0;
  for (auto _ : state) {
    if (!Import(dir.filePath(QStringLiteral("j%1.sqlite").arg(round++)), kFlights)) {
      return state.SkipWithError("import failed");
    }
  }
}

}  // namespace

BENCHMARK(TotalsByMonth)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenAndTotalsByMonth)->Unit(benchmark::kMillisecond);
BENCHMARK(ListOfAYear)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenForWriting)->Unit(benchmark::kMillisecond);
BENCHMARK(ImportAll)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
