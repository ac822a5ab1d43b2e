// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The journal's flights as a table shows them. A window that lists a year of 100,000 flights does
// not read 100,000 entries: it asks once for the numbers of the entries a filter takes, in the
// order of the column it sorts on (a vector of integers, SQLite sorting), and then reads the few
// fields of a line only for the lines in view, a block at a time.
//
// A RowReader reads the journal file through a connection of its own that never writes
// (PRAGMA query_only), beside the Journal that opened and checked the file; it holds no lock
// between calls. A file not made yet lists nothing; a file made or replaced since the last call
// (another program's first flight, a journal put back from a copy) is opened again. Errors come
// as in journal.h: a Russian message naming the journal.

#include "journal.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <memory>
#include <span>
#include <vector>

namespace meltor::journal {

// One line of a list: the fields a table of flights shows.
struct Row {
  qint64 number = 0;  // 0: the entry was deleted after the numbers were listed
  QDate date;
  QString type;
  QString board;
  QString hours;    // the flight time as typed
  QString minutes;  // 〃
  DayNight dayNight = DayNight::None;
  ResultTexts results;  // the five texts as the calculation showed them
  QString remark;
  bool warned = false;  // the calculation warned about a field
};

// The columns a list can be sorted on. Ties go by entry number, in the same direction.
enum class RowKey {
  Number,
  Date,
  Type,
  Board,
  FlightTime,  // hours × 60 + minutes, each as far as it reads as a whole number
  DayNight,
  ZakKab,  // the five results by their minutes
  Obl,
  ZaObl,
  OgrVid,
  Smu,
  Remark,
};

class RowReader {
 public:
  // Reads the journal at `path`, which Journal::Open has accepted.
  explicit RowReader(QString path, int busyMilliseconds = kDefaultBusyMilliseconds);
  ~RowReader();
  RowReader(const RowReader&) = delete;
  RowReader& operator=(const RowReader&) = delete;

  // The numbers of the entries `filter` takes, sorted on `key`.
  Result<std::vector<qint64>> Numbers(const Filter& filter, RowKey key, bool descending = false);

  // The lines of `numbers`, in their order, read in one transaction. An entry deleted meanwhile
  // gives a Row whose number is 0.
  Result<std::vector<Row>> Read(std::span<const qint64> numbers);

  // The aircraft types the journal holds, in the order of the text.
  Result<QStringList> Types();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace meltor::journal
