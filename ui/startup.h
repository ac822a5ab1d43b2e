// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// What the program settles before its window opens: Qt's own texts in Russian, and its command
// line.

#include <QString>
#include <QStringList>
#include <QTranslator>

#include <memory>
#include <optional>
#include <vector>

namespace meltor {

// The program speaks Russian only: its own texts are Russian literals, with no translation of
// their own. Qt's texts (the text boxes' context menu, the standard buttons, the command-line
// parser's messages) come from Qt's Russian translation (qtbase_ru, of qt6-translations-l10n),
// with the OK button written «ОК» in Cyrillic as a Russian desktop writes it. Installed for as
// long as the object lives; needs a QCoreApplication.
class Translations {
 public:
  Translations();

  // Whether Qt's Russian translation was found; without it Qt's own texts stay English.
  bool qtTranslated() const { return qtTranslated_; }

 private:
  std::vector<std::unique_ptr<QTranslator>> installed_;
  bool qtTranslated_ = false;
};

// The window program's command line: --help, --version, --tables FILE and --journal FILE.
class CommandLine {
 public:
  // What the command line asks for. `exitCode` set: print `out` and `err` and end with that
  // code, without opening the window. Otherwise open the window on `tablesPath` (empty: the
  // program's own tables file); `tablesProblem` says why that file cannot be used, as a
  // calculation would find it (missing, a folder, a device, not a tables file …). `journalPath`
  // is the journal of flights the window saves to (empty: the default one); it is opened only
  // when first needed, so a journal that cannot be used is told then.
  struct Outcome {
    std::optional<int> exitCode;
    QString out;
    QString err;
    QString tablesPath;
    QString tablesProblem;
    QString journalPath;
  };

  // When the arguments are read. Before the window system starts, they still hold its own
  // options (-platform, -style …): that first reading answers --help and --version, and leaves
  // anything it does not understand to the final one, after QApplication has taken out what is
  // its. The final reading also checks the tables file.
  enum class Pass { BeforeWindowSystem, Final };

  // `arguments` as QCoreApplication::arguments() gives them, the program first.
  static Outcome Parse(const QStringList& arguments, Pass pass = Pass::Final);
};

class MessageSink;

// The tables file the window opens on: the one the command line named when it can be used.
// Otherwise the pilot, who may have started the program from a menu and sees no terminal, is told
// why in a window and asked whether to go on with the program's own tables: empty for those,
// nullopt when they would rather quit.
std::optional<QString> ChooseTables(const CommandLine::Outcome& commandLine, MessageSink& messages);

}  // namespace meltor
