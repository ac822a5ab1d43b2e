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

// The journal and its path, as a command that reads or writes it starts.
struct Opened {
  JournalPlace place;
  std::unique_ptr<journal::Journal> journal;
};

// Reads --journal and --wait and opens the journal; on failure the exit code, its message
// printed.
std::variant<Opened, int> Open(const Call& call, Console& io, journal::Journal::Access access);

// A read that finds no journal file says so: an empty list is then no surprise, and a misspelt
// --journal is seen.
void NoteNotMade(const journal::Journal& j, Console& io);

// --from, --to and --type: the period and type of a list, total or export.
OptionSet FilterOptions();
std::variant<journal::Filter, UsageError> ReadFilter(const ParsedOptions& options);

// --format csv|json, and whether it asks for JSON.
OptionSet FormatOption();
std::variant<bool, UsageError> ReadJson(const ParsedOptions& options);

// Everything a list, total or export reads from its command line, the journal open for reading.
struct Listing {
  Opened opened;
  journal::Filter filter;
  bool json = false;
};
std::variant<Listing, int> StartListing(const Call& call, Console& io);

// The subcommands in journal_import.cpp and journal_totals.cpp.
Command JournalImportCommand();
Command JournalTotalsCommand();
Command JournalBalanceCommand();

}  // namespace meltor::cli
