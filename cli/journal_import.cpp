// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// meltor-cli journal import: the flights of a batch file, each with its date, calculated as batch
// calculates them and saved all together, or none.
#include "climb_tables.h"
#include "command_support.h"
#include "flight_rows.h"
#include "journal_commands.h"
#include "journal_csv.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

using journal::Journal;

// The columns import takes beside the inputs, by their index in FlightRows::Row::extra.
enum Extra { kDate, kBoard, kRemark };

// The columns a file of batch or journal export holds that import passes over without a word.
bool Known(const QString& column) {
  static const QStringList known = [] {
    QStringList k = journal::CsvHeader();
    k << u"error"_s;
    return k;
  }();
  return known.contains(column.trimmed().toLower());
}

int RunImport(const Call& call, Console& io) {
  const ParsedOptions& options = call.options;
  const auto reading = ReadInputReading(options);
  if (const auto* usage = std::get_if<UsageError>(&reading)) return call.Usage(io, usage->message);
  const auto place = ReadJournalPlace(options);
  if (const auto* usage = std::get_if<UsageError>(&place)) return call.Usage(io, usage->message);
  const bool skipFailed = options.has(u"skip-failed"_s);

  FlightRows rows(call, io);
  const FlightRows::Columns columns{{u"date"_s, u"board"_s, u"remark"_s}, true};
  if (const auto code =
          rows.Open(options.positionals.front(), std::get<InputReading>(reading), columns)) {
    return *code;
  }
  if (!rows.HasExtra(kDate)) {
    return call.Usage(io,
                      u"%1: нет столбца date — дата каждого полёта (ГГГГ-ММ-ДД или "
                      u"ДД.ММ.ГГГГ)"_s.arg(rows.shownName()));
  }
  QStringList unknown;
  for (const QString& column : rows.passedOver()) {
    if (!Known(column)) unknown << u"«%1»"_s.arg(column);
  }
  if (!unknown.isEmpty()) {
    Print(io.err, u"meltor-cli: %1: столбцы %2 не читаются и пропущены\n"_s.arg(
                      rows.shownName(), unknown.join(u", "_s)));
  }

  // Opened for writing before the first row: a journal that cannot take the flights says so at
  // once, and the import holds it until every row is in or none.
  const std::unique_ptr<Journal> j =
      OpenJournal(std::get<JournalPlace>(place), Journal::Access::Write, io);
  if (!j) return kExitFailed;
  auto import = j->BeginImport();
  if (!import) return ReportJournalError(io, import.error());

  // The tables are a snapshot for the length of the run, as for batch; their SHA-256 is taken
  // with the first flight calculated.
  const TablesLocation location = LocateTables(options);
  FileClimbTables tables(location.path, location.searched, FileClimbTables::Mode::Snapshot);
  std::optional<QString> sha;

  Progress progress(io, u"journal import"_s);
  qint64 total = 0;
  qint64 failed = 0;
  FlightRows::Row row;
  while (rows.Next(row)) {
    ++total;
    progress.Step();
    std::optional<QDate> date;
    if (row.error.isEmpty()) {
      const auto parsed = journal::ParseDate(row.extra[kDate]);
      if (parsed) {
        date = *parsed;
      } else {
        row.error = u"date: "_s + parsed.error().message;
      }
    }
    RowCalculation done = CalculateRow(row, tables, io.locale);
    if (done.ok() && !sha) {
      auto file = journal::FileSha256(location.path);
      if (!file) {
        return ReportFailure(io, file.error().message + u' ' + TablesIdentityNeeded() +
                                     u" Импорт не выполнен, журнал не изменён."_s);
      }
      sha = *file;
    }
    if (done.ok()) {
      const auto entry =
          journal::MakeEntry(*date, row.extra[kBoard], row.extra[kRemark],
                             ToFlightInput(row.texts, row.dayNight), *done.outcome, *sha);
      if (!entry) {
        done.error = entry.error().message;
      } else if (failed == 0 || skipFailed) {
        const auto added = (*import)->Add(*entry);
        if (!added) return ReportJournalError(io, added.error());
      }
    }
    if (!done.ok()) {
      ++failed;
      Print(io.err, u"meltor-cli: %1, строка %2: %3\n"_s.arg(
                        rows.shownName(), QString::number(row.line), done.error));
    }
  }
  progress.Finish();
  if (const auto code = rows.Failure()) {
    Print(io.err, u"meltor-cli: импорт не выполнен, журнал не изменён\n"_s);
    return *code;
  }
  if (failed > 0 && !skipFailed) {
    return ReportFailure(io, FailedSummary(failed, total) +
                                 u"; в журнал ничего не записано (остальные записывает "
                                 u"--skip-failed)"_s);
  }
  const auto counts = (*import)->Commit();
  if (!counts) return ReportJournalError(io, counts.error());
  Print(io.out,
        u"Журнал «%1»: записано полётов: %2; уже были в журнале и пропущены: %3.\n"_s.arg(
            j->path(), QString::number(counts->added), QString::number(counts->duplicates)));
  if (failed > 0) {
    return ReportFailure(io, FailedSummary(failed, total) + u"; остальные записаны в журнал"_s);
  }
  return kExitOk;
}

}  // namespace

Command JournalImportCommand() {
  return {
      .name = u"import"_s,
      .arguments = u"ФАЙЛ.csv | -"_s,
      .minArguments = 1,
      .maxArguments = 1,
      .missingArguments = u"нужен файл CSV с полётами («-» — стандартный ввод)"_s,
      .summary = u"полёты из файла CSV в журнал"_s,
      .description =
          {u"Полёты из файла CSV, как у batch, со столбцом date (ГГГГ-ММ-ДД или ДД.ММ.ГГГГ) и, "
           u"если есть, board и remark; другие столбцы (например, результаты в файле journal "
           u"export или batch) пропускаются. Каждая строка рассчитывается, как в batch; строка, "
           u"которая не рассчитана, называется в stderr с номером строки файла, и тогда в журнал "
           u"не записывается ничего — кроме --skip-failed, с которым записываются остальные."_s,
           u"Полёты записываются все вместе, одной транзакцией: прерванный импорт не оставляет в "
           u"журнале ни одного. Полёт, который уже есть в журнале (та же дата и те же введённые "
           u"значения), второй раз не записывается; сколько таких, сказано в выводе. Коды выхода: "
           u"0 — записаны все строки; 1 — часть строк не рассчитана или журнал не изменён; 2 — "
           u"ошибка в командной строке или файл не прочитан."_s},
      .options = OptionSet{{.name = u"skip-failed"_s,
                            .help = u"записать рассчитанные строки, пропустив те, что не "
                                    u"рассчитаны"_s}} +
                 InputReadingOptions() + TablesOption() + JournalOptions(),
      .run = RunImport,
  };
}

}  // namespace meltor::cli
