// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "journal_totals.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace meltor {

using journal::Grouping;

std::vector<TotalsLine> TotalsLines(const journal::Totals& period,
                                    const journal::Totals& sinceStart, const Period& shown) {
  std::vector<TotalsLine> lines;
  lines.push_back({u"За период"_s, period.flights, u"полёты за %1"_s.arg(PeriodLabel(shown))});
  journal::Sums day;
  journal::Sums night;
  std::optional<journal::Sums> unknown;
  for (const journal::TotalsGroup& g : period.groups) {
    if (g.key == u"day"_s) {
      day = g.sums;
    } else if (g.key == u"night"_s) {
      night = g.sums;
    } else {
      unknown = g.sums;
    }
  }
  lines.push_back(
      {journal::GroupLabel(Grouping::DayNight, u"day"_s), day, u"полёты за период днём"_s});
  lines.push_back(
      {journal::GroupLabel(Grouping::DayNight, u"night"_s), night, u"полёты за период ночью"_s});
  if (unknown && unknown->flights > 0) {
    lines.push_back({journal::GroupLabel(Grouping::DayNight, QString()), *unknown,
                     u"полёты за период, записанные без выбора «днём» или «ночью»"_s});
  }
  QStringList counted;
  for (int i = 0; i < journal::kBalanceItemCount; ++i) {
    if (sinceStart.balanceCounted[i] && sinceStart.balance.items[i]) {
      counted << ShownDate(sinceStart.balance.items[i]->asOf);
    }
  }
  counted.removeDuplicates();
  const QString upTo = shown.to.isValid() ? u"по %1"_s.arg(ShownDate(shown.to)) : u"все"_s;
  QString note = u"полёты журнала %1"_s.arg(upTo);
  if (!counted.isEmpty()) {
    note += u" и начальные итоги лётной книжки на %1"_s.arg(counted.join(u", "_s));
  } else if (!sinceStart.balance.empty()) {
    // Nothing of the balance counted although some of it is dated within the span: a type was
    // chosen, and the paper book's figures are not split by type.
    const bool dated = std::any_of(
        sinceStart.balance.items.begin(), sinceStart.balance.items.end(),
        [&](const auto& item) { return item && (!shown.to.isValid() || item->asOf <= shown.to); });
    note += dated ? u"; начальные итоги не вошли: они не разделены по типам самолётов"_s
                  : u"; начальные итоги не вошли: они подсчитаны на более позднюю дату"_s;
  }
  lines.push_back({u"С начала учёта"_s, sinceStart.grand, note});
  return lines;
}

journal::Result<std::vector<TotalsLine>> ReadTotals(journal::Journal& journal, const Period& period,
                                                    const QString& type) {
  auto inPeriod = journal.Total(FilterOf(period, type), Grouping::DayNight);
  if (!inPeriod) return inPeriod.error();
  auto sinceStart = journal.Total({QDate(), period.to, type}, Grouping::None);
  if (!sinceStart) return sinceStart.error();
  return TotalsLines(*inPeriod, *sinceStart, period);
}

QString MinutesCell(qint64 minutes) {
  return u"%1 (%2)"_s.arg(journal::HoursMinutes(minutes)).arg(minutes);
}

}  // namespace meltor
