// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "logbook_print.h"

#include "journal_model.h"
#include "journal_period.h"
#include "results.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

constexpr int kReadBlock = 256;

// The columns of the list, as shares of the page's width.
struct ListColumn {
  QString caption;
  double share;
  Qt::Alignment alignment;
};

constexpr Qt::Alignment kCentre = Qt::AlignCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

std::vector<ListColumn> ListColumns() {
  const auto& h = ResultHeadings();
  const Qt::Alignment centre = kCentre;
  const Qt::Alignment left = kLeft;
  return {{u"№"_s, 0.05, centre},
          {u"Дата"_s, 0.075, centre},
          {u"Тип"_s, 0.065, left},
          {u"Борт"_s, 0.055, left},
          {u"Время полёта"_s, 0.07, centre},
          {u"День/ночь"_s, 0.06, centre},
          {h[0], 0.075, centre},
          {h[1], 0.06, centre},
          {h[2], 0.06, centre},
          {h[3], 0.085, centre},
          {h[4], 0.07, centre},
          {u"Примечание"_s, 0.275, left}};
}

// The totals' columns: the line, the flights, the five categories, what the line holds.
std::vector<ListColumn> TotalsColumns() {
  const auto& h = ResultHeadings();
  return {{u"Итоги"_s, 0.2, kLeft}, {u"Полётов"_s, 0.08, kCentre}, {h[0], 0.1, kCentre},
          {h[1], 0.1, kCentre},     {h[2], 0.1, kCentre},          {h[3], 0.12, kCentre},
          {h[4], 0.1, kCentre},     {u"Что вошло"_s, 0.2, kLeft}};
}

// One row of cells, framed; `wrap` breaks a long text onto the next line of the cell, otherwise
// it is cut short with an ellipsis.
void DrawRow(QPainter& painter, double top, double height, double width, const QStringList& texts,
             const std::vector<ListColumn>& columns, double pad, bool wrap) {
  double x = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const QRectF cell(x, top, columns[i].share * width, height);
    painter.drawRect(cell);
    const QRectF inner = cell.adjusted(pad, 0, -pad, 0);
    const QString text = texts.value(static_cast<int>(i));
    if (wrap) {
      painter.drawText(inner, columns[i].alignment | Qt::TextWordWrap, text);
    } else {
      painter.drawText(
          inner, columns[i].alignment,
          painter.fontMetrics().elidedText(text, Qt::ElideRight, static_cast<int>(inner.width())));
    }
    x += columns[i].share * width;
  }
}

QStringList Captions(const std::vector<ListColumn>& columns) {
  QStringList captions;
  for (const ListColumn& c : columns) captions << c.caption;
  return captions;
}

// Draws page after page: the heading on the first, the column headings on each, the page's
// number at its foot.
class Pages {
 public:
  Pages(QPagedPaintDevice& device, QPainter& painter, const LogbookPrintout& printout)
      : device_(device), painter_(painter), printout_(printout) {
    const double dpi = device.logicalDpiY();
    unit_ = dpi / 72.0;  // one point
    width_ = device.width();
    height_ = device.height();
    body_.setFamily(u"Liberation Sans"_s);
    body_.setPointSizeF(8);
    bold_ = body_;
    bold_.setBold(true);
    title_ = bold_;
    title_.setPointSizeF(13);
    line_ = QFontMetricsF(body_, &device).height() * 1.35;
    footer_ = line_ * 1.5;
  }

  double unit() const { return unit_; }
  double width() const { return width_; }
  double lineHeight() const { return line_; }
  const QFont& body() const { return body_; }
  const QFont& bold() const { return bold_; }
  int pages() const { return pages_; }

  // The top of the room left on the page, a new page begun when `needed` does not fit.
  double Room(double needed, bool listHeadings) {
    if (pages_ == 0 || y_ + needed > height_ - footer_) NewPage(listHeadings);
    const double top = y_;
    y_ += needed;
    return top;
  }

  void Finish() { Foot(); }

 private:
  void NewPage(bool listHeadings) {
    if (pages_ > 0) {
      Foot();
      device_.newPage();
    }
    ++pages_;
    y_ = 0;
    if (pages_ == 1) {
      painter_.setFont(title_);
      const double h = QFontMetricsF(title_, &device_).height() * 1.2;
      painter_.drawText(QRectF(0, y_, width_, h), Qt::AlignLeft | Qt::AlignVCenter,
                        printout_.title);
      y_ += h;
      painter_.setFont(body_);
      painter_.drawText(QRectF(0, y_, width_, line_), Qt::AlignLeft | Qt::AlignVCenter,
                        printout_.subtitle);
      y_ += line_ * 1.5;
    }
    if (listHeadings) ListHeadings();
  }

  void ListHeadings() {
    painter_.setFont(bold_);
    const auto columns = ListColumns();
    std::vector<ListColumn> centred = columns;
    for (ListColumn& c : centred) c.alignment = kCentre;
    DrawRow(painter_, y_, line_ * 2, width_, Captions(columns), centred, 2 * unit_, true);
    y_ += line_ * 2;
    painter_.setFont(body_);
  }

  void Foot() {
    painter_.setFont(body_);
    painter_.drawText(QRectF(0, height_ - line_, width_, line_), Qt::AlignRight | Qt::AlignVCenter,
                      u"%1 — стр. %2"_s.arg(printout_.title).arg(pages_));
  }

  QPagedPaintDevice& device_;
  QPainter& painter_;
  const LogbookPrintout& printout_;
  QFont body_;
  QFont bold_;
  QFont title_;
  double unit_ = 1;
  double width_ = 0;
  double height_ = 0;
  double line_ = 0;
  double footer_ = 0;
  double y_ = 0;
  int pages_ = 0;
};

}  // namespace

journal::Result<int> PrintLogbook(QPagedPaintDevice& device, journal::RowReader& rows,
                                  const LogbookPrintout& printout) {
  auto numbers = rows.Numbers(printout.filter, journal::RowKey::Date);
  if (!numbers) return numbers.error();
  QPainter painter;
  if (!painter.begin(&device)) {
    return journal::JournalError{journal::JournalError::Kind::Io,
                                 u"Печать не началась: устройство не открылось."_s};
  }
  Pages pages(device, painter, printout);
  QPen pen(Qt::black);
  pen.setWidthF(0.5 * pages.unit());
  painter.setPen(pen);
  painter.setFont(pages.body());
  const auto columns = ListColumns();
  const double line = pages.lineHeight();
  const double pad = 2 * pages.unit();

  const std::vector<qint64>& all = *numbers;
  for (std::size_t first = 0; first < all.size(); first += kReadBlock) {
    const std::size_t count = std::min<std::size_t>(kReadBlock, all.size() - first);
    auto block = rows.Read(std::span<const qint64>(all.data() + first, count));
    if (!block) {
      painter.end();
      return block.error();
    }
    for (const journal::Row& r : *block) {
      if (r.number == 0) continue;  // deleted meanwhile
      const double top = pages.Room(line, true);
      QStringList texts = {QString::number(r.number),
                           ShownDate(r.date),
                           r.type,
                           r.board,
                           FlightTimeText(r.hours, r.minutes),
                           journal::DayNightWords(r.dayNight)};
      for (const QString& t : r.results.text) texts << t;
      texts << r.remark;
      DrawRow(painter, top, line, pages.width(), texts, columns, pad, false);
    }
  }
  if (all.empty()) {
    const double top = pages.Room(line * 2, false);
    painter.drawText(QRectF(0, top, pages.width(), line * 2), Qt::AlignLeft | Qt::AlignVCenter,
                     u"За этот период полётов в журнале нет."_s);
  }

  // The totals: a table of their own, whole on one page.
  const auto totalsColumns = TotalsColumns();
  std::vector<ListColumn> centred = totalsColumns;
  for (ListColumn& c : centred) c.alignment = kCentre;
  const double totalsHeight = line * 1.5 + line * 2 + line * 2 * printout.totals.size();
  double top = pages.Room(totalsHeight, false) + line * 1.5;
  painter.setFont(pages.bold());
  DrawRow(painter, top, line * 2, pages.width(), Captions(totalsColumns), centred, pad, true);
  top += line * 2;
  painter.setFont(pages.body());
  for (const TotalsLine& t : printout.totals) {
    QStringList texts = {t.label, QString::number(t.sums.flights)};
    for (const qint64 m : t.sums.minutes) texts << MinutesCell(m);
    texts << t.note;
    DrawRow(painter, top, line * 2, pages.width(), texts, totalsColumns, pad, true);
    top += line * 2;
  }
  pages.Finish();
  if (!painter.end()) {
    return journal::JournalError{journal::JournalError::Kind::Io,
                                 u"Печать не закончена: устройство отказало."_s};
  }
  return pages.pages();
}

}  // namespace meltor
