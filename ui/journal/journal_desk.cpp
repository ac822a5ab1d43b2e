// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "journal_desk.h"

#include "journal_window.h"
#include "results.h"
#include "tables_file.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QWidget>

#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

using Kind = journal::JournalError::Kind;

// Failures that trying again cannot mend: the details are not asked again.
bool Lasting(Kind kind) {
  return kind == Kind::NotAJournal || kind == Kind::Damaged || kind == Kind::NewerVersion ||
         kind == Kind::ReadOnly || kind == Kind::BadPath;
}

}  // namespace

journal::Result<QString> TablesFingerprint::Of(const QString& path) {
  const QFileInfo info(path);
  const Stamp now{info.absoluteFilePath(), info.exists() ? info.size() : -1, info.lastModified(),
                  info.metadataChangeTime()};
  if (stamp_ && *stamp_ == now && sha_) return *sha_;
  ++hashes_;
  sha_ = journal::FileSha256(path);
  stamp_ = now;
  return *sha_;
}

bool PutFlight(QWidget& window, const FlightInput& in) {
  auto* type = window.findChild<QComboBox*>(u"cboTyp"_s);
  auto* day = window.findChild<QRadioButton*>(u"optDSMU"_s);
  auto* night = window.findChild<QRadioButton*>(u"optNSMU"_s);
  const std::array<std::pair<QString, const QString*>, 10> texts = {{
      {u"txtTpolChas"_s, &in.txtTpolChas},
      {u"txtTpolMin"_s, &in.txtTpolMin},
      {u"txtBal"_s, &in.txtBal},
      {u"txtHn"_s, &in.txtHn},
      {u"txtHv"_s, &in.txtHv},
      {u"txtVidKm"_s, &in.txtVidKm},
      {u"txtVidSm"_s, &in.txtVidSm},
      {u"txtShtorkaZ"_s, &in.txtShtorkaZ},
      {u"txtShtorkaO"_s, &in.txtShtorkaO},
      {u"txtHpol"_s, &in.txtHpol},
  }};
  std::array<QLineEdit*, texts.size()> boxes{};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    boxes[i] = window.findChild<QLineEdit*>(texts[i].first);
    if (!boxes[i]) return false;
  }
  if (!type || !day || !night) return false;
  // The type and the choice first: the text boxes' changes then find them set.
  const int entry = type->findText(in.cboTyp, Qt::MatchExactly);
  type->setCurrentIndex(entry);
  if (entry < 0) type->setEditText(in.cboTyp);
  // Neither of the pair chosen is a state of its own, which exclusive buttons cannot be set to.
  day->setAutoExclusive(false);
  night->setAutoExclusive(false);
  day->setChecked(in.dayNight == DayNight::Day);
  night->setChecked(in.dayNight == DayNight::Night);
  day->setAutoExclusive(true);
  night->setAutoExclusive(true);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    boxes[i]->clear();  // a change even when the text is the same, as a pilot's retyping is
    boxes[i]->setText(*texts[i].second);
  }
  return true;
}

QString FlightSummary(const FlightInput& input, const ResultTexts& results) {
  QStringList flight = {input.cboTyp};
  if (input.dayNight == DayNight::Day) flight << u"днём"_s;
  if (input.dayNight == DayNight::Night) flight << u"ночью"_s;
  bool hoursOk = false;
  bool minutesOk = false;
  const int hours = input.txtTpolChas.trimmed().toInt(&hoursOk);
  const int minutes = input.txtTpolMin.trimmed().toInt(&minutesOk);
  flight << (hoursOk && minutesOk ? journal::HoursMinutes(qint64{hours} * 60 + minutes)
                                  : u"%1 ч %2 мин"_s.arg(input.txtTpolChas, input.txtTpolMin));
  QStringList shown;
  for (int i = 0; i < kResultCount; ++i) {
    shown << u"%1 %2"_s.arg(ResultHeadings()[i], results.text[i]);
  }
  return u"%1 — %2"_s.arg(flight.join(u", "_s), shown.join(u", "_s));
}

JournalDesk::JournalDesk(QWidget& window, Settings settings, Hooks hooks)
    : QObject(&window),
      main_(window),
      settings_(std::move(settings)),
      hooks_(std::move(hooks)),
      prompts_(settings_.prompts ? *settings_.prompts : dialogs_),
      session_(settings_.journalPath),
      title_(window.windowTitle()) {
  setObjectName(u"journalDesk"_s);
  connect(new QShortcut(QKeySequence::Save, &window), &QShortcut::activated, this,
          &JournalDesk::Save);
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_J), &window), &QShortcut::activated, this,
          &JournalDesk::ShowJournal);
}

JournalDesk::~JournalDesk() = default;

void JournalDesk::AddTo(QMenu& menu) {
  menu.addSeparator();
  const auto add = [&](const QString& name, const QString& text, const QKeySequence& keys,
                       void (JournalDesk::*run)()) {
    QAction* action = menu.addAction(text, keys, this, run);
    action->setObjectName(name);
    // The keys are shown, and work while the menu is open; elsewhere the window's shortcut.
    action->setShortcutContext(Qt::WidgetShortcut);
    action->setShortcutVisibleInContextMenu(true);
    return action;
  };
  QAction* save =
      add(u"actJournalSave"_s, u"Записать в журнал…"_s, QKeySequence::Save, &JournalDesk::Save);
  add(u"actJournalShow"_s, u"Журнал полётов"_s, QKeySequence(Qt::CTRL | Qt::Key_J),
      &JournalDesk::ShowJournal);
  connect(&menu, &QMenu::aboutToShow, this, [this, save] {
    const CalcOutcome* current = hooks_.current();
    save->setEnabled(current && current->ok());
  });
}

void JournalDesk::Calculated() {
  const QString path = settings_.tablesPath.isEmpty() ? DefaultTablesPath() : settings_.tablesPath;
  calculatedSha_ = fingerprint_.Of(path);
}

bool JournalDesk::Saveable(const CalcOutcome* outcome) {
  if (!outcome) {
    hooks_.note(u"Не записано в журнал: результатов этих данных нет — нажмите «Считать»."_s);
    return false;
  }
  if (!outcome->ok()) {
    hooks_.note(
        u"Не записано в журнал: расчёт не выполнен — исправьте данные и нажмите "
        u"«Считать»."_s);
    return false;
  }
  if (!calculatedSha_) Calculated();
  if (!*calculatedSha_) {
    prompts_.ShowError(&main_,
                       u"Полёт не записан в журнал: %1"_s.arg(calculatedSha_->error().message));
    return false;
  }
  return true;
}

void JournalDesk::Save() {
  const CalcOutcome* outcome = hooks_.current();
  if (!Saveable(outcome)) return;
  // A journal that cannot take the flight (not a journal, damaged, not a file, kept busy) is told
  // before the pilot types the details in vain; the flight stays in the window to be saved later.
  if (const auto reader = session_.Reader(); !reader) {
    prompts_.ShowError(&main_, reader.error().message);
    return;
  }
  if (const std::optional<QString> readOnly = session_.ReadOnlyReason()) {
    prompts_.ShowError(&main_, u"Журнал «%1» можно только читать: %2. Полёт не записан."_s.arg(
                                   QDir::toNativeSeparators(session_.path()), *readOnly));
    return;
  }
  // The dialog is modal: the fields, and so the results, stay as they are until it closes.
  const CalcOutcome calculated = *outcome;
  const FlightInput input = hooks_.input();
  QString summary = FlightSummary(input, calculated.labels);
  if (editing_) summary += u"\nОткрыт из журнала: %1"_s.arg(editingWhat_);
  EntryDetails details = editing_ ? editingDetails_ : EntryDetails{QDate::currentDate(), {}, {}};
  for (;;) {
    const auto request = prompts_.AskDetails(&main_, summary, details, editing_);
    if (!request) return;
    details = request->details;
    const auto entry = journal::MakeEntry(details.date, details.board, details.remark, input,
                                          calculated, **calculatedSha_);
    if (!entry) {
      prompts_.ShowError(&main_, entry.error().message);
      continue;
    }
    const auto failed = [this](const journal::JournalError& e) {
      prompts_.ShowError(&main_, e.message);
      return Lasting(e.kind);
    };
    auto writer = session_.Writer();
    if (!writer) {
      if (failed(writer.error())) return;
      continue;
    }
    qint64 number = 0;
    QString done;
    if (request->as == SaveAs::Replace && editing_) {
      number = *editing_;
      if (const auto replaced = (*writer)->Replace(number, *entry); !replaced) {
        if (failed(replaced.error())) return;
        continue;
      }
      done = u"Запись №\u00a0%1 в журнале заменена."_s.arg(number);
    } else {
      const auto added = (*writer)->Add(*entry);
      if (!added) {
        if (failed(added.error())) return;
        continue;
      }
      number = *added;
      done = u"Записано в журнал: №\u00a0%1"_s.arg(number);
    }
    EndEditing();
    hooks_.note(done);
    if (window_) window_->Reload(number);
    return;
  }
}

void JournalDesk::ShowJournal() {
  if (!window_) {
    // A journal that cannot be read is told now, when it is first needed, and no window opens.
    if (auto reader = session_.Reader(); !reader) {
      prompts_.ShowError(&main_, reader.error().message);
      return;
    }
    window_ = std::make_unique<JournalWindow>(session_, prompts_);
    connect(window_.get(), &JournalWindow::openRequested, this, &JournalDesk::Open);
    connect(window_.get(), &JournalWindow::deleted, this, [this](qint64 number) {
      if (editing_ == number) EndEditing();
    });
  } else if (!window_->isVisible()) {
    window_->Reload();  // another program may have written meanwhile
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void JournalDesk::Open(qint64 number) {
  auto reader = session_.Reader();
  if (!reader) {
    prompts_.ShowError(window_ ? static_cast<QWidget*>(window_.get()) : &main_,
                       reader.error().message);
    return;
  }
  const auto entry = (*reader)->Get(number);
  if (!entry) {
    prompts_.ShowError(window_ ? static_cast<QWidget*>(window_.get()) : &main_,
                       entry.error().message);
    return;
  }
  main_.raise();
  main_.activateWindow();
  if (!PutFlight(main_, entry->input)) {
    prompts_.ShowError(&main_,
                       u"Полёт №\u00a0%1 не открыт: в окне расчёта нет его полей."_s.arg(number));
    return;
  }
  editing_ = number;
  editingDetails_ = {entry->date, entry->board, entry->remark};
  editingWhat_ = u"запись №\u00a0%1 от %2 — %3"_s.arg(number).arg(
      entry->date.toString(u"dd.MM.yyyy"_s), FlightSummary(entry->input, entry->results));
  main_.setWindowTitle(u"%1 — правка записи №\u00a0%2"_s.arg(title_).arg(number));
  // Calculated again, as the pilot would press «Считать», so that Ctrl+S can save it.
  if (auto* calculate = main_.findChild<QPushButton*>(u"cmdOK"_s);
      calculate && calculate->isEnabled()) {
    calculate->click();
  }
  const CalcOutcome* now = hooks_.current();
  if (now && now->ok() && now->labels.text != entry->results.text) {
    hooks_.note(
        u"Запись №\u00a0%1 открыта из журнала. Расчёт по нынешним таблицам отличается от "
        u"записанного; Ctrl+S запишет новые результаты."_s.arg(number));
  } else {
    hooks_.note(
        u"Запись №\u00a0%1 открыта из журнала: исправьте поля, нажмите «Считать», затем "
        u"Ctrl+S."_s.arg(number));
  }
}

void JournalDesk::EndEditing() {
  editing_.reset();
  main_.setWindowTitle(title_);
}

}  // namespace meltor
