// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The calculation of one flight, from the texts of the input fields to the five result texts.
//
// Errors in core/. A step that cannot go on throws CalcError (errors.h): a complete Russian
// message for the pilot and the field to blame; the lookups behind ClimbTables throw it too. At
// the room's edge, CalculateFlight throws nothing: the outcome carries the error
// (CalcOutcome::error) and every result reads "-". What stops nothing but the pilot should know
// (text left unread in a field, a value no flight has, a negative result) is an InputWarning in
// CalcOutcome::warnings beside numbers that stand as calculated. Whoever calls a single step
// (ReadFlightRecord … BalanceMinutes, SelectProfile) catches CalcError itself.

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

// How far a calculation got: the step it was in when it stopped, or Done.
enum class CalcStep { Reading, Profile, Classify, Rounding, Balance, Done };

// What the one-minute balance did.
enum class BalanceMove { None, AddedToObl, TakenFromZaObl };

struct CalcOutcome {
  ResultTexts labels;              // the five texts; all "-" when the calculation failed
  TimeBreakdown minutes;           // the final times in minutes (valid when ok())
  FlightState state;               // as the calculation left it
  std::optional<CalcError> error;  // why the calculation stopped
  QStringList explanation;         // the path of the calculation, when asked for
  QList<InputWarning> warnings;    // text left unread in the fields read so far, failed or not
  // For the picture of the flight: the times in seconds just before rounding (valid from
  // Rounding on), the step reached and the minute the balance moved.
  TimeBreakdown seconds;
  Int16 TpolSeconds = 0;
  CalcStep reached = CalcStep::Reading;
  BalanceMove balance = BalanceMove::None;

  bool ok() const { return !error.has_value(); }
};

// Whether the calculation read `field`: it did unless it stopped before the field's turn (the
// boxes are read in a fixed order, the type and the day/night choice after them all).
bool FieldRead(const CalcOutcome& outcome, Field field);

// The one entry point of the window and the command-line tool.
CalcOutcome CalculateFlight(const FlightInput& input, ClimbTables& tables, const QLocale& locale,
                            bool explain = false);

}  // namespace meltor
