// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "batch_output.h"
#include "calculation.h"
#include "climb_tables.h"
#include "command_support.h"
#include "csv.h"
#include "file_writer.h"
#include "flight_fields.h"
#include "picture_output.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

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
  // How the input is read: its encoding, and its delimiter (nullopt: from the header).
  CsvEncoding encoding = CsvEncoding::Auto;
  std::optional<char> inputDelimiter;
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
  for (const QString& option : {u"delimiter"_s, u"input-delimiter"_s}) {
    if (!options.has(option)) continue;
    const std::optional<char> delimiter = CsvDelimiterNamed(options.value(option));
    if (!delimiter) {
      return UsageError{u"--%1 «%2» — допустимы «,», «;», «\\t» или tab"_s.arg(
          option, Visible(options.value(option)))};
    }
    (option == u"delimiter"_s ? choice.delimiter : choice.inputDelimiter) = delimiter;
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
  if (options.has(u"encoding"_s)) {
    const std::optional<CsvEncoding> encoding = CsvEncodingNamed(options.value(u"encoding"_s));
    if (!encoding) {
      return UsageError{u"--encoding «%1» — допустимы %2"_s.arg(
          Visible(options.value(u"encoding"_s)), CsvEncodingChoices())};
    }
    choice.encoding = *encoding;
  }
  return choice;
}

// Maps each input column to the flight input it fills. A name no input has, or one named twice,
// is a usage error.
std::variant<std::vector<InputColumn>, UsageError> MapHeader(const QStringList& header) {
  std::vector<InputColumn> columns;
  for (const QString& raw : header) {
    const QString name = raw.trimmed().toLower();
    const auto& all = InputColumns();
    const auto it = std::find_if(all.begin(), all.end(),
                                 [&](const InputColumnInfo& c) { return c.name == name; });
    if (it == all.end()) {
      QStringList known;
      for (const InputColumnInfo& c : all) known << c.name;
      const QString hint = name.startsWith(QChar(0xFEFF))
                               ? u" (в начале — вторая метка порядка байтов)"_s
                               : QString();
      return UsageError{u"неизвестный столбец «%1»%2; допустимы: %3"_s.arg(Visible(raw), hint,
                                                                           known.join(u", "_s))};
    }
    if (std::find(columns.begin(), columns.end(), it->column) != columns.end()) {
      return UsageError{u"столбец «%1» указан дважды"_s.arg(Visible(raw))};
    }
    columns.push_back(it->column);
  }
  return columns;
}

// The count of rows done and the pace, on a terminal, for a batch that takes a while. Rewrites
// one line.
class Progress {
 public:
  explicit Progress(Console& io) : io_(io) { timer_.start(); }

  void Step() {
    ++rows_;
    if (!io_.errIsTerminal || (rows_ & 0xFF) != 0) return;
    const qint64 now = timer_.elapsed();
    if (now < kDelayMs || now - shownAt_ < kIntervalMs) return;
    shownAt_ = now;
    Show({});
  }

  void Finish() {
    if (shownAt_ >= 0) Show(u"\n"_s);
  }

 private:
  static constexpr qint64 kDelayMs = 1000;
  static constexpr qint64 kIntervalMs = 200;

  void Show(const QString& end) {
    const qint64 ms = std::max<qint64>(timer_.elapsed(), 1);
    Print(io_.err, u"\rmeltor-cli batch: обработано строк: %1, строк в секунду: %2"_s.arg(
                       QString::number(rows_), QString::number(rows_ * 1000 / ms)) +
                       end);
    io_.err.waitForBytesWritten(0);
  }

  Console& io_;
  QElapsedTimer timer_;
  qint64 rows_ = 0;
  qint64 shownAt_ = -1;
};

// "2 из 5 строк не рассчитаны", in the grammar of the numbers.
QString FailedSummary(qint64 failed, qint64 rows) {
  const auto one = [](qint64 n) { return n % 10 == 1 && n % 100 != 11; };
  return u"%1 из %2 %3 не %4"_s.arg(QString::number(failed), QString::number(rows),
                                    one(rows) ? u"строки"_s : u"строк"_s,
                                    one(failed) ? u"рассчитана"_s : u"рассчитаны"_s);
}

int RunBatch(const Call& call, Console& io) {
  const ParsedOptions& options = call.options;
  const auto chosen = ChooseOutput(options);
  if (const auto* usage = std::get_if<UsageError>(&chosen)) return call.Usage(io, usage->message);
  const OutputChoice& choice = std::get<OutputChoice>(chosen);

  const QString inputName = options.positionals.value(0, u"-"_s);
  std::unique_ptr<QFile> file;
  QIODevice* input = &io.in;
  if (inputName != u"-"_s) {
    file = std::make_unique<QFile>(inputName);
    if (!file->open(QIODevice::ReadOnly)) {
      Print(io.err, u"meltor-cli: не удалось открыть входной файл «%1»: %2\n"_s.arg(
                        inputName, file->errorString()));
      return kExitUsage;
    }
    input = file.get();
  }
  const QString shownName = inputName == u"-"_s ? u"стандартный ввод"_s : inputName;
  const auto readFailure = [&](const CsvError& e) {
    Print(io.err,
          u"meltor-cli: %1, строка %2: %3\n"_s.arg(shownName, QString::number(e.line), e.message));
    return kExitUsage;
  };

  CsvReader reader(*input, choice.inputDelimiter);  // without one, the header names it
  reader.SetEncoding(choice.encoding);
  const std::optional<QStringList> header = reader.Next();
  if (reader.error()) return readFailure(*reader.error());
  if (reader.problem()) return readFailure(*reader.problem());
  if (const QString note = reader.encodingNote(); !note.isEmpty()) {
    Print(io.err,
          u"meltor-cli: %1: %2 (другую кодировку задаёт --encoding)\n"_s.arg(shownName, note));
  }
  // Said with a row whose fields do not match the header, where a delimiter misread is the
  // likely cause.
  const QString delimiterHint =
      reader.delimiterFound()
          ? u" — разделитель %1 определён по заголовку, другой задаёт --input-delimiter"_s.arg(
                CsvDelimiterShown(reader.delimiter()))
          : QString();
  std::vector<InputColumn> columns;
  if (header) {
    auto mapped = MapHeader(*header);
    if (const auto* usage = std::get_if<UsageError>(&mapped)) return call.Usage(io, usage->message);
    columns = std::move(std::get<std::vector<InputColumn>>(mapped));
  }

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

  Progress progress(io);
  BatchTotals totals;
  qint64 row = 0;
  QString pictureError;
  files::DeferredSync pictureSync;  // the pictures reach the disk together, at the end
  while (const std::optional<QStringList> record = reader.Next()) {
    if (checked && checked->failed()) break;  // nothing more reaches the output
    FlightTexts texts;
    QString error;
    const qsizetype n = std::min<qsizetype>(record->size(), static_cast<qsizetype>(columns.size()));
    for (qsizetype i = 0; i < n; ++i) texts[columns[static_cast<std::size_t>(i)]] = (*record)[i];
    if (reader.problem()) {
      error = u"строка %1: %2"_s.arg(QString::number(reader.problem()->line),
                                     reader.problem()->message);
    } else if (record->size() != static_cast<qsizetype>(columns.size())) {
      error = u"строка %1: полей %2, а в заголовке %3%4"_s.arg(
          QString::number(reader.recordLine()), QString::number(record->size()),
          QString::number(columns.size()), delimiterHint);
    }
    const std::optional<DayNight> dayNight = ParseDayNight(texts[InputColumn::DayNight]);
    if (!dayNight && error.isEmpty()) {
      error = u"day_night: «%1» — допустимо day, night, днём, ночью или пусто"_s.arg(
          Visible(texts[InputColumn::DayNight]));
    }
    if (error.isEmpty() && !TypeEntry(texts[InputColumn::Type])) {
      error = u"type (%1): %2"_s.arg(FieldCaption(Field::Typ),
                                     UnknownTypeMessage(texts[InputColumn::Type]));
    }

    ResultTexts labels;
    ClearResults(labels);
    QStringList warnings;
    const bool calculated = error.isEmpty();
    std::optional<TimeBreakdown> minutes;
    if (error.isEmpty()) {
      const CalcOutcome outcome =
          CalculateFlight(ToFlightInput(texts, *dayNight), tables, io.locale);
      for (const InputWarning& w : outcome.warnings) {
        warnings << WarningText(w, InputNaming::Column);
      }
      labels = outcome.labels;
      if (options.has(u"pictures"_s) &&
          !WriteRowPicture(options.value(u"pictures"_s), row + 1, &outcome, {}, pictureSync,
                           &pictureError)) {
        return ReportFailure(io, pictureError);
      }
      if (outcome.ok()) {
        totals.AddSuccess(outcome.minutes);
        minutes = outcome.minutes;
      } else {
        error = NamedMessage(*outcome.error, false);
      }
    }
    if (!error.isEmpty()) totals.AddFailure();
    if (options.has(u"pictures"_s) && !calculated &&
        !WriteRowPicture(options.value(u"pictures"_s), row + 1, nullptr, error, pictureSync,
                         &pictureError)) {
      return ReportFailure(io, pictureError);
    }
    ++row;

    output->Row(texts, labels, minutes, error, warnings.join(u"; "_s));
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
  if (reader.error()) return readFailure(*reader.error());
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
           u"Вывод — CSV с тем же разделителем и меткой порядка байтов, что у входа: введённые "
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
              {.name = u"input-delimiter"_s,
               .valueName = u"CHAR"_s,
               .help = u"разделитель полей входа: «,», «;» или табуляция; без параметра — тот, "
                       u"что делит заголовок на большее число полей"_s},
              {.name = u"bom"_s,
               .help = u"метка порядка байтов UTF-8 в начале вывода CSV (для Excel)"_s},
              {.name = u"no-bom"_s,
               .help = u"без метки порядка байтов; без --bom и --no-bom — как во входе"_s},
              {.name = u"encoding"_s,
               .valueName = u"NAME"_s,
               .help = u"кодировка входа: auto (по умолчанию: UTF-8, а если начало входа не в "
                       u"UTF-8 — windows-1251, о чём сказано на stderr), utf-8, windows-1251 "
                       u"(файлы Excel и 1С в русской Windows), koi8-r или cp866; вывод всегда в "
                       u"UTF-8 (для входа не в UTF-8 — с меткой порядка байтов)"_s},
              {.name = u"raw"_s,
               .help = u"введённые поля как есть, без апострофа перед тем, что похоже на "
                       u"формулу"_s},
          } +
          TablesOption(),
      .run = RunBatch,
      .drawsText = [](const ParsedOptions& o) { return o.has(u"pictures"_s); },
  };
}

}  // namespace meltor::cli
