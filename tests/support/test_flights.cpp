// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "test_flights.h"

#include <QStringList>
#include <QtGlobal>

#include <array>

using namespace Qt::StringLiterals;

namespace meltor::test {

namespace {

struct NamedField {
  Field field;
  const char16_t* name;     // as in the enumeration
  const char16_t* control;  // as the window names the control
};

constexpr std::array<NamedField, 12> kNames = {{
    {Field::Typ, u"Typ", u"cboTyp"},
    {Field::TpolChas, u"TpolChas", u"txtTpolChas"},
    {Field::TpolMin, u"TpolMin", u"txtTpolMin"},
    {Field::Bal, u"Bal", u"txtBal"},
    {Field::Hn, u"Hn", u"txtHn"},
    {Field::Hv, u"Hv", u"txtHv"},
    {Field::VidKm, u"VidKm", u"txtVidKm"},
    {Field::VidSm, u"VidSm", u"txtVidSm"},
    {Field::DayNight, u"DayNight", u"optDSMU"},
    {Field::ShtorkaZ, u"ShtorkaZ", u"txtShtorkaZ"},
    {Field::ShtorkaO, u"ShtorkaO", u"txtShtorkaO"},
    {Field::Hpol, u"Hpol", u"txtHpol"},
}};

}  // namespace

FlightInput L39Flight() {
  FlightInput in = With({}, {{Field::Typ, u"Л-39"_s},
                             {Field::TpolChas, u"1"_s},
                             {Field::TpolMin, u"0"_s},
                             {Field::Bal, u"10"_s},
                             {Field::Hn, u"200"_s},
                             {Field::Hv, u"1000"_s},
                             {Field::VidKm, u"3"_s},
                             {Field::Hpol, u"3000"_s}});
  in.dayNight = DayNight::Day;
  return in;
}

QString* FieldText(FlightInput& in, Field field) {
  switch (field) {
    case Field::Typ:
      return &in.cboTyp;
    case Field::TpolChas:
      return &in.txtTpolChas;
    case Field::TpolMin:
      return &in.txtTpolMin;
    case Field::Bal:
      return &in.txtBal;
    case Field::Hn:
      return &in.txtHn;
    case Field::Hv:
      return &in.txtHv;
    case Field::VidKm:
      return &in.txtVidKm;
    case Field::VidSm:
      return &in.txtVidSm;
    case Field::ShtorkaZ:
      return &in.txtShtorkaZ;
    case Field::ShtorkaO:
      return &in.txtShtorkaO;
    case Field::Hpol:
      return &in.txtHpol;
    case Field::DayNight:
    case Field::None:
      break;
  }
  return nullptr;
}

Field FieldNamed(const QString& name) {
  for (const NamedField& n : kNames) {
    if (name == QStringView(n.name) || name == QStringView(n.control)) return n.field;
  }
  return Field::None;
}

FlightInput With(FlightInput flight, std::initializer_list<std::pair<Field, QString>> texts) {
  for (const auto& [field, text] : texts) {
    QString* box = FieldText(flight, field);
    if (!box) qFatal("With(): field %d holds no text", static_cast<int>(field));
    *box = text;
  }
  return flight;
}

FlightInput Changed(FlightInput flight, const QString& changes) {
  for (const QString& change : changes.split(u' ', Qt::SkipEmptyParts)) {
    const QString name = change.section(u'=', 0, 0);
    const QString text = change.section(u'=', 1);
    const Field field = FieldNamed(name);
    if (field == Field::DayNight && (text == u"day" || text == u"night" || text.isEmpty())) {
      flight.dayNight = text == u"day"     ? DayNight::Day
                        : text == u"night" ? DayNight::Night
                                           : DayNight::None;
      continue;
    }
    QString* box = FieldText(flight, field);
    if (!box || !change.contains(u'='))
      qFatal("Changed(): «%s» changes no field", qPrintable(change));
    *box = text;
  }
  return flight;
}

}  // namespace meltor::test
