// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "profiles.h"

namespace meltor {

const std::array<AircraftProfile, 6>& AircraftProfiles() {
  static const std::array<AircraftProfile, 6> profiles = {{
      {u"Л-39", "L39", MinimaFamily::L39, HOblRule::CloudTop},
      {u"Су-24", "Su24", MinimaFamily::General, HOblRule::LayerThickness},
      {u"Су-25", "Su25", MinimaFamily::General, HOblRule::LayerThickness},
      {u"Су-27", "Su27", MinimaFamily::General, HOblRule::LayerThickness},
      {u"МиГ-29", "MiG29", MinimaFamily::General, HOblRule::LayerThickness},
      {u"МиГ-31", "MiG31", MinimaFamily::General, HOblRule::LayerThickness},
  }};
  return profiles;
}

namespace {

// "Z_Time_Pod_" and "L39" as one text, made in one allocation: every calculation names its tables.
QString TableName(QLatin1StringView prefix, const char* suffix) {
  const QLatin1StringView end(suffix);
  QString name;
  name.reserve(prefix.size() + end.size());
  name.append(prefix).append(end);
  return name;
}

}  // namespace

QString AircraftProfile::PodTable() const {
  return TableName(QLatin1StringView("Z_Time_Pod_"), suffix);
}

QString AircraftProfile::OblTable() const {
  return TableName(QLatin1StringView("Z_Time_Obl_"), suffix);
}

QStringList AircraftTypeEntries() {
  QStringList entries;
  for (const auto& p : AircraftProfiles()) entries << p.Entry();
  return entries;
}

const AircraftProfile* FindProfile(const QString& typeText) {
  for (const auto& p : AircraftProfiles()) {
    if (typeText == p.Entry()) return &p;
  }
  return nullptr;
}

WeatherMinima MinimaFor(MinimaFamily family, DayNight dayNight) {
  switch (dayNight) {
    case DayNight::Day:
      return family == MinimaFamily::L39 ? WeatherMinima{250, 4.0f, 300, 4.5f}
                                         : WeatherMinima{400, 3.0f, 500, 4.0f};
    case DayNight::Night:
      return family == MinimaFamily::L39 ? WeatherMinima{300, 4.5f, 400, 5.0f}
                                         : WeatherMinima{500, 4.0f, 600, 5.0f};
    case DayNight::None:
      break;
  }
  return WeatherMinima{};
}

void SelectProfile(FlightState& state, const QString& typeText, DayNight dayNight) {
  const AircraftProfile* profile = FindProfile(typeText);
  if (!profile) {
    const QString message =
        typeText.isEmpty()
            ? QStringLiteral("Тип самолёта: тип не выбран. Выберите один из списка: %1.")
            : QStringLiteral("Тип самолёта: «%2» нет в списке. Выберите один из списка: %1.");
    throw CalcError(ErrorKind::UnknownType, Field::Typ,
                    typeText.isEmpty()
                        ? message.arg(AircraftTypeEntries().join(QStringLiteral(", ")))
                        : message.arg(AircraftTypeEntries().join(QStringLiteral(", ")), typeText));
  }
  state.profile = profile;
  state.TabPod = profile->PodTable();
  state.TabObl = profile->OblTable();
  state.minima = MinimaFor(profile->family, dayNight);
  state.dayNight = dayNight;
  if (profile->rule == HOblRule::CloudTop) {
    state.HObl = state.rec.Hv;
  } else {
    state.HObl = CheckedSub(state.rec.Hv, state.rec.Hn,
                            QStringLiteral("толщина облачности Нв − Нн"), Field::Hv);
  }

  const auto& m = state.minima;
  state.Explain([&] {
    const QString minima =
        dayNight == DayNight::None
            ? QStringLiteral("день или ночь не выбраны — минимумы 0")
            : QStringLiteral(
                  "%1: минимум — нижняя граница выше %2 м, видимость больше %3 км, и "
                  "нижняя граница выше %4 м или видимость больше %5 км")
                  .arg(dayNight == DayNight::Day ? QStringLiteral("днём") : QStringLiteral("ночью"))
                  .arg(m.HnMin1)
                  .arg(double{m.VidMin1})
                  .arg(m.HnMin2)
                  .arg(double{m.VidMin2});
    return QStringLiteral("%1, %2 [таблицы %3 и %4].")
        .arg(typeText, minima, state.TabPod, state.TabObl);
  });
  // The key as it was worked, with the cloud top the reading put in for an empty one.
  state.Explain([&] {
    const FlightRecord& r = state.rec;
    const QString top =
        state.topReplaced ? QStringLiteral(" (верхняя граница не задана — принята %1 м)").arg(r.Hv)
                          : QString();
    if (profile->rule == HOblRule::CloudTop) {
      return QStringLiteral("Таблица в облаках — по верхней границе облаков: %1 м%2.")
          .arg(QString::number(state.HObl), top);
    }
    const QString base = r.Hn < 0 ? QStringLiteral("(%1)").arg(r.Hn) : QString::number(r.Hn);
    return QStringLiteral("Таблица в облаках — по толщине облаков: %1 − %2 = %3 м%4.")
        .arg(QString::number(r.Hv), base, QString::number(state.HObl), top);
  });
}

}  // namespace meltor
