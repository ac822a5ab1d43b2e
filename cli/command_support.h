// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// What the commands share: writing text, usage errors, and where the tables file is.

#include "commands.h"
#include "options.h"

#include <QString>
#include <QStringList>

namespace meltor::cli {

void Print(QIODevice& device, const QString& text);

// "meltor-cli: <message>" and a pointer to the help on the error stream; returns kExitUsage.
int ReportUsage(Console& io, const QString& message);

// "meltor-cli: <message>" on the error stream; returns kExitFailed.
int ReportFailure(Console& io, const QString& message);

// The --tables option shared by every command that reads the tables file.
OptionInfo TablesOption();

// The file given with --tables, or the one the program finds next to itself.
struct TablesLocation {
  QString path;
  QStringList searched;  // for the message when the file is missing
};
TablesLocation LocateTables(const ParsedOptions& options);

int RunCalc(const QStringList& args, Console& io);
int RunBatch(const QStringList& args, Console& io);
int RunTables(const QStringList& args, Console& io);

// The help texts of the options of calc and batch, for --help.
QString CalcOptionsHelp();
QString BatchOptionsHelp();
QString TablesOptionsHelp();

}  // namespace meltor::cli
