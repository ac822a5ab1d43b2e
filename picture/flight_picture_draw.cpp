// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// Placing the picture of a flight on a paint device, and writing it as SVG or PNG.

#include "flight_picture.h"

#include "file_writer.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

constexpr int kWidth = 1040;
constexpr int kHeight = 620;

// The left part: the timeline. The right part: the heights.
constexpr qreal kCaptionLeft = 20;
constexpr qreal kBarLeft = 112;
constexpr qreal kBarRight = 650;
constexpr qreal kAxisY = 92;
constexpr qreal kHoodTop = 100;
constexpr qreal kHoodBottom = 122;
constexpr qreal kBarTop = 130;
constexpr qreal kBarBottom = 180;
constexpr qreal kCardsTop = 212;
constexpr qreal kPanelLeft = 690;
constexpr qreal kPanelRight = 1030;
constexpr qreal kScaleTop = 110;
constexpr qreal kScaleBottom = 420;

const QColor kInk(0x1a, 0x1a, 0x1a);
const QColor kHatch(0x33, 0x33, 0x33);

// Fills and hatchings. The fills are tints of the Okabe–Ito colours, which stay apart for
// colour-blind readers; the hatchings tell the categories apart in black and white.
enum class Hatch { None, Dots, Horizontal, Forward, Cross, Backward };

struct Look {
  QColor fill;
  Hatch hatch;
};

Look LookOf(PictureCategory c) {
  switch (c) {
    case PictureCategory::OgrVid:
      return {QColor(0xf6, 0xc7, 0x7a), Hatch::Dots};
    case PictureCategory::Obl:
      return {QColor(0xa6, 0xd4, 0xf2), Hatch::Horizontal};
    case PictureCategory::ZaObl:
      return {QColor(0xf4, 0xec, 0x8f), Hatch::Forward};
    case PictureCategory::ZakKab:
      return {QColor(0xe2, 0xa6, 0xc9), Hatch::Cross};
    case PictureCategory::NotCounted:
      break;
  }
  return {QColor(Qt::white), Hatch::None};
}

const Look kHoodLook{QColor(0xcc, 0x79, 0xa7), Hatch::Backward};

QFont TextFont(int pixels, bool bold = false) {
  QFont f(u"DejaVu Sans"_s);
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

// Hatch lines drawn one by one and cut to the rectangle, so that every paint device (the SVG
// generator too) shows the same pattern.
void DrawHatch(QPainter& p, const QRectF& r, Hatch hatch) {
  if (hatch == Hatch::None || r.width() <= 0 || r.height() <= 0) return;
  constexpr qreal step = 7;
  const qreal l = r.left(), t = r.top(), rt = r.right(), b = r.bottom();
  QList<QLineF> lines;
  if (hatch == Hatch::Horizontal) {
    for (qreal y = t + step / 2; y < b; y += step / 1.4) lines.append(QLineF(l, y, rt, y));
  }
  if (hatch == Hatch::Forward || hatch == Hatch::Cross) {
    // x + y = c
    for (qreal c = l + t + step; c < rt + b; c += step) {
      const qreal x1 = std::max(l, c - b), x2 = std::min(rt, c - t);
      if (x2 > x1) lines.append(QLineF(x1, c - x1, x2, c - x2));
    }
  }
  if (hatch == Hatch::Backward || hatch == Hatch::Cross) {
    // x - y = c
    for (qreal c = l - b + step; c < rt - t; c += step) {
      const qreal x1 = std::max(l, c + t), x2 = std::min(rt, c + b);
      if (x2 > x1) lines.append(QLineF(x1, x1 - c, x2, x2 - c));
    }
  }
  p.save();
  if (hatch == Hatch::Dots) {
    QList<QRectF> dots;
    bool odd = false;
    for (qreal y = t + 3; y < b - 1; y += 5, odd = !odd) {
      for (qreal x = l + (odd ? 5 : 2); x < rt - 1; x += 6) dots.append(QRectF(x, y, 1.6, 1.6));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kHatch);
    p.drawRects(dots);
  } else {
    p.setPen(QPen(kHatch, 0.8));
    p.drawLines(lines);
  }
  p.restore();
}

void DrawArea(QPainter& p, const QRectF& r, const Look& look) {
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(look.fill);
  p.drawRect(r);
  DrawHatch(p, r, look.hatch);
  p.setPen(QPen(kInk, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(r);
  p.restore();
}

// Spreads positions apart by at least `gap`, keeping them within lo..hi and in their order.
std::vector<qreal> Spread(std::vector<qreal> wanted, qreal gap, qreal lo, qreal hi) {
  const std::size_t n = wanted.size();
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return wanted[a] < wanted[b]; });
  std::vector<qreal> at(n);
  qreal prev = lo - gap;
  for (std::size_t k = 0; k < n; ++k) {
    at[order[k]] = std::max(wanted[order[k]], prev + gap);
    prev = at[order[k]];
  }
  qreal next = hi + gap;
  for (std::size_t k = n; k-- > 0;) {
    at[order[k]] = std::max(lo, std::min(at[order[k]], next - gap));
    next = at[order[k]];
  }
  return at;
}

qreal TimeX(int seconds, int flight) {
  if (flight <= 0) return kBarLeft;
  return kBarLeft + (kBarRight - kBarLeft) * std::clamp(seconds, 0, flight) / flight;
}

void DrawTimeAxis(QPainter& p, int flightSeconds, int flightMinutes) {
  p.setFont(TextFont(12));
  p.setPen(QPen(kInk, 1));
  p.drawText(QRectF(kCaptionLeft, kAxisY - 16, kBarLeft - kCaptionLeft - 6, 16),
             Qt::AlignRight | Qt::AlignVCenter, u"мин"_s);
  if (flightSeconds <= 0) return;
  const int minutes = std::max(1, flightSeconds / 60);
  int step = 1;
  for (int s : {1, 2, 5, 10, 15, 20, 30, 60, 120}) {
    step = s;
    if (minutes / s <= 12) break;
  }
  const qreal endX = kBarRight;
  for (int m = 0; m * 60 <= flightSeconds; m += step) {
    const qreal x = TimeX(m * 60, flightSeconds);
    if (m > 0 && endX - x < 24) break;
    p.drawLine(QLineF(x, kAxisY - 3, x, kAxisY + 3));
    p.drawText(QRectF(x - 20, kAxisY - 18, 40, 14), Qt::AlignCenter, QString::number(m));
  }
  p.drawLine(QLineF(kBarLeft, kAxisY, kBarRight, kAxisY));
  p.setFont(TextFont(12, true));
  p.drawLine(QLineF(endX, kAxisY - 5, endX, kAxisY + 5));
  p.drawText(QRectF(endX - 30, kAxisY - 18, 60, 14), Qt::AlignCenter,
             QString::number(flightMinutes));
}

// A text box with wrapped lines; returns its height.
qreal DrawWrapped(QPainter& p, const QRectF& r, const QString& text, const QFont& font,
                  int flags = Qt::AlignLeft | Qt::AlignTop) {
  p.setFont(font);
  const QRectF used = p.boundingRect(r, flags | Qt::TextWordWrap, text);
  p.drawText(r, flags | Qt::TextWordWrap, text);
  return used.height();
}

void DrawSwatch(QPainter& p, const QRectF& r, PictureCategory c) {
  DrawArea(p, r, LookOf(c));
}

void DrawTimeline(QPainter& p, const FlightPictureLayout& l) {
  const int T = l.flightSeconds;
  DrawTimeAxis(p, T, l.flightMinutes);

  p.setFont(TextFont(12));
  p.setPen(kInk);
  p.drawText(QRectF(kCaptionLeft, kHoodTop, kBarLeft - kCaptionLeft - 6, kHoodBottom - kHoodTop),
             Qt::AlignRight | Qt::AlignVCenter, u"шторка"_s);
  p.drawText(QRectF(kCaptionLeft, kBarTop, kBarLeft - kCaptionLeft - 6, kBarBottom - kBarTop),
             Qt::AlignRight | Qt::AlignVCenter | Qt::TextWordWrap, u"полёт"_s);

  // The hood band: where the calculation credited the closed cockpit, from its own seconds.
  const QRectF hoodRow(kBarLeft, kHoodTop, kBarRight - kBarLeft, kHoodBottom - kHoodTop);
  if (!l.hood.isEmpty()) {
    DrawArea(p, hoodRow, {Qt::white, Hatch::None});
    p.setFont(TextFont(12));
    const QString counted = u"в закр. кабине"_s;
    for (const TimeSpan& s : l.hood) {
      const QRectF band(TimeX(s.from, T), kHoodTop, TimeX(s.to, T) - TimeX(s.from, T),
                        hoodRow.height());
      DrawArea(p, band, kHoodLook);
      if (band.width() > p.fontMetrics().horizontalAdvance(counted) + 12) {
        const QRectF tag = p.boundingRect(band, Qt::AlignCenter, counted).adjusted(-4, 0, 4, 0);
        p.setPen(QPen(kInk, 1));
        p.setBrush(Qt::white);
        p.drawRect(tag);
        p.drawText(tag, Qt::AlignCenter, counted);
      }
    }
    p.setBrush(Qt::NoBrush);
  } else {
    p.save();
    p.setPen(QPen(kInk, 1, Qt::DashLine));
    p.drawRect(hoodRow);
    p.restore();
    p.setFont(TextFont(12));
    p.drawText(hoodRow, Qt::AlignCenter,
               l.hoodCase ? u"в закр. кабине не засчитано"_s : u"не учитывается"_s);
  }

  // The flight, category by category.
  for (const TimelineSegment& g : l.segments) {
    for (const TimeSpan& s : g.spans) {
      const QRectF r(TimeX(s.from, T), kBarTop, TimeX(s.to, T) - TimeX(s.from, T),
                     kBarBottom - kBarTop);
      DrawArea(p, r, LookOf(g.category));
    }
  }
  // Minutes in the bar where they fit, on a white tag over the hatching.
  p.setFont(TextFont(13, true));
  for (const TimelineSegment& g : l.segments) {
    if (g.category == PictureCategory::NotCounted || g.spans.isEmpty()) continue;
    const auto widest = std::max_element(g.spans.begin(), g.spans.end(), [](auto& a, auto& b) {
      return a.to - a.from < b.to - b.from;
    });
    const QRectF r(TimeX(widest->from, T), kBarTop, TimeX(widest->to, T) - TimeX(widest->from, T),
                   kBarBottom - kBarTop);
    // A minute the balance moved is shown where it went: "5 мин (+1)".
    QString text = u"%1 мин"_s.arg(g.minutes);
    if (g.balance != 0) text += g.balance > 0 ? u" (+1)"_s : u" (-1)"_s;
    if (r.width() < p.fontMetrics().horizontalAdvance(text) + 12) continue;
    const QRectF tag = p.boundingRect(r, Qt::AlignCenter, text).adjusted(-4, -1, 4, 1);
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::white);
    p.drawRect(tag);
    p.drawText(tag, Qt::AlignCenter, text);
  }
  p.setBrush(Qt::NoBrush);

  // One card per category under the bar, joined to its pieces.
  const int n = static_cast<int>(l.segments.size());
  if (n == 0) return;
  const qreal gap = 8;
  const qreal width = std::min<qreal>(190, ((kBarRight - kBarLeft) - gap * (n - 1)) / n);
  std::vector<qreal> centres;
  for (const TimelineSegment& g : l.segments) {
    centres.push_back(g.spans.isEmpty()
                          ? kBarRight
                          : (TimeX(g.spans.front().from, T) + TimeX(g.spans.front().to, T)) / 2);
  }
  const std::vector<qreal> placed =
      Spread(centres, width + gap, kBarLeft + width / 2, kBarRight - width / 2);
  for (int i = 0; i < n; ++i) {
    const TimelineSegment& g = l.segments[i];
    const QRectF card(placed[i] - width / 2, kCardsTop, width, 100);
    p.setPen(QPen(kInk, 0.8));
    for (const TimeSpan& s : g.spans) {
      const qreal x = (TimeX(s.from, T) + TimeX(s.to, T)) / 2;
      p.drawLine(QLineF(x, kBarBottom, x, kBarBottom + 12));
      p.drawLine(QLineF(x, kBarBottom + 12, placed[i], kCardsTop - 4));
    }
    DrawSwatch(p, QRectF(card.left(), card.top() + 1, 14, 14), g.category);
    p.setPen(kInk);
    qreal y = card.top();
    y += DrawWrapped(p, QRectF(card.left() + 19, y, width - 19, 60), g.caption, TextFont(12, true));
    y += DrawWrapped(p, QRectF(card.left(), y + 1, width, 60), g.where, TextFont(12)) + 1;
    if (!g.rounding.isEmpty()) {
      DrawWrapped(p, QRectF(card.left(), y + 1, width, 60), g.rounding, TextFont(12, false));
    }
  }
}

void DrawResults(QPainter& p, const FlightPictureLayout& l, qreal top) {
  p.setPen(kInk);
  p.setFont(TextFont(13, true));
  p.drawText(QRectF(kCaptionLeft, top, 600, 18), Qt::AlignLeft | Qt::AlignVCenter,
             u"Записать в лётную книжку"_s);
  const std::array<PictureCategory, 4> categories = {PictureCategory::ZakKab, PictureCategory::Obl,
                                                     PictureCategory::ZaObl,
                                                     PictureCategory::OgrVid};
  const qreal cell = (kBarRight - kCaptionLeft) / kResultCount;
  for (int i = 0; i < kResultCount; ++i) {
    const QRectF r(kCaptionLeft + i * cell, top + 22, cell - 6, 58);
    p.setPen(QPen(kInk, i == 4 ? 2 : 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
    qreal textLeft = r.left() + 5;
    if (i < 4) {
      DrawSwatch(p, QRectF(r.left() + 5, r.top() + 5, 12, 12), categories[i]);
      textLeft += 17;
    }
    p.setPen(kInk);
    DrawWrapped(p, QRectF(textLeft, r.top() + 3, r.right() - textLeft - 3, 32),
                i == 4 ? u"всего в СМУ"_s : ResultHeadings()[i], TextFont(12));
    p.setFont(TextFont(15, true));
    p.drawText(QRectF(r.left(), r.bottom() - 24, r.width(), 22), Qt::AlignCenter, l.results[i]);
  }
}

void DrawNotes(QPainter& p, const QStringList& notes, qreal top, qreal bottom) {
  p.setPen(kInk);
  qreal y = top;
  for (const QString& note : notes) {
    if (y > bottom) break;
    y += DrawWrapped(p, QRectF(kCaptionLeft, y, kBarRight - kCaptionLeft, bottom - y),
                     u"• "_s + note, TextFont(12)) +
         3;
  }
}

void DrawFailure(QPainter& p, const FlightPictureLayout& l) {
  const QRectF frame(kCaptionLeft, kAxisY - 10, kBarRight - kCaptionLeft, 110);
  p.save();
  p.setPen(QPen(kInk, 2));
  p.setBrush(Qt::white);
  p.drawRect(frame);
  p.restore();
  p.setPen(kInk);
  qreal y = frame.top() + 8;
  y += DrawWrapped(p, QRectF(frame.left() + 10, y, frame.width() - 20, 24), u"Расчёт остановлен"_s,
                   TextFont(15, true));
  DrawWrapped(p, QRectF(frame.left() + 10, y + 4, frame.width() - 20, frame.bottom() - y - 8),
              l.failure, TextFont(13));
  y = frame.bottom() + 16;
  p.setFont(TextFont(13, true));
  p.drawText(QRectF(kCaptionLeft, y, 600, 18), Qt::AlignLeft | Qt::AlignVCenter,
             u"Прочитано до остановки"_s);
  y += 24;
  const int half = static_cast<int>((l.readFields.size() + 1) / 2);
  const qreal column = (kBarRight - kCaptionLeft) / 2;
  for (int i = 0; i < l.readFields.size(); ++i) {
    const QString& line = l.readFields[i];
    const bool bad = line.endsWith(u": ошибка"_s);
    const bool unread = line.endsWith(u": не прочитано"_s);
    const QRectF r(kCaptionLeft + (i < half ? 0 : column), y + (i < half ? i : i - half) * 20,
                   column - 10, 18);
    p.setFont(TextFont(12, bad));
    p.setPen(unread ? QColor(0x66, 0x66, 0x66) : kInk);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, (bad ? u"✗ "_s : u"   "_s) + line);
  }
  p.setPen(kInk);
}

void DrawHeights(QPainter& p, const FlightPictureLayout& l) {
  p.setPen(kInk);
  p.setFont(TextFont(13, true));
  p.drawText(QRectF(kPanelLeft, kAxisY - 24, kPanelRight - kPanelLeft, 18),
             Qt::AlignLeft | Qt::AlignVCenter, u"Высоты, м"_s);
  p.setFont(TextFont(12));
  p.drawText(QRectF(kPanelLeft, kAxisY - 4, kPanelRight - kPanelLeft, 16),
             Qt::AlignLeft | Qt::AlignVCenter, l.cloudCaption);

  // The scale: from the ground (or the lowest height given) to a little above the highest
  // that matters; a cloud top far above the rest runs off the top.
  int low = 0, high = 100;
  for (const HeightMark& m : l.marks) {
    low = std::min(low, m.height);
    if (m.kind != HeightMark::CloudTop) high = std::max(high, m.height);
  }
  if (l.cloudCounts && l.cloudTop <= high * 3 / 2) high = std::max(high, l.cloudTop);
  high += (high - low) / 8 + 1;
  const auto Y = [&](int h) {
    const qreal clamped = std::clamp(h, low, high);
    return kScaleBottom - (kScaleBottom - kScaleTop) * (clamped - low) / qreal(high - low);
  };
  const qreal left = kPanelLeft + 6, right = kPanelLeft + 96;

  // The cloud layer, hatched as time in cloud, where the calculation looked at one.
  if (l.cloudCounts && l.cloudTop > l.cloudBase) {
    const QRectF layer(left + 8, Y(l.cloudTop), 62, Y(l.cloudBase) - Y(l.cloudTop));
    DrawArea(p, layer, LookOf(PictureCategory::Obl));
  }
  // The ground.
  p.setPen(QPen(kInk, 2));
  p.drawLine(QLineF(left, Y(0), right, Y(0)));
  p.setPen(QPen(kInk, 0.8));
  for (qreal x = left + 4; x < right; x += 8) p.drawLine(QLineF(x, Y(0), x - 5, Y(0) + 6));

  // Every other height as a line across the scale, with its text to the right.
  std::vector<qreal> wanted;
  std::vector<const HeightMark*> marks;
  for (const HeightMark& m : l.marks) {
    marks.push_back(&m);
    wanted.push_back(Y(m.height));
  }
  for (const HeightMark* m : marks) {
    const qreal y = Y(m->height);
    switch (m->kind) {
      case HeightMark::Flight: {
        p.setPen(QPen(kInk, 2.5));
        p.drawLine(QLineF(left, y, right, y));
        QPainterPath plane;
        plane.moveTo(right - 14, y - 6);
        plane.lineTo(right, y);
        plane.lineTo(right - 14, y + 6);
        plane.closeSubpath();
        p.setBrush(kInk);
        p.drawPath(plane);
        p.setBrush(Qt::NoBrush);
        break;
      }
      case HeightMark::Minimum:
        p.setPen(QPen(kInk, 1.5, Qt::DashLine));
        p.drawLine(QLineF(left, y, right, y));
        break;
      case HeightMark::HoodClose:
      case HeightMark::HoodOpen:
        p.setPen(QPen(kInk, 1.5, Qt::DotLine));
        p.drawLine(QLineF(left + 74, y, right, y));
        break;
      case HeightMark::CloudBase:
      case HeightMark::CloudTop:
      case HeightMark::Ground:
        break;
    }
  }
  // The hood band between its two heights.
  for (const HeightMark* a : marks) {
    if (a->kind != HeightMark::HoodClose) continue;
    for (const HeightMark* b : marks) {
      if (b->kind != HeightMark::HoodOpen) continue;
      const QRectF band(left + 76, std::min(Y(a->height), Y(b->height)), 8,
                        std::abs(Y(a->height) - Y(b->height)));
      DrawArea(p, band, kHoodLook);
    }
  }

  const qreal labelLeft = right + 18;
  const std::vector<qreal> placed = Spread(wanted, 15, kScaleTop - 20, kScaleBottom + 8);
  p.setFont(TextFont(12));
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const HeightMark& m = *marks[i];
    QString text = m.text;
    if (m.height > high) text = u"↑ "_s + text;
    if (m.kind == HeightMark::Ground) text += u" 0 м"_s;
    p.setPen(QPen(kInk, 0.7));
    p.drawLine(QLineF(right + 2, Y(m.height), labelLeft - 3, placed[i]));
    p.setPen(kInk);
    p.setFont(TextFont(12, m.kind == HeightMark::Flight));
    p.drawText(QRectF(labelLeft, placed[i] - 8, kPanelRight - labelLeft + 15, 16),
               Qt::AlignLeft | Qt::AlignVCenter, text);
  }

  // The comparisons with the minima, and the verdict.
  qreal y = kScaleBottom + 30;
  if (!l.minimaLines.isEmpty()) {
    p.setFont(TextFont(12, true));
    p.drawText(QRectF(kPanelLeft, y, kPanelRight - kPanelLeft, 16),
               Qt::AlignLeft | Qt::AlignVCenter, u"Минимумы погоды"_s);
    y += 18;
    for (const QString& line : l.minimaLines) {
      y += DrawWrapped(p, QRectF(kPanelLeft, y, kPanelRight - kPanelLeft, 40), line, TextFont(12));
    }
  }
  if (!l.verdict.isEmpty()) {
    y += 8;
    const bool below = l.verdict == u"ниже минимума"_s;
    p.setFont(TextFont(15, true));
    const QRectF box(kPanelLeft, y, p.fontMetrics().horizontalAdvance(l.verdict) + 24, 28);
    p.setPen(QPen(kInk, below ? 3 : 1));
    p.setBrush(below ? QColor(0xf6, 0xc7, 0x7a) : QColor(Qt::white));
    p.drawRect(box);
    p.setBrush(Qt::NoBrush);
    p.setPen(kInk);
    p.drawText(box, Qt::AlignCenter, l.verdict);
  }
}

}  // namespace

QSize FlightPictureSize() {
  return {kWidth, kHeight};
}

void DrawFlightPicture(QPainter& p, const FlightPictureLayout& l) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.fillRect(QRectF(0, 0, kWidth, kHeight), Qt::white);
  p.setPen(kInk);
  p.setFont(TextFont(18, true));
  p.drawText(QRectF(kCaptionLeft, 10, kWidth - 2 * kCaptionLeft, 24),
             Qt::AlignLeft | Qt::AlignVCenter, l.title);
  p.setFont(TextFont(13));
  p.drawText(QRectF(kCaptionLeft, 36, kWidth - 2 * kCaptionLeft, 18),
             Qt::AlignLeft | Qt::AlignVCenter, l.subtitle);

  if (l.failed) {
    DrawFailure(p, l);
  } else if (l.timeline) {
    DrawTimeline(p, l);
    DrawResults(p, l, 330);
    DrawNotes(p, l.notes, 422, kHeight - 10);
  }
  if (l.heights) DrawHeights(p, l);
  p.restore();
}

QImage FlightPictureImage(const CalcOutcome& outcome, qreal scale) {
  const QSize size = FlightPictureSize();
  QImage image(QSize(qRound(size.width() * scale), qRound(size.height() * scale)),
               QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.scale(scale, scale);
  DrawFlightPicture(p, LayoutFlightPicture(outcome));
  p.end();
  return image;
}

QByteArray FlightPictureSvg(const CalcOutcome& outcome) {
  const FlightPictureLayout layout = LayoutFlightPicture(outcome);
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(FlightPictureSize());
  svg.setViewBox(QRect(QPoint(0, 0), FlightPictureSize()));
  svg.setResolution(96);
  // The generator writes the title and the description as they are, without escaping.
  svg.setTitle(layout.title.toHtmlEscaped());
  svg.setDescription(layout.subtitle.toHtmlEscaped());
  QPainter p(&svg);
  DrawFlightPicture(p, layout);
  p.end();
  return buffer.data();
}

bool SaveFlightPicture(const CalcOutcome& outcome, const QString& path, QString* error) {
  files::FileWriter file(path);
  const bool png = QFileInfo(path).suffix().compare(u"png"_s, Qt::CaseInsensitive) == 0;
  const bool written = file.Open() &&
                       (png ? FlightPictureImage(outcome).save(&file, "PNG")
                            : file.write(FlightPictureSvg(outcome)) >= 0) &&
                       file.Commit();
  if (!written && error) {
    *error = file.failure().isEmpty() ? u"«%1» не записан: рисунок не получился"_s.arg(path)
                                      : file.failure();
  }
  return written;
}

}  // namespace meltor
