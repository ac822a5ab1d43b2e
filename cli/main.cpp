// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// meltor-cli: the flight-time calculator on the command line.

#include "command.h"
#include "picture_output.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#ifdef _WIN32
#include <io.h>
#define MELTOR_ISATTY _isatty
#else
#include <unistd.h>
#define MELTOR_ISATTY isatty
#endif

int main(int argc, char* argv[]) {
#ifndef _WIN32
  // A reader that went away (`| head`) is a failed write the commands report, not a silent end;
  // so is a file grown past the size limit (ulimit -f), which would otherwise end the program
  // with its temporary file left behind.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  // The words after the program's name, decoded as QCoreApplication decodes them. What they ask
  // for is found before the application object exists, since it decides which one the run needs.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const meltor::cli::Invocation invocation = meltor::cli::Resolve(args);
  // For the program's directory, where the tables file lies; with fonts when the run draws text.
  const auto app = meltor::cli::MakeApplication(argc, argv, invocation.DrawsText());

  QFile in;
  QFile out;
  QFile err;
  in.open(stdin, QIODevice::ReadOnly);
  out.open(stdout, QIODevice::WriteOnly);
  err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);

  meltor::cli::Console console{in, out, err, MELTOR_ISATTY(fileno(stderr)) != 0, QLocale::system()};
  return meltor::cli::Run(invocation, console);
}
