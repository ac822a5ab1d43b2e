// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The journal window: the periods, the list of a period sorted on any column as the journal holds
// it, the totals shown as the journal adds them up, the lines read only as they come into view,
// delete with confirmation, the printout as PDF, the save dialog by keyboard, and a journal that
// cannot be read or written.

#include "journal.h"
#include "journal_csv.h"
#include "journal_desk.h"
#include "journal_model.h"
#include "journal_period.h"
#include "journal_prompts.h"
#include "journal_session.h"
#include "journal_window.h"
#include "test_journal.h"
#include "window_driver.h"

#include <QApplication>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace meltor;
using namespace meltor::test;
using namespace Qt::StringLiterals;
using journal::Journal;

namespace {

constexpr int kFlights = 150;  // more than one block of lines

std::unique_ptr<Journal> Read(const QString& path) {
  auto j = Journal::Open(path, Journal::Access::Read);
  return j ? std::move(*j) : nullptr;
}

// The entries `filter` takes, in the journal's own order (date, then number).
std::vector<journal::Entry> Entries(const QString& path, const journal::Filter& filter) {
  std::vector<journal::Entry> entries;
  if (auto j = Read(path)) {
    (void)j->ForEach(filter, [&](const journal::Entry& e) {
      entries.push_back(e);
      return true;
    });
  }
  return entries;
}

std::vector<qint64> Listed(JournalWindow& window) {
  std::vector<qint64> numbers;
  for (int row = 0; row < window.model().rowCount(); ++row) {
    numbers.push_back(window.model().NumberAt(row));
  }
  return numbers;
}

// The totals table as shown: each line's label, then its cells.
QList<QStringList> ShownTotals(const QWidget& window) {
  const auto* table = Child<QTableWidget>(window, u"tblTotals");
  QList<QStringList> lines;
  for (int r = 0; r < table->rowCount(); ++r) {
    QStringList line = {table->verticalHeaderItem(r)->text()};
    for (int c = 0; c < table->columnCount(); ++c) line << table->item(r, c)->text();
    lines << line;
  }
  return lines;
}

QStringList Line(const QString& label, const journal::Sums& sums) {
  QStringList line = {label, QString::number(sums.flights)};
  for (const qint64 m : sums.minutes) {
    line << u"%1:%2 (%3)"_s.arg(m / 60).arg(m % 60, 2, 10, QChar(u'0')).arg(m);
  }
  return line;
}

QByteArray Digest(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly)
             ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
             : QByteArray("(none)");
}

}  // namespace

Q_DECLARE_METATYPE(Period)

class TestJournalWindow : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(dir_.isValid());
    path_ = dir_.filePath(u"journal.sqlite"_s);
    QCOMPARE(MakeJournal(path_, kFlights), QString());
    // What the paper book held before: it counts from its dates on.
    auto j = Journal::Open(path_, Journal::Access::Write);
    QVERIFY(j);
    journal::OpeningBalance balance;
    balance[journal::BalanceItem::Flights] = journal::BalanceValue{120, QDate(2022, 12, 31)};
    balance[journal::BalanceItem::Obl] = journal::BalanceValue{600, QDate(2022, 12, 31)};
    balance[journal::BalanceItem::Smu] = journal::BalanceValue{900, QDate(2023, 6, 30)};
    QVERIFY((*j)->SetBalance(balance));
  }

  // The month, quarter or year around a day, the next and the one before, and their names.
  void periods_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QString>("label");
    const int month = int(PeriodKind::Month);
    const int quarter = int(PeriodKind::Quarter);
    const int year = int(PeriodKind::Year);
    const int range = int(PeriodKind::Range);
    QTest::newRow("a month") << month << QDate(2024, 3, 7) << 0 << QDate(2024, 3, 1)
                             << QDate(2024, 3, 31) << u"март 2024"_s;
    QTest::newRow("February of a leap year")
        << month << QDate(2024, 2, 29) << 0 << QDate(2024, 2, 1) << QDate(2024, 2, 29)
        << u"февраль 2024"_s;
    QTest::newRow("the month before January")
        << month << QDate(2024, 1, 15) << -1 << QDate(2023, 12, 1) << QDate(2023, 12, 31)
        << u"декабрь 2023"_s;
    QTest::newRow("the next month after 31 January")
        << month << QDate(2024, 1, 31) << 1 << QDate(2024, 2, 1) << QDate(2024, 2, 29)
        << u"февраль 2024"_s;
    QTest::newRow("a quarter") << quarter << QDate(2024, 5, 20) << 0 << QDate(2024, 4, 1)
                               << QDate(2024, 6, 30) << u"II квартал 2024"_s;
    QTest::newRow("the quarter after the fourth")
        << quarter << QDate(2024, 11, 2) << 1 << QDate(2025, 1, 1) << QDate(2025, 3, 31)
        << u"I квартал 2025"_s;
    QTest::newRow("a year, two back") << year << QDate(2024, 7, 1) << -2 << QDate(2022, 1, 1)
                                      << QDate(2022, 12, 31) << u"2022 год"_s;
    QTest::newRow("one day") << range << QDate(2024, 3, 7) << 0 << QDate(2024, 3, 7)
                             << QDate(2024, 3, 7) << u"07.03.2024"_s;
    QTest::newRow("one day, the next") << range << QDate(2024, 2, 28) << 2 << QDate(2024, 3, 1)
                                       << QDate(2024, 3, 1) << u"01.03.2024"_s;
  }
  void periods() {
    QFETCH(int, kind);
    QFETCH(QDate, day);
    QFETCH(int, steps);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QString, label);
    const Period p = Shifted(PeriodAround(static_cast<PeriodKind>(kind), day), steps);
    QCOMPARE(p.from, from);
    QCOMPARE(p.to, to);
    QCOMPARE(PeriodLabel(p), label);
  }

  // A span of days moves by its own length, and is named by its ends; the whole journal stays.
  void spans_data() {
    QTest::addColumn<Period>("period");
    QTest::addColumn<int>("steps");
    QTest::addColumn<Period>("expected");
    QTest::addColumn<QString>("label");
    const Period span = PeriodBetween(QDate(2024, 3, 20), QDate(2024, 3, 10));  // given backwards
    QTest::newRow("a span, as given")
        << span << 0 << Period{PeriodKind::Range, QDate(2024, 3, 10), QDate(2024, 3, 20)}
        << u"с 10.03.2024 по 20.03.2024"_s;
    QTest::newRow("a span, the next")
        << span << 1 << Period{PeriodKind::Range, QDate(2024, 3, 21), QDate(2024, 3, 31)}
        << u"с 21.03.2024 по 31.03.2024"_s;
    QTest::newRow("the whole journal") << Period{PeriodKind::All, {}, {}} << -3
                                       << Period{PeriodKind::All, {}, {}} << u"весь журнал"_s;
  }
  void spans() {
    QFETCH(Period, period);
    QFETCH(int, steps);
    QFETCH(Period, expected);
    QFETCH(QString, label);
    QVERIFY(Shifted(period, steps) == expected);
    QCOMPARE(PeriodLabel(Shifted(period, steps)), label);
  }

  // The period chosen from the keyboard: Alt+← and Alt+→ step it (each press one period), the
  // list of kinds takes the period around the one shown, dates typed make a span.
  void periodControls_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<Period>("expected");
    QTest::newRow("Alt+Left twice")
        << u"Alt+Left Alt+Left"_s << PeriodAround(PeriodKind::Month, QDate(2023, 1, 1));
    QTest::newRow("Alt+Right") << u"Alt+Right"_s
                               << PeriodAround(PeriodKind::Month, QDate(2023, 4, 1));
    QTest::newRow("квартал from the list")
        << u"cboPeriod Down"_s << PeriodAround(PeriodKind::Quarter, QDate(2023, 3, 1));
    QTest::newRow("год, then a year back")
        << u"cboPeriod Down Down Alt+Left"_s << PeriodAround(PeriodKind::Year, QDate(2022, 3, 1));
    QTest::newRow("весь журнал, the steps do nothing")
        << u"cboPeriod Down Down Down Alt+Left"_s << Period{PeriodKind::All, {}, {}};
    QTest::newRow("a day typed in «по»")
        << u"dtTo 15 Tab"_s << Period{PeriodKind::Range, QDate(2023, 3, 1), QDate(2023, 3, 15)};
  }
  void periodControls() {
    QFETCH(QString, keys);
    QFETCH(Period, expected);
    JournalSession session(path_);
    RecordingPrompts prompts;
    JournalWindow window(session, prompts, PeriodAround(PeriodKind::Month, QDate(2023, 3, 1)));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (const QString& key : keys.split(u' ')) {
      QWidget* focus = QApplication::focusWidget();
      if (key == u"Alt+Left" || key == u"Alt+Right") {
        QTest::keyClick(focus, key == u"Alt+Left" ? Qt::Key_Left : Qt::Key_Right, Qt::AltModifier);
      } else if (key == u"Down" || key == u"Tab") {
        QTest::keyClick(focus, key == u"Down" ? Qt::Key_Down : Qt::Key_Tab);
      } else if (key.startsWith(u"cbo") || key.startsWith(u"dt")) {
        Child<QWidget>(window, key)->setFocus(Qt::TabFocusReason);
      } else {
        Type(focus, key);
      }
    }
    QTRY_VERIFY(window.period() == expected);
    std::vector<qint64> listed;
    for (const journal::Entry& e : Entries(path_, FilterOf(expected, {})))
      listed.push_back(e.number);
    QCOMPARE(Listed(window), listed);
    QCOMPARE(Child<QLabel>(window, u"lblHeading")->text().section(u" — "_s, 0, 0),
             PeriodLabel(expected));
  }

  // The list holds the flights of the period (and type) in the journal's order, and the totals
  // shown are the journal's: the period's, by day and night, and since the opening balance.
  void periodList_data() {
    QTest::addColumn<Period>("period");
    QTest::addColumn<QString>("type");
    QTest::newRow("a month") << PeriodAround(PeriodKind::Month, QDate(2023, 3, 1)) << QString();
    QTest::newRow("a quarter") << PeriodAround(PeriodKind::Quarter, QDate(2023, 5, 1)) << QString();
    QTest::newRow("a year") << PeriodAround(PeriodKind::Year, QDate(2023, 5, 1)) << QString();
    QTest::newRow("the whole journal") << Period{PeriodKind::All, {}, {}} << QString();
    QTest::newRow("a span") << PeriodBetween(QDate(2023, 2, 10), QDate(2023, 5, 20)) << QString();
    QTest::newRow("a year, one type")
        << PeriodAround(PeriodKind::Year, QDate(2023, 5, 1)) << u"Су-27"_s;
    QTest::newRow("the quarter of the balance")
        << PeriodAround(PeriodKind::Quarter, QDate(2023, 6, 1)) << QString();
    QTest::newRow("a month without flights")
        << PeriodAround(PeriodKind::Month, QDate(2030, 1, 1)) << QString();
  }
  void periodList() {
    QFETCH(Period, period);
    QFETCH(QString, type);
    JournalSession session(path_);
    RecordingPrompts prompts;
    JournalWindow window(session, prompts, period);
    if (!type.isEmpty()) window.SetType(type);
    QCOMPARE(window.period(), period);

    const journal::Filter filter = FilterOf(period, type);
    std::vector<qint64> expected;
    for (const journal::Entry& e : Entries(path_, filter)) expected.push_back(e.number);
    QCOMPARE(Listed(window), expected);
    QVERIFY(period.kind == PeriodKind::All || expected.size() < std::size_t{kFlights});

    auto j = Read(path_);
    const auto inPeriod = j->Total(filter, journal::Grouping::DayNight);
    const auto sinceStart = j->Total({QDate(), period.to, type}, journal::Grouping::None);
    QVERIFY(inPeriod && sinceStart);
    QList<QStringList> lines = {Line(u"За период"_s, inPeriod->flights)};
    journal::Sums day, night;
    std::optional<journal::Sums> none;
    for (const journal::TotalsGroup& g : inPeriod->groups) {
      (g.key == u"day" ? day : g.key == u"night" ? night : none.emplace()) = g.sums;
    }
    lines << Line(u"днём"_s, day) << Line(u"ночью"_s, night);
    if (none) lines << Line(u"день/ночь не указаны"_s, *none);
    lines << Line(u"С начала учёта"_s, sinceStart->grand);
    QCOMPARE(ShownTotals(window), lines);
    QCOMPARE(inPeriod->flights.flights, qint64(expected.size()));
  }

  // Every column sorts, both ways, as SQLite orders the journal; ties go by entry number.
  void sorting_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::newRow("date, latest first") << int(JournalModel::kDate) << true;
    QTest::newRow("number, last first") << int(JournalModel::kNumber) << true;
    QTest::newRow("type") << int(JournalModel::kType) << false;
    QTest::newRow("board") << int(JournalModel::kBoard) << false;
    QTest::newRow("flight time, longest first") << int(JournalModel::kFlightTime) << true;
    QTest::newRow("day, night, neither") << int(JournalModel::kDayNight) << false;
    QTest::newRow("above cloud") << int(JournalModel::kZaObl) << false;
    QTest::newRow("adverse weather, most first") << int(JournalModel::kSmu) << true;
    QTest::newRow("remark") << int(JournalModel::kRemark) << false;
  }
  void sorting() {
    QFETCH(int, column);
    QFETCH(bool, descending);
    JournalSession session(path_);
    RecordingPrompts prompts;
    JournalWindow window(session, prompts, Period{PeriodKind::All, {}, {}});
    auto* list = Child<QTableView>(window, u"tblFlights");
    list->sortByColumn(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);

    // The key of each column as the journal keeps it; texts compared as SQLite does, by bytes.
    const auto key = [column](const journal::Entry& e) -> QVariant {
      switch (column) {
        case JournalModel::kNumber:
          return e.number;
        case JournalModel::kDate:
          return e.date;
        case JournalModel::kType:
          return e.input.cboTyp.toUtf8();
        case JournalModel::kBoard:
          return e.board.toUtf8();
        case JournalModel::kFlightTime:
          return e.input.txtTpolChas.toInt() * 60 + e.input.txtTpolMin.toInt();
        case JournalModel::kDayNight:
          return e.input.dayNight == DayNight::Day     ? 0
                 : e.input.dayNight == DayNight::Night ? 1
                                                       : 2;
        case JournalModel::kZaObl:
          return e.minutes[2];
        case JournalModel::kSmu:
          return e.minutes[4];
        case JournalModel::kRemark:
          return e.remark.toUtf8();
      }
      return {};
    };
    std::vector<journal::Entry> entries = Entries(path_, {});
    std::sort(entries.begin(), entries.end(),
              [&](const journal::Entry& a, const journal::Entry& b) {
                const QPartialOrdering order = QVariant::compare(key(a), key(b));
                if (order != QPartialOrdering::Equivalent) {
                  return descending ? order == QPartialOrdering::Greater
                                    : order == QPartialOrdering::Less;
                }
                return descending ? a.number > b.number : a.number < b.number;
              });
    std::vector<qint64> expected;
    for (const journal::Entry& e : entries) expected.push_back(e.number);
    QCOMPARE(Listed(window), expected);
  }

  // A year of flights is not read whole: the lines come a block at a time as they come into view.
  void readsLinesInView() {
    JournalSession session(path_);
    RecordingPrompts prompts;
    JournalWindow window(session, prompts, Period{PeriodKind::All, {}, {}});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.model().rowCount(), kFlights);
    QCOMPARE(window.model().linesRead(), qint64{JournalModel::kBlockRows});
    auto* list = Child<QTableView>(window, u"tblFlights");
    list->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(list, Qt::Key_End, Qt::ControlModifier);
    QTRY_COMPARE(window.model().linesRead(), qint64{kFlights});
    const QModelIndex last = window.model().index(kFlights - 1, JournalModel::kDate);
    QCOMPARE(window.model().data(last, Qt::DisplayRole).toString(),
             ShownDate(Entries(path_, {}).back().date));
  }

  // The flight chosen in the list is asked for in the main window once, whichever way.
  void openEntry_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Enter in the list") << u"Enter"_s;
    QTest::newRow("Ctrl+O") << u"Ctrl+O"_s;
    QTest::newRow("the button, by Tab and Space") << u"button"_s;
  }
  void openEntry() {
    QFETCH(QString, how);
    JournalSession session(path_);
    RecordingPrompts prompts;
    JournalWindow window(session, prompts, PeriodAround(PeriodKind::Month, QDate(2023, 3, 1)));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QSignalSpy spy(&window, &JournalWindow::openRequested);
    auto* list = Child<QTableView>(window, u"tblFlights");
    QCOMPARE(QApplication::focusWidget(), list);
    QTest::keyClick(list, Qt::Key_Down);
    const qint64 chosen = window.model().NumberAt(1);
    if (how == u"Enter") {
      QTest::keyClick(list, Qt::Key_Return);
    } else if (how == u"Ctrl+O") {
      QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
    } else {
      QTest::keyClick(list, Qt::Key_Tab);  // the totals
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget()->objectName(), u"cmdOpen"_s);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    }
    QTRY_COMPARE(spy.size(), 1);
    QTest::qWait(150);  // a button pressed by its key clicks a moment later: no second time
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy[0][0].toLongLong(), chosen);
  }

  // Delete asks first, names the entry, and removes it; the next line is then chosen. A journal
  // that can only be read says so in the window and deletes nothing.
  void deleteEntry_data() {
    QTest::addColumn<QString>("journal");  // "ours" or "newer"
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("confirmed") << u"ours"_s << true << true;
    QTest::newRow("not confirmed") << u"ours"_s << false << false;
    QTest::newRow("a newer program's journal") << u"newer"_s << true << false;
  }
  void deleteEntry() {
    QFETCH(QString, journal);
    QFETCH(bool, confirm);
    QFETCH(bool, deleted);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"journal.sqlite"_s);
    QVERIFY(QFile::copy(path_, path));
    if (journal == u"newer") QCOMPARE(MakeNewer(path), QString());
    const QByteArray before = Digest(path);
    JournalSession session(path);
    RecordingPrompts prompts;
    prompts.confirm = confirm;
    const Period march = PeriodAround(PeriodKind::Month, QDate(2023, 3, 1));
    JournalWindow window(session, prompts, march);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy spy(&window, &JournalWindow::deleted);
    const std::vector<qint64> listed = Listed(window);
    QVERIFY(listed.size() >= 3);
    auto* list = Child<QTableView>(window, u"tblFlights");
    list->setFocus(Qt::OtherFocusReason);
    list->setCurrentIndex(window.model().index(1, JournalModel::kDate));
    QTest::keyClick(list, Qt::Key_Delete);

    const bool newer = journal == u"newer";
    auto* problem = Child<QLabel>(window, u"lblProblem");
    QCOMPARE(problem->isVisible(), newer);
    QCOMPARE(Child<QPushButton>(window, u"cmdDelete")->isEnabled(), !newer);
    QCOMPARE(window.windowTitle().endsWith(u"только чтение"), newer);
    QCOMPARE(prompts.questions.size(), newer ? 0 : 1);
    QCOMPARE(prompts.errors.size(), newer ? 1 : 0);
    if (newer) {
      QVERIFY2(problem->text().contains(u"можно только читать"_s), qPrintable(problem->text()));
      QVERIFY2(prompts.errors[0].contains(u"не удалена"_s), qPrintable(prompts.errors[0]));
    } else {
      QVERIFY2(prompts.questions[0].startsWith(
                   u"Удалить из журнала запись №\u00a0%1 ("_s.arg(listed[1])),
               qPrintable(prompts.questions[0]));
    }
    QCOMPARE(spy.size(), deleted ? 1 : 0);
    std::vector<qint64> expected = listed;
    if (deleted) expected.erase(expected.begin() + 1);
    QCOMPARE(Listed(window), expected);
    auto j = Read(path);
    QCOMPARE(j->Get(listed[1]).ok(), !deleted);
    QCOMPARE(window.model().NumberAt(list->currentIndex().row()), expected[1]);
    if (!deleted) QCOMPARE(Digest(path), before);
  }

  // The printout of the period goes to a PDF file, page after page, through a temporary file
  // beside it; a file that cannot be written is told and leaves nothing.
  void pdf_data() {
    QTest::addColumn<Period>("period");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minPages");
    QTest::addColumn<int>("maxPages");
    QTest::newRow("a month") << PeriodAround(PeriodKind::Month, QDate(2023, 3, 1)) << u"март.pdf"_s
                             << 1 << 1;
    QTest::newRow("a month without flights")
        << PeriodAround(PeriodKind::Month, QDate(2030, 1, 1)) << u"пусто.pdf"_s << 1 << 1;
    QTest::newRow("the whole journal") << Period{PeriodKind::All, {}, {}} << u"всё.pdf"_s << 4 << 8;
    QTest::newRow("a folder that is not there")
        << Period{PeriodKind::All, {}, {}} << u"нет/всё.pdf"_s << 0 << 0;
  }
  void pdf() {
    QFETCH(Period, period);
    QFETCH(QString, name);
    QFETCH(int, minPages);
    QFETCH(int, maxPages);
    QTemporaryDir out;
    const QString target = out.filePath(name);
    JournalSession session(path_);
    RecordingPrompts prompts;
    prompts.file = target;
    JournalWindow window(session, prompts, period);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    // A button's key presses it as a click would, seen for a moment.
    QTRY_COMPARE(prompts.fileTitles, QStringList{u"Сохранить журнал в PDF"_s});
    QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), minPages > 0 ? 1 : 0);
    if (minPages == 0) {
      QCOMPARE(prompts.errors.size(), 1);
      QVERIFY2(prompts.errors[0].startsWith(u"Файл PDF «%1» не записан"_s.arg(target)),
               qPrintable(prompts.errors[0]));
      return;
    }
    QCOMPARE(prompts.errors, QStringList());
    QFile pdf(target);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF-"));
    QVERIFY(bytes.trimmed().endsWith("%%EOF"));
    const int pages = static_cast<int>(
        QString::fromLatin1(bytes).count(QRegularExpression(u"/Type\\s*/Page\\b(?!s)"_s)));
    QVERIFY2(pages >= minPages && pages <= maxPages, qPrintable(QString::number(pages)));

    // The PDF shows the totals the window shows, each line in the order of its cells.
    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
    if (pdftotext.isEmpty()) QSKIP("pdftotext (poppler-utils) is not installed");
    QProcess reader;
    reader.start(pdftotext, {u"-layout"_s, target, u"-"_s});
    QVERIFY(reader.waitForFinished(30000));
    QCOMPARE(reader.exitCode(), 0);
    const QString text = QString::fromUtf8(reader.readAllStandardOutput());
    const QList<QStringList> totals = ShownTotals(window);
    QVERIFY(totals.size() >= 4);
    for (const QStringList& line : totals) {
      QStringList cells;
      for (const QString& cell : line) cells << QRegularExpression::escape(cell);
      const QRegularExpression printed(u"(^|\\n)\\s*"_s + cells.join(u"\\s+"_s) + u"\\s"_s);
      QVERIFY2(text.contains(printed), qPrintable(line.join(u" | "_s)));
    }
  }

  // «Экспорт в CSV…» writes what the journal's CSV writer writes for the period and type: for a
  // Russian spreadsheet with ';' and a byte-order mark, otherwise as plain CSV; a file that
  // cannot be written is told and leaves nothing.
  void exportCsv_data() {
    QTest::addColumn<int>("filter");  // of the file dialog: 0 the spreadsheet's, 1 plain CSV
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("name");
    QTest::newRow("for a Russian spreadsheet") << 0 << QString() << u"журнал.csv"_s;
    QTest::newRow("plain CSV, no extension typed") << 1 << QString() << u"журнал"_s;
    QTest::newRow("one type") << 0 << u"МиГ-29"_s << u"миг.csv"_s;
    QTest::newRow("a folder that is not there") << 0 << QString() << u"нет/журнал.csv"_s;
  }
  void exportCsv() {
    QFETCH(int, filter);
    QFETCH(QString, type);
    QFETCH(QString, name);
    QTemporaryDir out;
    JournalSession session(path_);
    RecordingPrompts prompts;
    prompts.file = out.filePath(name);
    prompts.filter = filter;
    const Period year = PeriodAround(PeriodKind::Year, QDate(2023, 5, 1));
    JournalWindow window(session, prompts, year);
    if (!type.isEmpty()) window.SetType(type);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier);
    QTRY_COMPARE(prompts.fileTitles, QStringList{u"Экспорт журнала в CSV"_s});
    QCOMPARE(prompts.fileFilters.size(), 2);
    const QString target = name.endsWith(u".csv") ? prompts.file : prompts.file + u".csv"_s;
    if (name.startsWith(u"нет/")) {
      QCOMPARE(prompts.errors.size(), 1);
      QVERIFY2(prompts.errors[0].startsWith(u"Файл CSV «%1» не записан"_s.arg(target)),
               qPrintable(prompts.errors[0]));
      QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
      return;
    }
    QCOMPARE(prompts.errors, QStringList());
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{QFileInfo(target).fileName()});
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QByteArray expected;
    QBuffer buffer(&expected);
    buffer.open(QIODevice::WriteOnly);
    journal::CsvOptions options;
    options.delimiter = filter == 0 ? ';' : ',';
    options.byteOrderMark = filter == 0;
    auto j = Read(path_);
    const auto rows = journal::WriteCsv(*j, FilterOf(year, type), buffer, options);
    QVERIFY(rows && *rows > 0);
    QCOMPARE(*rows, qint64(Entries(path_, FilterOf(year, type)).size()));
    QCOMPARE(written, expected);
    QCOMPARE(written.startsWith("\xEF\xBB\xBF"), filter == 0);
  }

  // «Записать в журнал» by keyboard: the date first (today), Tab to the board number and the
  // remark, Enter saves, Escape cancels; for a flight opened from the journal, Enter replaces
  // its entry unless the pilot goes to «Новая запись».
  void entryDialog_data() {
    QTest::addColumn<bool>("replacing");
    QTest::addColumn<QString>("keys");  // what is done, in order (see below)
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("as");
    const QDate today = QDate::currentDate();
    const int asNew = int(SaveAs::New);
    const int replace = int(SaveAs::Replace);
    QTest::newRow("Enter saves") << false << u"Tab 15 Tab упр Enter"_s << true << today << asNew;
    QTest::newRow("Escape cancels") << false << u"Tab 15 Escape"_s << false << today << asNew;
    QTest::newRow("the date typed")
        << false << u"07032024 Tab 15 Tab упр Enter"_s << true << QDate(2024, 3, 7) << asNew;
    QTest::newRow("Enter replaces")
        << true << u"Tab 15 Tab упр Enter"_s << true << QDate(2023, 5, 6) << replace;
    QTest::newRow("Новая запись") << true << u"Tab 15 Tab упр cmdNew Enter"_s << true
                                  << QDate(2023, 5, 6) << asNew;
  }
  void entryDialog() {
    QFETCH(bool, replacing);
    QFETCH(QString, keys);
    QFETCH(bool, accepted);
    QFETCH(QDate, date);
    QFETCH(int, as);
    const EntryDetails start{replacing ? QDate(2023, 5, 6) : QDate(), {}, {}};
    EntryDialog dialog(nullptr, u"Л-39, днём, 1:00"_s, start,
                       replacing ? std::optional<qint64>(12) : std::nullopt);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), Child<QWidget>(dialog, u"dtDate"));
    for (const QString& key : keys.split(u' ')) {
      QWidget* focus = QApplication::focusWidget();
      if (key == u"Tab") {
        QTest::keyClick(focus, Qt::Key_Tab);
      } else if (key == u"Enter") {
        QTest::keyClick(focus, Qt::Key_Return);
      } else if (key == u"Escape") {
        QTest::keyClick(focus, Qt::Key_Escape);
      } else if (key.startsWith(u"cmd")) {
        Child<QWidget>(dialog, key)->setFocus(Qt::TabFocusReason);
      } else {
        Type(focus, key);
      }
    }
    QCOMPARE(dialog.isVisible(), false);
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    if (!accepted) return;
    QCOMPARE(dialog.details(), (EntryDetails{date, u"15"_s, u"упр"_s}));
    QCOMPARE(int(dialog.saveAs()), as);
  }

  // A journal that cannot be read is told when the journal window is first asked for, and no
  // window opens; a newer program's journal opens, read-only. The file is never changed.
  void openProblems_data() {
    QTest::addColumn<QString>("make");   // "garbage", "folder", "newer"
    QTest::addColumn<QString>("error");  // a part of the message, empty: the window opens
    QTest::newRow("not a journal") << u"garbage"_s << u"не журнал полётов"_s;
    QTest::newRow("a folder") << u"folder"_s << u"папка"_s;
    QTest::newRow("a newer program's journal") << u"newer"_s << QString();
  }
  void openProblems() {
    QFETCH(QString, make);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"journal.sqlite"_s);
    if (make == u"garbage") {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(QByteArray(8192, '\x5a'));
    } else if (make == u"folder") {
      QVERIFY(QDir().mkpath(path));
    } else {
      QVERIFY(QFile::copy(path_, path));
      QCOMPARE(MakeNewer(path), QString());
    }
    const QByteArray before = Digest(path);
    QWidget main;
    RecordingPrompts prompts;
    JournalDesk desk(main, {{}, path, &prompts},
                     {[] { return FlightInput(); }, [] { return nullptr; }, [](const QString&) {}});
    desk.ShowJournal();
    QCOMPARE(prompts.errors.size(), error.isEmpty() ? 0 : 1);
    QCOMPARE(desk.journalWindow() != nullptr, error.isEmpty());
    if (!error.isEmpty()) {
      QVERIFY2(prompts.errors[0].contains(error) && prompts.errors[0].contains(path),
               qPrintable(prompts.errors[0]));
    } else {
      QVERIFY(desk.journalWindow()->windowTitle().endsWith(u"только чтение"));
      QCOMPARE(desk.journalWindow()->model().rowCount(), 0);  // this month has no flights
    }
    QCOMPARE(Digest(path), before);
  }

 private:
  QTemporaryDir dir_;
  QString path_;
};

QTEST_MAIN(TestJournalWindow)
#include "tst_journal_window.moc"
