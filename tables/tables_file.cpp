// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "tables_file.h"

#include "errors.h"
#include "file_kind.h"
#include "numbers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <memory>
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
// that says what it is. Returns the 100-byte header.
QByteArray CheckHeader(const QString& path) {
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
             .arg(path, QString::number(head.size())));
  }
  // SQLite would take a file shorter than its header says for an empty one and find no views in
  // it. The header's page count is valid when its change counter matches the version stamp. A
  // journal beside the file may restore what is missing; SQLite then has its say.
  const auto number = [&head](int at, int bytes) {
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<unsigned char>(head.at(at + i));
    return v;
  };
  const quint64 pageSize = number(16, 2) == 1 ? 65536 : number(16, 2);
  const quint64 pages = number(24, 4) == number(92, 4) ? number(28, 4) : 1;
  const quint64 size = static_cast<quint64>(f.size());
  if (size < pageSize * std::max<quint64>(pages, 1) &&
      QFileInfo(path + QStringLiteral("-journal")).size() == 0 &&
      QFileInfo(path + QStringLiteral("-wal")).size() == 0) {
    Fail(QStringLiteral("Файл таблиц %1 повреждён: он обрезан (%2 байт из %3).")
             .arg(path, QString::number(size),
                  QString::number(pageSize * std::max<quint64>(pages, 1))));
  }
  return head;
}

// The advice for a file that a writer left unfinished. Nothing here repairs it, since reading
// never changes the file; the program that wrote it does so when it next opens it.
QString UnfinishedWrite(const QString& path, const QString& journal) {
  return QStringLiteral(
             "Рядом с файлом таблиц %1 лежит журнал %2 с изменениями, которые ещё не перенесены в "
             "сам файл (программа, которая его записывала, не закончила работу или ещё открыта). "
             "Без журнала таблицы были бы прочитаны не в том виде, в каком их записали, а "
             "программа файлы таблиц не меняет. Закройте программу, которая пишет файл, или "
             "откройте файл один раз в программе, которая его записала, и закройте её: журнал "
             "будет перенесён в файл.")
      .arg(path, QFileInfo(journal).fileName());
}

// The name of the schema entry SQLite could not read, from its "malformed database schema (NAME)".
QString BrokenSchemaEntry(const QString& sqliteMessage) {
  static const QString marker = QStringLiteral("malformed database schema (");
  const qsizetype at = sqliteMessage.indexOf(marker);
  if (at < 0) return {};
  const qsizetype begin = at + marker.size();
  const qsizetype end = sqliteMessage.indexOf(QLatin1Char(')'), begin);
  return end < 0 ? QString() : sqliteMessage.mid(begin, end - begin);
}

QString SchemaTypeName(const QString& type) {
  if (type == QLatin1String("table")) return QStringLiteral("таблица");
  if (type == QLatin1String("index")) return QStringLiteral("индекс");
  if (type == QLatin1String("trigger")) return QStringLiteral("триггер");
  return QStringLiteral("объект типа «%1»").arg(type);
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
  return QStringLiteral("«%1», запись %2, поле %3")
      .arg(view, QString::number(record), QString::number(field));
}

// The number of fields `kind` needs, as the view declares them.
void CheckFields(const Table& table, TableKind kind) {
  const QString count = QString::number(table.fieldCount);
  if (kind == TableKind::Climb) {
    if (table.fieldCount < 2) {
      Fail(QStringLiteral("Таблица «%1»: %2 поле, а нужны два — высота и время набора.")
               .arg(table.name, count));
    }
    return;
  }
  if (table.fieldCount > kMaxGridFields) {
    Fail(QStringLiteral(
             "Таблица «%1»: %2 полей, а в таблице времени в облаках их может быть не более %3.")
             .arg(table.name, count, QString::number(kMaxGridFields)));
  }
  if (table.fieldCount < 2) {
    Fail(QStringLiteral(
             "Таблица «%1»: нет ни одного ключа столбца (в первой записи только угловое число).")
             .arg(table.name));
  }
}

[[noreturn]] void FailRecordLimit(const QString& name) {
  Fail(QStringLiteral("Таблица «%1»: более %2 записей.").arg(name, QString::number(kMaxRecords)));
}

// The records of a table whose fields and record count are judged already: at least one (a grid:
// the key row and a cloud-base row), heights and keys present, every number within 16 bits.
void CheckContents(const Table& table, TableKind kind) {
  const QString& name = table.name;
  if (table.rows.empty()) Fail(QStringLiteral("Таблица «%1» пуста.").arg(name));
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
    for (int i = 0; i < table.recordCount(); ++i) {
      requireKey(i + 1, 1, table.rows[i][0], QStringLiteral("высота"));
      checkRange(i + 1, 1, table.rows[i][0]);
      checkRange(i + 1, 2, table.rows[i][1]);
    }
    return;
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

}  // namespace

TablesFile::TablesFile(const QString& path, const QStringList& searched) : path_(path) {
  opened_.start();
  query_.start();
  if (path.isEmpty()) Fail(QStringLiteral("Не указан файл таблиц: путь к нему пуст."));
  if (const QString what = files::NotARegularFile(path); !what.isEmpty()) {
    Fail(QStringLiteral("Файл таблиц %1 — %2, а не обычный файл; таблицы читаются только из файла.")
             .arg(path, what));
  }
  if (!QFileInfo::exists(path)) {
    QStringList places = searched;
    places.removeAll(QString());
    if (places.isEmpty()) places << path;
    Fail(QStringLiteral("Файл таблиц %1 не найден. Искали: %2.")
             .arg(QString::fromLatin1(kTablesFileName), places.join(QStringLiteral("; "))));
  }
  try {
    Open(CheckHeader(path));
  } catch (...) {
    sqlite3_close(db_);  // the destructor does not run for a constructor that throws
    throw;
  }
}

void TablesFile::Open(const QByteArray& header) {
  // Whatever the schema or a view asks for, SQLite's heap stays within this bound; beyond it a
  // query fails with SQLITE_NOMEM and the message says the file is too big.
  sqlite3_hard_heap_limit64(kSqliteHeapBytes);

  QByteArray name = QFile::encodeName(path_);
  // The connection never leaves the thread that opened it, so it needs no lock of its own.
  int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
  const bool walMode = header.at(18) == 2 || header.at(19) == 2;
  if (walMode) {
    // Changes a writer has not yet copied from its journal into the file: without them the tables
    // would be read as they were before.
    const QString journal = path_ + QStringLiteral("-wal");
    if (QFileInfo(journal).size() > 0) Fail(UnfinishedWrite(path_, journal));
    // With no journal the file holds everything. Even to read, SQLite would create the -wal and
    // -shm files beside a file in this mode (and fail in a folder it cannot write); opened as
    // immutable it touches neither.
    QString uriPath = QDir::fromNativeSeparators(path_);
    if (uriPath.size() > 1 && uriPath.at(1) == QLatin1Char(':')) uriPath.prepend(QLatin1Char('/'));
    name = "file:" + QUrl::toPercentEncoding(uriPath, "/") + "?immutable=1";
    flags |= SQLITE_OPEN_URI;
  }
  const int rc = sqlite3_open_v2(name.constData(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const QString why = SqliteMessage(db_);
    sqlite3_close(db_);
    db_ = nullptr;
    Fail(QStringLiteral("Файл таблиц %1 не открывается: %2.").arg(path_, why));
  }
  sqlite3_extended_result_codes(db_, 1);
  // Another program writing the file holds it only briefly; wait a moment, then give up.
  sqlite3_busy_timeout(db_, 500);
  // A view is a query someone else wrote: bound what one query and the whole open may cost, so a
  // runaway query ends in a message instead of a hung window.
  sqlite3_progress_handler(
      db_, 10'000,
      [](void* self) -> int {
        const auto* file = static_cast<const TablesFile*>(self);
        return file->query_.hasExpired(kQueryMilliseconds) || file->TimeIsUp() ? 1 : 0;
      },
      this);
  // One read transaction for everything this open reads: the views come from one state of the
  // file even if another program commits in between, and SQLite takes its shared lock and looks
  // for a hot journal once instead of before every query. Closing ends it.
  if (sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) FailRead();
  // The schema is read now, so that a file whose schema cannot be read fails here, whatever is
  // asked of it later. Its text may be long (a view's SQL of a megabyte is valid); the limit on
  // values applies to what the views yield, from here on.
  {
    Statement st(db_, "SELECT count(*) FROM sqlite_master");
    if (!st.ok() || sqlite3_step(st.get()) != SQLITE_ROW) FailRead();
  }
  sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
}

TablesFile::~TablesFile() {
  sqlite3_close(db_);
}

bool TablesFile::TimeIsUp() const {
  return opened_.hasExpired(kFileMilliseconds);
}

// What the last failure means, in words for the pilot where SQLite's code tells.
TablesFile::Failure TablesFile::Problem() const {
  const QString message = SqliteMessage(db_);
  if (const QString entry = BrokenSchemaEntry(message); !entry.isEmpty()) {
    return {QStringLiteral("схема файла повреждена, не читается описание «%1»").arg(entry)};
  }
  switch (sqlite3_extended_errcode(db_) & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return {QStringLiteral(
          "файл занят другой программой, которая в него пишет; повторите чуть позже")};
    case SQLITE_READONLY:  // SQLite would have to roll back a journal beside the file
      return {UnfinishedWrite(path_, path_ + QStringLiteral("-journal"))};
    case SQLITE_INTERRUPT:
      if (TimeIsUp()) {
        return {QStringLiteral("чтение файла заняло более %1 с и прервано")
                    .arg(kFileMilliseconds / 1000)};
      }
      return {QStringLiteral("запрос выполняется слишком долго (более %1 с) и прерван")
                  .arg(kQueryMilliseconds / 1000),
              false};
    case SQLITE_NOMEM:
      return {
          QStringLiteral("для его чтения нужно более %1 МБ памяти").arg(kSqliteHeapBytes >> 20)};
    case SQLITE_TOOBIG:
      return {QStringLiteral("значение длиннее %1 байт").arg(kMaxValueBytes), false};
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return {QStringLiteral("файл повреждён")};
    case SQLITE_IOERR:
      return {QStringLiteral("ошибка чтения с диска")};
    case SQLITE_CANTOPEN:
      return {QStringLiteral("файл не открывается")};
    default:
      break;
  }
  return {QStringLiteral("запрос не выполняется: %1").arg(message), false};
}

void TablesFile::FailRead(const QString& view) const {
  const Failure failure = Problem();
  if ((sqlite3_extended_errcode(db_) & 0xff) == SQLITE_READONLY) Fail(failure.text);
  if (failure.wholeFile || view.isEmpty()) {
    Fail(QStringLiteral("Файл таблиц %1: %2.").arg(path_, failure.text));
  }
  Fail(QStringLiteral("Файл таблиц %1, запрос «%2»: %3.").arg(path_, view, failure.text));
}

void TablesFile::RequireView(const QString& name) {
  query_.start();
  Statement st(db_, "SELECT type FROM sqlite_master WHERE name = ?1");
  if (!st.ok()) FailRead();
  const QByteArray n = name.toUtf8();
  sqlite3_bind_text(st.get(), 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(st.get());
  if (rc == SQLITE_ROW) {
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
    if (type && std::string(type) == "view") return;
    Fail(QStringLiteral("В файле таблиц %1 «%2» — не запрос (представление VIEW), а %3.")
             .arg(path_, name, SchemaTypeName(QString::fromUtf8(type ? type : "?"))));
  }
  if (rc == SQLITE_DONE) {
    Fail(QStringLiteral("В файле таблиц %1 нет запроса (представления) «%2».").arg(path_, name));
  }
  FailRead();
}

void TablesFile::RunView(const QString& name) {
  RequireView(name);
  query_.start();
  Statement st(db_, "SELECT * FROM " + QuoteIdentifier(name));
  if (!st.ok()) FailRead(name);
  const int rc = sqlite3_step(st.get());
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) FailRead(name);
}

Table TablesFile::ReadView(const QString& name, TableKind kind) {
  RequireView(name);
  query_.start();
  auto st = std::make_unique<Statement>(db_, "SELECT * FROM " + QuoteIdentifier(name));
  if (!st->ok()) FailRead(name);
  Table table;
  table.name = name;
  table.fieldCount = sqlite3_column_count(st->get());
  // Judged before any record is read: a view of the wrong width is not run to its end first.
  CheckFields(table, kind);
  const int used = kind == TableKind::Climb ? 2 : table.fieldCount;
  // A view far wider than any table of ours: only the two fields a lookup reads are asked for, so
  // the others are not computed for every record. A view of usual width is read as it is.
  if (table.fieldCount > kMaxGridFields) {
    const char* first = sqlite3_column_name(st->get(), 0);
    const char* second = sqlite3_column_name(st->get(), 1);
    if (!first || !second) FailRead(name);
    st = std::make_unique<Statement>(db_, "SELECT " + QuoteIdentifier(QString::fromUtf8(first)) +
                                              ", " + QuoteIdentifier(QString::fromUtf8(second)) +
                                              " FROM " + QuoteIdentifier(name));
    if (!st->ok()) FailRead(name);
  }
  for (;;) {
    const int rc = sqlite3_step(st->get());
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) FailRead(name);
    if (table.recordCount() >= kMaxRecords) FailRecordLimit(name);
    const int record = table.recordCount() + 1;
    std::vector<Cell> row(static_cast<std::size_t>(used));
    for (int j = 0; j < used; ++j) {
      switch (sqlite3_column_type(st->get(), j)) {
        case SQLITE_NULL:
          break;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
          row[j] = sqlite3_column_double(st->get(), j);
          break;
        case SQLITE_TEXT: {
          const unsigned char* text = sqlite3_column_text(st->get(), j);
          const auto number = NumberInText(text, sqlite3_column_bytes(st->get(), j));
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
  CheckContents(table, kind);
  return table;
}

void CheckTable(const Table& table, TableKind kind) {
  CheckFields(table, kind);
  if (table.recordCount() > kMaxRecords) FailRecordLimit(table.name);
  CheckContents(table, kind);
}

QStringList TablesFile::ViewNames() {
  QStringList names;
  query_.start();
  Statement st(db_, "SELECT name FROM sqlite_master WHERE type = 'view' ORDER BY name");
  if (!st.ok()) FailRead();
  int rc;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
  }
  if (rc != SQLITE_DONE) FailRead();
  return names;
}

QList<ViewInfo> TablesFile::Views() {
  QList<ViewInfo> views;
  const QStringList names = ViewNames();
  for (const QString& name : names) {
    ViewInfo info;
    info.name = name;
    info.recordCount = -1;
    if (TimeIsUp()) {
      info.problem = QStringLiteral("не прочитано: время на чтение файла (%1 с) истекло")
                         .arg(kFileMilliseconds / 1000);
      views << info;
      continue;
    }
    query_.start();
    const QByteArray view = QuoteIdentifier(name);
    {
      Statement shape(db_, "SELECT * FROM " + view);
      if (!shape.ok()) {
        info.problem = Problem().text;
        views << info;
        continue;
      }
      info.fieldCount = sqlite3_column_count(shape.get());
    }
    // Counted without computing the fields, which a wide view would do for every record.
    Statement counting(db_, "SELECT count(*) FROM (SELECT 1 FROM " + view + " LIMIT " +
                                QByteArray::number(kMaxRecords + 1) + ")");
    const int rc = counting.ok() ? sqlite3_step(counting.get()) : SQLITE_ERROR;
    const int count = rc == SQLITE_ROW ? sqlite3_column_int(counting.get(), 0) : 0;
    if (rc != SQLITE_ROW) {
      info.problem = Problem().text;
    } else if (count > kMaxRecords) {
      info.recordCount = count;
      info.problem = QStringLiteral("более %1 записей").arg(kMaxRecords);
    } else {
      info.recordCount = count;
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
