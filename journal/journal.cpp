// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The journal file: opening and checking it, the changes (each one transaction), the lists and
// totals, the import, the copy, and bringing an older schema forward.
#include "journal.h"

#include "file_kind.h"
#include "file_writer.h"
#include "flight_columns.h"
#include "journal_schema.h"
#include "journal_statement.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <unordered_set>

using namespace Qt::StringLiterals;

namespace meltor::journal {

namespace {

using Kind = JournalError::Kind;

QString Quoted(const QString& path) {
  return u"«%1»"_s.arg(path);
}

// ---------------------------------------------------------------------------------------------
// The columns

// The opening balance's items in the order of BalanceItem: the flights, then the five results.
QByteArray BalanceItemName(int item) {
  return item == 0 ? QByteArray("flights") : ResultColumns()[item - 1].toLatin1();
}

// Every column of an entry after its number, in the order of kEntryColumns' placeholders.
QByteArray EntryColumnNames() {
  QByteArray names = "flight_date, board, remark";
  for (const InputColumnInfo& c : InputColumns()) names += ", " + c.name.toLatin1();
  for (const QString& r : ResultColumns()) names += ", " + r.toLatin1();
  for (const QString& m : MinuteColumns()) names += ", " + m.toLatin1();
  names += ", case_id, warnings, tables_sha256, program_version, saved_at";
  return names;
}
constexpr int kEntryValueCount = 3 + kInputColumnCount + 2 * kResultCount + 5;

const QByteArray& SelectEntries() {
  static const QByteArray sql = "SELECT number, " + EntryColumnNames() + " FROM entry";
  return sql;
}

// ---------------------------------------------------------------------------------------------
// SQLite

int Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// What a journal file holds, as far as telling it from other files goes.
struct Identity {
  qint64 applicationId = 0;
  qint64 version = 0;
  qint64 objects = 0;  // tables, indexes, views, triggers

  bool IsJournal() const { return applicationId == kApplicationId; }
  bool IsEmpty() const { return applicationId == 0 && objects == 0; }
};

int ReadIdentity(sqlite3* db, Identity& id) {
  Statement st(db,
               "SELECT (SELECT application_id FROM pragma_application_id),"
               " (SELECT user_version FROM pragma_user_version),"
               " (SELECT count(*) FROM sqlite_master)");
  if (!st.ok()) return sqlite3_errcode(db);
  const int rc = st.Step();
  if (rc != SQLITE_ROW) return rc;
  id = {st.Int(0), st.Int(1), st.Int(2)};
  return SQLITE_OK;
}

// Binds the entry's values to ?first … in the order of EntryColumnNames().
void BindEntry(Statement& st, int first, const Entry& e, const QString& savedAt) {
  int i = first;
  st.Bind(i++, DateText(e.date));
  st.Bind(i++, e.board);
  st.Bind(i++, e.remark);
  for (const InputColumnInfo& c : InputColumns()) st.Bind(i++, InputColumnText(e.input, c));
  for (const QString& r : e.results.text) st.Bind(i++, r);
  for (const qint64 m : e.minutes) st.Bind(i++, m);
  st.Bind(i++, e.caseText);
  st.Bind(i++, e.warnings.join(u'\n'));
  st.Bind(i++, e.tablesSha256);
  st.Bind(i++, e.programVersion);
  st.Bind(i++, savedAt);
}

Entry ReadEntry(const Statement& st) {
  Entry e;
  int i = 0;
  e.number = st.Int(i++);
  e.date = QDate::fromString(st.Text(i++), Qt::ISODate);
  e.board = st.Text(i++);
  e.remark = st.Text(i++);
  for (const InputColumnInfo& c : InputColumns()) {
    const QString text = st.Text(i++);
    if (c.member) {
      e.input.*c.member = text;
    } else {
      e.input.dayNight = DayNightFromColumnText(text).value_or(DayNight::None);
    }
  }
  for (QString& r : e.results.text) r = st.Text(i++);
  for (qint64& m : e.minutes) m = st.Int(i++);
  e.caseText = st.Text(i++);
  e.warnings = st.Text(i++).split(u'\n', Qt::SkipEmptyParts);
  e.tablesSha256 = st.Text(i++);
  e.programVersion = st.Text(i++);
  e.savedAt = QDateTime::fromString(st.Text(i++), Qt::ISODate);
  return e;
}

std::optional<JournalError> CheckEntry(const Entry& e) {
  if (!e.date.isValid() || e.date.year() < 1900 || e.date.year() > 9999) {
    return JournalError{Kind::BadInput, u"дата полёта не указана или неверна"_s};
  }
  if (e.board.size() > kMaxBoardLength) {
    return JournalError{Kind::BadInput, u"бортовой номер длиннее %1 знаков"_s.arg(kMaxBoardLength)};
  }
  if (e.remark.size() > kMaxRemarkLength) {
    return JournalError{Kind::BadInput, u"примечание длиннее %1 знаков"_s.arg(kMaxRemarkLength)};
  }
  return std::nullopt;
}

QString Now() {
  return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

// The WHERE clause of a filter and its values, bound from ?1 on.
struct Where {
  QByteArray sql;
  QStringList values;
};

Where WhereOf(const Filter& f) {
  Where w;
  QList<QByteArray> terms;
  const auto add = [&](const char* term, const QString& value) {
    w.values << value;
    terms << QByteArray(term).replace('#', "?" + QByteArray::number(w.values.size()));
  };
  if (f.from.isValid()) add("flight_date >= #", DateText(f.from));
  if (f.to.isValid()) add("flight_date <= #", DateText(f.to));
  if (!f.type.isEmpty()) add("type = #", f.type);
  if (!terms.isEmpty()) w.sql = " WHERE " + terms.join(" AND ");
  return w;
}

void BindWhere(Statement& st, const Where& w) {
  for (int i = 0; i < w.values.size(); ++i) st.Bind(i + 1, w.values[i]);
}

const char* GroupKeySql(Grouping g) {
  switch (g) {
    case Grouping::None:
      return "''";
    case Grouping::Month:
      return "substr(flight_date, 1, 7)";
    case Grouping::Quarter:
      return "substr(flight_date, 1, 4) || '-Q' || "
             "((CAST(substr(flight_date, 6, 2) AS INTEGER) + 2) / 3)";
    case Grouping::Half:
      return "substr(flight_date, 1, 4) || '-H' || "
             "((CAST(substr(flight_date, 6, 2) AS INTEGER) + 5) / 6)";
    case Grouping::Year:
      return "substr(flight_date, 1, 4)";
    case Grouping::Type:
      return "type";
    case Grouping::DayNight:
      return "day_night";
  }
  return "''";
}

// The error of the write SQLite has just reported, when the system left one of `likely` in errno
// (SQLite does not always keep it); `otherwise` when it did not. An older errno of another kind (a
// file looked for and not found) says nothing about the failure.
int WriteErrno(int lastErrno, std::initializer_list<int> likely, int otherwise) {
  return std::find(likely.begin(), likely.end(), lastErrno) != likely.end() ? lastErrno : otherwise;
}

bool Writable(const QString& path) {
  return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The state of an open journal

struct Journal::State {
  QString path;
  Access access = Access::Read;
  int busyMilliseconds = kDefaultBusyMilliseconds;
  std::span<const SchemaStep> steps;
  int version = kSchemaVersion;  // what this program writes

  sqlite3* db = nullptr;
  bool standIn = false;  // db is an empty journal in memory: the file has no journal yet
  std::optional<JournalError> writeProblem;
  bool importOpen = false;

  ~State() { sqlite3_close(db); }

  QString Shown() const { return Quoted(path); }

  // What SQLite's last failure on `on` means, for the user, without the journal's name.
  std::pair<Kind, QString> Cause(sqlite3* on) const {
    const int lastErrno = errno;
    const int code = sqlite3_extended_errcode(on);
    const QString sqliteText = QString::fromUtf8(sqlite3_errmsg(on));
    switch (code & 0xff) {
      case SQLITE_BUSY:
      case SQLITE_LOCKED:
        return {Kind::Busy,
                u"файл занят другой программой, которая в него пишет (ждали %1 с); повторите "
                u"чуть позже"_s.arg(busyMilliseconds / 1000.0)};
      case SQLITE_READONLY:
        if (code == SQLITE_READONLY_ROLLBACK || code == SQLITE_READONLY_RECOVERY) {
          return {Kind::ReadOnly,
                  u"рядом с ним лежит незаконченная запись (%1): программа, которая писала "
                  u"журнал, была прервана. Откройте журнал для записи там, где на это есть "
                  u"права, и незаконченное изменение будет отменено"_s.arg(
                      Quoted(QFileInfo(path).fileName() + u"-journal"_s))};
        }
        return {Kind::ReadOnly, ReadOnlyReason()};
      case SQLITE_FULL:
        // A write cut short by the file size limit or a quota is also "full" to SQLite.
        return {Kind::DiskFull,
                files::SystemErrorText(WriteErrno(lastErrno, {EDQUOT, EFBIG}, ENOSPC))};
      case SQLITE_IOERR:
      case SQLITE_CANTOPEN: {
        int error = sqlite3_system_errno(on);
        if (error == 0) {
          error = WriteErrno(lastErrno, {ENOSPC, EDQUOT, EFBIG, EIO, EROFS, EACCES, EPERM}, 0);
        }
        const Kind kind =
            error == ENOSPC || error == EDQUOT || error == EFBIG ? Kind::DiskFull : Kind::Io;
        if (error != 0) return {kind, files::SystemErrorText(error)};
        return {kind, u"ошибка чтения или записи (%1)"_s.arg(sqliteText)};
      }
      case SQLITE_CORRUPT:
      case SQLITE_NOTADB:
        return {Kind::Damaged, u"файл повреждён (%1)"_s.arg(sqliteText)};
      case SQLITE_NOMEM:
        return {Kind::Failed, u"не хватает памяти"_s};
      default:
        break;
    }
    return {Kind::Failed, sqliteText};
  }

  QString ReadOnlyReason() const {
    const QFileInfo info(path);
    const QString real = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QString folder = QFileInfo(real).absolutePath();
    if (info.exists() && !Writable(real)) return u"нет права на запись в файл"_s;
    if (!Writable(folder)) {
      return u"нет права на запись в папку %1 (рядом с журналом при записи создаётся временный "
             u"файл)"_s.arg(Quoted(folder));
    }
    return u"журнал открыт только для чтения"_s;
  }

  // A failed change: "Журнал «…»: <cause>; <what was not done>, журнал не изменён."
  JournalError ChangeFailed(const QString& notDone) const {
    auto [kind, cause] = Cause(db);
    return {kind, u"Журнал %1: %2; %3, журнал не изменён."_s.arg(Shown(), cause, notDone)};
  }
  JournalError ReadFailed() const {
    auto [kind, cause] = Cause(db);
    return {kind,
            u"Журнал %1 не читается: %2.%3"_s.arg(
                Shown(), cause,
                kind == Kind::Damaged
                    ? u" Программа его не исправляет; восстановите журнал из резервной копии."_s
                    : QString())};
  }
  JournalError OpenFailed(sqlite3* on) const {
    auto [kind, cause] = Cause(on);
    return {kind, u"Журнал %1 не открывается: %2."_s.arg(Shown(), cause)};
  }

  Result<> OpenFile(bool create);
  Result<> PrepareForWriting(bool created);
  Result<> CheckIdentityForReading(const Identity& id);
  Result<> UseStandIn();
  Result<> Reopen();
  Result<> Refresh();
  Result<> Writing(const QString& notDone);
  Result<> Change(const QString& notDone, const std::function<Result<>()>& body);
  void Settle();
  Result<> Migrate(qint64 from);
  Result<> CopyTo(const QString& target, const QString& what);
};

// The checks that need no SQLite: the kind of file, its first bytes, its length.
Result<> CheckFile(const QString& path) {
  const QString shown = Quoted(path);
  if (path.isEmpty()) return JournalError{Kind::BadPath, u"Не указан файл журнала."_s};
  if (const QString what = files::NotARegularFile(path); !what.isEmpty()) {
    return JournalError{
        Kind::BadPath, u"Журнал %1 — %2, а не обычный файл; журнал — это файл."_s.arg(shown, what)};
  }
  const QFileInfo info(path);
  if (info.isSymLink() && !info.exists()) {
    return JournalError{Kind::BadPath,
                        u"Журнал %1 — ссылка на файл %2, которого нет (не "
                        u"подключён носитель?); по ней журнал не открывается."_s.arg(
                            shown, Quoted(info.symLinkTarget()))};
  }
  if (!info.exists()) return {};
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
    return JournalError{Kind::Io,
                        u"Журнал %1 не открывается для чтения: %2."_s.arg(shown, f.errorString())};
  }
  const QByteArray head = f.read(100);
  if (head.isEmpty()) return {};  // an empty file: a journal not yet begun
  const QString notJournal =
      u"Файл %1 — не журнал полётов: %2. Он не изменён; если это и был "
      u"журнал, он повреждён — восстановите его из резервной копии."_s;
  if (!head.startsWith(QByteArray("SQLite format 3\0", 16))) {
    return JournalError{Kind::NotAJournal, notJournal.arg(shown, u"это не база данных SQLite"_s)};
  }
  const auto damaged = [&](const QString& why) {
    return JournalError{Kind::Damaged,
                        u"Журнал %1 повреждён: %2. Файл не изменён; восстановите "
                        u"журнал из резервной копии."_s.arg(shown, why)};
  };
  if (head.size() < 100) return damaged(u"он обрезан (%1 байт)"_s.arg(head.size()));
  const auto number = [&head](int at, int bytes) {
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<unsigned char>(head.at(at + i));
    return v;
  };
  // The header's page count is valid when its change counter matches the version stamp; a journal
  // beside the file (a change that was not finished) may restore what is missing.
  const bool hasJournal = QFileInfo(path + u"-journal"_s).size() > 0;
  const quint64 pageSize = number(16, 2) == 1 ? 65536 : number(16, 2);
  const quint64 pages = number(24, 4) == number(92, 4) ? number(28, 4) : 1;
  const quint64 size = static_cast<quint64>(f.size());
  if (size < pageSize * std::max<quint64>(pages, 1) && !hasJournal) {
    return damaged(
        u"он обрезан (%1 байт из %2)"_s.arg(size).arg(pageSize * std::max<quint64>(pages, 1)));
  }
  return {};
}

// Opens the connection to the file, made when `create`. Reading uses a connection that may
// write when the file and folder allow it, so that SQLite can roll back a change a killed writer
// left unfinished; nothing else is ever written through it.
Result<> Journal::State::OpenFile(bool create) {
  sqlite3_close(db);
  db = nullptr;
  standIn = false;
  const QString real = QFileInfo(path).canonicalFilePath();
  const bool writable =
      access == Access::Write || (Writable(real) && Writable(QFileInfo(real).absolutePath()));
  int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
  if (create) flags |= SQLITE_OPEN_CREATE;
  sqlite3* opened = nullptr;
  const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &opened, flags, nullptr);
  if (rc != SQLITE_OK) {
    const JournalError e = OpenFailed(opened);
    sqlite3_close(opened);
    return e;
  }
  db = opened;
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, busyMilliseconds);
  if (Exec(db, "PRAGMA synchronous = FULL; PRAGMA cache_size = -8192") != SQLITE_OK)
    return OpenFailed(db);
  return {};
}

// An empty journal in memory, read while the file holds none.
Result<> Journal::State::UseStandIn() {
  sqlite3_close(db);
  db = nullptr;
  if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
          SQLITE_OK ||
      Exec(db, CreationSql()) != SQLITE_OK) {
    return JournalError{Kind::Failed,
                        u"Журнал %1 не открывается: не хватает памяти."_s.arg(Shown())};
  }
  standIn = true;
  return {};
}

Result<> Journal::State::CheckIdentityForReading(const Identity& id) {
  if (!id.IsJournal()) {
    return JournalError{Kind::NotAJournal,
                        u"Файл %1 — не журнал полётов: это база данных SQLite %2. Он не "
                        u"изменён."_s.arg(Shown(), id.applicationId == 0
                                                       ? u"другой программы"_s
                                                       : u"другой программы (её отметка %1)"_s.arg(
                                                             id.applicationId))};
  }
  if (id.version < 1) {
    return JournalError{Kind::Damaged,
                        u"Журнал %1 повреждён: в нём нет версии схемы. Файл не "
                        u"изменён."_s.arg(Shown())};
  }
  // The columns this program reads must be there, whatever the version.
  Statement entries(db, SelectEntries() + " LIMIT 0");
  Statement balance(db, "SELECT item, amount, as_of FROM opening_balance LIMIT 0");
  if (!entries.ok() || !balance.ok()) {
    if (id.version > version) {
      return JournalError{
          Kind::NewerVersion,
          u"Журнал %1 записан более новой версией программы (его схема %2, а эта "
          u"программа знает схему %3) и не читается ею. Файл не изменён."_s.arg(Shown())
              .arg(id.version)
              .arg(version)};
    }
    return JournalError{Kind::Damaged, u"Журнал %1 повреждён: %2. Файл не изменён."_s.arg(
                                           Shown(), QString::fromUtf8(sqlite3_errmsg(db)))};
  }
  return {};
}

// Makes the file ready for changes: the schema made in a file that has none, an older schema
// brought forward, the pages checked.
Result<> Journal::State::PrepareForWriting(bool created) {
  Identity id;
  if (ReadIdentity(db, id) != SQLITE_OK) return OpenFailed(db);
  if (id.IsEmpty()) {
    // Two programs may make the file at once: the one that gets the lock first makes the schema.
    if (Exec(db, "BEGIN IMMEDIATE") != SQLITE_OK) return OpenFailed(db);
    const auto undo = [this](JournalError e) {
      Exec(db, "ROLLBACK");
      return e;
    };
    if (ReadIdentity(db, id) != SQLITE_OK) return undo(OpenFailed(db));
    if (id.IsEmpty()) {
      QByteArray sql = CreationSql();
      for (const SchemaStep& s : steps) sql += s.sql + QByteArray(";\n");
      sql += "PRAGMA application_id = " + QByteArray::number(kApplicationId) + ";\n";
      sql += "PRAGMA user_version = " + QByteArray::number(version) + ";\n";
      if (Exec(db, sql.constData()) != SQLITE_OK || Exec(db, "COMMIT") != SQLITE_OK) {
        return undo(ChangeFailed(u"журнал не создан"_s));
      }
      return {};
    }
    if (Exec(db, "COMMIT") != SQLITE_OK) return undo(OpenFailed(db));
    created = false;
  }
  // Nothing is written to a file that is not a journal of this program's schema or an older one.
  if (!id.IsJournal() || id.version < 1) return CheckIdentityForReading(id);
  if (id.version > version) {
    return JournalError{Kind::NewerVersion,
                        u"Журнал %1 записан более новой версией программы (его схема %2, а эта "
                        u"программа знает схему %3): записывать в него можно только ею, "
                        u"читать — и этой. Файл не изменён."_s.arg(Shown())
                            .arg(id.version)
                            .arg(version)};
  }
  // Rollback journal beside the file, whatever another program may have set.
  if (Exec(db, "PRAGMA journal_mode = DELETE") != SQLITE_OK) return OpenFailed(db);
  if (!created) {
    // A damaged page found now is a refusal; written on, it could spread.
    Statement check(db, "PRAGMA quick_check(1)");
    if (!check.ok()) return OpenFailed(db);
    if (check.Step() != SQLITE_ROW) return OpenFailed(db);
    if (QString verdict = check.Text(0); verdict != u"ok"_s) {
      verdict.remove(u"*** in database main ***"_s);
      verdict = verdict.simplified();
      return JournalError{Kind::Damaged,
                          u"Журнал %1 повреждён (проверка страниц: %2). Программа в него не "
                          u"пишет и не исправляет его; файл не изменён. Восстановите журнал из "
                          u"резервной копии."_s.arg(Shown(), verdict.left(200))};
    }
  }
  if (id.version < version) {
    if (const Result<> r = Migrate(id.version); !r) return r;
    id.version = version;
  }
  return CheckIdentityForReading(id);
}

// Brings the journal from version `from` to this program's: a consistent copy of the file is kept
// beside it first; then every step, and the new version, in one transaction.
Result<> Journal::State::Migrate(qint64 from) {
  const QString kept = path + u".v%1.bak"_s.arg(from);
  if (const Result<> r = CopyTo(kept, u"копия журнала перед обновлением"_s); !r) {
    return JournalError{r.error().kind,
                        u"%1 Журнал не обновлён и не изменён."_s.arg(r.error().message)};
  }
  const QString notDone =
      u"журнал не обновлён со схемы %1 до %2 (копия прежнего — %3)"_s.arg(from).arg(version).arg(
          Quoted(kept));
  return Change(notDone, [&]() -> Result<> {
    Identity id;
    if (ReadIdentity(db, id) != SQLITE_OK) return ChangeFailed(notDone);
    if (id.version >= version) return {};  // another program has just done it
    QByteArray sql;
    for (const SchemaStep& s : steps) {
      if (s.from >= id.version) sql += s.sql + QByteArray(";\n");
    }
    sql += "PRAGMA user_version = " + QByteArray::number(version) + ";\n";
    if (Exec(db, sql.constData()) != SQLITE_OK) return ChangeFailed(notDone);
    return {};
  });
}

// Opens the file at `path` as Journal::Open describes: the checks, the connection, and for writing
// the schema brought forward and the pages checked. A file without a journal yet is read as the
// empty stand-in.
Result<> Journal::State::Reopen() {
  if (const Result<> r = CheckFile(path); !r) return r;
  const QFileInfo info(path);
  writeProblem.reset();
  if (access == Access::Read) {
    writeProblem = JournalError{Kind::ReadOnly, u"журнал открыт только для чтения"_s};
  }
  if (info.exists()) {
    const QString real = info.canonicalFilePath();
    if (!Writable(real) || !Writable(QFileInfo(real).absolutePath())) {
      const JournalError why{Kind::ReadOnly, ReadOnlyReason()};
      if (access == Access::Write) {
        return JournalError{Kind::ReadOnly,
                            u"Журнал %1 можно только читать: %2."_s.arg(Shown(), why.message)};
      }
      writeProblem = why;
    }
  }
  if (!info.exists() || info.size() == 0) return UseStandIn();
  if (const Result<> r = OpenFile(false); !r) return r;
  Identity id;
  if (ReadIdentity(db, id) != SQLITE_OK) return OpenFailed(db);
  // As a file that is not there: the schema is made with the first change.
  if (id.IsEmpty()) return UseStandIn();
  if (access == Access::Write) return PrepareForWriting(false);
  if (const Result<> r = CheckIdentityForReading(id); !r) return r;
  if (id.version > version) {
    writeProblem =
        JournalError{Kind::NewerVersion,
                     u"журнал записан более новой версией программы (его схема %1, а эта "
                     u"программа знает схему %2)"_s.arg(id.version)
                         .arg(version)};
  }
  return {};
}

// Before every operation: a file that had no journal when it was opened may have one now (another
// program wrote the first flight), and a journal may have been replaced by another file (put back
// from a copy): the connection would still reach the old one, and a flight written there would be
// lost with it. Either way the file is opened again.
Result<> Journal::State::Refresh() {
  if (importOpen) return {};  // the import's transaction holds the file as it is
  if (standIn) {
    if (QFileInfo(path).size() == 0) return {};
  } else {
    int moved = 0;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK || !moved) {
      return {};
    }
  }
  const Result<> r = Reopen();
  if (!r) (void)UseStandIn();
  return r;
}

// Ready for a change: opened for writing, and the file made when it has no journal yet.
Result<> Journal::State::Writing(const QString& notDone) {
  if (access == Access::Read) {
    const JournalError why =
        writeProblem.value_or(JournalError{Kind::ReadOnly, u"журнал открыт только для чтения"_s});
    return JournalError{why.kind,
                        u"Журнал %1 нельзя изменить: %2; %3."_s.arg(Shown(), why.message, notDone)};
  }
  if (importOpen) {
    return JournalError{
        Kind::Failed,
        u"Журнал %1: идёт импорт; %2 — сначала закончите импорт."_s.arg(Shown(), notDone)};
  }
  if (const Result<> r = Refresh(); !r) return r;
  if (!standIn) return {};
  const QString folder = QFileInfo(path).absolutePath();
  if (!QDir().mkpath(folder)) {
    return JournalError{
        Kind::Io, u"Журнал %1: папка %2 не создаётся; %3."_s.arg(Shown(), Quoted(folder), notDone)};
  }
  if (const Result<> r = OpenFile(true); !r) {
    (void)UseStandIn();
    return r;
  }
  if (const Result<> r = PrepareForWriting(true); !r) {
    (void)UseStandIn();
    return r;
  }
  return {};
}

// One change: BEGIN IMMEDIATE, `body`, COMMIT; anything that fails rolls everything back.
Result<> Journal::State::Change(const QString& notDone, const std::function<Result<>()>& body) {
  if (Exec(db, "BEGIN IMMEDIATE") != SQLITE_OK) return ChangeFailed(notDone);
  Result<> r = body();
  if (r && Exec(db, "COMMIT") != SQLITE_OK) r = ChangeFailed(notDone);
  if (!r && !sqlite3_get_autocommit(db)) Exec(db, "ROLLBACK");
  if (!r && r.error().kind != Kind::Busy) Settle();
  return r;
}

// After a failed change. A write that failed while SQLite was putting pages into the file (a full
// disk in the middle of a big import, when the changes no longer fit in memory) leaves its rollback
// undone: the file grown and half written, the old pages in the rollback journal beside it, for
// the next reader to put back. A read puts them back now, so that the file is again as it was
// before the change and no program that can only read it finds it in that state. (Not after a
// busy journal: nothing was written, and the read would wait for the other program again.)
void Journal::State::Settle() {
  if (!sqlite3_get_autocommit(db)) return;
  Statement read(db, "SELECT count(*) FROM sqlite_master");
  if (read.ok()) (void)read.Step();
}

// A consistent copy of the journal at `target`, by SQLite's backup API, written through a
// temporary file beside the target and put in place whole.
Result<> Journal::State::CopyTo(const QString& target, const QString& what) {
  files::FileWriter out(target);
  const QString scratch = out.Open() ? out.ScratchPath() : QString();
  // The writer's reasons name the file ("«x» не записан: …"): the copy is said, then the file.
  if (scratch.isEmpty()) {
    return JournalError{Kind::Io, u"%1: файл %2."_s.arg(what, out.failure())};
  }
  sqlite3* copy = nullptr;
  const auto fail = [&](sqlite3* on) {
    auto [kind, cause] = Cause(on);
    sqlite3_close(copy);
    out.Discard();
    const bool replacing = QFileInfo::exists(target);
    return JournalError{kind, u"%1 %2 не записана: %3%4."_s.arg(
                                  what, Quoted(target), cause,
                                  replacing ? u"; прежний файл не изменён"_s : QString())};
  };
  if (sqlite3_open_v2(QFile::encodeName(scratch).constData(), &copy,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    return fail(copy);
  }
  sqlite3_extended_result_codes(copy, 1);
  // The copy is a new file that the writer syncs and renames whole: it needs no journal of its
  // own, and no sync until then.
  if (Exec(copy, "PRAGMA journal_mode = OFF") != SQLITE_OK ||
      Exec(copy, "PRAGMA synchronous = OFF") != SQLITE_OK) {
    return fail(copy);
  }
  // The source is read in one transaction, taken with the journal's wait for a busy file.
  if (Exec(db, "BEGIN") != SQLITE_OK ||
      Exec(db, "SELECT count(*) FROM sqlite_master") != SQLITE_OK) {
    Exec(db, "ROLLBACK");
    return fail(db);
  }
  sqlite3_backup* backup = sqlite3_backup_init(copy, "main", db, "main");
  if (!backup) {
    Exec(db, "ROLLBACK");
    return fail(copy);
  }
  const int rc = sqlite3_backup_step(backup, -1);
  sqlite3_backup_finish(backup);
  Exec(db, "ROLLBACK");
  if (rc != SQLITE_DONE) return fail(copy);
  if (sqlite3_close(copy) != SQLITE_OK) return fail(copy);
  copy = nullptr;
  if (!out.Commit()) return JournalError{Kind::Io, u"%1: файл %2."_s.arg(what, out.failure())};
  return {};
}

// An import in progress: its transaction stays open on the journal's connection.
struct Import::State {
  Journal* journal = nullptr;
  qint64 lastBefore = 0;               // the highest entry number before the import
  std::unordered_set<qint64> matched;  // entries already taken as an imported entry's duplicate
  std::unique_ptr<Statement> insert;
  std::unique_ptr<Statement> same;
  std::optional<JournalError> failed;
  bool done = false;

  Journal::State& j() const { return *journal->s_; }
  void End(bool settle = true) {
    if (done) return;
    done = true;
    insert.reset();
    same.reset();
    if (!sqlite3_get_autocommit(j().db)) Exec(j().db, "ROLLBACK");
    if (settle) j().Settle();
    j().importOpen = false;
  }
  JournalError Fail(JournalError e) {
    End(e.kind != JournalError::Kind::Busy);
    failed = e;
    return e;
  }
};

// The opening balance as kept.
static Result<OpeningBalance> ReadBalance(const Journal::State& s) {
  Statement st(s.db, "SELECT item, amount, as_of FROM opening_balance");
  if (!st.ok()) return s.ReadFailed();
  OpeningBalance balance;
  for (;;) {
    const int rc = st.Step();
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) return s.ReadFailed();
    const QByteArray item = st.Text(0).toLatin1();
    int at = 0;
    while (at < kBalanceItemCount && BalanceItemName(at) != item) ++at;
    if (at == kBalanceItemCount) continue;
    balance.items[at] = BalanceValue{st.Int(1), QDate::fromString(st.Text(2), Qt::ISODate)};
  }
  return balance;
}

// ---------------------------------------------------------------------------------------------
// Journal

Journal::Journal(std::unique_ptr<State> state) : s_(std::move(state)) {}
Journal::~Journal() = default;

Result<std::unique_ptr<Journal>> Journal::Open(const QString& path, Access access,
                                               const Options& options) {
  auto s = std::make_unique<State>();
  s->path = path;
  s->access = access;
  s->busyMilliseconds = std::max(0, options.busyMilliseconds);
  s->steps = options.steps.empty() ? ProgramSteps() : options.steps;
  s->version = 1 + static_cast<int>(s->steps.size());
  if (const Result<> r = s->Reopen(); !r) return r.error();
  return std::unique_ptr<Journal>(new Journal(std::move(s)));
}

const QString& Journal::path() const {
  return s_->path;
}

bool Journal::exists() const {
  return QFileInfo::exists(s_->path);
}

const std::optional<JournalError>& Journal::writeProblem() const {
  return s_->writeProblem;
}

Result<qint64> Journal::Add(const Entry& entry) {
  const QString notDone = u"полёт не записан"_s;
  if (auto bad = CheckEntry(entry)) {
    return JournalError{bad->kind, u"Полёт не записан: %1."_s.arg(bad->message)};
  }
  if (Result<> r = s_->Writing(notDone); !r) return r.error();
  qint64 number = 0;
  const Result<> r = s_->Change(notDone, [&]() -> Result<> {
    Statement st(s_->db, "INSERT INTO entry (" + EntryColumnNames() + ") VALUES (?" +
                             QByteArray(", ?").repeated(kEntryValueCount - 1) + ")");
    if (!st.ok()) return s_->ChangeFailed(notDone);
    BindEntry(st, 1, entry, Now());
    if (st.Step() != SQLITE_DONE) return s_->ChangeFailed(notDone);
    number = sqlite3_last_insert_rowid(s_->db);
    return {};
  });
  if (!r) return r.error();
  return number;
}

Result<> Journal::Replace(qint64 number, const Entry& entry) {
  const QString notDone = u"запись № %1 не заменена"_s.arg(number);
  if (auto bad = CheckEntry(entry)) {
    return JournalError{bad->kind, u"Запись № %1 не заменена: %2."_s.arg(number).arg(bad->message)};
  }
  if (Result<> r = s_->Writing(notDone); !r) return r;
  return s_->Change(notDone, [&]() -> Result<> {
    QByteArray set;
    int i = 1;
    for (const QByteArray& column : EntryColumnNames().split(',')) {
      set += (set.isEmpty() ? "" : ", ") + column.trimmed() + " = ?" + QByteArray::number(i++);
    }
    Statement st(s_->db, "UPDATE entry SET " + set + " WHERE number = ?" + QByteArray::number(i));
    if (!st.ok()) return s_->ChangeFailed(notDone);
    BindEntry(st, 1, entry, Now());
    st.Bind(i, number);
    if (st.Step() != SQLITE_DONE) return s_->ChangeFailed(notDone);
    if (sqlite3_changes(s_->db) == 0) {
      return JournalError{
          Kind::NotFound,
          u"В журнале %1 нет записи № %2; журнал не изменён."_s.arg(s_->Shown()).arg(number)};
    }
    return {};
  });
}

Result<> Journal::Delete(qint64 number) {
  const QString notDone = u"запись № %1 не удалена"_s.arg(number);
  if (Result<> r = s_->Writing(notDone); !r) return r;
  return s_->Change(notDone, [&]() -> Result<> {
    Statement st(s_->db, "DELETE FROM entry WHERE number = ?1");
    if (!st.ok()) return s_->ChangeFailed(notDone);
    st.Bind(1, number);
    if (st.Step() != SQLITE_DONE) return s_->ChangeFailed(notDone);
    if (sqlite3_changes(s_->db) == 0) {
      return JournalError{
          Kind::NotFound,
          u"В журнале %1 нет записи № %2; журнал не изменён."_s.arg(s_->Shown()).arg(number)};
    }
    return {};
  });
}

Result<Entry> Journal::Get(qint64 number) {
  if (Result<> r = s_->Refresh(); !r) return r.error();
  Statement st(s_->db, SelectEntries() + " WHERE number = ?1");
  if (!st.ok()) return s_->ReadFailed();
  st.Bind(1, number);
  const int rc = st.Step();
  if (rc == SQLITE_ROW) return ReadEntry(st);
  if (rc == SQLITE_DONE) {
    return JournalError{Kind::NotFound,
                        u"В журнале %1 нет записи № %2."_s.arg(s_->Shown()).arg(number)};
  }
  return s_->ReadFailed();
}

Result<qint64> Journal::ForEach(const Filter& filter,
                                const std::function<bool(const Entry&)>& visit) {
  if (Result<> r = s_->Refresh(); !r) return r.error();
  const Where where = WhereOf(filter);
  Statement st(s_->db, SelectEntries() + where.sql + " ORDER BY flight_date, number");
  if (!st.ok()) return s_->ReadFailed();
  BindWhere(st, where);
  qint64 visited = 0;
  for (;;) {
    const int rc = st.Step();
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) return s_->ReadFailed();
    ++visited;
    if (!visit(ReadEntry(st))) break;
  }
  return visited;
}

Result<qint64> Journal::Count(const Filter& filter) {
  if (Result<> r = s_->Refresh(); !r) return r.error();
  const Where where = WhereOf(filter);
  Statement st(s_->db, "SELECT count(*) FROM entry" + where.sql);
  if (!st.ok()) return s_->ReadFailed();
  BindWhere(st, where);
  if (st.Step() != SQLITE_ROW) return s_->ReadFailed();
  return st.Int(0);
}

Result<Totals> Journal::Total(const Filter& filter, Grouping grouping) {
  if (Result<> r = s_->Refresh(); !r) return r.error();
  // The groups and the balance from one state of the file.
  if (Exec(s_->db, "BEGIN") != SQLITE_OK) return s_->ReadFailed();
  struct EndRead {
    sqlite3* db;
    ~EndRead() { Exec(db, "COMMIT"); }
  } endRead{s_->db};

  Totals totals;
  totals.grouping = grouping;
  // Summed by day first (and type, and day/night, where the groups need them), in the order of the
  // entry_totals index (no sorting), then those few rows by group. Each column more in the first
  // step costs a comparison per flight: by day alone it takes about half the time.
  const Where where = WhereOf(filter);
  QByteArray daySums;
  QByteArray groupSums;
  for (int i = 0; i < kResultCount; ++i) {
    const QByteArray n = QByteArray::number(i);
    daySums += ", sum(" + MinuteColumns()[i].toLatin1() + ") AS s" + n;
    groupSums += ", sum(s" + n + ")";
  }
  const QByteArray order = grouping == Grouping::DayNight
                               ? "CASE g WHEN 'day' THEN 0 WHEN 'night' THEN 1 ELSE 2 END"
                               : "g";
  const QByteArray days = grouping == Grouping::DayNight ? "flight_date, type, day_night"
                          : grouping == Grouping::Type   ? "flight_date, type"
                                                         : "flight_date";
  Statement st(s_->db, "SELECT " + QByteArray(GroupKeySql(grouping)) + " AS g, sum(n)" + groupSums +
                           " FROM (SELECT " + days + ", count(*) AS n" + daySums + " FROM entry" +
                           where.sql + " GROUP BY " + days + ") GROUP BY g ORDER BY " + order);
  if (!st.ok()) return s_->ReadFailed();
  BindWhere(st, where);
  for (;;) {
    const int rc = st.Step();
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) return s_->ReadFailed();
    TotalsGroup g;
    g.key = st.Text(0);
    g.sums.flights = st.Int(1);
    for (int i = 0; i < kResultCount; ++i) g.sums.minutes[i] = st.Int(2 + i);
    totals.flights.flights += g.sums.flights;
    for (int i = 0; i < kResultCount; ++i) totals.flights.minutes[i] += g.sums.minutes[i];
    totals.groups.push_back(std::move(g));
  }

  Result<OpeningBalance> balance = ReadBalance(*s_);
  if (!balance) return balance.error();
  totals.balance = *balance;
  totals.grand = totals.flights;
  for (int i = 0; i < kBalanceItemCount; ++i) {
    const std::optional<BalanceValue>& item = totals.balance.items[i];
    const bool counts = item && filter.type.isEmpty() &&
                        (!filter.from.isValid() || item->asOf >= filter.from) &&
                        (!filter.to.isValid() || item->asOf <= filter.to);
    totals.balanceCounted[i] = counts;
    if (!counts) continue;
    if (i == static_cast<int>(BalanceItem::Flights)) {
      totals.grand.flights += item->amount;
    } else {
      totals.grand.minutes[i - 1] += item->amount;
    }
  }
  return totals;
}

Result<OpeningBalance> Journal::Balance() {
  if (Result<> r = s_->Refresh(); !r) return r.error();
  return ReadBalance(*s_);
}

Result<> Journal::SetBalance(const OpeningBalance& balance) {
  const QString notDone = u"начальные итоги не записаны"_s;
  for (const auto& item : balance.items) {
    if (item && (item->amount < 0 || !item->asOf.isValid() || item->asOf.year() < 1900 ||
                 item->asOf.year() > 9999)) {
      return JournalError{Kind::BadInput,
                          u"Начальные итоги не записаны: у каждого нужны число не меньше 0 и "
                          u"дата, на которую оно подсчитано."_s};
    }
  }
  if (Result<> r = s_->Writing(notDone); !r) return r;
  return s_->Change(notDone, [&]() -> Result<> {
    if (Exec(s_->db, "DELETE FROM opening_balance") != SQLITE_OK) {
      return s_->ChangeFailed(notDone);
    }
    Statement st(s_->db, "INSERT INTO opening_balance (item, amount, as_of) VALUES (?1, ?2, ?3)");
    if (!st.ok()) return s_->ChangeFailed(notDone);
    for (int i = 0; i < kBalanceItemCount; ++i) {
      const std::optional<BalanceValue>& item = balance.items[i];
      if (!item) continue;
      st.Reset();
      st.Bind(1, QString::fromLatin1(BalanceItemName(i)));
      st.Bind(2, item->amount);
      st.Bind(3, DateText(item->asOf));
      if (st.Step() != SQLITE_DONE) return s_->ChangeFailed(notDone);
    }
    return {};
  });
}

Result<> Journal::Backup(const QString& target) {
  if (Result<> r = s_->Refresh(); !r) return r;
  if (s_->standIn) {
    return JournalError{Kind::NotFound,
                        u"Журнал %1 ещё не создан (в нём нет ни одного полёта): "
                        u"копировать нечего."_s.arg(s_->Shown())};
  }
  if (s_->importOpen) {
    return JournalError{Kind::Failed,
                        u"Журнал %1: идёт импорт; копия не сделана."_s.arg(s_->Shown())};
  }
  const QFileInfo to(target);
  if (to.exists() && to.canonicalFilePath() == QFileInfo(s_->path).canonicalFilePath()) {
    return JournalError{Kind::BadPath,
                        u"Копия журнала %1 не сделана: это сам журнал."_s.arg(s_->Shown())};
  }
  return s_->CopyTo(target, u"Копия журнала"_s);
}

Result<std::unique_ptr<Import>> Journal::BeginImport() {
  const QString notDone = u"импорт не начат"_s;
  if (Result<> r = s_->Writing(notDone); !r) return r.error();
  if (Exec(s_->db, "BEGIN IMMEDIATE") != SQLITE_OK) return s_->ChangeFailed(notDone);
  Statement last(s_->db, "SELECT coalesce(max(number), 0) FROM entry");
  if (!last.ok() || last.Step() != SQLITE_ROW) {
    const JournalError e = s_->ChangeFailed(notDone);
    Exec(s_->db, "ROLLBACK");
    return e;
  }
  auto state = std::make_unique<Import::State>();
  state->journal = this;
  state->lastBefore = last.Int(0);
  s_->importOpen = true;
  return std::unique_ptr<Import>(new Import(std::move(state)));
}

// ---------------------------------------------------------------------------------------------
// Import

Import::Import(std::unique_ptr<State> state) : s_(std::move(state)) {}

Import::~Import() {
  s_->End();
}

Result<bool> Import::Add(const Entry& entry) {
  if (s_->failed) return *s_->failed;
  if (s_->done) return JournalError{Kind::Failed, u"Импорт уже закончен."_s};
  Journal::State& j = s_->j();
  const QString notDone = u"импорт не выполнен"_s;
  if (auto bad = CheckEntry(entry)) {
    return s_->Fail({bad->kind, u"Импорт в журнал %1 не выполнен: %2; журнал не изменён."_s.arg(
                                    j.Shown(), bad->message)});
  }
  if (!s_->same) {
    QByteArray sql = "SELECT number FROM entry WHERE flight_date = ?1";
    int i = 2;
    for (const InputColumnInfo& c : InputColumns()) {
      sql += " AND " + c.name.toLatin1() + " = ?" + QByteArray::number(i++);
    }
    sql += " AND number <= ?" + QByteArray::number(i) + " ORDER BY number";
    s_->same = std::make_unique<Statement>(j.db, sql);
    s_->insert = std::make_unique<Statement>(
        j.db, "INSERT INTO entry (" + EntryColumnNames() + ") VALUES (?" +
                  QByteArray(", ?").repeated(kEntryValueCount - 1) + ")");
    if (!s_->same->ok() || !s_->insert->ok()) return s_->Fail(j.ChangeFailed(notDone));
  }
  Statement& same = *s_->same;
  same.Reset();
  int i = 1;
  same.Bind(i++, DateText(entry.date));
  for (const InputColumnInfo& c : InputColumns()) same.Bind(i++, InputColumnText(entry.input, c));
  same.Bind(i, s_->lastBefore);
  for (;;) {
    const int rc = same.Step();
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) return s_->Fail(j.ChangeFailed(notDone));
    if (s_->matched.insert(same.Int(0)).second) {
      ++counts_.duplicates;
      return false;
    }
  }
  Statement& insert = *s_->insert;
  insert.Reset();
  BindEntry(insert, 1, entry, Now());
  if (insert.Step() != SQLITE_DONE) return s_->Fail(j.ChangeFailed(notDone));
  ++counts_.added;
  return true;
}

Result<ImportCounts> Import::Commit() {
  if (s_->failed) return *s_->failed;
  if (s_->done) return JournalError{Kind::Failed, u"Импорт уже закончен."_s};
  Journal::State& j = s_->j();
  s_->insert.reset();
  s_->same.reset();
  if (Exec(j.db, "COMMIT") != SQLITE_OK) return s_->Fail(j.ChangeFailed(u"импорт не выполнен"_s));
  s_->done = true;
  j.importOpen = false;
  return counts_;
}

}  // namespace meltor::journal
