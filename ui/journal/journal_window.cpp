// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "journal_window.h"

#include "date_box.h"
#include "journal_prompts.h"
#include "journal_session.h"
#include "results.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

// The order of the period list.
constexpr std::array<PeriodKind, 5> kKinds = {PeriodKind::Month, PeriodKind::Quarter,
                                              PeriodKind::Year, PeriodKind::All, PeriodKind::Range};

// "1 полёт", "3 полёта", "12 полётов".
QString Flights(qint64 n) {
  const qint64 tens = n % 100;
  const qint64 ones = n % 10;
  const QString word = tens >= 11 && tens <= 14 ? u"полётов"_s
                       : ones == 1              ? u"полёт"_s
                       : ones >= 2 && ones <= 4 ? u"полёта"_s
                                                : u"полётов"_s;
  return u"%1 %2"_s.arg(n).arg(word);
}

QPushButton* Button(QWidget* parent, const QString& name, const QString& text,
                    const QKeySequence& keys, const QString& keysShown) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  if (!keys.isEmpty()) button->setShortcut(keys);
  button->setToolTip(keysShown);
  button->setAutoDefault(true);  // Enter presses it while it has the focus
  return button;
}

}  // namespace

JournalWindow::JournalWindow(JournalSession& session, JournalPrompts& prompts, const Period& period)
    : session_(session), prompts_(prompts), period_(period) {
  setObjectName(u"frmJournal"_s);
  setWindowFlag(Qt::Window);
  setWindowFlag(Qt::WindowMinMaxButtonsHint);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  // The program ends when its main window is closed, whether or not this one is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  setSizeGripEnabled(true);
  BuildControls();
  readOnly_ = session_.ReadOnlyReason().value_or(QString());
  setWindowTitle(readOnly_.isEmpty() ? u"Журнал полётов"_s : u"Журнал полётов — только чтение"_s);
  FillTypes({});
  List();
  list_->setFocus(Qt::OtherFocusReason);  // arrows, Enter and Delete work on the list at once
  // Wide enough for every column and a remark of some words.
  int width = 0;
  for (int c = 0; c < JournalModel::kRemark; ++c) width += list_->columnWidth(c);
  resize(width + list_->fontMetrics().horizontalAdvance(u"упражнение 12, по приборам"_s) + 80, 640);
}

void JournalWindow::BuildControls() {
  kind_ = new QComboBox(this);
  kind_->setObjectName(u"cboPeriod"_s);
  kind_->addItems({u"месяц"_s, u"квартал"_s, u"год"_s, u"весь журнал"_s, u"с … по …"_s});
  auto* kindLabel = new QLabel(u"&Период:"_s, this);
  kindLabel->setBuddy(kind_);
  earlier_ = new QToolButton(this);
  earlier_->setObjectName(u"cmdEarlier"_s);
  earlier_->setText(u"◀"_s);
  earlier_->setToolTip(u"Предыдущий период (Alt+←)"_s);
  earlier_->setAccessibleName(u"Предыдущий период"_s);
  later_ = new QToolButton(this);
  later_->setObjectName(u"cmdLater"_s);
  later_->setText(u"▶"_s);
  later_->setToolTip(u"Следующий период (Alt+→)"_s);
  later_->setAccessibleName(u"Следующий период"_s);
  for (QToolButton* b : {earlier_, later_}) b->setFocusPolicy(Qt::StrongFocus);
  const auto dateBox = [this](const QString& name, const QString& accessible) {
    auto* box = new DateBox(QDate::currentDate(), this);
    box->setObjectName(name);
    box->setAccessibleName(accessible);
    return box;
  };
  from_ = dateBox(u"dtFrom"_s, u"Период с"_s);
  to_ = dateBox(u"dtTo"_s, u"Период по"_s);
  typeBox_ = new QComboBox(this);
  typeBox_->setObjectName(u"cboType"_s);
  typeBox_->setMinimumContentsLength(10);
  typeBox_->installEventFilter(this);
  auto* typeLabel = new QLabel(u"&Тип:"_s, this);
  typeLabel->setBuddy(typeBox_);

  auto* top = new QHBoxLayout;
  top->addWidget(kindLabel);
  top->addWidget(kind_);
  top->addSpacing(8);
  top->addWidget(earlier_);
  top->addWidget(new QLabel(u"с"_s, this));
  top->addWidget(from_);
  top->addWidget(new QLabel(u"по"_s, this));
  top->addWidget(to_);
  top->addWidget(later_);
  top->addSpacing(16);
  top->addWidget(typeLabel);
  top->addWidget(typeBox_);
  top->addStretch();

  heading_ = new QLabel(this);
  heading_->setObjectName(u"lblHeading"_s);
  QFont big = heading_->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.2);
  heading_->setFont(big);
  problem_ = new QLabel(this);
  problem_->setObjectName(u"lblProblem"_s);
  problem_->setWordWrap(true);
  problem_->setTextFormat(Qt::PlainText);
  problem_->setAutoFillBackground(true);
  problem_->setMargin(4);
  QPalette tint = problem_->palette();
  tint.setColor(QPalette::Window, QColor(255, 224, 138));
  tint.setColor(QPalette::WindowText, Qt::black);
  problem_->setPalette(tint);
  problem_->hide();

  list_ = new QTableView(this);
  list_->setObjectName(u"tblFlights"_s);
  list_->setAccessibleName(u"Полёты за период"_s);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setTabKeyNavigation(false);  // Tab goes on to the totals and the buttons
  list_->setAlternatingRowColors(true);
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
  list_->setWordWrap(false);
  list_->setModel(&model_);
  // The order before the first list, so that turning sorting on lists nothing yet.
  list_->horizontalHeader()->setSortIndicator(JournalModel::kDate, Qt::AscendingOrder);
  list_->setSortingEnabled(true);
  list_->horizontalHeader()->setSectionsMovable(false);
  list_->horizontalHeader()->setStretchLastSection(true);
  // Widths from the font, not from the lines (which are read only as they come into view).
  const QFontMetrics metrics = list_->fontMetrics();
  const QStringList samples = {u"000000"_s, u"00.00.0000"_s,   u"МиГ-29"_s,
                               u"Борт"_s,   u"Время полёта"_s, u"День/ночь"_s};
  for (int c = 0; c < samples.size(); ++c) {
    list_->setColumnWidth(c, metrics.horizontalAdvance(samples[c]) + 16);
  }
  for (int c = JournalModel::kZakKab; c <= JournalModel::kSmu; ++c) {
    const QString heading = ResultHeadings()[c - JournalModel::kZakKab];
    list_->setColumnWidth(c, std::max(metrics.horizontalAdvance(heading) + 16,
                                      metrics.horizontalAdvance(u"-00.00"_s) + 16));
  }

  totalsTable_ = new QTableWidget(this);
  totalsTable_->setObjectName(u"tblTotals"_s);
  totalsTable_->setAccessibleName(u"Итоги за период"_s);
  totalsTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  totalsTable_->setTabKeyNavigation(false);
  totalsTable_->setColumnCount(1 + kResultCount);
  QStringList headings = {u"Полётов"_s};
  for (const QString& h : ResultHeadings()) headings << h;
  totalsTable_->setHorizontalHeaderLabels(headings);
  totalsTable_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  totalsTable_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  totalsTable_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
  totalsTable_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  totalsTable_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  totalsTable_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

  open_ =
      Button(this, u"cmdOpen"_s, u"Открыть в окне &расчёта"_s, QKeySequence(Qt::CTRL | Qt::Key_O),
             u"Открыть полёт в главном окне, чтобы исправить его и записать снова (Enter в "
             u"списке, Ctrl+O)"_s);
  delete_ = Button(this, u"cmdDelete"_s, u"&Удалить…"_s, {}, u"Удалить запись (Delete в списке)"_s);
  QPushButton* exportCsv =
      Button(this, u"cmdExport"_s, u"&Экспорт в CSV…"_s, QKeySequence(Qt::CTRL | Qt::Key_E),
             u"Полёты за период в таблицу CSV (Ctrl+E)"_s);
  QPushButton* print = Button(this, u"cmdPrint"_s, u"П&ечать…"_s, QKeySequence::Print,
                              u"Напечатать полёты и итоги за период (Ctrl+P)"_s);
  QPushButton* pdf = Button(this, u"cmdPdf"_s, u"&Сохранить в PDF…"_s,
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
                            u"Полёты и итоги за период в файл PDF (Ctrl+Shift+P)"_s);
  QPushButton* reload = Button(this, u"cmdReload"_s, u"О&бновить"_s, QKeySequence::Refresh,
                               u"Прочитать журнал заново (F5)"_s);
  QPushButton* close =
      Button(this, u"cmdClose"_s, u"&Закрыть"_s, {}, u"Закрыть окно журнала (Escape)"_s);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {open_, delete_, exportCsv, print, pdf, reload}) buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(close);

  auto* totalsLabel = new QLabel(u"Итоги, ч:мин (минут)"_s, this);
  totalsLabel->setFont(big);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(problem_);
  layout->addWidget(heading_);
  layout->addWidget(list_, 1);
  layout->addWidget(totalsLabel);
  layout->addWidget(totalsTable_);
  layout->addLayout(buttons);

  setTabOrder(kind_, earlier_);
  setTabOrder(earlier_, from_);
  setTabOrder(from_, to_);
  setTabOrder(to_, later_);
  setTabOrder(later_, typeBox_);
  setTabOrder(typeBox_, list_);
  setTabOrder(list_, totalsTable_);
  setTabOrder(totalsTable_, open_);

  datesSettle_ = new QTimer(this);
  datesSettle_->setSingleShot(true);
  datesSettle_->setInterval(300);

  connect(kind_, &QComboBox::activated, this, &JournalWindow::PeriodKindChosen);
  connect(earlier_, &QToolButton::clicked, this, [this] { SetPeriod(Shifted(period_, -1)); });
  connect(later_, &QToolButton::clicked, this, [this] { SetPeriod(Shifted(period_, 1)); });
  // Keys of their own rather than the buttons' (a button's key clicks it a moment later, so a
  // second press in that moment would be lost): each press is one period.
  for (const auto& [keys, steps] :
       {std::pair{Qt::ALT | Qt::Key_Left, -1}, {Qt::ALT | Qt::Key_Right, 1}}) {
    connect(new QShortcut(QKeySequence(keys), this), &QShortcut::activated, this,
            [this, steps = steps] {
              if (period_.kind != PeriodKind::All) SetPeriod(Shifted(period_, steps));
            });
  }
  connect(from_, &QDateEdit::dateChanged, datesSettle_, qOverload<>(&QTimer::start));
  connect(to_, &QDateEdit::dateChanged, datesSettle_, qOverload<>(&QTimer::start));
  connect(datesSettle_, &QTimer::timeout, this, &JournalWindow::DatesEdited);
  connect(typeBox_, &QComboBox::activated, this,
          [this](int index) { SetType(index <= 0 ? QString() : typeBox_->itemText(index)); });
  connect(list_, &QTableView::activated, this, &JournalWindow::OpenChosen);
  connect(open_, &QPushButton::clicked, this, &JournalWindow::OpenChosen);
  connect(delete_, &QPushButton::clicked, this, &JournalWindow::DeleteChosen);
  auto* deleteKey = new QShortcut(QKeySequence::Delete, list_);
  deleteKey->setContext(Qt::WidgetShortcut);
  connect(deleteKey, &QShortcut::activated, this, &JournalWindow::DeleteChosen);
  connect(exportCsv, &QPushButton::clicked, this, &JournalWindow::AskExport);
  connect(print, &QPushButton::clicked, this, &JournalWindow::Print);
  connect(pdf, &QPushButton::clicked, this, &JournalWindow::AskPdf);
  connect(reload, &QPushButton::clicked, this, [this] { Reload(); });
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &JournalWindow::UpdateActions);
  // Told in the banner, once the painting that found it is over.
  connect(&model_, &JournalModel::readFailed, this, &JournalWindow::ShowProblem,
          Qt::QueuedConnection);
}

void JournalWindow::SetPeriod(const Period& period) {
  period_ = period;
  List();
}

void JournalWindow::SetType(const QString& type) {
  type_ = type;
  const int index = type.isEmpty() ? 0 : typeBox_->findText(type);
  typeBox_->setCurrentIndex(std::max(index, 0));
  List();
}

void JournalWindow::PeriodKindChosen(int index) {
  const PeriodKind kind = kKinds[static_cast<std::size_t>(std::clamp(index, 0, 4))];
  if (kind == PeriodKind::Range) {
    const Period shown =
        period_.from.isValid() ? period_ : PeriodAround(PeriodKind::Month, QDate::currentDate());
    SetPeriod(PeriodBetween(shown.from, shown.to));
  } else {
    SetPeriod(PeriodAround(kind, period_.from.isValid() ? period_.from : QDate::currentDate()));
  }
}

void JournalWindow::DatesEdited() {
  const Period edited = PeriodBetween(from_->date(), to_->date());
  if (period_.kind != PeriodKind::All && edited.from == period_.from && edited.to == period_.to) {
    return;
  }
  SetPeriod(edited);
}

void JournalWindow::ShowPeriodControls() {
  const QSignalBlocker blockKind(kind_);
  const QSignalBlocker blockFrom(from_);
  const QSignalBlocker blockTo(to_);
  kind_->setCurrentIndex(
      static_cast<int>(std::find(kKinds.begin(), kKinds.end(), period_.kind) - kKinds.begin()));
  const bool all = period_.kind == PeriodKind::All;
  if (!all) {
    from_->setDate(period_.from);
    to_->setDate(period_.to);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{from_, to_, earlier_, later_}) {
    w->setEnabled(!all);
  }
}

void JournalWindow::ReadTypes() {
  if (auto listed = session_.Rows().Types()) {
    FillTypes(*listed);
    typesRead_ = true;
  }
}

void JournalWindow::keyPressEvent(QKeyEvent* event) {
  // Enter in the list has opened the flight already (the list's «activated»); the dialog would
  // press its default button with it as well.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && list_->hasFocus()) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool JournalWindow::eventFilter(QObject* watched, QEvent* event) {
  // The types take a pass over the whole journal: read when the list of them is first wanted.
  if (watched == typeBox_ && !typesRead_ &&
      (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress)) {
    ReadTypes();
  }
  return QDialog::eventFilter(watched, event);
}

void JournalWindow::FillTypes(QStringList types) {
  // The one chosen stays, even when no flight of it is left.
  if (!type_.isEmpty() && !types.contains(type_)) types << type_;
  const QSignalBlocker block(typeBox_);
  typeBox_->clear();
  typeBox_->addItem(u"все типы"_s);
  typeBox_->addItems(types);
  typeBox_->setCurrentIndex(type_.isEmpty() ? 0 : typeBox_->findText(type_));
}

void JournalWindow::Reload(std::optional<qint64> select) {
  const std::optional<qint64> keep = select ? select : Chosen();
  const int keptRow = list_->currentIndex().row();
  typesRead_ = false;
  if (typeBox_->hasFocus()) ReadTypes();
  List();
  int row = keep ? model_.RowOf(*keep) : -1;
  if (row < 0 && model_.rowCount() > 0) row = std::clamp(keptRow, 0, model_.rowCount() - 1);
  if (row >= 0) {
    list_->setCurrentIndex(model_.index(row, JournalModel::kNumber));
    list_->scrollTo(model_.index(row, JournalModel::kNumber));
  }
}

void JournalWindow::List() {
  ShowPeriodControls();
  listProblem_.clear();
  totals_.clear();
  auto reader = session_.Reader();
  if (!reader) {
    listProblem_ = reader.error().message;
    model_.Clear();
  } else {
    if (auto error = model_.Load(session_.Rows(), FilterOf(period_, type_))) {
      listProblem_ = error->message;
    }
    if (auto totals = ReadTotals(**reader, period_, type_)) {
      totals_ = std::move(*totals);
    } else if (listProblem_.isEmpty()) {
      listProblem_ = totals.error().message;
    }
  }
  heading_->setText(u"%1%2 — %3"_s.arg(PeriodLabel(period_),
                                       type_.isEmpty() ? QString() : u", "_s + type_,
                                       Flights(model_.rowCount())));
  ShowTotals();
  ShowProblem(QString());
  if (model_.rowCount() > 0 && !list_->currentIndex().isValid()) {
    list_->setCurrentIndex(model_.index(0, JournalModel::kNumber));
  }
  UpdateActions();
}

void JournalWindow::UpdateActions() {
  const bool chosen = Chosen().has_value();
  open_->setEnabled(chosen);
  delete_->setEnabled(chosen && readOnly_.isEmpty());
}

void JournalWindow::ShowTotals() {
  totalsTable_->setRowCount(static_cast<int>(totals_.size()));
  QStringList labels;
  for (int r = 0; r < static_cast<int>(totals_.size()); ++r) {
    const TotalsLine& line = totals_[static_cast<std::size_t>(r)];
    labels << line.label;
    QStringList cells = {QString::number(line.sums.flights)};
    for (const qint64 m : line.sums.minutes) cells << MinutesCell(m);
    for (int c = 0; c < cells.size(); ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      item->setTextAlignment(Qt::AlignCenter);
      item->setToolTip(line.note);
      totalsTable_->setItem(r, c, item);
    }
  }
  totalsTable_->setVerticalHeaderLabels(labels);
  for (int r = 0; r < totalsTable_->rowCount(); ++r) {
    if (auto* header = totalsTable_->verticalHeaderItem(r)) {
      header->setToolTip(totals_[static_cast<std::size_t>(r)].note);
    }
  }
  const int height =
      totalsTable_->horizontalHeader()->sizeHint().height() +
      totalsTable_->verticalHeader()->defaultSectionSize() * std::max(1, totalsTable_->rowCount()) +
      2 * totalsTable_->frameWidth() + 2;
  totalsTable_->setFixedHeight(height);
}

void JournalWindow::ShowProblem(const QString& text) {
  QStringList lines;
  if (!readOnly_.isEmpty()) {
    lines << u"Журнал «%1» можно только читать: %2. Полёты в него не записываются, не "
             u"заменяются и не удаляются."_s.arg(QDir::toNativeSeparators(session_.path()),
                                                 readOnly_);
  }
  if (!listProblem_.isEmpty()) lines << listProblem_;
  if (!text.isEmpty() && !lines.contains(text)) lines << text;
  problem_->setText(lines.join(u'\n'));
  problem_->setVisible(!lines.isEmpty());
}

std::optional<qint64> JournalWindow::Chosen() const {
  const qint64 number = model_.NumberAt(list_->currentIndex().row());
  if (number <= 0) return std::nullopt;
  return number;
}

void JournalWindow::OpenChosen() {
  if (const auto number = Chosen()) emit openRequested(*number);
}

void JournalWindow::DeleteChosen() {
  const auto number = Chosen();
  if (!number) return;
  if (!readOnly_.isEmpty()) {
    prompts_.ShowError(this, u"Журнал «%1» можно только читать: %2; запись №\u00a0%3 не удалена."_s
                                 .arg(QDir::toNativeSeparators(session_.path()), readOnly_)
                                 .arg(*number));
    return;
  }
  const int row = list_->currentIndex().row();
  const auto cell = [&](int column) {
    return model_.data(model_.index(row, column), Qt::DisplayRole).toString();
  };
  QString what = u"%1, %2"_s.arg(cell(JournalModel::kDate), cell(JournalModel::kType));
  if (!cell(JournalModel::kBoard).isEmpty()) what += u", борт %1"_s.arg(cell(JournalModel::kBoard));
  what += u", всего в СМУ %1"_s.arg(cell(JournalModel::kSmu));
  if (!prompts_.Confirm(
          this,
          u"Удалить из журнала запись №\u00a0%1 (%2)?\n\nУдалённую запись не вернуть."_s
              .arg(*number)
              .arg(what),
          u"Удалить"_s, u"Отмена"_s)) {
    return;
  }
  // The line that takes its place is chosen next.
  const qint64 next =
      model_.NumberAt(row + 1) ? model_.NumberAt(row + 1) : model_.NumberAt(row - 1);
  auto writer = session_.Writer();
  if (!writer) {
    prompts_.ShowError(this, writer.error().message);
    return;
  }
  if (auto done = (*writer)->Delete(*number); !done) {
    prompts_.ShowError(this, done.error().message);
    Reload();
    return;
  }
  Reload(next ? std::optional<qint64>(next) : std::nullopt);
  emit deleted(*number);
}

}  // namespace meltor
