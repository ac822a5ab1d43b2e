// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "journal_schema.h"

namespace meltor::journal {

// One row per saved flight. The input columns are named and spelled as the batch's CSV columns
// (day_night: "day", "night" or empty), the results as its result columns and the minute columns
// as batch -M writes them. Numbers are AUTOINCREMENT so that a deleted entry's number is never
// given again. entry_by_date serves the period filters and the list's order (date, then number:
// SQLite keeps the rowid as the index's last column); entry_totals holds what the totals add up,
// so they are read from the index without the rows.
const char* CreationSql() {
  return R"sql(
CREATE TABLE entry (
  number INTEGER PRIMARY KEY AUTOINCREMENT,
  flight_date TEXT NOT NULL
    CHECK (flight_date GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]'),
  board TEXT NOT NULL,
  remark TEXT NOT NULL,
  type TEXT NOT NULL,
  hours TEXT NOT NULL,
  minutes TEXT NOT NULL,
  clouds TEXT NOT NULL,
  base TEXT NOT NULL,
  top TEXT NOT NULL,
  vis_km TEXT NOT NULL,
  vis_hm TEXT NOT NULL,
  day_night TEXT NOT NULL CHECK (day_night IN ('', 'day', 'night')),
  hood_close TEXT NOT NULL,
  hood_open TEXT NOT NULL,
  height TEXT NOT NULL,
  zak_kab TEXT NOT NULL,
  obl TEXT NOT NULL,
  za_obl TEXT NOT NULL,
  ogr_vid TEXT NOT NULL,
  smu TEXT NOT NULL,
  zak_kab_min INTEGER NOT NULL,
  obl_min INTEGER NOT NULL,
  za_obl_min INTEGER NOT NULL,
  ogr_vid_min INTEGER NOT NULL,
  smu_min INTEGER NOT NULL,
  case_id TEXT NOT NULL,
  warnings TEXT NOT NULL,
  tables_sha256 TEXT NOT NULL,
  program_version TEXT NOT NULL,
  saved_at TEXT NOT NULL
) STRICT;
CREATE INDEX entry_by_date ON entry (flight_date);
CREATE INDEX entry_totals ON entry (flight_date, type, day_night, zak_kab_min, obl_min,
                                    za_obl_min, ogr_vid_min, smu_min);
CREATE TABLE opening_balance (
  item TEXT PRIMARY KEY
    CHECK (item IN ('flights', 'zak_kab', 'obl', 'za_obl', 'ogr_vid', 'smu')),
  amount INTEGER NOT NULL CHECK (amount >= 0),
  as_of TEXT NOT NULL CHECK (as_of GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]')
) STRICT;
)sql";
}

std::span<const SchemaStep> ProgramSteps() {
  return {};
}

}  // namespace meltor::journal
