// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "numbers.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace meltor;

Q_DECLARE_METATYPE(WholeTextResult::Status)

class TestNumbers : public QObject {
  Q_OBJECT

 private slots:
  void leadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("trailing blank") << "12 " << 12.0;
    QTest::newRow("blank inside") << "1 2" << 12.0;
    QTest::newRow("tab and line feed inside") << "\t1\n2" << 12.0;
    QTest::newRow("comma ends the number") << "1,5" << 1.0;
    QTest::newRow("full stop fraction") << "7.5" << 7.5;
    QTest::newRow("negative fraction") << "-0.4" << -0.4;
    QTest::newRow("sign then blank") << " - 5" << -5.0;
    QTest::newRow("plus sign") << "+3" << 3.0;
    QTest::newRow("lone sign") << "-" << 0.0;
    QTest::newRow("lone point") << "." << 0.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("trailing point") << "5." << 5.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("exponent with sign") << "25E-1" << 2.5;
    QTest::newRow("exponent without digits") << "1e" << 1.0;
    QTest::newRow("exponent sign without digits") << "1e+" << 1.0;
    QTest::newRow("exponent needs a mantissa") << "e5" << 0.0;
    QTest::newRow("letters end it") << "12abc" << 12.0;
    QTest::newRow("second point ends it") << "1.2.3" << 1.2;
    QTest::newRow("hex is not read") << "0x10" << 0.0;
    QTest::newRow("full-width digits are not digits") << QStringLiteral("１２") << 0.0;
    QTest::newRow("carriage return is not ignored") << "1\r2" << 1.0;
    QTest::newRow("beyond double") << "1e400" << inf;
    QTest::newRow("beyond double, negative") << "-1e400" << -inf;
    QTest::newRow("long digits beyond double") << QString(400, QLatin1Char('9')) << inf;
    QTest::newRow("underflow") << "1e-400" << 0.0;
    QTest::newRow("tiny with many zeros") << "0.000000000000000000001e-400" << 0.0;
  }
  void leadingNumber() {
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(LeadingNumber(text), expected);
  }

  void roundHalfEven_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("expected");  // 99999: overflow
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("3.5") << 3.5 << 4;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("7.4") << 7.4 << 7;
    QTest::newRow("8.5") << 8.5 << 8;
    QTest::newRow("7.5") << 7.5 << 8;
    QTest::newRow("-0.4") << -0.4 << 0;
    QTest::newRow("32767.4") << 32767.4 << 32767;
    QTest::newRow("32767.5 rounds to 32768") << 32767.5 << 99999;
    QTest::newRow("-32768.5 rounds to -32768") << -32768.5 << -32768;
    QTest::newRow("-32768.6") << -32768.6 << 99999;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 99999;
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 99999;
  }
  void roundHalfEven() {
    QFETCH(double, x);
    QFETCH(int, expected);
    const auto r = RoundHalfEven16(x);
    if (expected == 99999) {
      QVERIFY(!r.has_value());
    } else {
      QVERIFY(r.has_value());
      QCOMPARE(int{*r}, expected);
    }
  }

  void truncate() {
    QCOMPARE(int{*Truncate16(146.64)}, 146);
    QCOMPARE(int{*Truncate16(-146.64)}, -146);
    QCOMPARE(int{*Truncate16(32767.9)}, 32767);
    QVERIFY(!Truncate16(32768.0));
    QVERIFY(!Truncate16(std::nan("")));
  }

  void wholeText_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<WholeTextResult::Status>("status");
    QTest::addColumn<double>("value");
    QTest::newRow("ru comma") << "ru_RU" << "0,5" << WholeTextResult::Ok << 0.5;
    QTest::newRow("ru full stop is no number") << "ru_RU" << "0.5" << WholeTextResult::NotANumber << 0.0;
    QTest::newRow("ru blanks around") << "ru_RU" << "  90 " << WholeTextResult::Ok << 90.0;
    QTest::newRow("ru grouping") << "ru_RU" << QStringLiteral("1\u00a0000,5") << WholeTextResult::Ok << 1000.5;
    QTest::newRow("C full stop") << "C" << "0.5" << WholeTextResult::Ok << 0.5;
    QTest::newRow("C comma is no number") << "C" << "0,5" << WholeTextResult::NotANumber << 0.0;
    QTest::newRow("en grouping") << "en_US" << "1,000.5" << WholeTextResult::Ok << 1000.5;
    QTest::newRow("empty") << "C" << "" << WholeTextResult::Empty << 0.0;
    QTest::newRow("blanks only") << "C" << "   " << WholeTextResult::Empty << 0.0;
    QTest::newRow("letters") << "C" << "abc" << WholeTextResult::NotANumber << 0.0;
    QTest::newRow("trailing letters") << "C" << "12abc" << WholeTextResult::NotANumber << 0.0;
    QTest::newRow("inf is a word") << "C" << "inf" << WholeTextResult::NotANumber << 0.0;
    QTest::newRow("nan is a word") << "C" << "nan" << WholeTextResult::NotANumber << 0.0;
    QTest::newRow("beyond double") << "C" << "1e400" << WholeTextResult::TooLarge << 0.0;
    QTest::newRow("below double is 0") << "C" << "1e-400" << WholeTextResult::Ok << 0.0;
    QTest::newRow("ru below double is 0") << "ru_RU" << "-2,5e-400" << WholeTextResult::Ok << 0.0;
    QTest::newRow("exponent without mantissa") << "C" << "e-400" << WholeTextResult::NotANumber << 0.0;
  }
  void wholeText() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(WholeTextResult::Status, status);
    QFETCH(double, value);
    const WholeTextResult r = ParseWholeText(text, QLocale(locale));
    QCOMPARE(r.status, status);
    if (status == WholeTextResult::Ok) QCOMPARE(r.value, value);
  }

  void checkedArithmetic() {
    QCOMPARE(int{CheckedAdd(32000, 767, QStringLiteral("x"))}, 32767);
    QCOMPARE(int{CheckedSub(-32000, 768, QStringLiteral("x"))}, -32768);
    QVERIFY_THROWS_EXCEPTION(CalcError, CheckedAdd(32000, 768, QStringLiteral("x")));
    QVERIFY_THROWS_EXCEPTION(CalcError, CheckedSub(-32000, 769, QStringLiteral("x")));
    QVERIFY_THROWS_EXCEPTION(CalcError, CheckedSub(0, -32768, QStringLiteral("x")));
    try {
      CheckedSub(100, -32700, QStringLiteral("в закр. кабине"), Field::ShtorkaZ);
      QFAIL("no overflow");
    } catch (const CalcError& e) {
      QCOMPARE(e.kind(), ErrorKind::Overflow);
      QCOMPARE(e.field(), Field::ShtorkaZ);
      QVERIFY(e.message().contains(QStringLiteral("в закр. кабине")));
      QVERIFY(e.message().contains(QStringLiteral("32800")));
    }
  }

  void hoodKey_data() {
    QTest::addColumn<int>("z");
    QTest::addColumn<int>("o");
    QTest::addColumn<int>("key");
    QTest::newRow("half to even down") << 1000 << 1501 << 1250;
    QTest::newRow("half to even up") << 1000 << 1503 << 1252;
    QTest::newRow("whole") << 300 << 600 << 450;
    QTest::newRow("1333.5") << 1000 << 1667 << 1334;
    QTest::newRow("largest sum") << 16384 << 16383 << 16384;
  }
  void hoodKey() {
    QFETCH(int, z);
    QFETCH(int, o);
    QFETCH(int, key);
    QCOMPARE(int{HoodKey(static_cast<Int16>(z), static_cast<Int16>(o))}, key);
  }
  void hoodKeyOverflow() {
    QVERIFY_THROWS_EXCEPTION(CalcError, HoodKey(20000, 15000));
  }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
