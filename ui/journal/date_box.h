// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// A date typed as 07.03.2024, with a calendar to pick it from (Alt+Down or F4), between 1900 and
// 9999 as the journal takes them. Tab leaves the box as it leaves every other field; the day,
// month and year are moved between with the arrow keys or by typing on (a full part, or the
// full stop, goes to the next).

#include <QDateEdit>

namespace meltor {

class DateBox final : public QDateEdit {
  Q_OBJECT

 public:
  DateBox(const QDate& date, QWidget* parent);

 protected:
  bool focusNextPrevChild(bool next) override;
};

}  // namespace meltor
