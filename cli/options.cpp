// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "options.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

const OptionInfo* Find(std::span<const OptionInfo> known, QStringView name) {
  const auto it = std::find_if(known.begin(), known.end(),
                               [name](const OptionInfo& s) { return s.name == name; });
  return it == known.end() ? nullptr : &*it;
}

}  // namespace

std::variant<ParsedOptions, UsageError> ParseOptions(const QStringList& args,
                                                     std::span<const OptionInfo> known) {
  ParsedOptions parsed;
  bool optionsEnded = false;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (optionsEnded || !arg.startsWith(u"--"_s)) {
      parsed.positionals << arg;
      continue;
    }
    if (arg == u"--"_s) {
      optionsEnded = true;
      continue;
    }
    const qsizetype eq = arg.indexOf(u'=');
    const QStringView name = QStringView(arg).mid(2, eq < 0 ? -1 : eq - 2);
    const OptionInfo* option = Find(known, name);
    if (!option) return UsageError{u"неизвестный параметр «%1»"_s.arg(arg)};
    if (parsed.has(option->name)) {
      return UsageError{u"параметр --%1 указан больше одного раза"_s.arg(option->name)};
    }
    QString value;
    if (option->takesValue()) {
      if (eq >= 0) {
        value = arg.mid(eq + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return UsageError{u"после --%1 нужно значение %2"_s.arg(option->name, option->valueName)};
      }
    } else if (eq >= 0) {
      return UsageError{u"параметр --%1 не принимает значения"_s.arg(option->name)};
    }
    parsed.values.insert(option->name, value);
  }
  return parsed;
}

QString OptionsHelp(std::span<const OptionInfo> known) {
  QStringList heads;
  qsizetype width = 0;
  for (const OptionInfo& s : known) {
    heads << (s.takesValue() ? u"--%1 %2"_s.arg(s.name, s.valueName) : u"--%1"_s.arg(s.name));
    width = std::max(width, heads.back().size());
  }
  QString text;
  for (std::size_t i = 0; i < known.size(); ++i) {
    text +=
        u"  "_s + heads[static_cast<qsizetype>(i)].leftJustified(width + 2) + known[i].help + u'\n';
  }
  return text;
}

}  // namespace meltor::cli
