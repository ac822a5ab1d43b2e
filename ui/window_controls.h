// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The controls the windows are built from, each made at its place in the layout and named as the
// tests and the explanation of the layout call it.

#include "errors.h"

#include <QPushButton>
#include <QRect>
#include <QString>

class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace meltor {

// A command button that Enter and keypad Enter press, as Space does, while it has the focus. It
// is never its window's default button: Enter in a text box presses nothing.
class EnterButton final : public QPushButton {
  Q_OBJECT

 public:
  EnterButton(const QString& caption, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// A frame with its caption (see FrameBox).
QGroupBox* Frame(QWidget* parent, const QString& name, const QString& caption, const QRect& r);

// A label that shows its text as it is, never as markup.
QLabel* StaticLabel(QWidget* parent, const QString& name, const QString& caption, const QRect& r,
                    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);

// A single-line box with centred text that takes any text and shows a number whole, named for
// the pilot by the caption of `field`.
QLineEdit* TextBox(QWidget* parent, const QString& name, const QRect& r, Field field,
                   const QString& text = {});

// One of the day/night pair, each with its own place in the tab order, chosen or not.
QRadioButton* OptionButton(QWidget* parent, const QString& name, const QString& caption,
                           const QString& accessibleName, const QRect& r);

// An EnterButton at its place.
QPushButton* CommandButton(QWidget* parent, const QString& name, const QString& caption,
                           const QRect& r);

}  // namespace meltor
