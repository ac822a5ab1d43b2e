// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Window geometry is laid down in twips, 15 to the pixel, so the windows keep the proportions
// they were drawn with.

#include <QFont>
#include <QGroupBox>
#include <QRect>
#include <QSize>

namespace meltor {

inline constexpr int kTwipsPerPixel = 15;

constexpr QRect Twips(int left, int top, int width, int height) {
  return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
               height / kTwipsPerPixel);
}

constexpr QSize Twips(int width, int height) {
  return QSize(width / kTwipsPerPixel, height / kTwipsPerPixel);
}

// The font every control uses unless it asks for another: the small sans-serif the layout was
// drawn for, MS Sans Serif or else the metric-compatible Liberation Sans.
QFont WindowFont();

// The large font of the results: 13.5 pt, regular or bold.
QFont ResultFont(bool bold);

// A frame as the layout was drawn for: an etched border whose top line runs through the middle
// of the caption, the caption standing on it a little in from the left. The controls inside keep
// the places they are given; the frame lays nothing out.
class FrameBox final : public QGroupBox {
  Q_OBJECT

 public:
  FrameBox(const QString& caption, QWidget* parent);

  // Where the caption is drawn, in the frame's coordinates.
  QRect CaptionRect() const;
  // The outside of the border; its lines are kBorderWidth pixels thick, inside this rectangle.
  QRect BorderRect() const;

  static constexpr int kBorderWidth = 2;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace meltor
