// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "tables_file.h"

#include "errors.h"
#include "numbers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <string>

namespace meltor {

namespace {

[[noreturn]] void Fail(const QString& message) {
  throw CalcError(ErrorKind::Table, Field::None, message);
}

QString SqliteMessage(sqlite3* db) {
  return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("нет памяти");
}

// Looks at the first bytes before SQLite does, so that a file of another kind gets a message
// that says what it is.
void CheckHeader(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
    Fail(
        QStringLiteral("Файл таблиц %1 не открывается для чтения: %2.").arg(path, f.errorString()));
  }
  const QByteArray head = f.read(100);
  if (head.isEmpty()) Fail(QStringLiteral("Файл таблиц %1 пуст.").arg(path));
  if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB") {
    Fail(QStringLiteral("Файл таблиц %1 — база данных Microsoft Access (Jet/ACE). Программа читает "
                        "таблицы из базы SQLite: перенесите запросы Z_Time_Pod_… и Z_Time_Obl_… в "
                        "представления (VIEW) файла SQLite с тем же именем.")
             .arg(path));
  }
  if (!head.startsWith(QByteArray("SQLite format 3\0", 16))) {
    Fail(QStringLiteral("Файл таблиц %1 не является базой данных SQLite.").arg(path));
  }
  if (head.size() < 100) {
    Fail(QStringLiteral("Файл таблиц %1 повреждён: он обрезан (%2 байт).")
             .arg(path)
             .arg(head.size()));
  }
}

// A failed read: says what it means for the pilot where SQLite's code tells.
[[noreturn]] void FailRead(sqlite3* db, const QString& path, const QString& view = {}) {
  const int code = sqlite3_errcode(db) & 0xff;
  if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
    Fail(QStringLiteral("Файл таблиц %1 занят другой программой, которая в него пишет. Повторите "
                        "расчёт чуть позже.")
             .arg(path));
  }
  if (code == SQLITE_INTERRUPT) {
    Fail(
        QStringLiteral("Файл таблиц %1: запрос%2 выполняется слишком долго (более %3 с) и прерван.")
            .arg(path, view.isEmpty() ? QString() : QStringLiteral(" «%1»").arg(view))
            .arg(kQueryMilliseconds / 1000));
  }
  if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
    Fail(QStringLiteral("Файл таблиц %1 повреждён: %2.").arg(path, SqliteMessage(db)));
  }
  if (!view.isEmpty()) {
    Fail(QStringLiteral("Запрос «%1» в файле %2 не выполняется: %3.")
             .arg(view, path, SqliteMessage(db)));
  }
  Fail(QStringLiteral("Файл таблиц %1 не читается: %2.").arg(path, SqliteMessage(db)));
}

QByteArray QuoteIdentifier(const QString& name) {
  QString quoted = name;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return (QLatin1Char('"') + quoted + QLatin1Char('"')).toUtf8();
}

class Statement {
 public:
  Statement(sqlite3* db, const QByteArray& sql) {
    rc_ = sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &stmt_, nullptr);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  bool ok() const { return rc_ == SQLITE_OK && stmt_; }
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_ERROR;
};

// A text cell that holds a number (as some editors store them) counts as that number.
std::optional<double> NumberInText(const unsigned char* text, int bytes) {
  std::string s(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes));
  const auto notBlank = s.find_first_not_of(" \t\r\n");
  if (notBlank == std::string::npos) return std::nullopt;
  s = s.substr(notBlank, s.find_last_not_of(" \t\r\n") - notBlank + 1);
  std::size_t begin = (s[0] == '+') ? 1 : 0;
  double v = 0;
  const auto [ptr, ec] = std::from_chars(s.data() + begin, s.data() + s.size(), v);
  if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

QString CellPlace(const QString& view, int record, int field) {
  return QStringLiteral("«%1», запись %2, поле %3").arg(view).arg(record).arg(field);
}

}  // namespace

TablesFile::TablesFile(const QString& path, const QStringList& searched) : path_(path) {
  const QFileInfo info(path);
  if (!info.exists()) {
    QStringList places = searched;
    if (places.isEmpty()) places << path;
    Fail(QStringLiteral("Файл таблиц %1 не найден. Искали: %2.")
             .arg(QString::fromLatin1(kTablesFileName), places.join(QStringLiteral("; "))));
  }
  if (info.isDir()) Fail(QStringLiteral("%1 — папка, а не файл таблиц.").arg(path));
  CheckHeader(path);

  // SQLite's memory statistics take a lock around every allocation, and reading the schema of a
  // fresh connection allocates a great deal; nothing here reads those statistics. The setting
  // must come before the library's first use and is made once.
  static const bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
  (void)configured;

  const QByteArray p = QFile::encodeName(path);
  // The connection never leaves the thread that opened it, so it needs no lock of its own.
  const int rc =
      sqlite3_open_v2(p.constData(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const QString why = SqliteMessage(db_);
    sqlite3_close(db_);
    db_ = nullptr;
    Fail(QStringLiteral("Файл таблиц %1 не открывается: %2.").arg(path, why));
  }
  // Another program writing the file holds it only briefly; wait a moment, then give up.
  sqlite3_busy_timeout(db_, 500);
  // A view is a query someone else wrote: bound what one may cost, so a runaway query ends in a
  // message instead of a hung window.
  sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, 1'000'000);
  deadline_.start();  // restarted before every query
  sqlite3_progress_handler(
      db_, 10'000,
      [](void* self) -> int {
        return static_cast<TablesFile*>(self)->deadline_.hasExpired(kQueryMilliseconds) ? 1 : 0;
      },
      this);
  // One read transaction for everything this open reads: the views come from one state of the
  // file even if another program commits in between, and SQLite takes its shared lock and looks
  // for a hot journal once instead of before every query. Closing ends it.
  if (sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) FailRead(db_, path_);
}

TablesFile::~TablesFile() {
  sqlite3_close(db_);
}

void TablesFile::RequireView(const QString& name) {
  deadline_.start();
  Statement st(db_, "SELECT type FROM sqlite_master WHERE name = ?1");
  if (!st.ok()) FailRead(db_, path_);
  const QByteArray n = name.toUtf8();
  sqlite3_bind_text(st.get(), 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(st.get());
  if (rc == SQLITE_ROW) {
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
    if (type && std::string(type) == "view") return;
    Fail(QStringLiteral("В файле таблиц %1 «%2» — не запрос (представление VIEW), а %3.")
             .arg(path_, name, QString::fromUtf8(type ? type : "?")));
  }
  if (rc == SQLITE_DONE) {
    Fail(QStringLiteral("В файле таблиц %1 нет запроса (представления) «%2».").arg(path_, name));
  }
  FailRead(db_, path_);
}

void TablesFile::RunView(const QString& name) {
  RequireView(name);
  deadline_.start();
  Statement st(db_, "SELECT * FROM " + QuoteIdentifier(name));
  if (!st.ok()) FailRead(db_, path_, name);
  const int rc = sqlite3_step(st.get());
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) FailRead(db_, path_, name);
}

Table TablesFile::ReadView(const QString& name, TableKind kind) {
  RequireView(name);
  deadline_.start();
  Statement st(db_, "SELECT * FROM " + QuoteIdentifier(name));
  if (!st.ok()) FailRead(db_, path_, name);
  Table table;
  table.name = name;
  table.fieldCount = sqlite3_column_count(st.get());
  if (kind == TableKind::Grid && table.fieldCount > kMaxGridFields) {
    Fail(QStringLiteral(
             "Таблица «%1»: %2 полей, а в таблице времени в облаках их может быть не более %3.")
             .arg(name)
             .arg(table.fieldCount)
             .arg(kMaxGridFields));
  }
  const int used = kind == TableKind::Climb ? std::min(table.fieldCount, 2) : table.fieldCount;
  for (;;) {
    const int rc = sqlite3_step(st.get());
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) FailRead(db_, path_, name);
    if (table.recordCount() >= kMaxRecords) {
      Fail(QStringLiteral("Таблица «%1»: более %2 записей.").arg(name).arg(kMaxRecords));
    }
    const int record = table.recordCount() + 1;
    std::vector<Cell> row(static_cast<std::size_t>(table.fieldCount));
    for (int j = 0; j < used; ++j) {
      switch (sqlite3_column_type(st.get(), j)) {
        case SQLITE_NULL:
          break;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
          row[j] = sqlite3_column_double(st.get(), j);
          break;
        case SQLITE_TEXT: {
          const unsigned char* text = sqlite3_column_text(st.get(), j);
          const auto number = NumberInText(text, sqlite3_column_bytes(st.get(), j));
          if (!number) {
            Fail(QStringLiteral("Таблица %1: текст «%2» вместо числа.")
                     .arg(CellPlace(name, record, j + 1),
                          QString::fromUtf8(reinterpret_cast<const char*>(text)).left(40)));
          }
          row[j] = number;
          break;
        }
        default:
          Fail(QStringLiteral("Таблица %1: двоичные данные вместо числа.")
                   .arg(CellPlace(name, record, j + 1)));
      }
    }
    table.rows.push_back(std::move(row));
  }
  CheckTable(table, kind);
  return table;
}

void CheckTable(const Table& table, TableKind kind) {
  const QString& name = table.name;
  if (table.rows.empty()) Fail(QStringLiteral("Таблица «%1» пуста.").arg(name));
  if (table.recordCount() > kMaxRecords) {
    Fail(QStringLiteral("Таблица «%1»: более %2 записей.").arg(name).arg(kMaxRecords));
  }
  auto checkRange = [&](int record, int field, const Cell& cell) {
    if (cell && !RoundHalfEven16(*cell)) {
      Fail(QStringLiteral("Таблица %1: число %2 вне диапазона от -32768 до 32767.")
               .arg(CellPlace(name, record, field), QString::number(*cell, 'g', 15)));
    }
  };
  auto requireKey = [&](int record, int field, const Cell& cell, const QString& what) {
    if (!cell)
      Fail(QStringLiteral("Таблица %1: пусто, а нужна %2.")
               .arg(CellPlace(name, record, field), what));
  };

  if (kind == TableKind::Climb) {
    if (table.fieldCount < 2) {
      Fail(QStringLiteral("Таблица «%1»: %2 поле, а нужны два — высота и время набора.")
               .arg(name)
               .arg(table.fieldCount));
    }
    for (int i = 0; i < table.recordCount(); ++i) {
      requireKey(i + 1, 1, table.rows[i][0], QStringLiteral("высота"));
      checkRange(i + 1, 1, table.rows[i][0]);
      checkRange(i + 1, 2, table.rows[i][1]);
    }
    return;
  }

  if (table.fieldCount > kMaxGridFields) {
    Fail(QStringLiteral(
             "Таблица «%1»: %2 полей, а в таблице времени в облаках их может быть не более %3.")
             .arg(name)
             .arg(table.fieldCount)
             .arg(kMaxGridFields));
  }
  if (table.fieldCount < 2) {
    Fail(QStringLiteral(
             "Таблица «%1»: нет ни одного ключа столбца (в первой записи только угловое число).")
             .arg(name));
  }
  if (table.recordCount() < 2) {
    Fail(QStringLiteral("Таблица «%1»: нет ни одной строки с нижней границей облачности.")
             .arg(name));
  }
  for (int j = 1; j < table.fieldCount; ++j) {
    requireKey(1, j + 1, table.rows[0][j], QStringLiteral("высота — ключ столбца"));
    checkRange(1, j + 1, table.rows[0][j]);
  }
  for (int i = 1; i < table.recordCount(); ++i) {
    requireKey(i + 1, 1, table.rows[i][0], QStringLiteral("нижняя граница облачности"));
    for (int j = 0; j < table.fieldCount; ++j) checkRange(i + 1, j + 1, table.rows[i][j]);
  }
}

QList<ViewInfo> TablesFile::Views() {
  QList<ViewInfo> views;
  QStringList names;
  deadline_.start();
  {
    Statement st(db_, "SELECT name FROM sqlite_master WHERE type = 'view' ORDER BY name");
    if (!st.ok()) FailRead(db_, path_);
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
      names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
    }
    if (rc != SQLITE_DONE) FailRead(db_, path_);
  }
  for (const QString& name : names) {
    ViewInfo info;
    info.name = name;
    deadline_.start();
    Statement st(db_, "SELECT * FROM " + QuoteIdentifier(name));
    if (!st.ok()) {
      info.recordCount = -1;
      info.problem = SqliteMessage(db_);
      views << info;
      continue;
    }
    info.fieldCount = sqlite3_column_count(st.get());
    int rc = SQLITE_DONE;
    while (info.recordCount <= kMaxRecords && (rc = sqlite3_step(st.get())) == SQLITE_ROW) {
      ++info.recordCount;
    }
    if (info.recordCount > kMaxRecords) {
      info.problem = QStringLiteral("более %1 записей").arg(kMaxRecords);
    } else if (rc != SQLITE_DONE) {
      info.recordCount = -1;
      info.problem = SqliteMessage(db_);
    }
    views << info;
  }
  return views;
}

QString DefaultTablesPath(QStringList* searched) {
  const QString appDir = QCoreApplication::applicationDirPath();
  const QString name = QString::fromLatin1(kTablesFileName);
  const QStringList candidates = {
      QDir(appDir).filePath(name),
      QDir::cleanPath(appDir + QStringLiteral("/../share/meltor/") + name),
  };
  if (searched) *searched = candidates;
  for (const QString& c : candidates) {
    if (QFileInfo::exists(c)) return c;
  }
  return candidates.first();
}

}  // namespace meltor
