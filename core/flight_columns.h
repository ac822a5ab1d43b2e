// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The columns of a flight wherever flights are kept as rows: the batch's CSV, the journal's file
// and its CSV. One table here, so that every room names and orders them alike: the twelve inputs
// (the window field each fills, and the field an error names), the five results and their
// whole-minute forms.

#include "errors.h"
#include "flight.h"

#include <QString>

#include <array>
#include <optional>

namespace meltor {

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
  QString name;                  // the column: "type" … "height"
  QString FlightInput::*member;  // the window field; null for day/night
  Field field;                   // the field an error names
};

// In the order of the batch's columns.
const std::array<InputColumnInfo, kInputColumnCount>& InputColumns();

// The entry of column `column`.
const InputColumnInfo& InputColumnOf(InputColumn column);

// The result columns, zak_kab … smu, in the order of the five results.
const std::array<QString, kResultCount>& ResultColumns();

// The whole-minute columns, zak_kab_min … smu_min, in the same order.
const std::array<QString, kResultCount>& MinuteColumns();

// The day/night column as the rows spell it: "day", "night", or empty for no choice.
QString DayNightColumnText(DayNight dayNight);
// Its reverse for the program's own spelling; nullopt for any other text.
std::optional<DayNight> DayNightFromColumnText(const QString& text);

// The text of one input column of a flight: the field's text, or the day/night spelling.
QString InputColumnText(const FlightInput& input, const InputColumnInfo& column);

}  // namespace meltor
