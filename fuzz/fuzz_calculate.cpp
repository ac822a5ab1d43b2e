// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// Feeds arbitrary field texts, type text and day/night choice to the calculation on the shipped
// tables. Every input must end in results or a clear error.
#include "calculation.h"
#include "climb_tables.h"
#include "profiles.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <cstdlib>

using namespace meltor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FileClimbTables tables(QStringLiteral(MELTOR_SHIPPED_TABLES), {},
                                FileClimbTables::Mode::Snapshot);
  static const QStringList types = AircraftTypeEntries();
  if (size < 2) return 0;
  // Byte 0: type (0..5 a list entry, otherwise the text of the last part) and day/night.
  // Byte 1: locale. The rest: eleven texts separated by newlines.
  const int typeChoice = data[0] % 8;
  const auto dayNight = static_cast<DayNight>((data[0] >> 4) % 3);
  const QLocale locale = (data[1] & 1) ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c();
  const QList<QByteArray> parts =
      QByteArray(reinterpret_cast<const char*>(data) + 2, static_cast<qsizetype>(size - 2))
          .split('\n');
  auto part = [&](int i) { return i < parts.size() ? QString::fromUtf8(parts[i]) : QString(); };

  FlightInput in;
  in.txtHpol = part(0);
  in.txtTpolChas = part(1);
  in.txtTpolMin = part(2);
  in.txtBal = part(3);
  in.txtHn = part(4);
  in.txtHv = part(5);
  in.txtVidKm = part(6);
  in.txtVidSm = part(7);
  in.txtShtorkaZ = part(8);
  in.txtShtorkaO = part(9);
  in.cboTyp = typeChoice < 6 ? types[typeChoice] : part(10);
  in.dayNight = dayNight;

  const CalcOutcome out = CalculateFlight(in, tables, locale, (data[1] & 2) != 0);
  if (out.ok()) {
    // The total is the sum of its three categories, and each label is "-" or a time.
    if (out.minutes.TSMU != out.minutes.TOgrVid + out.minutes.TObl + out.minutes.TZaObl)
      std::abort();
    for (const QString& t : out.labels.text) {
      if (t.isEmpty()) std::abort();
    }
  } else {
    if (out.error->message().isEmpty()) std::abort();
    for (const QString& t : out.labels.text) {
      if (t != QStringLiteral("-")) std::abort();
    }
  }
  return 0;
}
