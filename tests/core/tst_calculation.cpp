// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "calculation.h"
#include "fake_tables.h"
#include "profiles.h"
#include "test_flights.h"

#include <QRegularExpression>
#include <QTest>

#include <cmath>

using namespace meltor;
using namespace Qt::StringLiterals;
using meltor::test::FakeTables;
using meltor::test::FieldNamed;
using meltor::test::FieldText;
using meltor::test::L39Flight;

Q_DECLARE_METATYPE(meltor::Field)

namespace {

const QLocale kC = QLocale::c();

FlightState StateFor(const FlightInput& in, const QLocale& locale = kC) {
  FlightState s;
  ReadFlightRecord(s, in, locale);
  SelectProfile(s, in.cboTyp, in.dayNight);
  return s;
}

}  // namespace

class TestCalculation : public QObject {
  Q_OBJECT

 private slots:
  void flightTime_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("hours");
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<int>("seconds");  // -1: overflow
    QTest::newRow("90 minutes") << "C"
                                << "0"
                                << "90" << 5400;
    QTest::newRow("9 h 6 min") << "C"
                               << "9"
                               << "6" << 32760;
    QTest::newRow("9 h 7 min overflows") << "C"
                                         << "9"
                                         << "7" << -1;
    QTest::newRow("1.5 hours") << "C"
                               << "1.5"
                               << "0" << 5400;
    QTest::newRow("half an hour, comma locale") << "ru_RU"
                                                << "0,5"
                                                << "0" << 1800;
    QTest::newRow("fractions counted before one rounding") << "C"
                                                           << "0.0001"
                                                           << "0.0085" << 1;
    QTest::newRow("negative") << "C"
                              << "-1"
                              << "0" << -3600;
  }
  void flightTime() {
    QFETCH(QString, locale);
    QFETCH(QString, hours);
    QFETCH(QString, minutes);
    QFETCH(int, seconds);
    FlightInput in = L39Flight();
    in.txtTpolChas = hours;
    in.txtTpolMin = minutes;
    FlightState s;
    if (seconds == -1) {
      try {
        ReadFlightRecord(s, in, QLocale(locale));
        QFAIL("no overflow");
      } catch (const CalcError& e) {
        QCOMPARE(e.kind(), ErrorKind::Overflow);
        QVERIFY(e.message().contains(QStringLiteral("32767")));
      }
      return;
    }
    ReadFlightRecord(s, in, QLocale(locale));
    QCOMPARE(int{s.rec.Tpol}, seconds);
  }

  void leadingNumberFields() {
    FlightInput in = L39Flight();
    in.txtBal = QStringLiteral("7.5");
    in.txtHn = QStringLiteral("12 ");
    in.txtVidKm = QStringLiteral("4");
    in.txtVidSm = QStringLiteral("5");
    in.txtShtorkaZ = QStringLiteral("-300");
    in.txtShtorkaO = QStringLiteral("1 2");
    FlightState s = StateFor(in, QLocale(QStringLiteral("ru_RU")));
    QCOMPARE(int{s.rec.Bal}, 8);
    QCOMPARE(int{s.rec.Hn}, 12);
    QCOMPARE(s.rec.Vid, 4.5f);
    QCOMPARE(int{s.rec.ShtorkaZ}, -300);
    QCOMPARE(int{s.rec.ShtorkaO}, 12);
    in.txtBal = QStringLiteral("8.5");
    in.txtVidKm = QString();
    QCOMPARE(int{StateFor(in).rec.Bal}, 8);
    QCOMPARE(StateFor(in).rec.Vid, 0.5f);
    in.txtBal = QStringLiteral("0,5");  // the comma ends the number whatever the locale
    QCOMPARE(int{StateFor(in, QLocale(QStringLiteral("ru_RU"))).rec.Bal}, 0);
  }

  // Text the leading-number reading leaves unused, or text without a number, is reported with the
  // field, what was typed, what was read and why; the calculation goes on with what was read.
  void unreadText_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("read");
    QTest::addColumn<QString>("words");  // pieces of the warning, "|" between; empty: no warning
    QTest::newRow("comma in the km box")
        << "txtVidKm"
        << "4,5" << 4.0 << QStringLiteral("Видимость, км|«4,5»|прочитано 4 —|поле после запятой");
    QTest::newRow("comma in the cloud amount")
        << "txtBal"
        << " 7,5 " << 7.0 << QStringLiteral("«7,5»|«,5» не учтено|через точку");
    QTest::newRow("unit after the number")
        << "txtHn"
        << "300 м" << 300.0 << QStringLiteral("Нн|«м» после числа");
    QTest::newRow("no number") << "txtHv"
                               << "abc" << 0.0
                               << QStringLiteral("Нв|«abc», прочитано 0 — в начале нет числа");
    QTest::newRow("exponent without digits") << "txtShtorkaZ"
                                             << "1e" << 1.0 << QStringLiteral("«e» после числа");
    QTest::newRow("a comma alone in the hundreds box")
        << "txtVidSm"
        << "," << 0.0 << QStringLiteral("сотни м|нет числа");
    QTest::newRow("blanks inside the number") << "txtShtorkaO"
                                              << "1 2\t" << 12.0 << QString();
    QTest::newRow("full stop at the end") << "txtBal"
                                          << "5." << 5.0 << QString();
    QTest::newRow("blanks only") << "txtVidSm"
                                 << "  " << 0.0 << QString();
    QTest::newRow("field then overflows")
        << "txtHn"
        << "40000 м" << 40000.0 << QStringLiteral("«м» после числа");
  }
  void unreadText() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(double, read);
    QFETCH(QString, words);
    FlightInput in = L39Flight();
    *FieldText(in, FieldNamed(field)) = text;
    FakeTables tables;
    const CalcOutcome out = CalculateFlight(in, tables, kC, true);
    if (words.isEmpty()) {
      QVERIFY(out.warnings.isEmpty());
      return;
    }
    QCOMPARE(out.warnings.size(), 1);
    const InputWarning& w = out.warnings.front();
    QCOMPARE(w.field, FieldNamed(field));
    QCOMPARE(w.typed, text.trimmed());
    QCOMPARE(w.read, read);
    for (const QString& piece : words.split(QLatin1Char('|')))
      QVERIFY2(w.message.contains(piece), qPrintable(w.message));
    // The path tells it too, when the calculation got as far as the path's first line.
    if (out.ok()) QVERIFY(out.explanation.contains(QStringLiteral("Внимание: ") + w.message));
  }

  void visibilityReplacement_data() {
    QTest::addColumn<QString>("km");
    QTest::addColumn<QString>("hundreds");
    QTest::addColumn<float>("vid");
    QTest::newRow("both empty") << ""
                                << "" << 10.0f;
    QTest::newRow("zeros") << "0"
                           << "0" << 10.0f;
    QTest::newRow("no numbers") << "x"
                                << "y" << 10.0f;
    QTest::newRow("negative stays") << "-1"
                                    << "" << -1.0f;
    QTest::newRow("sum to zero") << "-1"
                                 << "10" << 10.0f;
    QTest::newRow("tenths in single precision") << "4"
                                                << "1" << static_cast<float>(4.1);
  }
  void visibilityReplacement() {
    QFETCH(QString, km);
    QFETCH(QString, hundreds);
    QFETCH(float, vid);
    FlightInput in = L39Flight();
    in.txtVidKm = km;
    in.txtVidSm = hundreds;
    QCOMPARE(StateFor(in).rec.Vid, vid);
  }

  // The cloud top (12000 m when empty or 0) and the in-cloud key the profile makes of it, as the
  // path of the calculation tells it.
  void cloudTopAndHObl_data() {
    QTest::addColumn<QString>("changes");  // to the L-39 flight
    QTest::addColumn<int>("hv");
    QTest::addColumn<int>("hObl");
    QTest::addColumn<QString>("words");  // the key's line of the path holds them
    const QString top = u"по верхней границе облаков: "_s;
    const QString thickness = u"по толщине облаков: "_s;
    const QString empty = u" м (верхняя граница не задана — принята 12000 м)."_s;
    QTest::newRow("L-39 empty top") << "Hn=600 Hv=" << 12000 << 12000 << top + u"12000"_s + empty;
    QTest::newRow("L-39 top") << "Hn=600 Hv=1500" << 1500 << 1500 << top + u"1500 м."_s;
    QTest::newRow("Su-24 empty top")
        << "Typ=Су-24 Hn=600 Hv=" << 12000 << 11400 << thickness + u"12000 − 600 = 11400"_s + empty;
    QTest::newRow("Su-24 -0.4 rounds to 0")
        << "Typ=Су-24 Hn=600 Hv=-0.4" << 12000 << 11400 << thickness + u"12000 − 600 = 11400"_s;
    QTest::newRow("Su-25 thickness")
        << "Typ=Су-25 Hn=600 Hv=1500" << 1500 << 900 << thickness + u"1500 − 600 = 900 м."_s;
    QTest::newRow("Su-27 top below base")
        << "Typ=Су-27 Hn=900 Hv=600" << 600 << -300 << thickness + u"600 − 900 = -300 м."_s;
    QTest::newRow("MiG-29") << "Typ=МиГ-29 Hn=300 Hv=2300" << 2300 << 2000 << u"2300 − 300"_s;
    QTest::newRow("MiG-29 below the ground")
        << "Typ=МиГ-29 Hn=-300 Hv=2300" << 2300 << 2600 << u"2300 − (-300) = 2600 м."_s;
    // A base of 0 makes the thickness equal to the top: still the thickness.
    QTest::newRow("MiG-31") << "Typ=МиГ-31 Hn=0 Hv=5000" << 5000 << 5000
                            << thickness + u"5000 − 0"_s;
  }
  void cloudTopAndHObl() {
    QFETCH(QString, changes);
    QFETCH(int, hv);
    QFETCH(int, hObl);
    QFETCH(QString, words);
    const FlightInput in = test::Changed(L39Flight(), changes);
    FlightState s;
    Explanation explanation;
    s.explain = &explanation;
    ReadFlightRecord(s, in, kC);
    QCOMPARE(int{s.HObl}, 0);  // the profile alone sets the key, an empty top or not
    SelectProfile(s, in.cboTyp, in.dayNight);
    QCOMPARE(int{s.rec.Hv}, hv);
    QCOMPARE(int{s.HObl}, hObl);
    QVERIFY(s.profile);
    QCOMPARE(s.profile->Entry(), in.cboTyp);  // the profile chosen, kept for the picture
    const QStringList key = explanation.lines().filter(u"Таблица в облаках — "_s);
    QCOMPARE(key.size(), 1);
    QVERIFY2(key.front().contains(words), qPrintable(key.front()));
  }

  void thicknessOverflow() {
    FlightInput in = L39Flight();
    in.cboTyp = QStringLiteral("Су-24");
    in.txtHn = QStringLiteral("-30000");
    in.txtHv = QStringLiteral("30000");
    FakeTables tables;
    const CalcOutcome out = CalculateFlight(in, tables, kC);
    QVERIFY(!out.ok());
    QCOMPARE(out.error->kind(), ErrorKind::Overflow);
  }

  void profiles() {
    QCOMPARE(
        AircraftTypeEntries(),
        (QStringList{QStringLiteral("Л-39"), QStringLiteral("Су-24"), QStringLiteral("Су-25"),
                     QStringLiteral("Су-27"), QStringLiteral("МиГ-29"), QStringLiteral("МиГ-31")}));
    FlightInput in = L39Flight();
    in.cboTyp = QStringLiteral("МиГ-29");
    const FlightState s = StateFor(in);
    QCOMPARE(s.TabPod, QStringLiteral("Z_Time_Pod_MiG29"));
    QCOMPARE(s.TabObl, QStringLiteral("Z_Time_Obl_MiG29"));
  }

  // The weather verdict, seen through the case that follows: with 10 tenths and the flight
  // below the cloud base and no hood, adverse weather is case 2b and good weather 2d.
  void minima_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("dayNight");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("km");
    QTest::addColumn<QString>("hundreds");
    QTest::addColumn<QString>("caseId");
    const int day = int(DayNight::Day), night = int(DayNight::Night), none = int(DayNight::None);
    QTest::newRow("L-39 day, base at HnMin1") << "Л-39" << day << "250"
                                              << "9"
                                              << ""
                                              << "2b";
    QTest::newRow("L-39 day, 251 m, 4.1 km") << "Л-39" << day << "251"
                                             << "4"
                                             << "1"
                                             << "2b";
    QTest::newRow("L-39 day, 251 m, 4.6 km") << "Л-39" << day << "251"
                                             << "4"
                                             << "6"
                                             << "2d";
    QTest::newRow("L-39 day, 301 m, 4.1 km") << "Л-39" << day << "301"
                                             << "4"
                                             << "1"
                                             << "2d";
    QTest::newRow("L-39 day, visibility at VidMin1") << "Л-39" << day << "1000"
                                                     << "4"
                                                     << ""
                                                     << "2b";
    QTest::newRow("L-39 day, visibility at VidMin2") << "Л-39" << day << "260"
                                                     << "4"
                                                     << "5"
                                                     << "2b";
    QTest::newRow("L-39 night, 300 m") << "Л-39" << night << "300"
                                       << "9"
                                       << ""
                                       << "2b";
    QTest::newRow("L-39 night, 301 m, 5.1 km") << "Л-39" << night << "301"
                                               << "5"
                                               << "1"
                                               << "2d";
    QTest::newRow("general day, 400 m") << "Су-27" << day << "400"
                                        << "9"
                                        << ""
                                        << "2b";
    QTest::newRow("general day, 401 m, 4.1 km") << "Су-27" << day << "401"
                                                << "4"
                                                << "1"
                                                << "2d";
    QTest::newRow("general day, 401 m, 3.5 km") << "Су-27" << day << "401"
                                                << "3"
                                                << "5"
                                                << "2b";
    QTest::newRow("general night, 600 m, 4.5 km") << "МиГ-31" << night << "600"
                                                  << "4"
                                                  << "5"
                                                  << "2b";
    QTest::newRow("general night, 601 m, 4.5 km") << "МиГ-31" << night << "601"
                                                  << "4"
                                                  << "5"
                                                  << "2d";
    QTest::newRow("no choice: minima 0") << "Л-39" << none << "1"
                                         << "0"
                                         << "1"
                                         << "2d";
    QTest::newRow("no choice: base 0 is adverse") << "Л-39" << none << "0"
                                                  << "9"
                                                  << ""
                                                  << "2b";
  }
  void minima() {
    QFETCH(QString, type);
    QFETCH(int, dayNight);
    QFETCH(QString, base);
    QFETCH(QString, km);
    QFETCH(QString, hundreds);
    QFETCH(QString, caseId);
    FlightInput in = L39Flight();
    in.cboTyp = type;
    in.dayNight = static_cast<DayNight>(dayNight);
    in.txtHn = base;
    in.txtHpol = QStringLiteral("-100");  // below any base
    in.txtVidKm = km;
    in.txtVidSm = hundreds;
    FakeTables tables;
    const CalcOutcome out = CalculateFlight(in, tables, kC);
    QVERIFY2(out.ok(), out.ok() ? "" : qPrintable(out.error->message()));
    QCOMPARE(CaseText(out.state.flightCase), caseId);
  }

  // Every case of the classification, with lookups that return fixed times. Times in seconds
  // before rounding.
  void classify_data() {
    QTest::addColumn<int>("bal");
    QTest::addColumn<int>("hpol");
    QTest::addColumn<int>("hn");
    QTest::addColumn<float>("vid");
    QTest::addColumn<int>("hoodZ");
    QTest::addColumn<int>("hoodO");
    QTest::addColumn<int>("tPod");
    QTest::addColumn<int>("tObl");
    QTest::addColumn<int>("tShtorka");
    QTest::addColumn<QString>("caseId");
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QList<int>>("expected");  // TZakKab, TObl, TZaObl, TOgrVid
    // L-39 by day: adverse when the base is 250 or below or the visibility 4 or below.
    QTest::newRow("1a poor visibility, hood ignored")
        << 7 << 3000 << 100 << 4.0f << 500 << 1000 << 0 << 0 << 99 << "1a"
        << "" << QList<int>{0, 0, 0, 3600};
    QTest::newRow("1b hood") << 7 << 3000 << 100 << 5.0f << 500 << 1000 << 0 << 0 << 600 << "1b"
                             << "hood" << QList<int>{3000, 0, 0, 0};
    QTest::newRow("1c nothing") << 7 << 3000 << 100 << 5.0f << 0 << 500 << 0 << 0 << 600 << "1c"
                                << "" << QList<int>{0, 0, 0, 0};
    QTest::newRow("2a adverse, hood")
        << 8 << 100 << 200 << 5.0f << 500 << 1000 << 0 << 0 << 600 << "2a"
        << "hood" << QList<int>{3000, 0, 0, 600};
    QTest::newRow("2b adverse") << 8 << 100 << 200 << 5.0f << 0 << 0 << 0 << 0 << 0 << "2b"
                                << "" << QList<int>{0, 0, 0, 3600};
    QTest::newRow("2c within, hood")
        << 9 << 100 << 600 << 5.0f << 500 << 1000 << 0 << 0 << 600 << "2c"
        << "hood" << QList<int>{3000, 0, 0, 0};
    QTest::newRow("2d within") << 9 << 100 << 600 << 5.0f << -1 << 1000 << 0 << 0 << 600 << "2d"
                               << "" << QList<int>{0, 0, 0, 0};
    QTest::newRow("3a adverse, hood above cloud")
        << 10 << 3000 << 200 << 3.0f << 2000 << 3000 << 120 << 300 << 900 << "3a"
        << "cloud,hood" << QList<int>{2700, 300, 480, 120};
    QTest::newRow("3b adverse, TShtorka equal to TPod")
        << 10 << 3000 << 200 << 3.0f << 100 << 200 << 120 << 300 << 120 << "3b"
        << "cloud,hood" << QList<int>{3180, 300, 0, 120};
    QTest::newRow("3c adverse") << 10 << 3000 << 200 << 3.0f << 0 << 0 << 120 << 300 << 0 << "3c"
                                << "cloud" << QList<int>{0, 300, 3180, 120};
    QTest::newRow("3c flight height equal to the base")
        << 8 << 200 << 200 << 3.0f << 0 << 0 << 120 << 300 << 0 << "3c"
        << "cloud" << QList<int>{0, 300, 3180, 120};
    QTest::newRow("3d within, hood above cloud")
        << 10 << 3000 << 600 << 5.0f << 2000 << 3000 << 120 << 300 << 900 << "3d"
        << "cloud,hood" << QList<int>{2700, 300, 480, 0};
    QTest::newRow("3e within, hood below cloud")
        << 10 << 3000 << 600 << 5.0f << 100 << 200 << 120 << 300 << 60 << "3e"
        << "cloud,hood" << QList<int>{3240, 300, 0, 0};
    QTest::newRow("3f within") << 10 << 3000 << 600 << 5.0f << 0 << 0 << 120 << 3480 << 0 << "3f"
                               << "cloud" << QList<int>{0, 3480, 0, 0};
    QTest::newRow("3a hood closed in cloud: negative above-cloud time")
        << 10 << 3000 << 200 << 3.0f << 300 << 400 << 120 << 600 << 200 << "3a"
        << "cloud,hood" << QList<int>{3400, 600, -520, 120};
  }
  void classify() {
    QFETCH(int, bal);
    QFETCH(int, hpol);
    QFETCH(int, hn);
    QFETCH(float, vid);
    QFETCH(int, hoodZ);
    QFETCH(int, hoodO);
    QFETCH(int, tPod);
    QFETCH(int, tObl);
    QFETCH(int, tShtorka);
    QFETCH(QString, caseId);
    QFETCH(QString, calls);
    QFETCH(QList<int>, expected);
    FlightState s;
    s.rec = FlightRecord{static_cast<Int16>(hpol),
                         3600,
                         static_cast<Int16>(bal),
                         static_cast<Int16>(hn),
                         1000,
                         vid,
                         static_cast<Int16>(hoodZ),
                         static_cast<Int16>(hoodO)};
    s.minima = MinimaFor(MinimaFamily::L39, DayNight::Day);
    FakeTables tables;
    tables.TPod = static_cast<Int16>(tPod);
    tables.TObl = static_cast<Int16>(tObl);
    tables.TShtorka = static_cast<Int16>(tShtorka);
    Explanation explanation;
    s.explain = &explanation;
    Classify(s, tables);
    QCOMPARE(CaseText(s.flightCase), caseId);
    // The path names the case in words, with the weather verdict where the cloud is 8 or more.
    const QString text = explanation.lines().join(QLatin1Char('\n'));
    // What the picture asks of the case agrees with what the calculation did and said.
    QCOMPARE(UsesHood(s.flightCase), calls.contains(u"hood"_s));
    QCOMPARE(BelowMinima(s.flightCase),
             text.contains(u"ниже минимума"_s) || text.contains(u"не больше минимума"_s));
    QCOMPARE(int(GroupOf(s.flightCase)), caseId.front().digitValue());
    QVERIFY2(CaseWords(s.flightCase).startsWith(u"Случай %1: "_s.arg(caseId)),
             qPrintable(CaseWords(s.flightCase)));
    QVERIFY2(text.contains(QStringLiteral("[случай %1]").arg(caseId)), qPrintable(text));
    if (bal >= 8) QVERIFY2(text.contains(QStringLiteral("Погода ")), qPrintable(text));
    // In the pilot's words and units: no names of the code, and every time credited here in
    // minutes with its seconds beside them.
    QVERIFY2(!text.contains(QRegularExpression(
                 QStringLiteral("\\b(T[A-Z][A-Za-z]+|Tpol|Hpol|HObl|Случай)\\b"))),
             qPrintable(text));
    for (const int seconds : {int{s.t.TZakKab}, int{s.t.TZaObl}, int{s.t.TOgrVid}}) {
      if (seconds == 0) continue;
      const QRegularExpression shown(QStringLiteral("%1 мин \\(([^)]* )?%2 с\\)")
                                         .arg(std::nearbyint(seconds / 60.0))
                                         .arg(seconds));
      QVERIFY2(text.contains(shown),
               qPrintable(QString::number(seconds) + QLatin1Char('\n') + text));
    }
    QCOMPARE(tables.calls.join(QLatin1Char(',')), calls);
    QCOMPARE((QList<int>{s.t.TZakKab, s.t.TObl, s.t.TZaObl, s.t.TOgrVid}), expected);
    QCOMPARE(int{s.t.TSMU}, 0);  // formed only when rounding
  }

  void classifyOverflow() {
    FlightState s;
    s.rec = FlightRecord{3000, 32000, 10, 200, 1000, 3.0f, 0, 0};
    s.minima = MinimaFor(MinimaFamily::L39, DayNight::Day);
    FakeTables tables;
    tables.TPod = -800;  // 32000 - (-800) overflows in the first subtraction
    try {
      Classify(s, tables);
      QFAIL("no overflow");
    } catch (const CalcError& e) {
      QCOMPARE(e.kind(), ErrorKind::Overflow);
      QVERIFY(e.message().contains(QStringLiteral("за обл.")));
    }
  }

  void rounding_data() {
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("minutes");
    QTest::newRow("29 s") << 29 << 0;
    QTest::newRow("30 s") << 30 << 0;
    QTest::newRow("89 s") << 89 << 1;
    QTest::newRow("90 s") << 90 << 2;
    QTest::newRow("150 s") << 150 << 2;
    QTest::newRow("210 s") << 210 << 4;
    QTest::newRow("-90 s") << -90 << -2;
    QTest::newRow("32767 s") << 32767 << 546;
    QTest::newRow("-32768 s") << -32768 << -546;
  }
  void rounding() {
    QFETCH(int, seconds);
    QFETCH(int, minutes);
    FlightState s;
    s.t.TObl = static_cast<Int16>(seconds);
    s.t.TShtorka = static_cast<Int16>(seconds);
    s.rec.Tpol = static_cast<Int16>(seconds);
    RoundToMinutes(s);
    QCOMPARE(int{s.t.TObl}, minutes);
    QCOMPARE(int{s.t.TShtorka}, minutes);
    QCOMPARE(int{s.rec.Tpol}, minutes);
    QCOMPARE(int{s.t.TSMU}, minutes);
  }

  // Case 3c with the one-minute balance. Seconds in, minutes out.
  void balance_data() {
    QTest::addColumn<int>("tPod");
    QTest::addColumn<int>("tObl");
    QTest::addColumn<int>("hoodZ");
    QTest::addColumn<int>("hoodO");
    QTest::addColumn<QList<int>>("expected");  // TObl, TZaObl, TOgrVid, TSMU
    QTest::newRow("excess taken from above cloud")
        << 90 << 90 << 0 << 0 << QList<int>{2, 56, 2, 60};
    QTest::newRow("shortfall added to in cloud")
        << 150 << 150 << 0 << 0 << QList<int>{3, 55, 2, 60};
    QTest::newRow("hood height blocks: excess") << 90 << 90 << 0 << 500 << QList<int>{2, 57, 2, 61};
    QTest::newRow("hood height blocks: shortfall")
        << 150 << 150 << 0 << 500 << QList<int>{2, 55, 2, 59};
    QTest::newRow("negative hood height blocks") << 90 << 90 << -5 << 0 << QList<int>{2, 57, 2, 61};
    QTest::newRow("no limited visibility, no correction")
        << 20 << 150 << 0 << 0 << QList<int>{2, 57, 0, 59};
  }
  void balance() {
    QFETCH(int, tPod);
    QFETCH(int, tObl);
    QFETCH(int, hoodZ);
    QFETCH(int, hoodO);
    QFETCH(QList<int>, expected);
    FlightState s;
    s.rec = FlightRecord{
        3000, 3600, 10, 200, 1000, 3.0f, static_cast<Int16>(hoodZ), static_cast<Int16>(hoodO)};
    s.minima = MinimaFor(MinimaFamily::L39, DayNight::Day);
    FakeTables tables;
    tables.TPod = static_cast<Int16>(tPod);
    tables.TObl = static_cast<Int16>(tObl);
    Classify(s, tables);
    QCOMPARE(s.flightCase, FlightCase::Case3c);
    RoundToMinutes(s);
    BalanceMinutes(s);
    QCOMPARE((QList<int>{s.t.TObl, s.t.TZaObl, s.t.TOgrVid, s.t.TSMU}), expected);
    QCOMPARE(int{s.t.TSMU}, s.t.TObl + s.t.TOgrVid + s.t.TZaObl);
  }

  void balanceMovesOneMinuteOnly() {
    FlightState s;
    s.rec.Tpol = 60;
    s.t.TObl = 2;
    s.t.TZaObl = 55;
    s.t.TOgrVid = 1;  // 2 + 55 + 1 = 58: two minutes short after rounding
    BalanceMinutes(s);
    QCOMPARE(int{s.t.TObl}, 3);
    QCOMPARE(int{s.t.TSMU}, 59);
  }

  void minutesText_data() {
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1 << "0.01";
    QTest::newRow("9") << 9 << "0.09";
    QTest::newRow("10") << 10 << "0.10";
    QTest::newRow("59") << 59 << "0.59";
    QTest::newRow("60") << 60 << "1.00";
    QTest::newRow("61") << 61 << "1.01";
    QTest::newRow("90") << 90 << "1.30";
    QTest::newRow("119") << 119 << "1.59";
    QTest::newRow("600") << 600 << "10.00";
    QTest::newRow("-5") << -5 << "-0.05";
    QTest::newRow("-65") << -65 << "-1.05";
    QTest::newRow("-32768") << -32768 << "-546.08";
  }
  void minutesText() {
    QFETCH(int, minutes);
    QFETCH(QString, text);
    QCOMPARE(MinutesText(minutes), text);
  }

  void showResults() {
    ResultTexts labels;
    ShowResults(TimeBreakdown{0, 0, 0, 0, 65, 0, 0}, labels);
    QCOMPARE(labels.text, (std::array<QString, 5>{"1.05", "-", "-", "-", QStringLiteral("ПМУ")}));
    ShowResults(TimeBreakdown{0, 5, -65, 0, 0, 2, 1}, labels);
    QCOMPARE(labels.text, (std::array<QString, 5>{"-", "0.05", "-1.05", "0.02", "0.01"}));
    ClearResults(labels);
    QCOMPARE(labels.text, (std::array<QString, 5>{"-", "-", "-", "-", "-"}));
  }

  // The flight every pilot knows: case 3c, 2, 5 and 53 minutes, total one hour.
  void typicalFlightEndToEnd() {
    FakeTables tables;
    tables.TPod = 120;
    tables.TObl = 300;
    const CalcOutcome out = CalculateFlight(L39Flight(), tables, kC);
    QVERIFY(out.ok());
    QCOMPARE(out.labels.text, (std::array<QString, 5>{"-", "0.05", "0.53", "0.02", "1.00"}));
    QCOMPARE(tables.lastTabPod, QStringLiteral("Z_Time_Pod_L39"));
    QCOMPARE(int{tables.lastHObl}, 1000);
  }

  void errors_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<meltor::Field>("reported");
    QTest::addColumn<QString>("words");  // must appear in the message
    QTest::newRow("height empty") << "txtHpol"
                                  << "" << Field::Hpol
                                  << QStringLiteral("Высота п-та, м: поле не заполнено");
    QTest::newRow("height letters") << "txtHpol"
                                    << "abc" << Field::Hpol << QStringLiteral("«abc» — не число");
    QTest::newRow("height too large")
        << "txtHpol"
        << "400000" << Field::Hpol
        << QStringLiteral("«400000» — такой высоты не ввести: наибольшая высота — 32767 м");
    QTest::newRow("cloud base too low")
        << "txtHn"
        << "-40000" << Field::Hn << QStringLiteral("наименьшая высота — -32768 м");
    QTest::newRow("cloud amount too large")
        << "txtBal"
        << "123456" << Field::Bal
        << QStringLiteral("число 123456 вне допустимого диапазона от -32768 до 32767");
    QTest::newRow("height beyond double")
        << "txtHpol"
        << "1e400" << Field::Hpol << QStringLiteral("слишком велико");
    QTest::newRow("minutes letters") << "txtTpolMin"
                                     << "x" << Field::TpolMin << QStringLiteral("Время п-та, мин");
    QTest::newRow("minutes product beyond double")
        << "txtTpolMin"
        << "1e307" << Field::TpolMin << QStringLiteral("слишком велико");
    QTest::newRow("hours empty") << "txtTpolChas"
                                 << "" << Field::TpolChas << QStringLiteral("Время п-та, ч");
    QTest::newRow("hours too many") << "txtTpolChas"
                                    << "10" << Field::TpolChas << QStringLiteral("9 ч 06 мин 07 с");
    QTest::newRow("cloud amount") << "txtBal"
                                  << "40000" << Field::Bal << QStringLiteral("Облачность, баллов");
    QTest::newRow("cloud base") << "txtHn"
                                << "-1e6" << Field::Hn << QStringLiteral("Нн");
    QTest::newRow("cloud top") << "txtHv"
                               << "99999" << Field::Hv << QStringLiteral("Нв");
    QTest::newRow("visibility beyond float")
        << "txtVidKm"
        << "1e39" << Field::VidKm << QStringLiteral("Видимость");
    QTest::newRow("visibility infinite") << "txtVidKm"
                                         << "1e999" << Field::VidKm << QStringLiteral("Видимость");
    QTest::newRow("visibility beyond float, hundreds empty")
        << "txtVidKm"
        << "1e40" << Field::VidKm << QStringLiteral("км — «1e40», сотни м — пусто");
    QTest::newRow("hundreds beyond float") << "txtVidSm"
                                           << "1e40" << Field::VidSm << QStringLiteral("Видимость");
    QTest::newRow("hood closing") << "txtShtorkaZ"
                                  << "32768" << Field::ShtorkaZ
                                  << QStringLiteral("высота закрытия");
    QTest::newRow("hood opening") << "txtShtorkaO"
                                  << "-32769" << Field::ShtorkaO
                                  << QStringLiteral("высота открытия");
    QTest::newRow("type unknown") << "cboTyp"
                                  << "Ан-2" << Field::Typ << QStringLiteral("«Ан-2» нет в списке");
    QTest::newRow("type empty") << "cboTyp"
                                << "" << Field::Typ << QStringLiteral("тип не выбран");
    QTest::newRow("type with a blank")
        << "cboTyp" << QStringLiteral("Л-39 ") << Field::Typ << QStringLiteral("нет в списке");
  }
  void errors() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(meltor::Field, reported);
    QFETCH(QString, words);
    FlightInput in = L39Flight();
    *FieldText(in, FieldNamed(field)) = text;
    if (field == QStringLiteral("txtVidKm") && text == QStringLiteral("1e39"))
      in.txtVidSm = QStringLiteral("1");
    FakeTables tables;
    const CalcOutcome out = CalculateFlight(in, tables, kC);
    QVERIFY(!out.ok());
    QCOMPARE(out.error->field(), reported);
    QVERIFY2(out.error->message().contains(words), qPrintable(out.error->message()));
    QCOMPARE(out.labels.text, (std::array<QString, 5>{"-", "-", "-", "-", "-"}));
    QVERIFY(tables.calls.isEmpty());
  }

  // Errors stop the calculation at the first failing field, in the order of reading.
  void errorOrder() {
    FlightInput in = L39Flight();
    in.cboTyp = QStringLiteral("нет такого");
    in.txtHpol = QString();
    FakeTables tables;
    QCOMPARE(CalculateFlight(in, tables, kC).error->field(), Field::Hpol);
    in.txtHpol = QStringLiteral("3000");
    in.txtBal = QStringLiteral("99999");
    QCOMPARE(CalculateFlight(in, tables, kC).error->field(), Field::Bal);
    in.txtBal = QStringLiteral("10");
    QCOMPARE(CalculateFlight(in, tables, kC).error->field(), Field::Typ);
  }

  // Nothing of one calculation leaks into the next.
  void calculationsAreIndependent() {
    FakeTables tables;
    tables.TPod = 120;
    tables.TObl = 300;
    const CalcOutcome first = CalculateFlight(L39Flight(), tables, kC);

    FlightInput other = L39Flight();
    other.cboTyp = QStringLiteral("Су-25");
    other.dayNight = DayNight::Night;
    other.txtHv = QString();
    CalculateFlight(other, tables, kC);
    QCOMPARE(int{tables.lastHObl}, 12000 - 200);  // Su-25 thickness, not the 10000 of an empty top

    FlightInput noType = L39Flight();
    noType.cboTyp = QString();
    QVERIFY(!CalculateFlight(noType, tables, kC).ok());

    FlightInput noChoice = L39Flight();
    noChoice.dayNight = DayNight::None;  // minima 0: base 200 > 0 and 3 km > 0, good weather
    QCOMPARE(CalculateFlight(noChoice, tables, kC).state.flightCase, FlightCase::Case3f);

    const CalcOutcome again = CalculateFlight(L39Flight(), tables, kC);
    QCOMPARE(again.labels.text, first.labels.text);
    QCOMPARE(again.state.flightCase, FlightCase::Case3c);
  }

  // Values no flight has, and results that came out negative: every number stays as calculated,
  // and each finding is a warning naming its field or result and the likely cause, in the path
  // of the calculation too.
  void implausible_data() {
    QTest::addColumn<QStringList>("changes");   // "txtField=text", or TPod/TObl/TShtorka=seconds
    QTest::addColumn<QString>("labels");        // the five results, unchanged by the warnings
    QTest::addColumn<QStringList>("warnings");  // "Field or result: a piece of its message"
    const QString usual = QStringLiteral("- 0.05 0.53 0.02 1.00");
    QTest::newRow("a flight as it should be") << QStringList{} << usual << QStringList{};
    // -3600 - 120 - 300 s above cloud: -67 min; 2 + 5 - 67 = -60, as the flight.
    QTest::newRow("negative flight time")
        << QStringList{"txtTpolChas=-1"} << QStringLiteral("- 0.05 -1.07 0.02 -1.00")
        << QStringList{
               "TpolChas: Время п-та: -1 ч 0 мин — отрицательное время полёта",
               "ZaObl: за обл. -1.07: отрицательное время (-4020 с) — отрицательное время полёта",
               "SMU: Всего в СМУ -1.00: в сумму вошло отрицательное время (за обл. -1.07)"};
    // Hood 300..700 m, its middle 500 m inside the cloud 200..1000 m: 200 - 120 - 600 = -520 s.
    QTest::newRow("hood closed in cloud")
        << QStringList{"txtShtorkaZ=300", "txtShtorkaO=700", "TObl=600", "TShtorka=200"}
        << QStringLiteral("0.57 0.10 -0.09 0.02 0.03")
        << QStringList{
               "ZaObl: за обл. -0.09: отрицательное время (-520 с) — шторка закрыта в "
               "облаках: середина участка под шторкой (500 м) ниже верхней границы облаков "
               "(1000 м), и за облаками до неё выходит 200 − 120 − 600 = -520 с",
               "SMU: Всего в СМУ 0.03: в сумму вошло отрицательное время (за обл. -0.09), и "
               "сумма занижена"};
    QTest::newRow("flight shorter than the climb")
        << QStringList{"txtTpolChas=0", "txtTpolMin=5"} << QStringLiteral("- 0.05 -0.02 0.02 0.05")
        << QStringList{
               "ZaObl: полёт короче набора высоты через облака: полёт − набор до нижней "
               "границы − в облаках = 300 − 120 − 300 = -120 с",
               "SMU: (за обл. -0.02), и сумма занижена"};
    // Case 1b: 600 - 900 s under the hood; the closed cockpit is not in the total.
    QTest::newRow("flight shorter than the climb to the hood")
        << QStringList{"txtTpolChas=0",   "txtTpolMin=10",    "txtBal=7",    "txtVidKm=5",
                       "txtShtorkaZ=500", "txtShtorkaO=1000", "TShtorka=900"}
        << QStringLiteral("-0.05 - - - ПМУ")
        << QStringList{
               "ZakKab: в закр. кабине -0.05: отрицательное время (-300 с) — полёт короче "
               "набора до середины участка под шторкой (750 м): 600 − 900 = -300 с"};
    // Case 3a with more in cloud than the hood's climb leaves: the total falls to 0.
    QTest::newRow("total shown as ПМУ")
        << QStringList{"txtShtorkaZ=300", "txtShtorkaO=700", "TPod=20", "TObl=600", "TShtorka=25"}
        << QStringLiteral("1.00 0.10 -0.10 - ПМУ")
        << QStringList{"ZaObl: шторка закрыта в облаках",
                       "SMU: Всего в СМУ ПМУ: в сумму вошло отрицательное время (за обл. -0.10), "
                       "поэтому полёт показан как ПМУ."};
    QTest::newRow("twelve tenths")
        << QStringList{"txtBal=12"} << usual
        << QStringList{
               "Bal: Облачность, баллов: 12 — облачность бывает от 0 до 10 баллов; "
               "посчитано как 8 баллов и больше."};
    QTest::newRow("negative cloud amount")
        << QStringList{"txtBal=-1", "txtVidKm=5"} << QStringLiteral("- - - - ПМУ")
        << QStringList{"Bal: посчитано как меньше 8 баллов"};
    QTest::newRow("cloud base above the top")
        << QStringList{"txtHn=1200"} << usual
        << QStringList{
               "Hn: Облачность, Нн, м: нижняя граница облаков Нн 1200 м выше верхней Нв "
               "1000 м — проверьте, не перепутаны ли Нн и Нв."};
    QTest::newRow("cloud base above the 12000 m of an empty top")
        << QStringList{"txtHn=12500", "txtHv=", "txtHpol=13000"} << usual
        << QStringList{"Hn: (Нв не задана, принята 12000 м)"};
    QTest::newRow("heights above 30000 m and below the ground")
        << QStringList{"txtHpol=31000", "txtHv=-100"} << usual
        << QStringList{"Hv: Облачность, Нв, м: -100 м — отрицательная высота, ниже земли.",
                       "Hn: выше верхней Нв -100 м",
                       "Hpol: Высота п-та, м: 31000 м — выше 30000 м, такой высоты у полёта не "
                       "бывает; проверьте, не лишняя ли цифра."};
    QTest::newRow("hood opened above the flight height")
        << QStringList{"txtShtorkaZ=150", "txtShtorkaO=3500", "TShtorka=100"}
        << QStringLiteral("0.53 0.05 - 0.02 0.07")
        << QStringList{"ShtorkaO: Шторка, высота открытия, м: 3500 м — выше высоты полёта 3000 м"};
    QTest::newRow("negative hood height")
        << QStringList{"txtShtorkaZ=-300", "txtShtorkaO=500"}
        << QStringLiteral("- 0.05 0.53 0.02 1.00")
        << QStringList{
               "ShtorkaZ: -300 м — отрицательная высота, ниже земли; шторка поэтому не "
               "учитывается."};
    QTest::newRow("negative visibility")
        << QStringList{"txtVidKm=-1"} << usual
        << QStringList{"VidKm: Видимость, км: -1 км — отрицательная видимость"};
  }
  void implausible() {
    QFETCH(QStringList, changes);
    QFETCH(QString, labels);
    QFETCH(QStringList, warnings);
    FlightInput in = L39Flight();
    FakeTables tables;
    tables.TPod = 120;
    tables.TObl = 300;
    const QHash<QString, Int16*> lookups = {
        {"TPod", &tables.TPod}, {"TObl", &tables.TObl}, {"TShtorka", &tables.TShtorka}};
    for (const QString& change : changes) {
      const QString name = change.section(QLatin1Char('='), 0, 0);
      const QString value = change.section(QLatin1Char('='), 1);
      if (lookups.contains(name)) {
        *lookups.value(name) = static_cast<Int16>(value.toInt());
      } else {
        QString* box = FieldText(in, FieldNamed(name));
        QVERIFY2(box, qPrintable(name));
        *box = value;
      }
    }
    const CalcOutcome out = CalculateFlight(in, tables, kC, true);
    QVERIFY2(out.ok(), out.ok() ? "" : qPrintable(out.error->message()));
    QCOMPARE(QStringList(out.labels.text.begin(), out.labels.text.end()).join(QLatin1Char(' ')),
             labels);

    const QHash<QString, ResultLabel> resultIds = {{"ZakKab", ResultLabel::ZakKab},
                                                   {"Obl", ResultLabel::Obl},
                                                   {"ZaObl", ResultLabel::ZaObl},
                                                   {"OgrVid", ResultLabel::OgrVid},
                                                   {"SMU", ResultLabel::SMU}};
    QStringList seen;
    for (const InputWarning& w : out.warnings) {
      QVERIFY2(out.explanation.contains(QStringLiteral("Внимание: ") + w.message),
               qPrintable(w.message));
      QVERIFY2((w.field == Field::None) != !w.result.has_value(), qPrintable(w.message));
      seen << w.message;
    }
    QCOMPARE(out.warnings.size(), warnings.size());
    for (int i = 0; i < warnings.size(); ++i) {
      const QString where = warnings[i].section(QStringLiteral(": "), 0, 0);
      const QString piece = warnings[i].section(QStringLiteral(": "), 1);
      const InputWarning& w = out.warnings[i];
      if (resultIds.contains(where)) {
        QCOMPARE(w.result, std::optional<ResultLabel>(resultIds.value(where)));
      } else {
        QCOMPARE(w.field, FieldNamed(where));
      }
      QVERIFY2(w.message.contains(piece), qPrintable(seen.join(QLatin1Char('\n'))));
    }
  }

  // A lookup that stops on a layer whose base lies above its top says that first, sends the pilot
  // to the cloud base, and does not repeat it as a warning; any other stop is told as it was.
  void baseAboveTopStops() {
    FakeTables tables;
    tables.cloudFailure = QStringLiteral("Таблица «Z_Time_Obl_L39»: ключ меньше наименьшего.");
    FlightInput in = L39Flight();
    in.txtHn = QStringLiteral("1200");
    const CalcOutcome out = CalculateFlight(in, tables, kC);
    QVERIFY(!out.ok());
    QCOMPARE(out.error->field(), Field::Hn);
    QCOMPARE(out.error->message(),
             QStringLiteral("Облачность: нижняя граница облаков Нн 1200 м выше верхней Нв 1000 м — "
                            "проверьте, не перепутаны ли Нн и Нв. Расчёт остановлен на таблице: ") +
                 tables.cloudFailure);
    QVERIFY(out.warnings.isEmpty());
    const CalcOutcome other = CalculateFlight(L39Flight(), tables, kC);
    QCOMPARE(other.error->message(), tables.cloudFailure);
    QCOMPARE(other.error->field(), Field::None);
  }

  void explanation() {
    FakeTables tables;
    tables.TPod = 90;
    tables.TObl = 90;
    const CalcOutcome quiet = CalculateFlight(L39Flight(), tables, kC);
    QVERIFY(quiet.explanation.isEmpty());
    const CalcOutcome out = CalculateFlight(L39Flight(), tables, kC, true);
    const QString text = out.explanation.join(QLatin1Char('\n'));
    QVERIFY2(text.contains(QStringLiteral("[случай 3c]")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("ниже минимума")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("минута снята со времени за облаками")),
             qPrintable(text));
  }
};

QTEST_GUILESS_MAIN(TestCalculation)
#include "tst_calculation.moc"
