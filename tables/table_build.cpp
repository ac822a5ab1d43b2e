// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "table_build.h"

#include "file_writer.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>
#include <variant>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

constexpr int kGridColumns = kMaxGridFields - 1;  // c1 .. c23 beside the cloud base

QByteArray Schema() {
  QByteArray cells;
  for (int j = 1; j <= kGridColumns; ++j) cells += ", c" + QByteArray::number(j) + " INTEGER";
  return "CREATE TABLE pod (type TEXT NOT NULL, ord INTEGER NOT NULL, height INTEGER NOT NULL, "
         "seconds INTEGER, PRIMARY KEY (type, ord)) WITHOUT ROWID;\n"
         "CREATE TABLE obl (type TEXT NOT NULL, ord INTEGER NOT NULL, base INTEGER NOT NULL" +
         cells + ", PRIMARY KEY (type, ord)) WITHOUT ROWID;\n";
}

struct Db {
  sqlite3* db = nullptr;
  ~Db() { sqlite3_close(db); }
  // The system's own cause where a file operation failed (a full disk), else SQLite's words.
  // `lastError` is errno taken right after the call that failed: SQLite keeps the error number
  // of only some of its failed writes.
  QString Message(int lastError = 0) const {
    const int code = sqlite3_errcode(db) & 0xFF;
    const bool system = code == SQLITE_FULL || code == SQLITE_IOERR || code == SQLITE_CANTOPEN ||
                        code == SQLITE_READONLY || code == SQLITE_PERM;
    const int number = sqlite3_system_errno(db) != 0 ? sqlite3_system_errno(db) : lastError;
    if (system && number != 0) return files::SystemErrorText(number);
    if (code == SQLITE_FULL) return files::SystemErrorText(ENOSPC);
    return QString::fromUtf8(sqlite3_errmsg(db));
  }
};

struct Stmt {
  sqlite3_stmt* st = nullptr;
  ~Stmt() { sqlite3_finalize(st); }
};

void Bind(sqlite3_stmt* st, int index, const Cell& cell) {
  if (!cell) {
    sqlite3_bind_null(st, index);
    return;
  }
  const double v = *cell;
  if (v == std::trunc(v) && std::fabs(v) < 1e15) {
    sqlite3_bind_int64(st, index, static_cast<sqlite3_int64>(v));
  } else {
    sqlite3_bind_double(st, index, v);
  }
}

// The key row's first field: below every column key and every cloud base, so that the key row
// sorts first. -1 unless a key or base is that low.
double Corner(const Table& grid) {
  double lowest = 0;
  for (std::size_t i = 0; i < grid.rows.size(); ++i) {
    for (std::size_t j = i == 0 ? 1 : 0; j < (i == 0 ? grid.rows[i].size() : 1); ++j) {
      if (grid.rows[i][j]) lowest = std::min(lowest, *grid.rows[i][j]);
    }
  }
  return std::min(-1.0, std::floor(lowest) - 1);
}

// Writes the tables into the open file `d`; why it failed, or empty.
QString Write(const Db& d, const std::vector<BuildType>& types) {
  QString failure;
  const auto exec = [&](const QByteArray& sql) {
    if (sqlite3_exec(d.db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    failure = d.Message(errno);
    return false;
  };
  const auto prepare = [&](Stmt& s, const QByteArray& sql) {
    if (sqlite3_prepare_v2(d.db, sql.constData(), -1, &s.st, nullptr) == SQLITE_OK) return true;
    failure = d.Message();
    return false;
  };
  const auto step = [&](Stmt& s) {
    if (sqlite3_step(s.st) != SQLITE_DONE) {
      failure = d.Message(errno);
      return false;
    }
    sqlite3_reset(s.st);
    return true;
  };

  // Nothing is worth a journal here: a failed build discards the whole temporary file.
  if (!exec("PRAGMA journal_mode = OFF; BEGIN;\n" + Schema())) return failure;
  QByteArray params;
  for (int j = 1; j <= kGridColumns + 3; ++j)
    params += (j > 1 ? ", ?" : "?") + QByteArray::number(j);
  Stmt pod;
  Stmt obl;
  if (!prepare(pod, "INSERT INTO pod VALUES (?1, ?2, ?3, ?4)") ||
      !prepare(obl, "INSERT INTO obl VALUES (" + params + ")")) {
    return failure;
  }

  QByteArray views;
  for (const BuildType& type : types) {
    const QByteArray tag = type.suffix.toUtf8();
    for (int i = 0; i < type.climb->recordCount(); ++i) {
      const auto& row = type.climb->rows[i];
      sqlite3_bind_text(pod.st, 1, tag.constData(), static_cast<int>(tag.size()), SQLITE_STATIC);
      sqlite3_bind_int(pod.st, 2, i);
      Bind(pod.st, 3, row.at(0));
      Bind(pod.st, 4, row.size() > 1 ? row[1] : Cell{});
      if (!step(pod)) return failure;
    }
    const Table& grid = *type.grid;
    if (grid.fieldCount > kMaxGridFields || grid.fieldCount < 2) {
      return u"таблица «%1»: %2 полей"_s.arg(grid.name, QString::number(grid.fieldCount));
    }
    const double corner = Corner(grid);
    if (corner < -32768) return u"таблица «%1»: ключи ниже -32767"_s.arg(grid.name);
    for (int i = 0; i < grid.recordCount(); ++i) {
      const auto& row = grid.rows[i];
      sqlite3_bind_text(obl.st, 1, tag.constData(), static_cast<int>(tag.size()), SQLITE_STATIC);
      sqlite3_bind_int(obl.st, 2, i);
      Bind(obl.st, 3, i == 0 ? Cell{corner} : row.at(0));
      for (int j = 1; j <= kGridColumns; ++j) {
        Bind(obl.st, j + 3, j < static_cast<int>(row.size()) ? row[j] : Cell{});
      }
      if (!step(obl)) return failure;
    }
    QByteArray columns;
    for (int j = 1; j < grid.fieldCount; ++j) columns += ", c" + QByteArray::number(j);
    views += "CREATE VIEW \"Z_Time_Pod_" + tag +
             "\" AS SELECT height, seconds FROM pod WHERE type = '" + tag +
             "' ORDER BY ord;\nCREATE VIEW \"Z_Time_Obl_" + tag + "\" AS SELECT base" + columns +
             " FROM obl WHERE type = '" + tag + "' ORDER BY ord;\n";
  }
  return exec(views + "COMMIT;") ? QString() : failure;
}

}  // namespace

bool BuildTablesFile(const QString& path, const std::vector<BuildType>& types, bool replace,
                     QString* failure) {
  const auto fail = [failure](const QString& why) {
    if (failure) *failure = why;
    return false;
  };
  for (const BuildType& t : types) {
    const bool plain =
        !t.suffix.isEmpty() && std::all_of(t.suffix.begin(), t.suffix.end(), [](QChar c) {
          return c.isLetterOrNumber() && c.unicode() < 128;
        });
    if (!plain || !t.climb || !t.grid) return fail(u"нет таблиц типа «%1»"_s.arg(t.suffix));
  }
  auto target = files::ResolveTarget(path);
  if (const QString* why = std::get_if<QString>(&target)) return fail(u"файл таблиц "_s + *why);
  const bool replacing = std::get<files::Target>(target).kind == files::Target::Kind::File;
  if (replacing && !replace) return fail(u"Файл %1 уже существует."_s.arg(path));

  // Written under a temporary name beside the target (for a device, in the temporary folder) and
  // put in place whole: a reader sees the old file or the new one, never a part.
  files::FileWriter out(path);
  const QString scratch = out.Open() ? out.ScratchPath() : QString();
  if (scratch.isEmpty()) return fail(u"файл таблиц "_s + out.failure());
  QString why;
  {
    Db d;
    const QByteArray name = QFile::encodeName(scratch);
    if (sqlite3_open_v2(name.constData(), &d.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      why = u"не открывается: %1"_s.arg(d.Message());
    } else {
      why = Write(d, types);
      if (why.isEmpty() && sqlite3_close(d.db) != SQLITE_OK) why = d.Message(errno);
      if (why.isEmpty()) d.db = nullptr;
    }
  }
  if (!why.isEmpty()) {
    return fail(u"файл таблиц «%1» не записан: %2%3"_s.arg(
        path, why, replacing ? u"; прежний файл не изменён"_s : QString()));
  }
  if (!out.Commit()) return fail(u"файл таблиц "_s + out.failure());
  return true;
}

}  // namespace meltor
