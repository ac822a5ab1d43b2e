// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// "Справка" and "Выход", how the program ends when its windows are closed, and what it answers
// on its command line.

#include "main_window.h"
#include "startup.h"
#include "window_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
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

  // --help, --version and a missing tables file are answered where there is no display at all;
  // other mistakes once the window system has taken its own options; --tables FILE opens the
  // window on that file.
  void commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");  // -1: the window opens
    QTest::addColumn<QString>("out");   // a part of the standard output
    QTest::addColumn<QString>("err");   // a part of the standard error
    QTest::addColumn<bool>("display");  // a (headless) display to start on, or none at all
    const QString tables = QDir::current().relativeFilePath(TablesFile());
    const QString help = u"--tables <ФАЙЛ>"_s;
    QTest::newRow("--help") << QStringList{u"--help"_s} << 0 << help << QString() << false;
    QTest::newRow("--help-all") << QStringList{u"--help-all"_s} << 0 << help << QString() << false;
    QTest::newRow("--version with a Qt option")
        << QStringList{u"-style"_s, u"fusion"_s, u"--version"_s} << 0
        << u"meltor " MELTOR_VERSION_TEXT "\n"_s << QString() << false;
    QTest::newRow("tables file missing")
        << QStringList{u"--tables"_s, u"nowhere.mdb"_s} << 2 << QString()
        << u"meltor: --tables: нет файла «nowhere.mdb»"_s << false;
    QTest::newRow("unknown option") << QStringList{u"--tabels"_s} << 2 << QString()
                                    << u"Неизвестный параметр «tabels»"_s << true;
    QTest::newRow("stray argument after a Qt option")
        << QStringList{u"-style"_s, u"fusion"_s, u"extra"_s} << 2 << QString()
        << u"meltor: лишний аргумент «extra»\n"_s << true;
    QTest::newRow("tables file given, relative")
        << QStringList{u"--tables"_s, tables} << -1 << QString() << QString() << false;
  }
  void commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(bool, display);
    if (exitCode < 0) {
      const CommandLine::Outcome parsed = CommandLine::Parse(QStringList{u"meltor"_s} + arguments);
      QVERIFY(!parsed.exitCode);
      QCOMPARE(parsed.tablesPath, TablesFile());
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

 private:
  QString TablesFile() {
    const QString path = dir_.filePath(u"Эскадрилья.mdb"_s);
    if (!QFileInfo::exists(path)) {
      QFile file(path);
      if (!file.open(QIODevice::WriteOnly)) return {};
    }
    return path;
  }

  QTemporaryDir dir_;
};

QTEST_MAIN(TestAboutAndQuit)
#include "tst_about_quit.moc"
