// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The journal as CSV: one row per flight, for a spreadsheet and for `meltor-cli journal import`,
// which reads such a file back. Written by the one CSV writer (csv/), so a file the journal writes
// is read by every other part of the program. Used by `meltor-cli journal list` and `journal
// export` and by the journal window's «Экспорт в CSV…».

#include "journal.h"

#include <QStringList>

class QIODevice;

namespace meltor::journal {

struct CsvOptions {
  char delimiter = ',';        // ';' for a Russian spreadsheet
  bool byteOrderMark = false;  // UTF-8 BOM first
  bool defuse = true;          // typed texts that look like formulas get an apostrophe
};

// number, date, board, remark, the twelve batch input columns (type … height), zak_kab, obl,
// za_obl, ogr_vid, smu, zak_kab_min … smu_min, case, warnings. `journal import` reads such a
// file back (it takes date, board, remark and the inputs and passes over the rest).
QStringList CsvHeader();

// The cells of one entry under CsvHeader(). With `defuse`, the texts the pilot typed (the board
// number, the remark and the inputs) that a spreadsheet would run as a formula get a leading
// apostrophe (DefusedCell); the program's own texts (the results, the case, the warnings) are
// written as they are. The warnings are joined by "; ", as the batch writes them.
QStringList CsvRow(const Entry& entry, bool defuse);

// The header and every entry the filter takes, in ForEach's order, streamed to `out` (UTF-8); the
// number of entries written. A write failure of `out` is the caller's to check
// (files::FileWriter::Commit reports it); once `out` refuses a write, no more entries are read.
// The journal is held for reading while the rows are written (see Journal::ForEach), so `out`
// should take them without waiting long.
Result<qint64> WriteCsv(Journal& journal, const Filter& filter, QIODevice& out,
                        const CsvOptions& options = {});

}  // namespace meltor::journal
