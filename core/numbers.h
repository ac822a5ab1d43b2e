// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Number handling shared by the calculation and the table lookups: the two ways a field's text
// becomes a number, rounding into 16-bit whole numbers, and overflow-checked 16-bit arithmetic.

#include "errors.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

namespace meltor {

using Int16 = std::int16_t;

// Whole-text number: the entire text, surrounding blanks aside, must be a number written by the
// rules of `locale`. Fails on empty text and on anything else that is not such a number.
struct WholeTextResult {
  enum Status { Ok, Empty, NotANumber, TooLarge } status = Ok;
  double value = 0.0;
};
WholeTextResult ParseWholeText(const QString& text, const QLocale& locale);

// Leading number: blanks, tabs and line feeds anywhere are ignored; an optional sign, digits, an
// optional full stop with a fraction and an optional exponent are taken from the start; the first
// character that cannot continue the number ends it. No number gives 0. Never fails; a number
// beyond the range of a double gives an infinity.
double LeadingNumber(const QString& text);

// The leading number and where it ends: `end` is the position in the text just after its last
// character (0 when the text holds no number).
struct LeadingNumberRead {
  double value = 0.0;
  bool found = false;
  qsizetype end = 0;
};
LeadingNumberRead ReadLeadingNumber(const QString& text);

// What the reading left unused: the text after the number (all of it when there is none), with
// the blanks the reading ignores taken out. Empty when the whole text went into the number.
QString UnreadText(const QString& text, const LeadingNumberRead& read);

// Rounds to the nearest whole number, an exact half to the even neighbour. nullopt when the
// result lies outside -32768..32767 (or x is not finite).
std::optional<Int16> RoundHalfEven16(double x);

// Truncates toward zero. nullopt outside -32768..32767 (or not finite).
std::optional<Int16> Truncate16(double x);

// 16-bit arithmetic with an overflow check. `what` names the quantity for the error message.
Int16 CheckedAdd(Int16 a, Int16 b, const QString& what, Field field = Field::None);
Int16 CheckedSub(Int16 a, Int16 b, const QString& what, Field field = Field::None);

// The hood key: the mean of the closing and opening heights. The sum is overflow-checked, the
// halving is done in floating point and rounded half to even.
Int16 HoodKey(Int16 shtorkaZ, Int16 shtorkaO);

}  // namespace meltor
