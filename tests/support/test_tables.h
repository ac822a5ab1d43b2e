// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Tables files for tests: small SQLite files made from SQL text.

#include <QString>

#include <functional>
#include <QTemporaryDir>

namespace meltor::test {

// Writes a new SQLite file at `path` from `sql` (several statements). Fails the test on error.
void WriteTablesFile(const QString& path, const QString& sql);

// The SQL of a view named `name` that yields `rows` in order; each inner list is one record.
// An element "NULL" or any non-numeric text is written as given (so tests can put text cells).
QString ViewSql(const QString& name, const QList<QStringList>& rows);

// A climb table view: one record (height, time) per pair.
QString ClimbViewSql(const QString& name, const QList<QPair<int, int>>& rows);

// The message of the CalcError `f` throws; empty when it throws none.
QString ErrorOf(const std::function<void()>& f);

}  // namespace meltor::test
