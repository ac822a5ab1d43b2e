// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// One prepared SQLite statement of the journal's, finalized when it goes out of scope. Internal to
// the journal room.
#pragma once

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

namespace meltor::journal {

class Statement {
 public:
  Statement(sqlite3* db, const QByteArray& sql) {
    rc_ = sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &st_, nullptr);
  }
  ~Statement() { sqlite3_finalize(st_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return rc_ == SQLITE_OK && st_; }
  sqlite3_stmt* get() const { return st_; }
  void Bind(int i, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(st_, i, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
  }
  void Bind(int i, qint64 value) { sqlite3_bind_int64(st_, i, value); }
  int Step() { return sqlite3_step(st_); }
  void Reset() {
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
  }
  QString Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st_, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(st_, column)) : QString();
  }
  qint64 Int(int column) const { return sqlite3_column_int64(st_, column); }

 private:
  sqlite3_stmt* st_ = nullptr;
  int rc_ = SQLITE_ERROR;
};

}  // namespace meltor::journal
