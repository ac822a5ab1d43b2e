// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

#include "calculation.h"
#include "flight_picture.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace meltor {

// The picture of a flight, scaled to the widget and kept in proportion.
class FlightPictureView : public QWidget {
  Q_OBJECT

 public:
  explicit FlightPictureView(QWidget* parent = nullptr);
  void SetLayout(std::optional<FlightPictureLayout> layout);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<FlightPictureLayout> layout_;
};

// «Разбор полёта»: the picture of the last calculation and its explanation in words. Modeless;
// it follows each new calculation while it is open, and copies or saves the picture.
class FlightReviewWindow : public QWidget {
  Q_OBJECT

 public:
  FlightReviewWindow();

  // Shows `outcome`, a calculation that succeeded or one that stopped.
  void ShowOutcome(const CalcOutcome& outcome);

 private:
  void CopyPicture();
  void SavePicture();

  std::optional<CalcOutcome> outcome_;
  FlightPictureView* view_;
  QPlainTextEdit* text_;
  QPushButton* copy_;
  QPushButton* save_;
};

}  // namespace meltor
