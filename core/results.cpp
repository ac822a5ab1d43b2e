// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "results.h"

#include <cmath>
#include <cstdlib>

namespace meltor {

const std::array<QString, kResultCount>& ResultHeadings() {
  static const std::array<QString, kResultCount> headings = {
      QStringLiteral("в закр. кабине"), QStringLiteral("в обл."), QStringLiteral("за обл."),
      QStringLiteral("при огр. видимости"), QStringLiteral("Всего в СМУ")};
  return headings;
}

QString MinutesText(int minutes) {
  if (minutes < 0) return QStringLiteral("-") + MinutesText(-minutes);
  const int rest = minutes % 60;
  return QString::number(minutes / 60) + QLatin1Char('.') + QChar(u'0' + rest / 10) +
         QChar(u'0' + rest % 10);
}

QString ExplainedTime(int seconds) {
  const int minutes = static_cast<int>(std::nearbyint(seconds / 60.0));
  return QStringLiteral("%1 мин (%2 с)").arg(minutes).arg(seconds);
}

std::array<qint64, kResultCount> LogbookMinutes(const TimeBreakdown& m) {
  return {m.TZakKab, m.TObl, m.TZaObl, m.TOgrVid, m.TSMU};
}

QString TenthsText(int tenths) {
  const int last = std::abs(tenths) % 10;
  const int lastTwo = std::abs(tenths) % 100;
  const char16_t* word = u"баллов";
  if (last == 1 && lastTwo != 11) {
    word = u"балл";
  } else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) {
    word = u"балла";
  }
  return QStringLiteral("%1 %2").arg(tenths).arg(QString::fromUtf16(word));
}

QString KilometresText(float km) {
  return QString::number(double{km}, 'g', 7);
}

void ClearResults(ResultTexts& labels) {
  for (auto& t : labels.text) t = QStringLiteral("-");
}

void ShowResults(const TimeBreakdown& minutes, ResultTexts& labels) {
  const std::array<int, kResultCount> values = {minutes.TZakKab, minutes.TObl, minutes.TZaObl,
                                                minutes.TOgrVid, minutes.TSMU};
  for (int i = 0; i < kResultCount; ++i) {
    labels.text[i] = MinutesText(values[i]);
    if (values[i] == 0) {
      labels.text[i] =
          i == static_cast<int>(ResultLabel::SMU) ? QStringLiteral("ПМУ") : QStringLiteral("-");
    }
  }
}

}  // namespace meltor
