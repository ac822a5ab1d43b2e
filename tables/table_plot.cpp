// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "table_plot.h"

#include "file_writer.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <map>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

constexpr double kWidth = 1000;
constexpr double kMargin = 20;
constexpr double kPanelHeight = 420;
constexpr int kMaxListed = 60;  // warnings listed under the picture; the rest are counted

const QColor kWarning(200, 30, 30);

struct Mark {
  QPointF at;  // in table units: key and time
  int number;
};

// Maps table units into a plotting area with round-numbered ticks.
class Frame {
 public:
  Frame(const QRectF& area, double x0, double x1, double y0, double y1) : area_(area) {
    xs_ = Ticks(x0, x1);
    ys_ = Ticks(y0, y1);
  }

  QPointF Map(double x, double y) const {
    const double fx = (x - xs_.front()) / (xs_.back() - xs_.front());
    const double fy = (y - ys_.front()) / (ys_.back() - ys_.front());
    return {area_.left() + fx * area_.width(), area_.bottom() - fy * area_.height()};
  }

  void DrawAxes(QPainter& p, const QString& xCaption, const QString& yCaption) const {
    const QFontMetricsF fm(p.font());
    p.setPen(QPen(QColor(225, 225, 225), 0.8));
    for (const double x : xs_) p.drawLine(Map(x, ys_.front()), Map(x, ys_.back()));
    for (const double y : ys_) p.drawLine(Map(xs_.front(), y), Map(xs_.back(), y));
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(area_);
    for (const double x : xs_) {
      const QString t = QString::number(x, 'g', 10);
      const QPointF at = Map(x, ys_.front());
      p.drawText(QPointF(at.x() - fm.horizontalAdvance(t) / 2, at.y() + fm.height()), t);
    }
    for (const double y : ys_) {
      const QString t = QString::number(y, 'g', 10);
      const QPointF at = Map(xs_.front(), y);
      p.drawText(QPointF(at.x() - fm.horizontalAdvance(t) - 5, at.y() + fm.ascent() / 2 - 1), t);
    }
    p.drawText(QPointF(area_.center().x() - fm.horizontalAdvance(xCaption) / 2,
                       area_.bottom() + 2.2 * fm.height()),
               xCaption);
    p.save();
    p.translate(area_.left() - 50, area_.center().y() + fm.horizontalAdvance(yCaption) / 2);
    p.rotate(-90);
    p.drawText(QPointF(0, 0), yCaption);
    p.restore();
  }

 private:
  static std::vector<double> Ticks(double lo, double hi) {
    if (!(hi > lo)) hi = lo + 1;
    const double raw = (hi - lo) / 8;
    const double magnitude = std::pow(10, std::floor(std::log10(raw)));
    double step = magnitude;
    for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
      step = m * magnitude;
      if (step >= raw) break;
    }
    std::vector<double> ticks;
    for (double t = std::floor(lo / step) * step; t < hi + step * 0.999; t += step) {
      ticks.push_back(t);
    }
    return ticks;
  }

  QRectF area_;
  std::vector<double> xs_;
  std::vector<double> ys_;
};

// Blue for the lowest cloud base through to red for the highest.
QColor LineColor(std::size_t index, std::size_t count) {
  const double f = count > 1 ? static_cast<double>(index) / static_cast<double>(count - 1) : 0;
  return QColor::fromHsvF(0.66 * (1 - f), 0.85, 0.8);
}

void DrawTitle(QPainter& p, const QPointF& at, const QString& text) {
  QFont bold = p.font();
  bold.setBold(true);
  p.save();
  p.setFont(bold);
  p.drawText(at, text);
  p.restore();
}

void DrawMarks(QPainter& p, const Frame& frame, const std::vector<Mark>& marks) {
  p.save();
  QFont bold = p.font();
  bold.setBold(true);
  p.setFont(bold);
  p.setPen(QPen(kWarning, 2));
  p.setBrush(Qt::NoBrush);
  for (const Mark& m : marks) {
    const QPointF c = frame.Map(m.at.x(), m.at.y());
    p.drawEllipse(c, 7, 7);
    p.drawText(c + QPointF(8, -8), QString::number(m.number));
  }
  p.restore();
}

double Value(const Cell& c) {
  return c.value_or(0.0);
}

}  // namespace

bool PlotTables(const QString& path, const PlotInput& in, QString* failure) {
  const Table& climb = in.climb->table;
  const Table& grid = in.grid->table;

  QFont font(u"DejaVu Sans"_s);
  font.setPixelSize(12);
  const QFontMetricsF fm(font);

  // Every warning gets a number; those of a cell also a mark on the picture.
  std::vector<QString> listed;
  std::vector<Mark> climbMarks;
  std::vector<Mark> gridMarks;
  int warnings = 0;
  for (const bool isGrid : {false, true}) {
    for (const Finding& f : isGrid ? in.gridFindings : in.climbFindings) {
      if (f.severity != Finding::Warning) continue;
      ++warnings;
      if (static_cast<int>(listed.size()) < kMaxListed) {
        listed.push_back(u"%1. %2: %3"_s.arg(QString::number(warnings), f.place, f.text));
      }
      if (f.row < 0) continue;
      if (!isGrid) {
        const auto& row = climb.rows[f.row];
        climbMarks.push_back({{Value(row[0]), Value(row[1])}, warnings});
      } else if (f.row == 0 && f.column > 0) {
        gridMarks.push_back({{Value(grid.rows[0][f.column]), 0}, warnings});
      } else if (f.column > 0) {
        gridMarks.push_back(
            {{Value(grid.rows[0][f.column]), Value(grid.rows[f.row][f.column])}, warnings});
      } else {
        // A cloud base: its row's first time.
        for (int j = 1; j < grid.fieldCount; ++j) {
          if (Value(grid.rows[f.row][j]) != 0) {
            gridMarks.push_back({{Value(grid.rows[0][j]), Value(grid.rows[f.row][j])}, warnings});
            break;
          }
        }
      }
    }
  }
  if (warnings > kMaxListed) listed.push_back(u"… и ещё %1"_s.arg(warnings - kMaxListed));

  const QRectF textArea(kMargin, 0, kWidth - 2 * kMargin, 1e6);
  double listHeight = 2 * fm.height();
  for (const QString& line : listed) {
    listHeight += fm.boundingRect(textArea, Qt::TextWordWrap, line).height() + 3;
  }
  const double climbTop = 50;
  const double gridTop = climbTop + kPanelHeight;
  const double listTop = gridTop + kPanelHeight + 10;
  const double height = listTop + listHeight + kMargin;

  files::FileWriter file(path);
  if (!file.Open()) {
    if (failure) *failure = u"рисунок "_s + file.failure();
    return false;
  }
  // SVG, or a PNG when the name asks for one.
  const QSize size(static_cast<int>(kWidth), static_cast<int>(std::ceil(height)));
  const bool png = path.endsWith(u".png"_s, Qt::CaseInsensitive);
  QSvgGenerator svg;
  QImage image;
  if (png) {
    image = QImage(size, QImage::Format_RGB32);
    image.fill(Qt::white);
  } else {
    svg.setOutputDevice(&file);
    svg.setSize(size);
    svg.setViewBox(QRectF(QPointF(0, 0), size));
    svg.setTitle(u"Таблицы набора высоты: %1"_s.arg(in.title));
    svg.setDescription(u"Meltor: время набора высоты и время в облаках"_s);
  }

  QPainter p;
  if (png) {
    p.begin(&image);
  } else {
    p.begin(&svg);
  }
  p.setRenderHint(QPainter::Antialiasing);
  p.setFont(font);
  p.fillRect(QRectF(0, 0, kWidth, height), Qt::white);
  {
    QFont big = font;
    big.setPixelSize(16);
    big.setBold(true);
    p.save();
    p.setFont(big);
    p.drawText(QPointF(kMargin, 28), u"Таблицы набора высоты: %1"_s.arg(in.title));
    p.restore();
  }

  // The climb curve, in the order of heights.
  {
    std::vector<QPointF> points;
    for (const auto& row : climb.rows) {
      if (row[0] && row[1]) points.emplace_back(*row[0], *row[1]);
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    for (const QPointF& pt : points) {
      x0 = std::min(x0, pt.x());
      x1 = std::max(x1, pt.x());
      y0 = std::min(y0, pt.y());
      y1 = std::max(y1, pt.y());
    }
    const Frame frame(QRectF(90, climbTop + 30, kWidth - 90 - 170, kPanelHeight - 100), x0, x1, y0,
                      y1);
    DrawTitle(p, QPointF(kMargin, climbTop + 16),
              u"Время набора высоты от земли (%1)"_s.arg(in.climb->source));
    frame.DrawAxes(p, u"Высота, м"_s, u"Время набора, с"_s);
    QPainterPath line;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const QPointF at = frame.Map(points[i].x(), points[i].y());
      i == 0 ? line.moveTo(at) : line.lineTo(at);
    }
    p.setPen(QPen(QColor(20, 80, 160), 1.6));
    p.drawPath(line);
    p.setBrush(QColor(20, 80, 160));
    for (const QPointF& pt : points) p.drawEllipse(frame.Map(pt.x(), pt.y()), 2.5, 2.5);
    p.setBrush(Qt::NoBrush);
    DrawMarks(p, frame, climbMarks);
  }

  // The grid: one line per cloud base over the column keys; zero and empty cells hold no value.
  {
    std::vector<std::pair<double, std::vector<QPointF>>> lines;
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    for (int j = 1; j < grid.fieldCount; ++j) {
      x0 = std::min(x0, Value(grid.rows[0][j]));
      x1 = std::max(x1, Value(grid.rows[0][j]));
    }
    for (int i = 1; i < grid.recordCount(); ++i) {
      std::map<double, double> byKey;  // of equal keys the lookups read the last column
      for (int j = 1; j < grid.fieldCount; ++j) {
        byKey[Value(grid.rows[0][j])] = Value(grid.rows[i][j]);
      }
      std::vector<QPointF> points;
      for (const auto& [k, t] : byKey) {
        if (t == 0) continue;
        points.emplace_back(k, t);
        y0 = std::min(y0, t);
        y1 = std::max(y1, t);
      }
      lines.emplace_back(Value(grid.rows[i][0]), std::move(points));
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const QRectF area(90, gridTop + 30, kWidth - 90 - 170, kPanelHeight - 100);
    const Frame frame(area, x0, x1, y0, y1);
    p.setPen(Qt::black);
    DrawTitle(p, QPointF(kMargin, gridTop + 16),
              u"Время в облаках по нижней границе Нн (%1)"_s.arg(in.grid->source));
    frame.DrawAxes(p,
                   in.rule == HOblRule::CloudTop ? u"Верхняя граница облаков Нв, м"_s
                   : in.rule == HOblRule::LayerThickness ? u"Толщина слоя облаков, м"_s
                                                         : u"Ключ столбца, м"_s,
                   u"Время в облаках, с"_s);
    const double legendX = area.right() + 30;
    p.drawText(QPointF(legendX, area.top() + 4), u"Нн, м:"_s);
    for (std::size_t l = 0; l < lines.size(); ++l) {
      const QColor color = LineColor(l, lines.size());
      QPainterPath path;
      for (std::size_t i = 0; i < lines[l].second.size(); ++i) {
        const QPointF at = frame.Map(lines[l].second[i].x(), lines[l].second[i].y());
        i == 0 ? path.moveTo(at) : path.lineTo(at);
      }
      p.setPen(QPen(color, 1.4));
      p.drawPath(path);
      p.setBrush(color);
      for (const QPointF& pt : lines[l].second) p.drawEllipse(frame.Map(pt.x(), pt.y()), 2, 2);
      p.setBrush(Qt::NoBrush);
      const double y = area.top() + 4 + (static_cast<double>(l) + 1) * (fm.height() + 1);
      if (y > area.bottom() + 40) continue;
      p.drawLine(QPointF(legendX, y - fm.ascent() / 3), QPointF(legendX + 22, y - fm.ascent() / 3));
      p.setPen(Qt::black);
      p.drawText(QPointF(legendX + 28, y), QString::number(lines[l].first, 'g', 10));
    }
    DrawMarks(p, frame, gridMarks);
  }

  // The warnings, numbered as on the picture.
  p.setPen(warnings > 0 ? kWarning : QColor(Qt::black));
  DrawTitle(p, QPointF(kMargin, listTop + fm.ascent()),
            warnings > 0
                ? u"Предупреждения проверки (%1) — номера отмечены на графиках:"_s.arg(warnings)
                : u"Проверка: предупреждений нет."_s);
  double y = listTop + 1.6 * fm.height();
  p.setPen(Qt::black);
  for (const QString& line : listed) {
    const QRectF box(kMargin, y, kWidth - 2 * kMargin, 1e4);
    const QRectF used = fm.boundingRect(box, Qt::TextWordWrap, line);
    p.drawText(box, Qt::TextWordWrap, line);
    y += used.height() + 3;
  }
  p.end();
  if ((png && !image.save(&file, "PNG")) || !file.Commit()) {
    if (failure) {
      *failure = u"рисунок "_s + (file.failure().isEmpty()
                                      ? u"«%1» не записан: рисунок не получился"_s.arg(path)
                                      : file.failure());
    }
    return false;
  }
  return true;
}

}  // namespace meltor
