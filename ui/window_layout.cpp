// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "window_layout.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <QStyle>

namespace meltor {

namespace {

QFont SansSerif(double points) {
  // MS Sans Serif where the system has it; otherwise Liberation Sans, which keeps the widths of
  // Arial and so, near enough, those of MS Sans Serif: the boxes were drawn for a face this narrow.
  // The system's own sans-serif comes last, when neither is installed.
  QFont font;
  font.setFamilies(QStringList{QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  return font;
}

}  // namespace

QFont WindowFont() {
  return SansSerif(8.0);
}

QFont ResultFont(bool bold) {
  QFont font = SansSerif(13.5);
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  return font;
}

namespace {

// How far the caption stands in from the frame's left edge, and the room the border leaves on
// either side of it.
constexpr int kCaptionIndent = 6;
constexpr int kCaptionGap = 2;

}  // namespace

FrameBox::FrameBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

QRect FrameBox::CaptionRect() const {
  const QFontMetrics fm(font());
  return QRect(kCaptionIndent, 0, fm.horizontalAdvance(title()), fm.height());
}

QRect FrameBox::BorderRect() const {
  return rect().adjusted(0, fontMetrics().height() / 2, 0, 0);
}

void FrameBox::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect caption = CaptionRect();
  // Etched: a shadow line with a light one just inside it, broken where the caption stands.
  painter.save();
  if (!title().isEmpty()) {
    painter.setClipRegion(QRegion(rect()) -
                          QRegion(caption.adjusted(-kCaptionGap, 0, kCaptionGap, 0)));
  }
  const QRect border = BorderRect();
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(border.adjusted(0, 0, -kBorderWidth, -kBorderWidth));
  painter.setPen(palette().color(QPalette::Light));
  painter.drawRect(border.adjusted(1, 1, -1, -1));
  painter.restore();
  style()->drawItemText(&painter, caption, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(),
                        title(), QPalette::WindowText);
}

}  // namespace meltor
