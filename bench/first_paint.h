// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The time from a started clock to the first paint of a widget, and the process's peak memory.
// Shared by the window benchmarks.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>

#include <cstdio>

class FirstPaint : public QObject {
 public:
  explicit FirstPaint(const QElapsedTimer& clock) : clock_(clock) {}
  qint64 nanoseconds = -1;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && nanoseconds < 0) {
      nanoseconds = clock_.nsecsElapsed();
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  const QElapsedTimer& clock_;
};

// Shows `window` and runs the event loop until `painted` (the window or a part of it) is first
// painted, at most 10 s. Returns the nanoseconds on `clock` then, or -1 (told on stderr) when no
// frame came.
inline qint64 ShowUntilFirstPaint(QWidget& window, QObject& painted, const QElapsedTimer& clock) {
  FirstPaint firstPaint(clock);
  painted.installEventFilter(&firstPaint);
  window.show();
  QTimer::singleShot(10'000, qApp, &QCoreApplication::quit);  // never wait for ever
  QCoreApplication::exec();
  painted.removeEventFilter(&firstPaint);
  if (firstPaint.nanoseconds < 0) std::fprintf(stderr, "no frame painted\n");
  return firstPaint.nanoseconds;
}

// The process's peak resident memory so far, in kB.
inline long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}
