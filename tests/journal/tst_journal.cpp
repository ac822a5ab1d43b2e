// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The journal of flights: what is saved comes back, totals are the sums of the saved minutes, and
// no saved flight is lost — not to a kill, a full disk, a busy or damaged file, or a failed import.
#include "calculation.h"
#include "climb_tables.h"
#include "csv.h"
#include "journal.h"
#include "journal_csv.h"
#include "journal_schema.h"
#include "test_journal.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <csignal>
#include <functional>
#include <map>

using namespace Qt::StringLiterals;
using namespace meltor;
using namespace meltor::journal;
using meltor::test::SyntheticEntry;

Q_DECLARE_METATYPE(meltor::journal::Filter)

namespace {

using Kind = JournalError::Kind;

// A file's bytes as a digest; a FIFO or device is not read.
QByteArray Digest(const QString& path) {
  if (!QFileInfo(path).isFile()) return "(not a file)";
  QFile f(path);
  return f.open(QIODevice::ReadOnly)
             ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
             : QByteArray("(none)");
}

QStringList Entries(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

std::unique_ptr<Journal> Must(Result<std::unique_ptr<Journal>> r) {
  if (!r) qWarning("%s", qPrintable(r.error().message));
  return r ? std::move(*r) : nullptr;
}

std::unique_ptr<Journal> OpenJournal(const QString& path, Journal::Access access, int busy = 10'000,
                                     std::span<const SchemaStep> steps = {}) {
  Journal::Options options;
  options.busyMilliseconds = busy;
  options.steps = steps;
  return Must(Journal::Open(path, access, options));
}

// Saves flights `first` … `first + count - 1` of the made-up logbook in one import.
bool Fill(const QString& path, int first, int count) {
  auto j = OpenJournal(path, Journal::Access::Write);
  if (!j) return false;
  auto import = j->BeginImport();
  if (!import) return false;
  for (int i = first; i < first + count; ++i) {
    if (!(*import)->Add(SyntheticEntry(i))) return false;
  }
  return (*import)->Commit().ok();
}

qint64 Pragma(const QString& path, const char* sql, QString* text = nullptr) {
  sqlite3* db = nullptr;
  qint64 value = -1;
  if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
      SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW) {
      value = sqlite3_column_int64(st, 0);
      if (text)
        *text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return value;
}

// The kind and message of a failure; -1 and nothing for a success.
template <typename T>
int KindOf(const Result<T>& r) {
  return r ? -1 : int(r.error().kind);
}
template <typename T>
QString MessageOf(const Result<T>& r) {
  return r ? QString() : r.error().message;
}

bool Exec(const QString& path, const char* sql) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

// Runs `body` in a forked child (as nobody when the test runs as root, where `asNobody`; with the
// file size limit `sizeLimit` when it is not negative) and returns what it returned, or why the
// child did not return.
QString InChild(const std::function<QString()>& body, bool asNobody = false,
                qint64 sizeLimit = -1) {
  int fds[2];
  if (::pipe(fds) != 0) return u"no pipe"_s;
  const passwd* nobody = asNobody && ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    if (sizeLimit >= 0) {
      std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the child
      const rlimit limit{static_cast<rlim_t>(sizeLimit), static_cast<rlim_t>(sizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (nobody && (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)) ::_exit(3);
    const QByteArray out = body().toUtf8();
    [[maybe_unused]] const ssize_t n = ::write(fds[1], out.constData(), out.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  QByteArray got;
  char chunk[4096];
  for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0;) got.append(chunk, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return u"child failed: %1"_s.arg(status);
  return QString::fromUtf8(got);
}

// Gives a folder and everything in it to nobody, when the test runs as root.
bool GiveToNobody(const QString& dir) {
  const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
  if (!nobody) return true;
  bool given = ::chmod(QFile::encodeName(dir).constData(), 0755) == 0 &&
               ::chown(QFile::encodeName(dir).constData(), nobody->pw_uid, nobody->pw_gid) == 0;
  for (const QString& name : Entries(dir)) {
    given = given && ::lchown(QFile::encodeName(QDir(dir).filePath(name)).constData(),
                              nobody->pw_uid, nobody->pw_gid) == 0;
  }
  return given;
}

QString KeyOf(Grouping g, const Entry& e) {
  const int month = e.date.month();
  switch (g) {
    case Grouping::None:
      return {};
    case Grouping::Month:
      return e.date.toString(u"yyyy-MM"_s);
    case Grouping::Quarter:
      return u"%1-Q%2"_s.arg(e.date.year()).arg((month + 2) / 3);
    case Grouping::Half:
      return u"%1-H%2"_s.arg(e.date.year()).arg(month <= 6 ? 1 : 2);
    case Grouping::Year:
      return QString::number(e.date.year());
    case Grouping::Type:
      return e.input.cboTyp;
    case Grouping::DayNight:
      return DayNightText(e.input.dayNight);
  }
  return {};
}

bool Takes(const Filter& f, const Entry& e) {
  return (!f.from.isValid() || e.date >= f.from) && (!f.to.isValid() || e.date <= f.to) &&
         (f.type.isEmpty() || e.input.cboTyp == f.type);
}

constexpr int kLogbook = 400;  // flights in the shared journal of the totals

// Entry `code % 1000` of the made-up logbook; `code / 1000` alters it: 1 another board number and
// remark, 2 the next day, 3 a blank after the flight height.
Entry Variant(int code) {
  Entry e = SyntheticEntry(code % 1000);
  switch (code / 1000) {
    case 1:
      e.board = u"99"_s;
      e.remark = u"другое примечание"_s;
      break;
    case 2:
      e.date = e.date.addDays(1);
      break;
    case 3:
      e.input.txtHpol += u' ';
      break;
  }
  return e;
}

}  // namespace

class JournalTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void calculatedFlight_data();
  void calculatedFlight();
  void editing();
  void totals_data();
  void totals();
  void balance_data();
  void balance();
  void importDuplicates_data();
  void importDuplicates();
  void importAllOrNothing_data();
  void importAllOrNothing();
  void notYetMade_data();
  void notYetMade();
  void refused_data();
  void refused();
  void readOnly_data();
  void readOnly();
  void busy_data();
  void busy();
  void diskFull_data();
  void diskFull();
  void killedImport_data();
  void killedImport();
  void concurrentAdds_data();
  void concurrentAdds();
  void migration_data();
  void migration();
  void backup_data();
  void backup();
  void texts_data();
  void texts();
  void csv_data();
  void csv();
  void fileIdentity();

 private:
  QTemporaryDir dir_;
  QString logbook_;  // kLogbook flights, for the totals
};

void JournalTest::initTestCase() {
  QVERIFY(dir_.isValid());
  logbook_ = dir_.filePath(u"logbook.sqlite"_s);
  QVERIFY(Fill(logbook_, 0, kLogbook));
}

// Rows of docs/examples/flights.csv, with the minutes batch -M gives them.
void JournalTest::calculatedFlight_data() {
  QTest::addColumn<QStringList>("inputs");  // type … height as the batch's columns
  QTest::addColumn<QList<qint64>>("minutes");
  QTest::newRow("ПМУ") << u"Л-39,1,0,0,,,10,,day,,,3000"_s.split(u',')
                       << QList<qint64>{0, 0, 0, 0, 0};
  QTest::newRow("cloud by day") << u"Л-39,1,0,10,600,2500,3,,day,,,4000"_s.split(u',')
                                << QList<qint64>{0, 2, 57, 1, 60};
  QTest::newRow("hood by night") << u"Л-39,1,0,6,,,5,,night,500,2000,3000"_s.split(u',')
                                 << QList<qint64>{59, 0, 0, 0, 0};
  QTest::newRow("above cloud") << u"Су-27,1,20,8,400,1800,6,,day,,,6000"_s.split(u',')
                               << QList<qint64>{0, 0, 80, 0, 80};
}

void JournalTest::calculatedFlight() {
  QFETCH(QStringList, inputs);
  QFETCH(QList<qint64>, minutes);
  FlightInput in;
  QString* texts[] = {&in.cboTyp, &in.txtTpolChas, &in.txtTpolMin, &in.txtBal,
                      &in.txtHn,  &in.txtHv,       &in.txtVidKm,   &in.txtVidSm};
  for (int i = 0; i < 8; ++i) *texts[i] = inputs[i];
  in.dayNight = inputs[8] == u"day"_s ? DayNight::Day : DayNight::Night;
  in.txtShtorkaZ = inputs[9];
  in.txtShtorkaO = inputs[10];
  in.txtHpol = inputs[11];
  FileClimbTables tables(QStringLiteral(MELTOR_SHIPPED_TABLES));
  const CalcOutcome outcome = CalculateFlight(in, tables, QLocale::c());
  QVERIFY(outcome.ok());
  const auto sha = FileSha256(QStringLiteral(MELTOR_SHIPPED_TABLES));
  QVERIFY2(sha.ok() && sha->size() == 64, qPrintable(MessageOf(sha)));

  const auto made = MakeEntry(QDate(2024, 3, 7), u" 12 "_s, u"по кругу"_s, in, outcome, *sha);
  QVERIFY2(made.ok(), qPrintable(MessageOf(made)));
  const QString path = QDir(dir_.path()).filePath(u"calc/%1.sqlite"_s.arg(QTest::currentDataTag()));
  auto j = OpenJournal(path, Journal::Access::Write);
  QVERIFY(j);
  const auto number = j->Add(*made);
  QVERIFY(number.ok());
  const auto back = j->Get(*number);
  QVERIFY(back.ok());
  QCOMPARE(back->date, QDate(2024, 3, 7));
  QCOMPARE(back->board, u"12"_s);
  QCOMPARE(back->remark, u"по кругу"_s);
  for (QString FlightInput::*m :
       {&FlightInput::cboTyp, &FlightInput::txtTpolChas, &FlightInput::txtBal, &FlightInput::txtHn,
        &FlightInput::txtHv, &FlightInput::txtVidKm, &FlightInput::txtVidSm,
        &FlightInput::txtShtorkaZ, &FlightInput::txtShtorkaO, &FlightInput::txtHpol,
        &FlightInput::txtTpolMin}) {
    QCOMPARE(back->input.*m, in.*m);
  }
  QCOMPARE(back->input.dayNight, in.dayNight);
  QCOMPARE(back->results.text, outcome.labels.text);
  QCOMPARE(QList<qint64>(back->minutes.begin(), back->minutes.end()), minutes);
  QCOMPARE(back->caseText, CaseText(outcome.state.flightCase));
  QVERIFY(!back->caseText.isEmpty());
  QCOMPARE(back->tablesSha256, *sha);
  QCOMPARE(back->programVersion, QStringLiteral(MELTOR_VERSION_TEXT));
  QVERIFY(qAbs(back->savedAt.secsTo(QDateTime::currentDateTimeUtc())) < 600);

  // A flight that was not calculated, or a tables identity that is no SHA-256, is not an entry.
  FlightInput broken = in;
  broken.txtHpol.clear();
  const CalcOutcome failed = CalculateFlight(broken, tables, QLocale::c());
  const auto refused = MakeEntry(QDate(2024, 3, 7), {}, {}, broken, failed, *sha);
  QVERIFY(!refused.ok() && refused.error().message.contains(u"не рассчитан"_s));
  QVERIFY(!MakeEntry(QDate(2024, 3, 7), {}, {}, in, outcome, u"abc"_s).ok());
}

void JournalTest::editing() {
  const QString folder = dir_.filePath(u"edit/deeper"_s);
  const QString path = QDir(folder).filePath(u"journal.sqlite"_s);
  auto j = OpenJournal(path, Journal::Access::Write);
  QVERIFY(j);
  QCOMPARE(*j->Count({}), 0);
  QVERIFY(!QFileInfo::exists(folder));  // nothing made before the first flight
  for (int i = 0; i < 6; ++i) QCOMPARE(*j->Add(SyntheticEntry(i)), qint64(i + 1));
  QVERIFY(j->exists());

  QVERIFY(j->Replace(3, SyntheticEntry(50)).ok());
  QCOMPARE(j->Get(3)->input.txtHpol, SyntheticEntry(50).input.txtHpol);
  QCOMPARE(j->Get(3)->number, qint64(3));
  QVERIFY(j->Delete(6).ok());
  QCOMPARE(*j->Add(SyntheticEntry(7)), qint64(7));  // a deleted number is not given again
  QCOMPARE(*j->Count({}), 6);
  for (const auto& [what, r] : std::vector<std::pair<QString, Result<>>>{
           {u"replace"_s, j->Replace(6, SyntheticEntry(1))},
           {u"delete"_s, j->Delete(6)},
           {u"get"_s, j->Get(6).ok() ? Result<>() : Result<>(j->Get(6).error())}}) {
    QVERIFY2(!r.ok() && r.error().kind == Kind::NotFound, qPrintable(what));
    QVERIFY2(r.error().message.contains(u"№ 6"_s), qPrintable(r.error().message));
  }
  Entry undated = SyntheticEntry(8);
  undated.date = {};
  QCOMPARE(KindOf(j->Add(undated)), int(Kind::BadInput));

  // Listed by date, then by number; the filter's ends are inclusive.
  QList<QPair<QDate, qint64>> seen;
  QVERIFY(j->ForEach({}, [&](const Entry& e) {
    seen << qMakePair(e.date, e.number);
    return true;
  }));
  QList<QPair<QDate, qint64>> sorted = seen;
  std::sort(sorted.begin(), sorted.end());
  QCOMPARE(seen, sorted);
  const Filter day{seen[2].first, seen[2].first, {}};
  QCOMPARE(*j->Count(day), std::count_if(seen.begin(), seen.end(),
                                         [&](const auto& s) { return s.first == day.from; }));
  int visits = 0;
  QCOMPARE(*j->ForEach({}, [&](const Entry&) { return ++visits < 2; }), 2);  // stops when told

  // Put back from a copy while open: what is read and written next is the file now there.
  const QString copy = QDir(folder).filePath(u"copy.sqlite"_s);
  QVERIFY(Fill(copy, 100, 2));
  QVERIFY(::rename(QFile::encodeName(copy).constData(), QFile::encodeName(path).constData()) == 0);
  QCOMPARE(*j->Count({}), 2);
  QVERIFY(j->Add(SyntheticEntry(9)).ok());
  QCOMPARE(*OpenJournal(path, Journal::Access::Read)->Count({}), 3);
}

void JournalTest::totals_data() {
  QTest::addColumn<int>("grouping");
  QTest::addColumn<QDate>("from");
  QTest::addColumn<QDate>("to");
  QTest::addColumn<QString>("type");
  const QDate none;
  QTest::newRow("all") << int(Grouping::None) << none << none << QString();
  QTest::newRow("by month") << int(Grouping::Month) << none << none << QString();
  QTest::newRow("by quarter") << int(Grouping::Quarter) << none << none << QString();
  QTest::newRow("by half") << int(Grouping::Half) << none << none << QString();
  QTest::newRow("by year") << int(Grouping::Year) << none << none << QString();
  QTest::newRow("by type") << int(Grouping::Type) << none << none << QString();
  QTest::newRow("by day-night") << int(Grouping::DayNight) << none << none << QString();
  QTest::newRow("2024 by month") << int(Grouping::Month) << QDate(2024, 1, 1) << QDate(2024, 12, 31)
                                 << QString();
  QTest::newRow("Су-27, spring 2023")
      << int(Grouping::DayNight) << QDate(2023, 3, 1) << QDate(2023, 5, 31) << u"Су-27"_s;
  QTest::newRow("one day") << int(Grouping::Type) << QDate(2023, 1, 8) << QDate(2023, 1, 8)
                           << QString();
  QTest::newRow("no flights") << int(Grouping::Month) << QDate(2030, 1, 1) << none << QString();
}

void JournalTest::totals() {
  QFETCH(int, grouping);
  QFETCH(QDate, from);
  QFETCH(QDate, to);
  QFETCH(QString, type);
  const Grouping g = static_cast<Grouping>(grouping);
  const Filter filter{from, to, type};
  // The sums worked out here, flight by flight, from the entries saved.
  std::map<QString, Sums> expected;
  Sums all;
  for (int i = 0; i < kLogbook; ++i) {
    const Entry e = SyntheticEntry(i);
    if (!Takes(filter, e)) continue;
    for (Sums* s : {&expected[KeyOf(g, e)], &all}) {
      ++s->flights;
      for (int k = 0; k < kResultCount; ++k) s->minutes[k] += e.minutes[k];
    }
  }
  auto j = OpenJournal(logbook_, Journal::Access::Read);
  QVERIFY(j);
  const auto t = j->Total(filter, g);
  QVERIFY(t.ok());
  QCOMPARE(t->groups.size(), expected.size());
  QStringList keys;
  for (const TotalsGroup& group : t->groups) {
    keys << group.key;
    QVERIFY2(expected.count(group.key), qPrintable(group.key));
    QCOMPARE(group.sums.flights, expected[group.key].flights);
    QCOMPARE(group.sums.minutes, expected[group.key].minutes);
  }
  // In time order, by the type's text, or day, night and then neither.
  const QStringList dayNight = {u"day"_s, u"night"_s, QString()};
  QStringList sorted = keys;
  std::sort(sorted.begin(), sorted.end(), [&](const QString& a, const QString& b) {
    return g == Grouping::DayNight ? dayNight.indexOf(a) < dayNight.indexOf(b) : a < b;
  });
  QCOMPARE(keys, sorted);
  QCOMPARE(t->flights.flights, all.flights);
  QCOMPARE(t->flights.minutes, all.minutes);
  QCOMPARE(t->grand.minutes, all.minutes);  // no opening balance in this journal
  QCOMPARE(*j->Count(filter), all.flights);
}

void JournalTest::balance_data() {
  QTest::addColumn<QDate>("from");
  QTest::addColumn<QDate>("to");
  QTest::addColumn<QString>("type");
  QTest::addColumn<QList<bool>>("counted");  // flights, zak_kab, obl, za_obl, ogr_vid, smu
  // Flights and zak_kab as of 2022-12-31, smu as of 2023-06-30; the other three never given.
  const QDate none;
  QTest::newRow("whole journal") << none << none << QString() << QList<bool>{1, 1, 0, 0, 0, 1};
  QTest::newRow("up to March 2023")
      << none << QDate(2023, 3, 31) << QString() << QList<bool>{1, 1, 0, 0, 0, 0};
  QTest::newRow("from its date") << QDate(2022, 12, 31) << none << QString()
                                 << QList<bool>{1, 1, 0, 0, 0, 1};
  QTest::newRow("from 2023") << QDate(2023, 1, 1) << none << QString()
                             << QList<bool>{0, 0, 0, 0, 0, 1};
  QTest::newRow("year 2024") << QDate(2024, 1, 1) << QDate(2024, 12, 31) << QString()
                             << QList<bool>{0, 0, 0, 0, 0, 0};
  QTest::newRow("one type") << none << none << u"Л-39"_s << QList<bool>{0, 0, 0, 0, 0, 0};
}

void JournalTest::balance() {
  QFETCH(QDate, from);
  QFETCH(QDate, to);
  QFETCH(QString, type);
  QFETCH(QList<bool>, counted);
  const QString path = dir_.filePath(u"balance.sqlite"_s);
  QFile::remove(path);
  QVERIFY(QFile::copy(logbook_, path));
  auto j = OpenJournal(path, Journal::Access::Write);
  QVERIFY(j);
  OpeningBalance b;
  b[BalanceItem::Flights] = BalanceValue{120, QDate(2022, 12, 31)};
  b[BalanceItem::ZakKab] = BalanceValue{600, QDate(2022, 12, 31)};
  b[BalanceItem::Smu] = BalanceValue{900, QDate(2023, 6, 30)};
  OpeningBalance negative = b;
  negative[BalanceItem::Obl] = BalanceValue{-1, QDate(2022, 12, 31)};
  QCOMPARE(KindOf(j->SetBalance(negative)), int(Kind::BadInput));
  QVERIFY(j->SetBalance(b).ok());
  QVERIFY(j->SetBalance(b).ok());  // set again: replaced, not added

  const auto t = j->Total({from, to, type}, Grouping::Month);
  QVERIFY(t.ok());
  QCOMPARE(QList<bool>(t->balanceCounted.begin(), t->balanceCounted.end()), counted);
  Sums expected = t->flights;
  for (int i = 0; i < kBalanceItemCount; ++i) {
    if (!counted[i]) continue;
    (i == 0 ? expected.flights : expected.minutes[i - 1]) += b.items[i]->amount;
  }
  QCOMPARE(t->grand.flights, expected.flights);
  QCOMPARE(t->grand.minutes, expected.minutes);
  QCOMPARE(t->balance[BalanceItem::Smu]->amount, qint64(900));
  QVERIFY(!t->balance[BalanceItem::Obl].has_value());
}

void JournalTest::importDuplicates_data() {
  QTest::addColumn<QList<int>>("before");  // Variant codes saved first
  QTest::addColumn<QList<int>>("imported");
  QTest::addColumn<int>("added");
  QTest::newRow("into a new journal") << QList<int>{} << QList<int>{1, 2, 3} << 3;
  QTest::newRow("the same again") << QList<int>{1, 2, 3} << QList<int>{1, 2, 3} << 0;
  QTest::newRow("some new") << QList<int>{1, 2} << QList<int>{1, 2, 3, 4} << 2;
  QTest::newRow("flights alike on a day") << QList<int>{5, 5} << QList<int>{5, 5, 5} << 1;
  QTest::newRow("alike within the file") << QList<int>{} << QList<int>{5, 5} << 2;
  QTest::newRow("another board and remark") << QList<int>{6} << QList<int>{1006} << 0;
  QTest::newRow("the next day") << QList<int>{6} << QList<int>{2006} << 1;
  QTest::newRow("a blank in a field") << QList<int>{6} << QList<int>{3006} << 1;
}

void JournalTest::importDuplicates() {
  QFETCH(QList<int>, before);
  QFETCH(QList<int>, imported);
  QFETCH(int, added);
  const QString path = dir_.filePath(u"dup-%1.sqlite"_s.arg(QTest::currentDataTag()));
  auto j = OpenJournal(path, Journal::Access::Write);
  QVERIFY(j);
  for (int code : before) QVERIFY(j->Add(Variant(code)).ok());
  for (int round = 0; round < 2; ++round) {
    auto import = j->BeginImport();
    QVERIFY(import.ok());
    for (int code : imported) QVERIFY((*import)->Add(Variant(code)).ok());
    const auto counts = (*import)->Commit();
    QVERIFY(counts.ok());
    QCOMPARE(counts->added, round == 0 ? added : 0);  // the second time nothing is new
    QCOMPARE(counts->duplicates, imported.size() - counts->added);
  }
  QCOMPARE(*j->Count({}), before.size() + added);
}

void JournalTest::importAllOrNothing_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("an entry without a date") << u"bad entry"_s;
  QTest::newRow("ended without saving") << u"dropped"_s;
  QTest::newRow("another change meanwhile") << u"add meanwhile"_s;
}

void JournalTest::importAllOrNothing() {
  QFETCH(QString, how);
  const QString path = dir_.filePath(u"all-or-nothing.sqlite"_s);
  QFile::remove(path);
  QVERIFY(Fill(path, 0, 20));
  const QByteArray before = Digest(path);
  {
    auto j = OpenJournal(path, Journal::Access::Write);
    QVERIFY(j);
    auto import = j->BeginImport();
    QVERIFY(import.ok());
    for (int i = 100; i < 1100; ++i) {
      Entry e = SyntheticEntry(i);
      if (i == 600 && how == u"bad entry"_s) e.date = QDate();
      const auto r = (*import)->Add(e);
      if (i == 600 && how == u"bad entry"_s) {
        QVERIFY(!r.ok() && r.error().message.contains(u"журнал не изменён"_s));
        QVERIFY(!(*import)->Add(SyntheticEntry(2000)).ok());  // over
        QVERIFY(!(*import)->Commit().ok());
        break;
      }
      QVERIFY(r.ok());
    }
    if (how == u"add meanwhile"_s) {
      const auto r = j->Add(SyntheticEntry(3000));
      QVERIFY(!r.ok() && r.error().message.contains(u"импорт"_s));
    }
    QCOMPARE(*j->Count({}), how == u"bad entry"_s ? 20 : 1020);  // inside: seen by the import
  }
  QCOMPARE(Digest(path), before);
  QCOMPARE(*OpenJournal(path, Journal::Access::Read)->Count({}), 20);
}

void JournalTest::notYetMade_data() {
  QTest::addColumn<QByteArray>("content");  // "none": no file at all
  QTest::newRow("no file") << QByteArray("none");
  QTest::newRow("an empty file") << QByteArray();
  QTest::newRow("an empty SQLite file") << QByteArray("sqlite");
}

void JournalTest::notYetMade() {
  QFETCH(QByteArray, content);
  QTemporaryDir work;
  const QString path = work.filePath(u"j.sqlite"_s);
  if (content == "sqlite") {
    QVERIFY(Exec(path, "PRAGMA user_version = 0; VACUUM"));
  } else if (content != "none") {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
  }
  const QByteArray before = Digest(path);
  for (const auto access : {Journal::Access::Read, Journal::Access::Write}) {
    auto j = OpenJournal(path, access);
    QVERIFY(j);
    QCOMPARE(*j->Count({}), 0);
    QVERIFY(j->Total({}, Grouping::Month)->groups.empty());
    QVERIFY(j->Balance()->empty());
    QCOMPARE(KindOf(j->Get(1)), int(Kind::NotFound));
    QCOMPARE(KindOf(j->Backup(work.filePath(u"copy"_s))), int(Kind::NotFound));
    QCOMPARE(Digest(path), before);  // opening and reading make nothing
    QCOMPARE(Entries(work.path()).size(), content == "none" ? 0 : 1);
  }
  auto j = OpenJournal(path, Journal::Access::Write);
  QCOMPARE(*j->Add(SyntheticEntry(1)), 1);
  QCOMPARE(Pragma(path, "PRAGMA application_id"), kApplicationId);
  QCOMPARE(Pragma(path, "PRAGMA user_version"), kSchemaVersion);
  QCOMPARE(*OpenJournal(path, Journal::Access::Read)->Count({}), 1);
}

void JournalTest::refused_data() {
  QTest::addColumn<QString>("make");
  QTest::addColumn<int>("kind");       // opening to write
  QTest::addColumn<QString>("words");  // in that message
  QTest::addColumn<bool>("readable");  // opening to read succeeds
  QTest::newRow("random bytes") << u"random"_s << int(Kind::NotAJournal)
                                << u"не база данных SQLite"_s << false;
  QTest::newRow("cut short") << u"truncated"_s << int(Kind::Damaged) << u"обрезан"_s << false;
  QTest::newRow("a tables file") << u"foreign"_s << int(Kind::NotAJournal) << u"другой программы"_s
                                 << false;
  QTest::newRow("another program's mark")
      << u"other id"_s << int(Kind::NotAJournal) << u"отметка 1234"_s << false;
  QTest::newRow("damaged pages") << u"corrupt"_s << int(Kind::Damaged) << u"проверка страниц"_s
                                 << true;
  QTest::newRow("a newer program's")
      << u"newer"_s << int(Kind::NewerVersion) << u"схема 2"_s << true;
  QTest::newRow("a newer program's, a column gone")
      << u"newer, unreadable"_s << int(Kind::NewerVersion) << u"схема 2"_s << false;
  QTest::newRow("a folder") << u"folder"_s << int(Kind::BadPath) << u"папка"_s << false;
  QTest::newRow("a FIFO") << u"fifo"_s << int(Kind::BadPath) << u"именованный канал"_s << false;
  QTest::newRow("a device") << u"/dev/null"_s << int(Kind::BadPath) << u"устройство"_s << false;
  QTest::newRow("a link to nothing")
      << u"dangling"_s << int(Kind::BadPath) << u"которого нет"_s << false;
}

void JournalTest::refused() {
  QFETCH(QString, make);
  QFETCH(int, kind);
  QFETCH(QString, words);
  QFETCH(bool, readable);
  QTemporaryDir work;
  QString path = work.filePath(u"j.sqlite"_s);
  const QByteArray name = QFile::encodeName(path);
  if (make == u"random"_s || make == u"truncated"_s || make == u"corrupt"_s ||
      make.startsWith(u"newer"_s)) {
    QVERIFY(QFile::copy(logbook_, path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    if (make == u"random"_s) {
      QByteArray noise(8192, '\0');
      for (char& c : noise) c = static_cast<char>(std::rand());
      f.write(noise);
    } else if (make == u"truncated"_s) {
      f.resize(f.size() / 2);
    } else if (make == u"corrupt"_s) {
      f.seek((f.size() / 4096 / 2) * 4096);  // a page in the middle
      f.write(QByteArray(4096, '\xAB'));
    }
    f.close();
    if (make == u"newer"_s) QVERIFY(Exec(path, "PRAGMA user_version = 2"));
    if (make == u"newer, unreadable"_s) {
      QVERIFY(Exec(path, "PRAGMA user_version = 2; ALTER TABLE entry DROP COLUMN remark"));
    }
  } else if (make == u"foreign"_s) {
    QVERIFY(Exec(path, "CREATE TABLE t (x); CREATE VIEW Z_Time_Pod_L39 AS SELECT 1, 2"));
  } else if (make == u"other id"_s) {
    QVERIFY(Exec(path, "PRAGMA application_id = 1234; CREATE TABLE entry (x)"));
  } else if (make == u"folder"_s) {
    QVERIFY(QDir().mkdir(path));
  } else if (make == u"fifo"_s) {
    QVERIFY(::mkfifo(name.constData(), 0600) == 0);
  } else if (make == u"dangling"_s) {
    QVERIFY(::symlink("/nowhere/journal.sqlite", name.constData()) == 0);
  } else {
    path = make;
  }
  const QByteArray before = Digest(path);
  const QStringList files = Entries(work.path());

  const auto w = Journal::Open(path, Journal::Access::Write);
  QVERIFY(!w.ok());
  QCOMPARE(int(w.error().kind), kind);
  QVERIFY2(w.error().message.contains(path) && w.error().message.contains(words),
           qPrintable(w.error().message));
  const auto r = Journal::Open(path, Journal::Access::Read);
  QCOMPARE(r.ok(), readable);
  if (make == u"corrupt"_s) {
    const auto t = (*r)->ForEach({}, [](const Entry&) { return true; });
    QVERIFY(!t.ok() && t.error().kind == Kind::Damaged && t.error().message.contains(path));
  } else if (readable) {
    QCOMPARE(*(*r)->Count({}), kLogbook);
    QCOMPARE((*r)->writeProblem()->kind, Kind::NewerVersion);
    const auto add = (*r)->Add(SyntheticEntry(1));
    QVERIFY2(!add.ok() && add.error().message.contains(u"более новой версией"_s),
             qPrintable(MessageOf(add)));
  } else {
    QCOMPARE(int(r.error().kind), kind);
    QVERIFY(r.error().message.contains(path));
  }
  QCOMPARE(Digest(path), before);
  QCOMPARE(Entries(work.path()), files);  // nothing beside it either
}

void JournalTest::readOnly_data() {
  QTest::addColumn<bool>("folder");  // the folder is read-only, else the file
  QTest::newRow("read-only file") << false;
  QTest::newRow("read-only folder") << true;
}

void JournalTest::readOnly() {
  QFETCH(bool, folder);
  QTemporaryDir work;
  const QString dir = work.filePath(u"ro"_s);
  QVERIFY(QDir().mkdir(dir));
  const QString path = QDir(dir).filePath(u"j.sqlite"_s);
  QVERIFY(Fill(path, 0, 3));
  QVERIFY(GiveToNobody(work.path()) && GiveToNobody(dir));
  QVERIFY(::chmod(QFile::encodeName(folder ? dir : path).constData(), folder ? 0555 : 0444) == 0);
  const QByteArray before = Digest(path);
  const QString report = InChild(
      [&] {
        QStringList out;
        auto r = Journal::Open(path, Journal::Access::Read);
        if (!r) return u"read: "_s + r.error().message;
        out << u"count %1"_s.arg(*(*r)->Count({}));
        out << u"total %1"_s.arg((*r)->Total({}, Grouping::Year)->flights.flights);
        out << (*r)->writeProblem()->message;
        const auto add = (*r)->Add(SyntheticEntry(9));
        out << (add ? u"added"_s : add.error().message);
        const auto w = Journal::Open(path, Journal::Access::Write);
        out << (w ? u"opened to write"_s : w.error().message);
        return out.join(u'\n');
      },
      true);
  ::chmod(QFile::encodeName(dir).constData(), 0755);
  const QStringList lines = report.split(u'\n');
  QVERIFY2(lines.size() == 5, qPrintable(report));
  QCOMPARE(lines[0], u"count 3"_s);
  QCOMPARE(lines[1], u"total 3"_s);
  const QString why = folder ? u"нет права на запись в папку"_s : u"нет права на запись в файл"_s;
  QVERIFY2(lines[2].contains(why), qPrintable(report));
  QVERIFY2(lines[3].contains(u"нельзя изменить"_s) && lines[3].contains(why), qPrintable(report));
  QVERIFY2(lines[4].contains(u"можно только читать"_s) && lines[4].contains(path),
           qPrintable(report));
  QCOMPARE(Digest(path), before);
  QCOMPARE(Entries(dir), QStringList{u"j.sqlite"_s});
}

void JournalTest::busy_data() {
  QTest::addColumn<QByteArray>("lock");  // what the other program holds
  QTest::addColumn<QString>("doing");
  QTest::newRow("writing, an add waits") << QByteArray("BEGIN IMMEDIATE") << u"add"_s;
  QTest::newRow("writing, an import waits") << QByteArray("BEGIN IMMEDIATE") << u"import"_s;
  QTest::newRow("committing, a read waits") << QByteArray("BEGIN EXCLUSIVE") << u"count"_s;
  QTest::newRow("committing, an opening waits") << QByteArray("BEGIN EXCLUSIVE") << u"open"_s;
}

void JournalTest::busy() {
  QFETCH(QByteArray, lock);
  QFETCH(QString, doing);
  const QString path = dir_.filePath(u"busy.sqlite"_s);
  QFile::remove(path);
  QVERIFY(Fill(path, 0, 5));
  auto j = OpenJournal(path, Journal::Access::Write, 300);
  QVERIFY(j);
  const QByteArray before = Digest(path);
  sqlite3* other = nullptr;
  QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
  QCOMPARE(sqlite3_exec(other, lock.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
  const auto failure = [](const auto& r) { return r ? JournalError{} : r.error(); };
  JournalError e;
  if (doing == u"add"_s) {
    e = failure(j->Add(SyntheticEntry(99)));
  } else if (doing == u"import"_s) {
    e = failure(j->BeginImport());
  } else if (doing == u"count"_s) {
    e = failure(j->Count({}));
  } else {
    e = failure(Journal::Open(path, Journal::Access::Write, {300, {}}));
  }
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  QCOMPARE(e.kind, Kind::Busy);
  QVERIFY2(e.message.contains(path) && e.message.contains(u"занят другой программой"_s) &&
               e.message.contains(u"ждали 0.3 с"_s),
           qPrintable(e.message));
  QCOMPARE(Digest(path), before);
  QCOMPARE(*j->Count({}), 5);  // and it is usable again once the other lets go
}

void JournalTest::diskFull_data() {
  QTest::addColumn<QString>("change");
  QTest::addColumn<int>("flights");   // imported at once
  QTest::addColumn<qint64>("limit");  // the file size limit; -1: the journal's size
  QTest::newRow("the journal cannot grow") << u"import"_s << 3000 << qint64(-1);
  QTest::newRow("nothing may be written: import") << u"import"_s << 1 << qint64(0);
  QTest::newRow("nothing may be written: a flight") << u"add"_s << 1 << qint64(0);
  QTest::newRow("nothing may be written: the balance") << u"balance"_s << 0 << qint64(0);
}

void JournalTest::diskFull() {
  QFETCH(QString, change);
  QFETCH(int, flights);
  QFETCH(qint64, limit);
  const QString path = dir_.filePath(u"full.sqlite"_s);
  QFile::remove(path);
  QVERIFY(Fill(path, 0, 10));
  const QByteArray before = Digest(path);
  const QString message = InChild(
      [&] {
        auto j = Journal::Open(path, Journal::Access::Write);
        if (!j) return j.error().message;
        if (change == u"add"_s) return MessageOf((*j)->Add(SyntheticEntry(100)));
        if (change == u"balance"_s) {
          OpeningBalance b;
          b[BalanceItem::Flights] = BalanceValue{10, QDate(2022, 12, 31)};
          return MessageOf((*j)->SetBalance(b));
        }
        auto import = (*j)->BeginImport();
        if (!import) return import.error().message;
        for (int i = 100; i < 100 + flights; ++i) {
          if (auto r = (*import)->Add(SyntheticEntry(i)); !r) return r.error().message;
        }
        return MessageOf((*import)->Commit());
      },
      false, limit < 0 ? QFileInfo(path).size() : limit);
  QVERIFY2(message.contains(path) && message.contains(u"журнал не изменён"_s) &&
               (message.contains(u"нет места"_s) || message.contains(u"предел размера"_s)),
           qPrintable(message));
  QCOMPARE(Digest(path), before);
  QCOMPARE(Entries(dir_.path()).filter(u"full"_s), QStringList{u"full.sqlite"_s});
}

void JournalTest::killedImport_data() {
  QTest::addColumn<int>("after");  // milliseconds; -1: not killed
  QTest::newRow("at once") << 30;
  QTest::newRow("early") << 250;
  QTest::newRow("later") << 900;
  QTest::newRow("not killed") << -1;
}

void JournalTest::killedImport() {
  QFETCH(int, after);
  constexpr int kFlights = 100'000;
  const QString path = dir_.filePath(u"killed.sqlite"_s);
  QFile::remove(path);
  QVERIFY(Fill(path, 0, 10));
  const pid_t pid = ::fork();
  if (pid == 0) {
    auto j = Journal::Open(path, Journal::Access::Write);
    auto import = j ? (*j)->BeginImport() : Result<std::unique_ptr<Import>>(j.error());
    for (int i = 0; import && i < kFlights; ++i) (void)(*import)->Add(SyntheticEntry(1000 + i));
    ::_exit(import && (*import)->Commit() ? 0 : 1);
  }
  if (after >= 0) {
    QTest::qSleep(after);
    ::kill(pid, SIGKILL);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (after < 0) QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  QString verdict;
  Pragma(path, "PRAGMA integrity_check", &verdict);
  QCOMPARE(verdict, u"ok"_s);
  const qint64 count = *OpenJournal(path, Journal::Access::Write)->Count({});
  QVERIFY2(count == 10 || count == 10 + kFlights, qPrintable(QString::number(count)));
  if (!WIFSIGNALED(status)) QCOMPARE(count, 10 + kFlights);  // it saved them: all are there
}

void JournalTest::concurrentAdds_data() {
  QTest::addColumn<bool>("made");  // the journal exists before
  QTest::newRow("the first flights of a journal") << false;
  QTest::newRow("a journal in use") << true;
}

void JournalTest::concurrentAdds() {
  QFETCH(bool, made);
  QTemporaryDir work;
  const QString path = work.filePath(u"new/j.sqlite"_s);
  if (made) QVERIFY(QDir().mkpath(work.filePath(u"new"_s)) && Fill(path, 0, 3));
  int start[2];
  QVERIFY(::pipe(start) == 0);
  std::vector<pid_t> children;
  for (int k = 0; k < 10; ++k) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(start[1]);
      char c;
      [[maybe_unused]] const ssize_t n = ::read(start[0], &c, 1);  // all start together
      auto j = Journal::Open(path, Journal::Access::Write);
      ::_exit(j && (*j)->Add(SyntheticEntry(500 + k)) ? 0 : 1);
    }
    children.push_back(pid);
  }
  ::close(start[0]);
  ::close(start[1]);
  for (const pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto j = OpenJournal(path, Journal::Access::Read);
  QCOMPARE(*j->Count({}), made ? 13 : 10);
  QStringList heights;
  (void)j->ForEach({}, [&](const Entry& e) {
    heights << e.input.txtHpol;
    return true;
  });
  for (int k = 0; k < 10; ++k) QVERIFY(heights.contains(SyntheticEntry(500 + k).input.txtHpol));
}

void JournalTest::migration_data() {
  QTest::addColumn<QByteArray>("step");
  QTest::addColumn<bool>("moved");  // the step succeeds
  QTest::newRow("a column added")
      << QByteArray("ALTER TABLE entry ADD COLUMN crew TEXT NOT NULL DEFAULT ''") << true;
  QTest::newRow("an index added") << QByteArray("CREATE INDEX entry_by_board ON entry (board)")
                                  << true;
  QTest::newRow("a step that fails") << QByteArray("ALTER TABLE nothing ADD COLUMN x") << false;
}

void JournalTest::migration() {
  QFETCH(QByteArray, step);
  QFETCH(bool, moved);
  QTemporaryDir work;
  const QString path = work.filePath(u"j.sqlite"_s);
  const QString kept = path + u".v1.bak"_s;
  QVERIFY(Fill(path, 0, 30));
  const QByteArray before = Digest(path);
  const SchemaStep steps[] = {{1, step.constData()}};

  const auto opened = Journal::Open(path, Journal::Access::Write, {10'000, steps});
  QCOMPARE(opened.ok(), moved);
  // The copy kept beside it is the old journal, whole.
  QCOMPARE(Pragma(kept, "PRAGMA user_version"), 1);
  QCOMPARE(*OpenJournal(kept, Journal::Access::Read)->Count({}), 30);
  if (!moved) {
    QVERIFY2(opened.error().message.contains(u"не обновлён"_s), qPrintable(opened.error().message));
    QCOMPARE(Digest(path), before);
    return;
  }
  QCOMPARE(Pragma(path, "PRAGMA user_version"), 2);
  QCOMPARE(*(*opened)->Count({}), 30);
  // This program, which knows schema 1, reads what it can and never writes.
  const auto older = Journal::Open(path, Journal::Access::Write);
  QVERIFY(!older.ok() && older.error().kind == Kind::NewerVersion);
  const auto reading = Journal::Open(path, Journal::Access::Read);
  QVERIFY(reading.ok());
  QCOMPARE(*(*reading)->Count({}), 30);
  QCOMPARE(KindOf((*reading)->Add(SyntheticEntry(1))), int(Kind::NewerVersion));
}

void JournalTest::backup_data() {
  QTest::addColumn<QString>("target");
  QTest::addColumn<QString>("refusal");  // empty: the copy is made
  QTest::newRow("while another program reads") << u"copy.sqlite"_s << QString();
  QTest::newRow("over an older copy") << u"old"_s << QString();
  QTest::newRow("into a folder") << u"folder"_s << u"папка"_s;
  QTest::newRow("over the journal itself") << u"self"_s << u"это сам журнал"_s;
}

void JournalTest::backup() {
  QFETCH(QString, target);
  QFETCH(QString, refusal);
  QTemporaryDir work;
  const QString path = work.filePath(u"j.sqlite"_s);
  QVERIFY(Fill(path, 0, 50));
  QString to = work.filePath(target);
  if (target == u"old"_s) {
    QFile f(to);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("old copy") == 8);
  } else if (target == u"folder"_s) {
    QVERIFY(QDir().mkdir(to));
  } else if (target == u"self"_s) {
    to = path;
  }
  auto j = OpenJournal(path, Journal::Access::Read);
  QVERIFY(j);
  sqlite3* other = nullptr;  // a reader in the middle of its transaction
  QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
  QCOMPARE(sqlite3_exec(other, "BEGIN; SELECT count(*) FROM entry", nullptr, nullptr, nullptr),
           SQLITE_OK);
  const QByteArray before = Digest(path);
  const Result<> r = j->Backup(to);
  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  QCOMPARE(Digest(path), before);
  if (!refusal.isEmpty()) {
    QVERIFY2(!r.ok() && r.error().message.contains(refusal), qPrintable(MessageOf(r)));
    return;
  }
  QVERIFY2(r.ok(), qPrintable(MessageOf(r)));
  auto copy = OpenJournal(to, Journal::Access::Write);
  QVERIFY(copy);
  QCOMPARE(*copy->Count({}), 50);
  QCOMPARE(copy->Total({}, Grouping::None)->flights.minutes,
           j->Total({}, Grouping::None)->flights.minutes);
  QCOMPARE(Entries(work.path()).size(), 2);  // no temporary file left
}

void JournalTest::texts_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("expected");  // the date as stored, or words of the refusal
  QTest::newRow("ISO") << u"2024-03-07"_s << u"2024-03-07"_s;
  QTest::newRow("as a spreadsheet writes it") << u"07.03.2024"_s << u"2024-03-07"_s;
  QTest::newRow("short day and month") << u" 7.3.2024 "_s << u"2024-03-07"_s;
  QTest::newRow("leap day") << u"29.02.2024"_s << u"2024-02-29"_s;
  QTest::newRow("no such day") << u"2023-02-29"_s << u"такого дня нет"_s;
  QTest::newRow("American order") << u"03/07/2024"_s << u"ГГГГ-ММ-ДД или ДД.ММ.ГГГГ"_s;
  QTest::newRow("two-digit year") << u"07.03.24"_s << u"не читается"_s;
  QTest::newRow("empty") << u""_s << u"не указана"_s;
  QTest::newRow("long ago") << u"1812-09-07"_s << u"раньше 1900"_s;
}

void JournalTest::texts() {
  QFETCH(QString, text);
  QFETCH(QString, expected);
  const auto date = ParseDate(text);
  if (date) {
    QCOMPARE(DateText(*date), expected);
  } else {
    QVERIFY2(date.error().message.contains(expected), qPrintable(date.error().message));
    QCOMPARE(date.error().kind, Kind::BadInput);
  }
}

void JournalTest::csv_data() {
  QTest::addColumn<QString>("journal");  // "logbook": the shared one; "typed": two flights below
  QTest::addColumn<Filter>("filter");
  QTest::addColumn<QString>("options");  // delimiter, then "bom" and "raw" when set
  QTest::addColumn<QString>("board");    // the first row's board cell as written; "*": any
  QTest::addColumn<bool>("refused");     // written to /dev/full
  const Filter all;
  const Filter quarter{QDate(2023, 4, 1), QDate(2023, 6, 30), u"Су-27"_s};
  QTest::newRow("the whole journal") << u"logbook"_s << all << u","_s << u"*"_s << false;
  QTest::newRow("a quarter of a type, for a Russian spreadsheet")
      << u"logbook"_s << quarter << u"; bom"_s << u"*"_s << false;
  QTest::newRow("typed formulas defused") << u"typed"_s << all << u","_s << u"'=1+1"_s << false;
  QTest::newRow("typed formulas as typed") << u"typed"_s << all << u", raw"_s << u"=1+1"_s << false;
  QTest::newRow("a device that refuses") << u"logbook"_s << all << u","_s << u"*"_s << true;
}

void JournalTest::csv() {
  QFETCH(QString, journal);
  QFETCH(Filter, filter);
  QFETCH(QString, options);
  QFETCH(QString, board);
  QFETCH(bool, refused);
  QString path = logbook_;
  if (journal == u"typed"_s) {
    path = dir_.filePath(u"typed.sqlite"_s);
    QFile::remove(path);
    auto j = OpenJournal(path, Journal::Access::Write);
    Entry e = SyntheticEntry(1);
    e.board = u"=1+1"_s;
    e.remark = u"@x, \"в кавычках\"\nвторая строка"_s;
    e.input.txtShtorkaZ = u"-100"_s;  // a number stays as it is
    QVERIFY(j && j->Add(e).ok() && j->Add(SyntheticEntry(2)).ok());
  }
  auto j = OpenJournal(path, Journal::Access::Read);
  QVERIFY(j);
  CsvOptions o;
  o.delimiter = options.at(0).toLatin1();
  o.byteOrderMark = options.contains(u"bom"_s);
  o.defuse = !options.contains(u"raw"_s);
  const qint64 count = *j->Count(filter);
  QVERIFY(count > 1);

  if (refused) {
    QFile full(u"/dev/full"_s);
    QVERIFY(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const auto written = WriteCsv(*j, filter, full, o);
    QVERIFY(written.ok());
    QVERIFY2(*written < count, qPrintable(QString::number(*written)));  // stopped early
    return;
  }
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  const auto written = WriteCsv(*j, filter, out, o);
  QVERIFY(written.ok());
  QCOMPARE(*written, count);
  QCOMPARE(out.data().startsWith("\xEF\xBB\xBF"), o.byteOrderMark);

  // Read back by the one CSV reader: the header, then each entry's row, in ForEach's order.
  QBuffer in;
  in.setData(out.data());
  in.open(QIODevice::ReadOnly);
  CsvReader reader(in, o.delimiter);
  QCOMPARE(reader.Next().value_or(QStringList()), CsvHeader());
  QCOMPARE(CsvHeader().size(), 28);
  QCOMPARE(CsvHeader().mid(4, 3), (QStringList{u"type"_s, u"hours"_s, u"minutes"_s}));
  qint64 rows = 0;
  QVERIFY(j->ForEach(filter, [&](const Entry& e) {
             const QStringList row = reader.Next().value_or(QStringList());
             if (row != CsvRow(e, o.defuse) || row[0] != QString::number(e.number)) return false;
             if (rows++ == 0 && board != u"*"_s && row[2] != board) return false;
             return row[21] == QString::number(e.minutes[0]) &&
                    row[25] == QString::number(e.minutes[4]) && row[27] == e.warnings.join(u"; "_s);
           }).ok());
  QCOMPARE(rows, count);
  QVERIFY(!reader.Next() && !reader.error());
  if (journal == u"typed"_s) {
    // The apostrophe goes only before what a spreadsheet would run: the hood's -100 is a number.
    QBuffer again;
    again.setData(out.data());
    again.open(QIODevice::ReadOnly);
    CsvReader first(again, o.delimiter);
    first.Next();
    const QStringList row = first.Next().value_or(QStringList());
    QCOMPARE(row[13], u"-100"_s);
    QCOMPARE(row[3].startsWith(u'\''), o.defuse);
  }
}

void JournalTest::fileIdentity() {
  // H:MM for totals of any size.
  const QList<QPair<qint64, QString>> times = {
      {0, u"0:00"_s}, {5, u"0:05"_s}, {125, u"2:05"_s}, {6000, u"100:00"_s}, {-65, u"-1:05"_s}};
  for (const auto& [minutes, text] : times) QCOMPARE(HoursMinutes(minutes), text);
  QCOMPARE(GroupLabel(Grouping::Quarter, u"2024-Q3"_s), u"III квартал 2024"_s);
  QCOMPARE(GroupLabel(Grouping::Month, u"2024-03"_s), u"март 2024"_s);

  // The tables file's identity: SHA-256 of its bytes; a FIFO is refused, not waited on.
  QTemporaryDir work;
  const QString file = work.filePath(u"abc"_s);
  QFile f(file);
  QVERIFY(f.open(QIODevice::WriteOnly) && f.write("abc") == 3);
  f.close();
  QCOMPARE(*FileSha256(file),
           u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"_s);
  const QString fifo = work.filePath(u"fifo"_s);
  QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
  QCOMPARE(KindOf(FileSha256(fifo)), int(Kind::BadPath));

  // The default journal is the window's whatever program asks, and asking makes nothing.
  QStandardPaths::setTestModeEnabled(true);
  const QString name = QCoreApplication::applicationName();
  QCoreApplication::setApplicationName(u"meltor-cli"_s);
  const QString fromCli = DefaultJournalPath();
  QCoreApplication::setApplicationName(u"Meltor"_s);
  QCOMPARE(fromCli, QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                        .filePath(u"journal.sqlite"_s));
  QCoreApplication::setApplicationName(name);
  QVERIFY(!QFileInfo::exists(fromCli));
}

QTEST_GUILESS_MAIN(JournalTest)
#include "tst_journal.moc"
