// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

#include "flight.h"

#include <QString>

#include <array>

namespace meltor {

enum class MinimaFamily { L39, General };
enum class HOblRule { CloudTop, LayerThickness };

struct AircraftProfile {
  const char16_t* entry;  // the text of the type list's entry
  const char* suffix;     // the suffix of the two table names
  MinimaFamily family;
  HOblRule rule;
};

// The six types, in the order of the type list.
const std::array<AircraftProfile, 6>& AircraftProfiles();

// The list entries, in order.
QStringList AircraftTypeEntries();

// The profile whose entry equals `typeText` exactly; nullptr when none does.
const AircraftProfile* FindProfile(const QString& typeText);

WeatherMinima MinimaFor(MinimaFamily family, DayNight dayNight);

// Applies the profile of the type named by `typeText`: the two table names, the minima for the
// day/night choice and the in-cloud key HObl. Text that names no type stops the calculation.
void SelectProfile(FlightState& state, const QString& typeText, DayNight dayNight);

}  // namespace meltor
