// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// "Справка" and "Выход", and how the program ends when its windows are closed.

#include "main_window.h"
#include "window_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

using namespace meltor;
using namespace meltor::test;

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
    QTest::newRow("main window only") << false;
    QTest::newRow("About window open") << true;
  }
  void quit() {
    QFETCH(bool, aboutOpen);
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

    const int code = RunProgram(
        {[&] { QTest::mouseClick(Child<QPushButton>(window, u"cmdQuit"), Qt::LeftButton); }});
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
};

QTEST_MAIN(TestAboutAndQuit)
#include "tst_about_quit.moc"
