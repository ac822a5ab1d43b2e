// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// Builds a SQLite tables file from SQL text: mkdb INPUT.sql OUTPUT.mdb
// The output is written to a temporary name and renamed, so a failed build leaves no half file.
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
  const std::string out = argv[2];
  const std::string tmp = out + ".tmp";
  std::remove(tmp.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open(tmp.c_str(), &db) != SQLITE_OK) {
    std::fprintf(stderr, "mkdb: cannot create %s\n", tmp.c_str());
    return 1;
  }
  char* err = nullptr;
  const int rc = sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    std::fprintf(stderr, "mkdb: %s\n", err ? err : "error");
    sqlite3_free(err);
    sqlite3_close(db);
    std::remove(tmp.c_str());
    return 1;
  }
  sqlite3_close(db);
  if (std::rename(tmp.c_str(), out.c_str()) != 0) {
    std::fprintf(stderr, "mkdb: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
