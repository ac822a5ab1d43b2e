// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// meltor-cli journal: the journal of flights on the command line — add a calculated flight, list
// and total a period, export, copy, the opening balance, delete. Import is in journal_import.cpp.
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
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace meltor::cli {

using journal::BalanceItem;
using journal::BalanceValue;
using journal::Entry;
using journal::Filter;
using journal::Grouping;
using journal::Journal;
using journal::JournalError;
using journal::kBalanceItemCount;
using journal::OpeningBalance;
using journal::Sums;
using journal::Totals;

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

namespace {

// The journal and its path, as a command that reads or writes it starts.
struct Opened {
  JournalPlace place;
  std::unique_ptr<Journal> journal;
};

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

// Everything a list, total or export reads from its command line.
struct Listing {
  Opened opened;
  Filter filter;
  bool json = false;
};

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

// ---- totals

struct GroupingName {
  const char16_t* name;
  Grouping grouping;
};
constexpr std::array<GroupingName, 6> kGroupings = {{
    {u"month", Grouping::Month},
    {u"quarter", Grouping::Quarter},
    {u"half", Grouping::Half},
    {u"year", Grouping::Year},
    {u"type", Grouping::Type},
    {u"day-night", Grouping::DayNight},
}};

std::variant<Grouping, UsageError> ReadGrouping(const ParsedOptions& options) {
  if (!options.has(u"by"_s)) return Grouping::None;
  const QString by = options.value(u"by"_s);
  for (const GroupingName& g : kGroupings) {
    if (by == QStringView(g.name)) return g.grouping;
  }
  return UsageError{
      u"--by «%1» — допустимы month, quarter, half, year, type и day-night"_s.arg(Visible(by))};
}

// One line of the totals: its key, its label, and the sums; an item left out (a balance item that
// was not given or does not count) is empty.
struct TotalsLine {
  QString key;
  QString label;
  std::array<std::optional<qint64>, kBalanceItemCount> values;  // flights, then the five minutes
};

TotalsLine LineOf(const QString& key, const QString& label, const Sums& sums) {
  TotalsLine line{key, label, {}};
  line.values[0] = sums.flights;
  for (int i = 0; i < kResultCount; ++i) line.values[i + 1] = sums.minutes[i];
  return line;
}

// The lines: a line per group, the opening balance where any of it counts, and «всего».
std::vector<TotalsLine> TotalsLines(const Totals& t) {
  std::vector<TotalsLine> lines;
  for (const journal::TotalsGroup& g : t.groups) {
    lines.push_back(LineOf(g.key, journal::GroupLabel(t.grouping, g.key), g.sums));
  }
  TotalsLine balance{u"balance"_s, {}, {}};
  QStringList dates;
  for (int i = 0; i < kBalanceItemCount; ++i) {
    if (!t.balanceCounted[i]) continue;
    balance.values[i] = t.balance.items[i]->amount;
    const QString date = journal::DateText(t.balance.items[i]->asOf);
    if (!dates.contains(date)) dates << date;
  }
  if (!dates.isEmpty()) {
    balance.label = u"начальные итоги на "_s + dates.join(u", "_s);
    lines.push_back(balance);
  }
  lines.push_back(LineOf(u"total"_s, u"всего"_s, t.grand));
  return lines;
}

QStringList TotalsHeader() {
  QStringList header{u"key"_s, u"group"_s, u"flights"_s};
  for (const QString& m : MinuteColumns()) header << m;
  for (const QString& r : ResultColumns()) header << r;
  return header;
}

int RunTotals(const Call& call, Console& io) {
  auto grouping = ReadGrouping(call.options);
  if (const auto* usage = std::get_if<UsageError>(&grouping)) {
    return call.Usage(io, usage->message);
  }
  auto started = StartListing(call, io);
  if (const int* code = std::get_if<int>(&started)) return *code;
  Listing& l = std::get<Listing>(started);
  const auto totals = l.opened.journal->Total(l.filter, std::get<Grouping>(grouping));
  if (!totals) return ReportJournalError(io, totals.error());
  const std::vector<TotalsLine> lines = TotalsLines(*totals);
  const QStringList header = TotalsHeader();

  if (l.json) {
    QJsonArray groups;
    QJsonObject document;
    for (const TotalsLine& line : lines) {
      QJsonObject o{{u"key"_s, line.key}, {u"group"_s, line.label}};
      for (int i = 0; i < kBalanceItemCount; ++i) {
        if (!line.values[i]) continue;
        o.insert(header[2 + i], *line.values[i]);
        if (i > 0)
          o.insert(header[2 + kBalanceItemCount + i - 1], journal::HoursMinutes(*line.values[i]));
      }
      if (line.key == u"total"_s) {
        document.insert(u"total"_s, o);
      } else if (line.key == u"balance"_s) {
        document.insert(u"balance"_s, o);
      } else {
        groups.append(o);
      }
    }
    document.insert(u"groups"_s, groups);
    Print(io.out, QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented)));
    return kExitOk;
  }
  CsvWriter writer(io.out);
  writer.Write(header);
  for (const TotalsLine& line : lines) {
    QStringList row{line.key, line.label};
    for (const auto& v : line.values) row << (v ? QString::number(*v) : QString());
    for (int i = 1; i < kBalanceItemCount; ++i) {
      row << (line.values[i] ? journal::HoursMinutes(*line.values[i]) : QString());
    }
    writer.Write(row);
  }
  return kExitOk;
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

// ---- balance

struct BalanceOption {
  const char16_t* name;
  BalanceItem item;
};
constexpr std::array<BalanceOption, kBalanceItemCount> kBalanceOptions = {{
    {u"flights", BalanceItem::Flights},
    {u"zak-kab", BalanceItem::ZakKab},
    {u"obl", BalanceItem::Obl},
    {u"za-obl", BalanceItem::ZaObl},
    {u"ogr-vid", BalanceItem::OgrVid},
    {u"smu", BalanceItem::Smu},
}};

// "—" to clear an item, a number of flights, or minutes as a number or H:MM.
std::variant<std::optional<qint64>, UsageError> ReadAmount(const QString& option,
                                                           const QString& text, bool minutes) {
  const QString t = text.trimmed();
  if (t == u"-"_s) return std::optional<qint64>();
  static const QRegularExpression whole(u"^\\d{1,12}$"_s);
  static const QRegularExpression hoursMinutes(u"^(\\d{1,10}):([0-5]\\d)$"_s);
  if (whole.match(t).hasMatch()) return std::optional<qint64>(t.toLongLong());
  if (const auto m = hoursMinutes.match(t); minutes && m.hasMatch()) {
    return std::optional<qint64>(m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong());
  }
  return UsageError{
      minutes ? u"--%1 «%2» — нужны минуты (90) или часы и минуты (1:30); «-» убирает итог"_s.arg(
                    option, Visible(text))
              : u"--%1 «%2» — нужно число полётов; «-» убирает итог"_s.arg(option, Visible(text))};
}

QString BalanceText(const QString& path, const OpeningBalance& b) {
  if (b.empty()) return u"Начальных итогов в журнале «%1» нет.\n"_s.arg(path);
  QString text = u"Начальные итоги журнала «%1»:\n"_s.arg(path);
  for (int i = 0; i < kBalanceItemCount; ++i) {
    const std::optional<BalanceValue>& v = b.items[i];
    const QString heading = i == 0 ? u"полётов"_s : ResultHeadings()[i - 1];
    if (!v) {
      text += u"  %1: не задано\n"_s.arg(heading);
    } else if (i == 0) {
      text += u"  %1: %2 (на %3)\n"_s.arg(heading, QString::number(v->amount),
                                          journal::DateText(v->asOf));
    } else {
      text += u"  %1: %2 — %3 мин (на %4)\n"_s.arg(heading, journal::HoursMinutes(v->amount),
                                                   QString::number(v->amount),
                                                   journal::DateText(v->asOf));
    }
  }
  return text;
}

int RunBalance(const Call& call, Console& io) {
  const ParsedOptions& options = call.options;
  // The items given: a value to set, or nullopt to clear.
  std::vector<std::pair<BalanceItem, std::optional<qint64>>> given;
  bool needsDate = false;
  for (const BalanceOption& o : kBalanceOptions) {
    const QString name = QString::fromUtf16(o.name);
    if (!options.has(name)) continue;
    auto amount = ReadAmount(name, options.value(name), o.item != BalanceItem::Flights);
    if (const auto* usage = std::get_if<UsageError>(&amount)) {
      return call.Usage(io, usage->message);
    }
    given.emplace_back(o.item, std::get<std::optional<qint64>>(amount));
    needsDate = needsDate || given.back().second.has_value();
  }
  QDate asOf;
  if (options.has(u"date"_s)) {
    if (given.empty()) {
      return call.Usage(io,
                        u"--date без итогов: укажите, что задать (--flights, --zak-kab, "
                        u"--obl, --za-obl, --ogr-vid, --smu)"_s);
    }
    auto date = ReadDateOption(options, u"date"_s);
    if (const auto* usage = std::get_if<UsageError>(&date)) return call.Usage(io, usage->message);
    asOf = std::get<QDate>(date);
  } else if (needsDate) {
    return call.Usage(io, u"нужна --date: день, на конец которого подсчитаны итоги"_s);
  }

  auto opened = Open(call, io, given.empty() ? Journal::Access::Read : Journal::Access::Write);
  if (const int* code = std::get_if<int>(&opened)) return *code;
  Journal& j = *std::get<Opened>(opened).journal;
  auto balance = j.Balance();
  if (!balance) return ReportJournalError(io, balance.error());
  if (!given.empty()) {
    for (const auto& [item, amount] : given) {
      (*balance)[item] = amount ? std::optional(BalanceValue{*amount, asOf}) : std::nullopt;
    }
    if (const auto set = j.SetBalance(*balance); !set) return ReportJournalError(io, set.error());
  }
  Print(io.out, BalanceText(j.path(), *balance));
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
  Command totals{
      .name = u"totals"_s,
      .summary = u"итоги периода: полёты и минуты по категориям"_s,
      .description =
          {u"Итоги периода: по строке на группу (--by) — key, group, flights (число полётов), "
           u"минуты zak_kab_min … smu_min и то же в часах и минутах zak_kab … smu (Ч:ММ). Суммы — "
           u"это суммы минут, записанных с каждым полётом, как сложил бы их batch -M. Начальные "
           u"итоги (balance) — строка balance, если дата, на которую они подсчитаны, входит в "
           u"период и тип не выбран; они входят в последнюю строку, total («всего»)."_s},
      .options = FilterOptions() +
                 OptionSet{{.name = u"by"_s,
                            .valueName = u"GROUPING"_s,
                            .help = u"группы: month, quarter, half, year, type или day-night; без "
                                    u"параметра — одна группа"_s}} +
                 FormatOption() + JournalOptions(),
      .run = RunTotals,
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
  Command balance{
      .name = u"balance"_s,
      .summary = u"начальные итоги: показать или задать"_s,
      .description =
          {u"Начальные итоги — то, что было в бумажной лётной книжке до журнала: число полётов и "
           u"минуты по пяти категориям, каждое на конец своего дня. Без параметров — показать. "
           u"С --date и любыми из --flights, --zak-kab, --obl, --za-obl, --ogr-vid, --smu — "
           u"задать их (остальные остаются как были). Минуты пишутся числом (750) или в часах и "
           u"минутах (12:30). «-» вместо значения убирает этот итог (--date тогда не нужна)."_s},
      .options =
          OptionSet{
              {.name = u"date"_s,
               .valueName = u"DATE"_s,
               .help = u"день, на конец которого подсчитаны задаваемые итоги"_s},
              {.name = u"flights"_s, .valueName = u"N"_s, .help = u"число полётов"_s},
              {.name = u"zak-kab"_s,
               .valueName = u"MINUTES"_s,
               .help = u"в закрытой кабине: минуты или Ч:ММ"_s},
              {.name = u"obl"_s, .valueName = u"MINUTES"_s, .help = u"в облаках"_s},
              {.name = u"za-obl"_s, .valueName = u"MINUTES"_s, .help = u"за облаками"_s},
              {.name = u"ogr-vid"_s,
               .valueName = u"MINUTES"_s,
               .help = u"при ограниченной видимости"_s},
              {.name = u"smu"_s, .valueName = u"MINUTES"_s, .help = u"всего в СМУ"_s},
          } +
          JournalOptions(),
      .run = RunBalance,
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
  std::vector<Command> subcommands{
      std::move(add),           std::move(list),   std::move(totals),  JournalImportCommand(),
      std::move(exportCommand), std::move(backup), std::move(balance), std::move(deleteCommand)};
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
