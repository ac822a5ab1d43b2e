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

// The file a picture is saved to: the name as chosen when it ends in .svg or .png (that format is
// written), otherwise the name with the extension of the chosen filter, `suffix` ("svg", "png").
QString PicturePath(const QString& chosen, const QString& suffix);

// «Разбор полёта»: the picture of the last calculation and its explanation in words. Modeless;
// it follows each new calculation while it is open, and copies or saves the picture. Escape
// closes it; Enter presses the button that has the focus.
class FlightReviewWindow : public QWidget {
  Q_OBJECT

 public:
  FlightReviewWindow();

  // Shows `outcome`, a calculation that succeeded or one that stopped.
  void ShowOutcome(const CalcOutcome& outcome);
  // The main window's fields were changed after the calculation shown: say so above the
  // picture, until the next.
  void SetStale(bool stale);
  // The size it opens at: as the picture asks, but no larger than `available` (a screen's
  // available area) leaves room for, and in its middle.
  void FitTo(const QRect& available);

 private:
  void CopyPicture();
  void SavePicture();

  std::optional<CalcOutcome> outcome_;
  FlightPictureView* view_;
  QLabel* stale_;
  QPlainTextEdit* text_;
  QPushButton* copy_;
  QPushButton* save_;
};

}  // namespace meltor
