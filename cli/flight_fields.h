// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The inputs of one flight as the command line and the batch file name them. Both follow the
// window: every text goes to the core exactly as the matching field would hold it.

#include "flight.h"

#include <QString>

#include <array>
#include <optional>

namespace meltor::cli {

enum class InputColumn {
  Type,
  Hours,
  Minutes,
  Clouds,
  Base,
  Top,
  VisKm,
  VisHm,
  DayNight,
  HoodClose,
  HoodOpen,
  Height,
};
inline constexpr int kInputColumnCount = 12;

struct InputColumnInfo {
  InputColumn column;
  QString name;                  // the batch column
  QString option;                // the calc option, without dashes; empty for day/night
  QString FlightInput::*member;  // the window field; null for day/night
  QString fieldName;             // the window field's name, for the help
};

// In the order of the batch output.
const std::array<InputColumnInfo, kInputColumnCount>& InputColumns();

// The text a field holds when the input leaves it out: "0" for the hours, as the window starts,
// empty for the others.
QString DefaultText(InputColumn column);

// The Latin names L-39, Su-24, ... (any letter case) become the entries of the type list; any other
// text is returned unchanged, for the core to judge.
QString TypeEntry(const QString& text);

// The day/night column: "day", "night", "днём", "ночью" (any letter case, "днем" too) or empty.
// nullopt for anything else.
std::optional<DayNight> ParseDayNight(const QString& text);

// The inputs as texts, one per column, turned into the window's fields.
struct FlightTexts {
  std::array<QString, kInputColumnCount> text;

  FlightTexts();  // every column at its default
  QString& operator[](InputColumn c) { return text[static_cast<int>(c)]; }
  const QString& operator[](InputColumn c) const { return text[static_cast<int>(c)]; }
};

// The window's fields for `texts`; the day/night text must have passed ParseDayNight.
FlightInput ToFlightInput(const FlightTexts& texts, DayNight dayNight);

// A warning of the calculation about a field's text, led by the name the command line gives
// that field: the calc option ("--vis-km") or, for a batch, the column ("vis_km").
enum class InputNaming { Option, Column };
QString WarningText(const InputWarning& warning, InputNaming naming);

}  // namespace meltor::cli
