// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The journal file the window program works on, opened when first needed: for reading when the
// journal window first lists it, for writing when a flight is first saved, replaced or deleted
// (the page check of an opening for writing runs once, not at every save). A failed opening is
// not kept: the next need tries again, so a journal that was busy, or a stick put back, is
// found then.

#include "journal.h"
#include "journal_rows.h"

#include <QString>

#include <memory>
#include <optional>

namespace meltor {

class JournalSession {
 public:
  // `path` empty: journal::DefaultJournalPath().
  explicit JournalSession(const QString& path,
                          int busyMilliseconds = journal::kDefaultBusyMilliseconds);
  ~JournalSession();

  const QString& path() const { return path_; }

  // The journal for lists and totals.
  journal::Result<journal::Journal*> Reader();
  // The journal for changes.
  journal::Result<journal::Journal*> Writer();
  // The lines of the window's list.
  journal::RowReader& Rows() { return rows_; }

  // Why the journal can only be read (a read-only file or folder, a newer program's journal);
  // nullopt when it can be written as far as is known. Opens it for reading when needed.
  std::optional<QString> ReadOnlyReason();

 private:
  QString path_;
  int busyMilliseconds_;
  std::unique_ptr<journal::Journal> reader_;
  std::unique_ptr<journal::Journal> writer_;
  journal::RowReader rows_;
};

}  // namespace meltor
