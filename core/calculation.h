// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The calculation of one flight, from the texts of the input fields to the five result texts.

#include "flight.h"
#include "lookups.h"
#include "results.h"

#include <QLocale>

#include <optional>

namespace meltor {

// Sets the seven times to 0.
void ResetTimes(TimeBreakdown& t);

// Reads every input field into state.rec, in the fixed order: Hpol, Tpol, Bal, Hn, Hv, Vid,
// ShtorkaZ, ShtorkaO. Whole-text numbers follow `locale`.
void ReadFlightRecord(FlightState& state, const FlightInput& input, const QLocale& locale);

// Decides which categories receive which times (cases 1a to 3f); calls the lookups where a case
// needs climb times. Times in seconds.
void Classify(FlightState& state, ClimbTables& tables);

// Seconds to whole minutes (half to even), each value on its own; then TSMU.
void RoundToMinutes(FlightState& state);

// Moves one minute into TObl or out of TZaObl when the rounded categories no longer add up to
// the rounded flight time (only for flights without hood heights that have limited-visibility
// time).
void BalanceMinutes(FlightState& state);

struct CalcOutcome {
  ResultTexts labels;              // the five texts; all "-" when the calculation failed
  TimeBreakdown minutes;           // the final times in minutes (valid when ok())
  FlightState state;               // as the calculation left it
  std::optional<CalcError> error;  // why the calculation stopped
  QStringList explanation;         // the path of the calculation, when asked for
  QList<InputWarning> warnings;    // text left unread in the fields read so far, failed or not

  bool ok() const { return !error.has_value(); }
};

// The one entry point of the window and the command-line tool.
CalcOutcome CalculateFlight(const FlightInput& input, ClimbTables& tables, const QLocale& locale,
                            bool explain = false);

}  // namespace meltor
