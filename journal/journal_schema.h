// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The journal file's schema and the steps that bring an older file forward. Inside the journal
// room (journal.h names SchemaStep only for Journal::Options::steps, through which the tests of the
// migration framework give steps of their own).
//
// How the schema changes: version 1 is made by CreationSql(). A later version adds a SchemaStep
// to ProgramSteps() whose SQL moves a file of the version before it one version on, and raises
// kSchemaVersion. A step only adds (columns with a default, tables, indexes), so that an older
// program can still read a newer file: it reads the columns it knows and refuses to write.

#include <span>

namespace meltor::journal {

// Moves a journal of version `from` to version `from + 1`. Runs inside the transaction of the
// whole migration, after a copy of the old file has been kept.
struct SchemaStep {
  int from = 0;
  const char* sql = nullptr;
};

// The tables and indexes of version 1 (without the two PRAGMAs, which the caller sets).
const char* CreationSql();

// This program's steps, in order: step i moves version i + 1 on. Empty while the schema is at
// version 1.
std::span<const SchemaStep> ProgramSteps();

}  // namespace meltor::journal
