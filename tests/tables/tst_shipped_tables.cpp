// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "calculation.h"
#include "climb_tables.h"
#include "profiles.h"
#include "tables_file.h"
#include "test_flights.h"

#include <QTest>

using namespace meltor;

// The tables that ship with the program serve every flight a pilot can fly: no type, cloud base,
// cloud top or flight height within the tables' range stops a calculation.
class TestShippedTables : public QObject {
  Q_OBJECT

 private slots:
  void everyTypeHasBothViews() {
    TablesFile file(QStringLiteral(MELTOR_SHIPPED_TABLES));
    for (const auto& p : AircraftProfiles()) {
      const QString suffix = QString::fromLatin1(p.suffix);
      const Table climb = file.ReadView("Z_Time_Pod_" + suffix, TableKind::Climb);
      const Table grid = file.ReadView("Z_Time_Obl_" + suffix, TableKind::Grid);
      QVERIFY(climb.recordCount() > 10);
      QVERIFY(grid.fieldCount <= kMaxGridFields);
      QCOMPARE(*climb.rows.front()[0], 0.0);
      // Climb time never falls with height (whole seconds: fighters may climb 100 m in under one).
      for (int i = 1; i < climb.recordCount(); ++i)
        QVERIFY(*climb.rows[i][1] >= *climb.rows[i - 1][1]);
      QVERIFY(*climb.rows.back()[1] > 0);
    }
  }

  void sweepOfFlights() {
    FileClimbTables tables(QStringLiteral(MELTOR_SHIPPED_TABLES), {},
                           FileClimbTables::Mode::Snapshot);
    int flights = 0;
    for (const QString& type : AircraftTypeEntries()) {
      for (int base : {0, 50, 150, 333, 600, 1250, 2750, 5000}) {
        for (int thickness : {100, 450, 1000, 3000, 7000}) {
          for (bool hood : {false, true}) {
            FlightInput in = test::With(test::L39Flight(),
                                        {{Field::Typ, type},
                                         {Field::TpolMin, QStringLiteral("30")},
                                         {Field::Hn, QString::number(base)},
                                         {Field::Hv, QString::number(base + thickness)},
                                         {Field::VidKm, QStringLiteral("2")},
                                         {Field::Hpol, QString::number(base + thickness + 500)}});
            if (hood) {
              in = test::With(in, {{Field::ShtorkaZ, QStringLiteral("200")},
                                   {Field::ShtorkaO, QString::number(base + thickness + 200)}});
            }
            const CalcOutcome out = CalculateFlight(in, tables, QLocale::c());
            QVERIFY2(out.ok(), qPrintable(QStringLiteral("%1 %2/%3: %4")
                                              .arg(type)
                                              .arg(base)
                                              .arg(base + thickness)
                                              .arg(out.ok() ? QString() : out.error->message())));
            // Below, in and above cloud add up to the flight: the balance closes a one-minute gap
            // when there is limited-visibility time; otherwise rounding may leave one or two.
            if (!hood && out.minutes.TOgrVid > 0) QCOMPARE(out.minutes.TSMU, Int16{90});
            if (!hood) QVERIFY(std::abs(out.minutes.TSMU - 90) <= 2);
            QVERIFY(out.minutes.TObl >= 0);
            ++flights;
          }
        }
      }
    }
    QCOMPARE(flights, 6 * 8 * 5 * 2);
  }
};

QTEST_GUILESS_MAIN(TestShippedTables)
#include "tst_shipped_tables.moc"
