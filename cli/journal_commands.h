// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// What the subcommands of `meltor-cli journal` share: the journal file and how long to wait for
// it, the period and type of a list or a total, and opening the journal with its failure reported.

#include "command.h"
#include "journal.h"
#include "options.h"

#include <QString>

#include <memory>
#include <variant>

namespace meltor::cli {

// --journal FILE and --wait SECONDS, shared by every journal subcommand.
OptionSet JournalOptions();

struct JournalPlace {
  QString path;
  int waitMilliseconds = journal::kDefaultBusyMilliseconds;
};
std::variant<JournalPlace, UsageError> ReadJournalPlace(const ParsedOptions& options);

// The journal at `place`, or null when it cannot be opened: the journal's message is then on the
// error stream (the exit code is kExitFailed).
std::unique_ptr<journal::Journal> OpenJournal(const JournalPlace& place,
                                              journal::Journal::Access access, Console& io);

// A journal's failure on the error stream; returns kExitFailed.
int ReportJournalError(Console& io, const journal::JournalError& error);

// The date of a date option (--date, --from, --to); a usage error names the option.
std::variant<QDate, UsageError> ReadDateOption(const ParsedOptions& options, const QString& name);

// Why a flight whose tables file cannot be read through is not saved (said after the reason).
QString TablesIdentityNeeded();

// The subcommands in journal_import.cpp.
Command JournalImportCommand();

}  // namespace meltor::cli
