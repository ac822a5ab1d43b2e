// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "climb_tables.h"

#include "interpolation.h"
#include "profiles.h"
#include "tables_file.h"

#include <utility>

namespace meltor {

// One lookup's access to the file: in Fresh mode its own connection, opened now and closed when
// the lookup ends; in Snapshot mode the views the run read at its start.
class FileClimbTables::Session {
 public:
  explicit Session(FileClimbTables& owner) : owner_(owner) {
    if (owner_.mode_ == Mode::Fresh) {
      file_ = std::make_unique<TablesFile>(owner_.path_, owner_.searched_);
      return;
    }
    if (!owner_.snapshotTaken_) owner_.TakeSnapshot();
    if (owner_.openError_) throw *owner_.openError_;
  }

  const Table& Read(const QString& name, TableKind kind) {
    if (owner_.mode_ == Mode::Fresh) {
      return read_.emplace(name, file_->ReadView(name, kind)).first->second;
    }
    const auto it = owner_.tables_.find(name);
    if (it == owner_.tables_.end()) throw owner_.NotInSnapshot(name);
    if (const auto* error = std::get_if<CalcError>(&it->second)) throw *error;
    return std::get<Table>(it->second);
  }

  void Require(const QString& name) {
    if (owner_.mode_ == Mode::Fresh) {
      file_->RequireView(name);
      return;
    }
    const auto it = owner_.views_.find(name);
    if (it == owner_.views_.end()) throw owner_.NotInSnapshot(name);
    if (it->second) throw *it->second;
  }

 private:
  FileClimbTables& owner_;
  std::unique_ptr<TablesFile> file_;
  std::map<QString, Table> read_;
};

// Every view a flight of any type may need, read in one read transaction of one open: the run is
// computed from one state of the file, and the file is closed before the first flight, so a file
// overwritten or truncated during the run does not matter to it.
void FileClimbTables::TakeSnapshot() {
  snapshotTaken_ = true;
  std::unique_ptr<TablesFile> file;
  try {
    file = std::make_unique<TablesFile>(path_, searched_);
  } catch (const CalcError& e) {
    openError_ = e;
    return;
  }
  for (const AircraftProfile& profile : AircraftProfiles()) {
    const QString suffix = QString::fromLatin1(profile.suffix);
    for (const auto& [name, kind] :
         {std::pair{QStringLiteral("Z_Time_Pod_") + suffix, TableKind::Climb},
          std::pair{QStringLiteral("Z_Time_Obl_") + suffix, TableKind::Grid}}) {
      try {
        file->RequireView(name);
        views_.emplace(name, std::nullopt);
      } catch (const CalcError& e) {
        views_.emplace(name, e);
      }
      try {
        tables_.emplace(name, file->ReadView(name, kind));
      } catch (const CalcError& e) {
        tables_.emplace(name, e);
      }
    }
  }
}

CalcError FileClimbTables::NotInSnapshot(const QString& name) const {
  return CalcError(
      ErrorKind::Table, Field::None,
      QStringLiteral("В файле таблиц %1 нет запроса (представления) «%2».").arg(path_, name));
}

FileClimbTables::FileClimbTables(QString path, QStringList searched, Mode mode)
    : path_(std::move(path)), searched_(std::move(searched)), mode_(mode) {}

FileClimbTables::~FileClimbTables() = default;

namespace {

void ExplainOneKey(FlightState& s, const QString& what, const QString& table, Int16 key,
                   const OneKeyResult& r) {
  if (!s.explain) return;
  QString how;
  switch (r.how) {
    case OneKeyResult::Exact:
      how = QStringLiteral("найдено в таблице точно");
      break;
    case OneKeyResult::NeighbourRow:
      how = QStringLiteral("взято из строки, высота которой округляется до ключа");
      break;
    case OneKeyResult::Between:
      how = QStringLiteral(
                "между строками %1 м (%2 с) и %3 м (%4 с): (%5 − %1) / (%3 − %1) × (%4 − %2) "
                "+ %2 = %6, отброшена дробная часть")
                .arg(r.k0)
                .arg(r.t0)
                .arg(r.k1)
                .arg(r.t1)
                .arg(key)
                .arg(r.raw, 0, 'g', 10);
      break;
    case OneKeyResult::AboveTop:
      how = QStringLiteral(
                "выше верха таблицы — продолжение по последней строке %1 м (%2 с) к точке "
                "(0, 0): %3, отброшена дробная часть")
                .arg(r.k0)
                .arg(r.t0)
                .arg(r.raw, 0, 'g', 10);
      break;
    case OneKeyResult::BelowBottom:
      how = QStringLiteral(
                "ниже начала таблицы — по прямой от (0, 0) к первой строке %1 м (%2 с): %3, "
                "отброшена дробная часть")
                .arg(r.k1)
                .arg(r.t1)
                .arg(r.raw, 0, 'g', 10);
      break;
  }
  s.Explain([&] {
    return QStringLiteral("%1: таблица «%2», высота %3 м — %4 с, %5.")
        .arg(what, table)
        .arg(key)
        .arg(r.value)
        .arg(how);
  });
}

void ExplainGrid(FlightState& s, const GridResult& r) {
  if (!s.explain) return;
  QString how;
  if (r.columnFound && r.rowFound) {
    how = QStringLiteral("найдено в таблице точно");
  } else if (r.rowFound) {
    how = QStringLiteral("по строке Нн между ключами %1 и %2 м, округлено").arg(r.h0).arg(r.h1);
  } else {
    how =
        QStringLiteral(
            "%1между нижними границами %2 м (%3 с) и %4 м (%5 с): %6, отброшена дробная часть")
            .arg(r.columnFound ? QString()
                               : QStringLiteral("по ключам %1 и %2 м, затем ").arg(r.h0).arg(r.h1))
            .arg(r.a0)
            .arg(r.v0, 0, 'g', 10)
            .arg(r.a1)
            .arg(r.v1, 0, 'g', 10)
            .arg(r.raw, 0, 'g', 10);
  }
  s.Explain([&] {
    return QStringLiteral("Время в облаках: таблица «%1», Нн %2 м, ключ %3 м — %4 с, %5.")
        .arg(s.TabObl)
        .arg(s.rec.Hn)
        .arg(s.HObl)
        .arg(r.value)
        .arg(how);
  });
}

}  // namespace

void FileClimbTables::LookupCloudTimes(FlightState& s) {
  Session session(*this);
  const Table& pod = session.Read(s.TabPod, TableKind::Climb);
  const OneKeyResult below = InterpolateOneKey(pod, s.rec.Hn, Field::Hn);
  s.t.TPod = below.value;
  ExplainOneKey(s, QStringLiteral("Время под облаками (набор до Нн)"), s.TabPod, s.rec.Hn, below);

  // The in-cloud view is opened for every flight that meets cloud, but read only when the flight
  // went above the cloud top.
  session.Require(s.TabObl);
  if (!(s.rec.Hpol > s.rec.Hv)) {
    s.t.TObl = CheckedSub(s.rec.Tpol, s.t.TPod, QStringLiteral("в обл."));
    s.Explain([&] {
      return QStringLiteral(
                 "Время в облаках: полёт не выше верхней границы (Hpol %1 ≤ Нв %2) — "
                 "Tpol − TPod = %3 с.")
          .arg(s.rec.Hpol)
          .arg(s.rec.Hv)
          .arg(s.t.TObl);
    });
    return;
  }
  const Table& grid = session.Read(s.TabObl, TableKind::Grid);
  const GridResult in = InterpolateGrid(grid, s.rec.Hn, s.HObl);
  s.t.TObl = in.value;
  ExplainGrid(s, in);
}

void FileClimbTables::LookupShtorka(FlightState& s) {
  const Int16 key = HoodKey(s.rec.ShtorkaZ, s.rec.ShtorkaO);  // before anything is opened
  Session session(*this);
  const Table& pod = session.Read(s.TabPod, TableKind::Climb);
  const OneKeyResult r = InterpolateOneKey(pod, key, Field::ShtorkaZ);
  s.t.TShtorka = r.value;
  ExplainOneKey(s,
                QStringLiteral("Время до середины участка со шторкой (%1 и %2 м)")
                    .arg(s.rec.ShtorkaZ)
                    .arg(s.rec.ShtorkaO),
                s.TabPod, key, r);
}

}  // namespace meltor
