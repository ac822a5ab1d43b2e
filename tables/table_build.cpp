// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "table_build.h"

#include "errors.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

[[noreturn]] void Fail(const QString& message) {
  throw CalcError(ErrorKind::Table, Field::None, message);
}

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
  QString Message() const { return QString::fromUtf8(sqlite3_errmsg(db)); }
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

void Write(const Db& d, const std::vector<BuildType>& types) {
  const auto exec = [&](const QByteArray& sql) {
    if (sqlite3_exec(d.db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      Fail(u"не записывается: %1"_s.arg(d.Message()));
    }
  };
  const auto prepare = [&](Stmt& s, const QByteArray& sql) {
    if (sqlite3_prepare_v2(d.db, sql.constData(), -1, &s.st, nullptr) != SQLITE_OK) {
      Fail(u"не записывается: %1"_s.arg(d.Message()));
    }
  };
  const auto step = [&](Stmt& s) {
    if (sqlite3_step(s.st) != SQLITE_DONE) Fail(u"не записывается: %1"_s.arg(d.Message()));
    sqlite3_reset(s.st);
  };

  // Nothing is worth a journal here: a failed build discards the whole temporary file.
  exec("PRAGMA journal_mode = OFF; BEGIN;\n" + Schema());
  Stmt pod;
  prepare(pod, "INSERT INTO pod VALUES (?1, ?2, ?3, ?4)");
  QByteArray params;
  for (int j = 1; j <= kGridColumns + 3; ++j)
    params += (j > 1 ? ", ?" : "?") + QByteArray::number(j);
  Stmt obl;
  prepare(obl, "INSERT INTO obl VALUES (" + params + ")");

  QByteArray views;
  for (const BuildType& type : types) {
    const QByteArray tag = type.suffix.toUtf8();
    for (int i = 0; i < type.climb->recordCount(); ++i) {
      const auto& row = type.climb->rows[i];
      sqlite3_bind_text(pod.st, 1, tag.constData(), static_cast<int>(tag.size()), SQLITE_STATIC);
      sqlite3_bind_int(pod.st, 2, i);
      Bind(pod.st, 3, row.at(0));
      Bind(pod.st, 4, row.size() > 1 ? row[1] : Cell{});
      step(pod);
    }
    const Table& grid = *type.grid;
    if (grid.fieldCount > kMaxGridFields || grid.fieldCount < 2) {
      Fail(u"таблица «%1»: %2 полей"_s.arg(grid.name).arg(grid.fieldCount));
    }
    const double corner = Corner(grid);
    if (corner < -32768) Fail(u"таблица «%1»: ключи ниже -32767"_s.arg(grid.name));
    for (int i = 0; i < grid.recordCount(); ++i) {
      const auto& row = grid.rows[i];
      sqlite3_bind_text(obl.st, 1, tag.constData(), static_cast<int>(tag.size()), SQLITE_STATIC);
      sqlite3_bind_int(obl.st, 2, i);
      Bind(obl.st, 3, i == 0 ? Cell{corner} : row.at(0));
      for (int j = 1; j <= kGridColumns; ++j) {
        Bind(obl.st, j + 3, j < static_cast<int>(row.size()) ? row[j] : Cell{});
      }
      step(obl);
    }
    QByteArray columns;
    for (int j = 1; j < grid.fieldCount; ++j) columns += ", c" + QByteArray::number(j);
    views += "CREATE VIEW \"Z_Time_Pod_" + tag +
             "\" AS SELECT height, seconds FROM pod WHERE type = '" + tag +
             "' ORDER BY ord;\nCREATE VIEW \"Z_Time_Obl_" + tag + "\" AS SELECT base" + columns +
             " FROM obl WHERE type = '" + tag + "' ORDER BY ord;\n";
  }
  exec(views + "COMMIT;");
}

}  // namespace

void BuildTablesFile(const QString& path, const std::vector<BuildType>& types, bool replace) {
  for (const BuildType& t : types) {
    const bool plain =
        !t.suffix.isEmpty() && std::all_of(t.suffix.begin(), t.suffix.end(), [](QChar c) {
          return c.isLetterOrNumber() && c.unicode() < 128;
        });
    if (!plain || !t.climb || !t.grid) Fail(u"нет таблиц типа «%1»"_s.arg(t.suffix));
  }
  const QFileInfo target(path);
  if (target.exists() && !replace) Fail(u"Файл %1 уже существует."_s.arg(path));
  if (target.isDir()) Fail(u"%1 — папка, а не файл таблиц."_s.arg(path));

  QTemporaryFile temp(target.absoluteFilePath() + u".XXXXXX"_s);
  temp.setAutoRemove(true);
  if (!temp.open()) {
    Fail(u"Файл %1 не создаётся: %2."_s.arg(path, temp.errorString()));
  }
  temp.close();
  // A temporary file is private to its owner; the tables file is read by every user of the
  // program. Keep the permissions of the file it replaces.
  temp.setPermissions(target.exists() ? QFile::permissions(path)
                                      : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                            QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
  try {
    Db d;
    const QByteArray name = QFile::encodeName(temp.fileName());
    if (sqlite3_open_v2(name.constData(), &d.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      Fail(u"не открывается: %1"_s.arg(d.Message()));
    }
    Write(d, types);
    if (sqlite3_close(d.db) != SQLITE_OK) Fail(u"не закрывается: %1"_s.arg(d.Message()));
    d.db = nullptr;
  } catch (const CalcError& e) {
    Fail(u"Файл %1 не записан: %2"_s.arg(path, e.message()));
  }
  // Replacing by rename is atomic: a reader sees the old file or the new one, never a part.
  std::error_code ec;
  std::filesystem::rename(std::filesystem::path(temp.fileName().toStdU16String()),
                          std::filesystem::path(path.toStdU16String()), ec);
  if (ec) Fail(u"Файл %1 не записан: %2."_s.arg(path, QString::fromStdString(ec.message())));
  temp.setAutoRemove(false);  // it has become the target
}

}  // namespace meltor
