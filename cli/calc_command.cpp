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

// What a pilot calls the value, with the caption of the window field it fills.
OptionInfo FieldOption(const InputColumnInfo& c) {
  const auto with = [&](const QString& valueName, const QString& words) {
    return OptionInfo{c.option, valueName, u"%1 (в окне: «%2»)"_s.arg(words, FieldCaption(c.field)),
                      c.shortOption};
  };
  switch (c.column) {
    case InputColumn::Type:
      return with(u"TYPE"_s,
                  u"тип самолёта: Л-39, Су-24, Су-25, Су-27, МиГ-29, МиГ-31; также "
                  u"L-39, Su-24 … MiG-31 и L39, Su24 … MiG31, в любом регистре"_s);
    case InputColumn::Hours:
      return with(u"HOURS"_s, u"время полёта, часы; без параметра — 0"_s);
    case InputColumn::Minutes:
      return with(u"MINUTES"_s, u"время полёта, минуты"_s);
    case InputColumn::Clouds:
      return with(u"TENTHS"_s, u"облачность, баллов (десятых долей неба)"_s);
    case InputColumn::Base:
      return with(u"METRES"_s, u"нижняя граница облаков Нн, м"_s);
    case InputColumn::Top:
      return with(u"METRES"_s, u"верхняя граница облаков Нв, м; 0 или пусто — 12000"_s);
    case InputColumn::VisKm:
      return with(u"KM"_s, u"видимость, целые км"_s);
    case InputColumn::VisHm:
      return with(u"HUNDREDS"_s, u"видимость, сотни метров (цифра после запятой)"_s);
    case InputColumn::HoodClose:
      return with(u"METRES"_s, u"высота, на которой закрыта шторка, м"_s);
    case InputColumn::HoodOpen:
      return with(u"METRES"_s, u"высота, на которой открыта шторка, м"_s);
    case InputColumn::Height:
      return with(u"METRES"_s, u"высота полёта, м"_s);
    case InputColumn::DayNight:
      break;
  }
  return {};
}

}  // namespace

const std::vector<OptionInfo>& CalcOptions() {
  static const std::vector<OptionInfo> options = [] {
    std::vector<OptionInfo> o;
    for (const InputColumnInfo& c : InputColumns()) {
      if (c.column == InputColumn::DayNight) {
        o.push_back({u"day"_s, {}, u"полёт днём (в окне: «днём»)"_s, u"d"_s});
        o.push_back({u"night"_s,
                     {},
                     u"полёт ночью (в окне: «ночью»); ни --day, ни --night — время суток не "
                     u"выбрано"_s,
                     u"n"_s});
      } else {
        o.push_back(FieldOption(c));
      }
    }
    o.push_back(
        {u"explain"_s, {}, u"после результатов — как они получены, по шагам расчёта"_s, u"e"_s});
    o.push_back({u"picture"_s, u"FILE"_s,
                 u"рисунок разбора полёта в FILE: SVG, PNG — если имя оканчивается на .png"_s,
                 u"p"_s});
    o.push_back(TablesOption());
    return o;
  }();
  return options;
}

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
    return ReportUsage(io,
                       u"calc: лишний аргумент «%1»"_s.arg(Visible(options.positionals.front())));
  }
  if (!options.has(u"type"_s)) return ReportUsage(io, u"calc: нужен параметр --type (-t)"_s);
  if (options.has(u"day"_s) && options.has(u"night"_s)) {
    return ReportUsage(io, u"calc: --day и --night вместе не указываются"_s);
  }

  FlightTexts texts;
  for (const InputColumnInfo& c : InputColumns()) {
    if (!c.option.isEmpty() && options.has(c.option)) texts[c.column] = options.value(c.option);
  }
  if (!TypeEntry(texts[InputColumn::Type])) {
    return ReportFailure(io,
                         u"--type (%1): %2"_s.arg(FieldCaption(Field::Typ),
                                                  UnknownTypeMessage(texts[InputColumn::Type])));
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
  if (!outcome.ok()) return ReportFailure(io, NamedMessage(*outcome.error, true));
  return kExitOk;
}

}  // namespace meltor::cli
