// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "errors.h"

namespace meltor {

QString FieldCaption(Field field) {
  switch (field) {
    case Field::Typ:
      return QStringLiteral("Тип самолёта");
    case Field::TpolChas:
      return QStringLiteral("Время п-та, ч");
    case Field::TpolMin:
      return QStringLiteral("Время п-та, мин");
    case Field::Bal:
      return QStringLiteral("Облачность, баллов");
    case Field::Hn:
      return QStringLiteral("Облачность, Нн, м");
    case Field::Hv:
      return QStringLiteral("Облачность, Нв, м");
    case Field::VidKm:
      return QStringLiteral("Видимость, км");
    case Field::VidSm:
      return QStringLiteral("Видимость, сотни м (после запятой)");
    case Field::DayNight:
      return QStringLiteral("Полёты днём/ночью");
    case Field::ShtorkaZ:
      return QStringLiteral("Шторка, высота закрытия, м");
    case Field::ShtorkaO:
      return QStringLiteral("Шторка, высота открытия, м");
    case Field::Hpol:
      return QStringLiteral("Высота п-та, м");
    case Field::None:
      break;
  }
  return {};
}

CalcError::CalcError(ErrorKind kind, Field field, QString message)
    : kind_(kind), field_(field), message_(std::move(message)), utf8_(message_.toStdString()) {}

}  // namespace meltor
