// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "calculation.h"
#include "climb_tables.h"
#include "tables_file.h"
#include "test_tables.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <functional>

using namespace meltor;
using namespace meltor::test;

namespace {

const QList<QPair<int, int>> kClimb = {{1000, 120}, {2000, 200}, {3000, 300}};

QString GridSql(const QString& name) {
  return ViewSql(name, {{"-1", "1000", "2000"}, {"500", "100", "200"}, {"1000", "150", "260"}});
}

QString GoodSql() { return ClimbViewSql("Z_Time_Pod_L39", kClimb) + GridSql("Z_Time_Obl_L39"); }

// An L-39 flight by day in adverse weather that climbs above the cloud: case 3c.
FlightInput CloudFlight() {
  FlightInput in;
  in.cboTyp = QStringLiteral("Л-39");
  in.dayNight = DayNight::Day;
  in.txtTpolChas = "1";
  in.txtTpolMin = "0";
  in.txtBal = "10";
  in.txtHn = "750";
  in.txtHv = "1500";
  in.txtVidKm = "3";
  in.txtHpol = "3000";
  return in;
}

QByteArray Digest(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

}  // namespace

class TestTablesFile : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

  QString Path(const QString& name) { return dir_.filePath(name); }

 private slots:
  // Through the real file: below-cloud 750 m -> 750/1000*120 = 90 s; in cloud for base 750 and
  // top 1500: 150 in row 500, 205 in row 1000, 177 between; above cloud 3600 - 90 - 177.
  void calculationOnFile() {
    const QString path = Path("good.mdb");
    WriteTablesFile(path, GoodSql());
    const QByteArray before = Digest(path);
    const QDateTime modified = QFileInfo(path).lastModified();
    FileClimbTables tables(path);
    const CalcOutcome out = CalculateFlight(CloudFlight(), tables, QLocale::c(), true);
    QCOMPARE(Digest(path), before);
    QCOMPARE(QFileInfo(path).lastModified(), modified);
    QVERIFY2(out.ok(), out.ok() ? "" : qPrintable(out.error->message()));
    QCOMPARE(out.state.caseId, QStringLiteral("3c"));
    // 90 s -> 2 min, 177 s -> 3 min, 3333 s -> 56 min: 61 > 60, one minute off above cloud.
    QCOMPARE(out.labels.text, (std::array<QString, 5>{"-", "0.03", "0.55", "0.02", "1.00"}));
    const QString text = out.explanation.join('\n');
    QVERIFY2(text.contains(QStringLiteral("ниже начала таблицы")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("между нижними границами 500 м")), qPrintable(text));
  }

  void hoodLookupOnFile() {
    const QString path = Path("hood.mdb");
    WriteTablesFile(path, GoodSql());
    FileClimbTables tables(path);
    FlightInput in = CloudFlight();
    in.txtBal = "3";
    in.txtVidKm = "9";
    in.txtShtorkaZ = "1000";
    in.txtShtorkaO = "1667";  // key 1334: 146.72 -> 146 s
    const CalcOutcome out = CalculateFlight(in, tables, QLocale::c());
    QVERIFY(out.ok());
    QCOMPARE(out.state.caseId, QStringLiteral("1b"));
    QCOMPARE(int{out.minutes.TZakKab}, 58);  // 3600 - 146 = 3454 s
    in.txtShtorkaZ = "20000";
    in.txtShtorkaO = "15000";
    const CalcOutcome overflow = CalculateFlight(in, tables, QLocale::c());
    QVERIFY(!overflow.ok());
    QCOMPARE(overflow.error->kind(), ErrorKind::Overflow);
  }

  // The in-cloud view is opened for every flight that meets cloud but read only above the top.
  void inCloudViewOpenedAlwaysReadAboveTop() {
    const QString missing = Path("no-obl.mdb");
    WriteTablesFile(missing, ClimbViewSql("Z_Time_Pod_L39", kClimb));
    FileClimbTables t1(missing);
    FlightInput low = CloudFlight();
    low.txtHpol = "1000";  // not above the top
    CalcOutcome out = CalculateFlight(low, t1, QLocale::c());
    QVERIFY(!out.ok());
    QVERIFY2(out.error->message().contains("Z_Time_Obl_L39"), qPrintable(out.error->message()));

    const QString broken = Path("broken-obl.mdb");
    WriteTablesFile(broken, ClimbViewSql("Z_Time_Pod_L39", kClimb) +
                                ViewSql("Z_Time_Obl_L39", {{"-1", "1000"}, {"500", "text"}}));
    FileClimbTables t2(broken);
    out = CalculateFlight(low, t2, QLocale::c());
    QVERIFY(out.ok());
    QCOMPARE(int{out.minutes.TObl}, 58);  // 3600 - 90 s in cloud
    out = CalculateFlight(CloudFlight(), t2, QLocale::c());
    QVERIFY(!out.ok());
    QVERIFY2(out.error->message().contains(QStringLiteral("запись 2, поле 2")), qPrintable(out.error->message()));
  }

  void brokenFiles_data() {
    QTest::addColumn<QByteArray>("bytes");  // written as the file, when not empty
    QTest::addColumn<QString>("sql");       // or built from SQL
    QTest::addColumn<QString>("words");
    QByteArray jet(2048, '\0');
    jet.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
    QByteArray random(4096, '\0');
    for (int i = 0; i < random.size(); ++i) random[i] = char((i * 7919 + 13) % 251);
    const QString pod = ClimbViewSql("Z_Time_Pod_L39", kClimb);
    QTest::newRow("empty file") << QByteArray("") << "" << QStringLiteral("пуст");
    QTest::newRow("random bytes") << random << "" << QStringLiteral("не является базой данных SQLite");
    QTest::newRow("older desktop database") << jet << "" << QStringLiteral("Microsoft Access");
    QTest::newRow("no views") << QByteArray() << "CREATE TABLE x(a);" << QStringLiteral("нет запроса (представления) «Z_Time_Pod_L39»");
    QTest::newRow("a table, not a view") << QByteArray() << "CREATE TABLE Z_Time_Pod_L39(a, b);" << QStringLiteral("не запрос");
    QTest::newRow("climb view with one field") << QByteArray() << ViewSql("Z_Time_Pod_L39", {{"1000"}}) + GridSql("Z_Time_Obl_L39") << QStringLiteral("нужны два");
    QTest::newRow("empty climb view") << QByteArray() << "CREATE TABLE e(h, t); CREATE VIEW Z_Time_Pod_L39 AS SELECT * FROM e;" << QStringLiteral("пуста");
    QTest::newRow("text cell") << QByteArray() << ViewSql("Z_Time_Pod_L39", {{"1000", "abc"}}) << QStringLiteral("текст «abc» вместо числа");
    QTest::newRow("null height") << QByteArray() << ViewSql("Z_Time_Pod_L39", {{"NULL", "5"}}) << QStringLiteral("нужна высота");
    QTest::newRow("beyond 16 bits") << QByteArray() << ClimbViewSql("Z_Time_Pod_L39", {{1000, 40000}}) << QStringLiteral("40000 вне диапазона");
    QTest::newRow("query fails when run") << QByteArray() << "CREATE TABLE g(a,b); CREATE VIEW Z_Time_Pod_L39 AS SELECT * FROM g; DROP TABLE g;" << QStringLiteral("не выполняется");
    QStringList wide{"-1"};
    for (int j = 1; j < 25; ++j) wide << QString::number(j * 100);
    QTest::newRow("grid of 25 fields") << QByteArray() << pod + ViewSql("Z_Time_Obl_L39", {wide, wide}) << QStringLiteral("не более 24");
    QTest::newRow("grid without column keys") << QByteArray() << pod + ViewSql("Z_Time_Obl_L39", {{"-1"}, {"500"}}) << QStringLiteral("нет ни одного ключа");
    QTest::newRow("grid without cloud-base rows") << QByteArray() << pod + ViewSql("Z_Time_Obl_L39", {{"-1", "1000"}}) << QStringLiteral("нет ни одной строки");
  }
  void brokenFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, sql);
    QFETCH(QString, words);
    const QString path = Path(QStringLiteral("broken-%1.mdb").arg(QTest::currentDataTag()).replace(' ', '-'));
    if (sql.isEmpty()) {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      f.write(bytes);
    } else {
      WriteTablesFile(path, sql);
    }
    const QByteArray before = Digest(path);
    const QDateTime modified = QFileInfo(path).lastModified();
    FileClimbTables tables(path);
    const CalcOutcome out = CalculateFlight(CloudFlight(), tables, QLocale::c());
    QVERIFY(!out.ok());
    QCOMPARE(out.error->kind(), ErrorKind::Table);
    QVERIFY2(out.error->message().contains(words), qPrintable(out.error->message()));
    QCOMPARE(out.labels.text, (std::array<QString, 5>{"-", "-", "-", "-", "-"}));
    QCOMPARE(Digest(path), before);
    QCOMPARE(QFileInfo(path).lastModified(), modified);
  }

  void truncatedFile() {
    const QString good = Path("whole.mdb");
    WriteTablesFile(good, GoodSql());
    QFile f(good);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    for (const int size : {50, 1024, int(all.size()) - 1024}) {
      const QString path = Path(QStringLiteral("cut-%1.mdb").arg(size));
      QFile out(path);
      QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
      out.write(all.left(size));
      out.close();
      FileClimbTables tables(path);
      const CalcOutcome r = CalculateFlight(CloudFlight(), tables, QLocale::c());
      QVERIFY2(!r.ok(), qPrintable(QString::number(size)));
      QCOMPARE(r.error->kind(), ErrorKind::Table);
    }
  }

  void missingFileNamesThePlacesSearched() {
    FileClimbTables tables(Path("nowhere/FlightTables1.mdb"), {Path("nowhere/FlightTables1.mdb"), "/usr/share/meltor/FlightTables1.mdb"});
    const CalcOutcome out = CalculateFlight(CloudFlight(), tables, QLocale::c());
    QVERIFY(!out.ok());
    QVERIFY(out.error->message().contains("не найден"));
    QVERIFY(out.error->message().contains("/usr/share/meltor/FlightTables1.mdb"));
  }

  void recordLimit() {
    QString sql = "CREATE TABLE big(h INTEGER, t INTEGER); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                  "SELECT i + 1 FROM n WHERE i < %1) INSERT INTO big SELECT i, i FROM n; "
                  "CREATE VIEW Z_Time_Pod_L39 AS SELECT h, t FROM big ORDER BY h;";
    const QString atLimit = Path("limit.mdb");
    WriteTablesFile(atLimit, sql.arg(32765) + GridSql("Z_Time_Obl_L39"));
    TablesFile ok(atLimit);
    QCOMPARE(ok.ReadView("Z_Time_Pod_L39", TableKind::Climb).recordCount(), 32765);
    const QString over = Path("over.mdb");
    WriteTablesFile(over, sql.arg(32766) + GridSql("Z_Time_Obl_L39"));
    TablesFile tooMany(over);
    QVERIFY(ErrorOf([&] { tooMany.ReadView("Z_Time_Pod_L39", TableKind::Climb); }).contains("более 32765"));
  }

  // Each calculation reads the file afresh; a batch snapshot keeps what it read first.
  void editedTableIsUsedNextTime() {
    const QString path = Path("edited.mdb");
    WriteTablesFile(path, GoodSql());
    FileClimbTables fresh(path);
    FileClimbTables snapshot(path, {}, FileClimbTables::Mode::Snapshot);
    FlightInput in = CloudFlight();
    in.txtHpol = "1000";  // TObl = Tpol - TPod
    QCOMPARE(int{CalculateFlight(in, fresh, QLocale::c()).minutes.TOgrVid}, 2);
    QCOMPARE(int{CalculateFlight(in, snapshot, QLocale::c()).minutes.TOgrVid}, 2);
    WriteTablesFile(path, ClimbViewSql("Z_Time_Pod_L39", {{1000, 1200}, {2000, 2000}}) + GridSql("Z_Time_Obl_L39"));
    QCOMPARE(int{CalculateFlight(in, fresh, QLocale::c()).minutes.TOgrVid}, 15);  // 900 s
    QCOMPARE(int{CalculateFlight(in, snapshot, QLocale::c()).minutes.TOgrVid}, 2);
  }

  void lockedByAnotherWriter() {
    const QString path = Path("locked.mdb");
    WriteTablesFile(path, GoodSql());
    sqlite3* writer = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &writer), SQLITE_OK);
    QCOMPARE(sqlite3_exec(writer, "BEGIN EXCLUSIVE; INSERT INTO \"t_Z_Time_Pod_L39\" VALUES(9, 4000, 400);",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    FileClimbTables tables(path);
    QElapsedTimer timer;
    timer.start();
    const CalcOutcome out = CalculateFlight(CloudFlight(), tables, QLocale::c());
    QVERIFY(!out.ok());
    QVERIFY2(out.error->message().contains("занят другой программой"), qPrintable(out.error->message()));
    sqlite3_exec(writer, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
    QVERIFY(CalculateFlight(CloudFlight(), tables, QLocale::c()).ok());
  }

  void runawayQueryIsStopped() {
    const QString path = Path("runaway.mdb");
    WriteTablesFile(path, "CREATE VIEW Z_Time_Pod_L39 AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                          "SELECT i + 1 FROM n) SELECT count(*), 1 FROM n;");
    FileClimbTables tables(path);
    QElapsedTimer timer;
    timer.start();
    const CalcOutcome out = CalculateFlight(CloudFlight(), tables, QLocale::c());
    QVERIFY(!out.ok());
    QVERIFY2(out.error->message().contains("слишком долго"), qPrintable(out.error->message()));
    QVERIFY(timer.elapsed() < 10'000);
  }

  void readOnlyFileAndFolder() {
    QTemporaryDir ro;
    const QString path = ro.filePath("FlightTables1.mdb");
    WriteTablesFile(path, GoodSql());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::ExeOwner);
    FileClimbTables tables(path);
    const CalcOutcome out = CalculateFlight(CloudFlight(), tables, QLocale::c());
    QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY2(out.ok(), out.ok() ? "" : qPrintable(out.error->message()));
    QVERIFY(!QFileInfo::exists(path + "-journal"));
  }

  void viewsAndDefaultPath() {
    const QString path = Path("list.mdb");
    WriteTablesFile(path, GoodSql() + "CREATE VIEW broken AS SELECT * FROM nothing_here;");
    // The failing view cannot be created against a missing table in every SQLite; add it with
    // the table present and drop the table after.
    TablesFile file(path);
    const auto views = file.Views();
    QStringList names;
    for (const auto& v : views) names << QStringLiteral("%1:%2x%3").arg(v.name).arg(v.recordCount).arg(v.fieldCount);
    QVERIFY2(names.contains("Z_Time_Pod_L39:3x2"), qPrintable(names.join(' ')));
    QVERIFY2(names.contains("Z_Time_Obl_L39:3x3"), qPrintable(names.join(' ')));
    QStringList searched;
    DefaultTablesPath(&searched);
    QCOMPARE(searched.size(), 2);
    QVERIFY(searched[1].endsWith("share/meltor/FlightTables1.mdb"));
  }
};

QTEST_GUILESS_MAIN(TestTablesFile)
#include "tst_tables_file.moc"
