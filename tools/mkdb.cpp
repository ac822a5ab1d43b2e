// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// Builds a SQLite tables file from SQL text: mkdb INPUT.sql OUTPUT.mdb
// The output is written as every file of the programs is (files::FileWriter): under a temporary
// name beside it, renamed into place only when whole, so a failed or stopped build leaves no half
// file and no temporary one.
#include "file_writer.h"

#include <QFile>
#include <QString>

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: mkdb INPUT.sql OUTPUT.mdb\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "mkdb: cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream sql;
  sql << in.rdbuf();
  meltor::files::FileWriter out(QFile::decodeName(argv[2]));
  const QString scratch = out.Open() ? out.ScratchPath() : QString();
  if (scratch.isEmpty()) {
    std::fprintf(stderr, "mkdb: %s\n", out.failure().toLocal8Bit().constData());
    return 1;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open(QFile::encodeName(scratch).constData(), &db) != SQLITE_OK) {
    std::fprintf(stderr, "mkdb: cannot create %s\n", argv[2]);
    sqlite3_close(db);
    return 1;
  }
  char* err = nullptr;
  const int rc = sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    std::fprintf(stderr, "mkdb: %s\n", err ? err : "error");
    sqlite3_free(err);
    sqlite3_close(db);
    return 1;
  }
  if (sqlite3_close(db) != SQLITE_OK) {
    std::fprintf(stderr, "mkdb: cannot write %s\n", argv[2]);
    return 1;
  }
  if (!out.Commit()) {
    std::fprintf(stderr, "mkdb: %s\n", out.failure().toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
