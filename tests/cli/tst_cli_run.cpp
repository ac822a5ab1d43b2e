// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// meltor-cli run as a program, on small tables files written here, so every expected result can
// be worked out by hand from the tables below.
//
// L-39 (in-cloud key: the cloud top)       Su-27 (in-cloud key: the layer's thickness)
//   climb: 100 m 60 s, 500 m 300 s,          climb: 500 m 120 s, 1000 m 240 s, 2000 m 480 s
//          1000 m 600 s, 2000 m 1200 s
//   in cloud: keys 1500, 2000                in cloud: keys 1000, 2000
//     base  500: 600 s, 900 s                  base  500: 180 s, 360 s
//     base 1000: 300 s, 600 s                  base 1000: 150 s, 300 s

#include "command.h"
#include "commands.h"
#include "csv.h"
#include "flight_fields.h"
#include "test_tables.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using meltor::test::ClimbViewSql;
using meltor::test::ViewSql;
using meltor::test::WriteTablesFile;

namespace {

struct Outcome {
  int code = -1;
  QString out;
  QString err;
  QByteArray outBytes;  // as written; decoding drops a byte order mark
};

QStringList Words(const QString& text) {
  return text.split(u' ', Qt::SkipEmptyParts);
}

const QStringList& Headings() {
  static const QStringList headings = {u"в закр. кабине"_s, u"в обл."_s, u"за обл."_s,
                                       u"при огр. видимости"_s, u"Всего в СМУ"_s};
  return headings;
}

// What calc prints for five labels given as one blank-separated text.
QString CalcText(const QString& labels) {
  const QStringList l = Words(labels);
  QString text;
  for (int i = 0; i < 5; ++i) text += Headings()[i] + u": "_s + l.value(i) + u'\n';
  return text;
}

QList<QStringList> ParseCsv(const QString& text, int* errorLine = nullptr) {
  QBuffer buffer;
  buffer.setData(text.toUtf8());
  buffer.open(QIODevice::ReadOnly);
  meltor::CsvReader reader(buffer);
  QList<QStringList> records;
  while (auto r = reader.Next()) records << *r;
  if (errorLine) *errorLine = reader.error() ? reader.error()->line : 0;
  return records;
}

const QStringList& OutputHeader() {
  static const QStringList header = Words(
      u"type hours minutes clouds base top vis_km vis_hm day_night hood_close hood_open height "
      u"zak_kab obl za_obl ogr_vid smu error warnings"_s);
  return header;
}

// Every command that writes a file: its words ({out}: the target, {dir}: the target's folder,
// {tables}: the shipped tables file, {csv}: an empty folder of CSV tables, {journal}: a copy of the
// example logbook's journal), the name of the file it writes in {dir}, and its standard input.
struct Writer {
  QString args;
  QString target;
  QByteArray input;
};

const Writer& WriterNamed(const QString& name) {
  static const QByteArray header = "type,minutes,clouds,vis_km,height\n"_ba;
  static const QByteArray flight = "L-39,90,0,1,1000\n"_ba;
  static const QByteArray flights = header + flight.repeated(40);
  static const std::map<QString, Writer> writers = {
      {u"batch -o"_s, {u"batch --tables {tables} -o {out}"_s, u"out.csv"_s, flights}},
      {u"calc --picture"_s,
       {u"calc -t L-39 -m 5 -c 0 -k 1 -a 100 --tables {tables} --picture {out}"_s, u"f.svg"_s, {}}},
      {u"batch --pictures"_s, {u"batch --tables {tables} -p {dir}"_s, u"1.svg"_s, header + flight}},
      {u"tables export"_s,
       {u"tables export --force --type L39 --tables {tables} {dir}"_s, u"L39_pod.csv"_s, {}}},
      {u"tables build"_s,
       {u"tables build --force --from {tables} -o {out} {csv}"_s, u"new.mdb"_s, {}}},
      {u"tables plot"_s, {u"tables plot --type L39 --tables {tables} -o {out}"_s, u"p.svg"_s, {}}},
      {u"journal export"_s, {u"journal export --journal {journal} -o {out}"_s, u"j.csv"_s, {}}},
      {u"journal backup"_s, {u"journal backup --journal {journal} {out}"_s, u"copy.db"_s, {}}},
  };
  return writers.at(name);
}

// The kind of what a path names itself (a link is not followed): 'f' a file, 'd' a folder, 'l' a
// link, 'p' a FIFO, 'c' a character device, '-' nothing.
char KindOf(const QString& path) {
  struct stat st {};
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return '-';
  return S_ISREG(st.st_mode)    ? 'f'
         : S_ISDIR(st.st_mode)  ? 'd'
         : S_ISLNK(st.st_mode)  ? 'l'
         : S_ISFIFO(st.st_mode) ? 'p'
         : S_ISCHR(st.st_mode)  ? 'c'
                                : '?';
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

// The entries of a journal file, or -1 when it cannot be read.
qint64 EntryCount(const QString& path) {
  if (!QFileInfo::exists(path)) return 0;
  sqlite3* db = nullptr;
  qint64 count = -1;
  if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
      SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM entry", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW) {
      count = sqlite3_column_int64(st, 0);
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return count;
}

QString Digest(const QString& path) {
  return QString::fromLatin1(
      QCryptographicHash::hash(ReadFile(path), QCryptographicHash::Sha256).toHex());
}

// The group of a flight as `journal totals --by` keys it.
QString GroupKey(const QString& by, const QDate& date, const QString& type,
                 const QString& dayNight) {
  if (by == u"month"_s) return date.toString(u"yyyy-MM"_s);
  if (by == u"quarter"_s) return u"%1-Q%2"_s.arg(date.year()).arg((date.month() + 2) / 3);
  if (by == u"half"_s) return u"%1-H%2"_s.arg(date.year()).arg(date.month() <= 6 ? 1 : 2);
  if (by == u"year"_s) return QString::number(date.year());
  if (by == u"type"_s) return type;
  if (by == u"day-night"_s) return dayNight;
  return {};
}

QString HoursAndMinutes(qint64 m) {
  return u"%1:%2"_s.arg(m / 60).arg(m % 60, 2, 10, QChar(u'0'));
}

// A file for journal import of `count` dated flights, none of them in the example logbook.
QByteArray ManyFlights(int count) {
  QByteArray text = "date,type,minutes,clouds,base,top,vis_km,day_night,height\n";
  for (int i = 0; i < count; ++i) {
    text += QDate(2026, 1, 1).addDays(i % 365).toString(Qt::ISODate).toLatin1() +
            ",L-39,60,10,600,2500,3,day," + QByteArray::number(1000 + i % 5000) + '\n';
  }
  return text;
}

const QString& ExampleJournal() {
  static const QString path = QStringLiteral(MELTOR_SOURCE_DIR "/docs/examples/journal.csv");
  return path;
}

// The program and the shipped tables a child runs with. As root the tests run the child as
// nobody, and the build may sit where nobody cannot go (a clone in /root): nobody then runs
// copies in `dir`, which the caller gives to nobody with the rest of its folder.
struct Runnable {
  QString program = QStringLiteral(MELTOR_CLI_PATH);
  QString tables = QStringLiteral(MELTOR_SHIPPED_TABLES);
};
std::optional<Runnable> CopiesForNobody(const passwd* nobody, const QString& dir) {
  Runnable run;
  if (!nobody) return run;
  const QString program = QDir(dir).filePath(u"meltor-cli"_s);
  const QString tables = QDir(dir).filePath(u"tables.mdb"_s);
  if (!QDir().mkpath(dir) || !QFile::copy(run.program, program) ||
      !QFile::copy(run.tables, tables)) {
    return std::nullopt;
  }
  return Runnable{program, tables};
}

}  // namespace

class CliRunTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void calcResults_data();
  void calcResults();
  void calcFailures_data();
  void calcFailures();
  void calcExplain_data();
  void calcExplain();
  void calcExplainFailure();
  void usageErrors_data();
  void usageErrors();
  void localeOfNumbers_data();
  void localeOfNumbers();
  void batchRoundTrip();
  void batchInput_data();
  void batchInput();
  void batchMissingColumns_data();
  void batchMissingColumns();
  void batchDayNight_data();
  void batchDayNight();
  void batchFaults_data();
  void batchFaults();
  void batchRowWithWrongFieldCount();
  void batchWithoutTablesFile();
  void batchTotalsInSpreadsheetDialect();
  void batchJson();
  void tablesCheckBrokenFile();
  void tablesCheckShippedFile_data();
  void tablesCheckShippedFile();
  void tablesList();
  void tablesShow_data();
  void tablesShow();
  void versionAndHelp_data();
  void versionAndHelp();
  void documented_data();
  void documented();
  void typeNames_data();
  void typeNames();
  void writeFailures_data();
  void writeFailures();
  void batchOutputFile();
  void batchDialect_data();
  void batchDialect();
  void batchFormulas();
  void batchSpoiltRows();
  void writers_data();
  void writers();
  void journalTotals_data();
  void journalTotals();
  void journalImport_data();
  void journalImport();
  void journalRoundTrip();
  void journalCommands_data();
  void journalCommands();
  void journalFaults_data();
  void journalFaults();
  void journalConcurrentAdds();
  void journalKilledImport();

 private:
  // Runs meltor-cli; `env` entries "NAME=value" set a variable, "NAME" alone removes it.
  Outcome Run(const QStringList& args, const QByteArray& input = {},
              const QStringList& env = {u"LC_ALL=C.UTF-8"_s}) const;
  QString Path(const QString& name) const { return dir_.filePath(name); }
  // "journal WORDS --journal JOURNAL" (without --journal when JOURNAL is empty), with the shipped
  // tables for add and import; {dir} in WORDS is the test's folder.
  QStringList JournalArgs(const QString& words, const QString& journal) const;

  QTemporaryDir dir_;
  QString tables_;
  QString journal_;  // the example logbook imported, for the journal's tests to copy
};

Outcome CliRunTest::Run(const QStringList& args, const QByteArray& input,
                        const QStringList& env) const {
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG", "LANGUAGE"})
    e.remove(QString::fromLatin1(name));
  for (const QString& item : env) {
    const qsizetype eq = item.indexOf(u'=');
    if (eq < 0) {
      e.remove(item);
    } else {
      e.insert(item.left(eq), item.mid(eq + 1));
    }
  }
  QProcess p;
  p.setProcessEnvironment(e);
  p.start(QStringLiteral(MELTOR_CLI_PATH), args);
  if (!p.waitForStarted()) return {};
  p.write(input);
  p.closeWriteChannel();
  if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) return {};
  const QByteArray out = p.readAllStandardOutput();
  return {p.exitCode(), QString::fromUtf8(out), QString::fromUtf8(p.readAllStandardError()), out};
}

void CliRunTest::initTestCase() {
  QVERIFY(dir_.isValid());
  tables_ = Path(u"small.mdb"_s);
  WriteTablesFile(
      tables_,
      ClimbViewSql(u"Z_Time_Pod_L39"_s, {{100, 60}, {500, 300}, {1000, 600}, {2000, 1200}}) +
          ViewSql(u"Z_Time_Obl_L39"_s,
                  {Words(u"0 1500 2000"_s), Words(u"500 600 900"_s), Words(u"1000 300 600"_s)}) +
          ClimbViewSql(u"Z_Time_Pod_Su27"_s, {{500, 120}, {1000, 240}, {2000, 480}}) +
          ViewSql(u"Z_Time_Obl_Su27"_s,
                  {Words(u"0 1000 2000"_s), Words(u"500 180 360"_s), Words(u"1000 150 300"_s)}));
  WriteTablesFile(Path(u"gone.mdb"_s),
                  ClimbViewSql(u"Z_Time_Pod_L39"_s, {{100, 60}, {500, 300}, {1000, 600}}) +
                      u"CREATE TABLE grid(a, b, c);\n"
                      u"CREATE VIEW \"Z_Time_Obl_L39\" AS SELECT * FROM grid;\n"
                      u"DROP TABLE grid;\n"_s);
  journal_ = Path(u"seed.sqlite"_s);
  QCOMPARE(Run(JournalArgs(u"import "_s + ExampleJournal(), journal_)).code, 0);
}

// ---- calc ----

void CliRunTest::calcResults_data() {
  QTest::addColumn<QString>("args");
  QTest::addColumn<QString>("labels");
  QTest::addColumn<QString>("tables");  // "shipped": the program's own; otherwise the small ones
  QTest::addColumn<QString>("err");     // the warnings on stderr

  const QString f3 =
      u"--type L-39 --hours 1 --minutes 0 --clouds 10 --base 500 --top 1500 --height 3000 "_s;
  QTest::newRow("3c: visibility at the day minimum")
      << f3 + u"--day --vis-km 3"_s << u"- 0.10 0.45 0.05 1.00"_s << QString() << QString();
  QTest::newRow("3f: hundreds of metres lift it above the day minimum")
      << f3 + u"--day --vis-km 4 --vis-hm 5"_s << u"- 0.10 0.45 - 0.55"_s << QString() << QString();
  QTest::newRow("3c: the same visibility is at the night minimum")
      << f3 + u"--night --vis-km 4 --vis-hm 5"_s << u"- 0.10 0.45 0.05 1.00"_s << QString()
      << QString();
  QTest::newRow("3f: neither day nor night, no minima")
      << f3 + u"--vis-km 3"_s << u"- 0.10 0.45 - 0.55"_s << QString() << QString();
  QTest::newRow("option=value")
      << u"--type=L-39 --hours=1 --minutes=0 --clouds=10 --base=500 --top=1500 --height=3000 --day "
         u"--vis-km=3"_s
      << u"- 0.10 0.45 0.05 1.00"_s << QString() << QString();
  // 450 s below and 450 s in cloud round to 8 min each; 8 + 8 + 45 exceeds the hour by one.
  QTest::newRow("3c: base between rows, a minute balanced")
      << u"--type L-39 --day --hours 1 --minutes 0 --clouds 10 --base 750 --top 1500 --vis-km 3 "
         u"--height 3000"_s
      << u"- 0.08 0.44 0.08 1.00"_s << QString() << QString();
  QTest::newRow("2b: below the cloud base")
      << u"--type L-39 --day --hours 1 --minutes 0 --clouds 10 --base 500 --top 1500 --vis-km 3 "
         u"--height 400"_s
      << u"- - - 1.00 1.00"_s << QString() << QString();
  QTest::newRow("1b: hood from 500 m to 1500 m, key 1000 m, 600 s")
      << u"--type L-39 --day --hours 1 --minutes 0 --clouds 5 --vis-km 10 --hood-close 500 "
         u"--hood-open 1500 --height 3000"_s
      << u"0.50 - - - ПМУ"_s << QString() << QString();
  QTest::newRow("1c: a negative height is a value, not an option")
      << u"--type L-39 --day --hours 1 --minutes 0 --clouds 5 --vis-km 10 --hood-close -100 "
         u"--hood-open 1500 --height 3000"_s
      << u"- - - - ПМУ"_s << QString()
      << u"meltor-cli: предупреждение, --hood-close: Шторка, высота закрытия, м: -100 м — "
         u"отрицательная высота, ниже земли; шторка поэтому не учитывается.\n"_s;
  // Hood 400..1000 m: its middle, 700 m, takes 420 s and lies in the cloud 500..1500 m; above
  // cloud 420 - 300 - 600 = -480 s. The numbers stand; stderr says why one is negative.
  QTest::newRow("3a: hood closed in cloud, warned")
      << f3 + u"--day --vis-km 3 --hood-close 400 --hood-open 1000"_s
      << u"0.53 0.10 -0.08 0.05 0.07"_s << QString()
      << u"meltor-cli: предупреждение, за обл. -0.08: отрицательное время (-480 с) — шторка "
         u"закрыта в облаках: середина участка под шторкой (700 м) ниже верхней границы облаков "
         u"(1500 м), и за облаками до неё выходит 420 − 300 − 600 = -480 с. Число оставлено, как "
         u"оно посчитано; в лётную книжку его не переносите, проверьте данные.\n"
         u"meltor-cli: предупреждение, Всего в СМУ 0.07: в сумму вошло отрицательное время (за "
         u"обл. -0.08), и сумма занижена.\n"_s;
  // An hour back: -3600 - 300 - 600 s above cloud, -75 min; 5 + 10 - 75 is the -60 of the flight.
  QTest::newRow("3c: negative flight time, warned")
      << u"--type L-39 --hours -1 --minutes 0 --clouds 10 --base 500 --top 1500 --height 3000 "
         u"--day --vis-km 3"_s
      << u"- 0.10 -1.15 0.05 -1.00"_s << QString()
      << u"meltor-cli: предупреждение, --hours: Время п-та: -1 ч 0 мин — отрицательное время "
         u"полёта. Результаты посчитаны как есть, но такого полёта не бывает: проверьте знак «-».\n"
         u"meltor-cli: предупреждение, за обл. -1.15: отрицательное время (-4500 с) — "
         u"отрицательное время полёта. Число оставлено, как оно посчитано; в лётную книжку его не "
         u"переносите, проверьте данные.\n"
         u"meltor-cli: предупреждение, Всего в СМУ -1.00: в сумму вошло отрицательное время (за "
         u"обл. -1.15), и сумма занижена.\n"_s;
  QTest::newRow("1a: hours left out read 0")
      << u"--type L-39 --day --minutes 90 --clouds 0 --vis-km 1 --height 1000"_s
      << u"- - - 1.30 1.30"_s << QString() << QString();
  const QString su27 =
      u" --day --hours 1 --minutes 0 --clouds 10 --base 500 --top 1500 --vis-km 3 --height 3000"_s;
  QTest::newRow("Su-27: key is the layer's thickness")
      << u"--type Su-27"_s + su27 << u"- 0.03 0.55 0.02 1.00"_s << QString() << QString();
  QTest::newRow("su-27 in lower case")
      << u"--type su-27"_s + su27 << u"- 0.03 0.55 0.02 1.00"_s << QString() << QString();
  QTest::newRow("Су-27 as the list has it")
      << u"--type Су-27"_s + su27 << u"- 0.03 0.55 0.02 1.00"_s << QString() << QString();
  // A comma ends the number: 4 km, at the day minimum. Said on stderr; the result stands.
  QTest::newRow("4,5 km read as 4, with a warning")
      << f3 + u"--day --vis-km 4,5"_s << u"- 0.10 0.45 0.05 1.00"_s << QString()
      << u"meltor-cli: предупреждение, --vis-km: Видимость, км: введено «4,5», прочитано 4 — "
         u"запятая заканчивает число: десятые доли километра (сотни метров) вводятся в поле после "
         u"запятой.\n"_s;
  // Base 0 gives 89.6 s in cloud under the top 1660 m: truncated to 89 s, 1 minute; 0 s below.
  QTest::newRow("shipped tables: in-cloud time truncated in the base's row")
      << u"--type L-39 --day --minutes 60 --clouds 10 --base 0 --top 1660 --vis-km 3 "
         u"--height 3000"_s
      << u"- 0.01 0.59 - 1.00"_s << u"shipped"_s << QString();
  QTest::newRow("short forms, bundled flags")
      << u"-t СУ27 -dH1 -m0 -c10 -b 500 -u 1500 -k 3 -a 3000"_s << u"- 0.03 0.55 0.02 1.00"_s
      << QString() << QString();
}

void CliRunTest::calcResults() {
  QFETCH(QString, args);
  QFETCH(QString, labels);
  QFETCH(QString, tables);
  QFETCH(QString, err);
  const QString file = tables == u"shipped"_s ? QStringLiteral(MELTOR_SHIPPED_TABLES) : tables_;
  const Outcome r = Run(QStringList{u"calc"_s, u"--tables"_s, file} + Words(args));
  QCOMPARE(r.err, err);
  QCOMPARE(r.code, 0);
  QCOMPARE(r.out, CalcText(labels));
}

void CliRunTest::calcFailures_data() {
  QTest::addColumn<QString>("tables");  // a file in the test's folder; empty: the small tables
  QTest::addColumn<QString>("args");
  QTest::addColumn<QString>("message");

  const QString flight =
      u" --day --hours 1 --minutes 0 --clouds 10 --base 500 --top 1500 --vis-km 3 --height 3000"_s;
  QTest::newRow("type not in the list, the spellings listed")
      << QString() << u"--type Boeing"_s + flight
      << u"--type (Тип самолёта): «Boeing» нет в списке. Допустимо (регистр букв не важен, вместо "
         u"дефиса — пробел или тире): Л-39, Су-24, Су-25, Су-27, МиГ-29, МиГ-31; Л39, Су24, Су25, "
         u"Су27, МиГ29, МиГ31; "
         u"L-39, Su-24, Su-25, Su-27, MiG-29, MiG-31; L39, Su24, Su25, Su27, MiG29, MiG31.\n"_s;
  QTest::newRow("flight height left out")
      << QString() << u"--type L-39 --hours 1 --minutes 0 --clouds 0"_s
      << u"--height (Высота п-та, м): поле не заполнено"_s;
  QTest::newRow("hours not a number") << QString() << u"-t L-39 -H abc --minutes 0 --height 100"_s
                                      << u"--hours (Время п-та, ч): «abc» — не число"_s;
  QTest::newRow("hood sum overflows")
      << QString() << u"--type L-39 --minutes 5 --height 100 --hood-close 30000 --hood-open 30000"_s
      << u"--hood-close: Переполнение"_s;
  QTest::newRow("no tables for the type")
      << QString() << u"--type Su-24"_s + flight << u"Z_Time_Pod_Su24"_s;
  QTest::newRow("tables file missing")
      << u"absent.mdb"_s << u"--type L-39"_s + flight << u"absent.mdb"_s;
  // The in-cloud view is run for every flight that meets cloud, not only above the top.
  const QString cannotRun =
      u"Файл таблиц %1, запрос «Z_Time_Obl_L39»: запрос не выполняется: no such table"_s.arg(
          Path(u"gone.mdb"_s));
  QTest::newRow("in-cloud view cannot run, flight above the top")
      << u"gone.mdb"_s << u"--type L-39"_s + flight << cannotRun;
  QTest::newRow("in-cloud view cannot run, flight at the top")
      << u"gone.mdb"_s << u"--type L-39"_s + QString(flight).replace(u"3000"_s, u"1500"_s)
      << cannotRun;
}

void CliRunTest::calcFailures() {
  QFETCH(QString, tables);
  QFETCH(QString, args);
  QFETCH(QString, message);
  const Outcome r =
      Run(QStringList{u"calc"_s, u"--tables"_s, tables.isEmpty() ? tables_ : Path(tables)} +
          Words(args));
  QCOMPARE(r.code, 1);
  QCOMPARE(r.out, QString());
  QVERIFY2(r.err.contains(message), qPrintable(r.err));
}

void CliRunTest::calcExplain_data() {
  QTest::addColumn<QString>("args");
  QTest::addColumn<QString>("labels");
  QTest::addColumn<QStringList>("lines");  // each a piece of one line of the explanation

  const QString flight = u"--type L-39 --day --hours 1 --minutes 0 --height 3000 "_s;
  QTest::newRow("1b")
      << flight + u"--clouds 5 --vis-km 10 --hood-close 500 --hood-open 1500"_s
      << u"0.50 - - - ПМУ"_s
      << QStringList{
             u"Видимость больше минимума, шторка: в закрытой кабине 50 мин (3600 − 600 = "
             u"3000 с)"_s,
             u"Набор до середины участка под шторкой, 1000 м: 10 мин (600 с) [Z_Time_Pod_L39: по таблице]"_s,
             u"Поправки нет: вместе 0 мин при полёте 60 мин, но заданы высоты шторки"_s};
  QTest::newRow("2b") << flight.chopped(5) + u"400 --clouds 10 --base 500 --top 1500 --vis-km 3"_s
                      << u"- - - 1.00 1.00"_s
                      << QStringList{
                             u"Погода ниже минимума (СМУ): видимость 3 км — не больше 4 км."_s,
                             u"полёт на 400 м — ниже нижней границы облаков 500 м"_s,
                             u"весь полёт при ограниченной видимости — 60 мин (3600 с) "
                             u"[случай 2b]"_s,
                             u"вместе 60 мин — как полёт"_s};
  QTest::newRow("3c on table rows")
      << flight + u"--clouds 10 --base 500 --top 1500 --vis-km 3"_s << u"- 0.10 0.45 0.05 1.00"_s
      << QStringList{u"Л-39, днём: минимум — нижняя граница выше 250 м, видимость больше 4 км"_s,
                     u"[таблицы Z_Time_Pod_L39 и Z_Time_Obl_L39]"_s,
                     u"Набор до нижней границы облаков 500 м: 5 мин (300 с) [Z_Time_Pod_L39: по "
                     u"таблице]"_s,
                     u"В облаках при нижней границе 500 м и верхней границе 1500 м: 10 мин (600 с) "
                     u"[Z_Time_Obl_L39: по таблице]"_s,
                     u"за облаками 45 мин (3600 − 300 − 600 = 2700 с) [случай 3c]"_s};
  // The cloud base halfway between rows: 450 s in both tables; 8 + 8 + 45 minutes is one more
  // than the hour, so a minute comes off the time above cloud.
  QTest::newRow("3c between rows, a minute balanced")
      << flight + u"--clouds 10 --base 750 --top 1500 --vis-km 3"_s << u"- 0.08 0.44 0.08 1.00"_s
      << QStringList{
             u"750 м: 8 мин (450 с) [Z_Time_Pod_L39: между строками 500 м (300 с) и "
             u"1000 м (600 с): 450 с]"_s,
             u"[Z_Time_Obl_L39: между нижними границами 500 м (600 с) и 1000 м (300 с): "
             u"450 с]"_s,
             u"В минутах (половина — к чётному): в закрытой кабине 0, в облаках 8, за "
             u"облаками 45, при ограниченной видимости 8; всего в СМУ 61 при полёте 60 мин"_s,
             u"61 мин, больше полёта (60 мин) — минута снята со времени за облаками"_s};
  // Not above the top: the rest of the flight after the climb to the base is in cloud.
  QTest::newRow("3f at the top")
      << flight.chopped(5) + u"1500 --clouds 10 --base 500 --top 1500 --vis-km 5"_s
      << u"- 0.55 - - 0.55"_s
      << QStringList{
             u"Полёт не выше верхней границы облаков 1500 м: в облаках весь полёт после "
             u"набора до них — 55 мин (3600 − 300 = 3300 с)"_s,
             u"за облаками 0 мин (3600 − 300 − 3300 = 0 с) [случай 3f]"_s};
  // What was typed in a box and left unread is told in the path too.
  QTest::newRow("4,5 km") << flight + u"--clouds 10 --base 500 --top 1500 --vis-km 4,5"_s
                          << u"- 0.10 0.45 0.05 1.00"_s
                          << QStringList{u"Внимание: Видимость, км: введено «4,5», прочитано 4"_s};
}

void CliRunTest::calcExplain() {
  QFETCH(QString, args);
  QFETCH(QString, labels);
  QFETCH(QStringList, lines);
  const Outcome r =
      Run(QStringList{u"calc"_s, u"--tables"_s, tables_, u"--explain"_s} + Words(args));
  QCOMPARE(r.code, 0);
  const QString head = CalcText(labels) + u"\nКак получен результат:\n"_s;
  QVERIFY2(r.out.startsWith(head), qPrintable(r.out));
  const QStringList explanation = r.out.mid(head.size()).split(u'\n', Qt::SkipEmptyParts);
  QVERIFY2(explanation.front().startsWith(u"  Полёт: высота "_s), qPrintable(r.out));
  QVERIFY2(explanation.back().contains(u"Поправк"_s), qPrintable(r.out));
  for (const QString& piece : lines) {
    QVERIFY2(explanation.filter(piece).size() == 1, qPrintable(piece + u"\n"_s + r.out));
  }
}

void CliRunTest::calcExplainFailure() {
  // Su-24 has a profile but no tables in this file: the path runs up to the first lookup.
  const Outcome r =
      Run({u"calc"_s,  u"--tables"_s, tables_,  u"--explain"_s, u"--type"_s, u"Su-24"_s,
           u"--day"_s, u"--hours"_s,  u"1"_s,   u"--minutes"_s, u"0"_s,      u"--clouds"_s,
           u"10"_s,    u"--base"_s,   u"500"_s, u"--top"_s,     u"1500"_s,   u"--vis-km"_s,
           u"3"_s,     u"--height"_s, u"3000"_s});
  QCOMPARE(r.code, 1);
  QStringList out = r.out.split(u'\n');
  QCOMPARE(out.takeLast(), QString());
  QCOMPARE(out.takeFirst(), u"Как получен результат:"_s);
  QVERIFY2(out.filter(u"Су-24, днём: минимум"_s).size() == 1, qPrintable(r.out));
  QVERIFY2(out.filter(u"Погода ниже минимума"_s).size() == 1, qPrintable(r.out));
  const QString stop = out.back();
  QVERIFY2(stop.startsWith(u"  Расчёт остановлен: "_s), qPrintable(r.out));
  QVERIFY2(stop.contains(u"Z_Time_Pod_Su24"_s), qPrintable(stop));
  QCOMPARE(r.err, u"meltor-cli: %1\n"_s.arg(stop.mid(21)));
}

void CliRunTest::usageErrors_data() {
  QTest::addColumn<QString>("args");
  QTest::addColumn<QString>("message");
  QTest::newRow("no command") << QString() << u"команда"_s;
  QTest::newRow("unknown command") << u"fly"_s << u"«fly»"_s;
  QTest::newRow("calc without --type") << u"calc --hours 1"_s << u"--type"_s;
  QTest::newRow("option without its value") << u"calc --day --type"_s << u"--type"_s;
  QTest::newRow("unknown option") << u"calc --type L-39 --speed 5"_s << u"--speed"_s;
  QTest::newRow("day and night") << u"calc --type L-39 --day --night"_s << u"--night"_s;
  QTest::newRow("option twice") << u"calc --type L-39 --type Su-27"_s << u"--type"_s;
  QTest::newRow("flag with a value") << u"calc --type L-39 --day=yes"_s << u"--day"_s;
  QTest::newRow("stray argument") << u"calc --type L-39 extra"_s << u"«extra»"_s;
  QTest::newRow("batch of two files") << u"batch a.csv b.csv"_s << u"batch"_s;
  QTest::newRow("batch, unknown option") << u"batch --sum"_s << u"--sum"_s;
  QTest::newRow("batch, unknown format") << u"batch --format xml"_s << u"«xml»"_s;
  QTest::newRow("batch, unknown delimiter") << u"batch --delimiter |"_s << u"«|»"_s;
  QTest::newRow("batch, byte order mark in JSON") << u"batch --format json --bom"_s << u"--bom"_s;
  QTest::newRow("tables alone") << u"tables"_s << u"list"_s;
  QTest::newRow("tables show without a name") << u"tables show"_s << u"show"_s;
  QTest::newRow("tables, unknown subcommand") << u"tables drop"_s << u"«drop»"_s;
  QTest::newRow("tables list, stray argument") << u"tables list extra"_s << u"«extra»"_s;
  QTest::newRow("--version with an argument") << u"--version now"_s << u"--version"_s;
  QTest::newRow("short option unknown") << u"calc -t L-39 -x"_s << u"«-x»"_s;
  QTest::newRow("long option with one dash") << u"calc -t L-39 -height 5"_s << u"--height"_s;
  QTest::newRow("empty tables file name") << u"calc -t L-39 --tables="_s << u"--tables"_s;
  QTest::newRow("tables, empty file name") << u"tables list --tables="_s << u"--tables"_s;
  QTest::newRow("batch, unknown encoding") << u"batch --encoding latin9"_s << u"«latin9»"_s;
  QTest::newRow("batch, unknown input delimiter")
      << u"batch --input-delimiter |"_s << u"--input-delimiter «|»"_s;
  QTest::newRow("tables check, unknown encoding")
      << u"tables check --encoding latin9 ."_s << u"«latin9»"_s;
  QTest::newRow("tables build, unknown delimiter")
      << u"tables build -o x.mdb --delimiter | ."_s << u"--delimiter «|»"_s;
  QTest::newRow("batch, --bom and --no-bom") << u"batch --bom --no-bom"_s << u"--no-bom"_s;
  QTest::newRow("batch, raw echo in JSON") << u"batch -f json --raw"_s << u"--raw"_s;
  QTest::newRow("option before the command") << u"--type L-39 calc"_s << u"«--type»"_s;
  QTest::newRow("control characters before the command")
      << u"--x\u001B[2J calc"_s << u"«--x<U+001B>[2J»"_s;
  QTest::newRow("control characters in a subcommand")
      << u"tables dr\u0007op"_s << u"«dr<U+0007>op»"_s;
  QTest::newRow("control characters in a stray argument")
      << u"tables check . b\u001B"_s << u"«b<U+001B>»"_s;
  QTest::newRow("journal alone") << u"journal"_s << u"нужна подкоманда: add, list"_s;
  QTest::newRow("journal, unknown subcommand") << u"journal drop"_s << u"«drop»"_s;
  QTest::newRow("journal add, no such day") << u"journal add -t L-39 --date 2025-02-30"_s
                                            << u"--date: дата «2025-02-30»: такого дня нет"_s;
  QTest::newRow("journal list, a type nobody knows")
      << u"journal list -t Ту-22"_s << u"--type: «Ту-22» нет в списке"_s;
  QTest::newRow("journal list, --from after --to")
      << u"journal list --from 2025-03-01 --to 28.02.2025"_s
      << u"--from 2025-03-01 позже --to 2025-02-28"_s;
  QTest::newRow("journal totals, unknown grouping") << u"journal totals --by week"_s << u"«week»"_s;
  QTest::newRow("journal totals, unknown format") << u"journal totals -f xml"_s << u"«xml»"_s;
  QTest::newRow("journal balance, --date alone")
      << u"journal balance --date 2024-12-31"_s << u"--date без итогов"_s;
  QTest::newRow("journal balance, minutes without their date")
      << u"journal balance --obl 90"_s << u"нужна --date"_s;
  QTest::newRow("journal balance, H.MM is no time")
      << u"journal balance --date 2024-12-31 --obl 1.30"_s << u"--obl «1.30» — нужны минуты"_s;
  QTest::newRow("journal balance, flights in H:MM")
      << u"journal balance --date 2024-12-31 --flights 1:30"_s << u"нужно число полётов"_s;
  QTest::newRow("journal delete, not a number") << u"journal delete x"_s << u"«x» — не номер"_s;
  QTest::newRow("journal delete, nothing to delete") << u"journal delete"_s << u"номер записи"_s;
  QTest::newRow("journal import, no file") << u"journal import"_s << u"файл CSV"_s;
  QTest::newRow("journal export, unknown delimiter")
      << u"journal export --delimiter |"_s << u"--delimiter «|»"_s;
  QTest::newRow("journal, a wait too long") << u"journal list --wait 5000"_s << u"--wait «5000»"_s;
  QTest::newRow("journal, empty journal name") << u"journal list --journal="_s << u"--journal"_s;
  QTest::newRow("journal --journal F: the subcommand after the group's option")
      << u"journal --journal x.sqlite drop"_s << u"«drop»"_s;
}

void CliRunTest::usageErrors() {
  QFETCH(QString, args);
  QFETCH(QString, message);
  const Outcome r = Run(Words(args));
  QCOMPARE(r.code, 2);
  QCOMPARE(r.out, QString());
  QVERIFY2(r.err.contains(message), qPrintable(r.err));
  // The pointer to the help names the command the line was for: a subcommand of tables when the
  // line names one.
  const QStringList words = Words(args);
  QString command =
      QStringList{u"calc"_s, u"batch"_s, u"tables"_s, u"journal"_s}.contains(words.value(0))
          ? words.value(0) + u' '
          : QString();
  const QStringList tools{u"list"_s, u"show"_s, u"check"_s, u"export"_s, u"build"_s, u"plot"_s};
  if (command == u"tables "_s && tools.contains(words.value(1))) command += words[1] + u' ';
  const QStringList journalTools{u"add"_s,    u"list"_s,   u"totals"_s,  u"import"_s,
                                 u"export"_s, u"backup"_s, u"balance"_s, u"delete"_s};
  if (command == u"journal "_s && journalTools.contains(words.value(1))) command += words[1] + u' ';
  QVERIFY2(r.err.endsWith(u"Справка: meltor-cli %1--help\n"_s.arg(command)), qPrintable(r.err));
}

void CliRunTest::localeOfNumbers_data() {
  QTest::addColumn<QStringList>("env");
  QTest::addColumn<QString>("hours");
  QTest::addColumn<QString>("limitedVisibility");  // empty: a conversion error

  const QString ru = u"ru_RU.UTF-8"_s;
  QTest::newRow("LC_ALL ru: decimal comma")
      << QStringList{u"LC_ALL="_s + ru} << u"0,5"_s << u"0.30"_s;
  QTest::newRow("LC_ALL ru: full stop is no decimal point")
      << QStringList{u"LC_ALL="_s + ru} << u"0.5"_s << QString();
  QTest::newRow("LC_ALL C: full stop") << QStringList{u"LC_ALL=C.UTF-8"_s} << u"0.5"_s << u"0.30"_s;
  QTest::newRow("LC_ALL C: comma is no decimal point")
      << QStringList{u"LC_ALL=C.UTF-8"_s} << u"0,5"_s << QString();
  QTest::newRow("LC_NUMERIC without LC_ALL")
      << QStringList{u"LC_NUMERIC="_s + ru, u"LANG=C.UTF-8"_s} << u"0,5"_s << u"0.30"_s;
  QTest::newRow("LANG alone") << QStringList{u"LANG=de_DE.UTF-8"_s} << u"0,5"_s << u"0.30"_s;
  QTest::newRow("LC_ALL over LANG")
      << QStringList{u"LC_ALL=C.UTF-8"_s, u"LANG="_s + ru} << u"0,5"_s << QString();
}

void CliRunTest::localeOfNumbers() {
  QFETCH(QStringList, env);
  QFETCH(QString, hours);
  QFETCH(QString, limitedVisibility);
  const Outcome r = Run({u"calc"_s, u"--tables"_s, tables_, u"--type"_s, u"L-39"_s, u"--day"_s,
                         u"--hours"_s, hours, u"--minutes"_s, u"0"_s, u"--clouds"_s, u"0"_s,
                         u"--vis-km"_s, u"1"_s, u"--height"_s, u"1000"_s},
                        {}, env);
  if (limitedVisibility.isEmpty()) {
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(u"«%1» — не число"_s.arg(hours)), qPrintable(r.err));
  } else {
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, CalcText(u"- - - %1 %1"_s.arg(limitedVisibility)));
  }
}

// ---- batch ----

void CliRunTest::batchRoundTrip() {
  // Columns in an order of their own, CRLF line ends, quoted fields.
  const QByteArray input =
      "height,type,day_night,clouds,base,top,vis_km,vis_hm,minutes,hours,hood_close,hood_open\r\n"
      "3000,L-39,day,10,500,1500,3,,0,1,,\r\n"
      "3000,\"Boe,\"\"ing\"\"\nX\",day,10,500,1500,3,,0,1,,\r\n"
      "3000,Su-27,днём,10,500,1500,3,,0,1,,\r\n"
      "3000,L-39,evening,10,500,1500,3,,0,1,,\r\n"
      "3000,Л-39,day,5,,,10,,0,\"1\",500,1500\r\n"
      ",L-39,day,0,,,1,,0,1,,\r\n"
      "1000,L-39,day,0,,,1,,0,0.5,,\r\n"
      "3000,L-39,day,10,500,1500,\"4,5\",,0,1,,\r\n"
      "3000,L-39,day,10,500x,99999,3,,0,1,,\r\n"
      "3000,L-39,day,10,500,1500,3,,0,-1,,\r\n"_ba;
  struct Expected {
    QString labels;
    QString error;         // a piece of the message; empty: the row succeeds
    QString warning = {};  // the warnings; empty: none
  };
  const QList<Expected> expected = {
      {u"- 0.10 0.45 0.05 1.00"_s, {}},
      {{}, u"type (Тип самолёта): «Boe,\"ing\"<U+000A>X» нет в списке"_s},
      {u"- 0.03 0.55 0.02 1.00"_s, {}},
      {{}, u"«evening»"_s},
      {u"0.50 - - - ПМУ"_s, {}},
      {{}, u"height (Высота п-та, м): поле не заполнено"_s},
      {u"- - - 0.30 0.30"_s, {}},
      // Read as 4 km: at the day minimum, as in the first row.
      {u"- 0.10 0.45 0.05 1.00"_s,
       {},
       u"vis_km: Видимость, км: введено «4,5», прочитано 4 — запятая заканчивает число: десятые "
       u"доли километра (сотни метров) вводятся в поле после запятой."_s},
      // A row that fails still says what it left unread.
      {{},
       u"top (Облачность, Нв, м): «99999» — такой высоты не ввести: наибольшая высота — 32767 м"_s,
       u"base: Облачность, Нн, м: введено «500x», прочитано 500 — «x» после числа не учтено."_s},
      // One hour back: -3600 - 300 - 600 s above cloud, -75 min; 5 + 10 - 75 is the -60 of the
      // flight. Calculated as it stands, and told.
      {u"- 0.10 -1.15 0.05 -1.00"_s,
       {},
       u"hours: Время п-та: -1 ч 0 мин — отрицательное время полёта. Результаты посчитаны как "
       u"есть, но такого полёта не бывает: проверьте знак «-».; за обл. -1.15: отрицательное время "
       u"(-4500 с) — отрицательное время полёта. Число оставлено, как оно посчитано; в лётную "
       u"книжку его не переносите, проверьте данные.; Всего в СМУ -1.00: в сумму вошло "
       u"отрицательное время (за обл. -1.15), и сумма занижена."_s},
  };

  const Outcome r = Run({u"batch"_s, u"--tables"_s, tables_, u"-"_s}, input);
  // No progress when the error stream is no terminal: the summary alone.
  QCOMPARE(r.err, u"meltor-cli: 4 из 10 строк не рассчитаны\n"_s);
  QCOMPARE(r.code, 1);
  int errorLine = -1;
  const QList<QStringList> out = ParseCsv(r.out, &errorLine);
  QCOMPARE(errorLine, 0);
  const QList<QStringList> in = ParseCsv(QString::fromUtf8(input));
  QCOMPARE(out.size(), in.size());
  QCOMPARE(out.front(), OutputHeader());

  for (qsizetype i = 1; i < out.size(); ++i) {
    const QStringList& row = out[i];
    QCOMPARE(row.size(), OutputHeader().size());
    for (qsizetype c = 0; c < in.front().size(); ++c) {
      QCOMPARE(row[OutputHeader().indexOf(in.front()[c])], in[i][c]);  // echoed as read
    }
    const Expected& e = expected[i - 1];
    const QStringList labels = row.mid(12, 5);
    if (e.error.isEmpty()) {
      QCOMPARE(labels, Words(e.labels));
      QCOMPARE(row[17], QString());
    } else {
      QCOMPARE(labels, QStringList(5, u"-"_s));
      QVERIFY2(row[17].contains(e.error), qPrintable(row[17]));
    }
    QCOMPARE(row[18], e.warning);
  }
}

void CliRunTest::batchInput_data() {
  QTest::addColumn<QStringList>("args");
  QTest::newRow("file") << QStringList{u"@file"_s};
  QTest::newRow("dash") << QStringList{u"-"_s};
  QTest::newRow("nothing") << QStringList{};
}

void CliRunTest::batchInput() {
  QFETCH(QStringList, args);
  const QByteArray input =
      "type,minutes,clouds,vis_km,day_night,height\nL-39,90,0,1,day,1000\n\"Л-39\",45,0,1,day,1000\n"_ba;
  const QString file = Path(u"flights.csv"_s);
  {
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(input);
  }
  args.replaceInStrings(u"@file"_s, file);
  const Outcome r = Run(QStringList{u"batch"_s, u"--tables"_s, tables_} + args,
                        args.isEmpty() || args.front() == u"-"_s ? input : QByteArray());
  QCOMPARE(r.code, 0);
  const QString h = OutputHeader().join(u','), dashes = u"-,-,-,"_s;
  QCOMPARE(r.out, h + u"\nL-39,0,90,0,,,1,,day,,,1000,"_s + dashes + u"1.30,1.30,,\n"_s +
                      u"Л-39,0,45,0,,,1,,day,,,1000,"_s + dashes + u"0.45,0.45,,\n"_s);
}

void CliRunTest::batchMissingColumns_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<QString>("hours");  // as echoed
  QTest::addColumn<QString>("smu");
  QTest::addColumn<QString>("error");
  QTest::newRow("hours left out read 0")
      << "type,day_night,minutes,clouds,vis_km,height\nL-39,day,90,0,1,1000\n"_ba << u"0"_s
      << u"1.30"_s << QString();
  QTest::newRow("height left out is empty")
      << "type,hours,minutes\nL-39,1,0\n"_ba << u"1"_s << u"-"_s
      << u"height (Высота п-та, м): поле не заполнено"_s;
  QTest::newRow("minutes left out are empty") << "height,type\n1000,L-39\n"_ba << u"0"_s << u"-"_s
                                              << u"minutes (Время п-та, мин): поле не заполнено"_s;
  QTest::newRow("type left out is empty")
      << "height,minutes\n1000,5\n"_ba << u"0"_s << u"-"_s << u"тип не выбран"_s;
}

void CliRunTest::batchMissingColumns() {
  QFETCH(QByteArray, input);
  QFETCH(QString, hours);
  QFETCH(QString, smu);
  QFETCH(QString, error);
  const Outcome r = Run({u"batch"_s, u"--tables"_s, tables_}, input);
  QCOMPARE(r.code, error.isEmpty() ? 0 : 1);
  const QList<QStringList> out = ParseCsv(r.out);
  QCOMPARE(out.size(), 2);
  QCOMPARE(out[1].size(), OutputHeader().size());
  QCOMPARE(out[1][1], hours);
  QCOMPARE(out[1][16], smu);
  if (error.isEmpty()) {
    QCOMPARE(out[1][17], QString());
  } else {
    QVERIFY2(out[1][17].contains(error), qPrintable(out[1][17]));
  }
}

void CliRunTest::batchDayNight_data() {
  QTest::addColumn<QString>("dayNight");
  QTest::addColumn<QString>("visKm");
  QTest::addColumn<QString>("visHm");
  QTest::addColumn<QString>("smu");  // empty: the row fails
  // 4.5 km is above the L-39's day minimum and at its night minimum; 3 km is at the day minimum
  // and above no minima at all.
  QTest::newRow("day") << u"day"_s << u"4"_s << u"5"_s << u"0.55"_s;
  QTest::newRow("днём") << u"днём"_s << u"4"_s << u"5"_s << u"0.55"_s;
  QTest::newRow("DAY") << u"DAY"_s << u"4"_s << u"5"_s << u"0.55"_s;
  QTest::newRow("night") << u"night"_s << u"4"_s << u"5"_s << u"1.00"_s;
  QTest::newRow("ночью") << u"ночью"_s << u"4"_s << u"5"_s << u"1.00"_s;
  QTest::newRow("day at 3 km") << u"day"_s << u"3"_s << QString() << u"1.00"_s;
  QTest::newRow("empty at 3 km") << QString() << u"3"_s << QString() << u"0.55"_s;
  QTest::newRow("other text") << u"dusk"_s << u"3"_s << QString() << QString();
}

void CliRunTest::batchDayNight() {
  QFETCH(QString, dayNight);
  QFETCH(QString, visKm);
  QFETCH(QString, visHm);
  QFETCH(QString, smu);
  const QString input =
      u"type,hours,minutes,clouds,base,top,height,vis_km,vis_hm,day_night\n"
      u"L-39,1,0,10,500,1500,3000,%1,%2,%3\n"_s.arg(visKm, visHm, dayNight);
  const Outcome r = Run({u"batch"_s, u"--tables"_s, tables_}, input.toUtf8());
  QCOMPARE(r.code, smu.isEmpty() ? 1 : 0);
  const QList<QStringList> out = ParseCsv(r.out);
  QCOMPARE(out.size(), 2);
  QCOMPARE(out[1][8], dayNight);
  if (smu.isEmpty()) {
    QCOMPARE(out[1][16], u"-"_s);
    QVERIFY2(out[1][17].contains(u"day_night"_s) && out[1][17].contains(dayNight),
             qPrintable(out[1][17]));
  } else {
    QCOMPARE(out[1][16], smu);
    QCOMPARE(out[1][17], QString());
  }
}

void CliRunTest::batchFaults_data() {
  // Read instead of the standard input when set; a name without a folder is written with `input`
  // first when that is set.
  QTest::addColumn<QString>("file");
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("message");
  QTest::addColumn<int>("rowsOut");  // data rows written before the fault; -1: nothing written

  const QByteArray head = "type,minutes,clouds,vis_km,height\n"_ba;
  const QByteArray good = "L-39,90,0,1,1000\n"_ba;
  QTest::newRow("unknown column") << QString() << "type,speed\nL-39,5\n"_ba << 2 << u"«speed»"_s
                                  << -1;
  QTest::newRow("column twice") << QString() << "type,hours,type\n"_ba << 2 << u"«type»"_s << -1;
  QTest::newRow("two rows of five fail")
      << QString() << head + good + "Boeing,90,0,1,1000\n" + good + good + "L-39,90,0,1,\n"
      << 1 << u"meltor-cli: 2 из 5 строк не рассчитаны\n"_s << 5;
  QTest::newRow("one row of one fails") << QString() << head + "L-39,90,0,1,\n"
                                        << 1 << u"meltor-cli: 1 из 1 строки не рассчитана\n"_s << 1;
  QTest::newRow("unterminated quote after a good row") << QString() << head + good + "\"L-39,1\n"
                                                       << 1 << u"1 из 2 строк"_s << 2;
  QTest::newRow("input file missing")
      << u"absent.csv"_s << QByteArray() << 2 << u"absent.csv»: такого файла нет\n"_s << -1;
  QTest::newRow("input is a folder") << u"/"_s << QByteArray() << 2 << u"«/»: это папка\n"_s << -1;
  QTest::newRow("a record over 1 MB")
      << QString() << head + good + QByteArray(2 << 20, 'x') + "\n" + good << 2
      << u"стандартный ввод, строка 3: запись длиннее 1048576 байт"_s << 1;
  QTest::newRow("/dev/zero") << u"/dev/zero"_s << QByteArray() << 2
                             << u"/dev/zero, строка 1: запись длиннее 1048576 байт"_s << -1;
  QByteArray utf16;  // little-endian, the way Windows saves "Unicode text"
  for (const char c : head) utf16 += QByteArray(1, c) + '\0';
  QTest::newRow("UTF-16") << QString() << "\xFF\xFE"_ba + utf16 << 2 << u"UTF-16"_s << -1;
  QTest::newRow("UTF-16 without a byte order mark")
      << QString() << utf16 << 2 << u"нулевой байт"_s << -1;
  QTest::newRow("two byte order marks")
      << QString() << "\xEF\xBB\xBF\xEF\xBB\xBF"_ba + head << 2
      << u"неизвестный столбец «<U+FEFF>type» (в начале — вторая метка порядка байтов)"_s << -1;
  QTest::newRow("a file name holding %1 and %2C")
      << u"100%2C %1.csv"_s << "\xFF\xFE"_ba + utf16 << 2 << u"100%2C %1.csv, строка 1: "_s << -1;
}

void CliRunTest::batchFaults() {
  QFETCH(QString, file);
  QFETCH(QByteArray, input);
  QFETCH(int, code);
  QFETCH(QString, message);
  QFETCH(int, rowsOut);
  QStringList args{u"batch"_s, u"--tables"_s, tables_};
  if (!file.isEmpty()) args << (file.startsWith(u'/') ? file : Path(file));
  if (!file.isEmpty() && !file.startsWith(u'/') && !input.isEmpty()) {
    QFile f(Path(file));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(input) == input.size());
  }
  const Outcome r = Run(args, input);
  QCOMPARE(r.code, code);
  QVERIFY2(r.err.contains(message), qPrintable(r.err));
  QVERIFY2(!r.err.contains(QChar(u'\0')), qPrintable(r.err));
  if (rowsOut < 0) {
    QCOMPARE(r.out, QString());
  } else {
    QCOMPARE(ParseCsv(r.out).size(), 1 + rowsOut);
  }
}

void CliRunTest::batchRowWithWrongFieldCount() {
  const Outcome r =
      Run({u"batch"_s, u"--tables"_s, tables_},
          "type,minutes,clouds,vis_km,height,day_night\nL-39,90\nL-39,90,0,1,1000,day,7\n"
          "L-39,90,0,1,1000,day\n"_ba);
  QCOMPARE(r.code, 1);
  const QList<QStringList> out = ParseCsv(r.out);
  QCOMPARE(out.size(), 4);
  QCOMPARE(out[1][16], u"-"_s);
  QVERIFY2(out[1][17].contains(u"строка 2: полей 2, а в заголовке 6 — разделитель «,» определён по "
                               u"заголовку, другой задаёт --input-delimiter"_s),
           qPrintable(out[1][17]));
  QCOMPARE(out[2][16], u"-"_s);
  QVERIFY2(out[2][17].contains(u"строка 3: полей 7"_s), qPrintable(out[2][17]));
  QCOMPARE(out[3][16], u"1.30"_s);
}

void CliRunTest::batchWithoutTablesFile() {
  // A flight that needs no table still gets its result.
  const Outcome r = Run({u"batch"_s, u"--tables"_s, Path(u"absent.mdb"_s)},
                        "type,hours,minutes,clouds,base,top,vis_km,day_night,height\n"
                        "L-39,1,0,10,500,1500,3,day,3000\n"
                        "L-39,1,30,0,,,1,day,1000\n"
                        "L-39,1,0,10,500,1500,3,day,3000\n"_ba);
  QCOMPARE(r.code, 1);
  QVERIFY2(r.err.endsWith(u"2 из 3 строк не рассчитаны\n"_s), qPrintable(r.err));
  const QList<QStringList> out = ParseCsv(r.out);
  QCOMPARE(out.size(), 4);
  for (const int i : {1, 3}) {
    QCOMPARE(out[i][16], u"-"_s);
    QVERIFY2(out[i][17].contains(u"absent.mdb"_s), qPrintable(out[i][17]));
  }
  QCOMPARE(out[2][16], u"1.30"_s);
  QCOMPARE(out[2][17], QString());
}

namespace {

// A label or total as minutes: H.MM, or 0 for "-" and "ПМУ".
qint64 LabelMinutes(const QString& text) {
  if (text == u"-"_s || text == u"ПМУ"_s) return 0;
  const QStringList parts = text.split(u'.');
  return parts.value(0).toLongLong() * 60 + parts.value(1).toLongLong();
}

}  // namespace

void CliRunTest::batchTotalsInSpreadsheetDialect() {
  // Semicolons, a byte order mark and CRLF, as a spreadsheet saves CSV in a Russian locale. The
  // 70 nine-hour flights add up to more minutes than 16 bits hold.
  QByteArray input =
      "\xEF\xBB\xBFtype;hours;minutes;clouds;base;top;vis_km;day_night;height\r\n"
      "L-39;1;0;10;500;1500;3;day;3000\r\n"
      "\"Boe;ing\";1;0;10;500;1500;3;day;3000\r\n"
      "Su-27;1;0;10;500;1500;3;днём;3000\r\n"
      "L-39;1;0;10;500;1500;3;evening;3000\r\n"
      "L-39;1;0;5;;;10;day;3000\r\n"_ba;
  for (int i = 0; i < 70; ++i) input += "L-39;9;0;0;;;1;day;1000\r\n";

  // The output follows the input's dialect; the minute columns come after the five results.
  const Outcome r = Run({u"batch"_s, u"--tables"_s, tables_, u"--totals"_s, u"-M"_s}, input);
  QCOMPARE(r.err, u"meltor-cli: 2 из 75 строк не рассчитаны\n"_s);
  QCOMPARE(r.code, 1);
  QVERIFY(r.outBytes.startsWith("\xEF\xBB\xBFtype;hours;"));
  QVERIFY(r.out.contains(u"\n\"Boe;ing\";1;"_s));  // a field with the delimiter is quoted

  QBuffer buffer;
  buffer.setData(r.outBytes);
  QVERIFY(buffer.open(QIODevice::ReadOnly));
  meltor::CsvReader reader(buffer, std::nullopt);
  QList<QStringList> out;
  while (auto record = reader.Next()) out << *record;
  QVERIFY(!reader.error());
  QCOMPARE(reader.delimiter(), ';');
  QCOMPARE(out.size(), 1 + 75 + 1);
  QCOMPARE(out.front(),
           OutputHeader().mid(0, 17) +
               Words(u"zak_kab_min obl_min za_obl_min ogr_vid_min smu_min error warnings"_s));

  std::array<qint64, 5> sums{};
  int failed = 0;
  for (qsizetype i = 1; i + 1 < out.size(); ++i) {
    if (!out[i][22].isEmpty()) {
      ++failed;
      QCOMPARE(out[i].mid(17, 5), QStringList(5, QString()));
      continue;
    }
    for (int c = 0; c < 5; ++c) {
      sums[c] += LabelMinutes(out[i][12 + c]);
      QCOMPARE(out[i][17 + c].toLongLong(), LabelMinutes(out[i][12 + c]));
    }
  }
  QCOMPARE(failed, 2);
  QCOMPARE(sums[4], 60 + 60 + 70 * 540);  // the 1c row counts nothing

  const QStringList& totals = out.back();
  QCOMPARE(totals.size(), 24);
  QCOMPARE(totals[0], u"ИТОГО"_s);
  QCOMPARE(totals.mid(1, 11), QStringList(11, QString()));
  for (int c = 0; c < 5; ++c) QCOMPARE(LabelMinutes(totals[12 + c]), sums[c]);
  QCOMPARE(totals.mid(12, 5), Words(u"- 0.13 1.40 630.07 632.00"_s));
  QCOMPARE(totals.mid(17, 5), Words(u"0 13 100 37807 37920"_s));
  QCOMPARE(totals[22], u"ошибок: 2"_s);
}

void CliRunTest::batchJson() {
  // Tab-separated input; a type text with a quote, a backslash, a line break and a control
  // character, which the error message repeats.
  const QByteArray input =
      "type\tminutes\tclouds\tvis_km\tday_night\theight\n"
      "L-39\t90\t0\t1\tday\t1000\n"
      "\"a\"\"\\\n\x01\"\t90\t0\t1\tday\t1000\n"
      "L-39\t90\t0\t1\tdusk\t1000\n"
      "L-39\t45\t0\t1 km\tночью\t1000\n"_ba;
  const QString weird = u"a\"\\\n\x01"_s;

  for (const bool totals : {false, true}) {
    QStringList args{u"batch"_s, u"--tables"_s, tables_, u"--format"_s, u"json"_s};
    if (totals) args << u"--totals"_s;
    const Outcome r = Run(args, input);
    QCOMPARE(r.code, 1);
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &parseError);
    QVERIFY2(parseError.error == QJsonParseError::NoError,
             qPrintable(parseError.errorString() + u"\n"_s + r.out));
    // JSON allows no raw control character in a text, where Qt's reader lets one pass.
    QVERIFY(std::all_of(r.outBytes.begin(), r.outBytes.end(),
                        [](char c) { return c == '\n' || static_cast<unsigned char>(c) >= 0x20; }));
    QCOMPARE(doc.isObject(), totals);
    const QJsonArray rows = totals ? doc.object().value(u"rows"_s).toArray() : doc.array();
    QCOMPARE(rows.size(), 4);

    // Each result as its label text and as a number of minutes.
    const QJsonObject good = rows[0].toObject();
    QCOMPARE(good.keys().size(), OutputHeader().size() + 5);
    QCOMPARE(good.value(u"hours"_s), QJsonValue(u"0"_s));
    QCOMPARE(good.value(u"ogr_vid"_s), QJsonValue(u"1.30"_s));
    QCOMPARE(good.value(u"ogr_vid_min"_s), QJsonValue(90));
    QCOMPARE(good.value(u"zak_kab"_s), QJsonValue(u"-"_s));
    QCOMPARE(good.value(u"zak_kab_min"_s), QJsonValue(0));
    QVERIFY(good.value(u"error"_s).isNull());
    QCOMPARE(good.value(u"warnings"_s), QJsonValue(u""_s));

    const QJsonObject odd = rows[1].toObject();
    QCOMPARE(odd.value(u"type"_s).toString(), weird);  // exact, no apostrophe
    QVERIFY(odd.value(u"smu_min"_s).isNull());
    QVERIFY2(odd.value(u"error"_s).toString().contains(u"«a\"\\<U+000A><U+0001>» нет в списке"_s),
             qPrintable(odd.value(u"error"_s).toString()));
    QVERIFY2(rows[2].toObject().value(u"error"_s).toString().contains(u"«dusk»"_s),
             qPrintable(r.out));
    QCOMPARE(rows[3].toObject().value(u"day_night"_s), QJsonValue(u"ночью"_s));
    QVERIFY2(rows[3].toObject().value(u"warnings"_s).toString().startsWith(u"vis_km: "_s),
             qPrintable(r.out));

    if (totals) {
      const QJsonObject sums = doc.object().value(u"totals"_s).toObject();
      QCOMPARE(sums.value(u"ogr_vid"_s), QJsonValue(u"2.15"_s));
      QCOMPARE(sums.value(u"smu"_s), QJsonValue(u"2.15"_s));
      QCOMPARE(sums.value(u"smu_min"_s), QJsonValue(135));
      QCOMPARE(sums.value(u"obl"_s), QJsonValue(u"-"_s));
      QCOMPARE(sums.value(u"rows"_s), QJsonValue(4));
      QCOMPARE(sums.value(u"failed"_s), QJsonValue(2));
    }
  }
}

// ---- tables ----

void CliRunTest::tablesCheckBrokenFile() {
  const QString file = Path(u"broken.mdb"_s);
  WriteTablesFile(
      file,
      ClimbViewSql(u"Z_Time_Pod_L39"_s, {{100, 60}, {500, 300}}) +
          // The corner is not below the key 1000.
          ViewSql(u"Z_Time_Obl_L39"_s,
                  {Words(u"1000 1000 2000"_s), Words(u"1500 60 120"_s), Words(u"2500 30 60"_s)}) +
          // The corner is not below the cloud base -100.
          ViewSql(u"Z_Time_Obl_Su27"_s,
                  {Words(u"0 1000 2000"_s), Words(u"-100 60 120"_s), Words(u"500 30 60"_s)}) +
          ViewSql(u"Z_Time_Pod_Su27"_s, {Words(u"100 60"_s), Words(u"500 abc"_s)}) +
          // 25 fields.
          ViewSql(
              u"Z_Time_Obl_Su24"_s,
              {Words(u"0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24"_s),
               Words(u"100 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24"_s)}) +
          u"CREATE TABLE empty(h INTEGER, t INTEGER);\n"
          u"CREATE VIEW \"Z_Time_Pod_Su24\" AS SELECT h, t FROM empty;\n"
          u"CREATE VIEW \"Notes\" AS SELECT 'not a table of ours' AS text;\n"_s);

  const Outcome r = Run({u"tables"_s, u"check"_s, u"--tables"_s, file});
  QCOMPARE(r.code, 1);
  QStringList lines = r.out.split(u'\n');
  QCOMPARE(lines.takeLast(), QString());
  // One line for each broken view, one for each missing view (Su-25, MiG-29, MiG-31).
  const QStringList named = {u"Z_Time_Obl_L39"_s,   u"Z_Time_Obl_Su27"_s,  u"Z_Time_Pod_Su27"_s,
                             u"Z_Time_Obl_Su24"_s,  u"Z_Time_Pod_Su24"_s,  u"Z_Time_Pod_Su25"_s,
                             u"Z_Time_Obl_Su25"_s,  u"Z_Time_Pod_MiG29"_s, u"Z_Time_Obl_MiG29"_s,
                             u"Z_Time_Pod_MiG31"_s, u"Z_Time_Obl_MiG31"_s};
  QCOMPARE(lines.size(), named.size());
  for (const QString& view : named) {
    QCOMPARE(lines.filter(view).size(), 1);
  }
  QVERIFY2(lines.filter(u"Z_Time_Obl_L39"_s).front().contains(u"1000"_s), qPrintable(r.out));
  QVERIFY2(lines.filter(u"Z_Time_Obl_Su27"_s).front().contains(u"-100"_s), qPrintable(r.out));
}

void CliRunTest::tablesCheckShippedFile_data() {
  QTest::addColumn<QStringList>("args");
  QTest::newRow("named") << QStringList{u"--tables"_s, QStringLiteral(MELTOR_SHIPPED_TABLES)};
  QTest::newRow("next to the program") << QStringList{};
}

void CliRunTest::tablesCheckShippedFile() {
  QFETCH(QStringList, args);
  const Outcome r = Run(QStringList{u"tables"_s, u"check"_s} + args);
  QCOMPARE(r.out, QString());
  QCOMPARE(r.code, 0);
  QVERIFY2(r.err.contains(u"FlightTables1.mdb"_s) && r.err.contains(u"12"_s), qPrintable(r.err));
}

void CliRunTest::tablesList() {
  const Outcome r = Run({u"tables"_s, u"list"_s, u"--tables"_s, tables_});
  QCOMPARE(r.code, 0);
  QCOMPARE(r.out,
           u"Представление    Полей  Записей\n"
           u"Z_Time_Obl_L39       3        3\n"
           u"Z_Time_Obl_Su27      3        3\n"
           u"Z_Time_Pod_L39       2        4\n"
           u"Z_Time_Pod_Su27      2        3\n"_s);
}

void CliRunTest::tablesShow_data() {
  QTest::addColumn<QString>("view");
  QTest::addColumn<QString>("grid");
  QTest::newRow("in-cloud grid") << u"Z_Time_Obl_L39"_s
                                 << u"   0  1500  2000\n"
                                    u"----------------\n"
                                    u" 500   600   900\n"
                                    u"1000   300   600\n"_s;
  QTest::newRow("climb table") << u"Z_Time_Pod_Su27"_s
                               << u"высота, м  время, с\n"
                                  u"-------------------\n"
                                  u"      500       120\n"
                                  u"     1000       240\n"
                                  u"     2000       480\n"_s;
}

void CliRunTest::tablesShow() {
  QFETCH(QString, view);
  QFETCH(QString, grid);
  const Outcome r = Run({u"tables"_s, u"show"_s, view, u"--tables"_s, tables_});
  QCOMPARE(r.code, 0);
  QCOMPARE(r.out, grid);

  const Outcome missing =
      Run({u"tables"_s, u"show"_s, u"Z_Time_Pod_Su24"_s, u"--tables"_s, tables_});
  QCOMPARE(missing.code, 1);
  QVERIFY2(missing.err.contains(u"Z_Time_Pod_Su24"_s), qPrintable(missing.err));
}

void CliRunTest::versionAndHelp_data() {
  QTest::addColumn<QString>("args");
  QTest::addColumn<QStringList>("present");
  QTest::addColumn<QStringList>("absent");
  const QStringList version{u"meltor-cli 2.02.0001\n"_s};
  QTest::newRow("--version") << u"--version"_s << version << QStringList{};
  QTest::newRow("calc --version") << u"calc --type L-39 --version"_s << version << QStringList{};
  QTest::newRow("batch -V") << u"batch -V nothing.csv"_s << version << QStringList{};
  QTest::newRow("tables --version") << u"tables list --version"_s << version << QStringList{};
  const QStringList calc{u"-t, --type TYPE"_s, u"--vis-hm"_s, u"-a, --height METRES"_s,
                         u"«Высота п-та, м»"_s, u"-e, --explain"_s};
  const QStringList batch{u"-o, --output FILE"_s, u"-s, --totals"_s,     u"--minute-columns"_s,
                          u"--encoding"_s,        u"--no-bom"_s,         u"--raw"_s,
                          u"day_night"_s,         u"--input-delimiter"_s};
  QTest::newRow("--help") << u"--help"_s << calc + batch + QStringList{u"show ИМЯ"_s}
                          << QStringList{};
  QTest::newRow("calc --help") << u"calc --help"_s << calc << batch;
  QTest::newRow("calc -h among options") << u"calc -t L-39 -h --height 5"_s << calc << batch;
  QTest::newRow("batch -h") << u"batch -h"_s << batch << calc;
  QTest::newRow("tables --help") << u"tables --help"_s << QStringList{u"show ИМЯ"_s, u"--tables"_s}
                                 << calc + batch;
  QTest::newRow("help batch") << u"help batch"_s << batch << calc;
  QTest::newRow("tables export --help: its own options")
      << u"tables export --help"_s << QStringList{u"--force"_s, u"--delimiter CHAR"_s}
      << QStringList{u"show ИМЯ"_s};
  QTest::newRow("tables plot -h among its options")
      << u"tables plot --type L39 -h"_s << QStringList{u"-o, --output FILE"_s, u".png"_s}
      << QStringList{u"--strict"_s};
  QTest::newRow("tables check --help: how CSV is read")
      << u"tables check --help"_s
      << QStringList{u"--strict"_s, u"--encoding NAME"_s, u"--delimiter CHAR"_s}
      << QStringList{u"--force"_s};
  QTest::newRow("journal --help: its subcommands and shared options")
      << u"journal --help"_s
      << QStringList{u"totals"_s, u"import ФАЙЛ.csv | -"_s, u"--journal FILE"_s,
                     u"--wait SECONDS"_s}
      << calc + batch;
  QTest::newRow("journal totals --help: its own")
      << u"journal totals --help"_s
      << QStringList{u"--by GROUPING"_s, u"-f, --format csv|json"_s, u"--from DATE"_s}
      << QStringList{u"--skip-failed"_s, u"--vis-hm"_s};
  QTest::newRow("journal add -h: calc's flight options and its own")
      << u"journal add -t L-39 -h"_s
      << QStringList{u"-t, --type TYPE"_s, u"--vis-hm"_s, u"--board TEXT"_s}
      << QStringList{u"--skip-failed"_s, u"--by"_s};
  QTest::newRow("help journal import")
      << u"help journal import"_s
      << QStringList{u"--skip-failed"_s, u"--encoding NAME"_s, u"date"_s} << QStringList{u"--by"_s};
  QTest::newRow("--help describes the journal")
      << u"--help"_s << QStringList{u"==== journal balance ===="_s, u"--zak-kab MINUTES"_s}
      << QStringList{};
  QTest::newRow("tables --tables F check --help: check's own")
      << u"tables --tables x.mdb check --help"_s << QStringList{u"--strict"_s, u"--encoding NAME"_s}
      << QStringList{u"show ИМЯ"_s};
}

void CliRunTest::versionAndHelp() {
  QFETCH(QString, args);
  QFETCH(QStringList, present);
  QFETCH(QStringList, absent);
  const Outcome r = Run(Words(args));
  QCOMPARE(r.code, 0);
  QCOMPARE(r.err, QString());
  for (const QString& piece : present) QVERIFY2(r.out.contains(piece), qPrintable(piece));
  for (const QString& piece : absent) QVERIFY2(!r.out.contains(piece), qPrintable(piece));
  // Within a terminal's width; in a pilot's words, never the names of the window's controls.
  for (const QString& line : r.out.split(u'\n')) QVERIFY2(line.size() <= 80, qPrintable(line));
  for (const char* control : {"txt", "cbo", "opt", "Tpol", "Hpol", "SMU", "Shtorka"}) {
    QVERIFY2(!r.out.contains(QLatin1StringView(control)), control);
  }
}

void CliRunTest::documented_data() {
  QTest::addColumn<QString>("path");
  // Every command that runs, as the registry has it.
  std::function<void(const meltor::cli::Command&)> add = [&](const meltor::cli::Command& group) {
    for (const meltor::cli::Command& c : group.subcommands) {
      if (c.isGroup()) {
        add(c);
      } else {
        QTest::newRow(qPrintable(c.path)) << c.path;
      }
    }
  };
  add(meltor::cli::Program());
}

void CliRunTest::documented() {
  // The bash completion offers every option of the command and knows which take a value; both
  // manual pages describe each of them.
  QFETCH(QString, path);
  const meltor::cli::Command* command = &meltor::cli::Program();
  for (const QString& word : Words(path)) command = command->Subcommand(word);
  const QString top = path.section(u' ', 0, 0);
  const QString sub = path.section(u' ', 1);
  const QString list = top == u"journal"_s                    ? u"journal_"_s + sub + u"_options"_s
                       : top != u"tables"_s                   ? top + u"_options"_s
                       : sub == u"list"_s || sub == u"show"_s ? u"tables_options"_s
                                                              : u"tables_"_s + sub + u"_options"_s;
  const QString source = QStringLiteral(MELTOR_SOURCE_DIR);
  QString script =
      u"source '%1/packaging/meltor-cli.bash-completion'\necho $_meltor_cli_%2\n"_s.arg(source,
                                                                                        list);
  QStringList expected{u"--help"_s, u"-h"_s};
  QStringList kinds;
  for (const meltor::cli::OptionInfo& o : command->options) {
    QStringList names{u"--"_s + o.name};
    if (!o.shortName.isEmpty()) names << u"-"_s + o.shortName;
    for (const QString& name : names) {
      expected << name;
      kinds << name + (o.takesValue() ? u"=value"_s : u"=flag"_s);
      script +=
          u"_meltor_cli_takes_value %1 %2 && echo %2=value || echo %2=flag\n"_s.arg(top, name);
    }
  }
  QProcess bash;
  bash.start(u"bash"_s, {u"-c"_s, script});
  QVERIFY(bash.waitForFinished(20000));
  QStringList lines = QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n');
  QCOMPARE(lines.takeLast(), QString());
  QVERIFY2(!lines.isEmpty(), bash.readAllStandardError().constData());
  QStringList offered = Words(lines.takeFirst());
  offered.sort();
  expected.sort();
  QCOMPARE(offered, expected);
  QCOMPARE(lines, kinds);
  for (const QString& page : {u"man/meltor-cli.1"_s, u"man/ru/meltor-cli.1"_s}) {
    const QString text = QString::fromUtf8(ReadFile(source + u'/' + page));
    for (const meltor::cli::OptionInfo& o : command->options) {
      const QString name = u"\\-\\-"_s + QString(o.name).replace(u"-"_s, u"\\-"_s);
      QVERIFY2(text.contains(name), qPrintable(page + u": "_s + name));
    }
  }
}

void CliRunTest::typeNames_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("entry");  // "?": no type
  QTest::newRow("list entry") << u"МиГ-29"_s << u"МиГ-29"_s;
  QTest::newRow("Cyrillic capitals") << u"МИГ-29"_s << u"МиГ-29"_s;
  QTest::newRow("Cyrillic small") << u"л-39"_s << u"Л-39"_s;
  QTest::newRow("Cyrillic without hyphen") << u"су24"_s << u"Су-24"_s;
  QTest::newRow("Latin") << u"mig-31"_s << u"МиГ-31"_s;
  QTest::newRow("table spelling") << u"SU25"_s << u"Су-25"_s;
  QTest::newRow("blanks around") << u" \tЛ-39 "_s << u"Л-39"_s;
  QTest::newRow("empty stays empty") << u"  "_s << QString();
  QTest::newRow("blank inside") << u"Су 27"_s << u"Су-27"_s;
  QTest::newRow("Latin c for Cyrillic с") << u"Cу-27"_s << u"Су-27"_s;
  QTest::newRow("en dash") << u"Л–39"_s << u"Л-39"_s;
  QTest::newRow("em dash, capitals") << u"СУ—24"_s << u"Су-24"_s;
  QTest::newRow("minus sign, no-break space") << u"Су\u00A0\u221225"_s << u"Су-25"_s;
  QTest::newRow("Latin M in a Cyrillic name") << u"Mиг-29"_s << u"МиГ-29"_s;
  QTest::newRow("Latin letters all that look Cyrillic") << u"MNГ 31"_s << u"?"_s;
  QTest::newRow("Cyrillic М in a Latin name") << u"МiG 31"_s << u"МиГ-31"_s;
  QTest::newRow("Latin look-alikes alone") << u"Cy-27"_s << u"Су-27"_s;
  QTest::newRow("Latin u is no у") << u"Cu-27"_s << u"?"_s;
  QTest::newRow("other type") << u"Ту-22"_s << u"?"_s;
  QTest::newRow("other type with a blank") << u"Ту 22"_s << u"?"_s;
  QTest::newRow("a blank between digits") << u"Су-2 7"_s << u"?"_s;
  QTest::newRow("a dash between letters") << u"Ми-Г29"_s << u"?"_s;
}

void CliRunTest::typeNames() {
  QFETCH(QString, text);
  QFETCH(QString, entry);
  QCOMPARE(meltor::cli::TypeEntry(text).value_or(u"?"_s), entry);
}

void CliRunTest::writeFailures_data() {
  QTest::addColumn<QString>("args");
  QTest::addColumn<QByteArray>("input");
  const QByteArray flights =
      "type,minutes,clouds,vis_km,height\n"_ba + QByteArray("L-39,90,0,1,1000\n").repeated(20000);
  QTest::newRow("help") << u"--help"_s << QByteArray();
  QTest::newRow("version") << u"calc --version"_s << QByteArray();
  QTest::newRow("calc") << u"calc -t L-39 -m 5 -c 0 -k 1 -a 100 --tables @"_s << QByteArray();
  QTest::newRow("batch") << u"batch --tables @"_s << flights;
  QTest::newRow("batch json") << u"batch -f json -s --tables @"_s << flights;
  QTest::newRow("tables list") << u"tables list --tables @"_s << QByteArray();
}

void CliRunTest::writeFailures() {
  QFETCH(QString, args);
  QFETCH(QByteArray, input);
  QStringList words = Words(args);
  words.replaceInStrings(u"@"_s, tables_);
  // A full disk, and a reader that went away: in process, through the command's own console.
  std::signal(SIGPIPE, SIG_IGN);  // as meltor-cli's main() does
  int pipeEnds[2] = {-1, -1};
  QVERIFY(::pipe(pipeEnds) == 0);
  ::close(pipeEnds[0]);
  QFile full(u"/dev/full"_s);
  QFile pipe;
  QVERIFY(full.open(QIODevice::WriteOnly));
  QVERIFY(pipe.open(pipeEnds[1], QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
  for (QFile* out : {&full, &pipe}) {
    QBuffer in;
    in.setData(input);
    in.open(QIODevice::ReadOnly);
    QBuffer err;
    err.open(QIODevice::WriteOnly);
    meltor::cli::Console console{in, *out, err, false, QLocale::c()};
    const int code = meltor::cli::Run(words, console);
    QCOMPARE(code, 1);
    QVERIFY2(err.data().contains("meltor-cli: вывод не записан: "), err.data().constData());
  }
}

void CliRunTest::batchOutputFile() {
  const QString folder = Path(u"out"_s);
  QVERIFY(QDir().mkpath(folder));
  const QString file = folder + u"/logbook.csv"_s;
  const auto write = [&](const QByteArray& bytes) {
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
  };
  const auto read = [&] {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
  };
  const QByteArray good = "type,minutes,clouds,vis_km,height\nL-39,90,0,1,1000\n"_ba;
  QVERIFY(write("old"));

  // Written whole: the file is replaced, nothing on stdout.
  Outcome r = Run({u"batch"_s, u"--tables"_s, tables_, u"-o"_s, file}, good);
  QCOMPARE(r.code, 0);
  QCOMPARE(r.out, QString());
  QVERIFY2(read().endsWith("L-39,0,90,0,,,1,,,,,1000,-,-,-,-,ПМУ,,\n"), read().constData());

  // Input that ends the reading halfway leaves the file as it was.
  QVERIFY(write("old"));
  r = Run({u"batch"_s, u"--tables"_s, tables_, u"--output"_s, file},
          good + QByteArray(2 << 20, 'x'));
  QCOMPARE(r.code, 2);
  QCOMPARE(read(), "old"_ba);
  QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"logbook.csv"_s});

  // A folder that does not exist.
  r = Run({u"batch"_s, u"--tables"_s, tables_, u"-o"_s, folder + u"/no/such.csv"_s}, good);
  QCOMPARE(r.code, 1);
  QVERIFY2(r.err.contains(u"no/such.csv"_s), qPrintable(r.err));

  // Pictures a longer run left are kept, and a shorter run says which of them it did not write;
  // a picture of another name is none of its business.
  const QString pictures = Path(u"pictures"_s);
  r = Run({u"batch"_s, u"--tables"_s, tables_, u"-p"_s, pictures}, good + "L-39,90,0,1,1000\n"_ba);
  QCOMPARE(r.code, 0);
  QVERIFY(QFile::copy(pictures + u"/1.svg"_s, pictures + u"/01.svg"_s));
  QVERIFY(QFile::copy(pictures + u"/1.svg"_s, pictures + u"/4.svg"_s));
  r = Run({u"batch"_s, u"--tables"_s, tables_, u"-p"_s, pictures}, good);
  QCOMPARE(r.code, 0);
  QCOMPARE(QDir(pictures).entryList(QDir::Files),
           (QStringList{u"01.svg"_s, u"1.svg"_s, u"2.svg"_s, u"4.svg"_s}));
  QVERIFY2(r.err.startsWith(u"meltor-cli: предупреждение: в папке «%1» есть рисунки, которых этот "
                            u"запуск не писал: 2.svg … 4.svg, всего 2"_s.arg(pictures)),
           qPrintable(r.err));
  r = Run({u"batch"_s, u"--tables"_s, tables_, u"-p"_s, pictures},
          good + "L-39,90,0,1,1000\n"_ba.repeated(3));
  QCOMPARE(r.err, QString());
}

namespace {

// The example logbook as a spreadsheet with Russian settings saves it: `delimiter` between the
// cells (none of which needs quotes), CRLF, in `encoding`, with a byte order mark if asked.
QByteArray ExampleFlights(char delimiter, const char* encoding, bool byteOrderMark) {
  QFile f(QStringLiteral(MELTOR_EXAMPLE_FLIGHTS));
  if (!f.open(QIODevice::ReadOnly)) return {};
  QString text = QString::fromUtf8(f.readAll());
  text.replace(u',', QLatin1Char(delimiter)).replace(u"\n"_s, u"\r\n"_s);
  QStringEncoder encoder(encoding);
  const QByteArray bytes = encoder.encode(text);
  return byteOrderMark ? "\xEF\xBB\xBF" + bytes : bytes;
}

// Every record of a CSV text, its delimiter found in its header.
QList<QStringList> Records(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  meltor::CsvReader reader(buffer, std::nullopt);
  QList<QStringList> records;
  while (auto r = reader.Next()) records << *r;
  return records;
}

}  // namespace

void CliRunTest::batchDialect_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<QString>("args");
  QTest::addColumn<QByteArray>("start");  // the output's first bytes
  QTest::addColumn<QString>("type");      // the first row's type as echoed; empty: the row fails
  QTest::addColumn<bool>("note");         // stderr says the encoding was guessed
  // The same flights as plain UTF-8 CSV: the output must hold the same records; empty: not
  // compared, and every row must calculate.
  QTest::addColumn<QByteArray>("plain");
  const QByteArray semicolons =
      "\xEF\xBB\xBFtype;minutes;clouds;vis_km;height\r\nЛ-39;90;0;1;1000\r\n"_ba;
  const QByteArray cp1251 = "type;minutes;clouds;vis_km;height\n\xCB-39;90;0;1;1000\n"_ba;
  const QByteArray tabs = "type\tminutes\tclouds\tvis_km\theight\nL39\t90\t0\t1\t1000\n"_ba;
  const QByteArray bom = "\xEF\xBB\xBF"_ba;
  const QByteArray none;
  QTest::newRow("semicolons and a mark follow")
      << semicolons << QString() << bom + "type;hours;" << u"Л-39"_s << false << none;
  QTest::newRow("tabs follow") << tabs << QString() << "type\thours\t"_ba << u"L39"_s << false
                               << none;
  QTest::newRow("--delimiter and --no-bom say otherwise")
      << semicolons << u"-d , --no-bom"_s << "type,hours,"_ba << u"Л-39"_s << false << none;
  QTest::newRow("--bom on a plain input")
      << "type,minutes,clouds,vis_km,height\nL-39,90,0,1,1000\n"_ba << u"--bom"_s
      << bom + "type,hours,"_ba << u"L-39"_s << false << none;
  QTest::newRow("Windows-1251 read, written as UTF-8 with a mark")
      << cp1251 << u"--encoding windows-1251"_s << bom + "type;hours;"_ba << u"Л-39"_s << false
      << none;
  QTest::newRow("Windows-1251 found without --encoding")
      << cp1251 << QString() << bom + "type;hours;"_ba << u"Л-39"_s << true << none;
  QTest::newRow("Windows-1251 read as the UTF-8 asked for")
      << cp1251 << u"--encoding utf-8"_s << "type;hours;"_ba << QString() << false << none;
  QTest::newRow("--input-delimiter")
      << tabs << u"--input-delimiter tab -d ;"_s << "type;hours;"_ba << u"L39"_s << false << none;
  const QByteArray example = ExampleFlights(',', "UTF-8", false);
  QTest::newRow("example flights, Windows-1251 and ';'")
      << ExampleFlights(';', "windows-1251", false) << QString() << bom + "type;hours;"_ba
      << u"L-39"_s << true << example;
  QTest::newRow("example flights, CSV UTF-8")
      << ExampleFlights(';', "UTF-8", true) << QString() << bom + "type;hours;"_ba << u"L-39"_s
      << false << example;
  QTest::newRow("example flights, Windows-1251 and tab")
      << ExampleFlights('\t', "windows-1251", false) << QString() << bom + "type\thours\t"_ba
      << u"L-39"_s << true << example;
}

void CliRunTest::batchDialect() {
  QFETCH(QByteArray, input);
  QFETCH(QString, args);
  QFETCH(QByteArray, start);
  QFETCH(QString, type);
  QFETCH(bool, note);
  QFETCH(QByteArray, plain);
  // The example flights on the shipped tables, where every type has its tables.
  const QString tables = plain.isEmpty() ? tables_ : QStringLiteral(MELTOR_SHIPPED_TABLES);
  const Outcome r = Run(QStringList{u"batch"_s, u"--tables"_s, tables} + Words(args), input);
  if (plain.isEmpty()) QCOMPARE(r.code, type.isEmpty() ? 1 : 0);
  QCOMPARE(r.err.contains(u"текст не в UTF-8 — прочитан как Windows-1251"_s), note);
  QVERIFY2(r.outBytes.startsWith(start), r.outBytes.constData());
  QBuffer buffer;
  buffer.setData(r.outBytes);
  QVERIFY(buffer.open(QIODevice::ReadOnly));
  meltor::CsvReader reader(buffer, std::nullopt);
  QVERIFY(reader.Next());
  const std::optional<QStringList> row = reader.Next();
  QVERIFY(row && row->size() == OutputHeader().size());
  if (type.isEmpty()) {
    const QString& error = row->at(row->size() - 2);
    QVERIFY2(error.contains(u"--encoding windows-1251"_s), qPrintable(error));
  } else {
    QCOMPARE(row->front(), type);
    QCOMPARE(row->at(16), u"ПМУ"_s);
    QCOMPARE(row->back(), QString());
  }
  if (!plain.isEmpty()) {
    const Outcome same = Run(QStringList{u"batch"_s, u"--tables"_s, tables}, plain);
    QCOMPARE(r.code, same.code);
    QCOMPARE(Records(r.outBytes), Records(same.outBytes));
  }
}

void CliRunTest::batchFormulas() {
  // Cells a spreadsheet would run as formulas, in rows that fail and in one that calculates.
  const QByteArray input =
      "type,hood_close,hood_open,minutes,clouds,vis_km,height\n"
      "\"=HYPERLINK(\"\"http://x\"\")\",,,90,0,1,1000\n"
      "L-39,\"+cmd|' /C calc'!A0\",@SUM(1),90,0,1,1000\n"
      "L-39,-100,-2+3,90,0,1,1000\n"_ba;
  const QList<QStringList> raw = ParseCsv(QString::fromUtf8(input));
  for (const bool rawEcho : {false, true}) {
    QStringList args{u"batch"_s, u"--tables"_s, tables_};
    if (rawEcho) args << u"--raw"_s;
    const Outcome r = Run(args, input);
    const QList<QStringList> out = ParseCsv(r.out);
    QCOMPARE(out.size(), 4);
    const auto shown = [&](const QString& cell) {
      return rawEcho || cell == u"-100"_s || !cell.contains(QRegularExpression(u"^[=+@-]"_s))
                 ? cell
                 : u"'"_s + cell;
    };
    for (int i = 1; i < 4; ++i) {
      QCOMPARE(out[i][0], shown(raw[i][0]));
      QCOMPARE(out[i][9], shown(raw[i][1]));
      QCOMPARE(out[i][10], shown(raw[i][2]));
    }
    QCOMPARE(out[3][16], u"ПМУ"_s);  // results as they are
    QCOMPARE(out[3][9], u"-100"_s);  // a negative number stays a number
  }
  const Outcome json = Run({u"batch"_s, u"--tables"_s, tables_, u"-f"_s, u"json"_s}, input);
  const QJsonArray rows = QJsonDocument::fromJson(json.outBytes).array();
  QCOMPARE(rows.size(), 3);
  QCOMPARE(rows[0].toObject().value(u"type"_s).toString(), raw[1][0]);
  QCOMPARE(rows[1].toObject().value(u"hood_close"_s).toString(), raw[2][1]);
}

void CliRunTest::batchSpoiltRows() {
  // A bad byte, a stray quote and a quote never closed spoil their own rows only.
  const QByteArray input =
      "type,minutes,clouds,vis_km,height\n"
      "L-39,9\xFF,0,1,1000\n"
      "L-39,90,0,1,10\"00\n"
      "Л-39,90,0,1,1000\n"
      "\"L-39,90,0,1,1000\n"
      "L-39,90,0,1,1000\n"_ba;
  const Outcome r = Run({u"batch"_s, u"--tables"_s, tables_}, input);
  QCOMPARE(r.code, 1);
  // As much UTF-8 as bytes that are none: the input is UTF-8, and nothing is said of it.
  QCOMPARE(r.err, u"meltor-cli: 3 из 4 строк не рассчитаны\n"_s);
  const QList<QStringList> out = ParseCsv(r.out);
  QCOMPARE(out.size(), 5);
  QVERIFY2(out[1][17].startsWith(u"строка 2: поле 2: текст не в кодировке UTF-8"_s),
           qPrintable(out[1][17]));
  QVERIFY2(out[2][17].startsWith(u"строка 3: кавычка внутри поля"_s), qPrintable(out[2][17]));
  QCOMPARE(out[3][16], u"ПМУ"_s);
  QCOMPARE(out[3][17], QString());
  QVERIFY2(out[4][17].contains(u"кавычка, открытая в строке 5, не закрыта до конца файла: "
                               u"строки 5–6 прочитаны как одно поле"_s),
           qPrintable(out[4][17]));
  // Without the UTF-8 of its fourth row, the input is read as Windows-1251, and stderr says so.
  const Outcome guessed =
      Run({u"batch"_s, u"--tables"_s, tables_}, QByteArray(input).replace("Л-39", "L-39"));
  QVERIFY2(guessed.err.startsWith(u"meltor-cli: стандартный ввод: текст не в UTF-8 — прочитан как "
                                  u"Windows-1251 (другую кодировку задаёт --encoding)\n"_s),
           qPrintable(guessed.err));
  QCOMPARE(ParseCsv(guessed.out)[1][2], u"9я"_s);
}

void CliRunTest::writers_data() {
  QTest::addColumn<QString>("writer");
  QTest::addColumn<QString>("target");   // what the file to be written is before the command
  QTest::addColumn<int>("code");         // the exit status
  QTest::addColumn<QString>("message");  // part of the message when the write fails

  const QString full = u"предел размера файла"_s;
  const QString notFile = u"устройство или канал"_s;
  const QString dangling = u"ссылка на несуществующий файл"_s;
  const QString noRights = u"нет прав на запись"_s;
  QTest::newRow("batch -o: old file") << u"batch -o"_s << u"file"_s << 0 << QString();
  QTest::newRow("batch -o: size limit") << u"batch -o"_s << u"full"_s << 1 << full;
  QTest::newRow("batch -o: /dev/full") << u"batch -o"_s << u"/dev/full"_s << 1 << u"нет места"_s;
  QTest::newRow("batch -o: FIFO") << u"batch -o"_s << u"fifo"_s << 0 << QString();
  QTest::newRow("batch -o: /dev/null") << u"batch -o"_s << u"/dev/null"_s << 0 << QString();
  QTest::newRow("batch -o: link") << u"batch -o"_s << u"link"_s << 0 << QString();
  QTest::newRow("batch -o: dangling link") << u"batch -o"_s << u"dangling"_s << 1 << dangling;
  QTest::newRow("batch -o: read-only folder") << u"batch -o"_s << u"read-only"_s << 1 << noRights;
  QTest::newRow("batch -o: folder") << u"batch -o"_s << u"folder"_s << 1 << u"папка"_s;
  QTest::newRow("calc --picture: old file") << u"calc --picture"_s << u"file"_s << 0 << QString();
  QTest::newRow("calc --picture: size limit") << u"calc --picture"_s << u"full"_s << 1 << full;
  QTest::newRow("calc --picture: /dev/full")
      << u"calc --picture"_s << u"/dev/full"_s << 1 << u"нет места"_s;
  QTest::newRow("calc --picture: FIFO") << u"calc --picture"_s << u"fifo"_s << 0 << QString();
  QTest::newRow("calc --picture: /dev/null")
      << u"calc --picture"_s << u"/dev/null"_s << 0 << QString();
  QTest::newRow("calc --picture: link") << u"calc --picture"_s << u"link"_s << 0 << QString();
  QTest::newRow("calc --picture: dangling link")
      << u"calc --picture"_s << u"dangling"_s << 1 << dangling;
  QTest::newRow("calc --picture: read-only folder")
      << u"calc --picture"_s << u"read-only"_s << 1 << noRights;
  QTest::newRow("calc --picture: folder") << u"calc --picture"_s << u"folder"_s << 1 << u"папка"_s;
  QTest::newRow("batch --pictures: old file")
      << u"batch --pictures"_s << u"file"_s << 0 << QString();
  QTest::newRow("batch --pictures: size limit") << u"batch --pictures"_s << u"full"_s << 1 << full;
  QTest::newRow("batch --pictures: /dev/full")
      << u"batch --pictures"_s << u"/dev/full"_s << 1 << u"нет места"_s;
  QTest::newRow("batch --pictures: FIFO") << u"batch --pictures"_s << u"fifo"_s << 0 << QString();
  QTest::newRow("batch --pictures: /dev/null")
      << u"batch --pictures"_s << u"/dev/null"_s << 0 << QString();
  QTest::newRow("batch --pictures: link") << u"batch --pictures"_s << u"link"_s << 0 << QString();
  QTest::newRow("batch --pictures: dangling link")
      << u"batch --pictures"_s << u"dangling"_s << 1 << dangling;
  QTest::newRow("batch --pictures: read-only folder")
      << u"batch --pictures"_s << u"read-only"_s << 1 << noRights;
  QTest::newRow("batch --pictures: folder")
      << u"batch --pictures"_s << u"folder"_s << 1 << u"папка"_s;
  QTest::newRow("tables export: old file") << u"tables export"_s << u"file"_s << 0 << QString();
  QTest::newRow("tables export: size limit") << u"tables export"_s << u"full"_s << 1 << full;
  QTest::newRow("tables export: /dev/full") << u"tables export"_s << u"/dev/full"_s << 1 << notFile;
  QTest::newRow("tables export: FIFO") << u"tables export"_s << u"fifo"_s << 1 << notFile;
  QTest::newRow("tables export: /dev/null") << u"tables export"_s << u"/dev/null"_s << 1 << notFile;
  QTest::newRow("tables export: link") << u"tables export"_s << u"link"_s << 0 << QString();
  QTest::newRow("tables export: dangling link")
      << u"tables export"_s << u"dangling"_s << 1 << dangling;
  QTest::newRow("tables export: read-only folder")
      << u"tables export"_s << u"read-only"_s << 1 << noRights;
  QTest::newRow("tables export: folder") << u"tables export"_s << u"folder"_s << 1 << u"папка"_s;
  QTest::newRow("tables build: old file") << u"tables build"_s << u"file"_s << 0 << QString();
  QTest::newRow("tables build: size limit") << u"tables build"_s << u"full"_s << 1 << full;
  QTest::newRow("tables build: /dev/full")
      << u"tables build"_s << u"/dev/full"_s << 1 << u"нет места"_s;
  QTest::newRow("tables build: FIFO") << u"tables build"_s << u"fifo"_s << 0 << QString();
  QTest::newRow("tables build: /dev/null") << u"tables build"_s << u"/dev/null"_s << 0 << QString();
  QTest::newRow("tables build: link") << u"tables build"_s << u"link"_s << 0 << QString();
  QTest::newRow("tables build: /dev/stdout")
      << u"tables build"_s << u"/dev/stdout"_s << 0 << QString();
  QTest::newRow("tables build: dangling link")
      << u"tables build"_s << u"dangling"_s << 1 << dangling;
  QTest::newRow("tables build: read-only folder")
      << u"tables build"_s << u"read-only"_s << 1 << noRights;
  QTest::newRow("tables build: folder")
      << u"tables build"_s << u"folder"_s << 1 << u"папка; укажите имя нового файла таблиц"_s;
  QTest::newRow("tables plot: old file") << u"tables plot"_s << u"file"_s << 0 << QString();
  QTest::newRow("tables plot: size limit") << u"tables plot"_s << u"full"_s << 1 << full;
  QTest::newRow("tables plot: /dev/full")
      << u"tables plot"_s << u"/dev/full"_s << 1 << u"нет места"_s;
  QTest::newRow("tables plot: FIFO") << u"tables plot"_s << u"fifo"_s << 0 << QString();
  QTest::newRow("tables plot: /dev/null") << u"tables plot"_s << u"/dev/null"_s << 0 << QString();
  QTest::newRow("tables plot: link") << u"tables plot"_s << u"link"_s << 0 << QString();
  QTest::newRow("tables plot: /dev/stdout")
      << u"tables plot"_s << u"/dev/stdout"_s << 0 << QString();
  QTest::newRow("tables plot: dangling link") << u"tables plot"_s << u"dangling"_s << 1 << dangling;
  QTest::newRow("tables plot: read-only folder")
      << u"tables plot"_s << u"read-only"_s << 1 << noRights;
  QTest::newRow("tables plot: folder") << u"tables plot"_s << u"folder"_s << 1 << u"папка"_s;
  for (const QString& writer : {u"journal export"_s, u"journal backup"_s}) {
    const auto row = [&](const QString& target, int code, const QString& message) {
      QTest::newRow(qPrintable(writer + u": "_s + target)) << writer << target << code << message;
    };
    row(u"file"_s, 0, QString());
    row(u"full"_s, 1, full);
    row(u"/dev/full"_s, 1, u"нет места"_s);
    row(u"fifo"_s, 0, QString());
    row(u"/dev/null"_s, 0, QString());
    row(u"link"_s, 0, QString());
    row(u"dangling"_s, 1, dangling);
    row(u"read-only"_s, 1, noRights);
    row(u"folder"_s, 1, u"папка"_s);
  }
}

void CliRunTest::writers() {
  QFETCH(QString, writer);
  QFETCH(QString, target);
  QFETCH(int, code);
  QFETCH(QString, message);
  const Writer& w = WriterNamed(writer);
  // As root the command runs as nobody: the permissions of a read-only folder hold, and no
  // mistake can replace the system's /dev/null.
  const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
  QTemporaryDir work;
  QVERIFY(work.isValid());
  const QString folder = work.filePath(u"t"_s);
  const QString other = work.filePath(u"o"_s);
  const QString temp = work.filePath(u"tmp"_s);
  for (const QString& d : {folder, other, temp, work.filePath(u"csv"_s)}) {
    QVERIFY(QDir().mkpath(d));
  }
  const QString journal = work.filePath(u"journal.sqlite"_s);
  if (w.args.contains(u"{journal}"_s)) QVERIFY(QFile::copy(journal_, journal));
  QString out = QDir(folder).filePath(w.target);
  const QByteArray old = "old\n";
  const auto write = [](const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
  };
  const auto link = [&](const QString& to) {
    return ::symlink(QFile::encodeName(to).constData(), QFile::encodeName(out).constData()) == 0;
  };
  const QString real = QDir(other).filePath(u"real"_s);
  if (target == u"file"_s || target == u"full"_s || target == u"read-only"_s) {
    QVERIFY(write(out, old));
  } else if (target == u"/dev/full"_s) {
    QVERIFY(link(target));
  } else if (target == u"/dev/stdout"_s) {
    out = target;  // a link of /proc to the pipe QProcess reads: "pipe:[1234]", no path
  } else if (target == u"/dev/null"_s) {
    if (w.args.contains(u"{out}"_s)) {
      out = target;
    } else {
      QVERIFY(link(target));
    }
  } else if (target == u"fifo"_s) {
    QVERIFY(::mkfifo(QFile::encodeName(out).constData(), 0666) == 0);
  } else if (target == u"link"_s) {
    QVERIFY(write(real, old) && link(real));
  } else if (target == u"dangling"_s) {
    QVERIFY(link(QDir(other).filePath(u"missing"_s)));
  } else if (target == u"folder"_s) {
    QVERIFY(QDir().mkpath(out));
  }
  const std::optional<Runnable> run = CopiesForNobody(nobody, work.filePath(u"bin"_s));
  QVERIFY(run);
  const QString& program = run->program;
  const QString& tables = run->tables;
  if (nobody) {
    QVERIFY(::chmod(QFile::encodeName(work.path()).constData(), 0755) == 0);
    const auto give = [&](const QString& path) {
      return ::lchown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) == 0;
    };
    QVERIFY(give(work.path()));
    QDirIterator all(work.path(),
                     QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                     QDirIterator::Subdirectories);
    while (all.hasNext()) QVERIFY(give(all.next()));
  }
  if (target == u"read-only"_s) QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
  const char kindBefore = KindOf(out);
  const QString linkedTo = QFile::symLinkTarget(out);
  const char linkedKind = KindOf(linkedTo);

  QString args = w.args;
  args.replace(u"{out}"_s, out)
      .replace(u"{dir}"_s, folder)
      .replace(u"{csv}"_s, work.filePath(u"csv"_s))
      .replace(u"{tables}"_s, tables)
      .replace(u"{journal}"_s, journal);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(u"LANG"_s);
  env.remove(u"XDG_RUNTIME_DIR"_s);
  env.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
  env.insert(u"HOME"_s, work.path());
  env.insert(u"TMPDIR"_s, temp);
  QProcess p;
  p.setProcessEnvironment(env);
  const bool limit = target == u"full"_s;
  const uid_t uid = nobody ? nobody->pw_uid : 0;
  const gid_t gid = nobody ? nobody->pw_gid : 0;
  p.setChildProcessModifier([limit, uid, gid] {
    // A disk that fills after 100 bytes, for this process and what it writes only.
    const rlimit bytes{100, 100};
    if (limit) ::setrlimit(RLIMIT_FSIZE, &bytes);
    if (uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
      ::_exit(99);
    }
  });
  // A FIFO is read while the command writes to it.
  const int reader =
      target == u"fifo"_s ? ::open(QFile::encodeName(out).constData(), O_RDONLY | O_NONBLOCK) : -1;
  QByteArray received;
  const auto drain = [&] {
    char chunk[65536];
    for (ssize_t n; reader >= 0 && (n = ::read(reader, chunk, sizeof chunk)) > 0;) {
      received.append(chunk, n);
    }
  };
  p.start(program, Words(args));
  QVERIFY2(p.waitForStarted(), qPrintable(p.errorString()));
  p.write(w.input);
  p.closeWriteChannel();
  QElapsedTimer clock;
  clock.start();
  while (!p.waitForFinished(20) && clock.elapsed() < 60000) drain();
  drain();
  if (reader >= 0) ::close(reader);
  ::chmod(QFile::encodeName(folder).constData(), 0755);
  const QString err = QString::fromUtf8(p.readAllStandardError());
  QCOMPARE(p.state(), QProcess::NotRunning);
  QCOMPARE(p.exitStatus(), QProcess::NormalExit);
  QVERIFY2(p.exitCode() == code, qPrintable(u"exit %1: %2"_s.arg(p.exitCode()).arg(err)));
  if (code != 0) QVERIFY2(err.contains(message), qPrintable(err));
  if (target == u"folder"_s) QVERIFY2(!err.contains(u"--force"_s), qPrintable(err));

  // Still what it was, holding the new text where the command succeeded and the old otherwise.
  QCOMPARE(KindOf(out), kindBefore);
  QCOMPARE(QFile::symLinkTarget(out), linkedTo);
  QCOMPARE(KindOf(linkedTo), linkedKind);  // a link to nothing still leads nowhere
  if (target == u"/dev/full"_s || target == u"/dev/null"_s) QCOMPARE(KindOf(target), 'c');
  const QString written = target == u"link"_s ? real : out;
  if (kindBefore == 'f' || target == u"link"_s) {
    QCOMPARE(ReadFile(written) == old, code != 0);
  }
  if (target == u"fifo"_s) QCOMPARE(received.isEmpty(), code != 0);
  if (target == u"/dev/stdout"_s) QVERIFY(p.readAllStandardOutput().size() > 1000);
  // No temporary file anywhere: beside the target, beside the file a link names, in TMPDIR.
  static const QRegularExpression temporary(u"\\.[A-Za-z0-9]{6}$"_s);
  for (const QString& d : {folder, other, temp}) {
    for (const QString& name :
         QDir(d).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
      QVERIFY2(!name.contains(temporary), qPrintable(QDir(d).filePath(name)));
    }
  }
}

// ---- journal ----

QStringList CliRunTest::JournalArgs(const QString& words, const QString& journal) const {
  QStringList args = Words(words);
  args.replaceInStrings(u"{dir}"_s, dir_.path());
  args.prepend(u"journal"_s);
  if (!journal.isEmpty()) args << u"--journal"_s << journal;
  if ((args.value(1) == u"add"_s || args.value(1) == u"import"_s) &&
      !args.contains(u"--tables"_s)) {
    args << u"--tables"_s << QStringLiteral(MELTOR_SHIPPED_TABLES);
  }
  return args;
}

void CliRunTest::journalTotals_data() {
  QTest::addColumn<QString>("by");
  QTest::addColumn<bool>("json");
  QTest::newRow("one group") << QString() << false;
  QTest::newRow("month") << u"month"_s << false;
  QTest::newRow("quarter") << u"quarter"_s << false;
  QTest::newRow("half") << u"half"_s << false;
  QTest::newRow("year") << u"year"_s << false;
  QTest::newRow("type") << u"type"_s << false;
  QTest::newRow("day-night") << u"day-night"_s << false;
  QTest::newRow("month, JSON") << u"month"_s << true;
}

void CliRunTest::journalTotals() {
  // The example logbook imported, then imported again: the second time adds nothing.
  QFETCH(QString, by);
  QFETCH(bool, json);
  const QString j = Path(u"totals-%1.sqlite"_s.arg(QTest::currentDataTag()));
  for (const QString& added : {u"записано полётов: 11; уже были в журнале и пропущены: 0"_s,
                               u"записано полётов: 0; уже были в журнале и пропущены: 11"_s}) {
    const Outcome r = Run(JournalArgs(u"import "_s + ExampleJournal(), j));
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(added), qPrintable(r.out));
  }
  QCOMPARE(EntryCount(j), 11);

  // batch -M over the same rows, without the date, board and remark; summed here by group.
  const QList<QStringList> rows = ParseCsv(QString::fromUtf8(ReadFile(ExampleJournal())));
  QCOMPARE(rows.front().mid(0, 3), (QStringList{u"date"_s, u"board"_s, u"remark"_s}));
  QString inputs;
  for (const QStringList& row : rows) inputs += row.mid(3).join(u',') + u'\n';
  const Outcome batch = Run(
      {u"batch"_s, u"-M"_s, u"--tables"_s, QStringLiteral(MELTOR_SHIPPED_TABLES)}, inputs.toUtf8());
  QCOMPARE(batch.code, 0);
  const QList<QStringList> out = ParseCsv(batch.out);
  QCOMPARE(out.size(), rows.size());
  std::map<QString, std::array<qint64, 6>> expected;
  std::array<qint64, 6> all{};
  for (qsizetype i = 1; i < out.size(); ++i) {
    const QString key = GroupKey(by, QDate::fromString(rows[i][0], Qt::ISODate),
                                 meltor::cli::TypeEntry(out[i][0]).value_or(u"?"_s), out[i][8]);
    std::array<qint64, 6>& sums = expected[key];
    ++sums[0];
    ++all[0];
    for (int k = 0; k < 5; ++k) {
      sums[k + 1] += out[i][17 + k].toLongLong();
      all[k + 1] += out[i][17 + k].toLongLong();
    }
  }
  QVERIFY(all[5] > 0 && all[1] > 0);  // the example has minutes in cloud and under the hood

  QStringList args = JournalArgs(u"totals"_s, j);
  if (!by.isEmpty()) args << u"--by"_s << by;
  if (json) args << u"--format"_s << u"json"_s;
  const Outcome r = Run(args);
  QCOMPARE(r.code, 0);
  // The lines as [key, group, flights, five minutes, five H:MM].
  const QStringList header = Words(
      u"key group flights zak_kab_min obl_min za_obl_min ogr_vid_min smu_min zak_kab obl za_obl "
      u"ogr_vid smu"_s);
  QList<QStringList> lines;
  if (json) {
    const QJsonObject doc = QJsonDocument::fromJson(r.outBytes).object();
    QJsonArray objects = doc.value(u"groups"_s).toArray();
    objects.append(doc.value(u"total"_s));
    for (const QJsonValue& v : objects) {
      QStringList line;
      for (const QString& name : header) {
        const QJsonValue value = v.toObject().value(name);
        line << (value.isDouble() ? QString::number(value.toInteger()) : value.toString());
      }
      lines << line;
    }
  } else {
    lines = ParseCsv(r.out);
    QCOMPARE(lines.takeFirst(), header);
  }
  QCOMPARE(lines.size(), qsizetype(expected.size() + 1));
  for (const QStringList& line : lines) {
    const bool total = line[0] == u"total"_s;
    QVERIFY2(total || expected.count(line[0]), qPrintable(line.join(u',')));
    const std::array<qint64, 6>& sums = total ? all : expected[line[0]];
    for (int k = 0; k < 6; ++k) QCOMPARE(line[2 + k].toLongLong(), sums[k]);
    for (int k = 1; k < 6; ++k) QCOMPARE(line[7 + k], HoursAndMinutes(sums[k]));
  }
  QCOMPARE(lines.back()[1], u"всего"_s);
}

void CliRunTest::journalImport_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<QString>("options");
  QTest::addColumn<int>("code");
  QTest::addColumn<int>("saved");
  QTest::addColumn<QString>("err");  // a piece of stderr; empty: nothing

  const QByteArray example = ReadFile(ExampleJournal());
  const QByteArray failing = example + "2025-03-31,,,L-39,1,10,0,,,10,,day,,,\n";
  const QString summary = u"1 из 12 строк не рассчитана"_s;
  QTest::newRow("the example") << example << QString() << 0 << 11 << QString();
  QTest::newRow("a failing row: nothing saved")
      << failing << QString() << 1 << 0
      << u"строка 13: height (Высота п-та, м): поле не заполнено"_s;
  QTest::newRow("a failing row: what is said last")
      << failing << QString() << 1 << 0
      << summary + u"; в журнал ничего не записано (остальные записывает --skip-failed)\n"_s;
  QTest::newRow("--skip-failed: the rest saved")
      << failing << u"--skip-failed"_s << 1 << 11 << summary + u"; остальные записаны в журнал\n"_s;
  QTest::newRow("a day that does not exist")
      << "date,type,minutes,clouds,vis_km,height\n31.02.2025,L-39,90,0,1,1000\n"_ba << QString()
      << 1 << 0 << u"строка 2: date: дата «31.02.2025»: такого дня нет"_s;
  // The example as a Russian spreadsheet saves it.
  QString sheet = QString::fromUtf8(example);
  sheet.replace(u',', u';').replace(u"\n"_s, u"\r\n"_s);
  sheet.replace(QRegularExpression(u"(\\d{4})-(\\d{2})-(\\d{2})"_s), u"\\3.\\2.\\1"_s);
  QTest::newRow("a spreadsheet's file: ; CRLF Windows-1251, dates with dots")
      << QByteArray(QStringEncoder("windows-1251").encode(sheet)) << QString() << 0 << 11
      << u"прочитан как Windows-1251"_s;
  QTest::newRow("no date column") << ReadFile(QStringLiteral(MELTOR_EXAMPLE_FLIGHTS)) << QString()
                                  << 2 << 0 << u"нет столбца date"_s;
  QTest::newRow("columns nobody knows are named")
      << "date,type,minutes,clouds,vis_km,height,speed\n2025-01-01,L-39,90,0,1,1000,300\n"_ba
      << QString() << 0 << 1 << u"столбцы «speed» не читаются и пропущены"_s;
}

void CliRunTest::journalImport() {
  QFETCH(QByteArray, input);
  QFETCH(QString, options);
  QFETCH(int, code);
  QFETCH(int, saved);
  QFETCH(QString, err);
  const QString j = Path(u"import-%1.sqlite"_s.arg(QTest::currentDataTag()).replace(u' ', u'_'));
  const Outcome r = Run(JournalArgs(u"import - "_s + options, j), input);
  QVERIFY2(r.code == code, qPrintable(r.err));
  if (err.isEmpty()) {
    QCOMPARE(r.err, QString());
  } else {
    QVERIFY2(r.err.contains(err), qPrintable(r.err));
  }
  QCOMPARE(EntryCount(j), saved);
  QCOMPARE(r.out.isEmpty(), code != 0 && saved == 0);
}

void CliRunTest::journalRoundTrip() {
  // Exported, imported into a new journal and exported again: the same file; imported back into
  // the first journal: nothing new. As a Russian spreadsheet's CSV too.
  const QString first = Path(u"round-1.sqlite"_s);
  QCOMPARE(Run(JournalArgs(u"import "_s + ExampleJournal(), first)).code, 0);
  QCOMPARE(Run(JournalArgs(u"add -t Су-27 -n -H 1 -m 0 -c 10 -b 600 -u 2500 -k 3 -a 4000 "
                           u"--date 2025-04-01 --board =7 --remark x;y"_s,
                           first))
               .code,
           0);
  for (const QString& dialect : {QString(), u"--delimiter ; --bom"_s}) {
    const QString second = Path(u"round-2%1.sqlite"_s.arg(dialect.size()));
    const QString once = Path(u"round-once.csv"_s);
    const QString twice = Path(u"round-twice.csv"_s);
    QCOMPARE(Run(JournalArgs(u"export --raw -o "_s + once + u' ' + dialect, first)).code, 0);
    const Outcome imported = Run(JournalArgs(u"import "_s + once, second));
    QCOMPARE(imported.err, QString());
    QVERIFY2(imported.out.contains(u"записано полётов: 12;"_s), qPrintable(imported.out));
    QCOMPARE(Run(JournalArgs(u"export --raw -o "_s + twice + u' ' + dialect, second)).code, 0);
    QCOMPARE(ReadFile(twice), ReadFile(once));
    QCOMPARE(ReadFile(once).startsWith("\xEF\xBB\xBFnumber;date;"), !dialect.isEmpty());
    const Outcome again = Run(JournalArgs(u"import "_s + once, first));
    QVERIFY2(again.out.contains(u"записано полётов: 0; уже были в журнале и пропущены: 12"_s),
             qPrintable(again.out));
  }
  // A typed text that looks like a formula is defused unless asked otherwise.
  const Outcome defused = Run(JournalArgs(u"list --from 2025-04-01"_s, first));
  QCOMPARE(ParseCsv(defused.out).value(1).value(2), u"'=7"_s);
  QCOMPARE(ParseCsv(defused.out).value(1).value(3), u"x;y"_s);
}

void CliRunTest::journalCommands_data() {
  QTest::addColumn<QStringList>("before");  // journal subcommands that must succeed first
  QTest::addColumn<QString>("args");        // the subcommand; {dir}: the test's folder
  QTest::addColumn<int>("code");
  QTest::addColumn<QStringList>("pieces");  // of stdout and stderr; "!…": must not be there
  QTest::addColumn<int>("count");           // entries after; -1: not counted

  const QString flight = u"add -t L-39 -d -H 1 -m 0 -c 10 -b 600 -u 2500 -k 3 -a 4000 "_s;
  const QString balance = u"balance --date 2024-12-31 --flights 120 --zak-kab 12:30 --obl 600"_s;
  QTest::newRow("add: the results and the number")
      << QStringList{} << flight + u"--date 2025-04-01 --board 12"_s << 0
      << QStringList{CalcText(u"- 0.02 0.57 0.01 1.00"_s), u"№ 12, 2025-04-01.\n"_s} << 12;
  QTest::newRow("add: today without --date")
      << QStringList{} << flight << 0
      << QStringList{u"№ 12, %1."_s.arg(QDate::currentDate().toString(Qt::ISODate))} << 12;
  QTest::newRow("add: a flight that fails is not saved")
      << QStringList{} << u"add -t L-39 -H 1 -m 0"_s << 1
      << QStringList{u"--height (Высота п-та, м): поле не заполнено"_s,
                     u"полёт не рассчитан и в журнал не записан"_s, u"!№"_s}
      << 11;
  QTest::newRow("add: a type nobody knows") << QStringList{} << u"add -t Ту-22 -m 5 -a 100"_s << 1
                                            << QStringList{u"«Ту-22» нет в списке"_s} << 11;
  QTest::newRow("add: no tables file to name the flight's by")
      << QStringList{} << u"add --tables {dir}/none.mdb -t L-39 -m 5 -c 0 -k 10 -a 1000"_s << 1
      << QStringList{u"none.mdb» не читается: такого файла нет. Полёт не записан в журнал"_s} << 11;
  QTest::newRow("add: a board number too long")
      << QStringList{} << flight + u"--board "_s + QString(51, u'7') << 1
      << QStringList{u"бортовой номер длиннее 50 знаков"_s} << 11;
  QTest::newRow("list: a period and a type")
      << QStringList{} << u"list --from 01.02.2025 --to 2025-02-28 -t su27"_s << 0
      << QStringList{u"\n5,2025-02-04,31,,Су-27,"_s, u"\n6,2025-02-11,31,,Су-27,"_s,
                     u"!2025-02-18"_s}
      << 11;
  QTest::newRow("list: JSON") << QStringList{} << u"list -f json --from 2025-03-25"_s << 0
                              << QStringList{u"[\n  {"_s,
                                             u"{\"number\": 11, \"date\": \"2025-03-25\", "_s,
                                             u"\"smu_min\": 119, "_s, u"!\"number\": 10"_s}
                              << 11;
  QTest::newRow("totals: the balance counts from its date")
      << QStringList{balance} << u"totals"_s << 0
      << QStringList{u"\nbalance,начальные итоги на 2024-12-31,120,750,600,,,,12:30,10:00,,,\n"_s,
                     u"\ntotal,всего,131,924,"_s}
      << 11;
  QTest::newRow("totals: a month after the balance is that month's alone")
      << QStringList{balance} << u"totals --by month --from 2025-02-01 --to 2025-02-28"_s << 0
      << QStringList{u"\n2025-02,февраль 2025,4,"_s, u"\ntotal,всего,4,"_s, u"!balance"_s} << 11;
  QTest::newRow("balance: shown")
      << QStringList{balance} << u"balance"_s << 0
      << QStringList{u"полётов: 120 (на 2024-12-31)"_s,
                     u"в закр. кабине: 12:30 — 750 мин (на 2024-12-31)"_s, u"за обл.: не задано"_s}
      << 11;
  QTest::newRow("balance: one item cleared, the others kept")
      << QStringList{balance} << u"balance --zak-kab -"_s << 0
      << QStringList{u"в закр. кабине: не задано"_s, u"полётов: 120 (на 2024-12-31)"_s} << 11;
  QTest::newRow("delete: says what it deleted")
      << QStringList{} << u"delete 3"_s << 0
      << QStringList{u"Удалена запись № 3: 2025-01-21, Л-39, борт 15, "_s,
                     u"при огр. видимости 0.40, Всего в СМУ 0.40, «заход ниже облаков».\n"_s}
      << 10;
  QTest::newRow("delete: control characters shown, not sent")
      << QStringList{flight + u"--date 2025-04-01 --remark a\u001B[2Jb"_s} << u"delete 12"_s << 0
      << QStringList{u"«a<U+001B>[2Jb».\n"_s, u"!\u001B"_s} << 11;
  QTest::newRow("delete: no such entry")
      << QStringList{u"delete 3"_s} << u"delete 3"_s << 1 << QStringList{u"нет записи № 3"_s} << 10;
  QTest::newRow("backup") << QStringList{} << u"backup {dir}/copy.sqlite"_s << 0
                          << QStringList{u"записана в «%1/copy.sqlite»"_s} << 11;
  QTest::newRow("backup: a full disk")
      << QStringList{} << u"backup /dev/full"_s << 1
      << QStringList{u"Копия журнала: файл «/dev/full» не записан: на диске нет места."_s} << 11;
  QTest::newRow("export: a file for a Russian spreadsheet")
      << QStringList{} << u"export -o {dir}/e.csv --delimiter ; --bom --from 2025-03-01"_s << 0
      << QStringList{u"выгружено полётов: 3"_s} << 11;
  QTest::newRow("export: not over the journal itself")
      << QStringList{} << u"export -o {dir}/commands.sqlite"_s << 1
      << QStringList{u"это сам журнал; выгрузка не сделана"_s} << 11;
  QTest::newRow("a read of a journal not yet made")
      << QStringList{} << u"totals --journal {dir}/none.sqlite"_s << 0
      << QStringList{u"ещё нет"_s, u"\ntotal,всего,0,0,0,0,0,0,0:00,"_s} << -1;
  QTest::newRow("the default journal, in the data folder")
      << QStringList{} << u"add -t L-39 -m 5 -c 0 -k 10 -a 1000"_s << 0
      << QStringList{u"%1/data/Meltor/journal.sqlite»: № 1,"_s} << -1;
}

void CliRunTest::journalCommands() {
  QFETCH(QStringList, before);
  QFETCH(QString, args);
  QFETCH(int, code);
  QFETCH(QStringList, pieces);
  QFETCH(int, count);
  // A fresh copy of the example logbook for each row.
  const QString j = Path(u"commands.sqlite"_s);
  QFile::remove(j);
  QVERIFY(QFile::copy(journal_, j));
  const bool byDefault = args.startsWith(u"add -t L-39 -m 5"_s);
  const QString data = Path(u"data"_s);
  QDir(data).removeRecursively();
  const QStringList env{u"LC_ALL=C.UTF-8"_s, u"XDG_DATA_HOME="_s + data};
  for (const QString& command : before) QCOMPARE(Run(JournalArgs(command, j), {}, env).code, 0);
  const bool own = args.contains(u"--journal"_s) || byDefault;
  const Outcome r = Run(JournalArgs(args, own ? QString() : j), {}, env);
  QVERIFY2(r.code == code, qPrintable(r.err));
  for (QString piece : pieces) {
    piece.replace(u"%1"_s, dir_.path());
    if (piece.startsWith(u'!')) {
      QVERIFY2(!(r.out + r.err).contains(piece.mid(1)), qPrintable(r.out + r.err));
    } else {
      QVERIFY2((r.out + r.err).contains(piece), qPrintable(piece + u"\n"_s + r.out + r.err));
    }
  }
  if (count >= 0) QCOMPARE(EntryCount(j), count);
  if (byDefault) QCOMPARE(EntryCount(data + u"/Meltor/journal.sqlite"_s), 1);
  if (args.contains(u"{dir}/e.csv"_s)) {
    QCOMPARE(ParseCsv(QString::fromUtf8(ReadFile(Path(u"e.csv"_s))).replace(u';', u',')).size(), 4);
  }
}

void CliRunTest::journalFaults_data() {
  QTest::addColumn<QString>("fault");
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("message");
  const QString readOnly = u"можно только читать"_s;
  const QString damaged = u"повреждён"_s;
  const QString busy = u"занят другой программой, которая в него пишет (ждали 0.3 с)"_s;
  const QString full = u"предел размера файла"_s;
  for (const QString& command : {u"add"_s, u"import"_s, u"balance"_s, u"delete"_s}) {
    QTest::newRow(qPrintable(u"read-only: "_s + command)) << u"read-only"_s << command << readOnly;
    QTest::newRow(qPrintable(u"damaged: "_s + command)) << u"damaged"_s << command << damaged;
    QTest::newRow(qPrintable(u"locked: "_s + command)) << u"locked"_s << command << busy;
    QTest::newRow(qPrintable(u"full disk: "_s + command)) << u"full"_s << command << full;
  }
  // The disk fills while SQLite is putting the import's pages in the file, before its end.
  QTest::newRow("full disk in the middle: import") << u"full later"_s << u"import"_s << full;
  QTest::newRow("damaged: list") << u"damaged"_s << u"list"_s << damaged;
  QTest::newRow("locked for reading too: totals") << u"exclusive"_s << u"totals"_s << busy;
}

void CliRunTest::journalFaults() {
  // Each fault gives a clear Russian message and exit 1, and leaves the file byte for byte.
  QFETCH(QString, fault);
  QFETCH(QString, command);
  QFETCH(QString, message);
  const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
  QTemporaryDir work;
  QVERIFY(work.isValid());
  const QString folder = work.filePath(u"j"_s);
  QVERIFY(QDir().mkpath(folder));
  const QString j = QDir(folder).filePath(u"journal.sqlite"_s);
  QVERIFY(QFile::copy(journal_, j));
  if (fault == u"damaged"_s) QVERIFY(QFile::resize(j, 5000));
  // Flights the journal does not hold yet, so that an import has something to write.
  const QString csv = work.filePath(u"new.csv"_s);
  {
    QFile f(csv);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(fault == u"full later"_s ? ManyFlights(40'000)
                                     : ReadFile(ExampleJournal()).replace("2025-", "2026-"));
  }
  const QString bin = work.filePath(u"bin"_s);
  const std::optional<Runnable> run = CopiesForNobody(nobody, bin);
  QVERIFY(run);
  if (nobody) {
    for (const QString& path : {work.path(), folder, j, csv, bin, run->program, run->tables}) {
      QVERIFY(::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) == 0);
    }
    QVERIFY(::chmod(QFile::encodeName(work.path()).constData(), 0755) == 0);
  }
  if (fault == u"read-only"_s) {
    QVERIFY(::chmod(QFile::encodeName(j).constData(), 0444) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
  }
  const QString before = Digest(j);
  sqlite3* other = nullptr;
  if (fault == u"locked"_s || fault == u"exclusive"_s) {
    QCOMPARE(sqlite3_open(QFile::encodeName(j).constData(), &other), SQLITE_OK);
    const char* lock = fault == u"locked"_s ? "BEGIN IMMEDIATE" : "BEGIN EXCLUSIVE";
    QCOMPARE(sqlite3_exec(other, lock, nullptr, nullptr, nullptr), SQLITE_OK);
  }
  QString words = command;
  if (command == u"add"_s) words += u" -t L-39 -m 5 -c 0 -k 10 -a 1000"_s;
  if (command == u"import"_s) words += u' ' + csv;
  if (command == u"balance"_s) words += u" --date 2024-12-31 --flights 5"_s;
  if (command == u"delete"_s) words += u" 1"_s;
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
  p.setProcessEnvironment(env);
  // Not a byte more may be written, or a megabyte more: more than a small change needs, less than
  // the 40,000 flights, which outgrow SQLite's cache and go to the file before the commit.
  const bool limit = fault.startsWith(u"full"_s);
  const rlim_t bytes = fault == u"full later"_s ? rlim_t(QFileInfo(j).size() + (1 << 20)) : 0;
  const uid_t uid = nobody ? nobody->pw_uid : 0;
  const gid_t gid = nobody ? nobody->pw_gid : 0;
  p.setChildProcessModifier([limit, bytes, uid, gid] {
    const rlimit most{bytes, bytes};
    if (limit) ::setrlimit(RLIMIT_FSIZE, &most);
    if (uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
      ::_exit(99);
    }
  });
  QStringList args = JournalArgs(words + u" --wait 0.3"_s, j);
  args.replaceInStrings(QStringLiteral(MELTOR_SHIPPED_TABLES), run->tables);
  p.start(run->program, args);
  QVERIFY2(p.waitForStarted(), qPrintable(p.errorString()));
  QVERIFY(p.waitForFinished(60000));
  if (other) {
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
  }
  ::chmod(QFile::encodeName(folder).constData(), 0755);
  const QString err = QString::fromUtf8(p.readAllStandardError());
  QCOMPARE(p.exitStatus(), QProcess::NormalExit);
  QVERIFY2(p.exitCode() == 1, qPrintable(err));
  QVERIFY2(err.startsWith(u"meltor-cli: "_s) && err.contains(message) && err.contains(j),
           qPrintable(err));
  QCOMPARE(p.readAllStandardOutput(), QByteArray());
  QCOMPARE(Digest(j), before);
  QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
           QStringList{u"journal.sqlite"_s});
}

void CliRunTest::journalConcurrentAdds() {
  // Ten `journal add` at once, into a journal none of them finds made: all land.
  const QString j = Path(u"ten/journal.sqlite"_s);
  std::vector<std::unique_ptr<QProcess>> adds;
  for (int k = 0; k < 10; ++k) {
    adds.push_back(std::make_unique<QProcess>());
    adds.back()->start(
        QStringLiteral(MELTOR_CLI_PATH),
        JournalArgs(u"add -t L-39 -m 5 -c 0 -k 10 -a %1 --date 2025-05-01"_s.arg(1000 + k), j));
  }
  QSet<QString> numbers;
  for (const auto& p : adds) {
    QVERIFY(p->waitForFinished(60000));
    QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
    const auto m =
        QRegularExpression(u"№ (\\d+),"_s).match(QString::fromUtf8(p->readAllStandardOutput()));
    QVERIFY(m.hasMatch());
    numbers.insert(m.captured(1));
  }
  QCOMPARE(numbers.size(), 10);
  QCOMPARE(EntryCount(j), 10);
}

void CliRunTest::journalKilledImport() {
  // 100,000 flights imported, killed a second after the import began writing: the journal
  // passes SQLite's integrity check and holds none of them or all.
  const QString j = Path(u"killed.sqlite"_s);
  QVERIFY(QFile::copy(journal_, j));
  const QString csv = Path(u"many.csv"_s);
  {
    QFile f(csv);
    QVERIFY(f.open(QIODevice::WriteOnly));
    const QByteArray text = ManyFlights(100'000);
    QVERIFY(f.write(text) == text.size());
  }
  QProcess p;
  p.start(QStringLiteral(MELTOR_CLI_PATH), JournalArgs(u"import "_s + csv, j));
  QVERIFY(p.waitForStarted());
  QElapsedTimer clock;
  clock.start();
  while (!QFileInfo::exists(j + u"-journal"_s) && p.state() == QProcess::Running &&
         clock.elapsed() < 60000) {
    QTest::qSleep(5);
  }
  QTest::qSleep(1000);  // well into the rows
  const bool killed = p.state() == QProcess::Running;
  if (killed) p.kill();
  QVERIFY(p.waitForFinished(60000));
  sqlite3* db = nullptr;
  QCOMPARE(sqlite3_open(QFile::encodeName(j).constData(), &db), SQLITE_OK);  // rolls back
  QString verdict;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW) {
    verdict = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  QCOMPARE(verdict, u"ok"_s);
  const qint64 count = EntryCount(j);
  QVERIFY2(count == 11 || count == 11 + 100'000, qPrintable(QString::number(count)));
  if (!killed) QCOMPARE(count, 11 + 100'000);
}

QTEST_GUILESS_MAIN(CliRunTest)
#include "tst_cli_run.moc"
