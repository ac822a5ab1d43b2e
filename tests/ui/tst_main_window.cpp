// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The main window as the pilot meets it: start-up state, layout, tab order, a calculation on a
// tables file of the test's own with its explanation in the results' tooltips, a calculation that
// stops with a message, Ctrl+C and the results' menu, Enter on the buttons, numbers shown whole,
// captions apart, and Russian throughout.

#include "errors.h"
#include "flight_review_window.h"
#include "journal.h"
#include "journal_desk.h"
#include "journal_window.h"
#include "main_window.h"
#include "message_sink.h"
#include "profiles.h"
#include "startup.h"
#include "test_flights.h"
#include "test_journal.h"
#include "test_tables.h"
#include "window_driver.h"
#include "window_layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStyle>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <memory>
#include <tuple>

using namespace meltor;
using namespace meltor::test;
using namespace Qt::StringLiterals;

namespace {

// A flight as typed into the window.
struct Flight {
  QString typ;        // typed into the type field, unless chosen from the list
  int typIndex = -1;  // >= 0: chosen from the list instead
  QString hours = QStringLiteral("0");
  QString minutes, bal, hn, hv, vidKm, vidSm, shtorkaZ, shtorkaO, hpol;
  DayNight dayNight = DayNight::None;
};

// The L-39 flight of the tests (by day, one hour, 10 tenths from 200 to 1000 m, visibility 3 km,
// flight height 3000 m), its type chosen from the list.
Flight CloudFlight() {
  const FlightInput in = L39Flight();
  Flight f;
  f.typIndex = static_cast<int>(AircraftTypeEntries().indexOf(in.cboTyp));
  f.hours = in.txtTpolChas;
  f.minutes = in.txtTpolMin;
  f.bal = in.txtBal;
  f.hn = in.txtHn;
  f.hv = in.txtHv;
  f.vidKm = in.txtVidKm;
  f.vidSm = in.txtVidSm;
  f.shtorkaZ = in.txtShtorkaZ;
  f.shtorkaO = in.txtShtorkaO;
  f.hpol = in.txtHpol;
  f.dayNight = in.dayNight;
  return f;
}

// What the window shows for CloudFlight on the test tables, worked out by hand: below cloud
// 150 s, in cloud 390 s, above cloud 3600 - 150 - 390 = 3060 s; in minutes 2.5 -> 2, 6.5 -> 6
// (halves to even), 51; 59 is one short of the 60-minute flight, so the minute goes into cloud.
const QStringList kCloudFlightResults = {QStringLiteral("-"), QStringLiteral("0.07"),
                                         QStringLiteral("0.51"), QStringLiteral("0.02"),
                                         QStringLiteral("1.00")};
// The same as copied: one line, tab-separated.
const QString kCloudFlightLine = QStringLiteral(
    "в закр. кабине\t-\tв обл.\t0.07\tза обл.\t0.51\tпри огр. видимости\t0.02\t"
    "Всего в СМУ\t1.00");

void Enter(MainWindow& window, const Flight& f) {
  auto* cbo = Child<QComboBox>(window, u"cboTyp");
  if (f.typIndex >= 0) {
    QVERIFY(ChooseFromList(cbo, f.typIndex));
  } else {
    Clear(cbo);
    Type(cbo, f.typ);
  }
  const std::array<std::pair<const char16_t*, QString>, 10> boxes = {{
      {u"txtTpolChas", f.hours},
      {u"txtTpolMin", f.minutes},
      {u"txtBal", f.bal},
      {u"txtHn", f.hn},
      {u"txtHv", f.hv},
      {u"txtVidKm", f.vidKm},
      {u"txtVidSm", f.vidSm},
      {u"txtShtorkaZ", f.shtorkaZ},
      {u"txtShtorkaO", f.shtorkaO},
      {u"txtHpol", f.hpol},
  }};
  for (const auto& [name, text] : boxes) {
    auto* box = Child<QLineEdit>(window, name);
    QVERIFY(box);
    Clear(box);
    Type(box, text);
    QCOMPARE(box->text(), text);
  }
  if (f.dayNight != DayNight::None) {
    QTest::mouseClick(
        Child<QRadioButton>(window, f.dayNight == DayNight::Day ? u"optDSMU" : u"optNSMU"),
        Qt::LeftButton);
  }
}

// The results' tooltips as the pilot reads them: plain text, a line per line.
QStringList ToolTips(const QWidget& window) {
  QStringList tips;
  for (const char16_t* name : kResultLabels) {
    const QString tip = Child<QLabel>(window, name)->toolTip();
    QTextDocument doc;
    doc.setHtml(tip);
    tips << (tip.isEmpty() ? QString() : doc.toPlainText());
  }
  return tips;
}

void PressCalculate(MainWindow& window) {
  auto* ok = Child<QPushButton>(window, u"cmdOK");
  QVERIFY(ok->isEnabled());
  QTest::mouseClick(ok, Qt::LeftButton);
}

QString RectText(const QRect& r) {
  return u"(%1,%2 %3x%4)"_s.arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

bool AboutShown() {
  for (const QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == u"frmAbout" && w->isVisible()) return true;
  }
  return false;
}

// The first and last pixel columns in which `image` differs from `blank`: where the text drawn
// on it has ink. {-1, -1} when nothing differs.
std::pair<int, int> InkColumns(const QImage& image, const QImage& blank) {
  int first = -1;
  int last = -1;
  for (int x = 0; x < image.width(); ++x) {
    for (int y = 0; y < image.height(); ++y) {
      if (image.pixel(x, y) != blank.pixel(x, y)) {
        if (first < 0) first = x;
        last = x;
        break;
      }
    }
  }
  return {first, last};
}

// How wide the ink of `text` is in `font`, drawn with room to spare.
int FreeInkWidth(const QFont& font, const QString& text) {
  QImage blank(200, 40, QImage::Format_ARGB32);
  blank.fill(Qt::white);
  QImage image = blank;
  QPainter painter(&image);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(QPoint(20, 30), text);
  painter.end();
  const auto [first, last] = InkColumns(image, blank);
  return last - first + 1;
}

// Marks every text asked of it, so that a text that passed through tr() shows it.
class MarkingTranslator final : public QTranslator {
 public:
  bool isEmpty() const override { return false; }
  QString translate(const char*, const char* source, const char*, int) const override {
    return u"⟦"_s + QString::fromUtf8(source) + u"⟧"_s;
  }
};

}  // namespace

Q_DECLARE_METATYPE(Flight)

class TestMainWindow : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // Qt's own texts in Russian, as the program sets them up.
    translations_ = std::make_unique<Translations>();
    QVERIFY(dir_.isValid());
    // No test reaches the user's own journal, whatever it presses.
    QStandardPaths::setTestModeEnabled(true);
    tablesPath_ = dir_.filePath(QStringLiteral("FlightTables1.mdb"));
    WriteTablesFile(tablesPath_,
                    ClimbViewSql(QStringLiteral("Z_Time_Pod_L39"),
                                 {{100, 60}, {200, 150}, {500, 300}, {1000, 560}, {3000, 1500}}) +
                        ViewSql(QStringLiteral("Z_Time_Obl_L39"),
                                {{QStringLiteral("-1"), QStringLiteral("500"),
                                  QStringLiteral("1000"), QStringLiteral("2000")},
                                 {QStringLiteral("200"), QStringLiteral("100"),
                                  QStringLiteral("390"), QStringLiteral("900")},
                                 {QStringLiteral("1000"), QStringLiteral("0"), QStringLiteral("0"),
                                  QStringLiteral("600")}}));
  }

  void startUpState() {
    RecordingSink sink;
    MainWindow window(sink, Settings());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QCOMPARE(window.objectName(), QStringLiteral("frmSMU"));
    QCOMPARE(window.minimumSize(), QSize(500, 261));
    QCOMPARE(window.maximumSize(), QSize(500, 261));
    QVERIFY(!window.findChild<QMenuBar*>());

    auto* cbo = Child<QComboBox>(window, u"cboTyp");
    QVERIFY(cbo && cbo->isEditable());
    QStringList entries;
    for (int i = 0; i < cbo->count(); ++i) entries << cbo->itemText(i);
    QCOMPARE(entries, (QStringList{QStringLiteral("Л-39"), QStringLiteral("Су-24"),
                                   QStringLiteral("Су-25"), QStringLiteral("Су-27"),
                                   QStringLiteral("МиГ-29"), QStringLiteral("МиГ-31")}));
    QCOMPARE(cbo->currentIndex(), -1);
    QCOMPARE(cbo->currentText(), QString());
    QCOMPARE(QApplication::focusWidget(), cbo);

    // Hours read "0", every other box is empty, and any text goes in.
    FlightInput empty;
    empty.txtTpolChas = QStringLiteral("0");
    const FlightInput in = window.Input();
    QCOMPARE(std::tie(in.txtHpol, in.txtTpolChas, in.txtTpolMin, in.txtBal, in.txtHn, in.txtHv,
                      in.txtVidKm, in.txtVidSm, in.txtShtorkaZ, in.txtShtorkaO, in.cboTyp),
             std::tie(empty.txtHpol, empty.txtTpolChas, empty.txtTpolMin, empty.txtBal, empty.txtHn,
                      empty.txtHv, empty.txtVidKm, empty.txtVidSm, empty.txtShtorkaZ,
                      empty.txtShtorkaO, empty.cboTyp));
    QCOMPARE(in.dayNight, DayNight::None);
    for (const QLineEdit* box : window.findChildren<QLineEdit*>()) {
      QVERIFY(!box->validator() && box->inputMask().isEmpty());
      QVERIFY(!box->accessibleName().isEmpty() || box->parentWidget() == cbo);
    }

    // Blank until the first calculation, not "-", and nothing to explain.
    QCOMPARE(ShownResults(window), QStringList(5, QString()));
    QCOMPARE(ToolTips(window), QStringList(5, QString()));

    QVERIFY(!Child<QPushButton>(window, u"cmdOK")->isEnabled());
    QVERIFY(Child<QPushButton>(window, u"cmdAbout")->isEnabled());
    QVERIFY(Child<QPushButton>(window, u"cmdQuit")->isEnabled());
    for (const auto* button : window.findChildren<QPushButton*>()) {
      QVERIFY2(!button->autoDefault() && !button->isDefault(), qPrintable(button->objectName()));
    }
  }

  // Where the frames, buttons and results stand, in twips from their container (15 twips to the
  // pixel).
  void placement_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");
    const auto row = [](const char* name, const char* container, QRect twips) {
      QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(container) << twips;
    };
    row("fraInput", "frmSMU", {120, 120, 7215, 2295});
    row("Frame5", "frmSMU", {120, 2520, 3975, 1215});
    row("Frame6", "frmSMU", {4200, 2520, 1335, 1215});
    row("fraTyp", "fraInput", {120, 240, 1335, 855});
    row("fraTime", "fraInput", {1440, 240, 1095, 855});
    row("fraObl", "fraInput", {2520, 240, 2055, 855});
    row("Frame1", "fraInput", {4560, 240, 1335, 855});
    row("Frame2", "fraInput", {5880, 240, 1215, 855});
    row("Frame3", "fraInput", {120, 1200, 2415, 975});
    row("fraHpol", "fraInput", {2640, 1200, 1335, 975});
    row("cmdOK", "fraInput", {6120, 1200, 975, 375});
    row("cmdAbout", "fraInput", {4320, 1800, 975, 375});
    row("cmdQuit", "fraInput", {6120, 1800, 975, 375});
    row("lblZakKab", "Frame5", {360, 720, 615, 375});
    row("lblOgrVid", "Frame5", {3120, 720, 615, 375});
    row("lblSMU", "Frame6", {360, 720, 615, 375});
  }
  void placement() {
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    RecordingSink sink;
    MainWindow window(sink, Settings());
    const auto* widget = Child<QWidget>(window, name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QCOMPARE(widget->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
  }

  // Every control lies inside its container, and every caption is whole in the window's font
  // as the system gives it.
  void captionsFit() {
    RecordingSink sink;
    MainWindow window(sink, Settings());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
      if (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_")) continue;
      QVERIFY2(widget->parentWidget()->rect().contains(widget->geometry()),
               qPrintable(widget->objectName()));
    }
    for (const QLabel* label : window.findChildren<QLabel*>()) {
      const QFontMetrics fm(label->font());
      const int room = label->contentsRect().width();
      if (label->wordWrap()) {
        for (const QString& word : label->text().split(QLatin1Char(' '))) {
          QVERIFY2(fm.horizontalAdvance(word) <= room, qPrintable(label->objectName()));
        }
        QVERIFY2(label->heightForWidth(room) <= label->height(), qPrintable(label->objectName()));
      } else {
        QVERIFY2(fm.horizontalAdvance(label->text()) <= room,
                 qPrintable(QStringLiteral("%1: %2 > %3")
                                .arg(label->objectName())
                                .arg(fm.horizontalAdvance(label->text()))
                                .arg(room)));
        QVERIFY2(fm.height() <= label->height(), qPrintable(label->objectName()));
      }
    }

    // No caption crosses a frame's border or touches another caption: a frame's caption where
    // the frame draws it, a label's text where its alignment puts it, all in window coordinates.
    struct Caption {
      QString name;
      QRect rect;
      const FrameBox* standsOn = nullptr;  // the frame whose top border the caption interrupts
    };
    struct Line {
      const FrameBox* frame;
      QRect rect;
      bool top;
    };
    QList<Caption> captions;
    QList<Line> lines;
    const auto inWindow = [&](const QWidget* w, const QRect& r) {
      return r.translated(w->mapTo(&window, QPoint(0, 0)));
    };
    const QList<FrameBox*> frames = window.findChildren<FrameBox*>();
    QCOMPARE(frames.size(), 10);
    for (const FrameBox* frame : frames) {
      const QRect b = inWindow(frame, frame->BorderRect());
      const int w = FrameBox::kBorderWidth;
      lines << Line{frame, QRect(b.left(), b.top(), b.width(), w), true}
            << Line{frame, QRect(b.left(), b.bottom() - w + 1, b.width(), w), false}
            << Line{frame, QRect(b.left(), b.top(), w, b.height()), false}
            << Line{frame, QRect(b.right() - w + 1, b.top(), w, b.height()), false};
      captions << Caption{frame->objectName(), inWindow(frame, frame->CaptionRect()), frame};
    }
    for (const QLabel* label : window.findChildren<QLabel*>()) {
      if (label->text().isEmpty()) continue;
      const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
      const QRect text =
          label->fontMetrics().boundingRect(label->contentsRect(), flags, label->text());
      captions << Caption{label->objectName(), inWindow(label, text)};
    }
    for (int i = 0; i < captions.size(); ++i) {
      const Caption& c = captions[i];
      const QRect clearance = c.rect.adjusted(-1, -1, 1, 1);
      for (const Line& line : lines) {
        if (line.top && line.frame == c.standsOn) continue;
        QVERIFY2(!clearance.intersects(line.rect),
                 qPrintable(u"%1 %2 on the border of %3"_s.arg(c.name, RectText(c.rect),
                                                               line.frame->objectName())));
      }
      for (int j = i + 1; j < captions.size(); ++j) {
        QVERIFY2(!clearance.intersects(captions[j].rect),
                 qPrintable(u"%1 %2 touches %3 %4"_s.arg(c.name, RectText(c.rect), captions[j].name,
                                                         RectText(captions[j].rect))));
      }
    }
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
      const int needed = qobject_cast<const QRadioButton*>(button)
                             ? button->sizeHint().width()
                             : QFontMetrics(button->font()).horizontalAdvance(button->text()) + 8;
      QVERIFY2(needed <= button->width(), qPrintable(button->objectName()));
    }
  }

  void tabOrder_data() {
    QTest::addColumn<bool>("calculateEnabled");
    QTest::addColumn<QString>("option");  // chosen before tabbing, if any
    QTest::addColumn<QStringList>("visits");
    const QStringList withoutOK = {
        QStringLiteral("txtTpolChas"), QStringLiteral("txtTpolMin"),  QStringLiteral("txtBal"),
        QStringLiteral("txtHn"),       QStringLiteral("txtHv"),       QStringLiteral("txtVidKm"),
        QStringLiteral("txtVidSm"),    QStringLiteral("optDSMU"),     QStringLiteral("optNSMU"),
        QStringLiteral("txtShtorkaZ"), QStringLiteral("txtShtorkaO"), QStringLiteral("cmdQuit"),
        QStringLiteral("txtHpol"),     QStringLiteral("cmdAbout"),    QStringLiteral("cboTyp"),
        QStringLiteral("txtTpolChas")};
    QStringList withOK = withoutOK;
    withOK.insert(withOK.indexOf(QStringLiteral("cmdQuit")), QStringLiteral("cmdOK"));
    QTest::newRow("Считать disabled is skipped") << false << QString() << withoutOK;
    QTest::newRow("Считать enabled") << true << QString() << withOK;
    QTest::newRow("днём chosen") << false << QStringLiteral("optDSMU") << withoutOK;
    QTest::newRow("ночью chosen") << true << QStringLiteral("optNSMU") << withOK;
  }
  void tabOrder() {
    QFETCH(bool, calculateEnabled);
    QFETCH(QString, option);
    QFETCH(QStringList, visits);
    RecordingSink sink;
    MainWindow window(sink, Settings());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    if (calculateEnabled) {
      // The hood set: type, time and both hood heights.
      Type(Child<QComboBox>(window, u"cboTyp"), QStringLiteral("Л-39"));
      Type(Child<QLineEdit>(window, u"txtTpolMin"), QStringLiteral("5"));
      Type(Child<QLineEdit>(window, u"txtShtorkaZ"), QStringLiteral("300"));
      Type(Child<QLineEdit>(window, u"txtShtorkaO"), QStringLiteral("600"));
      QVERIFY(Child<QPushButton>(window, u"cmdOK")->isEnabled());
    }
    if (!option.isEmpty()) QTest::mouseClick(Child<QRadioButton>(window, option), Qt::LeftButton);
    Child<QWidget>(window, u"cboTyp")->setFocus(Qt::OtherFocusReason);
    QStringList seen;
    for (int i = 0; i < visits.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      seen << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(seen, visits);
  }

  void calculation_data() {
    QTest::addColumn<Flight>("flight");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QString>("caseId");  // the case the tooltips must name
    // The boxes and results a warning marks: text left unread, a value or result no flight has.
    QTest::addColumn<QStringList>("warned");

    QTest::newRow("above cloud, one minute balanced into cloud")
        << CloudFlight() << QStringLiteral("C") << kCloudFlightResults << QStringLiteral("3c")
        << QStringList{};

    // Hood from 400 to 600 m: its middle, 500 m, takes 300 s to reach; 67 min - 5 min under the
    // hood. 3 tenths and 10 km is simple weather.
    Flight hood;
    hood.typIndex = 0;
    hood.hours = QStringLiteral("1");
    hood.minutes = QStringLiteral("7");
    hood.bal = QStringLiteral("3");
    hood.vidKm = QStringLiteral("10");
    hood.hpol = QStringLiteral("1500");
    hood.shtorkaZ = QStringLiteral("400");
    hood.shtorkaO = QStringLiteral("600");
    QTest::newRow("hood in simple weather")
        << hood << QStringLiteral("C")
        << QStringList{QStringLiteral("1.02"), QStringLiteral("-"), QStringLiteral("-"),
                       QStringLiteral("-"), QStringLiteral("ПМУ")}
        << QStringLiteral("1b") << QStringList{};

    // Below a 200 m cloud base (under the L-39 day minimum of 250 m): the whole flight counts as
    // limited visibility.
    Flight below = CloudFlight();
    below.minutes = QStringLiteral("30");
    below.hpol = QStringLiteral("150");
    const QStringList belowResults = {QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("-"),
                                      QStringLiteral("1.30"), QStringLiteral("1.30")};
    QTest::newRow("below the cloud base")
        << below << QStringLiteral("C") << belowResults << QStringLiteral("2b") << QStringList{};

    // The window reads hours by the user's locale: 1,5 h is 90 minutes in Russian.
    Flight comma = below;
    comma.hours = QStringLiteral("1,5");
    comma.minutes = QStringLiteral("0");
    QTest::newRow("decimal comma in a Russian locale")
        << comma << QStringLiteral("ru_RU") << belowResults << QStringLiteral("2b")
        << QStringList{};

    // Climbing takes longer than the whole one-minute flight: above cloud 60 - 150 - 390 s is
    // -480 s, -8 min; 2 + 6 - 8 = 0 is a minute short, so in cloud becomes 7 and the total 1.
    Flight shortFlight = CloudFlight();
    shortFlight.hours = QStringLiteral("0");
    shortFlight.minutes = QStringLiteral("1");
    // The numbers stand; the negative one and the total it lowered are marked and say why.
    QTest::newRow("negative time above cloud")
        << shortFlight << QStringLiteral("C")
        << QStringList{QStringLiteral("-"), QStringLiteral("0.07"), QStringLiteral("-0.08"),
                       QStringLiteral("0.02"), QStringLiteral("0.01")}
        << QStringLiteral("3c") << QStringList{u"lblZaObl"_s, u"lblSMU"_s};
    // An hour back: above cloud -3600 - 150 - 390 = -4140 s, -69 min; 2 + 6 - 69 = -61 is a
    // minute short of the -60 of the flight, so in cloud becomes 7. Hours marked too.
    Flight backwards = CloudFlight();
    backwards.hours = QStringLiteral("-1");
    QTest::newRow("negative flight time")
        << backwards << QStringLiteral("C")
        << QStringList{QStringLiteral("-"), QStringLiteral("0.07"), QStringLiteral("-1.09"),
                       QStringLiteral("0.02"), QStringLiteral("-1.00")}
        << QStringLiteral("3c") << QStringList{u"txtTpolChas"_s, u"lblZaObl"_s, u"lblSMU"_s};

    Flight typed = CloudFlight();
    typed.typIndex = -1;
    typed.typ = QStringLiteral("Л-39");
    QTest::newRow("type typed, not chosen") << typed << QStringLiteral("C") << kCloudFlightResults
                                            << QStringLiteral("3c") << QStringList{};

    // "3,9" reads as 3 km: the same results, and the box is marked.
    Flight comma3 = CloudFlight();
    comma3.vidKm = QStringLiteral("3,9");
    QTest::newRow("comma in the km box") << comma3 << QStringLiteral("C") << kCloudFlightResults
                                         << QStringLiteral("3c") << QStringList{u"txtVidKm"_s};
  }
  void calculation() {
    QFETCH(Flight, flight);
    QFETCH(QString, locale);
    QFETCH(QStringList, results);
    QFETCH(QString, caseId);
    QFETCH(QStringList, warned);
    RecordingSink sink;
    MainWindow window(sink, Settings(tablesPath_, QLocale(locale)));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Enter(window, flight);
    if (QTest::currentTestFailed()) return;
    PressCalculate(window);
    for (const auto& m : sink.shown) qWarning("unexpected message: %s", qPrintable(m.text));
    QVERIFY(sink.shown.isEmpty());
    QCOMPARE(ShownResults(window), results);
    for (const char16_t* name : kResultLabels) {
      // Whole, and still centred where it was laid out (615 twips wide from 360 in its frame,
      // or as the column's left says).
      const auto* label = Child<QLabel>(window, name);
      QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
               qPrintable(label->text()));
      QVERIFY(label->parentWidget()->rect().contains(label->geometry()));
    }
    const auto* zaObl = Child<QLabel>(window, u"lblZaObl");
    QVERIFY(qAbs(zaObl->geometry().center().x() - (2280 + 615 / 2) / 15) <= 1);

    // Each tooltip opens with its own heading and value, then what a warning says about that
    // result, then the path the calculation took.
    const QStringList tips = ToolTips(window);
    for (int i = 0; i < kResultCount; ++i) {
      const QStringList lines = tips[i].split(QLatin1Char('\n'));
      QCOMPARE(lines.first(), ResultHeadings()[i] + QStringLiteral(": ") + results[i]);
      QVERIFY2(lines.size() > 5, qPrintable(tips[i]));
      QVERIFY2(tips[i].contains(QStringLiteral("[случай %1]").arg(caseId)), qPrintable(tips[i]));
      QVERIFY2(tips[i].contains(u"Z_Time_Pod_L39"), qPrintable(tips[i]));
      QCOMPARE(tips[i].contains(u"Внимание: "), !warned.isEmpty());
      const bool resultWarned = warned.contains(QString::fromUtf16(kResultLabels[i]));
      QCOMPARE(lines.value(1).startsWith(u"⚠ %1 %2: "_s.arg(ResultHeadings()[i], results[i])),
               resultWarned);
      const auto* label = Child<QLabel>(window, kResultLabels[i]);
      QCOMPARE(label->autoFillBackground() &&
                   label->palette().color(QPalette::Window) == QColor(255, 224, 138),
               resultWarned);
    }

    // Only the boxes warned about are marked, and each says what is wrong.
    const auto marked = [&](const QLineEdit* box) {
      return box->palette().color(QPalette::Base) !=
             QApplication::palette(box).color(QPalette::Base);
    };
    QString warnedBox;
    for (const char16_t* name :
         {u"txtTpolChas", u"txtTpolMin", u"txtBal", u"txtHn", u"txtHv", u"txtVidKm", u"txtVidSm",
          u"txtShtorkaZ", u"txtShtorkaO", u"txtHpol"}) {
      const auto* box = Child<QLineEdit>(window, name);
      const bool expected = warned.contains(QString::fromUtf16(name));
      QCOMPARE(marked(box), expected);
      QCOMPARE(!box->toolTip().isEmpty(), expected);
      if (expected) warnedBox = box->objectName();
    }
    if (!warnedBox.isEmpty()) {
      auto* box = Child<QLineEdit>(window, warnedBox);
      auto* hpol = Child<QLineEdit>(window, u"txtHpol");
      const QString typed = box->text();
      QVERIFY2(tips[0].contains(box->toolTip()), qPrintable(tips[0]));
      // A calculation that stops before the box's turn leaves its mark: its text is unchanged.
      Clear(hpol);
      Type(hpol, QStringLiteral("abc"));
      PressCalculate(window);
      QCOMPARE(sink.shown.size(), 1);
      QVERIFY(marked(box));
      Clear(hpol);
      Type(hpol, flight.hpol);
      sink.shown.clear();
      // Till the pilot edits it (a blank at the end keeps the value the same).
      Type(box, QStringLiteral(" "));
      QVERIFY(!marked(box));
      QCOMPARE(box->toolTip(), QString());
      PressCalculate(window);
      QVERIFY(marked(box));
      Clear(box);
      Type(box, typed);
    }

    // The inputs stay as typed, and a second run gives the same.
    QCOMPARE(window.Input().txtHpol, flight.hpol);
    PressCalculate(window);
    QCOMPARE(ShownResults(window), results);
  }

  void error_data() {
    QTest::addColumn<Flight>("flight");
    QTest::addColumn<bool>("tablesMissing");
    QTest::addColumn<QString>("control");   // where the focus must be after the message
    QTest::addColumn<QString>("selected");  // the text selected there
    QTest::addColumn<QString>("mentions");  // a part of the message
    QTest::addColumn<QString>("fix");       // typed over the selection to put it right

    Flight f = CloudFlight();
    f.hpol = QStringLiteral("abc");
    QTest::newRow("flight height not a number")
        << f << false << QStringLiteral("txtHpol") << QStringLiteral("abc")
        << FieldCaption(Field::Hpol) << QStringLiteral("3000");

    f = CloudFlight();
    f.typIndex = -1;
    f.typ = QStringLiteral("Ан-2");
    QTest::newRow("type not in the list")
        << f << false << QStringLiteral("cboTyp") << QStringLiteral("Ан-2")
        << QStringLiteral("Ан-2") << QStringLiteral("Л-39");

    f = CloudFlight();
    f.minutes = QStringLiteral(" ");
    QTest::newRow("minutes a blank")
        << f << false << QStringLiteral("txtTpolMin") << QStringLiteral(" ")
        << FieldCaption(Field::TpolMin) << QStringLiteral("0");

    f = CloudFlight();
    f.hours = QStringLiteral("1,0");
    QTest::newRow("decimal comma in the C locale")
        << f << false << QStringLiteral("txtTpolChas") << QStringLiteral("1,0")
        << FieldCaption(Field::TpolChas) << QStringLiteral("1");

    // No field to blame: the focus stays on the button.
    QTest::newRow("tables file missing")
        << CloudFlight() << true << QStringLiteral("cmdOK") << QString()
        << QStringLiteral("FlightTables1.mdb") << QString();
  }
  void error() {
    QFETCH(Flight, flight);
    QFETCH(bool, tablesMissing);
    QFETCH(QString, control);
    QFETCH(QString, selected);
    QFETCH(QString, mentions);
    QFETCH(QString, fix);
    RecordingSink sink;
    const QString missing = dir_.filePath(QStringLiteral("nowhere/FlightTables1.mdb"));
    MainWindow window(sink, Settings(tablesMissing ? missing : tablesPath_));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // Results of an earlier run must not survive a failed one.
    if (!tablesMissing) {
      Enter(window, CloudFlight());
      PressCalculate(window);
      QCOMPARE(ShownResults(window), kCloudFlightResults);
    }
    Enter(window, flight);
    if (QTest::currentTestFailed()) return;
    PressCalculate(window);

    QCOMPARE(sink.shown.size(), 1);
    QVERIFY2(sink.shown[0].text.contains(mentions), qPrintable(sink.shown[0].text));
    if (tablesMissing)
      QVERIFY2(sink.shown[0].text.contains(missing), qPrintable(sink.shown[0].text));
    const QStringList dashes(5, QStringLiteral("-"));
    QCOMPARE(sink.shown[0].results, dashes);  // while the message is up
    QCOMPARE(ShownResults(window), dashes);   // and after it
    QCOMPARE(ToolTips(window), QStringList(5, QString()));

    QWidget* focus = window.focusWidget();
    QVERIFY(focus);
    QCOMPARE(focus->objectName(), control);
    if (auto* combo = qobject_cast<QComboBox*>(focus)) {
      QCOMPARE(combo->lineEdit()->selectedText(), selected);
    } else if (auto* box = qobject_cast<QLineEdit*>(focus)) {
      QCOMPARE(box->selectedText(), selected);
    }
    if (fix.isEmpty()) return;

    // The pilot types straight over the selection and calculates again.
    Type(focus, fix);
    PressCalculate(window);
    QCOMPARE(sink.shown.size(), 1);
    QCOMPARE(ShownResults(window), kCloudFlightResults);
  }

  void copyResults_data() {
    QTest::addColumn<QString>("run");      // "none", "ok", "failed" or "stale" before the keys
    QTest::addColumn<QString>("control");  // where the focus is
    QTest::addColumn<int>("selected");     // characters selected from its start
    QTest::addColumn<QString>("copied");   // what the clipboard then holds

    const QString& line = kCloudFlightLine;
    // Never what the clipboard held before, which may be an earlier flight's numbers.
    const QString none = u"Нет результатов расчёта"_s;
    const QString failed = u"Нет результатов: расчёт остановлен"_s;
    const QString stale = u"Результаты устарели: данные изменены — нажмите «Считать»"_s;
    QTest::newRow("box, nothing selected") << u"ok"_s << u"txtHpol"_s << 0 << line;
    QTest::newRow("type field, nothing selected") << u"ok"_s << u"cboTyp"_s << 0 << line;
    QTest::newRow("button") << u"ok"_s << u"cmdOK"_s << 0 << line;
    QTest::newRow("day/night option") << u"ok"_s << u"optDSMU"_s << 0 << line;
    QTest::newRow("box, text selected") << u"ok"_s << u"txtHpol"_s << 2 << u"30"_s;
    QTest::newRow("type field, text selected") << u"ok"_s << u"cboTyp"_s << 2 << u"Л-"_s;
    QTest::newRow("before any calculation") << u"none"_s << u"txtHpol"_s << 0 << none;
    QTest::newRow("after a failed calculation") << u"failed"_s << u"cmdOK"_s << 0 << failed;
    QTest::newRow("results out of date") << u"stale"_s << u"txtHn"_s << 0 << stale;
    QTest::newRow("out of date, text selected") << u"stale"_s << u"txtHpol"_s << 3 << u"300"_s;
  }
  void copyResults() {
    QFETCH(QString, run);
    QFETCH(QString, control);
    QFETCH(int, selected);
    QFETCH(QString, copied);
    RecordingSink sink;
    MainWindow window(sink, Settings());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Enter(window, CloudFlight());
    if (run != u"none") PressCalculate(window);
    if (run == u"failed") {
      // A good calculation, then one that fails: the earlier results are gone too.
      Child<QLineEdit>(window, u"txtHpol")->setText(u"abc"_s);
      PressCalculate(window);
    }
    if (run == u"stale") Type(Child<QLineEdit>(window, u"txtHpol"), u"0"_s);
    QCOMPARE(sink.shown.size(), run == u"failed" ? 1 : 0);
    QGuiApplication::clipboard()->setText(u"<untouched>"_s);

    auto* widget = Child<QWidget>(window, control);
    widget->setFocus(Qt::OtherFocusReason);
    QCOMPARE(QApplication::focusWidget(), widget);
    auto* combo = qobject_cast<QComboBox*>(widget);
    auto* box = combo ? combo->lineEdit() : qobject_cast<QLineEdit*>(widget);
    if (box) {
      box->deselect();
      if (selected > 0) box->setSelection(0, selected);
    }
    QTest::keyClick(widget, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
  }

  // Enter and keypad Enter press the button that has the focus, as Space does; in a field they
  // press nothing, since no button is the window's default.
  void enterPresses_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>(
        "effect");  // "calculated", "about" or "nothing"; Выход: tst_about_quit
    const int enter = Qt::Key_Return;
    const int keypad = Qt::Key_Enter;
    QTest::newRow("Enter on Считать") << u"cmdOK"_s << enter << u"calculated"_s;
    QTest::newRow("keypad Enter on Считать") << u"cmdOK"_s << keypad << u"calculated"_s;
    QTest::newRow("Enter on Справка") << u"cmdAbout"_s << enter << u"about"_s;
    QTest::newRow("Enter in a text box") << u"txtHpol"_s << enter << u"nothing"_s;
    QTest::newRow("keypad Enter in a text box") << u"txtShtorkaO"_s << keypad << u"nothing"_s;
    QTest::newRow("Enter in the type field") << u"cboTyp"_s << enter << u"nothing"_s;
    QTest::newRow("Enter on днём") << u"optDSMU"_s << enter << u"nothing"_s;
  }
  void enterPresses() {
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(QString, effect);
    RecordingSink sink;
    MainWindow window(sink, Settings());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Enter(window, CloudFlight());
    if (QTest::currentTestFailed()) return;
    auto* widget = Child<QWidget>(window, control);
    widget->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), widget);
    QTest::keyClick(widget, static_cast<Qt::Key>(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(ShownResults(window),
             effect == u"calculated" ? kCloudFlightResults : QStringList(5, QString()));
    QCOMPARE(AboutShown(), effect == u"about");
    QVERIFY(sink.shown.isEmpty());
  }

  // Every text box shows -32768, 32767 and a five-digit height whole, in the face the window
  // chose: the text's ink in the box is as wide as the same text drawn with room to spare, and
  // stays inside the box's frame.
  void numbersWhole() {
    RecordingSink sink;
    MainWindow window(sink, Settings());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QStringList faces = WindowFont().families();
    auto* elsewhere = Child<QWidget>(window, u"cmdQuit");  // no cursor in the box measured
    int boxes = 0;
    for (QLineEdit* box : window.findChildren<QLineEdit*>()) {
      if (qobject_cast<QComboBox*>(box->parentWidget())) continue;
      ++boxes;
      const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
      box->clear();
      elsewhere->setFocus(Qt::OtherFocusReason);
      const QImage blank = box->grab().toImage();
      for (const QString& text : {u"-32768"_s, u"32767"_s, u"12000"_s}) {
        box->setFocus(Qt::OtherFocusReason);
        Type(box, text);
        elsewhere->setFocus(Qt::OtherFocusReason);
        const auto [first, last] = InkColumns(box->grab().toImage(), blank);
        const QFontInfo font(box->font());
        const int free = FreeInkWidth(box->font(), text);
        const QString where = u"%1 «%2»: ink %3..%4 in %5 px, %6 wide with room; %7 %8 px"_s.arg(
            box->objectName(), text, QString::number(first), QString::number(last),
            QString::number(box->width()), QString::number(free), font.family(),
            QString::number(font.pixelSize()));
        QVERIFY2(faces.contains(font.family()), qPrintable(where));
        QVERIFY2(first >= frame && last < box->width() - frame, qPrintable(where));
        QVERIFY2(qAbs(last - first + 1 - free) <= 1, qPrintable(where));
        box->clear();
      }
    }
    QCOMPARE(boxes, 10);
  }

  // A right click on the results opens their menu: «Копировать результаты» with its shortcut
  // shown, available once there are results; it copies the line and says so in a passing note.
  void resultsMenu() {
    RecordingSink sink;
    MainWindow window(sink, Settings());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Enter(window, CloudFlight());
    const auto openMenu = [&](const char16_t* on) {
      auto* widget = Child<QWidget>(window, on);
      const QPoint at = widget->rect().center();
      QContextMenuEvent click(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
      QApplication::sendEvent(widget, &click);
      return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    };

    QMenu* menu = openMenu(u"lblObl");
    QVERIFY(menu);
    QAction* copy = menu->actions().value(0);
    QVERIFY(copy);
    QCOMPARE(copy->text(), u"Копировать результаты"_s);
    QCOMPARE(copy->shortcut(), QKeySequence(QKeySequence::Copy));
    QVERIFY(copy->isShortcutVisibleInContextMenu());
    QVERIFY(!copy->isEnabled());  // nothing calculated yet
    menu->close();

    PressCalculate(window);
    QGuiApplication::clipboard()->setText(u"<untouched>"_s);
    QWidget* focus = QApplication::focusWidget();
    QCOMPARE(openMenu(u"Frame6"), menu);
    QVERIFY(copy->isEnabled());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(copy).center());
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(QGuiApplication::clipboard()->text(), kCloudFlightLine);
    QVERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), u"Результаты скопированы"_s);
    QCOMPARE(QApplication::focusWidget(), focus);
    QTRY_VERIFY_WITH_TIMEOUT(!QToolTip::isVisible(), kCopyNoteMilliseconds + 3000);
  }

  // Qt's own texts speak Russian with the program, and the program's own texts are Russian
  // literals that no translator replaces: the program speaks Russian only.
  void russianEverywhere() {
    QVERIFY(translations_->qtTranslated());
    RecordingSink sink;
    {
      MainWindow window(sink, Settings());
      const std::unique_ptr<QMenu> menu(
          Child<QLineEdit>(window, u"txtHn")->createStandardContextMenu());
      int entries = 0;
      for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        ++entries;
        QVERIFY2(action->text().contains(QRegularExpression(u"[а-яё]"_s)),
                 qPrintable(action->text()));
      }
      QVERIFY(entries >= 5);
    }

    MarkingTranslator marker;
    QVERIFY(QCoreApplication::installTranslator(&marker));
    MainWindow window(sink, Settings());
    QTest::mouseClick(Child<QPushButton>(window, u"cmdAbout"), Qt::LeftButton);
    QCoreApplication::removeTranslator(&marker);
    QWidget* about = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == u"frmAbout") about = w;
    }
    QVERIFY(about);
    const auto& headings = ResultHeadings();  // the calculation's own texts, shared with meltor-cli
    QStringList texts = {about->windowTitle()};
    for (const QWidget* root : {static_cast<QWidget*>(&window), about}) {
      for (const QGroupBox* frame : root->findChildren<QGroupBox*>()) texts << frame->title();
      for (const QAbstractButton* b : root->findChildren<QAbstractButton*>()) texts << b->text();
      for (const QLabel* label : root->findChildren<QLabel*>()) {
        if (std::find(headings.begin(), headings.end(), label->text()) == headings.end())
          texts << label->text();
      }
      for (const QMenu* menu : root->findChildren<QMenu*>()) {
        for (const QAction* action : menu->actions()) {
          // The journal's entries (actJournal…) are written as literals, as the program's texts
          // are to be: Russian only, no translation.
          if (!action->objectName().startsWith(u"actJournal")) texts << action->text();
        }
      }
    }
    int checked = 0;
    for (const QString& text : texts) {
      if (!text.contains(QRegularExpression(u"\\p{L}"_s))) continue;  // "," and "—"
      ++checked;
      QVERIFY2(!text.contains(u"⟦"_s), qPrintable(text));
      QVERIFY2(text.contains(QRegularExpression(u"[А-Яа-яЁё]"_s)), qPrintable(text));
    }
    QVERIFY2(checked >= 20, qPrintable(texts.join(u"|")));
  }

  // The real wrapper: a modal box over the window, with its icon, the text and an OK button.
  void messageBox() {
    RecordingSink unused;
    MainWindow window(unused, Settings());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    MessageBoxSink sink;
    const QString text = QStringLiteral("Высота п-та, м: «abc» — не число.");
    struct Seen {
      bool found = false, modal = false, sameIcon = false;
      QString text;
      QString buttonText;
      QMessageBox::StandardButton button = QMessageBox::NoButton;
      QMessageBox::Icon icon = QMessageBox::NoIcon;
    } seen;
    QTimer answer;
    answer.setInterval(10);
    connect(&answer, &QTimer::timeout, &window, [&] {
      auto* box = window.findChild<QMessageBox*>();
      if (!box || !box->isVisible()) return;
      seen.found = true;
      seen.modal = box->isModal() && QApplication::activeModalWidget() == box;
      seen.sameIcon = box->windowIcon().cacheKey() == window.windowIcon().cacheKey();
      seen.text = box->text();
      seen.icon = box->icon();
      seen.button = box->buttons().size() == 1 ? box->standardButton(box->buttons().first())
                                               : QMessageBox::NoButton;
      seen.buttonText = box->buttons().first()->text();
      box->buttons().first()->click();
    });
    answer.start();
    sink.ShowError(window, text);
    answer.stop();
    QVERIFY(seen.found);
    QVERIFY(seen.modal);
    QVERIFY(seen.sameIcon);
    QCOMPARE(seen.text, text);
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.button, QMessageBox::Ok);
    // Qt's button in the program's language, written as a Russian desktop writes it: Cyrillic.
    QCOMPARE(seen.buttonText, u"ОК"_s);

    // A question: the two answers as given, the first the default; it tells which was chosen.
    for (const bool yes : {true, false}) {
      QStringList buttons;
      QTimer choose;
      choose.setInterval(10);
      connect(&choose, &QTimer::timeout, &window, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        buttons.clear();
        for (const QAbstractButton* b : box->buttons()) buttons << b->text();
        if (box->defaultButton()) buttons << u"default: "_s + box->defaultButton()->text();
        box->buttons().value(yes ? 0 : 1)->click();
      });
      choose.start();
      const bool answer = sink.Ask(nullptr, u"Открыть?"_s, u"Открыть"_s, u"Выйти"_s);
      choose.stop();
      QCOMPARE(answer, yes);
      QCOMPARE(buttons, (QStringList{u"Открыть"_s, u"Выйти"_s, u"default: Открыть"_s}));
    }
  }

  // Once a field changes after a calculation, the results are out of date: greyed, their tooltip
  // and the status line say so, and Ctrl+C copies only that; the fields back as they were, or the
  // next calculation, make them current again.
  void staleResults_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");  // appended; "<choose N>", "<click>" for the others
    QTest::newRow("flight height") << u"txtHpol"_s << u"0"_s;
    QTest::newRow("minutes") << u"txtTpolMin"_s << u"5"_s;
    QTest::newRow("cloud top, which no readiness check watches") << u"txtHv"_s << u"0"_s;
    QTest::newRow("hundreds of metres") << u"txtVidSm"_s << u"5"_s;
    QTest::newRow("hood closing height") << u"txtShtorkaZ"_s << u"3"_s;
    QTest::newRow("type chosen from the list") << u"cboTyp"_s << u"<choose 3>"_s;
    QTest::newRow("ночью") << u"optNSMU"_s << u"<click>"_s;
  }
  void staleResults() {
    QFETCH(QString, control);
    QFETCH(QString, typed);
    RecordingSink sink;
    MainWindow window(sink, Settings());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Enter(window, CloudFlight());
    PressCalculate(window);
    auto* obl = Child<QLabel>(window, u"lblObl");
    auto* status = Child<QLabel>(window, u"lblStatus");
    const QColor ink = obl->palette().color(QPalette::WindowText);
    // The ink of every result: the total's red and the others' black alike go grey.
    const auto inks = [&] {
      QList<QColor> colours;
      for (const char16_t* name : kResultLabels) {
        colours << Child<QLabel>(window, name)->palette().color(QPalette::WindowText);
      }
      return colours;
    };
    const QList<QColor> current = inks();
    const auto copied = [&] {
      QGuiApplication::clipboard()->setText(u"<untouched>"_s);
      QTest::keyClick(Child<QWidget>(window, u"cmdQuit"), Qt::Key_C, Qt::ControlModifier);
      return QGuiApplication::clipboard()->text();
    };
    QCOMPARE(copied(), kCloudFlightLine);
    QCOMPARE(status->text(), QString());

    const auto change = [&](bool back) {
      auto* widget = Child<QWidget>(window, control);
      if (typed == u"<click>") {
        QTest::mouseClick(Child<QRadioButton>(window, back ? u"optDSMU" : u"optNSMU"),
                          Qt::LeftButton);
      } else if (typed.startsWith(u"<choose")) {
        QVERIFY(
            ChooseFromList(qobject_cast<QComboBox*>(widget), back ? 0 : typed.mid(8, 1).toInt()));
      } else if (back) {
        QTest::keyClick(widget, Qt::Key_Backspace);
      } else {
        widget->setFocus(Qt::OtherFocusReason);
        Type(widget, typed);
      }
    };
    change(false);
    QCOMPARE(ShownResults(window), kCloudFlightResults);  // still there, and greyed
    QVERIFY(obl->palette().color(QPalette::WindowText) != ink);
    for (int i = 0; i < kResultCount; ++i) {
      QVERIFY2(inks()[i] != current[i], qPrintable(QString::fromUtf16(kResultLabels[i])));
      QCOMPARE(inks()[i], inks()[0]);
    }
    QVERIFY2(ToolTips(window)[1].startsWith(u"Данные изменены — нажмите «Считать»\nПоказан прошлый "
                                            u"расчёт:\nв обл.: 0.07"_s),
             qPrintable(ToolTips(window)[1]));
    QCOMPARE(status->text(), u"Данные изменены — нажмите «Считать»."_s);
    // Not the numbers: a paste into the logbook must not take them for the new flight's.
    QCOMPARE(copied(), u"Результаты устарели: данные изменены — нажмите «Считать»"_s);
    QVERIFY(QToolTip::text().contains(u"результаты устарели"_s));

    change(true);  // as it was: current again
    QCOMPARE(inks(), current);
    QCOMPARE(copied(), kCloudFlightLine);

    change(false);
    PressCalculate(window);  // the next calculation is current
    QCOMPARE(obl->palette().color(QPalette::WindowText), ink);
    QVERIFY(!ToolTips(window)[1].startsWith(u"Данные изменены"_s));
    QCOMPARE(status->text(), QString());
    // Copied again, unless that calculation failed (the test's tables know the L-39 alone).
    QCOMPARE(copied() == u"Нет результатов: расчёт остановлен"_s, !sink.shown.isEmpty());
  }

  // The results' menu from the keyboard, wherever the focus is: the Menu key and Shift+F10, its
  // first entry ready for Enter.
  void resultsMenuKeys_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    const int shift = int(Qt::ShiftModifier);
    QTest::newRow("Shift+F10 in a text box") << u"txtHpol"_s << int(Qt::Key_F10) << shift;
    QTest::newRow("Menu key in a text box") << u"txtBal"_s << int(Qt::Key_Menu) << 0;
    QTest::newRow("Shift+F10 in the type field") << u"cboTyp"_s << int(Qt::Key_F10) << shift;
    QTest::newRow("Menu key on a button") << u"cmdOK"_s << int(Qt::Key_Menu) << 0;
    QTest::newRow("Shift+F10 on днём") << u"optDSMU"_s << int(Qt::Key_F10) << shift;
  }
  void resultsMenuKeys() {
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    RecordingSink sink;
    MainWindow window(sink, Settings());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Enter(window, CloudFlight());
    PressCalculate(window);
    auto* widget = Child<QWidget>(window, control);
    widget->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key),
                    static_cast<Qt::KeyboardModifiers>(modifiers));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QCOMPARE(menu->objectName(), u"mnuResults"_s);
    QVERIFY(menu->activeAction());
    QCOMPARE(menu->activeAction()->text(), u"Копировать результаты"_s);
    QGuiApplication::clipboard()->setText(u"<untouched>"_s);
    QTest::keyClick(menu, Qt::Key_Return);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(QGuiApplication::clipboard()->text(), kCloudFlightLine);
  }

  // «Разбор полёта»: no larger than the screen leaves room for, Escape closes it, Enter presses
  // the button that has the focus, and it says when the main window's fields have changed.
  void flightReview_data() {
    QTest::addColumn<QRect>("screen");  // the available area it is fitted to
    QTest::newRow("1366×768 less a panel") << QRect(0, 0, 1366, 740);
    QTest::newRow("1920×1080") << QRect(0, 0, 1920, 1050);
    QTest::newRow("a second screen to the right") << QRect(1366, 0, 1280, 1024);
  }
  void flightReview() {
    QFETCH(QRect, screen);
    RecordingSink sink;
    MainWindow window(sink, Settings());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Enter(window, CloudFlight());
    PressCalculate(window);

    FlightReviewWindow review;
    review.FitTo(screen);
    QVERIFY2(screen.contains(QRect(review.pos(), review.size() + QSize(16, 48))),
             qPrintable(RectText(QRect(review.pos(), review.size()))));
    QVERIFY(review.width() <= FlightPictureSize().width() + 24);

    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    QWidget* shown = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == u"frmReview" && w->isVisible()) shown = w;
    }
    QVERIFY(shown);
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    auto* stale = Child<QLabel>(*shown, u"lblStale");
    QVERIFY(!stale->isVisibleTo(shown));
    Type(Child<QLineEdit>(window, u"txtHpol"), u"0"_s);
    QVERIFY(stale->isVisibleTo(shown));

    auto* copy = Child<QPushButton>(*shown, u"cmdCopyPicture");
    QGuiApplication::clipboard()->setText(u"<untouched>"_s);
    copy->setFocus(Qt::TabFocusReason);
    QTest::keyClick(copy, Qt::Key_Return);
    QVERIFY(!QGuiApplication::clipboard()->image().isNull());

    QTest::keyClick(copy, Qt::Key_Escape);
    QVERIFY(!shown->isVisible());
    QVERIFY(window.isVisible());
  }

  // «Записать в журнал…»: Ctrl+S or the results' menu saves the flight just calculated with the
  // details the pilot gives, and the entry reads back as calculated; results that are not current,
  // a cancelled dialog and a journal that cannot be written save nothing, and say why.
  void journalSave_data() {
    QTest::addColumn<QString>("before");   // "calculated", "stale", "failed", "none"
    QTest::addColumn<QString>("keys");     // "Ctrl+S" or "menu"
    QTest::addColumn<QString>("journal");  // "new", "damaged", "newer", "folder"
    QTest::addColumn<bool>("answer");      // the pilot saves in the dialog (or cancels)
    QTest::addColumn<QString>("note");     // the status line then
    QTest::addColumn<QString>("error");    // a part of the message shown, empty for none
    const QString saved = u"Записано в журнал: №\u00a01"_s;
    const QString noResults =
        u"Не записано в журнал: результатов этих данных нет — нажмите «Считать»."_s;
    QTest::newRow("Ctrl+S") << u"calculated"_s << u"Ctrl+S"_s << u"new"_s << true << saved
                            << QString();
    QTest::newRow("the results' menu")
        << u"calculated"_s << u"menu"_s << u"new"_s << true << saved << QString();
    QTest::newRow("cancelled") << u"calculated"_s << u"Ctrl+S"_s << u"new"_s << false << QString()
                               << QString();
    QTest::newRow("stale results")
        << u"stale"_s << u"Ctrl+S"_s << u"new"_s << true << noResults << QString();
    QTest::newRow("stale results, the menu")
        << u"stale"_s << u"menu"_s << u"new"_s << true << u"Данные изменены — нажмите «Считать»."_s
        << QString();
    QTest::newRow("before any calculation")
        << u"none"_s << u"Ctrl+S"_s << u"new"_s << true << noResults << QString();
    QTest::newRow("failed calculation")
        << u"failed"_s << u"Ctrl+S"_s << u"new"_s << true
        << u"Не записано в журнал: расчёт не выполнен — исправьте данные и нажмите «Считать»."_s
        << QString();
    QTest::newRow("damaged journal") << u"calculated"_s << u"Ctrl+S"_s << u"damaged"_s << true
                                     << QString() << u"не журнал полётов"_s;
    QTest::newRow("newer program's journal") << u"calculated"_s << u"Ctrl+S"_s << u"newer"_s << true
                                             << QString() << u"более новой версией"_s;
    QTest::newRow("a folder as the journal")
        << u"calculated"_s << u"Ctrl+S"_s << u"folder"_s << true << QString() << u"папка"_s;
  }
  void journalSave() {
    QFETCH(QString, before);
    QFETCH(QString, keys);
    QFETCH(QString, journal);
    QFETCH(bool, answer);
    QFETCH(QString, note);
    QFETCH(QString, error);
    QTemporaryDir journalDir;
    const QString path = journalDir.filePath(u"journal.sqlite"_s);
    if (journal == u"damaged") {
      QFile damaged(path);
      QVERIFY(damaged.open(QIODevice::WriteOnly));
      damaged.write(QByteArray(4096, 'x'));
    } else if (journal == u"newer") {
      QCOMPARE(MakeJournal(path, 3), QString());
      QCOMPARE(MakeNewer(path), QString());
    } else if (journal == u"folder") {
      QVERIFY(QDir().mkpath(path));
    }
    const QByteArray bytes = [&] {
      QFile f(path);
      return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    RecordingSink sink;
    RecordingPrompts prompts;
    if (answer)
      prompts.saves << SaveRequest{{QDate(2024, 3, 7), u"12"_s, u"упр. 5"_s}, SaveAs::New};
    MainWindow window(sink, Settings({}, QLocale::c(), path, &prompts));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Enter(window, CloudFlight());
    if (before == u"calculated" || before == u"stale") PressCalculate(window);
    if (before == u"stale") Type(Child<QLineEdit>(window, u"txtHpol"), u"0"_s);
    if (before == u"failed") {
      Clear(Child<QLineEdit>(window, u"txtHpol"));
      Type(Child<QLineEdit>(window, u"txtHpol"), u"abc"_s);
      PressCalculate(window);
    }

    auto* box = Child<QLineEdit>(window, u"txtHpol");
    if (keys == u"Ctrl+S") {
      QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier);
    } else {
      QTest::keyClick(box, Qt::Key_F10, Qt::ShiftModifier);
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QVERIFY(menu);
      auto* entry = menu->findChild<QAction*>(u"actJournalSave"_s);
      QVERIFY(entry);
      QCOMPARE(entry->isEnabled(), before == u"calculated");
      QCOMPARE(entry->shortcut(), QKeySequence(QKeySequence::Save));
      if (entry->isEnabled()) {
        menu->setActiveAction(entry);
        QTest::keyClick(menu, Qt::Key_Return);
      } else {
        QTest::keyClick(menu, Qt::Key_Escape);
      }
      QTRY_VERIFY(!menu->isVisible());
    }

    const bool current = before == u"calculated";
    // A journal that cannot take the flight is told before the details are asked.
    const bool asked = current && journal == u"new";
    QCOMPARE(prompts.asked.size(), asked ? 1 : 0);
    QCOMPARE(Child<QLabel>(window, u"lblStatus")->text(), note);
    QCOMPARE(prompts.errors.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty()) {
      QVERIFY2(prompts.errors[0].contains(error), qPrintable(prompts.errors[0]));
      QVERIFY2(prompts.errors[0].contains(path), qPrintable(prompts.errors[0]));
    }
    if (asked) {
      QCOMPARE(prompts.asked[0].details.date, QDate::currentDate());  // today unless told
      QCOMPARE(prompts.asked[0].replacing, std::nullopt);
      QVERIFY2(prompts.asked[0].summary.contains(u"Всего в СМУ 1.00"_s),
               qPrintable(prompts.asked[0].summary));
    }
    if (journal == u"folder") {
      QVERIFY(QFileInfo(path).isDir());
      QCOMPARE(QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
      return;
    }
    if (journal != u"new") {
      QFile f(path);
      QVERIFY(f.open(QIODevice::ReadOnly));
      QVERIFY(f.readAll() == bytes);  // never written, nor "repaired"
      return;
    }
    const bool saved = current && answer;
    auto read = journal::Journal::Open(path, journal::Journal::Access::Read);
    QVERIFY(read);
    QCOMPARE(*(*read)->Count({}), saved ? 1 : 0);
    if (!saved) return;
    const auto entry = (*read)->Get(1);
    QVERIFY(entry);
    QCOMPARE(entry->date, QDate(2024, 3, 7));
    QCOMPARE(entry->board, u"12"_s);
    QCOMPARE(entry->remark, u"упр. 5"_s);
    QVERIFY(entry->input == window.Input());
    QCOMPARE(QStringList(entry->results.text.begin(), entry->results.text.end()),
             kCloudFlightResults);
    QCOMPARE(entry->minutes, (journal::Minutes{0, 7, 51, 2, 60}));
    QCOMPARE(entry->caseText, u"3c"_s);
    QCOMPARE(entry->tablesSha256, *journal::FileSha256(tablesPath_));
    QCOMPARE(entry->programVersion, QStringLiteral(MELTOR_VERSION_TEXT));
  }

  // A flight opened from the journal window comes back into the fields, calculated; the window
  // says which entry it is editing, and Ctrl+S then saves over that entry, keeping its number,
  // or as a new one; the tables file's SHA-256 is worked out once, not at every save.
  void journalEdit_data() {
    QTest::addColumn<int>("as");  // SaveAs
    QTest::newRow("replace the entry") << int(SaveAs::Replace);
    QTest::newRow("a new entry") << int(SaveAs::New);
    QTest::newRow("Отмена") << -1;
  }
  void journalEdit() {
    QFETCH(int, as);
    QTemporaryDir journalDir;
    const QString path = journalDir.filePath(u"journal.sqlite"_s);
    RecordingSink sink;
    RecordingPrompts prompts;
    const QDate today = QDate::currentDate();
    prompts.saves << SaveRequest{{today, u"07"_s, u"до правки"_s}, SaveAs::New};
    MainWindow window(sink, Settings({}, QLocale::c(), path, &prompts));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Enter(window, CloudFlight());
    PressCalculate(window);
    auto* height = Child<QLineEdit>(window, u"txtHpol");
    QTest::keyClick(height, Qt::Key_S, Qt::ControlModifier);
    const FlightInput first = window.Input();

    // Ctrl+J: the journal window lists this month's flight; Enter on it opens it.
    Clear(height);
    QTest::keyClick(height, Qt::Key_J, Qt::ControlModifier);
    auto* desk = window.findChild<JournalDesk*>();
    QVERIFY(desk && desk->journalWindow() && desk->journalWindow()->isVisible());
    auto* list = Child<QTableView>(*desk->journalWindow(), u"tblFlights");
    QCOMPARE(list->model()->rowCount(), 1);
    list->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_VERIFY(window.isActiveWindow());
    QVERIFY(window.Input() == first);
    QCOMPARE(ShownResults(window), kCloudFlightResults);  // calculated again
    QCOMPARE(window.windowTitle(), u"Meltor — правка записи №\u00a01"_s);
    QCOMPARE(desk->editing(), std::optional<qint64>(1));

    // Corrected and calculated, then saved as the pilot chooses.
    Clear(height);
    Type(height, u"2500"_s);
    PressCalculate(window);
    if (as >= 0) {
      prompts.saves << SaveRequest{{today.addDays(-1), u"08"_s, u"после правки"_s},
                                   static_cast<SaveAs>(as)};
    }
    QTest::keyClick(height, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(prompts.asked.size(), 2);
    QCOMPARE(prompts.asked[1].replacing, std::optional<qint64>(1));
    QCOMPARE(prompts.asked[1].details, (EntryDetails{today, u"07"_s, u"до правки"_s}));
    if (as < 0) {  // cancelled: the entry as it was, the window still editing it
      QCOMPARE(window.windowTitle(), u"Meltor — правка записи №\u00a01"_s);
      QCOMPARE(desk->editing(), std::optional<qint64>(1));
      auto read = journal::Journal::Open(path, journal::Journal::Access::Read);
      QVERIFY(read);
      QCOMPARE(*(*read)->Count({}), 1);
      QCOMPARE((*read)->Get(1)->input, first);
      return;
    }
    QCOMPARE(window.windowTitle(), u"Meltor"_s);
    QCOMPARE(desk->editing(), std::nullopt);

    auto read = journal::Journal::Open(path, journal::Journal::Access::Read);
    QVERIFY(read);
    const bool replaced = as == int(SaveAs::Replace);
    QCOMPARE(*(*read)->Count({}), replaced ? 1 : 2);
    const auto corrected = (*read)->Get(replaced ? 1 : 2);
    QVERIFY(corrected);
    QCOMPARE(corrected->input.txtHpol, u"2500"_s);
    QCOMPARE(corrected->remark, u"после правки"_s);
    QCOMPARE(corrected->date, today.addDays(-1));
    QCOMPARE(
        Child<QLabel>(window, u"lblStatus")->text(),
        replaced ? u"Запись №\u00a01 в журнале заменена."_s : u"Записано в журнал: №\u00a02"_s);
    if (!replaced) QCOMPARE((*read)->Get(1)->input, first);
    // The journal window follows: the saved entry is the one chosen.
    QCOMPARE(desk->journalWindow()->model().NumberAt(list->currentIndex().row()), replaced ? 1 : 2);
    // Three calculations, one tables file: read whole once.
    QCOMPARE(desk->fingerprint().hashes(), 1);
  }

  // Saved as the chosen filter says, with its extension, unless the name already gives one.
  void picturePath_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("suffix");  // of the chosen filter
    QTest::addColumn<QString>("path");
    QTest::newRow("no extension, PNG filter") << u"/tmp/x"_s << u"png"_s << u"/tmp/x.png"_s;
    QTest::newRow("no extension, SVG filter") << u"/tmp/su27"_s << u"svg"_s << u"/tmp/su27.svg"_s;
    QTest::newRow("a dot in the folder") << u"/tmp/a.b/x"_s << u"png"_s << u"/tmp/a.b/x.png"_s;
    QTest::newRow("another extension") << u"/tmp/x.v2"_s << u"png"_s << u"/tmp/x.v2.png"_s;
    QTest::newRow("the name says SVG") << u"/tmp/x.svg"_s << u"png"_s << u"/tmp/x.svg"_s;
    QTest::newRow("the name says PNG, in capitals")
        << u"/tmp/X.PNG"_s << u"svg"_s << u"/tmp/X.PNG"_s;
  }
  void picturePath() {
    QFETCH(QString, chosen);
    QFETCH(QString, suffix);
    QFETCH(QString, path);
    QCOMPARE(PicturePath(chosen, suffix), path);
  }

 private:
  MainWindowSettings Settings(const QString& tables = {}, const QLocale& locale = QLocale::c(),
                              const QString& journal = {}, JournalPrompts* prompts = nullptr) {
    MainWindowSettings s;
    s.tablesPath = tables.isEmpty() ? tablesPath_ : tables;
    s.locale = locale;
    s.journalPath = journal;
    s.journalPrompts = prompts;
    return s;
  }

  std::unique_ptr<Translations> translations_;
  QTemporaryDir dir_;
  QString tablesPath_;
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
