// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "window_controls.h"

#include "window_layout.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyleOptionFrame>

namespace meltor {

EnterButton::EnterButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

void EnterButton::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    if (!event->isAutoRepeat()) click();
    event->accept();
    return;
  }
  QPushButton::keyPressEvent(event);
}

namespace {

// A single-line box with centred text that takes any text at all, and shows a number whole: a
// text too wide for the box at the window's font is drawn in a smaller size of it, so that
// "12000" or "-32768" never loses a digit to the box's edge.
class FittingBox final : public QLineEdit {
 public:
  FittingBox(const QString& text, QWidget* parent) : QLineEdit(text, parent) {
    connect(this, &QLineEdit::textChanged, this, &FittingBox::Fit);
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLineEdit::resizeEvent(event);
    Fit();
  }

 private:
  // QLineEdit keeps this many pixels on each side inside its frame, besides the text margins.
  static constexpr int kInnerMargin = 2;
  // The smallest size a text is shrunk to; a text that does not fit even so scrolls as usual.
  static constexpr int kSmallestPixels = 7;

  void Fit() {
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int inside = style()->subElementRect(QStyle::SE_LineEditContents, &option, this).width();
    // What QLineEdit needs beside the text: a pixel of room and the cursor.
    const int extra = 1 + style()->pixelMetric(QStyle::PM_TextCursorWidth, &option, this);
    QFont font = parentWidget()->font();
    const auto fits = [&](const QFont& f) {
      return qRound(QFontMetricsF(f).horizontalAdvance(text())) + extra <= inside;
    };
    for (int pixels = QFontInfo(font).pixelSize(); !fits(font) && pixels > kSmallestPixels;) {
      font.setPixelSize(--pixels);
    }
    if (fits(font)) {
      // The whole inside of the frame is the text's: the two inner margins are given back.
      setTextMargins(-kInnerMargin, 0, -kInnerMargin, 0);
    } else {
      font = parentWidget()->font();
      setTextMargins(0, 0, 0, 0);
    }
    if (font != this->font()) setFont(font);
  }
};

// One of the day/night pair. Qt lets only one button of an exclusive group be a tab stop; here
// each keeps its own place in the tab order, chosen or not.
class PairedOption final : public QRadioButton {
 public:
  using QRadioButton::QRadioButton;

 protected:
  void focusInEvent(QFocusEvent* event) override {
    QRadioButton::focusInEvent(event);
    for (auto* option : parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
      option->setFocusPolicy(Qt::StrongFocus);
    }
  }
};

}  // namespace

QGroupBox* Frame(QWidget* parent, const QString& name, const QString& caption, const QRect& r) {
  auto* frame = new FrameBox(caption, parent);
  frame->setObjectName(name);
  frame->setGeometry(r);
  return frame;
}

QLabel* StaticLabel(QWidget* parent, const QString& name, const QString& caption, const QRect& r,
                    Qt::Alignment alignment) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(alignment);
  label->setGeometry(r);
  return label;
}

QLineEdit* TextBox(QWidget* parent, const QString& name, const QRect& r, Field field,
                   const QString& text) {
  auto* box = new FittingBox(text, parent);
  box->setObjectName(name);
  box->setAlignment(Qt::AlignCenter);
  box->setAccessibleName(FieldCaption(field));
  box->setGeometry(r);
  return box;
}

QRadioButton* OptionButton(QWidget* parent, const QString& name, const QString& caption,
                           const QString& accessibleName, const QRect& r) {
  auto* option = new PairedOption(caption, parent);
  option->setObjectName(name);
  option->setAccessibleName(accessibleName);
  option->setGeometry(r);
  return option;
}

QPushButton* CommandButton(QWidget* parent, const QString& name, const QString& caption,
                           const QRect& r) {
  auto* button = new EnterButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setGeometry(r);
  return button;
}

}  // namespace meltor
