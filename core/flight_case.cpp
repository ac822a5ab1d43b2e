// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "flight_case.h"

using namespace Qt::StringLiterals;

namespace meltor {

CaseGroup GroupOf(FlightCase c) {
  switch (c) {
    case FlightCase::Case1a:
    case FlightCase::Case1b:
    case FlightCase::Case1c:
      return CaseGroup::FewClouds;
    case FlightCase::Case2a:
    case FlightCase::Case2b:
    case FlightCase::Case2c:
    case FlightCase::Case2d:
      return CaseGroup::BelowCloudBase;
    case FlightCase::Case3a:
    case FlightCase::Case3b:
    case FlightCase::Case3c:
    case FlightCase::Case3d:
    case FlightCase::Case3e:
    case FlightCase::Case3f:
      return CaseGroup::ReachesCloudBase;
    case FlightCase::None:
      break;
  }
  return CaseGroup::None;
}

bool UsesHood(FlightCase c) {
  switch (c) {
    case FlightCase::Case1b:
    case FlightCase::Case2a:
    case FlightCase::Case2c:
    case FlightCase::Case3a:
    case FlightCase::Case3b:
    case FlightCase::Case3d:
    case FlightCase::Case3e:
      return true;
    default:
      return false;
  }
}

bool BelowMinima(FlightCase c) {
  switch (c) {
    case FlightCase::Case1a:
    case FlightCase::Case2a:
    case FlightCase::Case2b:
    case FlightCase::Case3a:
    case FlightCase::Case3b:
    case FlightCase::Case3c:
      return true;
    default:
      return false;
  }
}

bool HoodAboveCloudBase(FlightCase c) {
  return c == FlightCase::Case3a || c == FlightCase::Case3d;
}

bool HoodLessCloud(FlightCase c) {
  return c == FlightCase::Case3b || c == FlightCase::Case3e;
}

QString CaseText(FlightCase c) {
  if (c == FlightCase::None) return {};
  // The cases run 1a..1c, 2a..2d, 3a..3f in the order of the enumeration.
  static constexpr char kNames[][3] = {"1a", "1b", "1c", "2a", "2b", "2c", "2d",
                                       "3a", "3b", "3c", "3d", "3e", "3f"};
  return QString::fromLatin1(kNames[static_cast<int>(c) - 1]);
}

QString CaseWords(FlightCase c) {
  QString where;
  switch (GroupOf(c)) {
    case CaseGroup::None:
      return {};
    case CaseGroup::FewClouds:
      where = u"облачность < 8 баллов, учитывается только видимость"_s;
      break;
    case CaseGroup::BelowCloudBase:
      where = u"облачность ≥ 8 баллов, полёт ниже нижней границы"_s;
      break;
    case CaseGroup::ReachesCloudBase:
      where = u"облачность ≥ 8 баллов, полёт достиг нижней границы"_s;
      break;
  }
  // The calculation compares climb times to the middle of the hood band, not the closing height.
  QString hood = UsesHood(c) ? u"шторка"_s : u"без шторки"_s;
  if (HoodAboveCloudBase(c)) hood = u"середина участка под шторкой выше нижней границы"_s;
  if (HoodLessCloud(c)) hood = u"середина участка под шторкой не выше нижней границы"_s;
  if (c == FlightCase::Case1a) hood = u"шторка не учитывается"_s;
  return u"Случай %1: %2; %3; %4"_s.arg(
      CaseText(c), where, BelowMinima(c) ? u"ниже минимума"_s : u"в пределах минимума"_s, hood);
}

}  // namespace meltor
