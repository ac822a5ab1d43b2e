// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// What the commands share: writing text, failures, and where the tables file is; and the
// commands of the program, for its registry.

#include "command.h"
#include "commands.h"
#include "options.h"

#include <QFileDevice>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <vector>

namespace meltor::cli {

void Print(QIODevice& device, const QString& text);

// "meltor-cli: <message>" on the error stream; returns kExitFailed.
int ReportFailure(Console& io, const QString& message);

// Input text as a message quotes it: control characters, byte order marks and other invisible
// characters become <U+XXXX>, so a message never holds a NUL or a character nobody can see.
QString Visible(const QString& text);

// The --tables option of every command that reads the tables file.
OptionSet TablesOption();

// The file given with `option` (--tables), or the one the program finds next to itself.
struct TablesLocation {
  QString path;
  QStringList searched;  // for the message when the file is missing
};
TablesLocation LocateTables(const ParsedOptions& options,
                            const QString& option = QStringLiteral("tables"));

// Writes through to another device and remembers the first write that failed (a full disk, a
// closed pipe), so a command that wrote only part of its output does not end as a success.
class CheckedOutput final : public QIODevice {
 public:
  explicit CheckedOutput(QIODevice& target);

  // Pushes what the target holds back out and says whether every write went through.
  bool Finish();
  bool failed() const { return !failure_.isEmpty(); }
  const QString& failure() const { return failure_; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override;

 private:
  void CheckTarget();

  QIODevice& target_;
  QFileDevice* const file_;  // the target when it is a file, whose errors show at a flush
  QString failure_;
};

// The commands of the program (commands.cpp holds the registry).
Command CalcCommand();
Command BatchCommand();
Command TablesCommand();   // the group: list, show, check, export, build, plot
Command JournalCommand();  // the group: add, list, totals, import, export, backup, balance, delete

}  // namespace meltor::cli
