// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// The lines of a list of flights: the sorted numbers, then the fields of the lines in view.
#include "journal_rows.h"

#include "journal_statement.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace meltor::journal {

namespace {

using Kind = JournalError::Kind;

// The SQL each key sorts on.
const char* KeySql(RowKey key) {
  switch (key) {
    case RowKey::Number:
      return "number";
    case RowKey::Date:
      return "flight_date";
    case RowKey::Type:
      return "type";
    case RowKey::Board:
      return "board";
    case RowKey::FlightTime:
      return "CAST(hours AS INTEGER) * 60 + CAST(minutes AS INTEGER)";
    case RowKey::DayNight:
      return "CASE day_night WHEN 'day' THEN 0 WHEN 'night' THEN 1 ELSE 2 END";
    case RowKey::ZakKab:
      return "zak_kab_min";
    case RowKey::Obl:
      return "obl_min";
    case RowKey::ZaObl:
      return "za_obl_min";
    case RowKey::OgrVid:
      return "ogr_vid_min";
    case RowKey::Smu:
      return "smu_min";
    case RowKey::Remark:
      return "remark";
  }
  return "number";
}

}  // namespace

struct RowReader::State {
  QString path;
  int busyMilliseconds = kDefaultBusyMilliseconds;
  sqlite3* db = nullptr;

  ~State() { sqlite3_close(db); }

  JournalError Failed(sqlite3* on) const {
    const int code = on ? sqlite3_errcode(on) : SQLITE_CANTOPEN;
    QString cause;
    Kind kind = Kind::Failed;
    switch (code & 0xff) {
      case SQLITE_BUSY:
      case SQLITE_LOCKED:
        kind = Kind::Busy;
        cause =
            u"файл занят другой программой, которая в него пишет (ждали %1 с); повторите "
            u"чуть позже"_s.arg(busyMilliseconds / 1000.0);
        break;
      case SQLITE_CORRUPT:
      case SQLITE_NOTADB:
        kind = Kind::Damaged;
        cause = u"файл повреждён (%1)"_s.arg(QString::fromUtf8(sqlite3_errmsg(on)));
        break;
      case SQLITE_NOMEM:
        cause = u"не хватает памяти"_s;
        break;
      default:
        kind = code == SQLITE_CANTOPEN || (code & 0xff) == SQLITE_IOERR ? Kind::Io : Kind::Failed;
        cause = on ? QString::fromUtf8(sqlite3_errmsg(on)) : u"не открывается"_s;
        break;
    }
    return {kind, u"Журнал «%1» не читается: %2."_s.arg(path, cause)};
  }

  // Ready to read: true with `db` open, true with `db` null when there is no journal yet.
  Result<> Ready() {
    if (db) {
      int moved = 0;
      if (sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && !moved) {
        return {};
      }
      sqlite3_close(db);
      db = nullptr;
    }
    const QFileInfo info(path);
    if (!info.exists() || info.size() == 0) return {};
    // A connection that could write, where the rights allow it, lets SQLite roll back a change a
    // killed writer left unfinished before it reads; query_only keeps everything else from it.
    const QByteArray name = QFile::encodeName(info.canonicalFilePath());
    const bool writable = ::access(name.constData(), W_OK) == 0 &&
                          ::access(QFile::encodeName(info.absolutePath()).constData(), W_OK) == 0;
    sqlite3* opened = nullptr;
    const int flags =
        (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(name.constData(), &opened, flags, nullptr) != SQLITE_OK) {
      const JournalError e = Failed(opened);
      sqlite3_close(opened);
      return e;
    }
    db = opened;
    sqlite3_busy_timeout(db, busyMilliseconds);
    if (sqlite3_exec(db, "PRAGMA query_only = 1", nullptr, nullptr, nullptr) != SQLITE_OK) {
      return Failed(db);
    }
    Statement id(db, "SELECT application_id FROM pragma_application_id");
    if (!id.ok() || id.Step() != SQLITE_ROW) return Failed(db);
    if (id.Int(0) == 0) {  // an empty SQLite file: a journal not begun
      Statement objects(db, "SELECT count(*) FROM sqlite_master");
      if (objects.ok() && objects.Step() == SQLITE_ROW && objects.Int(0) == 0) {
        sqlite3_close(db);
        db = nullptr;
        return {};
      }
    }
    if (id.Int(0) != kApplicationId) {
      return JournalError{Kind::NotAJournal,
                          u"Файл «%1» — не журнал полётов; он не изменён."_s.arg(path)};
    }
    return {};
  }
};

RowReader::RowReader(QString path, int busyMilliseconds) : s_(std::make_unique<State>()) {
  s_->path = std::move(path);
  s_->busyMilliseconds = busyMilliseconds;
}

RowReader::~RowReader() = default;

Result<std::vector<qint64>> RowReader::Numbers(const Filter& filter, RowKey key, bool descending) {
  if (Result<> r = s_->Ready(); !r) return r.error();
  std::vector<qint64> numbers;
  if (!s_->db) return numbers;
  QByteArray sql = "SELECT number FROM entry";
  QList<QByteArray> terms;
  QStringList values;
  if (filter.from.isValid()) {
    values << DateText(filter.from);
    terms << "flight_date >= ?" + QByteArray::number(values.size());
  }
  if (filter.to.isValid()) {
    values << DateText(filter.to);
    terms << "flight_date <= ?" + QByteArray::number(values.size());
  }
  if (!filter.type.isEmpty()) {
    values << filter.type;
    terms << "type = ?" + QByteArray::number(values.size());
  }
  if (!terms.isEmpty()) sql += " WHERE " + terms.join(" AND ");
  const QByteArray direction = descending ? " DESC" : "";
  sql += QByteArray(" ORDER BY ") + KeySql(key) + direction;
  if (key != RowKey::Number) sql += ", number" + direction;
  Statement st(s_->db, sql);
  if (!st.ok()) return s_->Failed(s_->db);
  for (int i = 0; i < values.size(); ++i) st.Bind(i + 1, values[i]);
  for (;;) {
    const int rc = st.Step();
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) return s_->Failed(s_->db);
    numbers.push_back(st.Int(0));
  }
  return numbers;
}

Result<std::vector<Row>> RowReader::Read(std::span<const qint64> numbers) {
  if (Result<> r = s_->Ready(); !r) return r.error();
  std::vector<Row> rows(numbers.size());
  if (!s_->db || numbers.empty()) return rows;
  // One state of the file for the whole block, and one lock instead of one per line.
  if (sqlite3_exec(s_->db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return s_->Failed(s_->db);
  }
  struct EndRead {
    sqlite3* db;
    ~EndRead() { sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr); }
  } endRead{s_->db};
  Statement st(s_->db,
               "SELECT flight_date, type, board, hours, minutes, day_night, zak_kab, obl, za_obl, "
               "ogr_vid, smu, remark, warnings <> '' FROM entry WHERE number = ?1");
  if (!st.ok()) return s_->Failed(s_->db);
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    st.Reset();
    st.Bind(1, numbers[i]);
    const int rc = st.Step();
    if (rc == SQLITE_DONE) continue;  // deleted meanwhile
    if (rc != SQLITE_ROW) return s_->Failed(s_->db);
    Row& row = rows[i];
    row.number = numbers[i];
    row.date = QDate::fromString(st.Text(0), Qt::ISODate);
    row.type = st.Text(1);
    row.board = st.Text(2);
    row.hours = st.Text(3);
    row.minutes = st.Text(4);
    const QString dayNight = st.Text(5);
    row.dayNight = dayNight == u"day"_s     ? DayNight::Day
                   : dayNight == u"night"_s ? DayNight::Night
                                            : DayNight::None;
    for (int k = 0; k < kResultCount; ++k) row.results.text[k] = st.Text(6 + k);
    row.remark = st.Text(11);
    row.warned = st.Int(12) != 0;
  }
  return rows;
}

Result<QStringList> RowReader::Types() {
  if (Result<> r = s_->Ready(); !r) return r.error();
  QStringList types;
  if (!s_->db) return types;
  // The totals' index starts with the date, so the types come from a scan of it, not the rows.
  Statement st(s_->db, "SELECT DISTINCT type FROM entry ORDER BY type");
  if (!st.ok()) return s_->Failed(s_->db);
  for (;;) {
    const int rc = st.Step();
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) return s_->Failed(s_->db);
    types << st.Text(0);
  }
  return types;
}

}  // namespace meltor::journal
