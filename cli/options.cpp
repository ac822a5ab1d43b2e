// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "options.h"

#include <QCommandLineParser>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

const OptionInfo* Find(std::span<const OptionInfo> known, QStringView name) {
  const auto it = std::find_if(known.begin(), known.end(), [name](const OptionInfo& s) {
    return s.name == name || (!s.shortName.isEmpty() && s.shortName == name);
  });
  return it == known.end() ? nullptr : &*it;
}

QString Dashed(const QString& name) {
  return (name.size() == 1 ? u"-"_s : u"--"_s) + name;
}

// "-t, --type TYPE" or "    --bom".
QString Head(const OptionInfo& o) {
  QString head = o.shortName.isEmpty() ? u"    "_s : u"-%1, "_s.arg(o.shortName);
  head += u"--"_s + o.name;
  if (o.takesValue()) head += u' ' + o.valueName;
  return head;
}

}  // namespace

std::variant<ParsedOptions, UsageError> ParseOptions(const QStringList& args,
                                                     std::span<const OptionInfo> known) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
  for (const OptionInfo& o : known) {
    QStringList names{o.name};
    if (!o.shortName.isEmpty()) names.prepend(o.shortName);
    parser.addOption(QCommandLineOption(names, o.help, o.valueName));
  }
  // The parser takes the first argument for the program's name.
  if (!parser.parse(QStringList{u"meltor-cli"_s} + args)) {
    const QStringList unknown = parser.unknownOptionNames();
    // "-height" reads as the bundle -h -e -i ...; say what was meant.
    for (const QString& arg : args) {
      if (arg == u"--"_s) break;
      const OptionInfo* meant = arg.startsWith(u'-') && !arg.startsWith(u"--"_s) && arg.size() > 2
                                    ? Find(known, QStringView(arg).mid(1))
                                    : nullptr;
      if (meant && meant->name.size() > 1) {
        return UsageError{
            u"неизвестный параметр «%1»; длинный параметр пишется с двумя "
            u"дефисами: --%2"_s.arg(arg, meant->name)};
      }
    }
    if (!unknown.isEmpty()) {
      return UsageError{u"неизвестный параметр «%1»"_s.arg(Dashed(unknown.front()))};
    }
    // A missing value or a value given to a flag: the option the parser stopped at is the last
    // one it saw.
    const QStringList seen = parser.optionNames();
    const OptionInfo* option = seen.isEmpty() ? nullptr : Find(known, seen.back());
    if (!option) return UsageError{parser.errorText()};
    if (option->takesValue()) {
      return UsageError{u"после --%1 нужно значение %2"_s.arg(option->name, option->valueName)};
    }
    return UsageError{u"параметр --%1 не принимает значения"_s.arg(option->name)};
  }

  ParsedOptions parsed;
  for (const QString& name : parser.optionNames()) {
    const OptionInfo* option = Find(known, name);
    if (parsed.has(option->name)) {
      return UsageError{u"параметр --%1 указан больше одного раза"_s.arg(option->name)};
    }
    parsed.values.insert(option->name,
                         option->takesValue() ? parser.value(option->name) : QString());
    if (option->valueName == u"FILE"_s && parsed.value(option->name).isEmpty()) {
      return UsageError{u"--%1: пустое имя файла"_s.arg(option->name)};
    }
  }
  parsed.positionals = parser.positionalArguments();
  return parsed;
}

bool HasFlag(const QStringList& args, std::span<const OptionInfo> known, const QStringList& names) {
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == u"--"_s) return false;
    if (names.contains(arg)) return true;
    if (!arg.startsWith(u'-') || arg.contains(u'=')) continue;
    // The value of an option is no option, whatever it looks like.
    const OptionInfo* option = Find(known, QStringView(arg).mid(arg.startsWith(u"--"_s) ? 2 : 1));
    if (option && option->takesValue()) ++i;
  }
  return false;
}

QString Wrapped(const QString& text, int indent) {
  const QString pad(indent, u' ');
  QString out;
  QString line;
  for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
    if (!line.isEmpty() && indent + line.size() + 1 + word.size() > kHelpWidth) {
      out += pad + line + u'\n';
      line.clear();
    }
    line += (line.isEmpty() ? QString() : u" "_s) + word;
  }
  if (!line.isEmpty()) out += pad + line + u'\n';
  return out;
}

QString OptionsHelp(std::span<const OptionInfo> known) {
  // The descriptions start in one column; a head too wide for it gets a line of its own.
  constexpr int kDescriptionColumn = 26;
  QString text;
  for (const OptionInfo& o : known) {
    const QString head = u"  "_s + Head(o);
    const QString body = Wrapped(o.help, kDescriptionColumn);
    if (head.size() + 2 <= kDescriptionColumn) {
      text += head.leftJustified(kDescriptionColumn) + body.mid(kDescriptionColumn);
    } else {
      text += head + u'\n' + body;
    }
  }
  return text;
}

}  // namespace meltor::cli
