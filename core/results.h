// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

#include "flight.h"

#include <QString>

#include <array>

namespace meltor {

struct ResultTexts {
  std::array<QString, kResultCount> text;  // lblZakKab, lblObl, lblZaObl, lblOgrVid, lblSMU
  const QString& operator[](ResultLabel l) const { return text[static_cast<int>(l)]; }
};

// The headings the pilot reads above the five results.
const std::array<QString, kResultCount>& ResultHeadings();

// Minutes as H.MM: 90 gives "1.30", 5 gives "0.05". A negative number of minutes is "-" and the
// text of its absolute value.
QString MinutesText(int minutes);

// A time in seconds as the explanation gives it: the whole minutes it rounds to (half to even, as
// for the logbook), then the seconds: "2 мин (120 с)".
QString ExplainedTime(int seconds);

// The five times in minutes as the logbook's minute columns count them (zak_kab_min to smu_min),
// in result order: a category that reads "-" and a total that reads "ПМУ" count 0. The batch's
// minute columns and the journal both take them from here.
std::array<qint64, kResultCount> LogbookMinutes(const TimeBreakdown& minutes);

// A cloud amount in words: "1 балл", "3 балла", "10 баллов".
QString TenthsText(int tenths);

// Kilometres as the explanation and the fields write them: "3.5".
QString KilometresText(float km);

// All five labels read "-".
void ClearResults(ResultTexts& labels);

// The five results from the times in minutes: H.MM, "-" for an empty category, "ПМУ" for a zero
// total.
void ShowResults(const TimeBreakdown& minutes, ResultTexts& labels);

}  // namespace meltor
