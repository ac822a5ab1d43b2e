// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The inputs of one flight as the command line and the batch file name them. Both follow the
// window: every text goes to the core exactly as the matching field would hold it.

#include "errors.h"
#include "flight.h"
#include "flight_columns.h"
#include "options.h"

#include <QString>

#include <array>
#include <optional>
#include <variant>

namespace meltor::cli {

// The calc option of an input column, without dashes: "vis-km" for the column vis_km; empty for
// day/night, which has two flags (--day, --night).
struct InputOption {
  QString name;
  QString shortName;  // its one-letter form, or empty
};
const InputOption& OptionOf(InputColumn column);

// The text a field holds when the input leaves it out: "0" for the hours, as the window starts,
// empty for the others.
QString DefaultText(InputColumn column);

// The entry of the type list that `text` names: the entry itself (Л-39) or without its hyphen
// (Л39), its Latin form (L-39) or the spelling of the table names (L39), in any letter case,
// blanks around it aside; also with a blank or a dash for the hyphen (Су 27, Л–39) and with Latin
// letters that look like Cyrillic ones mixed in (Mиг-29 with a Latin M). Empty text stays empty
// (no type chosen); nullopt when the text names no type.
std::optional<QString> TypeEntry(const QString& text);

// Why `text` names no type, with every spelling TypeEntry accepts.
QString UnknownTypeMessage(const QString& text);

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

// The window's fields for `texts`, the type as its list entry when TypeEntry knows it; the
// day/night text must have passed ParseDayNight.
FlightInput ToFlightInput(const FlightTexts& texts, DayNight dayNight);

// The options of one flight, a field each ("--type" ... "--height"; "--day" and "--night" for the
// day/night choice), in the order of the batch columns: the set every command that takes a flight
// on the command line shares. --type is required.
const OptionSet& FlightOptions();

// A flight as its options give it.
struct FlightOptionValues {
  FlightTexts texts;
  DayNight dayNight = DayNight::None;
};

// The flight the options of FlightOptions() give; --day with --night is a usage error.
std::variant<FlightOptionValues, UsageError> ReadFlightOptions(const ParsedOptions& options);

// A warning of the calculation about a field's text, led by the name the command line gives
// that field: the calc option ("--vis-km") or, for a batch, the column ("vis_km").
enum class InputNaming { Option, Column };
QString WarningText(const InputWarning& warning, InputNaming naming);

// A calculation's message with the option (`--height`) or the batch column (`height`) that holds
// the field it names, beside the field's caption: "--height (Высота п-та, м): поле не заполнено".
QString NamedMessage(const CalcError& error, bool asOption);

}  // namespace meltor::cli
