// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "calculation.h"
#include "climb_tables.h"
#include "command_support.h"
#include "flight_fields.h"
#include "picture_output.h"

#include <vector>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

QString FieldHelp(const InputColumnInfo& c) {
  switch (c.column) {
    case InputColumn::Type:
      return u"тип самолёта, поле %1 (также L-39, Su-24, Su-25, Su-27, MiG-29, MiG-31)"_s.arg(
          c.fieldName);
    case InputColumn::Hours:
      return u"время полёта, часы, поле %1; по умолчанию 0"_s.arg(c.fieldName);
    case InputColumn::Minutes:
      return u"время полёта, минуты, поле %1"_s.arg(c.fieldName);
    case InputColumn::Clouds:
      return u"облачность, баллов, поле %1"_s.arg(c.fieldName);
    case InputColumn::Base:
      return u"нижняя граница облаков Нн, м, поле %1"_s.arg(c.fieldName);
    case InputColumn::Top:
      return u"верхняя граница облаков Нв, м, поле %1"_s.arg(c.fieldName);
    case InputColumn::VisKm:
      return u"видимость, км, поле %1"_s.arg(c.fieldName);
    case InputColumn::VisHm:
      return u"видимость, сотни м, поле %1"_s.arg(c.fieldName);
    case InputColumn::HoodClose:
      return u"высота закрытия шторки, м, поле %1"_s.arg(c.fieldName);
    case InputColumn::HoodOpen:
      return u"высота открытия шторки, м, поле %1"_s.arg(c.fieldName);
    case InputColumn::Height:
      return u"высота полёта, м, поле %1"_s.arg(c.fieldName);
    case InputColumn::DayNight:
      break;
  }
  return {};
}

const std::vector<OptionInfo>& CalcOptions() {
  static const std::vector<OptionInfo> options = [] {
    std::vector<OptionInfo> o{
        TablesOption(),
        {u"explain"_s, {}, u"после результатов — как они получены, по шагам расчёта"_s},
        {u"picture"_s, u"FILE"_s,
         u"рисунок разбора полёта в FILE: SVG, PNG — если имя оканчивается на .png"_s},
    };
    for (const InputColumnInfo& c : InputColumns()) {
      if (c.column == InputColumn::DayNight) {
        o.push_back({u"day"_s, {}, u"полёты днём (optDSMU)"_s});
        o.push_back(
            {u"night"_s, {}, u"полёты ночью (optNSMU); ни --day, ни --night — не выбрано"_s});
      } else {
        o.push_back({c.option, u"TEXT"_s, FieldHelp(c)});
      }
    }
    return o;
  }();
  return options;
}

}  // namespace

QString CalcOptionsHelp() {
  return OptionsHelp(CalcOptions());
}

int RunCalc(const QStringList& args, Console& io) {
  const auto parsed = ParseOptions(args, CalcOptions());
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    return ReportUsage(io, u"calc: "_s + usage->message);
  }
  const ParsedOptions& options = std::get<ParsedOptions>(parsed);
  if (!options.positionals.isEmpty()) {
    return ReportUsage(io, u"calc: лишний аргумент «%1»"_s.arg(options.positionals.front()));
  }
  if (!options.has(u"type"_s)) return ReportUsage(io, u"calc: нужен параметр --type"_s);
  if (options.has(u"day"_s) && options.has(u"night"_s)) {
    return ReportUsage(io, u"calc: --day и --night вместе не указываются"_s);
  }

  FlightTexts texts;
  for (const InputColumnInfo& c : InputColumns()) {
    if (!c.option.isEmpty() && options.has(c.option)) texts[c.column] = options.value(c.option);
  }
  const DayNight dayNight = options.has(u"day"_s)     ? DayNight::Day
                            : options.has(u"night"_s) ? DayNight::Night
                                                      : DayNight::None;

  const TablesLocation location = LocateTables(options);
  FileClimbTables tables(location.path, location.searched, FileClimbTables::Mode::Fresh);
  const bool explain = options.has(u"explain"_s);
  const CalcOutcome outcome =
      CalculateFlight(ToFlightInput(texts, dayNight), tables, io.locale, explain);

  QString text;
  if (outcome.ok()) {
    for (int i = 0; i < kResultCount; ++i) {
      text += ResultHeadings()[i] + u": "_s + outcome.labels.text[i] + u'\n';
    }
  }
  if (explain) {
    // The lines the calculation wrote as it went; a failed one ends with why it stopped.
    if (!text.isEmpty()) text += u'\n';
    text += u"Как получен результат:\n"_s;
    for (const QString& line : outcome.explanation) text += u"  "_s + line + u'\n';
  }
  Print(io.out, text);
  // Text an option held beyond the number read from it: said, but the result stands.
  for (const InputWarning& w : outcome.warnings) {
    Print(io.err, u"meltor-cli: предупреждение, "_s + WarningText(w, InputNaming::Option) + u'\n');
  }
  QString pictureError;
  if (options.has(u"picture"_s) &&
      !WritePicture(outcome, options.value(u"picture"_s), &pictureError)) {
    ReportFailure(io, pictureError);
    if (outcome.ok()) return kExitFailed;
  }
  if (!outcome.ok()) return ReportFailure(io, outcome.error->message());
  return kExitOk;
}

}  // namespace meltor::cli
