// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// What «Считать» waits for. The button is enabled by the readiness check of the main window once
// the weather set or the hood set of fields is filled, and is never disabled again; until then
// its tooltip and the window's status line say which fields are still empty.

#include "errors.h"
#include "flight.h"

#include <QList>
#include <QString>

namespace meltor {

class Readiness {
 public:
  // Reads every field of `input` before anything is tested. A field is filled when its text is
  // not empty: blanks and letters count.
  explicit Readiness(const FlightInput& input);

  // The weather set: type, hours, minutes, cloud amount, cloud base, visibility in km, day or
  // night and flight height. The hood set: type, hours, minutes and both hood heights.
  bool weather() const { return weatherMissing_.isEmpty(); }
  bool hood() const { return hoodMissing_.isEmpty(); }

  // The empty fields of each set, in the order of the window.
  const QList<Field>& weatherMissing() const { return weatherMissing_; }
  const QList<Field>& hoodMissing() const { return hoodMissing_; }

  // The disabled button's tooltip: what enables it, and what each set still lacks. Empty once
  // the button is `enabled`.
  QString ToolTip(bool enabled) const;
  // The window's status line: the same, short. Empty once the button is `enabled`.
  QString Status(bool enabled) const;

 private:
  QList<Field> weatherMissing_;
  QList<Field> hoodMissing_;
};

}  // namespace meltor
