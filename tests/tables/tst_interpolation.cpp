// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "interpolation.h"
#include "test_tables.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using namespace meltor;
using meltor::test::ErrorOf;

using Rows = QList<QPair<double, double>>;

namespace {

Table Climb(const QList<QPair<double, double>>& rows) {
  Table t;
  t.name = QStringLiteral("Z_Time_Pod_Test");
  t.fieldCount = 2;
  for (const auto& [h, s] : rows) t.rows.push_back({h, s});
  return t;
}

// The grid of the worked examples: keys 1000 and 2000; base 500: 100, 200; base 1000: 150, 260.
Table ExampleGrid(double corner = 0) {
  Table t;
  t.name = QStringLiteral("Z_Time_Obl_Test");
  t.fieldCount = 3;
  t.rows = {{corner, 1000.0, 2000.0}, {500.0, 100.0, 200.0}, {1000.0, 150.0, 260.0}};
  return t;
}

const QList<QPair<double, double>> kExample = {{1000, 120}, {2000, 200}, {3000, 300}};

int OneKey(const Table& t, int key) { return InterpolateOneKey(t, static_cast<Int16>(key), Field::Hn).value; }
int Grid(const Table& t, int hn, int hObl) {
  return InterpolateGrid(t, static_cast<Int16>(hn), static_cast<Int16>(hObl)).value;
}

}  // namespace

class TestInterpolation : public QObject {
  Q_OBJECT

 private slots:
  void oneKey_data() {
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("how");
    const int exact = OneKeyResult::Exact, between = OneKeyResult::Between,
              above = OneKeyResult::AboveTop, below = OneKeyResult::BelowBottom;
    QTest::newRow("exact") << kExample << 2000 << 200 << exact;
    QTest::newRow("between") << kExample << 1550 << 164 << between;
    QTest::newRow("between, truncated") << kExample << 1333 << 146 << between;
    QTest::newRow("hood key 1334") << kExample << 1334 << 146 << between;
    QTest::newRow("above the top") << kExample << 3500 << 350 << above;
    QTest::newRow("below the first row") << kExample << 500 << 60 << below;
    QTest::newRow("below, truncated") << kExample << 333 << 39 << below;  // 333/1000*120 = 39.96
    QTest::newRow("key 0 below the table") << kExample << 0 << 0 << below;
    QTest::newRow("descending order") << QList<QPair<double, double>>{{3000, 300}, {2000, 200}, {1000, 120}} << 1550
                                      << 164 << between;
    QTest::newRow("stored time 0 counts as missing")
        << QList<QPair<double, double>>{{1000, 120}, {2000, 0}, {3000, 300}} << 2000 << 0 << between;
    QTest::newRow("last matching row wins")
        << QList<QPair<double, double>>{{1000, 120}, {1000, 130}, {2000, 200}} << 1000 << 130 << exact;
    QTest::newRow("last match with time 0 means interpolation")
        << QList<QPair<double, double>>{{1000, 120}, {1000, 0}, {2000, 200}} << 1000 << 0 << between;
    QTest::newRow("key read rounded")
        << QList<QPair<double, double>>{{999.6, 120}, {2000, 200}} << 1000 << 120 << exact;
    QTest::newRow("time read rounded half to even")
        << QList<QPair<double, double>>{{1000, 120.5}, {2000, 200}} << 1000 << 120 << exact;
    QTest::newRow("an exact match keeps the rounded time")
        << QList<QPair<double, double>>{{1000, 120.6}, {2000, 200}} << 1000 << 121 << exact;
    QTest::newRow("fractional keys and times in the formula")
        << QList<QPair<double, double>>{{1000.25, 100.5}, {2000.75, 300.25}} << 1500 << 200 << between;
    QTest::newRow("below: first row in record order of equal lowest heights")
        << QList<QPair<double, double>>{{2000, 200}, {1000, 100}, {1000, 300}} << 500 << 50 << below;
    QTest::newRow("above: last row in record order of equal highest heights")
        << QList<QPair<double, double>>{{1000, 100}, {2000, 300}, {2000, 200}} << 3000 << 300 << above;
    QTest::newRow("negative heights are keys like any")
        << QList<QPair<double, double>>{{-1000, 10}, {1000, 30}} << 0 << 20 << between;
  }
  void oneKey() {
    QFETCH(Rows, rows);
    QFETCH(int, key);
    QFETCH(int, expected);
    QFETCH(int, how);
    const OneKeyResult r = InterpolateOneKey(Climb(rows), static_cast<Int16>(key), Field::Hn);
    QCOMPARE(int{r.value}, expected);
    QCOMPARE(int{r.how}, how);
  }

  // 1000.25 -> 100.5 and 2000.75 -> 300.25: (1500 - 1000.25) / (2000.75 - 1000.25) * 199.75 + 100.5
  void formulaOrder() {
    const OneKeyResult r = InterpolateOneKey(Climb({{1000.25, 100.5}, {2000.75, 300.25}}), 1500, Field::Hn);
    QCOMPARE(r.raw, (1500 - 1000.25) / (2000.75 - 1000.25) * (300.25 - 100.5) + 100.5);
  }

  void oneKeyErrors() {
    QString m = ErrorOf([] { OneKey(Climb(kExample), -10); });
    QVERIFY2(m.contains(QStringLiteral("Z_Time_Pod_Test")) && m.contains(QStringLiteral("-10")) &&
                 m.contains(QStringLiteral("от 1000 до 3000")),
             qPrintable(m));
    m = ErrorOf([] { OneKey(Climb({{0, 0}}), 5); });  // (5 - 0) / (0 - 0): no line to follow
    QVERIFY2(m.contains(QStringLiteral("деление на ноль")), qPrintable(m));
    m = ErrorOf([] { OneKey(Climb({{1000, 30000}, {1001, 32767}}), 2000); });  // far above the top
    QVERIFY2(m.contains(QStringLiteral("вне диапазона")), qPrintable(m));
  }

  void grid_data() {
    QTest::addColumn<int>("hn");
    QTest::addColumn<int>("hObl");
    QTest::addColumn<double>("stored");  // put in row 500, key 1000, unless negative
    QTest::addColumn<int>("expected");
    QTest::newRow("both keys in the grid") << 1000 << 2000 << -1.0 << 260;
    QTest::newRow("row interpolation") << 750 << 1000 << -1.0 << 125;
    QTest::newRow("column interpolation") << 500 << 1500 << -1.0 << 150;
    QTest::newRow("both, truncated once") << 750 << 1500 << -1.0 << 177;
    QTest::newRow("base above the grid") << 2000 << 1000 << -1.0 << 300;
    QTest::newRow("key above the grid") << 500 << 3000 << -1.0 << 300;
    QTest::newRow("key above the grid, base between") << 750 << 3000 << -1.0 << 345;  // 300 in row 500, 390 in row 1000
    QTest::newRow("key below the grid") << 500 << 500 << -1.0 << 50;
    QTest::newRow("key 0") << 1000 << 0 << -1.0 << 0;
    // In a cloud base's row the value is truncated too; rounded, it only tells whether it is there.
    QTest::newRow("base a row, key between: 186.63") << 1000 << 1333 << -1.0 << 186;
    QTest::newRow("base a row, key above: 1169.87") << 1000 << 8999 << -1.0 << 1169;
    QTest::newRow("base a row, key below: 99.5") << 500 << 995 << -1.0 << 99;
    QTest::newRow("stored 89.6") << 500 << 1000 << 89.6 << 89;
    QTest::newRow("stored 0.6 is there, truncated to 0") << 500 << 1000 << 0.6 << 0;
  }
  void grid() {
    QFETCH(int, hn);
    QFETCH(int, hObl);
    QFETCH(double, stored);
    QFETCH(int, expected);
    Table t = ExampleGrid();
    if (stored >= 0) t.rows[1][1] = stored;
    QCOMPARE(Grid(t, hn, hObl), expected);
  }

  // Every in-cloud time is truncated: found in the cloud base's row or interpolated between rows.
  void gridTruncation() {
    Table t = ExampleGrid();
    t.rows[1] = {500.0, 100.0, 201.0};
    QCOMPARE(Grid(t, 500, 1500), 150);  // 150.5
    QCOMPARE(Grid(t, 500, 1700), 170);  // 170.7
    t.rows[2] = {1000.0, 151.0, 260.0};
    QCOMPARE(Grid(t, 750, 1000), 125);  // 125.5
  }

  void gridStoredZeroCountsAsMissing() {
    Table t = ExampleGrid();
    t.rows.push_back({750.0, 0.0, 0.0});
    QCOMPARE(Grid(t, 750, 1000), 0);  // the new row lands after the stored one: (0) ... + 0
    t.rows.back() = {750.0, 130.0, 0.0};
    QCOMPARE(Grid(t, 750, 1000), 130);
  }

  // The corner is a sort sentinel, never a key: a cloud base or key equal to it is looked up like
  // any other.
  void cornerIsNoKey() {
    Table t = ExampleGrid(0);
    t.rows.push_back({0.0, 40.0, 80.0});
    QCOMPARE(Grid(t, 0, 1000), 40);
    QCOMPARE(Grid(t, 250, 2000), 140);  // between the rows 0 (80) and 500 (200)
    Table c = ExampleGrid(1000);         // a corner equal to a column key
    QCOMPARE(Grid(c, 500, 1000), 100);
  }

  void gridErrors() {
    QString m = ErrorOf([] { Grid(ExampleGrid(), 400, 1000); });
    QVERIFY2(m.contains(QStringLiteral("Z_Time_Obl_Test")) && m.contains(QStringLiteral("400")) &&
                 m.contains(QStringLiteral("от 500 до 1000")),
             qPrintable(m));
    m = ErrorOf([] { Grid(ExampleGrid(), 500, -5); });
    QVERIFY2(m.contains(QStringLiteral("-5")) && m.contains(QStringLiteral("от 1000 до 2000")), qPrintable(m));
    try {
      Grid(ExampleGrid(), 0, 1000);
      QFAIL("no error");
    } catch (const CalcError& e) {
      QCOMPARE(e.field(), Field::Hn);
    }
  }

  // The result does not depend on the order of the records or of the columns.
  void anyRecordOrder() {
    Table grid;
    grid.name = QStringLiteral("Z_Time_Obl_Shuffled");
    grid.fieldCount = 6;
    grid.rows.push_back({-1.0, 300.0, 700.0, 1500.0, 3000.0, 6000.0});
    for (int base : {0, 200, 500, 900, 1500, 3000}) {
      std::vector<Cell> row{double(base)};
      for (int j = 1; j < 6; ++j) row.push_back(double((base / 10 + 37 * j * j) % 700 + 1));
      grid.rows.push_back(row);
    }
    Table climb = Climb({{0, 0}, {250, 20}, {700, 57}, {1500, 130}, {3000, 290}, {6000, 700}});

    QRandomGenerator rng(20261209);
    QList<int> baseline;
    const QList<QPair<int, int>> queries = {{0, 300}, {100, 300}, {500, 1000}, {700, 2000}, {2999, 6500},
                                            {4000, 100}, {900, 5999}, {1500, 0}};
    for (const auto& [hn, key] : queries) baseline << Grid(grid, hn, key) << OneKey(climb, key) << OneKey(climb, hn);

    for (int round = 0; round < 50; ++round) {
      Table g = grid;
      std::shuffle(g.rows.begin() + 1, g.rows.end(), rng);
      std::vector<int> cols{1, 2, 3, 4, 5};
      std::shuffle(cols.begin(), cols.end(), rng);
      for (auto& row : g.rows) {
        std::vector<Cell> moved{row[0]};
        for (int c : cols) moved.push_back(row[c]);
        row = moved;
      }
      Table c = climb;
      std::shuffle(c.rows.begin(), c.rows.end(), rng);
      QList<int> got;
      for (const auto& [hn, key] : queries) got << Grid(g, hn, key) << OneKey(c, key) << OneKey(c, hn);
      QCOMPARE(got, baseline);
    }
  }
};

QTEST_GUILESS_MAIN(TestInterpolation)
#include "tst_interpolation.moc"
