// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace meltor {

WholeTextResult ParseWholeText(const QString& text, const QLocale& locale) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return {WholeTextResult::Empty, 0.0};
  // Plain digits, what a pilot types nearly always, read the same in every locale: taken without
  // the locale's parser, which costs a quarter of a batch.
  if (trimmed.size() <= 9 &&
      std::all_of(trimmed.begin(), trimmed.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
    double digits = 0.0;
    for (const QChar c : trimmed) digits = digits * 10.0 + (c.unicode() - u'0');
    return {WholeTextResult::Ok, digits};
  }
  bool ok = false;
  const double value = locale.toDouble(trimmed, &ok);
  if (!ok) {
    // QLocale reports a number beyond the range of a double as a failure with an infinity.
    if (std::isinf(value)) return {WholeTextResult::TooLarge, value};
    // ... and one too small to represent as a failure with 0: a valid number with a negative
    // exponent reads as the zero it is closest to.
    const qsizetype e = trimmed.lastIndexOf(u'e', -1, Qt::CaseInsensitive);
    bool mantissaOk = false, exponentOk = false;
    const double mantissa = e > 0 ? locale.toDouble(trimmed.left(e), &mantissaOk) : 0.0;
    const qlonglong exponent = e > 0 ? trimmed.mid(e + 1).toLongLong(&exponentOk) : 0;
    if (mantissaOk && exponentOk && exponent < 0 && std::isfinite(mantissa)) {
      return {WholeTextResult::Ok, std::signbit(mantissa) ? -0.0 : 0.0};
    }
    return {WholeTextResult::NotANumber, 0.0};
  }
  // "inf" and "nan" are words, not numbers a pilot writes.
  if (!std::isfinite(value)) return {WholeTextResult::NotANumber, 0.0};
  return {WholeTextResult::Ok, value};
}

namespace {

bool IsIgnoredBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n';
}
bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// Decides over- or underflow for a number that from_chars could not represent: the position of
// its first significant digit relative to the decimal point.
double OutOfRange(const std::string& number, bool negative) {
  long long firstDigitExponent = 0;
  bool seenSignificant = false;
  bool afterPoint = false;
  long long intDigits = 0;
  long long leadingFractionZeros = 0;
  long long exponent = 0;
  std::size_t i = 0;
  for (; i < number.size(); ++i) {
    const char c = number[i];
    if (c == '.') {
      afterPoint = true;
    } else if (c == 'e' || c == 'E') {
      break;
    } else if (c >= '0' && c <= '9') {
      if (!seenSignificant && c == '0') {
        if (afterPoint) ++leadingFractionZeros;
        continue;
      }
      if (!afterPoint) ++intDigits;
      seenSignificant = true;
    }
  }
  if (i < number.size()) {
    ++i;
    bool expNegative = false;
    if (i < number.size() && (number[i] == '+' || number[i] == '-'))
      expNegative = number[i++] == '-';
    for (; i < number.size(); ++i) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (number[i] - '0');
    }
    if (expNegative) exponent = -exponent;
  }
  firstDigitExponent =
      intDigits > 0 ? intDigits - 1 + exponent : -leadingFractionZeros - 1 + exponent;
  if (seenSignificant && firstDigitExponent >= 0) {
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  return negative ? -0.0 : 0.0;
}

}  // namespace

LeadingNumberRead ReadLeadingNumber(const QString& text) {
  // The characters of the number as read so far, blanks left out.
  std::string buffer;
  std::size_t accepted = 0;   // length of the longest prefix that is a complete number
  qsizetype acceptedEnd = 0;  // where that prefix ends in the text
  enum State { Start, Sign, Int, Point, Frac, Exp, ExpSign, ExpDigits } state = Start;
  bool haveMantissaDigit = false;

  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (IsIgnoredBlank(c)) continue;
    bool take = false;
    switch (state) {
      case Start:
        if (c == u'+' || c == u'-') {
          state = Sign;
          take = true;
          break;
        }
        [[fallthrough]];
      case Sign:
      case Int:
        if (IsDigit(c)) {
          state = Int;
          take = true;
          haveMantissaDigit = true;
        } else if (c == u'.') {
          state = Point;
          take = true;
        } else if ((c == u'e' || c == u'E') && haveMantissaDigit) {
          state = Exp;
          take = true;
        }
        break;
      case Point:
      case Frac:
        if (IsDigit(c)) {
          state = Frac;
          take = true;
          haveMantissaDigit = true;
        } else if ((c == u'e' || c == u'E') && haveMantissaDigit) {
          state = Exp;
          take = true;
        }
        break;
      case Exp:
        if (c == u'+' || c == u'-') {
          state = ExpSign;
          take = true;
        } else if (IsDigit(c)) {
          state = ExpDigits;
          take = true;
        }
        break;
      case ExpSign:
      case ExpDigits:
        if (IsDigit(c)) {
          state = ExpDigits;
          take = true;
        }
        break;
    }
    if (!take) break;
    buffer.push_back(static_cast<char>(c));
    if (haveMantissaDigit && state != Exp && state != ExpSign && state != Sign) {
      accepted = buffer.size();
      acceptedEnd = i + 1;
    }
  }
  if (!haveMantissaDigit || accepted == 0) return {};
  buffer.resize(accepted);

  bool negative = false;
  std::size_t begin = 0;
  if (buffer[0] == '+' || buffer[0] == '-') {
    negative = buffer[0] == '-';
    begin = 1;
  }
  double value = 0.0;
  const char* first = buffer.data() + begin;
  const char* last = buffer.data() + buffer.size();
  const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    return {OutOfRange(std::string(first, last), negative), true, acceptedEnd};
  }
  if (ec != std::errc() || ptr != last) return {};  // cannot happen for the forms accepted above
  return {negative ? -value : value, true, acceptedEnd};
}

double LeadingNumber(const QString& text) {
  return ReadLeadingNumber(text).value;
}

QString UnreadText(const QString& text, const LeadingNumberRead& read) {
  QString rest;
  for (qsizetype i = read.end; i < text.size(); ++i) {
    if (!IsIgnoredBlank(text[i].unicode())) rest += text[i];
  }
  return rest;
}

std::optional<Int16> RoundHalfEven16(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  const double r = std::nearbyint(x);  // the default rounding mode: nearest, ties to even
  if (r < -32768.0 || r > 32767.0) return std::nullopt;
  return static_cast<Int16>(r);
}

std::optional<Int16> Truncate16(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  const double r = std::trunc(x);
  if (r < -32768.0 || r > 32767.0) return std::nullopt;
  return static_cast<Int16>(r);
}

namespace {

[[noreturn]] void ThrowArithmeticOverflow(int a, int b, char op, int result, const QString& what,
                                          Field field) {
  throw CalcError(ErrorKind::Overflow, field,
                  QStringLiteral("Переполнение при вычислении «%1»: %2 %3 %4 = %5 — вне диапазона "
                                 "от -32768 до 32767.")
                      .arg(what)
                      .arg(a)
                      .arg(op == '+' ? QStringLiteral("+") : QStringLiteral("−"))
                      .arg(b < 0 ? QStringLiteral("(%1)").arg(b) : QString::number(b))
                      .arg(result));
}

}  // namespace

Int16 CheckedAdd(Int16 a, Int16 b, const QString& what, Field field) {
  const int r = int{a} + int{b};
  if (r < -32768 || r > 32767) ThrowArithmeticOverflow(a, b, '+', r, what, field);
  return static_cast<Int16>(r);
}

Int16 CheckedSub(Int16 a, Int16 b, const QString& what, Field field) {
  const int r = int{a} - int{b};
  if (r < -32768 || r > 32767) ThrowArithmeticOverflow(a, b, '-', r, what, field);
  return static_cast<Int16>(r);
}

Int16 HoodKey(Int16 shtorkaZ, Int16 shtorkaO) {
  const Int16 sum =
      CheckedAdd(shtorkaZ, shtorkaO, QStringLiteral("сумма высот закрытия и открытия шторки"),
                 Field::ShtorkaZ);
  // |sum / 2| <= 16384, so the rounding always fits.
  return *RoundHalfEven16(static_cast<double>(sum) / 2.0);
}

}  // namespace meltor
