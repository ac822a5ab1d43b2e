// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

#include "flight.h"

namespace meltor {

// The climb-time tables as the classification needs them. The tables library provides the real
// lookups on the tables file; tests provide fixed times.
class ClimbTables {
 public:
  virtual ~ClimbTables() = default;

  // Reads TabPod, TabObl, Hn, Hv, Hpol, HObl and Tpol; writes TPod (climb time to the cloud
  // base) and then TObl (time in cloud), in seconds.
  virtual void LookupCloudTimes(FlightState& state) = 0;

  // Reads TabPod, ShtorkaZ and ShtorkaO; writes TShtorka (climb time to the middle of the hood
  // band), in seconds.
  virtual void LookupShtorka(FlightState& state) = 0;
};

}  // namespace meltor
