// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The flights of a CSV file, read one row at a time and calculated: what `batch` and `journal
// import` share. The file's header names its columns; each row comes back with its texts and, when
// it cannot be calculated, why — a row that cannot be read, a wrong number of fields, a day/night
// or type nobody knows — so that both commands report a failing row alike.

#include "calculation.h"
#include "command.h"
#include "csv.h"
#include "flight_fields.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace meltor::cli {

// --encoding and --input-delimiter: how the input is read.
OptionSet InputReadingOptions();

struct InputReading {
  CsvEncoding encoding = CsvEncoding::Auto;
  std::optional<char> delimiter;  // nullopt: the one that splits the header most
};
std::variant<InputReading, UsageError> ReadInputReading(const ParsedOptions& options);

class FlightRows {
 public:
  // The columns taken beside the inputs (journal import: date, board, remark), and whether a
  // column that is none of them is passed over (as a file journal export wrote) instead of being a
  // usage error (as for batch, where it is most likely a misspelt input).
  struct Columns {
    QStringList extra;
    bool passOver = false;
  };

  struct Row {
    FlightTexts texts;
    QStringList extra;  // by Columns::extra; empty for a column the file lacks
    DayNight dayNight = DayNight::None;
    QString error;  // why the row cannot be calculated; empty when it can
    qint64 line = 0;
  };

  FlightRows(const Call& call, Console& io);

  // Opens `name` ("-": the standard input) and reads its header, saying on stderr how the
  // encoding was guessed. Returns the exit code when it cannot go on, its message printed: 2 for
  // a file that cannot be opened or read, or a header that names an unknown column or one twice.
  std::optional<int> Open(const QString& name, const InputReading& reading, const Columns& columns);

  // The next row; false at the end of the input or when reading failed (Failure()).
  bool Next(Row& row);

  // After Next() gave false: the exit code of a read that failed, its message printed; nullopt at
  // the end of the input.
  std::optional<int> Failure();

  // Whether the header has extra column `i` (of Columns::extra).
  bool HasExtra(qsizetype i) const;
  const CsvReader& reader() const { return *reader_; }
  // The header's columns passed over, as written.
  const QStringList& passedOver() const { return passedOver_; }
  // The input as messages name it: its file name, or «стандартный ввод».
  const QString& shownName() const { return shownName_; }

 private:
  int ReadFailure(const CsvError& error);

  const Call& call_;
  Console& io_;
  std::unique_ptr<QFile> file_;
  std::unique_ptr<CsvReader> reader_;
  QString shownName_;
  QString delimiterHint_;
  qsizetype fields_ = 0;  // in the header
  qsizetype extraCount_ = 0;
  std::vector<int> targets_;  // per header field: an InputColumn, kExtra + i, or kSkip
  QStringList passedOver_;
  static constexpr int kExtra = 100;  // targets from here on are extra columns
  static constexpr int kSkip = -1;
};

// A row calculated: the outcome when it was calculated (also when the calculation stopped), the
// row's or the calculation's error, and the calculation's warnings named by their columns.
struct RowCalculation {
  std::optional<CalcOutcome> outcome;
  QString error;
  QStringList warnings;

  bool ok() const { return error.isEmpty(); }
};
RowCalculation CalculateRow(const FlightRows::Row& row, ClimbTables& tables, const QLocale& locale);

// The count of rows done and the pace, on a terminal, for a run that takes a while. Rewrites one
// line: "meltor-cli <what>: обработано строк: …".
class Progress {
 public:
  Progress(Console& io, QString what);

  void Step();
  void Finish();

 private:
  static constexpr qint64 kDelayMs = 1000;
  static constexpr qint64 kIntervalMs = 200;

  void Show(const QString& end);

  Console& io_;
  const QString what_;
  QElapsedTimer timer_;
  qint64 rows_ = 0;
  qint64 shownAt_ = -1;
};

// "2 из 5 строк не рассчитаны", in the grammar of the numbers.
QString FailedSummary(qint64 failed, qint64 rows);

}  // namespace meltor::cli
