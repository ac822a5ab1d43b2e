// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// meltor-cli: the commands of the program on the command line. Everything a command reads or
// writes comes in through Console, so the commands hold no state of their own between runs.
//
// How failures travel in cli/:
// - Reading the command line: what can refuse it returns std::variant<T, UsageError>; the
//   command's Call::Usage (or ReportUsage) prints it with the pointer to the command's help, and
//   the exit code is 2.
// - A command's run function returns its exit code, having printed its own messages (ReportFailure
//   for a failure, exit code 1). Nothing is thrown out of a command: the CalcError that reading a
//   tables file throws is caught where the command reads it, and the calculation's own failure
//   comes in its CalcOutcome.
// - Writing a file: files::FileWriter's bool and failure(), or a bool with the reason in a
//   QString* (WritePicture), as the room that writes says.

#include <QLocale>
#include <QStringList>

class QIODevice;

namespace meltor::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitFailed = 1,  // a calculation, table or input error; the message is on the error stream
  kExitUsage = 2,   // a command line the program cannot act on
};

struct Console {
  QIODevice& in;
  QIODevice& out;
  QIODevice& err;
  bool errIsTerminal = false;  // progress is shown only to a person watching
  QLocale locale;              // the environment's; whole-text numbers follow it
};

// Runs the command line `args` (without the program's name) and returns the exit code.
int Run(const QStringList& args, Console& console);

}  // namespace meltor::cli
