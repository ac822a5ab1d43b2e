// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "readiness.h"

#include <QStringList>

#include <functional>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

QString Names(const QList<Field>& fields, const std::function<QString(Field)>& name,
              const QString& separator = QStringLiteral(", ")) {
  QStringList names;
  for (const Field f : fields) names << name(f);
  return names.join(separator);
}

}  // namespace

Readiness::Readiness(const FlightInput& in) {
  const auto need = [](QList<Field>& missing, bool filled, Field field) {
    if (!filled) missing << field;
  };
  for (QList<Field>* set : {&weatherMissing_, &hoodMissing_}) {
    need(*set, !in.cboTyp.isEmpty(), Field::Typ);
    need(*set, !in.txtTpolChas.isEmpty(), Field::TpolChas);
    need(*set, !in.txtTpolMin.isEmpty(), Field::TpolMin);
  }
  need(weatherMissing_, !in.txtBal.isEmpty(), Field::Bal);
  need(weatherMissing_, !in.txtHn.isEmpty(), Field::Hn);
  need(weatherMissing_, !in.txtVidKm.isEmpty(), Field::VidKm);
  need(weatherMissing_, in.dayNight != DayNight::None, Field::DayNight);
  need(weatherMissing_, !in.txtHpol.isEmpty(), Field::Hpol);
  need(hoodMissing_, !in.txtShtorkaZ.isEmpty(), Field::ShtorkaZ);
  need(hoodMissing_, !in.txtShtorkaO.isEmpty(), Field::ShtorkaO);
}

QString Readiness::ToolTip(bool enabled) const {
  if (enabled) return {};
  QString tip =
      u"«Считать» станет доступна, когда заполнены поля расчёта по погоде или по "
      u"шторке."_s;
  if (weather() || hood()) {
    return tip + QLatin1Char('\n') +
           u"Они заполнены: кнопка включится при следующей правке поля или выборе «днём» или "
           u"«ночью»."_s;
  }
  const auto caption = [](Field f) {
    return f == Field::DayNight ? u"«днём» или «ночью»"_s : FieldCaption(f);
  };
  // The captions hold commas of their own.
  const QString separator = QStringLiteral("; ");
  tip += QLatin1Char('\n') + u"Для расчёта по погоде не заполнены: %1."_s.arg(
                                 Names(weatherMissing_, caption, separator));
  tip += QLatin1Char('\n') +
         u"Для расчёта по шторке не заполнены: %1."_s.arg(Names(hoodMissing_, caption, separator));
  return tip;
}

QString Readiness::Status(bool enabled) const {
  if (enabled) return {};
  if (weather() || hood()) return u"Поля заполнены: измените любое или выберите «днём»/«ночью»."_s;
  const auto name = [](Field f) {
    switch (f) {
      case Field::Typ:
        return u"тип"_s;
      case Field::TpolChas:
        return u"часы"_s;
      case Field::TpolMin:
        return u"минуты"_s;
      case Field::Bal:
        return u"баллы"_s;
      case Field::Hn:
        return u"Нн"_s;
      case Field::VidKm:
        return u"видимость"_s;
      case Field::DayNight:
        return u"днём/ночью"_s;
      case Field::Hpol:
        return u"высота п-та"_s;
      case Field::ShtorkaZ:
        return u"закрытие шторки"_s;
      case Field::ShtorkaO:
        return u"открытие шторки"_s;
      default:
        break;
    }
    return FieldCaption(f);
  };
  // What both sets lack, then what the weather set lacks besides, and in brackets the hood set's
  // other way; when either set lacks nothing more than both do, that is all there is to fill.
  QList<Field> common;
  QList<Field> weatherOnly;
  QList<Field> hoodOnly;
  for (const Field f : weatherMissing_) (hoodMissing_.contains(f) ? common : weatherOnly) << f;
  for (const Field f : hoodMissing_) {
    if (!common.contains(f)) hoodOnly << f;
  }
  if (weatherOnly.isEmpty() || hoodOnly.isEmpty()) {
    return u"Не заполнены: %1."_s.arg(Names(common, name));
  }
  const QString hood = hoodOnly.size() == 2 ? u"высоты шторки"_s : Names(hoodOnly, name);
  return u"Не заполнены: %1 (или %2)."_s.arg(Names(common + weatherOnly, name), hood);
}

}  // namespace meltor
