// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// What the commands share: writing text, usage errors, and where the tables file is.

#include "commands.h"
#include "options.h"

#include <QFileDevice>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <vector>

namespace meltor::cli {

void Print(QIODevice& device, const QString& text);

// "meltor-cli: <message>" and a pointer to the help on the error stream; returns kExitUsage.
int ReportUsage(Console& io, const QString& message);

// "meltor-cli: <message>" on the error stream; returns kExitFailed.
int ReportFailure(Console& io, const QString& message);

// Input text as a message quotes it: control characters, byte order marks and other invisible
// characters become <U+XXXX>, so a message never holds a NUL or a character nobody can see.
QString Visible(const QString& text);

// The --tables option shared by every command that reads the tables file.
OptionInfo TablesOption();

// The file given with --tables, or the one the program finds next to itself.
struct TablesLocation {
  QString path;
  QStringList searched;  // for the message when the file is missing
};
TablesLocation LocateTables(const ParsedOptions& options);

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

int RunCalc(const QStringList& args, Console& io);
int RunBatch(const QStringList& args, Console& io);
int RunTables(const QStringList& args, Console& io);

// The options of each command, for its help and for finding --help among them.
const std::vector<OptionInfo>& CalcOptions();
const std::vector<OptionInfo>& BatchOptions();

// The help texts of the options of each command, for --help.
QString CalcOptionsHelp();
QString BatchOptionsHelp();
QString TablesOptionsHelp();

}  // namespace meltor::cli
