// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The state of one calculation: the flight as read from the input fields, the times derived from
// it, and what the aircraft profile sets. A calculation starts from a fresh FlightState, so it
// depends only on its own inputs and the tables.

#include "flight_case.h"
#include "numbers.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace meltor {

// The inputs of one flight. Heights in metres, cloud in tenths, visibility in km, Tpol in
// seconds until RoundToMinutes and in minutes after it.
struct FlightRecord {
  Int16 Hpol = 0;
  Int16 Tpol = 0;
  Int16 Bal = 0;
  Int16 Hn = 0;
  Int16 Hv = 0;
  float Vid = 0.0f;
  Int16 ShtorkaZ = 0;
  Int16 ShtorkaO = 0;
};

// The computed times: seconds until RoundToMinutes, whole minutes after it.
struct TimeBreakdown {
  Int16 TPod = 0;      // below cloud: climb time from the ground to the cloud base
  Int16 TObl = 0;      // in cloud
  Int16 TZaObl = 0;    // above cloud
  Int16 TShtorka = 0;  // climb time to the middle of the hood band
  Int16 TZakKab = 0;   // closed cockpit (under the hood)
  Int16 TOgrVid = 0;   // limited visibility
  Int16 TSMU = 0;      // total in adverse weather
};

struct WeatherMinima {
  Int16 HnMin1 = 0;
  float VidMin1 = 0.0f;
  Int16 HnMin2 = 0;
  float VidMin2 = 0.0f;
};

enum class DayNight { None, Day, Night };

// The five result labels, in display order.
enum class ResultLabel { ZakKab, Obl, ZaObl, OgrVid, SMU };
inline constexpr int kResultCount = 5;

// The texts of the input controls, exactly as typed, and the two choices.
struct FlightInput {
  QString txtHpol;
  QString txtTpolChas;
  QString txtTpolMin;
  QString txtBal;
  QString txtHn;
  QString txtHv;
  QString txtVidKm;
  QString txtVidSm;
  QString txtShtorkaZ;
  QString txtShtorkaO;
  QString cboTyp;  // the text of the type field
  DayNight dayNight = DayNight::None;

  bool operator==(const FlightInput&) const = default;
};

// Collects the path of a calculation in words, as it runs.
class Explanation {
 public:
  void Add(const QString& line) { lines_.append(line); }
  const QStringList& lines() const { return lines_; }

 private:
  QStringList lines_;
};

// Something the pilot is told beside the results, which stand as calculated: a field of the
// leading-number kind whose text was read only in part or held no number, a value no flight has
// (a negative flight time, 12 tenths of cloud), or a result that came out negative.
struct InputWarning {
  Field field = Field::None;          // the field it is about; None for a result
  std::optional<ResultLabel> result;  // the result it is about, if any
  QString typed;                      // the field's text, surrounding blanks aside
  double read = 0;                    // the number read from it
  QString message;  // for the pilot: the field or result, what it holds and why that is wrong
};

struct AircraftProfile;

struct FlightState {
  FlightRecord rec;
  bool topReplaced = false;  // the cloud top was empty or 0: rec.Hv is the 12000 m put in for it
  TimeBreakdown t;
  const AircraftProfile* profile = nullptr;  // the chosen type; null until SelectProfile
  QString TabPod;
  QString TabObl;
  Int16 HObl = 0;
  WeatherMinima minima;
  DayNight dayNight = DayNight::None;        // whose minima the profile chose
  FlightCase flightCase = FlightCase::None;  // the classification case
  Explanation* explain = nullptr;            // null when nobody asked for the path
  QList<InputWarning> warnings;              // in the order of the fields in the window

  // Adds the line `make()` returns; the text is only built when somebody asked for the path.
  template <typename MakeLine>
  void Explain(MakeLine&& make) {
    if (explain) explain->Add(make());
  }
};

}  // namespace meltor
