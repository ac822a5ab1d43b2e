// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// What the commands cannot show from outside: a set of files that fails halfway through being put
// in place puts back what it replaced, and a signal that stops the program removes the temporary
// file (every writer's behaviour on full disks, devices, FIFOs and links is driven through
// meltor-cli in tst_cli_run).
#include "file_writer.h"

#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;
using meltor::files::FileSet;
using meltor::files::FileWriter;

namespace {

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

bool Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QStringList Entries(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

}  // namespace

class FileWriterTest : public QObject {
  Q_OBJECT

 private slots:
  void setPutsBackWhatItReplaced();
  void signalRemovesTemporaryFile_data();
  void signalRemovesTemporaryFile();
};

void FileWriterTest::setPutsBackWhatItReplaced() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString a = dir.filePath(u"a.csv"_s);
  const QString b = dir.filePath(u"b.csv"_s);
  const QString c = dir.filePath(u"c.csv"_s);
  QVERIFY(Write(a, "old a") && Write(c, "old c"));
  FileSet set;
  QVERIFY(set.Add(a, "new a") && set.Add(b, "new b") && set.Add(c, "new c"));
  // A folder takes b.csv's place after the check: its rename fails once a.csv is replaced.
  QVERIFY(QDir().mkpath(b + u"/inside"_s));
  QVERIFY(!set.Commit());
  QVERIFY2(set.failure().contains(u"«%1» не записан"_s.arg(b)), qPrintable(set.failure()));
  QVERIFY2(set.failure().endsWith(u"ничего не изменено"_s), qPrintable(set.failure()));
  QCOMPARE(Read(a), "old a"_ba);
  QCOMPARE(Read(c), "old c"_ba);
  QCOMPARE(Entries(dir.path()), (QStringList{u"a.csv"_s, u"b.csv"_s, u"c.csv"_s}));

  // With nothing in the way, all three are put in place.
  QVERIFY(QDir(b).removeRecursively());
  FileSet again;
  QVERIFY(again.Add(a, "new a") && again.Add(b, "new b") && again.Add(c, "new c"));
  QVERIFY2(again.Commit(), qPrintable(again.failure()));
  QCOMPARE(Read(a) + Read(b) + Read(c), "new anew bnew c"_ba);
  QCOMPARE(Entries(dir.path()), (QStringList{u"a.csv"_s, u"b.csv"_s, u"c.csv"_s}));
}

void FileWriterTest::signalRemovesTemporaryFile_data() {
  QTest::addColumn<int>("signal");
  QTest::addColumn<bool>("scratch");  // written by a writer of its own, as SQLite writes

  QTest::newRow("SIGTERM while writing") << SIGTERM << false;
  QTest::newRow("SIGINT while writing") << SIGINT << false;
  QTest::newRow("SIGHUP while writing") << SIGHUP << false;
  QTest::newRow("SIGTERM while a tables file is built") << SIGTERM << true;
}

void FileWriterTest::signalRemovesTemporaryFile() {
  QFETCH(int, signal);
  QFETCH(bool, scratch);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString path = dir.filePath(u"x.mdb"_s);
  QVERIFY(Write(path, "old"));
  const pid_t child = ::fork();
  QVERIFY(child >= 0);
  if (child == 0) {
    // QtTest catches these signals for its own report; a program leaves them at the default.
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, SIG_DFL);
    FileWriter out(path);
    if (!out.Open()) ::_exit(3);
    if (scratch) {
      QFile db(out.ScratchPath());
      if (!db.open(QIODevice::WriteOnly) || db.write("SQLite format 3") < 0) ::_exit(4);
      db.close();
    } else if (out.write(QByteArray(100000, 'x')) < 0) {
      ::_exit(4);
    }
    if (Entries(dir.path()).size() != 2) ::_exit(5);  // the temporary file is there
    ::raise(signal);
    ::_exit(6);
  }
  int status = 0;
  QCOMPARE(::waitpid(child, &status, 0), child);
  QVERIFY2(WIFSIGNALED(status), qPrintable(u"exit %1"_s.arg(WEXITSTATUS(status))));
  QCOMPARE(WTERMSIG(status), signal);
  QCOMPARE(Entries(dir.path()), QStringList{u"x.mdb"_s});
  QCOMPARE(Read(path), "old"_ba);
}

QTEST_GUILESS_MAIN(FileWriterTest)
#include "tst_file_writer.moc"
