// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The table keeper's tools, through meltor-cli's own commands: export and build give back a file
// on which every lookup agrees, also after a spreadsheet saved the exported files again; bad CSV
// is refused with its place and leaves no file, and each kind of implausible data is warned about
// at its cell.
#include "commands.h"
#include "interpolation.h"
#include "profiles.h"
#include "table_csv.h"
#include "tables_file.h"
#include "test_tables.h"

#include <sys/stat.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace meltor;
using namespace meltor::test;
using namespace Qt::StringLiterals;

namespace {

struct Outcome {
  int code = -1;
  QString out;
  QString err;
};

Outcome RunCli(const QStringList& args) {
  QBuffer in, out, err;
  in.open(QIODevice::ReadOnly);
  out.open(QIODevice::WriteOnly);
  err.open(QIODevice::WriteOnly);
  cli::Console console{in, out, err, false, QLocale::c()};
  const int code = cli::Run(args, console);
  return {code, QString::fromUtf8(out.data()), QString::fromUtf8(err.data())};
}

QList<QStringList> Rows(const QString& text) {
  QList<QStringList> rows;
  for (const QString& line : text.split(u'|')) rows << line.split(u' ', Qt::SkipEmptyParts);
  return rows;
}

// A tables file with all twelve views: the shapes given by suffix, a plain table for the rest.
QString TypesSql(const QMap<QString, QPair<QString, QString>>& shapes) {
  QString sql = u"BEGIN;\n"_s;  // one commit, not one per statement
  for (const AircraftProfile& p : AircraftProfiles()) {
    const QString s = QString::fromLatin1(p.suffix);
    const auto shape =
        shapes.value(s, {u"0 0|1000 60|2000 130"_s, u"-1 500 1000|0 30 60|500 32 64"_s});
    sql += ViewSql(u"Z_Time_Pod_"_s + s, Rows(shape.first)) +
           ViewSql(u"Z_Time_Obl_"_s + s, Rows(shape.second));
  }
  return sql + u"COMMIT;\n"_s;
}

// Every lookup result (or its failure) over the keys of the tables, between them and beyond.
QStringList Lookups(const QString& path) {
  TablesFile file(path);
  QStringList results;
  const auto keys = [](std::vector<double> k) {
    std::vector<Int16> out;
    std::sort(k.begin(), k.end());
    for (std::size_t i = 0; i < k.size(); ++i) {
      for (const double d : {-1.0, 0.0, 1.0, 37.0}) {
        if (const auto v = RoundHalfEven16(k[i] + d)) out.push_back(*v);
      }
      if (i + 1 < k.size()) out.push_back(static_cast<Int16>((k[i] + k[i + 1]) / 2));
    }
    return out;
  };
  const auto attempt = [&](const std::function<int()>& f) {
    try {
      results << QString::number(f());
    } catch (const CalcError& e) {
      results << e.message();
    }
  };
  for (const AircraftProfile& p : AircraftProfiles()) {
    const QString s = QString::fromLatin1(p.suffix);
    const Table climb = file.ReadView(u"Z_Time_Pod_"_s + s, TableKind::Climb);
    const Table grid = file.ReadView(u"Z_Time_Obl_"_s + s, TableKind::Grid);
    std::vector<double> heights, bases, columns;
    for (const auto& r : climb.rows) heights.push_back(*r[0]);
    for (std::size_t i = 1; i < grid.rows.size(); ++i) bases.push_back(*grid.rows[i][0]);
    for (std::size_t j = 1; j < grid.rows[0].size(); ++j) columns.push_back(*grid.rows[0][j]);
    for (const Int16 k : keys(heights)) {
      attempt([&] { return InterpolateOneKey(climb, k, Field::Hn).value; });
    }
    for (const Int16 hn : keys(bases)) {
      for (const Int16 key : keys(columns)) {
        attempt([&] { return InterpolateGrid(grid, hn, key).value; });
      }
    }
  }
  return results;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A way a spreadsheet with Russian settings saves a CSV file: its delimiter, its encoding, a byte
// order mark, and what it puts between groups of three digits (nothing: 0).
struct Saving {
  char delimiter;
  const char* encoding;
  bool byteOrderMark;
  char16_t digitGroups;
};

const QMap<QString, Saving>& Savings() {
  static const QMap<QString, Saving> savings = {
      {u"CSV UTF-8"_s, {';', "UTF-8", true, 0}},
      {u"Windows-1251 ;"_s, {';', "windows-1251", false, u'\u00A0'}},
      {u"Windows-1251 tab"_s, {'\t', "windows-1251", false, u' '}},
      {u"UTF-8 ,"_s, {',', "UTF-8", false, 0}},
  };
  return savings;
}

// An exported file (UTF-8, ',', decimal points, LF, only the corner cell quoted) as the spreadsheet
// saves it after opening it, changing nothing: numbers with a decimal comma, `saving`'s delimiter
// with quotes only around a cell that holds it or a quote, CRLF, `saving`'s encoding.
QByteArray Resaved(const QByteArray& exported, const Saving& saving) {
  const QChar delimiter = QLatin1Char(saving.delimiter);
  QString out;
  for (QString line : QString::fromUtf8(exported).split(u'\n', Qt::SkipEmptyParts)) {
    QStringList cells;
    if (line.startsWith(u'"')) {  // the corner cell
      const qsizetype end = line.indexOf(u'"', 1);
      cells << line.mid(1, end - 1);
      line = line.mid(end + 2);
    }
    cells += line.split(u',');
    for (QString& cell : cells) {
      const bool number = !cell.isEmpty() && std::all_of(cell.begin(), cell.end(), [](QChar c) {
        return c.isDigit() || c == u'.' || c == u'-';
      });
      if (number) {
        cell.replace(u'.', u',');
        const qsizetype point = cell.contains(u',') ? cell.indexOf(u',') : cell.size();
        for (qsizetype at = point - 3; saving.digitGroups && at > (cell[0] == u'-' ? 1 : 0);
             at -= 3) {
          cell.insert(at, QChar(saving.digitGroups));
        }
      }
      if (cell.contains(delimiter) || cell.contains(u'"')) {
        cell = u'"' + cell.replace(u"\""_s, u"\"\""_s) + u'"';
      }
    }
    out += cells.join(delimiter) + u"\r\n"_s;
  }
  QStringEncoder encoder(saving.encoding);
  const QByteArray bytes = encoder.encode(out);
  return saving.byteOrderMark ? "\xEF\xBB\xBF" + bytes : bytes;
}

}  // namespace

class TableToolsTest : public QObject {
  Q_OBJECT

 private slots:
  void roundTrip_data();
  void roundTrip();
  void numbers_data();
  void numbers();
  void errors_data();
  void errors();
  void warnings_data();
  void warnings();

 private:
  QTemporaryDir dir_;
  QHash<QString, QStringList> originalLookups_;  // by the tables' SQL, or the shipped file's path
};

void TableToolsTest::roundTrip_data() {
  QTest::addColumn<QString>("sql");     // empty: the shipped file
  QTest::addColumn<QString>("saving");  // how a spreadsheet saved the exported files; empty: not
  QTest::newRow("shipped file") << QString() << QString();
  for (const QString& saving : Savings().keys()) {
    QTest::addRow("shipped file, saved as %s", qPrintable(saving)) << QString() << saving;
  }
  QTest::newRow("unsorted rows, descending keys, a repeated height")
      << TypesSql({{u"L39"_s,
                    {u"500 30|100 6|1500 95|1000 60|1000 61"_s,
                     u"-1 3000 2000 1000|1000 120 60 0|0 174 110 52|500 150 85 27"_s}},
                   {u"Su25"_s,
                    {u"3000 200|2000 130|1000 60|0 0"_s,
                     u"-1 1000 500|2000 40 20|1000 35 17|0 30 15"_s}}})
      << QString();
  QTest::newRow("2-column and 24-column grids")
      << TypesSql({{u"Su24"_s, {u"0 0|1000 20"_s, u"-1 1000|0 20|500 22"_s}},
                   {u"MiG29"_s,
                    {u"0 0|5000 50|12000 200"_s,
                     u"-1 100 200 300 400 500 600 700 800 900 1000 1250 1500 2000 2500 3000 "
                     u"3500 4000 5000 6000 7000 8000 10000 12000|"
                     u"0 1 2 3 4 5 6 7 8 9 10 12 15 20 25 30 35 40 50 60 70 80 100 120|"
                     u"1000 1 2 3 4 5 6 7 8 9 11 13 16 21 26 31 37 42 52 63 74 85 110 140"_s}}})
      << QString();
  const QString fractional = TypesSql(
      {{u"Su27"_s,
        {u"0 0|100 0.5|250.5 1.25|1000 6.125"_s, u"-1 100 200.5|0 0.5 1.75|100 NULL 1.875"_s}}});
  QTest::newRow("fractional times and keys, empty cells") << fractional << QString();
  // Not with tabs: in the key row of Su27_obl.csv, «Нн \\ толщина слоя, м<tab>100<tab>200,5», the
  // commas tie with the tabs, and a tie goes to the comma (--delimiter tab reads it).
  for (const QString& saving : Savings().keys()) {
    if (Savings().value(saving).delimiter == '\t') continue;
    QTest::addRow("fractional times, saved as %s", qPrintable(saving)) << fractional << saving;
  }
}

void TableToolsTest::roundTrip() {
  QFETCH(QString, sql);
  QFETCH(QString, saving);
  const QString tag = u"rt%1"_s.arg(qHash(QByteArrayView(QTest::currentDataTag())), 0, 16);
  const QString original =
      sql.isEmpty() ? QStringLiteral(MELTOR_SHIPPED_TABLES) : dir_.filePath(tag + u".mdb"_s);
  if (!sql.isEmpty()) WriteTablesFile(original, sql);
  // The lookups of the original, worked out once for the rows that share it.
  const QString key = sql.isEmpty() ? original : sql;
  if (!originalLookups_.contains(key)) originalLookups_.insert(key, Lookups(original));
  const QStringList& lookups = originalLookups_[key];
  const QString csv = dir_.filePath(tag + u"-csv"_s);
  const QString csv2 = dir_.filePath(tag + u"-csv2"_s);
  const QString built = dir_.filePath(tag + u"-built.mdb"_s);

  Outcome r = RunCli({u"tables"_s, u"export"_s, u"--tables"_s, original, csv});
  QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
  QCOMPARE(QDir(csv).entryList(QDir::Files).size(), 12);
  // Nothing comes from elsewhere: --from names a file that does not exist.
  if (!saving.isEmpty()) {
    // Opened in a spreadsheet and saved again, nothing changed: the tables check as before (the
    // shipped ones without a finding), build and give the same lookups and the same results.
    const Outcome exported =
        RunCli({u"tables"_s, u"check"_s, u"--strict"_s, csv, u"--tables"_s, original});
    for (const QString& name : QDir(csv).entryList(QDir::Files)) {
      QFile f(QDir(csv).filePath(name));
      const QByteArray bytes = Resaved(ReadAll(f.fileName()), Savings().value(saving));
      QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    r = RunCli({u"tables"_s, u"check"_s, u"--strict"_s, csv, u"--tables"_s, original});
    QCOMPARE(r.out, exported.out);
    QCOMPARE(r.code, exported.code);
    if (sql.isEmpty()) QVERIFY2(r.code == 0 && r.out.isEmpty(), qPrintable(r.out + r.err));
    // Said once on the error stream, for the files read as Windows-1251 (a grid has its corner
    // cell in Cyrillic).
    QCOMPARE(r.err.contains(u"L39_obl.csv"_s) && r.err.contains(u"прочитан как Windows-1251"_s),
             saving.startsWith(u"Windows"_s));
  }
  r = RunCli({u"tables"_s, u"build"_s, csv, u"-o"_s, built, u"--from"_s, dir_.filePath(u"none"_s)});
  QVERIFY2(r.code == 0, qPrintable(r.out + r.err));

  QCOMPARE(Lookups(built), lookups);
  if (!saving.isEmpty()) {
    const QString flights = QStringLiteral(MELTOR_EXAMPLE_FLIGHTS);
    const Outcome expected = RunCli({u"batch"_s, u"--tables"_s, original, flights});
    const Outcome got = RunCli({u"batch"_s, u"--tables"_s, built, flights});
    QCOMPARE(got.out, expected.out);
    QCOMPARE(got.code, expected.code);
    return;  // what follows is about the exported files themselves
  }
  // An edited CSV is not overwritten by a new export without --force.
  const QByteArray csvBefore = ReadAll(QDir(csv).filePath(u"L39_pod.csv"_s));
  r = RunCli({u"tables"_s, u"export"_s, u"--type"_s, u"Л-39"_s, u"--tables"_s, built, csv});
  QVERIFY2(r.code == 1 && r.err.contains(u"L39_pod.csv"_s), qPrintable(r.err));
  QCOMPARE(ReadAll(QDir(csv).filePath(u"L39_pod.csv"_s)), csvBefore);
  // Readable by every user of the program, not private like a temporary file.
  QVERIFY(QFileInfo(built).permissions() & QFile::ReadOther);
  // Exported again, the files are the same bytes.
  r = RunCli({u"tables"_s, u"export"_s, u"--tables"_s, built, csv2});
  QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
  for (const QString& name : QDir(csv).entryList(QDir::Files)) {
    QCOMPARE(ReadAll(QDir(csv2).filePath(name)), ReadAll(QDir(csv).filePath(name)));
  }
  // The built file is never overwritten without --force, and is with it.
  const QByteArray before = ReadAll(built);
  r = RunCli({u"tables"_s, u"build"_s, csv, u"-o"_s, built});
  QCOMPARE(r.code, 1);
  QVERIFY2(r.err.contains(u"--force"_s), qPrintable(r.err));
  QCOMPARE(ReadAll(built), before);
  r = RunCli({u"tables"_s, u"build"_s, csv, u"-o"_s, built, u"--force"_s});
  QCOMPARE(r.code, 0);
  QCOMPARE(Lookups(built), lookups);
  // The Russian spreadsheet's dialect comes back as it went out (the corner cell's comma is not
  // taken for the delimiter: the first row has more semicolons); the type spelled as calc takes
  // it.
  const QString semicolons = dir_.filePath(tag + u"-csv3"_s);
  r = RunCli({u"tables"_s, u"export"_s, u"--delimiter"_s, u";"_s, u"--type"_s, u"l-39"_s,
              u"--tables"_s, original, semicolons});
  QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
  r = RunCli(
      {u"tables"_s, u"build"_s, semicolons, u"-o"_s, built, u"--force"_s, u"--from"_s, original});
  QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
  QCOMPARE(Lookups(built), lookups);
}

void TableToolsTest::numbers_data() {
  QTest::addColumn<QString>("cell");
  QTest::addColumn<double>("value");  // NaN: not a number
  const double no = std::nan("");
  QTest::newRow("whole") << u"120"_s << 120.0;
  QTest::newRow("leading +") << u"+100"_s << 100.0;
  QTest::newRow("negative") << u"-5"_s << -5.0;
  QTest::newRow("decimal comma, blanks around") << u" 5,5\t"_s << 5.5;
  QTest::newRow("decimal point") << u"6.125"_s << 6.125;
  QTest::newRow("no whole part") << u",5"_s << 0.5;
  QTest::newRow("exponent") << u"1,5E3"_s << 1500.0;
  QTest::newRow("space between thousands") << u"1 000"_s << 1000.0;
  QTest::newRow("no-break space between thousands") << u"12\u00A0000"_s << 12000.0;
  QTest::newRow("narrow no-break space, decimal comma") << u"1\u202F000,25"_s << 1000.25;
  QTest::newRow("millions") << u"-12 345 678"_s << -12345678.0;
  QTest::newRow("a group of two") << u"1 00"_s << no;
  QTest::newRow("a first group of four") << u"1000 000"_s << no;
  QTest::newRow("two blanks") << u"1  000"_s << no;
  QTest::newRow("a blank in the fraction") << u"1,000 5"_s << no;
  QTest::newRow("thousands comma and decimal point") << u"1,000.5"_s << no;
  QTest::newRow("two commas") << u"1,5,5"_s << no;
  QTest::newRow("letter O for zero") << u"5O"_s << no;
  QTest::newRow("two signs") << u"+-5"_s << no;
  QTest::newRow("sign alone") << u"-"_s << no;
  QTest::newRow("exponent without digits") << u"1e"_s << no;
  QTest::newRow("infinity") << u"inf"_s << no;
  QTest::newRow("empty") << QString() << no;
}

void TableToolsTest::numbers() {
  QFETCH(QString, cell);
  QFETCH(double, value);
  const std::optional<double> read = ParseTableNumber(cell);
  QCOMPARE(read.has_value(), !std::isnan(value));
  if (read) QCOMPARE(*read, value);
}

void TableToolsTest::errors_data() {
  QTest::addColumn<QString>("file");
  // "100MB": a file of that size; "16MB,": of commas; "@fifo", "@folder", "@nothing", "@device": a
  // named pipe, a folder, a symbolic link to nothing or to /dev/zero in the file's place.
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QString>("place");  // empty: the file is accepted
  QTest::addColumn<QString>("message");

  QTest::newRow("text in a cell") << u"L39_pod.csv"_s
                                  << QByteArray("height_m,time_s\n0,0\n100,5O\n")
                                  << u"L39_pod.csv, строка 3, столбец 2 (B)"_s
                                  << u"«5O» — не число"_s;
  QTest::newRow("text in a cell, in a folder named 100%2C %1")
      << u"L39_pod.csv"_s << QByteArray("height_m,time_s\n0,0\n100,5O\n")
      << u"L39_pod.csv, строка 3, столбец 2 (B)"_s << u"«5O» — не число"_s;
  QTest::newRow("outside 16 bits")
      << u"Su24_pod.csv"_s << QByteArray("0,0\n100,40000\n")
      << u"Su24_pod.csv, строка 2, столбец 2 (B)"_s << u"вне диапазона"_s;
  QTest::newRow("ragged row") << u"L39_obl.csv"_s << QByteArray("x,100,200\n0,5,10\n100,5\n")
                              << u"L39_obl.csv, строка 3, столбец 3 (C)"_s << u"нет ячейки"_s;
  QTest::newRow("extra cell") << u"L39_pod.csv"_s << QByteArray("h,t\n0,0\n100,5,7\n")
                              << u"L39_pod.csv, строка 3, столбец 3 (C)"_s << u"лишняя ячейка"_s;
  QByteArray wide = "x";
  for (int k = 1; k <= 24; ++k) wide += "," + QByteArray::number(k * 100);
  QTest::newRow("grid too wide") << u"MiG31_obl.csv"_s << wide + "\n0" + QByteArray(24, ',') + "\n"
                                 << u"MiG31_obl.csv, строка 1, столбец 25 (Y)"_s
                                 << u"шире допустимой"_s;
  QTest::newRow("no rows") << u"L39_pod.csv"_s << QByteArray("height_m,time_s\r\n")
                           << u"L39_pod.csv"_s << u"нет ни одной строки"_s;
  QTest::newRow("no column keys") << u"L39_obl.csv"_s << QByteArray("x\n0\n") << u"L39_obl.csv"_s
                                  << u"нет ни одного ключа"_s;
  QTest::newRow("no cloud bases") << u"L39_obl.csv"_s << QByteArray("x,100\n") << u"L39_obl.csv"_s
                                  << u"нет ни одной строки с нижней границей"_s;
  QTest::newRow("key missing") << u"Su25_obl.csv"_s << QByteArray("x,,200\n0,5,10\n")
                               << u"Su25_obl.csv, строка 1, столбец 2 (B)"_s
                               << u"нет ключа столбца"_s;
  QTest::newRow("empty file") << u"L39_pod.csv"_s << QByteArray() << u"L39_pod.csv"_s
                              << u"файл пуст"_s;
  QTest::newRow("not UTF-8") << u"L39_pod.csv"_s << u"высота,время\n0,0\n"_s.toUtf8() + "1\xff,2\n"
                             << u"L39_pod.csv, строка 3"_s << u"UTF-8"_s;
  QTest::newRow("digits in groups of two")
      << u"L39_pod.csv"_s << QByteArray("h;t\n0;0\n1 00;5\n")
      << u"L39_pod.csv, строка 3, столбец 1 (A)"_s << u"«1 00» — не число"_s;
  QTest::newRow("rows that do not fit the delimiter found")
      << u"L39_pod.csv"_s << QByteArray("h;t\n0;0\n100,5\n")
      << u"L39_pod.csv, строка 3, столбец 2 (B)"_s
      << u"нет ячейки: в строке 1 ячеек, а в первой строке 2 (разделитель «;» определён по первой "
         u"строке; другой задаёт --delimiter)"_s;
  QTest::newRow("a header split by the wrong delimiter")
      << u"L39_pod.csv"_s << QByteArray("height, m;time, s\n0;0\n") << u"L39_pod.csv, строка 1"_s
      << u"здесь 3 (разделитель «,» определён"_s;
  QTest::newRow("named pipe") << u"L39_pod.csv"_s << QByteArray("@fifo") << u"L39_pod.csv"_s
                              << u"это именованный канал, а не обычный файл"_s;
  QTest::newRow("folder") << u"Su27_obl.csv"_s << QByteArray("@folder") << u"Su27_obl.csv"_s
                          << u"это папка"_s;
  QTest::newRow("link to nothing")
      << u"L39_pod.csv"_s << QByteArray("@nothing") << u"L39_pod.csv"_s << u"ссылка на файл"_s;
  QTest::newRow("link to a device")
      << u"L39_obl.csv"_s << QByteArray("@device") << u"L39_obl.csv"_s << u"это устройство"_s;
  QTest::newRow("16 MB of commas") << u"L39_pod.csv"_s << QByteArray("16MB,")
                                   << u"L39_pod.csv, строка 1"_s << u"запись длиннее"_s;
  QTest::newRow("quote left open") << u"L39_pod.csv"_s << QByteArray("h,t\n0,\"0\n100,5\n")
                                   << u"L39_pod.csv, строка 2"_s << u"кавычка"_s;
  QTest::newRow("negative climb time")
      << u"L39_pod.csv"_s << QByteArray("h,t\n0,0\n100,-5\n")
      << u"L39_pod.csv, строка 3, столбец 2 (B)"_s << u"время набора -5 с меньше нуля"_s;
  QTest::newRow("negative in-cloud time")
      << u"Su24_obl.csv"_s << QByteArray("x,100,200\n0,5,10\n500,6,-0.5\n")
      << u"Su24_obl.csv, строка 3, столбец 3 (C)"_s << u"время в облаках -0.5 с меньше нуля"_s;
  QTest::newRow("100 MB") << u"L39_pod.csv"_s << QByteArray("100MB") << u"L39_pod.csv"_s
                          << u"больше 16 МБ"_s;
  // What spreadsheets write is read: a byte order mark, CRLF, ';' with comma decimals, quotes.
  QTest::newRow("spreadsheet dialect")
      << u"L39_pod.csv"_s
      << QByteArray("\xEF\xBB\xBFheight_m;time_s\r\n0;0\r\n\"100\";5,5\r\n;\r\n") << QString()
      << QString();
  QTest::newRow("Windows-1251, tab, a quote after blanks")
      << u"L39_pod.csv"_s
      << QByteArray("\xe2\xfb\xf1\xee\xf2\xe0\t\xe2\xf0\xe5\xec\xff\r\n0\t0\r\n+100\t \"5,5\"\r\n")
      << QString() << QString();
}

void TableToolsTest::errors() {
  QFETCH(QString, file);
  QFETCH(QByteArray, content);
  QFETCH(QString, place);
  QFETCH(QString, message);
  const QString csv = dir_.filePath(u"bad-"_s + QString::fromLatin1(QTest::currentDataTag()));
  QVERIFY(QDir().mkpath(csv));
  const QString path = QDir(csv).filePath(file);
  if (content == "@fifo") {
    QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
  } else if (content == "@folder") {
    QVERIFY(QDir().mkpath(path));
  } else if (content == "@nothing" || content == "@device") {
    QVERIFY(QFile::link(content == "@device" ? u"/dev/zero"_s : dir_.filePath(u"nothing"_s), path));
  } else {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    if (content == "100MB") {
      QVERIFY(f.resize(100 * 1024 * 1024));
    } else if (content == "16MB,") {
      QVERIFY(f.write(QByteArray(kMaxCsvBytes, ',')) == kMaxCsvBytes);
    } else {
      f.write(content);
    }
  }
  const QString shipped = QStringLiteral(MELTOR_SHIPPED_TABLES);
  const QString out = QDir(csv).filePath(u"new.mdb"_s);
  const Outcome r = RunCli({u"tables"_s, u"build"_s, csv, u"-o"_s, out, u"--from"_s, shipped});
  if (place.isEmpty()) {
    QVERIFY2(r.code == 0 && !r.out.contains(u"ошибка"_s), qPrintable(r.out + r.err));
    const Table t = TablesFile(out).ReadView(u"Z_Time_Pod_L39"_s, TableKind::Climb);
    QCOMPARE(t.recordCount(), 2);
    QCOMPARE(t.rows[1][0], Cell(100));
    QCOMPARE(t.rows[1][1], Cell(5.5));
    return;
  }
  QCOMPARE(r.code, 1);
  const QString line = u"ошибка: %1"_s.arg(place);
  QVERIFY2(r.out.contains(line) && r.out.contains(message), qPrintable(r.out + r.err));
  // The messages name the files exactly, whatever their names hold.
  QVERIFY2(r.err.contains(u"файл %1 не записан"_s.arg(out)), qPrintable(r.err));
  QVERIFY(!QFileInfo::exists(out));
  // With --force, an existing file stays as it was.
  QVERIFY(QFile::copy(shipped, out));
  QCOMPARE(RunCli({u"tables"_s, u"build"_s, csv, u"-o"_s, out, u"--force"_s}).code, 1);
  QCOMPARE(ReadAll(out), ReadAll(shipped));
  // No temporary file left behind.
  QStringList left =
      QDir(csv).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
  left.sort();
  QStringList expected{file, u"new.mdb"_s};
  expected.sort();
  QCOMPARE(left, expected);
  // check says the same.
  const Outcome check = RunCli({u"tables"_s, u"check"_s, csv, u"--tables"_s, shipped});
  QCOMPARE(check.code, 1);
  QVERIFY2(check.out.contains(line), qPrintable(check.out));
  QVERIFY2(check.err.contains(csv + u": таблиц проверено"_s), qPrintable(check.err));
}

void TableToolsTest::warnings_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QString>("place");  // empty: no warning at all
  QTest::addColumn<QString>("message");

  const QByteArray climb = "height_m,time_s\n0,0\n100,5\n200,10\n300,15\n";
  QTest::newRow("height twice") << u"L39_pod.csv"_s << climb + "200,999\n"
                                << u"L39_pod.csv, строка 6, столбец 1 (A)"_s
                                << u"высота 200 м уже есть (L39_pod.csv, строка 4)"_s;
  QTest::newRow("same height, same time") << u"L39_pod.csv"_s << climb + "300,15\n"
                                          << QString() << QString();
  QTest::newRow("heights out of order")
      << u"L39_pod.csv"_s << QByteArray("h,t\n0,0\n200,10\n100,5\n300,15\n")
      << u"L39_pod.csv, строка 4, столбец 1 (A)"_s << u"высоты не по порядку: 100 после 200"_s;
  QTest::newRow("descending heights")
      << u"L39_pod.csv"_s << QByteArray("h,t\n300,15\n200,10\n100,5\n0,0\n") << QString()
      << QString();
  QTest::newRow("climb time falls") << u"L39_pod.csv"_s << climb + "400,12\n"
                                    << u"L39_pod.csv, строка 6, столбец 2 (B)"_s
                                    << u"время 12 с меньше, чем 15 с на высоте 300 м"_s;
  QTest::newRow("far out of line")
      << u"L39_pod.csv"_s << climb + "400,200\n"
      << u"L39_pod.csv, строка 6, столбец 2 (B)"_s << u"время 200 с далеко от соседних"_s;
  QTest::newRow("empty cell") << u"Su24_obl.csv"_s << QByteArray("x,100,200\n0,5,10\n100,,11\n")
                              << u"Su24_obl.csv, строка 3, столбец 2 (B)"_s << u"пустая ячейка"_s;
  QTest::newRow("cloud base twice")
      << u"Su24_obl.csv"_s << QByteArray("x,100,200\n0,5,10\n100,6,11\n100,6,12\n")
      << u"Su24_obl.csv, строка 4, столбец 1 (A)"_s << u"нижняя граница 100 м уже есть"_s;
  QTest::newRow("column key twice")
      << u"Su24_obl.csv"_s << QByteArray("x,100,100\n0,5,10\n")
      << u"Su24_obl.csv, строка 1, столбец 3 (C)"_s << u"ключ 100 м уже есть"_s;
  QTest::newRow("keys out of order")
      << u"Su24_obl.csv"_s << QByteArray("x,100,300,200\n0,5,15,10\n")
      << u"Su24_obl.csv, строка 1, столбец 4 (D)"_s << u"ключи столбцов не по порядку"_s;
  QTest::newRow("time falls along a row")
      << u"Su24_obl.csv"_s << QByteArray("x,100,200\n0,5,4\n")
      << u"Su24_obl.csv, строка 2, столбец 3 (C)"_s << u"с ростом ключа не убывает"_s;
  QTest::newRow("thickness: time falls as the base rises")
      << u"Su24_obl.csv"_s << QByteArray("x,100,200\n0,5,10\n1000,4,10\n")
      << u"Su24_obl.csv, строка 3, столбец 2 (B)"_s << u"при той же толщине слоя"_s;
  QTest::newRow("thickness: above the ceiling it may fall")
      << u"Su24_obl.csv"_s << QByteArray("x,100,12000\n0,1,782\n1000,1,770\n") << QString()
      << QString();
  QTest::newRow("cloud top: time grows as the base rises")
      << u"L39_obl.csv"_s << QByteArray("x,1000,2000\n0,52,110\n500,60,85\n")
      << u"L39_obl.csv, строка 3, столбец 2 (B)"_s << u"при той же верхней границе"_s;
  QTest::newRow("zeros are no value") << u"L39_obl.csv"_s
                                      << QByteArray(
                                             "x,100,200,300\n0,5,10,15\n100,0,5,10\n"
                                             "200,0,0,5\n")
                                      << QString() << QString();
}

void TableToolsTest::warnings() {
  QFETCH(QString, file);
  QFETCH(QByteArray, content);
  QFETCH(QString, place);
  QFETCH(QString, message);
  const QString csv = dir_.filePath(u"warn-"_s + QString::fromLatin1(QTest::currentDataTag()));
  QVERIFY(QDir().mkpath(csv));
  QFile f(QDir(csv).filePath(file));
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(content);
  f.close();
  const QString shipped = QStringLiteral(MELTOR_SHIPPED_TABLES);

  const Outcome r = RunCli({u"tables"_s, u"check"_s, csv, u"--tables"_s, shipped});
  QVERIFY2(!r.out.contains(u"ошибка"_s), qPrintable(r.out));
  QCOMPARE(r.code, 0);
  const Outcome strict =
      RunCli({u"tables"_s, u"check"_s, u"--strict"_s, csv, u"--tables"_s, shipped});
  if (place.isEmpty()) {
    QCOMPARE(r.out, QString());
    QCOMPARE(strict.code, 0);
    return;
  }
  QVERIFY2(r.out.contains(u"предупреждение: %1: "_s.arg(place)) && r.out.contains(message),
           qPrintable(r.out));
  QCOMPARE(strict.code, 1);
  // The picture counts the same warnings.
  const QString svg = QDir(csv).filePath(u"t.svg"_s);
  const Outcome plot = RunCli({u"tables"_s, u"plot"_s, u"--type"_s, file.section(u'_', 0, 0), csv,
                               u"--tables"_s, shipped, u"-o"_s, svg});
  QVERIFY2(plot.code == 0, qPrintable(plot.err));
  QVERIFY(QString::fromUtf8(ReadAll(svg))
              .contains(u"Предупреждения проверки (%1)"_s.arg(r.out.count(u"предупреждение: "_s))));
  // build writes despite warnings, and says them.
  const Outcome b = RunCli({u"tables"_s, u"build"_s, csv, u"-o"_s, QDir(csv).filePath(u"n.mdb"_s),
                            u"--from"_s, shipped});
  QCOMPARE(b.code, 0);
  QVERIFY2(b.out.contains(place), qPrintable(b.out));
}

QTEST_MAIN(TableToolsTest)
#include "tst_table_tools.moc"
