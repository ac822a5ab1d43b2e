// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// What batch writes: a CSV file or a JSON document of the rows, with the totals at the end when
// they are asked for. Each row is written as soon as it is known, so a batch of any length needs
// little memory.

#include "flight_fields.h"
#include "results.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

class QIODevice;

namespace meltor::cli {

// The five times of a flight in minutes, in result order.
std::array<qint64, kResultCount> ResultMinutes(const TimeBreakdown& minutes);

// The output columns: the inputs, the five results, the minute columns when asked for,
// the error and the warnings.
QStringList OutputHeader(bool minuteColumns = false);

// The sums over a batch. Minutes are summed wider than the 16 bits of one flight's times.
struct BatchTotals {
  std::array<qint64, kResultCount> minutes{};  // over the rows that succeeded, in result order
  qint64 rows = 0;
  qint64 failed = 0;

  void AddSuccess(const TimeBreakdown& flightMinutes);
  void AddFailure() {
    ++rows;
    ++failed;
  }

  // The sums as the result labels show times: H.MM, "-" for an empty category, "ПМУ" for a zero
  // total.
  ResultTexts Labels() const;
};

class BatchOutput {
 public:
  virtual ~BatchOutput() = default;

  // One input row: its texts as read, its five labels, its times in minutes (when it succeeded),
  // its error (empty when it succeeded) and its warnings about text left unread (empty when none).
  virtual void Row(const FlightTexts& inputs, const ResultTexts& labels,
                   const std::optional<TimeBreakdown>& minutes, const QString& error,
                   const QString& warnings) = 0;

  // Ends the output, with the totals when `totals` is set.
  virtual void Finish(const BatchTotals* totals) = 0;
};

struct CsvDialect {
  char delimiter = ',';
  bool byteOrderMark = false;
  bool minuteColumns = false;  // zak_kab_min ... smu_min after the results
  bool rawEcho = false;        // input cells as read, even those a spreadsheet takes for formulas
};

// CSV: the header at once, a row per input row, the totals as a last row ("ИТОГО" in type, the
// count of failed rows in error). Input cells that look like formulas are defused (DefusedCell)
// unless the dialect asks for the raw echo; the program's own texts are written as they are.
std::unique_ptr<BatchOutput> MakeCsvOutput(QIODevice& out, CsvDialect dialect);

// JSON: an array of one object per row, keyed by the CSV columns, every value a text as read or
// shown, error null when the row succeeded, warnings empty when there are none; and the minute
// columns, whole numbers (null when the row failed). With `withTotals` the array is "rows" in an
// object that also holds "totals".
std::unique_ptr<BatchOutput> MakeJsonOutput(QIODevice& out, bool withTotals);

}  // namespace meltor::cli
