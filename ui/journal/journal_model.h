// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The journal window's list: one line per flight of the period, in the order of the column
// sorted on. The model holds the sorted entry numbers and reads the lines in blocks as the view
// asks for them, keeping the last few blocks; a year of 100,000 flights costs its numbers and the
// blocks in view, not 100,000 entries.

#include "journal.h"
#include "journal_rows.h"

#include <QAbstractTableModel>

#include <list>
#include <optional>
#include <unordered_map>
#include <vector>

namespace meltor {

class JournalModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    kNumber,
    kDate,
    kType,
    kBoard,
    kFlightTime,
    kDayNight,
    kZakKab,  // the five results, in the logbook's order
    kObl,
    kZaObl,
    kOgrVid,
    kSmu,
    kRemark,
    kColumnCount,
  };
  // Lines read at a time, and blocks kept.
  static constexpr int kBlockRows = 128;
  static constexpr int kBlocksKept = 32;

  explicit JournalModel(QObject* parent = nullptr);

  // Lists the flights `filter` takes from `rows`, in the current order. nullopt, or why the list
  // could not be read (the list is then empty).
  std::optional<journal::JournalError> Load(journal::RowReader& rows,
                                            const journal::Filter& filter);

  // Lists nothing (the journal could not be read).
  void Clear();

  // The entry on `row`; 0 when there is none.
  qint64 NumberAt(int row) const;
  // The row of entry `number`; -1 when it is not listed.
  int RowOf(qint64 number) const;
  // The lines read from the file since the last Load (for the benchmark and the tests).
  qint64 linesRead() const { return linesRead_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 signals:
  // Reading the lines failed after the list was made (another program damaged or removed the
  // journal): the message, once per failure.
  void readFailed(const QString& message) const;

 private:
  const journal::Row* RowAt(int row) const;
  std::optional<journal::JournalError> Reload();

  journal::RowReader* rows_ = nullptr;
  journal::Filter filter_;
  journal::RowKey key_ = journal::RowKey::Date;
  bool descending_ = false;
  std::vector<qint64> numbers_;
  // Blocks of lines by block index, the most recently used first in `recent_`.
  mutable std::unordered_map<int, std::vector<journal::Row>> blocks_;
  mutable std::list<int> recent_;
  mutable qint64 linesRead_ = 0;
  mutable bool failed_ = false;
};

// The flight time as the list shows it: "1:05" from the typed hours and minutes when both are
// whole numbers, otherwise the texts as typed ("1,5 ч 0 мин").
QString FlightTimeText(const QString& hours, const QString& minutes);

}  // namespace meltor
