// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

#include "lookups.h"

#include <QStringList>

namespace meltor::test {

// Lookups that return fixed times and record what was asked of them.
class FakeTables : public ClimbTables {
 public:
  Int16 TPod = 0;
  Int16 TObl = 0;
  Int16 TShtorka = 0;
  QStringList calls;  // "cloud" / "hood", in order
  QString lastTabPod;
  QString lastTabObl;
  Int16 lastHObl = 0;
  QString cloudFailure;  // when set, the in-cloud lookup stops with this message

  void LookupCloudTimes(FlightState& s) override {
    calls << QStringLiteral("cloud");
    if (!cloudFailure.isEmpty()) throw CalcError(ErrorKind::Table, Field::None, cloudFailure);
    lastTabPod = s.TabPod;
    lastTabObl = s.TabObl;
    lastHObl = s.HObl;
    s.t.TPod = TPod;
    s.t.TObl = TObl;
  }
  void LookupShtorka(FlightState& s) override {
    calls << QStringLiteral("hood");
    lastTabPod = s.TabPod;
    s.t.TShtorka = TShtorka;
  }
};

}  // namespace meltor::test
