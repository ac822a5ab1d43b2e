// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "calculation.h"
#include "climb_tables.h"
#include "command_support.h"
#include "flight_fields.h"
#include "picture_output.h"

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

int RunCalc(const Call& call, Console& io) {
  const ParsedOptions& options = call.options;
  const auto read = ReadFlightOptions(options);
  if (const auto* usage = std::get_if<UsageError>(&read)) return call.Usage(io, usage->message);
  const FlightOptionValues& flight = std::get<FlightOptionValues>(read);
  if (!TypeEntry(flight.texts[InputColumn::Type])) {
    return ReportFailure(
        io, u"--type (%1): %2"_s.arg(FieldCaption(Field::Typ),
                                     UnknownTypeMessage(flight.texts[InputColumn::Type])));
  }

  const TablesLocation location = LocateTables(options);
  FileClimbTables tables(location.path, location.searched, FileClimbTables::Mode::Fresh);
  const bool explain = options.has(u"explain"_s);
  const CalcOutcome outcome =
      CalculateFlight(ToFlightInput(flight.texts, flight.dayNight), tables, io.locale, explain);

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

}  // namespace

Command CalcCommand() {
  return {
      .name = u"calc"_s,
      .summary = u"один полёт"_s,
      .description =
          {u"Один полёт. Каждое значение читается так же, как текст в поле окна с тем же "
           u"названием; пропущенный параметр — пустое поле. Выводит пять строк «заголовок: "
           u"значение»; если расчёт не удался — сообщение в stderr, код выхода 1. Часы, минуты и "
           u"высота полёта читаются по правилам локали окружения (LC_ALL, LC_NUMERIC, LANG), "
           u"остальные числа — с точкой, до первого знака, который не продолжает число («4,5» — "
           u"это 4); если часть текста не прочитана, об этом пишется предупреждение в stderr."_s},
      .options =
          FlightOptions() +
          OptionSet{
              {.name = u"explain"_s,
               .help = u"после результатов — как они получены, по шагам расчёта"_s,
               .shortName = u"e"_s},
              {.name = u"picture"_s,
               .valueName = u"FILE"_s,
               .help = u"рисунок разбора полёта в FILE: SVG, PNG — если имя оканчивается на .png"_s,
               .shortName = u"p"_s,
               .path = OptionInfo::Path::File},
          } +
          TablesOption(),
      .run = RunCalc,
      .drawsText = [](const ParsedOptions& o) { return o.has(u"picture"_s); },
  };
}

}  // namespace meltor::cli
