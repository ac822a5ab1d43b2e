// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "interpolation.h"

#include <QString>

#include <cmath>

namespace meltor {

namespace {

[[noreturn]] void Fail(Field field, const QString& message) {
  throw CalcError(ErrorKind::Table, field, message);
}

double Value(const Cell& c) {
  return c.value_or(0.0);
}

QString Num(double v) {
  return QString::number(v, 'g', 15);
}

// A key or time read from a cell, rounded; the tables are checked to fit 16 bits when read.
Int16 Rounded(const Table& t, const Cell& c, int record, int field) {
  const auto r = RoundHalfEven16(Value(c));
  if (!r) {
    Fail(Field::None,
         QStringLiteral("Таблица «%1», запись %2, поле %3: число %4 вне диапазона от "
                        "-32768 до 32767.")
             .arg(t.name, QString::number(record), QString::number(field), Num(Value(c))));
  }
  return *r;
}

Int16 Truncated(const QString& table, double v, Field field) {
  if (std::isnan(v) || std::isinf(v)) {
    Fail(field,
         QStringLiteral("Таблица «%1»: интерполяция невозможна — деление на ноль (две соседние "
                        "строки с ключом 0).")
             .arg(table));
  }
  const auto r = Truncate16(v);
  if (!r) {
    Fail(field, QStringLiteral(
                    "Таблица «%1»: интерполированное время %2 вне диапазона от -32768 до 32767.")
                    .arg(table, Num(v)));
  }
  return *r;
}

Int16 RoundedValue(const QString& table, double v, Field field) {
  if (std::isnan(v) || std::isinf(v)) {
    Fail(field,
         QStringLiteral("Таблица «%1»: интерполяция невозможна — деление на ноль (два соседних "
                        "столбца с ключом 0).")
             .arg(table));
  }
  const auto r = RoundHalfEven16(v);
  if (!r) {
    Fail(field, QStringLiteral(
                    "Таблица «%1»: интерполированное время %2 вне диапазона от -32768 до 32767.")
                    .arg(table, Num(v)));
  }
  return *r;
}

// The worksheet's formula, in the order of its text.
double Formula(double k, double k0, double k1, double t0, double t1) {
  return (k - k0) / (k1 - k0) * (t1 - t0) + t0;
}

// Where a missing key lands when it joins the keys keyAt(first) .. keyAt(end - 1) and they are
// sorted ascending (stably, the new key after any equal ones): the entry directly before it
// (highest key not above it; of equal keys the last), directly after it (lowest key above it; of
// equal keys the first), and the last entry after it that still reads as the key when rounded.
struct Neighbours {
  int above = -1;
  int below = -1;
  int lastAfter = -1;
  double minKey = 0;
  double maxKey = 0;
};

template <typename KeyAt, typename ReadsAsKey>
Neighbours FindNeighbours(int first, int end, Int16 key, KeyAt keyAt, ReadsAsKey readsAsKey) {
  Neighbours n;
  for (int i = first; i < end; ++i) {
    const double a = keyAt(i);
    if (i == first || a < n.minKey) n.minKey = a;
    if (i == first || a > n.maxKey) n.maxKey = a;
    if (a <= key) {
      if (n.above < 0 || a >= keyAt(n.above)) n.above = i;
    } else {
      if (n.below < 0 || a < keyAt(n.below)) n.below = i;
      if (readsAsKey(i) && (n.lastAfter < 0 || a >= keyAt(n.lastAfter))) n.lastAfter = i;
    }
  }
  return n;
}

}  // namespace

OneKeyResult InterpolateOneKey(const Table& table, Int16 key, Field keyField) {
  const auto& rows = table.rows;
  const int n = table.recordCount();
  OneKeyResult out;

  // Exact scan: the last row whose rounded height equals the key wins.
  Int16 found = 0;
  for (int i = 0; i < n; ++i) {
    if (Rounded(table, rows[i][0], i + 1, 1) == key) found = Rounded(table, rows[i][1], i + 1, 2);
  }
  if (found != 0) {
    out.value = found;
    out.how = OneKeyResult::Exact;
    return out;
  }

  // The key joins the table after any equal heights, between the rows directly above and below.
  const auto keyAt = [&](int i) { return Value(rows[i][0]); };
  const auto [above, below, lastAfter, minKey, maxKey] = FindNeighbours(
      0, n, key, keyAt, [&](int i) { return Rounded(table, rows[i][0], i + 1, 1) == key; });

  if (above < 0) {
    if (key < 0) {
      Fail(keyField,
           QStringLiteral("Таблица «%1»: высота %2 м ниже начала таблицы (высоты в таблице "
                          "от %3 до %4 м).")
               .arg(table.name, QString::number(key), Num(minKey), Num(maxKey)));
    }
    // Below the first row: the line through the origin and the first row.
    out.how = OneKeyResult::BelowBottom;
    out.k0 = 0;
    out.t0 = 0;
  } else {
    out.how = OneKeyResult::Between;
    out.k0 = Value(rows[above][0]);
    out.t0 = Value(rows[above][1]);
  }
  if (below < 0) {
    // Above the top: the empty row under the table counts as height 0 and time 0.
    out.how = OneKeyResult::AboveTop;
    out.k1 = 0;
    out.t1 = 0;
  } else {
    out.k1 = Value(rows[below][0]);
    out.t1 = Value(rows[below][1]);
  }

  if (lastAfter >= 0) {
    out.how = OneKeyResult::NeighbourRow;
    out.raw = Value(rows[lastAfter][1]);
  } else {
    out.raw = Formula(key, out.k0, out.k1, out.t0, out.t1);
  }
  out.value = Truncated(table.name, out.raw, keyField);
  return out;
}

GridResult InterpolateGrid(const Table& grid, Int16 hn, Int16 hObl) {
  const auto& rows = grid.rows;
  const int n = grid.recordCount();
  const int f = grid.fieldCount;
  const auto& keys = rows[0];
  GridResult out;

  // Column scan over the column keys (never the corner): the last match wins.
  int column = -1;
  for (int j = 1; j < f; ++j) {
    if (Rounded(grid, keys[j], 1, j + 1) == hObl) column = j;
  }

  // The columns directly left and right of HObl, when it is not a key.
  int left = -1;
  int right = -1;
  if (column < 0) {
    out.columnFound = false;
    // No column key reads as HObl here, so nothing after it can.
    const Neighbours c = FindNeighbours(
        1, f, hObl, [&](int j) { return Value(keys[j]); }, [](int) { return false; });
    left = c.above;
    right = c.below;
    const double minKey = c.minKey;
    const double maxKey = c.maxKey;
    if (left < 0 && hObl < 0) {
      Fail(Field::Hv,
           QStringLiteral("Таблица «%1»: ключ %2 м меньше наименьшего ключа столбца (ключи "
                          "от %3 до %4 м).")
               .arg(grid.name, QString::number(hObl), Num(minKey), Num(maxKey)));
    }
    out.h0 = left < 0 ? 0.0 : Value(keys[left]);
    out.h1 = right < 0 ? 0.0 : Value(keys[right]);
  }

  // The value in HObl's column for a cloud-base row: the stored time, or the column formula.
  auto columnValue = [&](int r) -> double {
    if (column >= 0) return Value(rows[r][column]);
    const double t0 = left < 0 ? 0.0 : Value(rows[r][left]);
    const double t1 = right < 0 ? 0.0 : Value(rows[r][right]);
    return Formula(hObl, out.h0, out.h1, t0, t1);
  };

  // Row scan over the cloud-base rows: the last match wins. Its value, rounded, only tells
  // whether the time is there (a stored 0 counts as missing); the time taken is that value
  // truncated, as every in-cloud time is.
  int match = -1;
  Int16 found = 0;
  for (int r = 1; r < n; ++r) {
    if (Rounded(grid, rows[r][0], r + 1, 1) == hn) {
      match = r;
      found = RoundedValue(grid.name, columnValue(r), Field::Hn);
    }
  }
  if (found != 0) {
    out.raw = columnValue(match);
    out.value = Truncated(grid.name, out.raw, Field::Hn);
    return out;
  }

  // Row interpolation between the cloud bases directly above and below Hn.
  out.rowFound = false;
  const auto [above, below, lastAfter, minBase, maxBase] = FindNeighbours(
      1, n, hn, [&](int r) { return Value(rows[r][0]); },
      [&](int r) { return Rounded(grid, rows[r][0], r + 1, 1) == hn; });
  if (above < 0) {
    Fail(Field::Hn,
         QStringLiteral("Таблица «%1»: нижняя граница облачности %2 м ниже первой строки "
                        "таблицы (нижние границы от %3 до %4 м).")
             .arg(grid.name, QString::number(hn), Num(minBase), Num(maxBase)));
  }
  out.a0 = Value(rows[above][0]);
  out.v0 = columnValue(above);
  if (below < 0) {
    out.a1 = 0;
    out.v1 = 0;
  } else {
    out.a1 = Value(rows[below][0]);
    out.v1 = columnValue(below);
  }
  out.raw = lastAfter >= 0 ? columnValue(lastAfter) : Formula(hn, out.a0, out.a1, out.v0, out.v1);
  out.value = Truncated(grid.name, out.raw, Field::Hn);
  return out;
}

}  // namespace meltor
