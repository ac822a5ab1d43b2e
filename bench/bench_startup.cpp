// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The window's start: from main() to the first painted frame of the main window, and the
// process's peak memory. Prints one line: "startup_ms=<ms> peak_rss_kb=<kB>".
#include "first_paint.h"
#include "main_window.h"
#include "message_sink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

int main(int argc, char* argv[]) {
  QElapsedTimer clock;
  clock.start();
  QApplication app(argc, argv);
  meltor::MessageBoxSink messages;
  meltor::MainWindow window(messages);
  const qint64 nanoseconds = ShowUntilFirstPaint(window, window, clock);
  if (nanoseconds < 0) return 1;
  std::printf("startup_ms=%.2f peak_rss_kb=%ld\n", static_cast<double>(nanoseconds) / 1e6,
              PeakRssKb());
  return 0;
}
