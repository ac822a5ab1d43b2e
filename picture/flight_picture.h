// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The picture of one flight: how its minutes were split on a timeline, and the heights and
// weather minima that decided the case. Drawn from what the calculation recorded, never worked
// out again, so that it cannot disagree with the results. QtGui and QtSvg only: the window, the
// command-line tool and the tests draw it the same way.
//
// Errors in picture/. Laying out and drawing cannot fail: a calculation that stopped is drawn too,
// with what it read and why it stopped. Writing a file is the one thing that can, and it answers
// as files::FileWriter does, the Qt way: false, and the reason, a complete Russian sentence, in
// the QString the caller passed. Nothing here throws.

#include "calculation.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>

class QPainter;

namespace meltor {

// What a stretch of the flight counts as in the logbook.
enum class PictureCategory { OgrVid, Obl, ZaObl, ZakKab, NotCounted };

// A stretch of time, in seconds from the start of the flight.
struct TimeSpan {
  int from = 0;
  int to = 0;
};

// One category on the timeline, with the calculation's own numbers.
struct TimelineSegment {
  PictureCategory category = PictureCategory::NotCounted;
  QList<TimeSpan> spans;  // where it lies; one or two pieces
  int seconds = 0;        // before rounding
  int minutes = 0;        // final, as the result label shows it (0 for NotCounted)
  int balance = 0;        // +1 or -1 when the one-minute balance moved a minute here
  QString caption;        // "в обл. 5 мин"
  QString where;          // "в облаках"
  QString rounding;       // "150 с = 2 мин 30 с → 2 мин", empty when nothing moved
};

// A height on the height scale.
struct HeightMark {
  enum Kind { Ground, CloudBase, CloudTop, Flight, HoodClose, HoodOpen, Minimum };
  Kind kind = Ground;
  int height = 0;
  QString text;
};

struct FlightPictureLayout {
  QString title;
  QString subtitle;

  // A calculation that stopped: why, and what was read up to that point.
  bool failed = false;
  QString failure;
  QStringList readFields;  // "Высота п-та, м: 3000", "Облачность, баллов: ошибка", ...

  // The timeline, 0 to the flight time.
  bool timeline = false;
  int flightSeconds = 0;
  int flightMinutes = 0;
  QList<TimelineSegment> segments;
  // Where the calculation counted the closed cockpit: the stretches of its category, whose
  // seconds it credited under the hood. Empty when the hood was not counted.
  QList<TimeSpan> hood;
  bool hoodCase = false;  // the case counts the hood (its time may still come out negative)
  // The warnings of the calculation, then the hood as counted, the rounding of the sum and the
  // balance, and anything the scale cannot show.
  QStringList notes;

  // The five results as the labels show them.
  std::array<QString, kResultCount> results;

  // The heights.
  bool heights = false;
  bool cloudCounts = false;  // 8 tenths or more: the cloud layer is drawn, and its heights
  QString cloudCaption;
  int cloudBase = 0;
  int cloudTop = 0;
  QList<HeightMark> marks;
  QStringList minimaLines;  // the comparisons that decided the case
  QString verdict;  // «ниже минимума» or «в пределах минимума»; empty when not reached
};

// The picture's size in device-independent pixels; it is drawn for this size and scaled.
QSize FlightPictureSize();

// Everything the picture shows, as data; the drawing only places it.
FlightPictureLayout LayoutFlightPicture(const CalcOutcome& outcome);

// Draws onto any paint device, in FlightPictureSize() coordinates.
void DrawFlightPicture(QPainter& painter, const FlightPictureLayout& layout);

// The picture as an image, `scale` times its size.
QImage FlightPictureImage(const CalcOutcome& outcome, qreal scale = 1.0);

// The picture as an SVG document.
QByteArray FlightPictureSvg(const CalcOutcome& outcome);

// Writes the picture to `path` (files::FileWriter: whole or not at all): PNG when the name ends
// in .png, SVG otherwise. On failure returns false and says why in `error`: "«x.svg» не записан:
// нет прав на запись".
bool SaveFlightPicture(const CalcOutcome& outcome, const QString& path, QString* error);

}  // namespace meltor
