// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "batch_output.h"
#include "calculation.h"
#include "climb_tables.h"
#include "command_support.h"
#include "csv.h"
#include "flight_fields.h"
#include "picture_output.h"

#include <QElapsedTimer>
#include <QFile>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

const std::vector<OptionInfo>& BatchOptions() {
  static const std::vector<OptionInfo> options{
      TablesOption(),
      {u"format"_s, u"csv|json"_s, u"вид вывода: csv (по умолчанию) или json"_s},
      {u"delimiter"_s, u"CHAR"_s,
       u"разделитель полей вывода CSV: «,» (по умолчанию), «;» или табуляция («\\t» или tab)"_s},
      {u"bom"_s, {}, u"метка порядка байтов UTF-8 в начале вывода CSV (для электронных таблиц)"_s},
      {u"totals"_s, {}, u"в конце — итог: суммы минут по удавшимся строкам и число ошибок"_s},
      {u"pictures"_s, u"DIR"_s,
       u"рисунки разбора полётов в папку DIR, по файлу SVG на строку: 1.svg, 2.svg, …"_s},
  };
  return options;
}

std::optional<char> ParseDelimiter(const QString& text) {
  if (text == u","_s) return ',';
  if (text == u";"_s) return ';';
  if (text == u"\t"_s || text == u"\\t"_s || text.compare(u"tab"_s, Qt::CaseInsensitive) == 0) {
    return '\t';
  }
  return std::nullopt;
}

// What the options ask of the output.
struct OutputChoice {
  bool json = false;
  CsvDialect dialect;
  bool totals = false;
};

std::variant<OutputChoice, UsageError> ChooseOutput(const ParsedOptions& options) {
  OutputChoice choice;
  const QString format = options.value(u"format"_s, u"csv"_s);
  if (format == u"json"_s) {
    choice.json = true;
  } else if (format != u"csv"_s) {
    return UsageError{u"batch: --format «%1» — допустимы csv и json"_s.arg(format)};
  }
  if (choice.json && (options.has(u"delimiter"_s) || options.has(u"bom"_s))) {
    return UsageError{u"batch: --delimiter и --bom относятся только к выводу CSV"_s};
  }
  if (options.has(u"delimiter"_s)) {
    const std::optional<char> delimiter = ParseDelimiter(options.value(u"delimiter"_s));
    if (!delimiter) {
      return UsageError{u"batch: --delimiter «%1» — допустимы «,», «;», «\\t» или tab"_s.arg(
          options.value(u"delimiter"_s))};
    }
    choice.dialect.delimiter = *delimiter;
  }
  choice.dialect.byteOrderMark = options.has(u"bom"_s);
  choice.totals = options.has(u"totals"_s);
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
      return UsageError{
          u"batch: неизвестный столбец «%1»; допустимы: %2"_s.arg(raw, known.join(u", "_s))};
    }
    if (std::find(columns.begin(), columns.end(), it->column) != columns.end()) {
      return UsageError{u"batch: столбец «%1» указан дважды"_s.arg(raw)};
    }
    columns.push_back(it->column);
  }
  return columns;
}

// The count of rows done, on a terminal, for a batch that takes a while. Rewrites one line.
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
  static constexpr qint64 kDelayMs = 500;
  static constexpr qint64 kIntervalMs = 200;

  void Show(const QString& end) {
    Print(io_.err, u"\rmeltor-cli batch: обработано строк: %1"_s.arg(rows_) + end);
    io_.err.waitForBytesWritten(0);
  }

  Console& io_;
  QElapsedTimer timer_;
  qint64 rows_ = 0;
  qint64 shownAt_ = -1;
};

}  // namespace

QString BatchOptionsHelp() {
  return OptionsHelp(BatchOptions());
}

int RunBatch(const QStringList& args, Console& io) {
  const auto parsed = ParseOptions(args, BatchOptions());
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    return ReportUsage(io, u"batch: "_s + usage->message);
  }
  const ParsedOptions& options = std::get<ParsedOptions>(parsed);
  if (options.positionals.size() > 1) {
    return ReportUsage(io, u"batch: указано больше одного входного файла"_s);
  }
  const auto chosen = ChooseOutput(options);
  if (const auto* usage = std::get_if<UsageError>(&chosen)) return ReportUsage(io, usage->message);
  const OutputChoice& choice = std::get<OutputChoice>(chosen);

  const QString inputName = options.positionals.value(0, u"-"_s);
  std::unique_ptr<QFile> file;
  QIODevice* input = &io.in;
  if (inputName != u"-"_s) {
    file = std::make_unique<QFile>(inputName);
    if (!file->open(QIODevice::ReadOnly)) {
      return ReportFailure(
          io, u"не удалось открыть входной файл «%1»: %2"_s.arg(inputName, file->errorString()));
    }
    input = file.get();
  }
  const QString shownName = inputName == u"-"_s ? u"стандартный ввод"_s : inputName;
  const auto readFailure = [&](const CsvError& e) {
    return ReportFailure(io, u"%1, строка %2: %3"_s.arg(shownName).arg(e.line).arg(e.message));
  };

  CsvReader reader(*input, std::nullopt);  // the header names the delimiter
  const std::optional<QStringList> header = reader.Next();
  if (reader.error()) return readFailure(*reader.error());
  std::vector<InputColumn> columns;
  if (header) {
    auto mapped = MapHeader(*header);
    if (const auto* usage = std::get_if<UsageError>(&mapped))
      return ReportUsage(io, usage->message);
    columns = std::move(std::get<std::vector<InputColumn>>(mapped));
  }

  const std::unique_ptr<BatchOutput> output =
      choice.json ? MakeJsonOutput(io.out, choice.totals) : MakeCsvOutput(io.out, choice.dialect);

  // The tables are a snapshot for the length of the run: read once, used for every row.
  const TablesLocation location = LocateTables(options);
  FileClimbTables tables(location.path, location.searched, FileClimbTables::Mode::Snapshot);

  Progress progress(io);
  BatchTotals totals;
  qint64 row = 0;
  QString pictureError;
  while (const std::optional<QStringList> record = reader.Next()) {
    FlightTexts texts;
    QString error;
    const qsizetype n = std::min<qsizetype>(record->size(), static_cast<qsizetype>(columns.size()));
    for (qsizetype i = 0; i < n; ++i) texts[columns[static_cast<std::size_t>(i)]] = (*record)[i];
    if (record->size() != static_cast<qsizetype>(columns.size())) {
      error = u"строка %1: полей %2, а в заголовке %3"_s.arg(reader.recordLine())
                  .arg(record->size())
                  .arg(columns.size());
    }
    const std::optional<DayNight> dayNight = ParseDayNight(texts[InputColumn::DayNight]);
    if (!dayNight && error.isEmpty()) {
      error = u"day_night: «%1» — допустимо day, night, днём, ночью или пусто"_s.arg(
          texts[InputColumn::DayNight]);
    }

    ResultTexts labels;
    ClearResults(labels);
    QStringList warnings;
    const bool calculated = error.isEmpty();
    if (error.isEmpty()) {
      const CalcOutcome outcome =
          CalculateFlight(ToFlightInput(texts, *dayNight), tables, io.locale);
      for (const InputWarning& w : outcome.warnings) {
        warnings << WarningText(w, InputNaming::Column);
      }
      labels = outcome.labels;
      if (options.has(u"pictures"_s) &&
          !WriteRowPicture(options.value(u"pictures"_s), row + 1, &outcome, {}, &pictureError)) {
        return ReportFailure(io, pictureError);
      }
      if (outcome.ok()) {
        totals.AddSuccess(outcome.minutes);
      } else {
        error = outcome.error->message();
      }
    }
    if (!error.isEmpty()) totals.AddFailure();
    if (options.has(u"pictures"_s) && !calculated &&
        !WriteRowPicture(options.value(u"pictures"_s), row + 1, nullptr, error, &pictureError)) {
      return ReportFailure(io, pictureError);
    }
    ++row;

    output->Row(texts, labels, error, warnings.join(u"; "_s));
    progress.Step();
  }
  progress.Finish();

  // Totals of a file read only in part would pass for the file's; a read fault leaves them out.
  output->Finish(choice.totals && !reader.error() ? &totals : nullptr);
  if (reader.error()) return readFailure(*reader.error());
  return kExitOk;
}

}  // namespace meltor::cli
