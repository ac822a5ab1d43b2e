// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "test_journal.h"

#include <QFile>

#include <sqlite3.h>

namespace meltor::test {

journal::Entry SyntheticEntry(int i) {
  static const QStringList types = {QStringLiteral("Л-39"),   QStringLiteral("Су-24"),
                                    QStringLiteral("Су-25"),  QStringLiteral("Су-27"),
                                    QStringLiteral("МиГ-29"), QStringLiteral("МиГ-31")};
  journal::Entry e;
  e.date = QDate(2023, 1, 1).addDays((i * 7) % 730);
  e.board = i % 3 == 0 ? QString() : QString::number(10 + i % 90);
  e.remark = i % 5 == 0 ? QStringLiteral("упражнение %1").arg(i % 40) : QString();
  FlightInput& in = e.input;
  in.cboTyp = types[i % types.size()];
  in.dayNight = i % 7 == 6 ? DayNight::None : (i % 2 ? DayNight::Night : DayNight::Day);
  const int flight = 20 + i % 100;
  in.txtTpolChas = QString::number(flight / 60);
  in.txtTpolMin = QString::number(flight % 60);
  in.txtBal = QString::number(i % 11);
  in.txtHn = QString::number(200 + (i % 13) * 100);
  in.txtHv = QString::number(1500 + (i % 17) * 100);
  in.txtVidKm = QString::number(1 + i % 9);
  in.txtHpol = QString::number(1000 + i);  // tells the flights apart
  const int hood = i % 4 == 0 ? flight / 2 : 0;
  const int obl = (i * 3) % 11;
  const int zaObl = i % 3 == 0 ? 0 : (i * 5) % (flight / 2 + 1);
  const int ogrVid = i % 5 == 0 ? 1 + i % 9 : 0;
  const int smu = hood ? 0 : obl + zaObl + ogrVid;
  e.minutes = {hood, obl, zaObl, ogrVid, smu};
  for (int k = 0; k < kResultCount; ++k) {
    e.results.text[k] = e.minutes[k]            ? MinutesText(static_cast<int>(e.minutes[k]))
                        : k == kResultCount - 1 ? QStringLiteral("ПМУ")
                                                : QStringLiteral("-");
  }
  e.caseText = QStringLiteral("3c");
  if (i % 11 == 0) e.warnings << QStringLiteral("Видимость, км: введено «4,5», прочитано 4");
  e.tablesSha256 = QStringLiteral("%1").arg(i % 2 ? u'a' : u'b').repeated(64);
  e.programVersion = QStringLiteral(MELTOR_VERSION_TEXT);
  return e;
}

QString MakeJournal(const QString& path, int count) {
  auto journal = journal::Journal::Open(path, journal::Journal::Access::Write);
  if (!journal) return journal.error().message;
  auto import = (*journal)->BeginImport();
  if (!import) return import.error().message;
  for (int i = 0; i < count; ++i) {
    if (auto added = (*import)->Add(SyntheticEntry(i)); !added) return added.error().message;
  }
  if (auto done = (*import)->Commit(); !done) return done.error().message;
  return {};
}

QString MakeNewer(const QString& path) {
  sqlite3* db = nullptr;
  const QByteArray sql = "PRAGMA user_version = " + QByteArray::number(journal::kSchemaVersion + 1);
  const bool done = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE,
                                    nullptr) == SQLITE_OK &&
                    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
  const QString error = done ? QString() : QString::fromUtf8(sqlite3_errmsg(db));
  sqlite3_close(db);
  return error;
}

}  // namespace meltor::test
