// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// "Справка" and "Выход", how the program ends when its windows are closed, and what it answers
// on its command line.

#include "main_window.h"
#include "startup.h"
#include "test_tables.h"
#include "window_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <optional>

#include <sys/stat.h>

using namespace meltor;
using namespace meltor::test;
using namespace Qt::StringLiterals;

namespace {

QList<QWidget*> VisibleAboutWindows() {
  QList<QWidget*> found;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == QStringLiteral("frmAbout") && w->isVisible()) found << w;
  }
  return found;
}

QList<QWidget*> VisibleWindows() {
  QList<QWidget*> found;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) found << w;
  }
  return found;
}

// Runs the event loop with `steps` queued one after the other, as a user would act while the
// program runs. Returns the event loop's exit code, or -1 when the program did not end within
// five seconds (the remaining steps are then skipped).
int RunProgram(const QList<std::function<void()>>& steps) {
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
  deadline.start(5000);
  for (int i = 0; i < steps.size(); ++i) QTimer::singleShot(10 * (i + 1), &deadline, steps[i]);
  return QApplication::exec();
}

QImage Picture(const QIcon& icon) {
  return icon.pixmap(32, 32).toImage();
}

}  // namespace

class TestAboutAndQuit : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QApplication::setQuitOnLastWindowClosed(true);
    QVERIFY(VisibleWindows().isEmpty());
  }

  void aboutPressedTwice() {
    RecordingSink sink;
    MainWindow window(sink);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* about = Child<QPushButton>(window, u"cmdAbout");
    QTest::mouseClick(about, Qt::LeftButton);
    QTest::mouseClick(about, Qt::LeftButton);

    const QList<QWidget*> shown = VisibleAboutWindows();
    QCOMPARE(shown.size(), 1);
    QWidget* frmAbout = shown.first();
    QVERIFY(QTest::qWaitForWindowExposed(frmAbout));
    QVERIFY(!frmAbout->parentWidget());  // no owner
    QVERIFY(!frmAbout->isModal());
    QCOMPARE(frmAbout->windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(frmAbout->size(), QSize(286, 76));
    QCOMPARE(Picture(frmAbout->windowIcon()), Picture(window.windowIcon()));
    QCOMPARE(Child<QLabel>(*frmAbout, u"imgAbout")->pixmap().toImage(),
             Picture(window.windowIcon()));
    // Nothing to press or type into; the four lines, each ended.
    QVERIFY(frmAbout->findChildren<QAbstractButton*>().isEmpty());
    QVERIFY(frmAbout->findChildren<QLineEdit*>().isEmpty());
    QCOMPARE(Child<QLabel>(*frmAbout, u"Label1")->text().count(QLatin1Char('\n')), 4);

    // The main window still takes input.
    auto* hpol = Child<QLineEdit>(window, u"txtHpol");
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::mouseClick(hpol, Qt::LeftButton);
    Type(hpol, QStringLiteral("3000"));
    QCOMPARE(hpol->text(), QStringLiteral("3000"));
    QCOMPARE(VisibleAboutWindows().size(), 1);
  }

  // Escape and Enter close it, as they close a box of the desktop; it opens over the middle of
  // the main window, wherever that stands.
  void aboutKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QPoint>("mainAt");
    QTest::newRow("Escape") << int(Qt::Key_Escape) << QPoint(40, 30);
    QTest::newRow("Enter") << int(Qt::Key_Return) << QPoint(300, 200);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << QPoint(0, 0);
  }
  void aboutKeys() {
    QFETCH(int, key);
    QFETCH(QPoint, mainAt);
    RecordingSink sink;
    MainWindow window(sink);
    window.move(mainAt);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(Child<QPushButton>(window, u"cmdAbout"), Qt::LeftButton);
    QCOMPARE(VisibleAboutWindows().size(), 1);
    QWidget* about = VisibleAboutWindows().first();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    const QPoint offset = about->geometry().center() - window.geometry().center();
    QVERIFY2(offset.manhattanLength() <= 4, qPrintable(u"%1,%2"_s.arg(offset.x()).arg(offset.y())));
    QTest::keyClick(about, static_cast<Qt::Key>(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QVERIFY(VisibleAboutWindows().isEmpty());
    QVERIFY(window.isVisible());
  }

  void aboutClosedAndShownAgain() {
    RecordingSink sink;
    MainWindow window(sink);
    window.show();
    auto* button = Child<QPushButton>(window, u"cmdAbout");
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(VisibleAboutWindows().size(), 1);
    QWidget* first = VisibleAboutWindows().first();
    QVERIFY(QTest::qWaitForWindowExposed(first));
    first->windowHandle()->close();  // as the window system closes it
    QVERIFY(VisibleAboutWindows().isEmpty());
    QVERIFY(window.isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(VisibleAboutWindows(), QList<QWidget*>{first});
  }

  void quit_data() {
    QTest::addColumn<bool>("aboutOpen");
    QTest::addColumn<int>("key");  // pressed on the focused button instead of a click, if any
    QTest::newRow("main window only") << false << 0;
    QTest::newRow("About window open") << true << 0;
    QTest::newRow("keypad Enter on Выход") << false << int(Qt::Key_Enter);
  }
  void quit() {
    QFETCH(bool, aboutOpen);
    QFETCH(int, key);
    // The program must end by itself, not because its last window happens to close.
    QApplication::setQuitOnLastWindowClosed(false);
    RecordingSink sink;
    MainWindow window(sink);
    window.show();
    if (aboutOpen) {
      QTest::mouseClick(Child<QPushButton>(window, u"cmdAbout"), Qt::LeftButton);
      QCOMPARE(VisibleAboutWindows().size(), 1);
    }
    QCOMPARE(VisibleWindows().size(), aboutOpen ? 2 : 1);

    auto* quit = Child<QPushButton>(window, u"cmdQuit");
    const int code = RunProgram({[&] {
      if (key == 0) {
        QTest::mouseClick(quit, Qt::LeftButton);
      } else {
        quit->setFocus(Qt::TabFocusReason);
        QTest::keyClick(quit, static_cast<Qt::Key>(key), Qt::KeypadModifier);
      }
    }});
    QCOMPARE(code, 0);
    QVERIFY(VisibleWindows().isEmpty());
  }

  // Closing the main window by the window system leaves the About window, and the program runs
  // on until that window is closed too.
  void mainWindowClosedWithAboutOpen() {
    RecordingSink sink;
    MainWindow window(sink);
    window.show();
    QTest::mouseClick(Child<QPushButton>(window, u"cmdAbout"), Qt::LeftButton);
    QCOMPARE(VisibleAboutWindows().size(), 1);
    QWidget* about = VisibleAboutWindows().first();
    QVERIFY(QTest::qWaitForWindowExposed(about));

    bool aboutLeft = false;
    bool aboutClosed = false;
    const int code = RunProgram({
        [&] { window.windowHandle()->close(); },
        [&] { aboutLeft = !window.isVisible() && about->isVisible(); },
        [&] {
          about->windowHandle()->close();
          aboutClosed = true;
        },
    });
    QVERIFY(aboutLeft);
    QVERIFY2(aboutClosed, "the program ended with the main window");
    QCOMPARE(code, 0);
    QVERIFY(VisibleWindows().isEmpty());
  }

  // --help and --version are answered where there is no display at all; other mistakes once
  // the window system has taken its own options; --tables FILE opens the window on that file, and
  // a file that cannot serve is told as a calculation would tell it (in a window: see
  // tablesQuestion), never with an exit nobody started from a menu would see.
  void commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");  // -1: the window opens
    QTest::addColumn<QString>("out");   // a part of the standard output
    QTest::addColumn<QString>("err");   // a part of the standard error; for the window, the problem
    QTest::addColumn<bool>("display");  // a (headless) display to start on, or none at all
    const QString tables = QDir::current().relativeFilePath(TablesFile());
    const QString help = u"--tables <ФАЙЛ>"_s;
    QTest::newRow("--help") << QStringList{u"--help"_s} << 0 << help << QString() << false;
    QTest::newRow("--help-all") << QStringList{u"--help-all"_s} << 0 << help << QString() << false;
    QTest::newRow("--version with a Qt option")
        << QStringList{u"-style"_s, u"fusion"_s, u"--version"_s} << 0
        << u"meltor " MELTOR_VERSION_TEXT "\n"_s << QString() << false;
    QTest::newRow("tables file missing")
        << QStringList{u"--tables"_s, u"nowhere.mdb"_s} << -1 << QString()
        << u"не найден. Искали: %1"_s.arg(QDir::current().absoluteFilePath(u"nowhere.mdb"_s))
        << false;
    QTest::newRow("tables path a folder")
        << QStringList{u"--tables"_s, dir_.path()} << -1 << QString()
        << u"%1 — папка, а не обычный файл"_s.arg(dir_.path()) << false;
    QTest::newRow("tables path a device") << QStringList{u"--tables"_s, u"/dev/zero"_s} << -1
                                          << QString() << u"/dev/zero — устройство"_s << false;
    QTest::newRow("tables path a named pipe")
        << QStringList{u"--tables"_s, Fifo()} << -1 << QString() << u"именованный канал"_s << false;
    QTest::newRow("tables file not a tables file")
        << QStringList{u"--tables"_s, TextFile()} << -1 << QString()
        << u"не является базой данных SQLite"_s << false;
    QTest::newRow("unknown option") << QStringList{u"--tabels"_s} << 2 << QString()
                                    << u"Неизвестный параметр «tabels»"_s << true;
    QTest::newRow("stray argument after a Qt option")
        << QStringList{u"-style"_s, u"fusion"_s, u"extra"_s} << 2 << QString()
        << u"meltor: лишний аргумент «extra»\n"_s << true;
    QTest::newRow("tables file given, relative")
        << QStringList{u"--tables"_s, tables} << -1 << QString() << QString() << false;
    QTest::newRow("--help names the journal")
        << QStringList{u"--help"_s} << 0 << u"--journal <ФАЙЛ>"_s << QString() << false;
    QTest::newRow("journal given, relative, not there yet")
        << QStringList{u"--journal"_s, u"нет/журнал.sqlite"_s} << -1 << QString() << QString()
        << false;
    QTest::newRow("journal given, not a journal")
        << QStringList{u"--journal"_s, TextFile()} << -1 << QString() << QString() << false;
    QTest::newRow("journal with an empty name")
        << QStringList{u"--journal"_s, QString()} << 2 << QString()
        << u"meltor: --journal: пустое имя файла журнала\n"_s << true;
    QTest::newRow("journal without its file")
        << QStringList{u"--journal"_s} << 2 << QString()
        << u"Отсутствует значение после «--journal»"_s << true;
  }
  void commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(bool, display);
    if (exitCode < 0) {
      const QStringList line = QStringList{u"meltor"_s} + arguments;
      const qsizetype journalAt = arguments.indexOf(u"--journal"_s);
      const QString journal = journalAt >= 0 ? arguments[journalAt + 1] : QString();
      const auto contents = [](const QString& path) -> std::optional<QByteArray> {
        QFile f(path);
        if (path.isEmpty() || !f.open(QIODevice::ReadOnly)) return std::nullopt;
        return f.readAll();
      };
      const std::optional<QByteArray> before = contents(journal);
      const CommandLine::Outcome parsed = CommandLine::Parse(line);
      QVERIFY(!parsed.exitCode);
      QVERIFY2(parsed.tablesProblem.contains(err), qPrintable(parsed.tablesProblem));
      QCOMPARE(parsed.tablesProblem.isEmpty(), err.isEmpty());
      if (err.isEmpty() && arguments.contains(u"--tables"_s)) {
        QCOMPARE(parsed.tablesPath, TablesFile());
      }
      // The journal is taken as named and opened only when first needed: the command line
      // neither reads it as a journal nor makes it.
      QCOMPARE(parsed.journalPath,
               journal.isEmpty() ? QString() : QDir::current().absoluteFilePath(journal));
      QCOMPARE(contents(journal), before);
      // Before the window system starts, nothing about the file ends the program.
      QVERIFY(!CommandLine::Parse(line, CommandLine::Pass::BeforeWindowSystem).exitCode);
      return;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
      env.remove(name);
    if (display) env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(MELTOR_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(30000));
    const QString stdOut = QString::fromUtf8(program.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == exitCode, qPrintable(stdErr));
    QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
    QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
    QCOMPARE(stdOut.isEmpty(), out.isEmpty());
  }

  // A tables file that cannot serve: the pilot reads why in a window and chooses to go on with
  // the program's own tables or to quit; a good file asks nothing.
  void tablesQuestion_data() {
    QTest::addColumn<QString>("tables");
    QTest::addColumn<bool>("agree");
    QTest::addColumn<QString>("opened");  // "given", "own" or "none" (the program ends)
    QTest::newRow("good file") << TablesFile() << true << u"given"_s;
    QTest::newRow("missing, the pilot goes on") << dir_.filePath(u"нет.mdb"_s) << true << u"own"_s;
    QTest::newRow("a folder, the pilot quits") << dir_.path() << false << u"none"_s;
  }
  void tablesQuestion() {
    QFETCH(QString, tables);
    QFETCH(bool, agree);
    QFETCH(QString, opened);
    const CommandLine::Outcome cl = CommandLine::Parse({u"meltor"_s, u"--tables"_s, tables});
    RecordingSink sink;
    sink.answer = agree;
    const std::optional<QString> chosen = ChooseTables(cl, sink);
    QCOMPARE(chosen.has_value(), opened != u"none");
    if (opened == u"given") QCOMPARE(*chosen, tables);
    if (opened == u"own") QCOMPARE(*chosen, QString());  // the program's own file
    QCOMPARE(sink.asked.size(), opened == u"given" ? 0 : 1);
    if (sink.asked.isEmpty()) return;
    QVERIFY2(sink.asked[0][0].contains(cl.tablesProblem), qPrintable(sink.asked[0][0]));
    QVERIFY2(sink.asked[0][0].contains(u"собственными таблицами"_s), qPrintable(sink.asked[0][0]));
    QCOMPARE(sink.asked[0].mid(1), (QStringList{u"Открыть с таблицами программы"_s, u"Выйти"_s}));
  }

 private:
  // A tables file of the squadron's: SQLite, as the program reads it.
  QString TablesFile() {
    const QString path = dir_.filePath(u"Эскадрилья.mdb"_s);
    if (!QFileInfo::exists(path)) {
      WriteTablesFile(path, ClimbViewSql(u"Z_Time_Pod_L39"_s, {{100, 60}, {1000, 560}}));
    }
    return path;
  }

  // A text file where the tables file should be.
  QString TextFile() {
    const QString path = dir_.filePath(u"tables.txt"_s);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write("height,time\n100,60\n");
    return path;
  }

  // A named pipe: reading it would wait for a writer that never comes.
  QString Fifo() {
    const QString path = dir_.filePath(u"pipe.mdb"_s);
    if (!QFileInfo::exists(path)) mkfifo(QFile::encodeName(path).constData(), 0600);
    return path;
  }

  QTemporaryDir dir_;
};

QTEST_MAIN(TestAboutAndQuit)
#include "tst_about_quit.moc"
