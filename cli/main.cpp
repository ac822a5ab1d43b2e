// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// meltor-cli: the flight-time calculator on the command line.

#include "commands.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>

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
  // For the program's directory, where the tables file lies. Drawing a picture of the tables
  // needs fonts, which come with a GUI application; it opens no window.
  bool drawing = false;
  for (int i = 2; i < argc && std::strcmp(argv[1], "tables") == 0; ++i) {
    drawing = drawing || std::strcmp(argv[i], "plot") == 0;
  }
  if (drawing) qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::unique_ptr<QCoreApplication> app =
      drawing ? std::make_unique<QGuiApplication>(argc, argv)
              : std::make_unique<QCoreApplication>(argc, argv);

  QFile in;
  QFile out;
  QFile err;
  in.open(stdin, QIODevice::ReadOnly);
  out.open(stdout, QIODevice::WriteOnly);
  err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);

  meltor::cli::Console console{in, out, err, MELTOR_ISATTY(fileno(stderr)) != 0, QLocale::system()};
  const int code = meltor::cli::Run(app->arguments().mid(1), console);
  out.flush();
  return code;
}
