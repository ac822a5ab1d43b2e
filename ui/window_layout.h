// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Window geometry is laid down in twips, 15 to the pixel, so the windows keep the proportions
// they were drawn with.

#include <QFont>
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
// drawn for. Where "MS Sans Serif" is missing the system substitutes its own sans-serif.
QFont WindowFont();

// The large font of the results: 13.5 pt, regular or bold.
QFont ResultFont(bool bold);

}  // namespace meltor
