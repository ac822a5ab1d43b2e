// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The table lookups of the calculation, on the tables file.

#include "lookups.h"
#include "table.h"

#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <variant>

namespace meltor {

class TablesFile;

class FileClimbTables : public ClimbTables {
 public:
  enum class Mode {
    // Every lookup opens the file afresh and reads its views, so a table edited while the
    // program runs is used at the next calculation.
    Fresh,
    // For a batch of flights: at the first lookup the file is opened once, every view any type
    // may need is read in one read transaction, and the file is closed again; the run uses that
    // snapshot. Errors are remembered too, so every flight gets the same message.
    Snapshot,
  };

  // `searched` lists the places looked at for the file, for the message when it is missing.
  explicit FileClimbTables(QString path, QStringList searched = {}, Mode mode = Mode::Fresh);
  ~FileClimbTables() override;

  void LookupCloudTimes(FlightState& state) override;
  void LookupShtorka(FlightState& state) override;

  const QString& path() const { return path_; }

 private:
  class Session;
  friend class Session;

  QString path_;
  QStringList searched_;
  Mode mode_;

  // Snapshot mode only.
  void TakeSnapshot();
  CalcError NotInSnapshot(const QString& name) const;
  bool snapshotTaken_ = false;
  std::optional<CalcError> openError_;
  std::map<QString, std::variant<Table, CalcError>> tables_;
  std::map<QString, std::optional<CalcError>> views_;
};

}  // namespace meltor
