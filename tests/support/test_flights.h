// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The flights the tests, the benchmarks and the fuzz targets start from, built in one place: an
// L-39 flight, and ways to change its fields in a row of test data. Core only, no QtTest, so the
// benchmarks and the fuzz targets link it too.

#include "errors.h"
#include "flight.h"

#include <QString>

#include <initializer_list>
#include <utility>

namespace meltor::test {

// An L-39 flight by day: 1 h 0 min, 10 tenths of cloud at 200..1000 m, visibility 3 km, flight
// height 3000 m, no hood. Adverse weather, above the cloud top: case 3c.
FlightInput L39Flight();

// The text of `field` in `flight`, the type's for Field::Typ; null for DayNight and None, which
// hold no text.
QString* FieldText(FlightInput& flight, Field field);

// The field named as in the enumeration ("Hn", "TpolMin", "Typ"), or as the window names its
// control ("txtHn", "cboTyp"). Field::None for any other name.
Field FieldNamed(const QString& name);

// `flight` with some fields' texts replaced, a {field, text} pair each.
FlightInput With(FlightInput flight, std::initializer_list<std::pair<Field, QString>> texts);

// `flight` with the changes of one row of test data applied: blank-separated "name=text", the
// name as FieldNamed takes it, the text up to the next blank ("Hn=600 VidKm=5 Hv=" leaves the
// top empty); "DayNight=day", "night" or "" for the choice. An unknown name ends the program, as
// a mistyped row must not pass unnoticed.
FlightInput Changed(FlightInput flight, const QString& changes);

}  // namespace meltor::test
