// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// What no real flight has, told beside the results: a negative flight time, 12 tenths of cloud, a
// height below the ground or above 30000 m, a hood closed above the flight height, a cloud base
// above its top, and results that came out negative because more was subtracted than there was.
// Nothing here changes a number: the calculation goes on as it always does, and each finding is
// an InputWarning in the pilot's words, naming the field or the result and the likely cause.

#include "flight.h"

namespace meltor {

// The highest height the checks take for a real one, in metres.
inline constexpr int kHighestPlausibleHeight = 30000;

// Appends a warning to state.warnings for every input value no flight has; called once the
// flight record is read. `hours` and `minutes` are the flight time as typed; `topGiven` is false
// when the cloud top was empty or 0 and 12000 m stands in for it.
void WarnImplausibleInputs(FlightState& state, double hours, double minutes, bool topGiven);

// Appends a warning for every category that came out negative, with its likely cause, and one for
// the total when a negative category lowered it; called once the minutes are final (state.t).
// `seconds` are the times just before rounding, `flightSeconds` the flight time in seconds.
void WarnImplausibleResults(FlightState& state, const TimeBreakdown& seconds, int flightSeconds);

// When the cloud base lies above the cloud top: what the pilot is told first about a lookup
// that stopped on it. Empty otherwise.
QString BaseAboveTopCause(const FlightRecord& r);

}  // namespace meltor
