// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// «Журнал полётов»: the flights of a period in a list sortable by any column and filtered by type,
// the period's totals by category, by day and by night and since the opening balance, and what
// can be done with them: a flight opened back in the main window, deleted, the period exported to
// CSV, printed or saved as PDF. A window of its own beside the main window, keyboard first: every
// action has a key or is reached by Tab and Enter; Escape closes it.

#include "journal_model.h"
#include "journal_period.h"
#include "journal_totals.h"
#include "logbook_print.h"

#include <QDialog>
#include <QStringList>

#include <optional>

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;
class QTableWidget;
class QTimer;
class QToolButton;

namespace meltor {

class JournalPrompts;
class JournalSession;

class JournalWindow final : public QDialog {
  Q_OBJECT

 public:
  // Opens on `period` (this month unless told), every type.
  JournalWindow(JournalSession& session, JournalPrompts& prompts,
                const Period& period = PeriodAround(PeriodKind::Month, QDate::currentDate()));

  const Period& period() const { return period_; }
  // Lists `period`.
  void SetPeriod(const Period& period);
  // Lists the flights of one type (empty: every type).
  void SetType(const QString& type);
  // Lists again from the file (after a change here or elsewhere), keeping the line chosen, or
  // choosing entry `select` when given and listed.
  void Reload(std::optional<qint64> select = std::nullopt);

  // Writes the period's flights (of the type chosen) as CSV: with ';' and a byte-order mark for a
  // Russian spreadsheet (`spreadsheet`), otherwise with ',' and without; true when written,
  // otherwise the pilot has been told why and nothing is left in place of the file.
  bool ExportCsv(const QString& path, bool spreadsheet);
  // Writes the printout of the period to a PDF file; true when written, otherwise the pilot has
  // been told why.
  bool SavePdf(const QString& path);

  JournalModel& model() { return model_; }
  // The totals shown, as read with the list.
  const std::vector<TotalsLine>& totals() const { return totals_; }

 signals:
  // The pilot asks to open entry `number` in the main window.
  void openRequested(qint64 number);
  // Entry `number` was deleted here.
  void deleted(qint64 number);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();
  // The type list: every type the journal holds, as its entries spell it.
  void ReadTypes();
  void FillTypes(QStringList types);
  void PeriodKindChosen(int index);
  void DatesEdited();
  void ShowPeriodControls();
  void List();
  void ShowTotals();
  // «Открыть…» and «Удалить…» while a flight is chosen (and the journal can be written).
  void UpdateActions();
  void ShowProblem(const QString& text);
  std::optional<qint64> Chosen() const;
  void OpenChosen();
  void DeleteChosen();
  void AskExport();
  void AskPdf();
  void Print();
  QString FileStem() const;
  LogbookPrintout Printout() const;

  JournalSession& session_;
  JournalPrompts& prompts_;
  JournalModel model_;
  Period period_;
  QString type_;
  std::vector<TotalsLine> totals_;
  QString readOnly_;  // why the journal cannot be written; empty when it can
  QString listProblem_;
  bool typesRead_ = false;

  QComboBox* kind_ = nullptr;
  QToolButton* earlier_ = nullptr;
  QToolButton* later_ = nullptr;
  QDateEdit* from_ = nullptr;
  QDateEdit* to_ = nullptr;
  QComboBox* typeBox_ = nullptr;
  QLabel* heading_ = nullptr;
  QLabel* problem_ = nullptr;
  QTableView* list_ = nullptr;
  QTableWidget* totalsTable_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* delete_ = nullptr;
  QTimer* datesSettle_ = nullptr;
};

}  // namespace meltor
