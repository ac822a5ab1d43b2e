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

class QIODevice;

namespace meltor::cli {

// The result columns after the input columns, in the order of the five results.
const std::array<QString, kResultCount>& ResultColumns();

// The output columns: the inputs, the five results, the error and the warnings.
QStringList OutputHeader();

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

  // One input row: its texts as read, its five labels, its error (empty when it succeeded) and
  // its warnings about text left unread (empty when none).
  virtual void Row(const FlightTexts& inputs, const ResultTexts& labels, const QString& error,
                   const QString& warnings) = 0;

  // Ends the output, with the totals when `totals` is set.
  virtual void Finish(const BatchTotals* totals) = 0;
};

struct CsvDialect {
  char delimiter = ',';
  bool byteOrderMark = false;
};

// CSV: the header at once, a row per input row, the totals as a last row ("ИТОГО" in type, the
// count of failed rows in error).
std::unique_ptr<BatchOutput> MakeCsvOutput(QIODevice& out, CsvDialect dialect);

// JSON: an array of one object per row, keyed by the CSV columns; every value a text, error null
// when the row succeeded, warnings empty when there are none. With `withTotals` the array is "rows"
// in an object that also holds "totals".
std::unique_ptr<BatchOutput> MakeJsonOutput(QIODevice& out, bool withTotals);

}  // namespace meltor::cli
