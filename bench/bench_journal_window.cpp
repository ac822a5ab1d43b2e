// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The journal window on a year of many flights: from making the window to the first painted frame
// of its list, with the year's list and totals read, and the process's peak memory.
//
//   bench_journal_window --make FILE [FLIGHTS]   makes FILE: FLIGHTS flights (100,000 unless
//                                                told) all dated in 2024
//   bench_journal_window FILE                    opens the window on 2024, prints one line:
//     "journal_window_ms=<ms> flights=<listed> lines_read=<lines> peak_rss_kb=<kB>"
//
// Run each opening in a fresh process, so that the peak memory is the window's, not the making's.
#include "first_paint.h"
#include "journal.h"
#include "journal_prompts.h"
#include "journal_session.h"
#include "journal_window.h"
#include "test_journal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QTableView>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

using namespace meltor;

namespace {

int Make(const QString& path, int flights) {
  if (QFileInfo::exists(path)) {
    std::fprintf(stderr, "%s exists\n", qPrintable(path));
    return 1;
  }
  auto journal = journal::Journal::Open(path, journal::Journal::Access::Write);
  auto import = journal ? (*journal)->BeginImport()
                        : journal::Result<std::unique_ptr<journal::Import>>(journal.error());
  if (!import) {
    std::fprintf(stderr, "%s\n", qPrintable(import.error().message));
    return 1;
  }
  for (int i = 0; i < flights; ++i) {
    journal::Entry e = test::SyntheticEntry(i);
    e.date = QDate(2024, 1, 1).addDays(i % 366);
    if (auto added = (*import)->Add(e); !added) {
      std::fprintf(stderr, "%s\n", qPrintable(added.error().message));
      return 1;
    }
  }
  if (auto done = (*import)->Commit(); !done) {
    std::fprintf(stderr, "%s\n", qPrintable(done.error().message));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() >= 3 && args[1] == QStringLiteral("--make")) {
    return Make(args[2], args.size() >= 4 ? args[3].toInt() : 100'000);
  }
  if (args.size() != 2 || !QFileInfo::exists(args[1])) {
    std::fprintf(stderr, "usage: bench_journal_window --make FILE [FLIGHTS] | FILE\n");
    return 2;
  }
  DialogPrompts prompts;
  QElapsedTimer clock;
  clock.start();
  JournalSession session(args[1]);
  JournalWindow window(session, prompts, PeriodAround(PeriodKind::Year, QDate(2024, 6, 1)));
  auto* list = window.findChild<QTableView*>(QStringLiteral("tblFlights"));
  const qint64 nanoseconds = ShowUntilFirstPaint(window, *list->viewport(), clock);
  if (nanoseconds < 0) return 1;
  std::printf("journal_window_ms=%.2f flights=%d lines_read=%lld peak_rss_kb=%ld\n",
              static_cast<double>(nanoseconds) / 1e6, window.model().rowCount(),
              static_cast<long long>(window.model().linesRead()), PeakRssKb());
  return 0;
}
