// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// meltor-cli journal: the journal of flights on the command line — add a calculated flight, list
// a period, export, copy, delete. Import is in journal_import.cpp, totals and the opening balance
// in journal_totals.cpp.
#include "journal_commands.h"

#include "batch_output.h"
#include "calculation.h"
#include "climb_tables.h"
#include "command_support.h"
#include "csv.h"
#include "file_writer.h"
#include "flight_columns.h"
#include "flight_fields.h"
#include "journal_csv.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace meltor::cli {

using journal::Entry;
using journal::Filter;
using journal::Journal;
using journal::JournalError;

// ---------------------------------------------------------------------------------------------
// Shared

OptionSet JournalOptions() {
  return {
      {.name = u"journal"_s,
       .valueName = u"FILE"_s,
       .help = u"файл журнала; без параметра — journal.sqlite в папке данных программы "
               u"(~/.local/share/Meltor, тот же, что у окна)"_s,
       .path = OptionInfo::Path::File},
      {.name = u"wait"_s,
       .valueName = u"SECONDS"_s,
       .help = u"сколько секунд ждать журнал, в который пишет другая программа (окно или другой "
               u"meltor-cli); по умолчанию 10, 0 — не ждать"_s},
  };
}

std::variant<JournalPlace, UsageError> ReadJournalPlace(const ParsedOptions& options) {
  JournalPlace place;
  place.path =
      options.has(u"journal"_s) ? options.value(u"journal"_s) : journal::DefaultJournalPath();
  if (place.path.isEmpty()) {
    return UsageError{u"система не называет папку данных программы; укажите журнал: --journal"_s};
  }
  if (options.has(u"wait"_s)) {
    const QString text = options.value(u"wait"_s).trimmed();
    bool ok = false;
    const double seconds = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 3600) {
      return UsageError{u"--wait «%1» — нужно число секунд от 0 до 3600"_s.arg(
          Visible(options.value(u"wait"_s)))};
    }
    place.waitMilliseconds = static_cast<int>(std::lround(seconds * 1000));
  }
  return place;
}

int ReportJournalError(Console& io, const JournalError& error) {
  return ReportFailure(io, error.message);
}

std::unique_ptr<Journal> OpenJournal(const JournalPlace& place, Journal::Access access,
                                     Console& io) {
  Journal::Options options;
  options.busyMilliseconds = place.waitMilliseconds;
  auto opened = Journal::Open(place.path, access, options);
  if (!opened) {
    ReportJournalError(io, opened.error());
    return nullptr;
  }
  return std::move(*opened);
}

std::variant<QDate, UsageError> ReadDateOption(const ParsedOptions& options, const QString& name) {
  const auto date = journal::ParseDate(options.value(name));
  if (!date) return UsageError{u"--%1: %2"_s.arg(name, date.error().message)};
  return *date;
}

QString TablesIdentityNeeded() {
  return u"Полёт не записан в журнал: с каждым полётом хранится SHA-256 файла таблиц, по которым "
         u"он рассчитан."_s;
}

// Reads --journal and --wait and opens the journal; on failure the exit code, its message
// printed.
std::variant<Opened, int> Open(const Call& call, Console& io, Journal::Access access) {
  auto place = ReadJournalPlace(call.options);
  if (const auto* usage = std::get_if<UsageError>(&place)) return call.Usage(io, usage->message);
  Opened opened{std::get<JournalPlace>(place), nullptr};
  opened.journal = OpenJournal(opened.place, access, io);
  if (!opened.journal) return kExitFailed;
  return opened;
}

// A read that finds no journal file says so: an empty list is then no surprise, and a misspelt
// --journal is seen.
void NoteNotMade(const Journal& j, Console& io) {
  if (!j.exists()) {
    Print(io.err, u"meltor-cli: журнала «%1» ещё нет: в нём не записано ни одного полёта\n"_s.arg(
                      j.path()));
  }
}

// ---- the period and type of a list, total or export

OptionSet FilterOptions() {
  return {
      {.name = u"from"_s,
       .valueName = u"DATE"_s,
       .help = u"полёты с этой даты (ГГГГ-ММ-ДД или ДД.ММ.ГГГГ) включительно"_s},
      {.name = u"to"_s, .valueName = u"DATE"_s, .help = u"полёты по эту дату включительно"_s},
      {.name = u"type"_s,
       .valueName = u"TYPE"_s,
       .help = u"только этот тип самолёта (пишется, как в calc: Л-39, L-39, L39 …)"_s,
       .shortName = u"t"_s},
  };
}

std::variant<Filter, UsageError> ReadFilter(const ParsedOptions& options) {
  Filter filter;
  for (const QString& name : {u"from"_s, u"to"_s}) {
    if (!options.has(name)) continue;
    auto date = ReadDateOption(options, name);
    if (const auto* usage = std::get_if<UsageError>(&date)) return *usage;
    (name == u"from"_s ? filter.from : filter.to) = std::get<QDate>(date);
  }
  if (filter.from.isValid() && filter.to.isValid() && filter.from > filter.to) {
    return UsageError{u"--from %1 позже --to %2"_s.arg(journal::DateText(filter.from),
                                                       journal::DateText(filter.to))};
  }
  if (options.has(u"type"_s)) {
    const std::optional<QString> type = TypeEntry(options.value(u"type"_s));
    if (!type) return UsageError{u"--type: "_s + UnknownTypeMessage(options.value(u"type"_s))};
    filter.type = *type;
  }
  return filter;
}

OptionSet FormatOption() {
  return {{.name = u"format"_s,
           .valueName = u"csv|json"_s,
           .help = u"вид вывода: csv (по умолчанию) или json"_s,
           .shortName = u"f"_s}};
}

// Whether --format asks for JSON.
std::variant<bool, UsageError> ReadJson(const ParsedOptions& options) {
  const QString format = options.value(u"format"_s, u"csv"_s);
  if (format != u"csv"_s && format != u"json"_s) {
    return UsageError{u"--format «%1» — допустимы csv и json"_s.arg(Visible(format))};
  }
  return format == u"json"_s;
}

std::variant<Listing, int> StartListing(const Call& call, Console& io) {
  auto filter = ReadFilter(call.options);
  if (const auto* usage = std::get_if<UsageError>(&filter)) return call.Usage(io, usage->message);
  auto json = ReadJson(call.options);
  if (const auto* usage = std::get_if<UsageError>(&json)) return call.Usage(io, usage->message);
  auto opened = Open(call, io, Journal::Access::Read);
  if (const int* code = std::get_if<int>(&opened)) return *code;
  NoteNotMade(*std::get<Opened>(opened).journal, io);
  return Listing{std::move(std::get<Opened>(opened)), std::get<Filter>(filter),
                 std::get<bool>(json)};
}

namespace {

// ---- add

int RunAdd(const Call& call, Console& io) {
  const ParsedOptions& options = call.options;
  const auto read = ReadFlightOptions(options);
  if (const auto* usage = std::get_if<UsageError>(&read)) return call.Usage(io, usage->message);
  const FlightOptionValues& flight = std::get<FlightOptionValues>(read);
  QDate date = QDate::currentDate();
  if (options.has(u"date"_s)) {
    auto given = ReadDateOption(options, u"date"_s);
    if (const auto* usage = std::get_if<UsageError>(&given)) return call.Usage(io, usage->message);
    date = std::get<QDate>(given);
  }
  if (!TypeEntry(flight.texts[InputColumn::Type])) {
    return ReportFailure(
        io, u"--type (%1): %2"_s.arg(FieldCaption(Field::Typ),
                                     UnknownTypeMessage(flight.texts[InputColumn::Type])));
  }
  // The journal first: a journal that cannot take the flight is said before anything else.
  auto opened = Open(call, io, Journal::Access::Write);
  if (const int* code = std::get_if<int>(&opened)) return *code;
  Journal& j = *std::get<Opened>(opened).journal;

  const TablesLocation location = LocateTables(options);
  FileClimbTables tables(location.path, location.searched, FileClimbTables::Mode::Fresh);
  const FlightInput input = ToFlightInput(flight.texts, flight.dayNight);
  const CalcOutcome outcome = CalculateFlight(input, tables, io.locale);
  for (const InputWarning& w : outcome.warnings) {
    Print(io.err, u"meltor-cli: предупреждение, "_s + WarningText(w, InputNaming::Option) + u'\n');
  }
  if (!outcome.ok()) {
    ReportFailure(io, NamedMessage(*outcome.error, true));
    return ReportFailure(io, u"полёт не рассчитан и в журнал не записан"_s);
  }
  const auto sha = journal::FileSha256(location.path);
  if (!sha) return ReportFailure(io, sha.error().message + u' ' + TablesIdentityNeeded());
  const auto entry = journal::MakeEntry(date, options.value(u"board"_s), options.value(u"remark"_s),
                                        input, outcome, *sha);
  if (!entry) return ReportJournalError(io, entry.error());
  const auto number = j.Add(*entry);
  if (!number) return ReportJournalError(io, number.error());

  QString text;
  for (int i = 0; i < kResultCount; ++i) {
    text += ResultHeadings()[i] + u": "_s + outcome.labels.text[i] + u'\n';
  }
  text += u"Записано в журнал «%1»: № %2, %3.\n"_s.arg(j.path(), QString::number(*number),
                                                       journal::DateText(date));
  Print(io.out, text);
  return kExitOk;
}

// ---- list

// One entry as a JSON object with the CSV's columns in their order: the number and the minute
// columns as numbers, the rest as texts.
void AppendEntryJson(QByteArray& json, const QStringList& header, const Entry& e) {
  const QStringList row = journal::CsvRow(e, false);
  json += '{';
  for (qsizetype i = 0; i < header.size(); ++i) {
    if (i > 0) json += ", ";
    AppendJsonString(json, header[i]);
    json += ": ";
    const bool number = i == 0 || std::find(MinuteColumns().begin(), MinuteColumns().end(),
                                            header[i]) != MinuteColumns().end();
    if (number) {
      json += row[i].toLatin1();
    } else {
      AppendJsonString(json, row[i]);
    }
  }
  json += '}';
}

int RunList(const Call& call, Console& io) {
  auto started = StartListing(call, io);
  if (const int* code = std::get_if<int>(&started)) return *code;
  Listing& l = std::get<Listing>(started);
  if (!l.json) {
    const auto written = journal::WriteCsv(*l.opened.journal, l.filter, io.out);
    return written ? kExitOk : ReportJournalError(io, written.error());
  }
  // A JSON array written one entry at a time: the memory does not grow with the journal.
  const QStringList header = journal::CsvHeader();
  QByteArray json = "[";
  bool first = true;
  const auto visited = l.opened.journal->ForEach(l.filter, [&](const Entry& e) {
    json += std::exchange(first, false) ? "\n  " : ",\n  ";
    AppendEntryJson(json, header, e);
    if (json.size() < 16 * 1024) return true;
    const bool written = io.out.write(json) == json.size();
    json.clear();
    return written;
  });
  io.out.write(json + (first ? "]\n" : "\n]\n"));
  return visited ? kExitOk : ReportJournalError(io, visited.error());
}

// ---- export

int RunExport(const Call& call, Console& io) {
  const ParsedOptions& options = call.options;
  journal::CsvOptions csv;
  if (options.has(u"delimiter"_s)) {
    const std::optional<char> delimiter = CsvDelimiterNamed(options.value(u"delimiter"_s));
    if (!delimiter) {
      return call.Usage(io, u"--delimiter «%1» — допустимы «,», «;», «\\t» или tab"_s.arg(
                                Visible(options.value(u"delimiter"_s))));
    }
    csv.delimiter = *delimiter;
  }
  csv.byteOrderMark = options.has(u"bom"_s);
  csv.defuse = !options.has(u"raw"_s);
  auto started = StartListing(call, io);
  if (const int* code = std::get_if<int>(&started)) return *code;
  Listing& l = std::get<Listing>(started);
  const QString target = options.value(u"output"_s);
  if (target.isEmpty() || target == u"-"_s) {
    const auto written = journal::WriteCsv(*l.opened.journal, l.filter, io.out, csv);
    return written ? kExitOk : ReportJournalError(io, written.error());
  }
  // Written over the journal itself, the export would put a CSV file in its place.
  const QString real = QFileInfo(target).canonicalFilePath();
  if (!real.isEmpty() && real == QFileInfo(l.opened.journal->path()).canonicalFilePath()) {
    return ReportFailure(io,
                         u"файл вывода «%1» — это сам журнал; выгрузка не сделана, журнал не "
                         u"изменён."_s.arg(target));
  }
  // The file is put in place only when it has been written whole.
  files::FileWriter out(target);
  if (!out.Open()) return ReportFailure(io, u"файл вывода "_s + out.failure());
  const auto written = journal::WriteCsv(*l.opened.journal, l.filter, out, csv);
  if (!written) {
    out.Discard();
    return ReportFailure(
        io, u"%1 Файл «%2» не записан.%3"_s.arg(
                written.error().message, target,
                QFileInfo::exists(target) ? u" Прежний файл не изменён."_s : QString()));
  }
  if (!out.Commit()) return ReportFailure(io, u"файл вывода "_s + out.failure());
  Print(io.err,
        u"meltor-cli: в «%1» выгружено полётов: %2\n"_s.arg(target, QString::number(*written)));
  return kExitOk;
}

// ---- backup

int RunBackup(const Call& call, Console& io) {
  auto opened = Open(call, io, Journal::Access::Read);
  if (const int* code = std::get_if<int>(&opened)) return *code;
  Journal& j = *std::get<Opened>(opened).journal;
  const QString target = call.options.positionals.front();
  if (const auto done = j.Backup(target); !done) return ReportJournalError(io, done.error());
  Print(io.out, u"Копия журнала «%1» записана в «%2».\n"_s.arg(j.path(), target));
  return kExitOk;
}

// ---- delete

int RunDelete(const Call& call, Console& io) {
  const QString text = call.options.positionals.front();
  bool ok = false;
  const qint64 number = text.toLongLong(&ok);
  if (!ok || number <= 0 || text.trimmed() != text) {
    return call.Usage(io, u"«%1» — не номер записи (целое число больше 0)"_s.arg(Visible(text)));
  }
  auto opened = Open(call, io, Journal::Access::Write);
  if (const int* code = std::get_if<int>(&opened)) return *code;
  Journal& j = *std::get<Opened>(opened).journal;
  const auto entry = j.Get(number);
  if (!entry) return ReportJournalError(io, entry.error());
  if (const auto deleted = j.Delete(number); !deleted) {
    return ReportJournalError(io, deleted.error());
  }
  // The typed texts may hold anything a file brought in: control characters are shown, not sent
  // to the terminal.
  const Entry& e = *entry;
  QStringList what{journal::DateText(e.date), Visible(e.input.cboTyp)};
  if (!e.board.isEmpty()) what << u"борт "_s + Visible(e.board);
  for (int i = 0; i < kResultCount; ++i) what << ResultHeadings()[i] + u' ' + e.results.text[i];
  if (!e.remark.isEmpty()) what << u"«%1»"_s.arg(Visible(e.remark));
  Print(io.out, u"Удалена запись № %1: %2.\n"_s.arg(QString::number(number), what.join(u", "_s)));
  return kExitOk;
}

}  // namespace

Command JournalCommand() {
  Command add{
      .name = u"add"_s,
      .summary = u"рассчитать полёт и записать его в журнал"_s,
      .description =
          {u"Рассчитывает полёт, как calc, и записывает его в журнал: дату, тип, бортовой номер, "
           u"примечание, введённые значения как есть, результаты, их минуты, случай расчёта, "
           u"предупреждения, SHA-256 файла таблиц и версию программы. Выводит результаты, как "
           u"calc, и номер записи. Полёт, расчёт которого не удался, не записывается (код "
           u"выхода 1)."_s},
      .options = FlightOptions() +
                 OptionSet{
                     {.name = u"date"_s,
                      .valueName = u"DATE"_s,
                      .help = u"дата полёта: ГГГГ-ММ-ДД или ДД.ММ.ГГГГ; без параметра — "
                              u"сегодня"_s},
                     {.name = u"board"_s,
                      .valueName = u"TEXT"_s,
                      .help = u"бортовой номер самолёта (до 50 знаков)"_s},
                     {.name = u"remark"_s,
                      .valueName = u"TEXT"_s,
                      .help = u"примечание (до 1000 знаков)"_s},
                 } +
                 TablesOption() + JournalOptions(),
      .run = RunAdd,
  };
  Command list{
      .name = u"list"_s,
      .summary = u"полёты периода, по строке на полёт"_s,
      .description =
          {u"Полёты журнала по дате (в один день — по номеру записи), по строке на полёт: number "
           u"(номер записи), date, board, remark, введённые значения (столбцы batch: type … "
           u"height), результаты zak_kab … smu, их минуты zak_kab_min … smu_min (как batch -M), "
           u"case (случай расчёта) и warnings. Без --from и --to — все полёты."_s},
      .options = FilterOptions() + FormatOption() + JournalOptions(),
      .run = RunList,
  };
  Command exportCommand{
      .name = u"export"_s,
      .summary = u"полёты периода в файл CSV"_s,
      .description =
          {u"Полёты периода в файл CSV со столбцами list. Файл заменяется, только когда записан "
           u"целиком. journal import читает такой файл обратно. Введённый текст, который "
           u"электронная таблица приняла бы за формулу, выводится с апострофом впереди, если это "
           u"не число (кроме --raw)."_s},
      .options =
          OptionSet{{.name = u"output"_s,
                     .valueName = u"FILE"_s,
                     .help = u"файл CSV; без параметра или «-» — стандартный вывод"_s,
                     .shortName = u"o"_s,
                     .path = OptionInfo::Path::File}} +
          FilterOptions() +
          OptionSet{
              {.name = u"delimiter"_s,
               .valueName = u"CHAR"_s,
               .help = u"разделитель полей: «,» (по умолчанию), «;» или табуляция"_s},
              {.name = u"bom"_s, .help = u"метка порядка байтов UTF-8 в начале (для Excel)"_s},
              {.name = u"raw"_s,
               .help = u"введённый текст как есть, без апострофа перед тем, что похоже на "
                       u"формулу"_s},
          } +
          JournalOptions(),
      .run = RunExport,
  };
  Command backup{
      .name = u"backup"_s,
      .arguments = u"ФАЙЛ"_s,
      .minArguments = 1,
      .maxArguments = 1,
      .missingArguments = u"нужно имя файла копии"_s,
      .summary = u"копия журнала"_s,
      .description = {u"Целостная копия журнала в ФАЙЛ (средствами SQLite), в том числе пока в "
                      u"журнал пишет другая программа. ФАЙЛ заменяется, только когда копия "
                      u"записана целиком; копия — сама журнал (--journal ФАЙЛ)."_s},
      .options = JournalOptions(),
      .run = RunBackup,
  };
  Command deleteCommand{
      .name = u"delete"_s,
      .arguments = u"N"_s,
      .minArguments = 1,
      .maxArguments = 1,
      .missingArguments = u"нужен номер записи (его показывают add и list)"_s,
      .summary = u"удалить запись N"_s,
      .description = {u"Удаляет из журнала запись номер N и выводит, что удалено. Номер другой "
                      u"записи не меняется и удалённый номер больше не выдаётся."_s},
      .options = JournalOptions(),
      .run = RunDelete,
  };
  std::vector<Command> subcommands{std::move(add),           std::move(list),
                                   JournalTotalsCommand(),   JournalImportCommand(),
                                   std::move(exportCommand), std::move(backup),
                                   JournalBalanceCommand(),  std::move(deleteCommand)};
  QStringList names;
  for (const Command& c : subcommands) names << c.name;
  return {
      .name = u"journal"_s,
      .summary = u"журнал полётов: "_s + names.join(u", "_s),
      .description =
          {u"Журнал полётов: каждый рассчитанный и записанный полёт в одном файле SQLite (тот же, "
           u"что у окна программы), итоги за период с начальными итогами бумажной книжки. Каждое "
           u"изменение — одна транзакция; журнал, в который пишет другая программа, ждут "
           u"(--wait); повреждённый журнал не изменяется. Ошибка журнала — сообщение в stderr и "
           u"код выхода 1."_s},
      .options = JournalOptions(),
      .subcommands = std::move(subcommands),
  };
}

}  // namespace meltor::cli
