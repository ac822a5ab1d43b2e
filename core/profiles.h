// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

#include "flight.h"

#include <QString>

#include <array>

namespace meltor {

enum class MinimaFamily { L39, General };
// The height at which the in-cloud table is entered: the cloud top, or the layer's thickness.
enum class HOblRule { CloudTop, LayerThickness };

// One aircraft type. The six live for the whole program, so a calculation keeps a pointer to the
// one it chose (FlightState::profile).
struct AircraftProfile {
  const char16_t* entry;  // the text of the type list's entry
  const char* suffix;     // the suffix of the two table names
  MinimaFamily family;
  HOblRule rule;

  QString Entry() const { return QString::fromUtf16(entry); }
  // The two table names: "Z_Time_Pod_L39" (below cloud) and "Z_Time_Obl_L39" (in cloud).
  QString PodTable() const;
  QString OblTable() const;
};

// The six types, in the order of the type list.
const std::array<AircraftProfile, 6>& AircraftProfiles();

// The list entries, in order.
QStringList AircraftTypeEntries();

// The profile whose entry equals `typeText` exactly; nullptr when none does.
const AircraftProfile* FindProfile(const QString& typeText);

WeatherMinima MinimaFor(MinimaFamily family, DayNight dayNight);

// Applies the profile of the type named by `typeText`: the profile itself, the two table names,
// the minima for the day/night choice and the in-cloud key HObl. Text that names no type stops the
// calculation.
void SelectProfile(FlightState& state, const QString& typeText, DayNight dayNight);

}  // namespace meltor
