// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "fake_tables.h"
#include "flight_picture.h"
#include "test_flights.h"

#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTest>
#include <QXmlStreamReader>

using namespace meltor;
using namespace Qt::StringLiterals;
using meltor::test::FakeTables;

namespace {

ResultLabel LabelOf(PictureCategory c) {
  switch (c) {
    case PictureCategory::ZakKab:
      return ResultLabel::ZakKab;
    case PictureCategory::Obl:
      return ResultLabel::Obl;
    case PictureCategory::ZaObl:
      return ResultLabel::ZaObl;
    default:
      return ResultLabel::OgrVid;
  }
}

// The texts of the SVG's text elements; fails the test when the document does not parse.
QStringList SvgTexts(const QByteArray& svg) {
  QStringList texts;
  QXmlStreamReader xml(svg);
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"text"_s) {
      texts << xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
    }
  }
  if (xml.hasError()) qWarning() << xml.errorString();
  return xml.hasError() ? QStringList{u"<parse error>"_s} : texts;
}

// Whether the heights panel shows a cloud layer, filled or outlined: ink down its left edge, far
// more than the few height lines that cross there.
bool CloudLayerDrawn(const QImage& picture) {
  int inked = 0;
  for (int y = 100; y < 425; ++y) {
    for (int x = 703; x <= 705; ++x) {
      if (qGray(picture.pixel(x, y)) < 200) {
        ++inked;
        break;
      }
    }
  }
  return inked > 20;
}

}  // namespace

class TestFlightPicture : public QObject {
  Q_OBJECT

 private slots:
  // The L-39 flight of the tests (by day, one hour, cloud 200..1000 m, 3 km; adverse below
  // 250 m or at 4 km and less), changed for each case. The lookups return fixed seconds; the
  // picture must split the flight as the calculation did.
  void picture_data() {
    QTest::addColumn<QString>("changes");     // to the L-39 flight
    QTest::addColumn<QList<int>>("lookups");  // TPod, TObl, TShtorka in seconds
    QTest::addColumn<QString>("caseId");      // empty: the calculation stops
    QTest::addColumn<int>("balance");         // +1 in cloud, -1 above cloud, 0 none
    const QList<int> times{120, 300, 900};
    const QList<int> early{610, 300, 95};     // the hood's middle reached before the cloud base
    const QList<int> late{150, 330, 1000};    // and after it
    const QList<int> excess{90, 90, 0};       // 2 + 2 + 57 minutes: one more than the hour
    const QList<int> shortfall{150, 150, 0};  // 2 + 2 + 55 minutes: one less
    QTest::newRow("1a") << "Bal=7 Hn=100 VidKm=4 ShtorkaZ=500 ShtorkaO=1000" << times << "1a" << 0;
    QTest::newRow("1b") << "Bal=7 Hn=100 VidKm=5 ShtorkaZ=500 ShtorkaO=1000" << times << "1b" << 0;
    QTest::newRow("1c") << "Bal=7 Hn=100 VidKm=5" << times << "1c" << 0;
    QTest::newRow("2a") << "Bal=8 VidKm=5 Hpol=100 ShtorkaZ=50 ShtorkaO=150" << times << "2a" << 0;
    QTest::newRow("2b") << "Bal=8 VidKm=5 Hpol=100" << times << "2b" << 0;
    QTest::newRow("2c") << "Bal=9 Hn=600 VidKm=5 Hpol=100 ShtorkaZ=50 ShtorkaO=150" << times << "2c"
                        << 0;
    QTest::newRow("2d") << "Bal=9 Hn=600 VidKm=5 Hpol=100" << times << "2d" << 0;
    QTest::newRow("3a") << "ShtorkaZ=2000 ShtorkaO=3000" << times << "3a" << 0;
    QTest::newRow("3b") << "ShtorkaZ=50 ShtorkaO=150" << early << "3b" << 0;
    QTest::newRow("3c") << "" << times << "3c" << 0;
    QTest::newRow("3c, balance takes a minute above cloud") << "" << excess << "3c" << -1;
    QTest::newRow("3c, balance adds a minute in cloud") << "" << shortfall << "3c" << 1;
    QTest::newRow("3d") << "Hn=600 VidKm=5 ShtorkaZ=2000 ShtorkaO=3000" << late << "3d" << 0;
    QTest::newRow("3e") << "Hn=600 VidKm=5 ShtorkaZ=50 ShtorkaO=150" << early << "3e" << 0;
    QTest::newRow("3f") << "Hn=600 VidKm=5" << times << "3f" << 0;
    // The calculation's own numbers overlap here (above cloud comes out negative): the scale
    // cannot show them end to end, and the picture says so.
    QTest::newRow("3a, hood closed in cloud")
        << "ShtorkaZ=300 ShtorkaO=400" << QList<int>{120, 600, 200} << "3a" << 0;
    // Clear weather: no cloud base, no top (12000 m stands in for it), nothing in cloud.
    QTest::newRow("1c, clear weather") << "Bal=0 Hn= Hv= VidKm=10" << times << "1c" << 0;
    QTest::newRow("3c, visibility 3.5 km") << "VidKm=3.5" << times << "3c" << 0;
    // The type and the time of day of the title come from the profile the calculation chose.
    QTest::newRow("3c, Су-27 by night") << "Typ=Су-27 DayNight=night" << times << "3c" << 0;
    QTest::newRow("3f, МиГ-29, no day or night")
        << "Typ=МиГ-29 DayNight= Hn=600 VidKm=5" << times << "3f" << 0;
    // A cloud top beyond 16 bits stops the reading.
    QTest::newRow("stopped at the cloud top") << "Hn=600 VidKm=5 Hv=99999" << times << "" << 0;
  }
  void picture() {
    QFETCH(QString, changes);
    QFETCH(QList<int>, lookups);
    QFETCH(QString, caseId);
    QFETCH(int, balance);
    const FlightInput in = test::Changed(test::L39Flight(), changes);
    FakeTables tables;
    tables.TPod = static_cast<Int16>(lookups[0]);
    tables.TObl = static_cast<Int16>(lookups[1]);
    tables.TShtorka = static_cast<Int16>(lookups[2]);
    const CalcOutcome out = CalculateFlight(in, tables, QLocale::c());
    const FlightPictureLayout layout = LayoutFlightPicture(out);
    const QStringList svg = SvgTexts(FlightPictureSvg(out));
    QVERIFY(QSvgRenderer(FlightPictureSvg(out)).isValid());
    QVERIFY(!FlightPictureImage(out).isNull());

    if (caseId.isEmpty()) {
      // What was read up to the failure, the failing field, and why.
      QVERIFY(!out.ok());
      QVERIFY(layout.failed);
      QCOMPARE(layout.failure, out.error->message());
      QVERIFY(layout.segments.isEmpty());
      QCOMPARE(layout.readFields.value(3), u"Облачность, Нн, м: 600"_s);
      QCOMPARE(layout.readFields.value(4), u"Облачность, Нв, м: ошибка"_s);
      QCOMPARE(layout.readFields.value(5), u"Видимость, км: не прочитано"_s);
      QVERIFY(svg.contains(u"Расчёт остановлен"_s));
      return;
    }
    QVERIFY(out.ok());
    QCOMPARE(CaseText(out.state.flightCase), caseId);
    // The type and the time of day in the title, the case in words beside its name.
    const QString when = in.dayNight == DayNight::Day     ? u"днём"_s
                         : in.dayNight == DayNight::Night ? u"ночью"_s
                                                          : u"день или ночь не выбраны"_s;
    QCOMPARE(layout.title, u"Разбор полёта — %1, %2"_s.arg(in.cboTyp, when));
    QVERIFY2(layout.subtitle.startsWith(u"Случай %1: облачность "_s.arg(caseId)),
             qPrintable(layout.subtitle));
    // A cloud layer, and its heights, only where the calculation looked at one.
    const bool cloud = out.state.rec.Bal >= 8;
    QCOMPARE(CloudLayerDrawn(FlightPictureImage(out)), cloud);
    for (const HeightMark& m : layout.marks) {
      QVERIFY(cloud || (m.kind != HeightMark::CloudBase && m.kind != HeightMark::CloudTop));
    }
    // Kilometres written one way, with the full stop, as the explanation writes them.
    for (const QString& line : layout.minimaLines) {
      QVERIFY2(!line.contains(QRegularExpression(u"\\d,\\d"_s)), qPrintable(line));
    }
    // Every warning of the calculation is in the notes.
    for (const InputWarning& w : out.warnings) {
      QVERIFY2(layout.notes.contains(u"Внимание: "_s + w.message), qPrintable(w.message));
    }

    const bool overlapping = out.seconds.TZaObl < 0;
    QCOMPARE(layout.notes.join(u' ').contains(u"«за обл.» отрицательно"_s), overlapping);

    // Every category with minutes has its segment, and a segment's minutes are its label's.
    std::array<bool, kResultCount> shown{};
    int covered = 0;
    for (const TimelineSegment& g : layout.segments) {
      int length = 0;
      for (const TimeSpan& s : g.spans) {
        QVERIFY2(s.from < s.to, qPrintable(g.caption));
        length += s.to - s.from;
      }
      covered += length;
      if (!overlapping) QCOMPARE(length, g.seconds);
      if (g.category == PictureCategory::NotCounted) continue;
      const int label = static_cast<int>(LabelOf(g.category));
      shown[label] = true;
      QCOMPARE(out.labels.text[label], g.minutes == 0 ? u"-"_s : MinutesText(g.minutes));
      QVERIFY2(g.caption.endsWith(u" %1 мин"_s.arg(g.minutes)), qPrintable(g.caption));
      QCOMPARE(g.balance, g.category == PictureCategory::Obl     ? std::max(balance, 0)
                          : g.category == PictureCategory::ZaObl ? std::min(balance, 0)
                                                                 : 0);
      if (g.balance != 0) QVERIFY2(g.rounding.contains(u"по балансу"_s), qPrintable(g.rounding));
    }
    QCOMPARE(covered, int{out.TpolSeconds});  // the bar is the whole flight, no more
    for (int i = 0; i < 4; ++i) {
      QVERIFY2(shown[i] || out.labels.text[i] == u"-"_s, qPrintable(ResultHeadings()[i]));
    }
    // The hood band is where the calculation credited the closed cockpit, as long as its seconds.
    int hoodSeconds = 0;
    for (const TimeSpan& s : layout.hood) hoodSeconds += s.to - s.from;
    QCOMPARE(layout.hood.isEmpty(), out.seconds.TZakKab <= 0);
    QCOMPARE(hoodSeconds, std::max(int{out.seconds.TZakKab}, 0));
    if (!layout.hood.isEmpty()) QCOMPARE(layout.hood.front().from, lookups[2]);
    // Where the scale shows the flight end to end, the band lies over the closed cockpit's bar.
    for (const TimelineSegment& g : layout.segments) {
      if (g.category != PictureCategory::ZakKab || overlapping) continue;
      QCOMPARE(layout.hood.size(), g.spans.size());
      for (int i = 0; i < g.spans.size(); ++i) {
        QCOMPARE(layout.hood[i].from, g.spans[i].from);
        QCOMPARE(layout.hood[i].to, g.spans[i].to);
      }
    }
    // Labelled by what was counted, never by when the hood was shut.
    QVERIFY(!svg.contains(u"закрыта"_s));
    QVERIFY2(!svg.join(u' ').contains(u"до закрытия шторки"_s), qPrintable(svg.join(u'|')));
    if (balance != 0) {
      QVERIFY(layout.notes.join(u' ').contains(balance > 0 ? u"добавил 1 мин"_s : u"снял 1 мин"_s));
    }
    for (const QString& text : out.labels.text) QVERIFY2(svg.contains(text), qPrintable(text));
    QVERIFY(svg.contains(layout.verdict));
  }
};

QTEST_MAIN(TestFlightPicture)
#include "tst_flight_picture.moc"
