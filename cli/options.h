// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The one option system of meltor-cli. Every command names its options as an OptionSet; the
// options a command shares with another come from one named set (FlightOptions, TablesOption,
// ...) added to its own. ParseOptions reads them with QCommandLineParser: "--name VALUE",
// "--name=VALUE", a short form "-n VALUE" or "-nVALUE", flags that may be bundled ("-de"). A
// value is always the next argument, even when it starts with a dash (a negative height); "--"
// ends the options. Qt's own messages are English; ParseOptions says the same in Russian, here
// and nowhere else.

#include <QHash>
#include <QString>
#include <QStringList>

#include <utility>
#include <variant>
#include <vector>

namespace meltor::cli {

// The widest line the help writes.
inline constexpr int kHelpWidth = 80;

struct OptionInfo {
  // What the value names, where an empty value is a usage error.
  enum class Path { None, File, Folder };

  // Every member has its initializer, so that an option names only what it has: {.name = ...}.
  QString name{};       // without the dashes
  QString valueName{};  // empty for a flag
  QString help{};
  QString shortName{};  // one letter, or empty
  Path path = Path::None;
  bool required = false;  // a command line without it is a usage error

  bool takesValue() const { return !valueName.isEmpty(); }
  // "--type (-t)", as a message names the option.
  QString Named() const;
};

using OptionSet = std::vector<OptionInfo>;

// `a` followed by the options of `b`: a command's own options with a set it shares.
OptionSet operator+(OptionSet a, const OptionSet& b);

struct ParsedOptions {
  QHash<QString, QString> values;  // by long name; a flag maps to an empty text
  QStringList positionals;

  bool has(const QString& name) const { return values.contains(name); }
  QString value(const QString& name, const QString& fallback = {}) const {
    return values.value(name, fallback);
  }
};

// A command line the program cannot act on. Exit code 2.
struct UsageError {
  QString message;
};

// Unknown options, a missing value, a value given to a flag, an option given twice, an empty
// file or folder name and a required option left out are usage errors.
std::variant<ParsedOptions, UsageError> ParseOptions(const QStringList& args,
                                                     const OptionSet& known);

// Whether the value of `word`, an option of `known`, is the next argument: "--type", "-t" and
// "-dt" are followed by their value, "--type=L-39" and "-tL-39" hold it.
bool ValueFollows(const QString& word, const OptionSet& known);

// Whether `args` hold one of `names` ("--help", "-h") as an option, before "--" and not as the
// value of one of `known`.
bool HasFlag(const QStringList& args, const OptionSet& known, const QStringList& names);

// The options as the help lists them, aligned and wrapped within kHelpWidth columns.
QString OptionsHelp(const OptionSet& known);

// `text` wrapped at blanks within kHelpWidth columns, every line indented by `indent`.
QString Wrapped(const QString& text, int indent);

// Lines "  head   text" with the texts starting in `column` and wrapped within kHelpWidth; a head
// too wide for the column gets a line of its own.
QString TwoColumns(const std::vector<std::pair<QString, QString>>& lines, int column);

}  // namespace meltor::cli
