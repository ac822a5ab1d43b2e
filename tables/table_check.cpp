// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "table_check.h"

#include "numbers.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

double Value(const Cell& c) {
  return c.value_or(0.0);
}

QString Num(double v) {
  return QString::number(v, 'g', 10);
}

class Findings {
 public:
  explicit Findings(const SourcedTable& t) : t_(t) {}

  // A table gets its first kMaxShown findings told one by one and the rest counted in one line:
  // a table wrong throughout is told as such without holding a line for each of its cells.
  static constexpr std::size_t kMaxShown = 200;

  void Add(Finding::Severity severity, int row, int column, const QString& text) {
    if (list_.size() < kMaxShown) {
      list_.push_back({severity, t_.Place(row, column), text, row, column});
      return;
    }
    if (!summary_) {
      summary_ = list_.size();
      list_.push_back({severity, t_.source, {}});
    }
    Finding& summary = list_[*summary_];
    if (severity == Finding::Error) summary.severity = Finding::Error;
    ++untold_;
  }
  void Error(int row, int column, const QString& text) { Add(Finding::Error, row, column, text); }
  void Warn(int row, int column, const QString& text) { Add(Finding::Warning, row, column, text); }
  void TableError(const QString& text) { list_.push_back({Finding::Error, t_.source, text}); }

  std::vector<Finding>& list() {
    if (summary_) {
      list_[*summary_].text = u"и ещё %1 замечаний к этой таблице не показаны"_s.arg(untold_);
    }
    return list_;
  }

 private:
  const SourcedTable& t_;
  std::vector<Finding> list_;
  std::optional<std::size_t> summary_;  // the line that counts what was not told
  qint64 untold_ = 0;
};

void CheckRange(Findings& f, int row, int column, const Cell& cell) {
  if (cell && !RoundHalfEven16(*cell)) {
    f.Error(row, column, u"число %1 вне диапазона от -32768 до 32767"_s.arg(Num(*cell)));
  }
}

// A time below zero: no climb and no flight through cloud takes negative seconds, and the
// calculation would subtract it from the flight.
void CheckTime(Findings& f, int row, int column, const Cell& cell, const QString& what) {
  if (cell && *cell < 0) {
    f.Error(row, column,
            u"%1 %2 с меньше нуля — время не бывает отрицательным"_s.arg(what, Num(*cell)));
  }
}

// A point of a series along a row or column: the key, the time and the cell it came from.
struct Point {
  double key;
  double t;
  int row;
  int column;
};

// Keeps the last point of each key (the lookups take the last) and drops empty and zero times;
// sorts by key.
std::vector<Point> Series(std::vector<Point> points) {
  std::map<double, Point> byKey;
  for (const Point& p : points) {
    if (p.t != 0) {
      byKey.insert_or_assign(p.key, p);
    } else {
      byKey.erase(p.key);
    }
  }
  std::vector<Point> out;
  for (const auto& [key, p] : byKey) out.push_back(p);
  return out;
}

struct SeriesRule {
  int direction = 0;  // +1: the time must not fall as the key grows; -1: must not grow; 0: either
  QString keyWords;   // "на высоте %1 м", "при ключе %1 м", "при Нн %1 м"
  QString why;        // why the direction is expected
  std::function<bool(const Point&)> exempt;  // a point the direction does not apply to
};

// Times out of the expected direction, and values far out of line with their neighbours: off the
// straight line through the two neighbours (for an end point, through the two nearest) by more
// than the neighbours' own step, 10 % and 5 s (an end point also by a factor of three).
void CheckSeries(Findings& f, const std::vector<Point>& s, const SeriesRule& rule) {
  for (std::size_t i = 1; i < s.size(); ++i) {
    const Point& a = s[i - 1];
    const Point& b = s[i];
    if (rule.exempt && rule.exempt(b)) continue;
    const bool wrong = rule.direction > 0 ? b.t < a.t : rule.direction < 0 && b.t > a.t;
    if (wrong) {
      f.Warn(b.row, b.column,
             u"время %1 с %2, чем %3 с %4 — %5"_s.arg(
                 Num(b.t), b.t < a.t ? u"меньше"_s : u"больше"_s, Num(a.t),
                 rule.keyWords.arg(Num(a.key)), rule.why));
    }
  }
  if (s.size() < 3) return;
  const auto predict = [](const Point& p, const Point& a, const Point& b) {
    return a.t + (p.key - a.key) / (b.key - a.key) * (b.t - a.t);
  };
  std::vector<bool> flagged(s.size(), false);
  const auto judge = [&](std::size_t i, const Point& a, const Point& b, double step, bool end) {
    const double expected = predict(s[i], a, b);
    const double t = s[i].t;
    if (std::fabs(t - expected) <= step + 0.1 * std::fabs(expected) + 5) return;
    // Past the last neighbour a climb curve may steepen a great deal (near the ceiling): an end
    // point is out of line only when it is also three times above or below what it continues.
    if (end && t <= 3 * std::max(expected, a.t) && t >= std::min(expected, a.t) / 3) return;
    flagged[i] = true;
    f.Warn(
        s[i].row, s[i].column,
        u"время %1 с далеко от соседних: %2 с %3 и %4 с %5; по прямой ожидалось около %6 с"_s.arg(
            Num(s[i].t), Num(a.t), rule.keyWords.arg(Num(a.key)), Num(b.t),
            rule.keyWords.arg(Num(b.key)), Num(std::round(expected))));
  };
  for (std::size_t i = 1; i + 1 < s.size(); ++i) {
    judge(i, s[i - 1], s[i + 1], std::fabs(s[i + 1].t - s[i - 1].t), false);
  }
  // An end point, judged only when its nearest neighbour is not itself out of line.
  const std::size_t last = s.size() - 1;
  if (!flagged[1]) judge(0, s[1], s[2], std::fabs(predict(s[0], s[1], s[2]) - s[1].t), true);
  if (!flagged[last - 1]) {
    judge(last, s[last - 1], s[last - 2],
          std::fabs(predict(s[last], s[last - 1], s[last - 2]) - s[last - 1].t), true);
  }
}

// Keys in neither ascending nor descending order: one warning, at the first key against the
// order the table started in.
void CheckOrder(Findings& f, const std::vector<std::pair<double, int>>& keys, bool alongRow,
                const QString& what) {
  int direction = 0;
  for (std::size_t i = 1; i < keys.size(); ++i) {
    const double a = keys[i - 1].first;
    const double b = keys[i].first;
    if (a == b) continue;
    const int step = b > a ? 1 : -1;
    if (direction == 0) {
      direction = step;
    } else if (step != direction) {
      f.Warn(alongRow ? 0 : keys[i].second, alongRow ? keys[i].second : 0,
             u"%1 не по порядку: %2 после %3, а до того они %4; расчёту порядок не важен, но в "
             u"такой таблице легко ошибиться"_s.arg(
                 what, Num(b), Num(a), direction > 0 ? u"возрастают"_s : u"убывают"_s));
      return;
    }
  }
}

}  // namespace

bool HasErrors(const std::vector<Finding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.severity == Finding::Error; });
}

std::optional<double> ClimbCeiling(const Table& climb) {
  std::optional<double> top;
  for (const auto& row : climb.rows) {
    if (!row.empty() && row[0] && (!top || *row[0] > *top)) top = row[0];
  }
  return top;
}

std::vector<Finding> CheckClimbTable(const SourcedTable& source) {
  Findings f(source);
  const Table& t = source.table;
  if (t.rows.empty()) {
    f.TableError(u"нет ни одной строки с высотой и временем"_s);
    return f.list();
  }
  if (t.fieldCount < 2) {
    f.TableError(u"нужны два столбца — высота, м и время набора, с"_s);
    return f.list();
  }
  for (int i = 0; i < t.recordCount(); ++i) {
    if (!t.rows[i][0]) f.Error(i, 0, u"нет высоты"_s);
    CheckRange(f, i, 0, t.rows[i][0]);
    CheckRange(f, i, 1, t.rows[i][1]);
    CheckTime(f, i, 1, t.rows[i][1], u"время набора"_s);
  }
  if (HasErrors(f.list())) return f.list();

  std::map<Int16, int> seen;  // rounded height -> first row with it
  std::vector<std::pair<double, int>> keys;
  std::vector<Point> points;
  for (int i = 0; i < t.recordCount(); ++i) {
    const double h = *t.rows[i][0];
    const double time = Value(t.rows[i][1]);
    const auto [it, fresh] = seen.emplace(*RoundHalfEven16(h), i);
    if (!fresh && Value(t.rows[it->second][1]) != time) {
      f.Warn(i, 0,
             u"высота %1 м уже есть (%2) с другим временем: %3 с, здесь %4 с; расчёт берёт "
             u"последнюю строку"_s.arg(Num(h), source.Place(it->second, -1),
                                       Num(Value(t.rows[it->second][1])), Num(time)));
    }
    if (!t.rows[i][1]) f.Warn(i, 1, u"пустая ячейка: время не задано, расчёт считает его 0"_s);
    keys.push_back({h, i});
    points.push_back({h, time, i, 1});
  }
  CheckOrder(f, keys, false, u"высоты"_s);
  CheckSeries(f, Series(points),
              {1, u"на высоте %1 м"_s, u"время набора с высотой не убывает"_s, {}});
  return f.list();
}

std::vector<Finding> CheckGridTable(const SourcedTable& source, std::optional<HOblRule> rule,
                                    std::optional<double> ceiling) {
  Findings f(source);
  const Table& t = source.table;
  if (t.fieldCount > kMaxGridFields) {
    f.Error(0, kMaxGridFields,
            u"таблица шире допустимой: %1 столбцов, а расчёт читает не более %2"_s.arg(
                QString::number(t.fieldCount), QString::number(kMaxGridFields)));
    return f.list();
  }
  if (t.rows.empty() || t.fieldCount < 2) {
    f.TableError(u"нет ни одного ключа столбца (первая строка — ключи столбцов)"_s);
    return f.list();
  }
  if (t.recordCount() < 2) {
    f.TableError(u"нет ни одной строки с нижней границей облачности"_s);
    return f.list();
  }
  const auto& keyRow = t.rows[0];
  for (int j = 1; j < t.fieldCount; ++j) {
    if (!keyRow[j]) f.Error(0, j, u"нет ключа столбца"_s);
    CheckRange(f, 0, j, keyRow[j]);
  }
  for (int i = 1; i < t.recordCount(); ++i) {
    if (!t.rows[i][0]) f.Error(i, 0, u"нет нижней границы облачности"_s);
    for (int j = 0; j < t.fieldCount; ++j) CheckRange(f, i, j, t.rows[i][j]);
    for (int j = 1; j < t.fieldCount; ++j) {
      CheckTime(f, i, j, t.rows[i][j], u"время в облаках"_s);
    }
  }
  // A view's corner is a number that must sort before every key and base; a CSV has text there
  // and the build chooses the number.
  if (!source.fromCsv) {
    const Cell corner = keyRow[0];
    if (!corner) {
      f.Error(0, 0, u"нет углового числа"_s);
    } else {
      for (int j = 1; j < t.fieldCount; ++j) {
        if (keyRow[j] && *keyRow[j] <= *corner) {
          f.Error(
              0, 0,
              u"угловое число %1 не меньше ключа столбца %2"_s.arg(Num(*corner), Num(*keyRow[j])));
        }
      }
      for (int i = 1; i < t.recordCount(); ++i) {
        if (t.rows[i][0] && *t.rows[i][0] <= *corner) {
          f.Error(0, 0,
                  u"угловое число %1 не меньше нижней границы облачности %2"_s.arg(
                      Num(*corner), Num(*t.rows[i][0])));
        }
      }
    }
  }
  if (HasErrors(f.list())) return f.list();

  const auto rowValues = [&](int i) {
    std::vector<double> v;
    for (int j = 1; j < t.fieldCount; ++j) v.push_back(Value(t.rows[i][j]));
    return v;
  };
  const auto columnValues = [&](int j) {
    std::vector<double> v;
    for (int i = 1; i < t.recordCount(); ++i) v.push_back(Value(t.rows[i][j]));
    return v;
  };

  // Keys listed twice with different times, the order of keys and of bases, empty cells.
  std::map<Int16, int> seenKeys;
  std::vector<std::pair<double, int>> keys;
  for (int j = 1; j < t.fieldCount; ++j) {
    const auto [it, fresh] = seenKeys.emplace(*RoundHalfEven16(*keyRow[j]), j);
    if (!fresh && columnValues(it->second) != columnValues(j)) {
      f.Warn(0, j,
             u"ключ %1 м уже есть (%2) с другими временами; расчёт берёт последний столбец"_s.arg(
                 Num(*keyRow[j]), source.Place(0, it->second)));
    }
    keys.push_back({*keyRow[j], j});
  }
  std::map<Int16, int> seenBases;
  std::vector<std::pair<double, int>> bases;
  for (int i = 1; i < t.recordCount(); ++i) {
    const double base = *t.rows[i][0];
    const auto [it, fresh] = seenBases.emplace(*RoundHalfEven16(base), i);
    if (!fresh && rowValues(it->second) != rowValues(i)) {
      f.Warn(i, 0,
             u"нижняя граница %1 м уже есть (%2) с другими временами; расчёт берёт последнюю "
             u"строку"_s.arg(Num(base), source.Place(it->second, -1)));
    }
    bases.push_back({base, i});
    for (int j = 1; j < t.fieldCount; ++j) {
      if (!t.rows[i][j]) f.Warn(i, j, u"пустая ячейка: время не задано, расчёт считает его 0"_s);
    }
  }
  CheckOrder(f, keys, true, u"ключи столбцов"_s);
  CheckOrder(f, bases, false, u"нижние границы"_s);

  // Along each row the time grows with the key; along each column it falls as the base rises
  // (cloud tops) or grows (thicknesses, the climb being slower higher up).
  const QString keyWords = rule == HOblRule::CloudTop         ? u"при Нв %1 м"_s
                           : rule == HOblRule::LayerThickness ? u"при толщине %1 м"_s
                                                              : u"при ключе %1 м"_s;
  for (int i = 1; i < t.recordCount(); ++i) {
    std::vector<Point> points;
    for (int j = 1; j < t.fieldCount; ++j) {
      points.push_back({*keyRow[j], Value(t.rows[i][j]), i, j});
    }
    CheckSeries(f, Series(points),
                {1, keyWords, u"время в облаках с ростом ключа не убывает"_s, {}});
  }
  std::map<double, int> lastColumn;  // of equal keys the lookups read the last
  for (int j = 1; j < t.fieldCount; ++j) lastColumn[*keyRow[j]] = j;
  for (const auto& [key, j] : lastColumn) {
    std::vector<Point> points;
    for (int i = 1; i < t.recordCount(); ++i) {
      points.push_back({*t.rows[i][0], Value(t.rows[i][j]), i, j});
    }
    SeriesRule r{0, u"при Нн %1 м"_s, {}, {}};
    if (rule == HOblRule::CloudTop) {
      r.direction = -1;
      r.why = u"при той же верхней границе с подъёмом Нн слой тоньше"_s;
    } else if (rule == HOblRule::LayerThickness) {
      r.direction = 1;
      r.why = u"при той же толщине слоя выше набор медленнее"_s;
      const double thickness = key;
      if (ceiling) r.exempt = [=](const Point& p) { return p.key + thickness > *ceiling; };
    }
    CheckSeries(f, Series(points), r);
  }
  return f.list();
}

}  // namespace meltor
