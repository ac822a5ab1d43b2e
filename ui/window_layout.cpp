// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "window_layout.h"

#include <QString>

namespace meltor {

namespace {

QFont SansSerif(double points) {
  QFont font(QStringLiteral("MS Sans Serif"));
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

}  // namespace meltor
