// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "climb_tables.h"

#include "interpolation.h"
#include "profiles.h"
#include "results.h"
#include "tables_file.h"

#include <cmath>
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
      file_->RunView(name);
      return;
    }
    const auto it = owner_.views_.find(name);
    if (it == owner_.views_.end()) throw owner_.NotInSnapshot(name);
    if (it->second) throw *it->second;
    // The snapshot ran every view to its end: one that exists but cannot run failed there.
    const auto read = owner_.tables_.find(name);
    if (read == owner_.tables_.end()) throw owner_.NotInSnapshot(name);
    if (const auto* error = std::get_if<CalcError>(&read->second)) throw *error;
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
    for (const auto& [name, kind] : {std::pair{profile.PodTable(), TableKind::Climb},
                                     std::pair{profile.OblTable(), TableKind::Grid}}) {
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

QString Num(double v) {
  return QString::number(v, 'g', 10);
}

// How a one-key lookup found its time, for whoever keeps the tables.
QString OneKeyHow(const OneKeyResult& r) {
  switch (r.how) {
    case OneKeyResult::Exact:
      return QStringLiteral("по таблице");
    case OneKeyResult::NeighbourRow:
      return QStringLiteral("по строке, высота которой округляется до ключа, %1 с").arg(Num(r.raw));
    case OneKeyResult::Between:
      return QStringLiteral("между строками %1 м (%2 с) и %3 м (%4 с): %5 с")
          .arg(Num(r.k0), Num(r.t0), Num(r.k1), Num(r.t1), Num(r.raw));
    case OneKeyResult::AboveTop:
      return QStringLiteral("выше конца таблицы — по прямой от нуля через строку %1 м (%2 с): %3 с")
          .arg(Num(r.k0), Num(r.t0), Num(r.raw));
    case OneKeyResult::BelowBottom:
      return QStringLiteral("ниже начала таблицы — по прямой от нуля к строке %1 м (%2 с): %3 с")
          .arg(Num(r.k1), Num(r.t1), Num(r.raw));
  }
  return {};
}

void ExplainOneKey(FlightState& s, const QString& what, const QString& table,
                   const OneKeyResult& r) {
  s.Explain([&] {
    return QStringLiteral("%1: %2 [%3: %4%5].")
        .arg(what, ExplainedTime(r.value), table, OneKeyHow(r),
             r.how == OneKeyResult::Exact || r.raw == r.value
                 ? QString()
                 : QStringLiteral(", дробная часть отброшена"));
  });
}

void ExplainGrid(FlightState& s, const GridResult& r) {
  s.Explain([&] {
    QString how;
    const QString columns = QStringLiteral("по ключам %1 и %2 м").arg(Num(r.h0), Num(r.h1));
    if (r.rowFound) {
      how = r.columnFound ? QStringLiteral("по таблице") : columns;
      if (r.raw != r.value) how += QStringLiteral(": %1 с").arg(Num(r.raw));
    } else {
      how = QStringLiteral("%1между нижними границами %2 м (%3 с) и %4 м (%5 с): %6 с")
                .arg(r.columnFound ? QString() : columns + QStringLiteral(", затем "))
                .arg(Num(r.a0), Num(r.v0), Num(r.a1), Num(r.v1), Num(r.raw));
    }
    if (r.raw != r.value) how += QStringLiteral(", дробная часть отброшена");
    // The key is what the profile's rule made of the heights, whatever it came to.
    const QString key = !s.profile ? QStringLiteral("ключе %1 м").arg(s.HObl)
                        : s.profile->rule == HOblRule::CloudTop
                            ? QStringLiteral("верхней границе %1 м").arg(s.HObl)
                            : QStringLiteral("толщине облаков %1 м").arg(s.HObl);
    return QStringLiteral("В облаках при нижней границе %1 м и %2: %3 [%4: %5].")
        .arg(s.rec.Hn)
        .arg(key, ExplainedTime(r.value), s.TabObl, how);
  });
}

}  // namespace

void FileClimbTables::LookupCloudTimes(FlightState& s) {
  Session session(*this);
  const Table& pod = session.Read(s.TabPod, TableKind::Climb);
  const OneKeyResult below = InterpolateOneKey(pod, s.rec.Hn, Field::Hn);
  s.t.TPod = below.value;
  ExplainOneKey(s, QStringLiteral("Набор до нижней границы облаков %1 м").arg(s.rec.Hn), s.TabPod,
                below);

  // The in-cloud view is run for every flight that meets cloud, but read only when the flight
  // went above the cloud top; reading runs it too, with the same message when it cannot run.
  if (!(s.rec.Hpol > s.rec.Hv)) {
    session.Require(s.TabObl);
    s.t.TObl = CheckedSub(s.rec.Tpol, s.t.TPod, QStringLiteral("в обл."));
    s.Explain([&] {
      return QStringLiteral(
                 "Полёт не выше верхней границы облаков %1 м: в облаках весь полёт после набора "
                 "до них — %2 мин (%3 − %4 = %5 с).")
          .arg(s.rec.Hv)
          .arg(static_cast<int>(std::nearbyint(s.t.TObl / 60.0)))
          .arg(s.rec.Tpol)
          .arg(s.t.TPod)
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
  ExplainOneKey(s, QStringLiteral("Набор до середины участка под шторкой, %1 м").arg(key), s.TabPod,
                r);
}

}  // namespace meltor
