// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "fake_tables.h"
#include "flight_picture.h"

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
  // L-39 by day, one hour, cloud 200..1000 m (adverse below 250 m or at 4 km and less). The
  // lookups return fixed seconds; the picture must split the flight as the calculation did.
  void picture_data() {
    QTest::addColumn<QString>("clouds");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("vis");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("hood");        // "close,open"
    QTest::addColumn<QList<int>>("lookups");  // TPod, TObl, TShtorka in seconds
    QTest::addColumn<QString>("caseId");      // empty: the calculation stops
    QTest::addColumn<int>("balance");         // +1 in cloud, -1 above cloud, 0 none
    const QList<int> times{120, 300, 900};
    QTest::newRow("1a") << "7"
                        << "100"
                        << "4"
                        << "3000"
                        << "500,1000" << times << "1a" << 0;
    QTest::newRow("1b") << "7"
                        << "100"
                        << "5"
                        << "3000"
                        << "500,1000" << times << "1b" << 0;
    QTest::newRow("1c") << "7"
                        << "100"
                        << "5"
                        << "3000"
                        << "," << times << "1c" << 0;
    QTest::newRow("2a") << "8"
                        << "200"
                        << "5"
                        << "100"
                        << "50,150" << times << "2a" << 0;
    QTest::newRow("2b") << "8"
                        << "200"
                        << "5"
                        << "100"
                        << "," << times << "2b" << 0;
    QTest::newRow("2c") << "9"
                        << "600"
                        << "5"
                        << "100"
                        << "50,150" << times << "2c" << 0;
    QTest::newRow("2d") << "9"
                        << "600"
                        << "5"
                        << "100"
                        << "," << times << "2d" << 0;
    QTest::newRow("3a") << "10"
                        << "200"
                        << "3"
                        << "3000"
                        << "2000,3000" << times << "3a" << 0;
    QTest::newRow("3b") << "10"
                        << "200"
                        << "3"
                        << "3000"
                        << "50,150" << QList<int>{610, 300, 95} << "3b" << 0;
    QTest::newRow("3c") << "10"
                        << "200"
                        << "3"
                        << "3000"
                        << "," << times << "3c" << 0;
    QTest::newRow("3c, balance takes a minute above cloud")
        << "10"
        << "200"
        << "3"
        << "3000"
        << "," << QList<int>{90, 90, 0} << "3c" << -1;
    QTest::newRow("3c, balance adds a minute in cloud")
        << "10"
        << "200"
        << "3"
        << "3000"
        << "," << QList<int>{150, 150, 0} << "3c" << 1;
    QTest::newRow("3d") << "10"
                        << "600"
                        << "5"
                        << "3000"
                        << "2000,3000" << QList<int>{150, 330, 1000} << "3d" << 0;
    QTest::newRow("3e") << "10"
                        << "600"
                        << "5"
                        << "3000"
                        << "50,150" << QList<int>{610, 300, 95} << "3e" << 0;
    QTest::newRow("3f") << "10"
                        << "600"
                        << "5"
                        << "3000"
                        << "," << times << "3f" << 0;
    // The calculation's own numbers overlap here (above cloud comes out negative): the scale
    // cannot show them end to end, and the picture says so.
    QTest::newRow("3a, hood closed in cloud")
        << "10"
        << "200"
        << "3"
        << "3000"
        << "300,400" << QList<int>{120, 600, 200} << "3a" << 0;
    // Clear weather: no cloud base, no top (12000 m stands in for it), nothing in cloud.
    QTest::newRow("1c, clear weather") << "0"
                                       << ""
                                       << "10"
                                       << "3000"
                                       << "," << times << "1c" << 0;
    QTest::newRow("3c, visibility 3.5 km") << "10"
                                           << "200"
                                           << "3.5"
                                           << "3000"
                                           << "," << times << "3c" << 0;
    QTest::newRow("stopped at the cloud top") << "10"
                                              << "600"
                                              << "5"
                                              << "3000"
                                              << "," << times << "" << 0;
  }
  void picture() {
    QFETCH(QString, clouds);
    QFETCH(QString, base);
    QFETCH(QString, vis);
    QFETCH(QString, height);
    QFETCH(QString, hood);
    QFETCH(QList<int>, lookups);
    QFETCH(QString, caseId);
    QFETCH(int, balance);
    FlightInput in;
    in.cboTyp = u"Л-39"_s;
    in.dayNight = DayNight::Day;
    in.txtTpolChas = u"1"_s;
    in.txtTpolMin = u"0"_s;
    in.txtBal = clouds;
    in.txtHn = base;
    // Beyond 16 bits stops the reading; no base, no top.
    in.txtHv = caseId.isEmpty() ? u"99999"_s : base.isEmpty() ? QString() : u"1000"_s;
    in.txtVidKm = vis;
    in.txtHpol = height;
    in.txtShtorkaZ = hood.section(u',', 0, 0);
    in.txtShtorkaO = hood.section(u',', 1, 1);
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
    QCOMPARE(out.state.caseId, caseId);
    // The type and the time of day in the title, the case in words beside its name.
    QCOMPARE(layout.title, u"Разбор полёта — Л-39, днём"_s);
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
