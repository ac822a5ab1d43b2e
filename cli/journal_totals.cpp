// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// meltor-cli journal totals and balance: the period's sums by group, and the opening balance the
// paper logbook carries over.
#include "journal_commands.h"

#include "batch_output.h"
#include "command_support.h"
#include "csv.h"
#include "flight_columns.h"
#include "results.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <array>
#include <optional>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace meltor::cli {

using journal::BalanceItem;
using journal::BalanceValue;
using journal::Grouping;
using journal::Journal;
using journal::kBalanceItemCount;
using journal::OpeningBalance;
using journal::Sums;
using journal::Totals;

namespace {

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

}  // namespace

Command JournalTotalsCommand() {
  return Command{
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
}

Command JournalBalanceCommand() {
  return Command{
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
}

}  // namespace meltor::cli
