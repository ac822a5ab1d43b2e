// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// meltor-cli: the flight-time calculator on the command line.

#include "commands.h"
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
  // For the program's directory, where the tables file lies.
  const auto app = meltor::cli::MakeApplication(argc, argv);

  QFile in;
  QFile out;
  QFile err;
  in.open(stdin, QIODevice::ReadOnly);
  out.open(stdout, QIODevice::WriteOnly);
  err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);

  meltor::cli::Console console{in, out, err, MELTOR_ISATTY(fileno(stderr)) != 0, QLocale::system()};
  return meltor::cli::Run(app->arguments().mid(1), console);
}
