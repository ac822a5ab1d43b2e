// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "calculation.h"
#include "climb_tables.h"
#include "tables_file.h"
#include "test_flights.h"
#include "test_tables.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <functional>
#include <map>
#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace meltor;
using namespace meltor::test;
using namespace Qt::StringLiterals;

namespace {

const QList<QPair<int, int>> kClimb = {{1000, 120}, {2000, 200}, {3000, 300}};

QString GridSql(const QString& name) {
  return ViewSql(name, {{"-1", "1000", "2000"}, {"500", "100", "200"}, {"1000", "150", "260"}});
}

QString GoodSql() {
  return ClimbViewSql("Z_Time_Pod_L39", kClimb) + GridSql("Z_Time_Obl_L39");
}

// An L-39 flight by day in adverse weather that climbs above the cloud: case 3c.
FlightInput CloudFlight() {
  return test::Changed(test::L39Flight(), QStringLiteral("Hn=750 Hv=1500"));
}

QByteArray Digest(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    qWarning("%s: %s", sql, err);
    sqlite3_free(err);
  }
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

// Every entry of a folder as it stands: name, kind, size, time and the hash of a regular file's
// bytes (a pipe or a device is never read).
QStringList FolderState(const QString& dir) {
  QStringList state;
  const auto entries = QDir(dir).entryInfoList(
      QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& e : entries) {
    const bool regular = e.isFile() && !e.isSymLink();
    state << QStringLiteral("%1 %2 %3 %4 %5")
                 .arg(e.fileName(), e.isSymLink() ? "link->" + e.symLinkTarget()
                                    : regular     ? "file"
                                                  : "other")
                 .arg(regular ? e.size() : 0)
                 .arg(e.lastModified().toMSecsSinceEpoch())
                 .arg(regular ? QString::fromLatin1(Digest(e.filePath()).toHex()) : QString());
  }
  return state;
}

#ifdef Q_OS_UNIX
// Holds an exclusive lock on `path` from a child process until the result is dropped. (A lock of
// this process would go the moment the test reads the file: POSIX drops a process's locks on a
// file when it closes any descriptor of it.)
std::shared_ptr<void> LockInAnotherProcess(const QString& path) {
  int ready[2];
  if (pipe(ready) != 0) return {};
  const QByteArray p = QFile::encodeName(path);
  const pid_t pid = fork();
  if (pid == 0) {
    sqlite3* db = nullptr;
    sqlite3_open(p.constData(), &db);
    sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    if (write(ready[1], "x", 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  char c = 0;
  if (read(ready[0], &c, 1) != 1) qWarning("the locking process did not start");
  close(ready[0]);
  close(ready[1]);
  return std::shared_ptr<void>(nullptr, [pid](void*) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  });
}

// A hostile tables file: `make` puts it into an empty folder and returns the path to give the
// program, and may return something to keep alive while the commands run (a writer's lock).
struct HostileFile {
  const char* name;
  std::function<QString(const QString& dir, std::shared_ptr<void>& keep)> make;
  // What the calculation's error must match; empty when the calculation succeeds.
  const char* calcError;
  // The whole file is refused: every command fails with that error.
  bool wholeFile;
};

// A good L-39 file with the views' SQL written into `dir`/FlightTables1.mdb.
QString Good(const QString& dir, const QString& extraSql = {}) {
  const QString path = dir + "/FlightTables1.mdb";
  WriteTablesFile(path, GoodSql() + extraSql);
  return path;
}

const std::vector<HostileFile>& HostileFiles() {
  using Keep = std::shared_ptr<void>;
  static const std::vector<HostileFile> files = {
      {"good file", [](const QString& d, Keep&) { return Good(d); }, "", false},
      {"empty file",
       [](const QString& d, Keep&) {
         WriteAll(d + "/t.mdb", {});
         return d + "/t.mdb";
       },
       "пуст", true},
      {"random bytes",
       [](const QString& d, Keep&) {
         QByteArray random(4096, '\0');
         for (int i = 0; i < random.size(); ++i) random[i] = char((i * 7919 + 13) % 251);
         WriteAll(d + "/t.mdb", random);
         return d + "/t.mdb";
       },
       "не является базой данных SQLite", true},
      {"header only",
       [](const QString& d, Keep&) {
         const QByteArray head = ReadAll(Good(d)).left(100);
         WriteAll(d + "/FlightTables1.mdb", head);
         return d + "/FlightTables1.mdb";
       },
       "повреждён", true},
      {"cut in the middle",
       [](const QString& d, Keep&) {
         const QByteArray all = ReadAll(Good(d));
         WriteAll(d + "/FlightTables1.mdb", all.left(all.size() / 2));
         return d + "/FlightTables1.mdb";
       },
       "повреждён", true},
      {"damaged schema",
       [](const QString& d, Keep&) {
         return Good(d,
                     "PRAGMA writable_schema = ON; INSERT INTO sqlite_master VALUES('view', 'x', "
                     "'x', 0, 'CREATE VIEW x AS SELEC 1'); PRAGMA writable_schema = OFF;");
       },
       "схема файла повреждена, не читается описание «x»", true},
      {"view over an attached database",
       [](const QString& d, Keep&) {
         return Good(
             d,
             "PRAGMA writable_schema = ON; INSERT INTO sqlite_master VALUES('view', 'v', "
             "'v', 0, 'CREATE VIEW v AS SELECT * FROM aux.t'); PRAGMA writable_schema = OFF;");
       },
       "схема файла повреждена, не читается описание «v»", true},
      {"locked by a writer",
       [](const QString& d, Keep& keep) {
         const QString path = Good(d);
         keep = LockInAnotherProcess(path);
         return path;
       },
       "занят другой программой", true},
      {"hot journal",
       [](const QString& d, Keep&) {
         // A writer that died in the middle of a commit: the journal holds the old pages.
         const QString path = Good(d,
                                   "CREATE TABLE filler(x); WITH RECURSIVE n(i) AS (SELECT 1 "
                                   "UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                                   "INSERT INTO filler SELECT i FROM n;");
         sqlite3* writer = nullptr;
         sqlite3_open(path.toUtf8().constData(), &writer);
         Exec(writer, "PRAGMA cache_size = 1; BEGIN; UPDATE filler SET x = x + 1;");
         const QByteArray journal = ReadAll(path + "-journal");
         const QByteArray file = ReadAll(path);
         Exec(writer, "ROLLBACK");
         sqlite3_close(writer);
         WriteAll(path, file);
         WriteAll(path + "-journal", journal);
         return path;
       },
       "журнал FlightTables1.mdb-journal", true},
      {"journal left empty",
       [](const QString& d, Keep&) {
         const QString path = Good(d);
         WriteAll(path + "-journal", QByteArray(512, '\0'));
         return path;
       },
       "", false},
      {"WAL mode", [](const QString& d, Keep&) { return Good(d, "PRAGMA journal_mode = WAL;"); },
       "", false},
      {"WAL mode in a read-only folder",
       [](const QString& d, Keep& keep) {
         const QString path = Good(d, "PRAGMA journal_mode = WAL;");
         QFile::setPermissions(d, QFile::ReadOwner | QFile::ExeOwner);
         keep = std::shared_ptr<void>(nullptr, [d](void*) {
           QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
         });
         return path;
       },
       "", false},
      {"WAL journal not yet copied into the file",
       [](const QString& d, Keep&) {
         const QString path = Good(d, "PRAGMA journal_mode = WAL;");
         sqlite3* writer = nullptr;
         sqlite3_open(path.toUtf8().constData(), &writer);
         Exec(writer, "PRAGMA wal_autocheckpoint = 0; UPDATE \"t_Z_Time_Pod_L39\" SET f2 = 999;");
         const QByteArray wal = ReadAll(path + "-wal");
         const QByteArray file = ReadAll(path);
         sqlite3_close(writer);
         QFile::remove(path + "-shm");
         WriteAll(path, file);
         WriteAll(path + "-wal", wal);
         return path;
       },
       "журнал FlightTables1.mdb-wal", true},
      {"a view of 1 MB of SQL",
       [](const QString& d, Keep&) {
         // A climb table of 32765 records written out in the view's own text.
         QString values;
         for (int i = 1; i <= kMaxRecords; ++i) {
           values += QStringLiteral("%1(%2.00000000000, %3.00000000000)")
                         .arg(i > 1 ? "," : "")
                         .arg(i)
                         .arg(i / 10);
         }
         const QString path = d + "/FlightTables1.mdb";
         WriteTablesFile(path, "CREATE VIEW Z_Time_Pod_L39 AS SELECT * FROM (VALUES " + values +
                                   ");" + GridSql("Z_Time_Obl_L39"));
         return path;
       },
       "", false},
      {"a view of 3.5 MB of SQL",
       [](const QString& d, Keep&) {
         sqlite3_hard_heap_limit64(0);  // this process writes the file; the program reads it
         QString values;
         for (int i = 1; i <= 100'000; ++i) {
           values +=
               QStringLiteral("%1(%2.00000000000, 1.00000000000)").arg(i > 1 ? "," : "").arg(i);
         }
         const QString path = d + "/FlightTables1.mdb";
         WriteTablesFile(path,
                         "CREATE VIEW Z_Time_Pod_L39 AS SELECT * FROM (VALUES " + values + ");");
         return path;
       },
       "для его чтения нужно более 64 МБ памяти", true},
      {"a value over 1 MB",
       [](const QString& d, Keep&) {
         const QString path = d + "/FlightTables1.mdb";
         WriteTablesFile(path, "CREATE VIEW Z_Time_Pod_L39 AS SELECT 1000, zeroblob(2000000);" +
                                   GridSql("Z_Time_Obl_L39"));
         return path;
       },
       "значение длиннее 1000000 байт", false},
      {"2000 fields by 32765 records",
       [](const QString& d, Keep&) {
         QString columns;
         for (int j = 3; j <= 2000; ++j) columns += QStringLiteral(", i AS c%1").arg(j);
         const QString path = d + "/FlightTables1.mdb";
         WriteTablesFile(path,
                         "CREATE TABLE n(i INTEGER PRIMARY KEY); WITH RECURSIVE c(i) AS "
                         "(SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 32765) INSERT "
                         "INTO n SELECT i FROM c; CREATE VIEW Z_Time_Pod_L39 AS SELECT i, "
                         "i / 10" +
                             columns + " FROM n;" + GridSql("Z_Time_Obl_L39"));
         return path;
       },
       "", false},
      {"every table at its largest",
       [](const QString& d, Keep&) {
         // Six grids of 32765 records by 24 fields and six climb tables: what a batch keeps.
         QString keys = "0";
         QString cells = "i";
         for (int j = 2; j <= kMaxGridFields; ++j) {
           keys += QStringLiteral(", %1").arg(j * 100);
           cells += QStringLiteral(", i % 100 + %1").arg(j);
         }
         QString sql =
             "CREATE TABLE n(i INTEGER PRIMARY KEY); WITH RECURSIVE c(i) AS (SELECT 1 "
             "UNION ALL SELECT i + 1 FROM c WHERE i < 32764) INSERT INTO n SELECT i FROM c;";
         for (const char* type : {"L39", "Su24", "Su25", "Su27", "MiG29", "MiG31"}) {
           sql += QStringLiteral(
                      "CREATE VIEW Z_Time_Pod_%1 AS SELECT i, i / 10 FROM n;"
                      "CREATE VIEW Z_Time_Obl_%1 AS SELECT %2 UNION ALL SELECT %3 FROM n;")
                      .arg(type, keys, cells);
         }
         WriteTablesFile(d + "/FlightTables1.mdb", sql);
         return d + "/FlightTables1.mdb";
       },
       "", false},
      {"runaway views",
       [](const QString& d, Keep&) {
         QString sql;
         for (const char* name :
              {"Z_Time_Pod_L39", "Z_Time_Obl_L39", "Z_Time_Pod_Su24", "Z_Time_Obl_Su24"}) {
           sql += QStringLiteral(
                      "CREATE VIEW %1 AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                      "SELECT i + 1 FROM n) SELECT count(*), 1 FROM n;")
                      .arg(name);
         }
         const QString path = d + "/FlightTables1.mdb";
         WriteTablesFile(path, sql);
         return path;
       },
       "слишком долго", false},
      {"a table, not a view",
       [](const QString& d, Keep&) {
         const QString path = d + "/FlightTables1.mdb";
         WriteTablesFile(path, "CREATE TABLE Z_Time_Pod_L39(h, t);" + GridSql("Z_Time_Obl_L39"));
         return path;
       },
       "не запрос \\(представление VIEW\\), а таблица\\.$", false},
      {"symlink to a good file",
       [](const QString& d, Keep&) {
         QFile::link(Good(d), d + "/link.mdb");
         return d + "/link.mdb";
       },
       "", false},
      {"folder",
       [](const QString& d, Keep&) {
         QDir(d).mkdir("FlightTables1.mdb");
         return d + "/FlightTables1.mdb";
       },
       "— папка, а не обычный файл", true},
      {"named pipe",
       [](const QString& d, Keep&) {
         const QString path = d + "/FlightTables1.mdb";
         mkfifo(QFile::encodeName(path).constData(), 0600);
         return path;
       },
       "— именованный канал, а не обычный файл", true},
      {"symlink to a device",
       [](const QString& d, Keep&) {
         QFile::link("/dev/zero", d + "/FlightTables1.mdb");
         return d + "/FlightTables1.mdb";
       },
       "— устройство, а не обычный файл", true},
      {"socket",
       [](const QString& d, Keep& keep) {
         const QString path = d + "/FlightTables1.mdb";
         const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         const QByteArray p = QFile::encodeName(path);
         qstrncpy(address.sun_path, p.constData(), sizeof address.sun_path);
         bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
         keep = std::shared_ptr<void>(nullptr, [fd](void*) { close(fd); });
         return path;
       },
       "— сокет, а не обычный файл", true},
  };
  return files;
}

struct CliRun {
  int code = -1;  // -1: killed or crashed
  bool timedOut = false;
  QString out;
  QString err;
  qint64 ms = 0;
  long maxRssKb = 0;
};

[[maybe_unused]] constexpr rlim_t kRunMemoryBytes = 256ull
                                                    << 20;  // address space, libraries included
// A guard against a hang, not a measure of speed: under the sanitizers, on a busy machine, the
// largest tables take `tables check` about 15 s.
#ifdef MELTOR_SANITIZED
constexpr int kRunMilliseconds = 90'000;
#else
constexpr int kRunMilliseconds = 15'000;
#endif

// meltor-cli with `args`, under an address-space limit and a time limit; `work` takes its
// output, away from the folder under test. The peak memory comes from /usr/bin/time, which
// starts the program from a small process: a child forked from this test would report this
// process's own size as its peak.
CliRun RunCli(const QStringList& args, const QString& work) {
  const QString rss = work + "/rss";
  QStringList command{MELTOR_CLI_PATH};
  if (QFileInfo::exists("/usr/bin/time"))
    command = QStringList{"/usr/bin/time", "-f", "%M", "-o", rss} + command;
  std::vector<std::string> argv;
  for (const QString& a : command + args) argv.push_back(QFile::encodeName(a).toStdString());
  std::vector<char*> pointers;
  for (auto& a : argv) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  const QByteArray out = QFile::encodeName(work + "/out");
  const QByteArray err = QFile::encodeName(work + "/err");
  QFile::remove(rss);

  QElapsedTimer timer;
  timer.start();
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);        // so that a run over time goes with everything it started
#ifndef MELTOR_SANITIZED  // the sanitizers reserve far more address space than they use
    const rlimit limit{kRunMemoryBytes, kRunMemoryBytes};
    setrlimit(RLIMIT_AS, &limit);
#endif
    dup2(open("/dev/null", O_RDONLY), 0);
    dup2(open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(open(err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  CliRun run;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (timer.hasExpired(kRunMilliseconds)) {
      run.timedOut = true;
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    usleep(5000);
  }
  run.ms = timer.elapsed();
  if (WIFEXITED(status)) run.code = WEXITSTATUS(status);
  const QList<QByteArray> rssLines = ReadAll(rss).trimmed().split('\n');
  run.maxRssKb = rssLines.last().toLong();
  run.out = QString::fromUtf8(ReadAll(work + "/out"));
  run.err = QString::fromUtf8(ReadAll(work + "/err"));
  return run;
}
#endif

}  // namespace

class TestTablesFile : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  // The most memory (KB) and time (ms) any hostile file cost each command, and which file.
  std::map<QString, std::tuple<long, QString, qint64, QString>> worst_;

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
    QCOMPARE(out.state.flightCase, FlightCase::Case3c);
    // 90 s -> 2 min, 177 s -> 3 min, 3333 s -> 56 min: 61 > 60, one minute off above cloud.
    QCOMPARE(out.labels.text, (std::array<QString, 5>{"-", "0.03", "0.55", "0.02", "1.00"}));
    const QString text = out.explanation.join('\n');
    QVERIFY2(text.contains(QStringLiteral("ниже начала таблицы")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("между нижними границами 500 м")), qPrintable(text));
  }

  // The in-cloud lookup tells the key by the rule of the type's profile: the cloud top for the
  // L-39, the layer's thickness for the others, even where a base of 0 makes the two equal.
  void inCloudKeyWords_data() {
    QTest::addColumn<QString>("changes");  // to the L-39 flight
    QTest::addColumn<QString>("words");
    QTest::newRow("L-39") << "Hn=500 Hv=1500" << u"нижней границе 500 м и верхней границе 1500 м"_s;
    QTest::newRow("Su-27") << "Typ=Су-27 Hn=500 Hv=1500"
                           << u"границе 500 м и толщине облаков 1000 м"_s;
    QTest::newRow("Su-27, base 0")
        << "Typ=Су-27 Hn=0 Hv=1000" << u"границе 0 м и толщине облаков 1000 м"_s;
    QTest::newRow("MiG-29, base 0") << "Typ=МиГ-29 Hn=0 Hv=2000" << u"и толщине облаков 2000 м: "_s;
    QTest::newRow("L-39, base 0") << "Hn=0 Hv=2000"
                                  << u"нижней границе 0 м и верхней границе 2000 м"_s;
  }
  void inCloudKeyWords() {
    QFETCH(QString, changes);
    QFETCH(QString, words);
    const QString path = Path("keys.mdb");
    // Cloud bases from 0 m in every grid; the tables of the three types alike.
    QString sql;
    for (const QString& type : {u"L39"_s, u"Su27"_s, u"MiG29"_s}) {
      sql += ClimbViewSql("Z_Time_Pod_" + type, {{0, 0}, {1000, 120}, {3000, 300}}) +
             ViewSql("Z_Time_Obl_" + type,
                     {{"-1", "1000", "2000"}, {"0", "90", "180"}, {"500", "100", "200"}});
    }
    WriteTablesFile(path, sql);
    FileClimbTables tables(path);
    const CalcOutcome out =
        CalculateFlight(test::Changed(test::L39Flight(), changes), tables, QLocale::c(), true);
    QVERIFY2(out.ok(), out.ok() ? "" : qPrintable(out.error->message()));
    const QStringList grid = out.explanation.filter(u"В облаках при нижней границе"_s);
    QCOMPARE(grid.size(), 1);
    QVERIFY2(grid.front().contains(words), qPrintable(grid.front()));
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
    QCOMPARE(out.state.flightCase, FlightCase::Case1b);
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
    QVERIFY2(out.error->message().contains(QStringLiteral("запись 2, поле 2")),
             qPrintable(out.error->message()));
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
    QTest::newRow("random bytes") << random << ""
                                  << QStringLiteral("не является базой данных SQLite");
    QTest::newRow("older desktop database") << jet << "" << QStringLiteral("Microsoft Access");
    QTest::newRow("no views") << QByteArray() << "CREATE TABLE x(a);"
                              << QStringLiteral("нет запроса (представления) «Z_Time_Pod_L39»");
    QTest::newRow("a table, not a view")
        << QByteArray() << "CREATE TABLE Z_Time_Pod_L39(a, b);" << QStringLiteral("не запрос");
    QTest::newRow("climb view with one field")
        << QByteArray() << ViewSql("Z_Time_Pod_L39", {{"1000"}}) + GridSql("Z_Time_Obl_L39")
        << QStringLiteral("нужны два");
    QTest::newRow("empty climb view")
        << QByteArray() << "CREATE TABLE e(h, t); CREATE VIEW Z_Time_Pod_L39 AS SELECT * FROM e;"
        << QStringLiteral("пуста");
    QTest::newRow("text cell") << QByteArray() << ViewSql("Z_Time_Pod_L39", {{"1000", "abc"}})
                               << QStringLiteral("текст «abc» вместо числа");
    QTest::newRow("null height") << QByteArray() << ViewSql("Z_Time_Pod_L39", {{"NULL", "5"}})
                                 << QStringLiteral("нужна высота");
    QTest::newRow("beyond 16 bits")
        << QByteArray() << ClimbViewSql("Z_Time_Pod_L39", {{1000, 40000}})
        << QStringLiteral("40000 вне диапазона");
    QTest::newRow("query fails when run")
        << QByteArray()
        << "CREATE TABLE g(a,b); CREATE VIEW Z_Time_Pod_L39 AS SELECT * FROM g; DROP TABLE g;"
        << QStringLiteral("не выполняется");
    QStringList wide{"-1"};
    for (int j = 1; j < 25; ++j) wide << QString::number(j * 100);
    QTest::newRow("grid of 25 fields")
        << QByteArray() << pod + ViewSql("Z_Time_Obl_L39", {wide, wide})
        << QStringLiteral("не более 24");
    QTest::newRow("grid without column keys")
        << QByteArray() << pod + ViewSql("Z_Time_Obl_L39", {{"-1"}, {"500"}})
        << QStringLiteral("нет ни одного ключа");
    QTest::newRow("grid without cloud-base rows")
        << QByteArray() << pod + ViewSql("Z_Time_Obl_L39", {{"-1", "1000"}})
        << QStringLiteral("нет ни одной строки");
    // The shape is judged before any record is read: a query that fails further on is not run.
    const QString failsAtTwo =
        "CREATE TABLE k(n); INSERT INTO k VALUES (1), (2); CREATE VIEW %1 "
        "AS SELECT CASE n WHEN 1 THEN -1 ELSE abs(-9223372036854775807 - 1) "
        "END AS h FROM k ORDER BY n;";
    QTest::newRow("one-field climb view failing further on")
        << QByteArray() << failsAtTwo.arg("Z_Time_Pod_L39") + GridSql("Z_Time_Obl_L39")
        << QStringLiteral("нужны два");
    QTest::newRow("one-field grid failing further on")
        << QByteArray() << pod + failsAtTwo.arg("Z_Time_Obl_L39")
        << QStringLiteral("нет ни одного ключа");
    QTest::newRow("cut short, named 100%2C %1")
        << QByteArray("SQLite format 3\0", 16) + QByteArray(34, '\0') << ""
        << QStringLiteral("named-100%2C-%1.mdb повреждён: он обрезан (50 байт)");
  }
  void brokenFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, sql);
    QFETCH(QString, words);
    const QString path =
        Path(QStringLiteral("broken-%1.mdb").arg(QTest::currentDataTag()).replace(' ', '-'));
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
    FileClimbTables tables(
        Path("nowhere/FlightTables1.mdb"),
        {Path("nowhere/FlightTables1.mdb"), "/usr/share/meltor/FlightTables1.mdb"});
    const CalcOutcome out = CalculateFlight(CloudFlight(), tables, QLocale::c());
    QVERIFY(!out.ok());
    QVERIFY(out.error->message().contains("не найден"));
    QVERIFY(out.error->message().contains("/usr/share/meltor/FlightTables1.mdb"));
    FileClimbTables unnamed(QString(), {QString()});
    const QString none = CalculateFlight(CloudFlight(), unnamed, QLocale::c()).error->message();
    QVERIFY2(none.contains("путь к нему пуст") && !none.contains("Искали"), qPrintable(none));
  }

  void recordLimit() {
    QString sql =
        "CREATE TABLE big(h INTEGER, t INTEGER); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
        "SELECT i + 1 FROM n WHERE i < %1) INSERT INTO big SELECT i, i FROM n; "
        "CREATE VIEW Z_Time_Pod_L39 AS SELECT h, t FROM big ORDER BY h;";
    const QString atLimit = Path("limit.mdb");
    WriteTablesFile(atLimit, sql.arg(32765) + GridSql("Z_Time_Obl_L39"));
    TablesFile ok(atLimit);
    QCOMPARE(ok.ReadView("Z_Time_Pod_L39", TableKind::Climb).recordCount(), 32765);
    const QString over = Path("over.mdb");
    WriteTablesFile(over, sql.arg(32766) + GridSql("Z_Time_Obl_L39"));
    TablesFile tooMany(over);
    QVERIFY(ErrorOf([&] {
              tooMany.ReadView("Z_Time_Pod_L39", TableKind::Climb);
            }).contains("более 32765"));
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
    WriteTablesFile(path, ClimbViewSql("Z_Time_Pod_L39", {{1000, 1200}, {2000, 2000}}) +
                              GridSql("Z_Time_Obl_L39"));
    QCOMPARE(int{CalculateFlight(in, fresh, QLocale::c()).minutes.TOgrVid}, 15);  // 900 s
    QCOMPARE(int{CalculateFlight(in, snapshot, QLocale::c()).minutes.TOgrVid}, 2);
    QVERIFY(QFile::resize(path, 0));
    QCOMPARE(int{CalculateFlight(CloudFlight(), snapshot, QLocale::c()).minutes.TObl}, 3);
  }

  void lockedByAnotherWriter() {
    const QString path = Path("locked.mdb");
    WriteTablesFile(path, GoodSql());
    sqlite3* writer = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &writer), SQLITE_OK);
    QCOMPARE(sqlite3_exec(writer,
                          "BEGIN EXCLUSIVE; INSERT INTO \"t_Z_Time_Pod_L39\" VALUES(9, 4000, 400);",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    FileClimbTables tables(path);
    QElapsedTimer timer;
    timer.start();
    const CalcOutcome out = CalculateFlight(CloudFlight(), tables, QLocale::c());
    QVERIFY(!out.ok());
    QVERIFY2(out.error->message().contains("занят другой программой"),
             qPrintable(out.error->message()));
    sqlite3_exec(writer, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
    QVERIFY(CalculateFlight(CloudFlight(), tables, QLocale::c()).ok());
  }

  void runawayQueryIsStopped() {
    const QString path = Path("runaway.mdb");
    WriteTablesFile(path,
                    "CREATE VIEW Z_Time_Pod_L39 AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
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
    for (const auto& v : views)
      names << QStringLiteral("%1:%2x%3").arg(v.name).arg(v.recordCount).arg(v.fieldCount);
    QVERIFY2(names.contains("Z_Time_Pod_L39:3x2"), qPrintable(names.join(' ')));
    QVERIFY2(names.contains("Z_Time_Obl_L39:3x3"), qPrintable(names.join(' ')));
    QStringList searched;
    DefaultTablesPath(&searched);
    QCOMPARE(searched.size(), 2);
    QVERIFY(searched[1].endsWith("share/meltor/FlightTables1.mdb"));
  }

  // Each hostile file under every command that reads the tables file: a message in Russian, never
  // a crash or a hang, within a memory and time bound, and the folder left exactly as it was.
  void hostileFiles_data() {
    QTest::addColumn<int>("index");
#ifdef Q_OS_UNIX
    for (std::size_t i = 0; i < HostileFiles().size(); ++i) {
      QTest::newRow(HostileFiles()[i].name) << static_cast<int>(i);
    }
#endif
  }
  void hostileFiles() {
#ifndef Q_OS_UNIX
    QSKIP("The runs under a memory bound need fork and setrlimit.");
#else
    QFETCH(int, index);
    const HostileFile& file = HostileFiles()[static_cast<std::size_t>(index)];
    QTemporaryDir folder;
    QTemporaryDir work;
    std::shared_ptr<void> keep;
    const QString tables = file.make(folder.path(), keep);
    WriteAll(work.filePath("in.csv"),
             "type,hours,minutes,clouds,base,top,vis_km,day_night,height\n"
             "Л-39,1,0,10,750,1500,3,day,3000\nЛ-39,1,0,10,750,1500,3,day,1000\n");
    const QStringList flight = {"--type", "Л-39",     "--day", "--hours",  "1",   "--minutes",
                                "0",      "--clouds", "10",    "--base",   "750", "--top",
                                "1500",   "--vis-km", "3",     "--height", "3000"};
    const std::vector<std::pair<QString, QStringList>> commands = {
        {"calc", QStringList{"calc", "--tables", tables} + flight},
        {"batch", {"batch", "--tables", tables, work.filePath("in.csv")}},
        {"tables list", {"tables", "list", "--tables", tables}},
        {"tables check", {"tables", "check", "--tables", tables}},
        {"tables show", {"tables", "show", "Z_Time_Pod_L39", "--tables", tables}},
    };
    const QString expected = QString::fromUtf8(file.calcError);
    const QRegularExpression error(expected, QRegularExpression::MultilineOption);
    const QStringList before = FolderState(folder.path());
    QStringList costs;
    for (const auto& [command, args] : commands) {
      const CliRun run = RunCli(args, work.path());
      const QString what = QStringLiteral("%1 (exit %2, %3 ms): %4\n%5")
                               .arg(command)
                               .arg(run.code)
                               .arg(run.ms)
                               .arg(run.err, run.out.left(1000));
      QVERIFY2(!run.timedOut && (run.code == 0 || run.code == 1), qPrintable(what));
      for (const char* lowLevel : {"database", "malformed", "attempt to", "unable to", "interrupt",
                                   "out of memory", "too big", "terminate", "Abort"}) {
        QVERIFY2(!run.err.contains(lowLevel) && !run.out.contains(lowLevel), qPrintable(what));
      }
      if (file.wholeFile) {
        QVERIFY2(command == "batch" || run.code == 1, qPrintable(what));
        QVERIFY2((command == "batch" ? run.out : run.err).contains(error), qPrintable(what));
      } else if (command == "calc") {
        QVERIFY2(run.code == (expected.isEmpty() ? 0 : 1), qPrintable(what));
        if (!expected.isEmpty()) QVERIFY2(run.err.contains(error), qPrintable(what));
      }
      if (expected.isEmpty() && command != "tables check")
        QVERIFY2(run.code == 0, qPrintable(what));

      costs << QStringLiteral("%1 %2 KB %3 ms").arg(command).arg(run.maxRssKb).arg(run.ms);
      auto& [kb, kbFile, ms, msFile] = worst_[command];
      if (run.maxRssKb > kb) std::tie(kb, kbFile) = std::tuple(run.maxRssKb, QString(file.name));
      if (run.ms > ms) std::tie(ms, msFile) = std::tuple(run.ms, QString(file.name));
    }
    QCOMPARE(FolderState(folder.path()), before);
    qInfo("%s", qPrintable(costs.join(", ")));
#endif
  }

  void cleanupTestCase() {
    for (const auto& [command, worst] : worst_) {
      const auto& [kb, kbFile, ms, msFile] = worst;
      qInfo("%s: at most %ld KB (%s), %lld ms (%s)", qPrintable(command), kb, qPrintable(kbFile),
            ms, qPrintable(msFile));
    }
  }
};

QTEST_GUILESS_MAIN(TestTablesFile)
#include "tst_tables_file.moc"
