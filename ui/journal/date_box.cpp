// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "date_box.h"

using namespace Qt::StringLiterals;

namespace meltor {

DateBox::DateBox(const QDate& date, QWidget* parent) : QDateEdit(date, parent) {
  setDisplayFormat(u"dd.MM.yyyy"_s);
  setDateRange(QDate(1900, 1, 1), QDate(9999, 12, 31));
  setCalendarPopup(true);
}

bool DateBox::focusNextPrevChild(bool next) {
  // QDateTimeEdit would take Tab to its next part; here it goes to the next field.
  return QWidget::focusNextPrevChild(next);
}

}  // namespace meltor
