// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "batch_output.h"
#include "calculation.h"
#include "climb_tables.h"
#include "command_support.h"
#include "csv.h"
#include "file_writer.h"
#include "flight_fields.h"
#include "flight_rows.h"
#include "picture_output.h"

#include <memory>
#include <optional>
#include <variant>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

// What the options ask of the output. The delimiter and the byte order mark not given follow the
// input.
struct OutputChoice {
  bool json = false;
  std::optional<char> delimiter;
  std::optional<bool> byteOrderMark;
  bool minuteColumns = false;
  bool rawEcho = false;
  bool totals = false;
  QString output;  // a file, or empty for the standard output
  InputReading input;
};

std::variant<OutputChoice, UsageError> ChooseOutput(const ParsedOptions& options) {
  OutputChoice choice;
  const QString format = options.value(u"format"_s, u"csv"_s);
  if (format == u"json"_s) {
    choice.json = true;
  } else if (format != u"csv"_s) {
    return UsageError{u"--format «%1» — допустимы csv и json"_s.arg(Visible(format))};
  }
  for (const QString& csvOnly : {u"delimiter"_s, u"bom"_s, u"no-bom"_s, u"raw"_s}) {
    if (choice.json && options.has(csvOnly)) {
      return UsageError{u"--%1 относится только к выводу CSV"_s.arg(csvOnly)};
    }
  }
  if (options.has(u"delimiter"_s)) {
    choice.delimiter = CsvDelimiterNamed(options.value(u"delimiter"_s));
    if (!choice.delimiter) {
      return UsageError{u"--delimiter «%1» — допустимы «,», «;», «\\t» или tab"_s.arg(
          Visible(options.value(u"delimiter"_s)))};
    }
  }
  if (options.has(u"bom"_s) && options.has(u"no-bom"_s)) {
    return UsageError{u"--bom и --no-bom вместе не указываются"_s};
  }
  if (options.has(u"bom"_s)) choice.byteOrderMark = true;
  if (options.has(u"no-bom"_s)) choice.byteOrderMark = false;
  choice.minuteColumns = options.has(u"minute-columns"_s);
  choice.rawEcho = options.has(u"raw"_s);
  choice.totals = options.has(u"totals"_s);
  choice.output = options.value(u"output"_s);
  if (choice.output == u"-"_s) choice.output.clear();
  auto input = ReadInputReading(options);
  if (const auto* usage = std::get_if<UsageError>(&input)) return *usage;
  choice.input = std::get<InputReading>(input);
  return choice;
}

int RunBatch(const Call& call, Console& io) {
  const ParsedOptions& options = call.options;
  const auto chosen = ChooseOutput(options);
  if (const auto* usage = std::get_if<UsageError>(&chosen)) return call.Usage(io, usage->message);
  const OutputChoice& choice = std::get<OutputChoice>(chosen);

  FlightRows rows(call, io);
  if (const auto code =
          rows.Open(options.positionals.value(0, u"-"_s), choice.input, FlightRows::Columns())) {
    return *code;
  }
  const CsvReader& reader = rows.reader();

  // The output goes to a file only when it has been written whole.
  std::unique_ptr<files::FileWriter> saved;
  std::unique_ptr<CheckedOutput> savedCheck;
  QIODevice* out = &io.out;
  if (!choice.output.isEmpty()) {
    saved = std::make_unique<files::FileWriter>(choice.output);
    if (!saved->Open()) return ReportFailure(io, u"файл вывода "_s + saved->failure());
    savedCheck = std::make_unique<CheckedOutput>(*saved);
    out = savedCheck.get();
  }
  auto* checked = dynamic_cast<CheckedOutput*>(out);

  CsvDialect dialect;
  dialect.delimiter = choice.delimiter.value_or(reader.delimiter());
  // A spreadsheet reads UTF-8 without the mark as its own code page.
  dialect.byteOrderMark = choice.byteOrderMark.value_or(reader.byteOrderMark() || !reader.utf8());
  dialect.minuteColumns = choice.minuteColumns;
  dialect.rawEcho = choice.rawEcho;
  const std::unique_ptr<BatchOutput> output =
      choice.json ? MakeJsonOutput(*out, choice.totals) : MakeCsvOutput(*out, dialect);

  // The tables are a snapshot for the length of the run: read once, used for every row.
  const TablesLocation location = LocateTables(options);
  FileClimbTables tables(location.path, location.searched, FileClimbTables::Mode::Snapshot);

  Progress progress(io, u"batch"_s);
  BatchTotals totals;
  qint64 row = 0;
  QString pictureError;
  files::DeferredSync pictureSync;  // the pictures reach the disk together, at the end
  FlightRows::Row flight;
  while (rows.Next(flight)) {
    if (checked && checked->failed()) break;  // nothing more reaches the output
    const RowCalculation done = CalculateRow(flight, tables, io.locale);
    ResultTexts labels;
    ClearResults(labels);
    std::optional<TimeBreakdown> minutes;
    if (done.outcome) {
      labels = done.outcome->labels;
      if (done.outcome->ok()) {
        totals.AddSuccess(done.outcome->minutes);
        minutes = done.outcome->minutes;
      }
    }
    if (!done.ok()) totals.AddFailure();
    // A flight that stopped shows what was read up to the failure; one never calculated, why.
    if (options.has(u"pictures"_s) &&
        !WriteRowPicture(options.value(u"pictures"_s), row + 1,
                         done.outcome ? &*done.outcome : nullptr,
                         done.outcome ? QString() : done.error, pictureSync, &pictureError)) {
      return ReportFailure(io, pictureError);
    }
    ++row;

    output->Row(flight.texts, labels, minutes, done.error, done.warnings.join(u"; "_s));
    progress.Step();
  }
  progress.Finish();

  // Totals of a file read only in part would pass for the file's; a read fault leaves them out.
  output->Finish(choice.totals && !reader.error() ? &totals : nullptr);
  if (options.has(u"pictures"_s)) {
    if (!pictureSync.Finish()) return ReportFailure(io, u"--pictures: "_s + pictureSync.failure());
    const QString earlier = EarlierPictures(options.value(u"pictures"_s), row);
    if (!earlier.isEmpty()) Print(io.err, u"meltor-cli: предупреждение: %1\n"_s.arg(earlier));
  }
  if (const auto code = rows.Failure()) return *code;
  if (saved) {
    if (!savedCheck->Finish() || !saved->Commit()) {
      saved->Discard();
      return ReportFailure(
          io, saved->failure().isEmpty()
                  ? u"файл вывода «%1» не записан: %2"_s.arg(choice.output, savedCheck->failure())
                  : u"файл вывода "_s + saved->failure());
    }
  } else if (checked && checked->failed()) {
    return kExitFailed;  // Run reports the failed write
  }
  if (totals.failed > 0) return ReportFailure(io, FailedSummary(totals.failed, totals.rows));
  return kExitOk;
}

}  // namespace

Command BatchCommand() {
  return {
      .name = u"batch"_s,
      .arguments = u"[ФАЙЛ.csv | -]"_s,
      .maxArguments = 1,
      .summary = u"полёты из файла CSV"_s,
      .description =
          {u"Полёты из файла CSV (без файла или «-» — стандартный ввод), по строке на полёт. "
           u"Первая строка — заголовок из столбцов в любом порядке: type — тип самолёта; hours и "
           u"minutes — время полёта, ч и мин; clouds — облачность, баллов; base и top — Нн и Нв, "
           u"м; vis_km и vis_hm — видимость, км и сотни м; day_night — day, night, днём, ночью или "
           u"пусто; hood_close и hood_open — высоты закрытия и открытия шторки, м; height — высота "
           u"полёта, м. Недостающий столбец — пустое поле (hours — «0»)."_s,
           u"Разделитель — запятая, точка с запятой или табуляция, как в заголовке; кавычки — по "
           u"RFC 4180. Строка, которую нельзя прочитать (байт не в кодировке, лишняя кавычка), "
           u"получает ошибку, чтение идёт со следующей; запись длиннее 1 МБ останавливает "
           u"чтение."_s,
           u"Вывод — CSV в UTF-8 с тем же разделителем и меткой порядка байтов, что у входа (для "
           u"входа не в UTF-8 — с меткой): введённые "
           u"столбцы, zak_kab, obl, za_obl, ogr_vid, smu, error и warnings. Строка, расчёт которой "
           u"не удался, получает «-» в результатах и сообщение в error; текст поля, прочитанный "
           u"не целиком, отмечен в warnings; остальные строки считаются. Введённое поле, которое "
           u"электронная таблица приняла бы за формулу (начало =, +, -, @), выводится с "
           u"апострофом впереди, если это не число."_s,
           u"Коды выхода: 0 — рассчитаны все строки; 1 — часть строк не рассчитана (в stderr — "
           u"«N из M строк не рассчитаны») или вывод не записан; 2 — ошибка в командной строке "
           u"или входной файл не прочитан."_s},
      .options =
          OptionSet{
              {.name = u"output"_s,
               .valueName = u"FILE"_s,
               .help = u"вывод в файл: он заменяется, только когда записан целиком; без "
                       u"параметра или «-» — стандартный вывод"_s,
               .shortName = u"o"_s,
               .path = OptionInfo::Path::File},
              {.name = u"format"_s,
               .valueName = u"csv|json"_s,
               .help = u"вид вывода: csv (по умолчанию) или json"_s,
               .shortName = u"f"_s},
              {.name = u"pictures"_s,
               .valueName = u"DIR"_s,
               .help = u"рисунки разбора полётов в папку DIR, по файлу SVG на строку: 1.svg, "
                       u"2.svg, …"_s,
               .shortName = u"p"_s,
               .path = OptionInfo::Path::Folder},
              {.name = u"totals"_s,
               .help = u"в конце — итог: суммы по рассчитанным строкам и число ошибок"_s,
               .shortName = u"s"_s},
              {.name = u"minute-columns"_s,
               .help = u"добавить столбцы zak_kab_min, obl_min, za_obl_min, ogr_vid_min, smu_min "
                       u"— те же времена целыми минутами (0 вместо «-» и «ПМУ»)"_s,
               .shortName = u"M"_s},
              {.name = u"delimiter"_s,
               .valueName = u"CHAR"_s,
               .help = u"разделитель полей вывода CSV: «,», «;» или табуляция («\\t», tab); без "
                       u"параметра — как во входе"_s,
               .shortName = u"d"_s},
              {.name = u"bom"_s,
               .help = u"метка порядка байтов UTF-8 в начале вывода CSV (для Excel)"_s},
              {.name = u"no-bom"_s,
               .help = u"без метки порядка байтов; без --bom и --no-bom — как во входе"_s},
              {.name = u"raw"_s,
               .help = u"введённые поля как есть, без апострофа перед тем, что похоже на "
                       u"формулу"_s},
          } +
          InputReadingOptions() + TablesOption(),
      .run = RunBatch,
      .drawsText = [](const ParsedOptions& o) { return o.has(u"pictures"_s); },
  };
}

}  // namespace meltor::cli
