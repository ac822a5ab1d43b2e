// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "flight_fields.h"

#include "profiles.h"

#include <algorithm>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace meltor::cli {

const std::array<InputColumnInfo, kInputColumnCount>& InputColumns() {
  static const std::array<InputColumnInfo, kInputColumnCount> columns = {{
      {InputColumn::Type, u"type"_s, u"type"_s, &FlightInput::cboTyp, u"cboTyp"_s},
      {InputColumn::Hours, u"hours"_s, u"hours"_s, &FlightInput::txtTpolChas, u"txtTpolChas"_s},
      {InputColumn::Minutes, u"minutes"_s, u"minutes"_s, &FlightInput::txtTpolMin, u"txtTpolMin"_s},
      {InputColumn::Clouds, u"clouds"_s, u"clouds"_s, &FlightInput::txtBal, u"txtBal"_s},
      {InputColumn::Base, u"base"_s, u"base"_s, &FlightInput::txtHn, u"txtHn"_s},
      {InputColumn::Top, u"top"_s, u"top"_s, &FlightInput::txtHv, u"txtHv"_s},
      {InputColumn::VisKm, u"vis_km"_s, u"vis-km"_s, &FlightInput::txtVidKm, u"txtVidKm"_s},
      {InputColumn::VisHm, u"vis_hm"_s, u"vis-hm"_s, &FlightInput::txtVidSm, u"txtVidSm"_s},
      {InputColumn::DayNight, u"day_night"_s, QString(), nullptr, u"optDSMU/optNSMU"_s},
      {InputColumn::HoodClose, u"hood_close"_s, u"hood-close"_s, &FlightInput::txtShtorkaZ,
       u"txtShtorkaZ"_s},
      {InputColumn::HoodOpen, u"hood_open"_s, u"hood-open"_s, &FlightInput::txtShtorkaO,
       u"txtShtorkaO"_s},
      {InputColumn::Height, u"height"_s, u"height"_s, &FlightInput::txtHpol, u"txtHpol"_s},
  }};
  return columns;
}

QString DefaultText(InputColumn column) {
  return column == InputColumn::Hours ? u"0"_s : QString();
}

namespace {

struct TypeAlias {
  QString latin;
  QString entry;
};

// The table suffix with a hyphen before its digits: "MiG29" is written "MiG-29".
std::vector<TypeAlias> MakeTypeAliases() {
  std::vector<TypeAlias> aliases;
  for (const AircraftProfile& p : AircraftProfiles()) {
    QString latin = QString::fromLatin1(p.suffix);
    const auto digit =
        std::find_if(latin.cbegin(), latin.cend(), [](QChar c) { return c.isDigit(); });
    if (digit != latin.cbegin() && digit != latin.cend())
      latin.insert(digit - latin.cbegin(), u'-');
    aliases.push_back({latin, QString::fromUtf16(p.entry)});
  }
  return aliases;
}

}  // namespace

QString TypeEntry(const QString& text) {
  static const std::vector<TypeAlias> aliases = MakeTypeAliases();
  for (const TypeAlias& a : aliases) {
    if (text.compare(a.latin, Qt::CaseInsensitive) == 0) return a.entry;
  }
  return text;
}

std::optional<DayNight> ParseDayNight(const QString& text) {
  const QString t = text.trimmed().toLower();
  if (t.isEmpty()) return DayNight::None;
  if (t == u"day"_s || t == u"днём"_s || t == u"днем"_s) return DayNight::Day;
  if (t == u"night"_s || t == u"ночью"_s) return DayNight::Night;
  return std::nullopt;
}

FlightTexts::FlightTexts() {
  for (const InputColumnInfo& c : InputColumns()) (*this)[c.column] = DefaultText(c.column);
}

FlightInput ToFlightInput(const FlightTexts& texts, DayNight dayNight) {
  FlightInput input;
  for (const InputColumnInfo& c : InputColumns()) {
    if (c.member) input.*c.member = texts[c.column];
  }
  input.cboTyp = TypeEntry(input.cboTyp);
  input.dayNight = dayNight;
  return input;
}

QString WarningText(const InputWarning& warning, InputNaming naming) {
  const std::array<std::pair<Field, InputColumn>, 11> fields = {{
      {Field::Typ, InputColumn::Type},
      {Field::TpolChas, InputColumn::Hours},
      {Field::TpolMin, InputColumn::Minutes},
      {Field::Bal, InputColumn::Clouds},
      {Field::Hn, InputColumn::Base},
      {Field::Hv, InputColumn::Top},
      {Field::VidKm, InputColumn::VisKm},
      {Field::VidSm, InputColumn::VisHm},
      {Field::ShtorkaZ, InputColumn::HoodClose},
      {Field::ShtorkaO, InputColumn::HoodOpen},
      {Field::Hpol, InputColumn::Height},
  }};
  const auto it = std::find_if(fields.begin(), fields.end(),
                               [&](const auto& f) { return f.first == warning.field; });
  if (it == fields.end()) return warning.message;
  const auto& all = InputColumns();
  const auto c = std::find_if(all.begin(), all.end(), [&](const InputColumnInfo& info) {
    return info.column == it->second;
  });
  const QString name = naming == InputNaming::Option ? u"--"_s + c->option : c->name;
  return name + u": "_s + warning.message;
}

}  // namespace meltor::cli
