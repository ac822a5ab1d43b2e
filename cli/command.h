// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The command model of meltor-cli. Each command is one Command: its name, its texts for the
// help, its options and the function that runs it. A group ("tables") holds its subcommands
// instead of a function; the program itself is the group at the root. Everything the program
// says about its commands — the general help, each command's help, «unknown command» — and the
// way a command line finds its command come from this one registry (Program()), so a new command
// or group is one more entry, and its help, its usage errors and its completion come with it.

#include "commands.h"
#include "options.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace meltor::cli {

struct Call;

// Every member has its initializer, so that a command names only what it has: {.name = ...}.
struct Command {
  QString name{};
  QString arguments{};  // what follows the options: "ИМЯ", "[ПАПКА]"; empty: none
  int minArguments = 0;
  int maxArguments = 0;
  QString missingArguments{};  // the usage error when fewer than minArguments are given
  QString summary{};           // one line (wrapped) in the list of its group
  QStringList description{};   // the paragraphs of its help
  OptionSet options{};         // a group's: those its subcommands share, shown in its help
  int (*run)(const Call& call, Console& io) = nullptr;  // null for a group
  // Whether the run draws text, which needs the fonts of a GUI application; null: never.
  bool (*drawsText)(const ParsedOptions& options) = nullptr;
  std::vector<Command> subcommands{};  // a group's

  QString path{};  // set by the registry: "tables check"; empty for the program itself

  bool isGroup() const { return !subcommands.empty(); }
  // The subcommand named `word`, or null.
  const Command* Subcommand(QStringView word) const;
  // "calc, batch или tables": the names of the subcommands, for messages.
  QString SubcommandNames() const;
};

// A command line ready to run: the command found and its options read.
struct Call {
  const Command& command;
  ParsedOptions options;

  // "meltor-cli: tables check: <message>" and the pointer to the command's help on the error
  // stream; returns kExitUsage.
  int Usage(Console& io, const QString& message) const;
};

// "meltor-cli: <path>: <message>" and "Справка: meltor-cli <path> --help" on the error stream;
// returns kExitUsage.
int ReportUsage(Console& io, const Command& command, const QString& message);

// The program: calc, batch and the groups tables and journal, with their paths set.
const Command& Program();

// What a command line asks for, found without running anything.
struct Invocation {
  enum class Action { Run, Help, Version, Usage };
  Action action = Action::Usage;
  const Command* command = nullptr;  // to run, whose help to print, or whose help a usage error
                                     // points to
  ParsedOptions options;             // Run
  QString message;                   // Usage

  // Whether the run draws text (pictures, the plot of the tables).
  bool DrawsText() const;
};

// Finds the command of `args` (without the program's name): the first word names a command of the
// program, the next word that is no option or option's value a subcommand of a group, and so on.
// "--help" and "--version" stand anywhere on the line; "help COMMAND ..." is the help of COMMAND.
Invocation Resolve(const QStringList& args);

// Carries out what `invocation` asks for and returns the exit code. Every write to the output is
// checked, so a lost write is never a success.
int Run(const Invocation& invocation, Console& console);

// The help of `command`; for the program, the help of every command.
QString HelpText(const Command& command);

}  // namespace meltor::cli
