// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// What the journal asks the pilot, and how it tells of a failure: the details of a flight to
// save, a confirmation, a file to write, a message. The program shows dialogs (DialogPrompts);
// tests put a recorder in their place and answer for the pilot.

#include <QDate>
#include <QDialog>
#include <QString>
#include <QStringList>

#include <optional>

class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace meltor {

// What a saved flight carries besides the calculation.
struct EntryDetails {
  QDate date;
  QString board;
  QString remark;

  bool operator==(const EntryDetails&) const = default;
};

// A flight opened from the journal and saved again goes over its entry or into a new one.
enum class SaveAs { New, Replace };

struct SaveRequest {
  EntryDetails details;
  SaveAs as = SaveAs::New;
};

// A file chosen to write, and which of the offered formats (filters) was chosen, from 0.
struct FileChoice {
  QString path;
  int filter = 0;
};

class JournalPrompts {
 public:
  virtual ~JournalPrompts() = default;

  // Asks the date, board number and remark of the flight `summary` describes, starting from
  // `details`. With `replacing`, the flight was opened from that entry: the pilot chooses to
  // replace it or to save a new one. nullopt: cancelled.
  virtual std::optional<SaveRequest> AskDetails(QWidget* over, const QString& summary,
                                                const EntryDetails& details,
                                                std::optional<qint64> replacing) = 0;
  // A question with two answers, `no` the one Enter gives; true for `yes`.
  virtual bool Confirm(QWidget* over, const QString& question, const QString& yes,
                       const QString& no) = 0;
  // A file to write: `name` proposed, one of `filters` ("Таблица CSV (*.csv)") to choose.
  virtual std::optional<FileChoice> AskFile(QWidget* over, const QString& title,
                                            const QString& name, const QStringList& filters) = 0;
  // A failure, told in full.
  virtual void ShowError(QWidget* over, const QString& text) = 0;
};

// The program's dialogs.
class DialogPrompts final : public JournalPrompts {
 public:
  std::optional<SaveRequest> AskDetails(QWidget* over, const QString& summary,
                                        const EntryDetails& details,
                                        std::optional<qint64> replacing) override;
  bool Confirm(QWidget* over, const QString& question, const QString& yes,
               const QString& no) override;
  std::optional<FileChoice> AskFile(QWidget* over, const QString& title, const QString& name,
                                    const QStringList& filters) override;
  void ShowError(QWidget* over, const QString& text) override;
};

// «Записать в журнал»: the flight in a line, then the date (today unless given), the board number
// and the remark, in the order Tab takes them. Enter saves (over the entry the flight was opened
// from, when there is one), Escape cancels.
class EntryDialog final : public QDialog {
  Q_OBJECT

 public:
  EntryDialog(QWidget* parent, const QString& summary, const EntryDetails& details,
              std::optional<qint64> replacing);

  EntryDetails details() const;
  // Valid once accepted.
  SaveAs saveAs() const { return saveAs_; }

 private:
  QDateEdit* date_;
  QLineEdit* board_;
  QLineEdit* remark_;
  SaveAs saveAs_ = SaveAs::New;
};

}  // namespace meltor
