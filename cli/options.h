// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The options of one command, read by QCommandLineParser: "--name VALUE", "--name=VALUE", a short
// form "-n VALUE" or "-nVALUE", flags that may be bundled ("-de"). A value is always the next
// argument, even when it starts with a dash (a negative height); "--" ends the options.

#include <QHash>
#include <QString>
#include <QStringList>

#include <span>
#include <variant>

namespace meltor::cli {

// The widest line the help writes.
inline constexpr int kHelpWidth = 80;

struct OptionInfo {
  QString name;       // without the dashes
  QString valueName;  // empty for a flag
  QString help;
  QString shortName;  // one letter, or empty

  bool takesValue() const { return !valueName.isEmpty(); }
};

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

// Unknown options, a missing value, a value given to a flag, an option given twice and an empty
// file name (a value named FILE) are usage errors.
std::variant<ParsedOptions, UsageError> ParseOptions(const QStringList& args,
                                                     std::span<const OptionInfo> known);

// Whether `args` hold one of `names` ("--help", "-h") as an option, before "--" and not as the
// value of one of `known`.
bool HasFlag(const QStringList& args, std::span<const OptionInfo> known, const QStringList& names);

// The options as the help lists them, aligned and wrapped within kHelpWidth columns.
QString OptionsHelp(std::span<const OptionInfo> known);

// `text` wrapped at blanks within kHelpWidth columns, every line indented by `indent`.
QString Wrapped(const QString& text, int indent);

}  // namespace meltor::cli
