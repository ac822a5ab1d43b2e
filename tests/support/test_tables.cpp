// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "test_tables.h"

#include "errors.h"

#include <QFile>
#include <QTest>

#include <sqlite3.h>

namespace meltor::test {

void WriteTablesFile(const QString& path, const QString& sql) {
  QFile::remove(path);
  sqlite3* db = nullptr;
  const QByteArray p = path.toUtf8();
  if (sqlite3_open_v2(p.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    QFAIL(qPrintable(QStringLiteral("cannot create %1").arg(path)));
  }
  char* err = nullptr;
  const QByteArray s = sql.toUtf8();
  const int rc = sqlite3_exec(db, s.constData(), nullptr, nullptr, &err);
  const QString message = err ? QString::fromUtf8(err) : QString();
  sqlite3_free(err);
  sqlite3_close(db);
  QVERIFY2(rc == SQLITE_OK, qPrintable(message + QStringLiteral("\n") + sql));
}

QString ViewSql(const QString& name, const QList<QStringList>& rows) {
  // A base table with an ordering column keeps the records in the order given.
  int fields = 0;
  for (const auto& r : rows) fields = std::max(fields, static_cast<int>(r.size()));
  const QString base = QStringLiteral("t_") + name;
  QStringList cols;
  for (int i = 1; i <= fields; ++i) cols << QStringLiteral("f%1").arg(i);
  QString sql = QStringLiteral("CREATE TABLE \"%1\"(ord INTEGER, %2);\n").arg(base, cols.join(QStringLiteral(", ")));
  for (int i = 0; i < rows.size(); ++i) {
    QStringList values;
    for (int j = 0; j < fields; ++j) {
      const QString v = j < rows[i].size() ? rows[i][j] : QStringLiteral("NULL");
      bool numeric = false;
      v.toDouble(&numeric);
      values << (numeric || v == QStringLiteral("NULL") ? v : QStringLiteral("'%1'").arg(v));
    }
    sql += QStringLiteral("INSERT INTO \"%1\" VALUES(%2, %3);\n").arg(base).arg(i).arg(values.join(QStringLiteral(", ")));
  }
  sql += QStringLiteral("CREATE VIEW \"%1\" AS SELECT %2 FROM \"%3\" ORDER BY ord;\n")
             .arg(name, cols.join(QStringLiteral(", ")), base);
  return sql;
}

QString ClimbViewSql(const QString& name, const QList<QPair<int, int>>& rows) {
  QList<QStringList> r;
  for (const auto& [h, t] : rows) r << QStringList{QString::number(h), QString::number(t)};
  return ViewSql(name, r);
}

QString ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const CalcError& e) {
    return e.message();
  }
  return {};
}

}  // namespace meltor::test
