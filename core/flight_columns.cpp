// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "flight_columns.h"

using namespace Qt::StringLiterals;

namespace meltor {

const std::array<InputColumnInfo, kInputColumnCount>& InputColumns() {
  static const std::array<InputColumnInfo, kInputColumnCount> columns = {{
      {InputColumn::Type, u"type"_s, &FlightInput::cboTyp, Field::Typ},
      {InputColumn::Hours, u"hours"_s, &FlightInput::txtTpolChas, Field::TpolChas},
      {InputColumn::Minutes, u"minutes"_s, &FlightInput::txtTpolMin, Field::TpolMin},
      {InputColumn::Clouds, u"clouds"_s, &FlightInput::txtBal, Field::Bal},
      {InputColumn::Base, u"base"_s, &FlightInput::txtHn, Field::Hn},
      {InputColumn::Top, u"top"_s, &FlightInput::txtHv, Field::Hv},
      {InputColumn::VisKm, u"vis_km"_s, &FlightInput::txtVidKm, Field::VidKm},
      {InputColumn::VisHm, u"vis_hm"_s, &FlightInput::txtVidSm, Field::VidSm},
      {InputColumn::DayNight, u"day_night"_s, nullptr, Field::DayNight},
      {InputColumn::HoodClose, u"hood_close"_s, &FlightInput::txtShtorkaZ, Field::ShtorkaZ},
      {InputColumn::HoodOpen, u"hood_open"_s, &FlightInput::txtShtorkaO, Field::ShtorkaO},
      {InputColumn::Height, u"height"_s, &FlightInput::txtHpol, Field::Hpol},
  }};
  return columns;
}

const InputColumnInfo& InputColumnOf(InputColumn column) {
  return InputColumns()[static_cast<std::size_t>(column)];
}

const std::array<QString, kResultCount>& ResultColumns() {
  static const std::array<QString, kResultCount> columns = {u"zak_kab"_s, u"obl"_s, u"za_obl"_s,
                                                            u"ogr_vid"_s, u"smu"_s};
  return columns;
}

const std::array<QString, kResultCount>& MinuteColumns() {
  static const std::array<QString, kResultCount> columns = [] {
    std::array<QString, kResultCount> c;
    for (int i = 0; i < kResultCount; ++i) c[i] = ResultColumns()[i] + u"_min"_s;
    return c;
  }();
  return columns;
}

QString DayNightColumnText(DayNight dayNight) {
  switch (dayNight) {
    case DayNight::Day:
      return u"day"_s;
    case DayNight::Night:
      return u"night"_s;
    case DayNight::None:
      break;
  }
  return {};
}

std::optional<DayNight> DayNightFromColumnText(const QString& text) {
  if (text.isEmpty()) return DayNight::None;
  if (text == u"day"_s) return DayNight::Day;
  if (text == u"night"_s) return DayNight::Night;
  return std::nullopt;
}

QString InputColumnText(const FlightInput& input, const InputColumnInfo& column) {
  return column.member ? input.*column.member : DayNightColumnText(input.dayNight);
}

}  // namespace meltor
