// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The options of one command: "--name VALUE", "--name=VALUE" or a flag "--name". A value is
// always the next argument, even when it starts with a dash (a negative height); "--" ends the
// options.

#include <QHash>
#include <QString>
#include <QStringList>

#include <span>
#include <variant>

namespace meltor::cli {

struct OptionInfo {
  QString name;       // without the dashes
  QString valueName;  // empty for a flag
  QString help;

  bool takesValue() const { return !valueName.isEmpty(); }
};

struct ParsedOptions {
  QHash<QString, QString> values;  // options with a value; a flag maps to an empty text
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

// Unknown options, a missing value, a value given to a flag and an option given twice are usage
// errors.
std::variant<ParsedOptions, UsageError> ParseOptions(const QStringList& args,
                                                     std::span<const OptionInfo> known);

// The options as the help lists them, one per line, aligned.
QString OptionsHelp(std::span<const OptionInfo> known);

}  // namespace meltor::cli
