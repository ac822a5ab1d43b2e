// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The table keeper's tools, through meltor-cli's own commands: export and build give back a file
// on which every lookup agrees, bad CSV is refused with its place and leaves no file, and each
// kind of implausible data is warned about at its cell.
#include "commands.h"
#include "interpolation.h"
#include "profiles.h"
#include "tables_file.h"
#include "test_tables.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

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

}  // namespace

class TableToolsTest : public QObject {
  Q_OBJECT

 private slots:
  void roundTrip_data();
  void roundTrip();
  void errors_data();
  void errors();
  void warnings_data();
  void warnings();

 private:
  QTemporaryDir dir_;
};

void TableToolsTest::roundTrip_data() {
  QTest::addColumn<QString>("sql");  // empty: the shipped file
  QTest::newRow("shipped file") << QString();
  QTest::newRow("unsorted rows, descending keys, a repeated height") << TypesSql(
      {{u"L39"_s,
        {u"500 30|100 6|1500 95|1000 60|1000 61"_s,
         u"-1 3000 2000 1000|1000 120 60 0|0 174 110 52|500 150 85 27"_s}},
       {u"Su25"_s,
        {u"3000 200|2000 130|1000 60|0 0"_s, u"-1 1000 500|2000 40 20|1000 35 17|0 30 15"_s}}});
  QTest::newRow("2-column and 24-column grids")
      << TypesSql({{u"Su24"_s, {u"0 0|1000 20"_s, u"-1 1000|0 20|500 22"_s}},
                   {u"MiG29"_s,
                    {u"0 0|5000 50|12000 200"_s,
                     u"-1 100 200 300 400 500 600 700 800 900 1000 1250 1500 2000 2500 3000 "
                     u"3500 4000 5000 6000 7000 8000 10000 12000|"
                     u"0 1 2 3 4 5 6 7 8 9 10 12 15 20 25 30 35 40 50 60 70 80 100 120|"
                     u"1000 1 2 3 4 5 6 7 8 9 11 13 16 21 26 31 37 42 52 63 74 85 110 140"_s}}});
  QTest::newRow("fractional times and keys, empty cells") << TypesSql(
      {{u"Su27"_s,
        {u"0 0|100 0.5|250.5 1.25|1000 6.125"_s, u"-1 100 200.5|0 0.5 1.75|100 NULL 1.875"_s}}});
}

void TableToolsTest::roundTrip() {
  QFETCH(QString, sql);
  const QString tag = QString::fromLatin1(QTest::currentDataTag()).left(8);
  const QString original =
      sql.isEmpty() ? QStringLiteral(MELTOR_SHIPPED_TABLES) : dir_.filePath(tag + u".mdb"_s);
  if (!sql.isEmpty()) WriteTablesFile(original, sql);
  const QString csv = dir_.filePath(tag + u"-csv"_s);
  const QString csv2 = dir_.filePath(tag + u"-csv2"_s);
  const QString built = dir_.filePath(tag + u"-built.mdb"_s);

  Outcome r = RunCli({u"tables"_s, u"export"_s, u"--tables"_s, original, csv});
  QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
  QCOMPARE(QDir(csv).entryList(QDir::Files).size(), 12);
  // Nothing comes from elsewhere: --from names a file that does not exist.
  r = RunCli({u"tables"_s, u"build"_s, csv, u"-o"_s, built, u"--from"_s, dir_.filePath(u"none"_s)});
  QVERIFY2(r.code == 0, qPrintable(r.out + r.err));

  QCOMPARE(Lookups(built), Lookups(original));
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
  QCOMPARE(Lookups(built), Lookups(original));
  // The Russian spreadsheet's dialect comes back as it went out (the corner cell's comma is
  // quoted, so it is not taken for the delimiter); the type spelled as calc takes it.
  const QString semicolons = dir_.filePath(tag + u"-csv3"_s);
  r = RunCli({u"tables"_s, u"export"_s, u"--delimiter"_s, u";"_s, u"--type"_s, u"l-39"_s,
              u"--tables"_s, original, semicolons});
  QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
  r = RunCli(
      {u"tables"_s, u"build"_s, semicolons, u"-o"_s, built, u"--force"_s, u"--from"_s, original});
  QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
  QCOMPARE(Lookups(built), Lookups(original));
}

void TableToolsTest::errors_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QByteArray>("content");  // "100MB": a file of that size
  QTest::addColumn<QString>("place");       // empty: the file is accepted
  QTest::addColumn<QString>("message");

  QTest::newRow("text in a cell") << u"L39_pod.csv"_s
                                  << QByteArray("height_m,time_s\n0,0\n100,5O\n")
                                  << u"L39_pod.csv, строка 3, столбец 2 (B)"_s
                                  << u"«5O» — не число"_s;
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
  QTest::newRow("not UTF-8") << u"L39_pod.csv"_s << QByteArray("h,t\n0,0\n1\xff,2\n")
                             << u"L39_pod.csv, строка 3"_s << u"UTF-8"_s;
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
}

void TableToolsTest::errors() {
  QFETCH(QString, file);
  QFETCH(QByteArray, content);
  QFETCH(QString, place);
  QFETCH(QString, message);
  const QString csv = dir_.filePath(u"bad-"_s + QString::fromLatin1(QTest::currentDataTag()));
  QVERIFY(QDir().mkpath(csv));
  QFile f(QDir(csv).filePath(file));
  QVERIFY(f.open(QIODevice::WriteOnly));
  if (content == "100MB") {
    QVERIFY(f.resize(100 * 1024 * 1024));
  } else {
    f.write(content);
  }
  f.close();
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
  QVERIFY(!QFileInfo::exists(out));
  // With --force, an existing file stays as it was.
  QVERIFY(QFile::copy(shipped, out));
  QCOMPARE(RunCli({u"tables"_s, u"build"_s, csv, u"-o"_s, out, u"--force"_s}).code, 1);
  QCOMPARE(ReadAll(out), ReadAll(shipped));
  QCOMPARE(QDir(csv).entryList(QDir::Files).size(), 2);  // no temporary file left behind
  // check says the same.
  const Outcome check = RunCli({u"tables"_s, u"check"_s, csv, u"--tables"_s, shipped});
  QCOMPARE(check.code, 1);
  QVERIFY2(check.out.contains(line), qPrintable(check.out));
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
