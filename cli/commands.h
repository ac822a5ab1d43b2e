// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The commands of meltor-cli. Everything a command reads or writes comes in through Console, so
// the commands hold no state of their own between runs.

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
