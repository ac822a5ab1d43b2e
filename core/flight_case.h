// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The classification case of a flight, and what the explanation and the picture ask of it. The
// case decides which categories receive which times; its name ("3c") is written here and nowhere
// else.

#include <QString>

#include <cstdint>

namespace meltor {

// Group 1: under 8 tenths of cloud, only the visibility counts. Group 2: 8 tenths or more, the
// flight stays below the cloud base. Group 3: 8 tenths or more, the flight reaches the base.
enum class FlightCase : std::uint8_t {
  None,  // not classified: the calculation stopped before
  Case1a,
  Case1b,
  Case1c,
  Case2a,
  Case2b,
  Case2c,
  Case2d,
  Case3a,
  Case3b,
  Case3c,
  Case3d,
  Case3e,
  Case3f,
};

enum class CaseGroup { None, FewClouds, BelowCloudBase, ReachesCloudBase };

CaseGroup GroupOf(FlightCase c);

// The time under the hood is credited (both hood heights above 0, and the case counts it).
bool UsesHood(FlightCase c);

// The weather was below the minima (for group 1: the visibility alone).
bool BelowMinima(FlightCase c);

// Group 3 with the hood, told by the climb times: the middle of the hood band lies above the
// cloud base (3a, 3d), so the time above cloud runs up to it; otherwise (3b, 3e) the closed
// cockpit is credited less the time in cloud.
bool HoodAboveCloudBase(FlightCase c);
bool HoodLessCloud(FlightCase c);

// The case's name for display: "1a" … "3f"; empty for None.
QString CaseText(FlightCase c);

// The case in words: "Случай 3c: облачность ≥ 8 баллов, полёт достиг нижней границы; ниже
// минимума; без шторки". Empty for None.
QString CaseWords(FlightCase c);

}  // namespace meltor
