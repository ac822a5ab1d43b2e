// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "options.h"

#include <QCommandLineParser>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

const OptionInfo* Find(const OptionSet& known, QStringView name) {
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

// What the parser could not read, in Russian: the parser stopped at `args`.
UsageError Refused(const QCommandLineParser& parser, const QStringList& args,
                   const OptionSet& known) {
  // "-height" reads as the bundle -h -e -i ...; say what was meant.
  for (const QString& arg : args) {
    if (arg == u"--"_s) break;
    const OptionInfo* meant = arg.startsWith(u'-') && !arg.startsWith(u"--"_s) && arg.size() > 2
                                  ? Find(known, QStringView(arg).mid(1))
                                  : nullptr;
    if (meant && meant->name.size() > 1) {
      return {u"неизвестный параметр «%1»; длинный параметр пишется с двумя дефисами: --%2"_s.arg(
          arg, meant->name)};
    }
  }
  const QStringList unknown = parser.unknownOptionNames();
  if (!unknown.isEmpty()) return {u"неизвестный параметр «%1»"_s.arg(Dashed(unknown.front()))};
  // A missing value or a value given to a flag: the option the parser stopped at is the last one
  // it saw.
  const QStringList seen = parser.optionNames();
  const OptionInfo* option = seen.isEmpty() ? nullptr : Find(known, seen.back());
  if (!option) return {parser.errorText()};
  if (option->takesValue()) {
    return {u"после --%1 нужно значение %2"_s.arg(option->name, option->valueName)};
  }
  return {u"параметр --%1 не принимает значения"_s.arg(option->name)};
}

}  // namespace

QString OptionInfo::Named() const {
  return shortName.isEmpty() ? u"--"_s + name : u"--%1 (-%2)"_s.arg(name, shortName);
}

OptionSet operator+(OptionSet a, const OptionSet& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::variant<ParsedOptions, UsageError> ParseOptions(const QStringList& args,
                                                     const OptionSet& known) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
  for (const OptionInfo& o : known) {
    QStringList names{o.name};
    if (!o.shortName.isEmpty()) names.prepend(o.shortName);
    parser.addOption(QCommandLineOption(names, o.help, o.valueName));
  }
  // The parser takes the first argument for the program's name.
  if (!parser.parse(QStringList{u"meltor-cli"_s} + args)) return Refused(parser, args, known);

  ParsedOptions parsed;
  for (const QString& name : parser.optionNames()) {
    const OptionInfo* option = Find(known, name);
    if (parsed.has(option->name)) {
      return UsageError{u"параметр --%1 указан больше одного раза"_s.arg(option->name)};
    }
    const QString value = option->takesValue() ? parser.value(option->name) : QString();
    if (option->path != OptionInfo::Path::None && value.isEmpty()) {
      return UsageError{u"--%1: пустое имя %2"_s.arg(
          option->name, option->path == OptionInfo::Path::File ? u"файла"_s : u"папки"_s)};
    }
    parsed.values.insert(option->name, value);
  }
  for (const OptionInfo& o : known) {
    if (o.required && !parsed.has(o.name)) return UsageError{u"нужен параметр "_s + o.Named()};
  }
  parsed.positionals = parser.positionalArguments();
  return parsed;
}

bool ValueFollows(const QString& word, const OptionSet& known) {
  if (!word.startsWith(u'-') || word == u"-"_s || word == u"--"_s) return false;
  if (word.startsWith(u"--"_s)) {
    if (word.contains(u'=')) return false;
    const OptionInfo* option = Find(known, QStringView(word).mid(2));
    return option && option->takesValue();
  }
  // Short options, perhaps bundled: the first that takes a value takes the rest of the word, or
  // the next argument when it ends the word.
  for (qsizetype i = 1; i < word.size(); ++i) {
    const OptionInfo* option = Find(known, QStringView(word).mid(i, 1));
    if (!option || option->shortName.isEmpty()) return false;
    if (option->takesValue()) return i == word.size() - 1;
  }
  return false;
}

bool HasFlag(const QStringList& args, const OptionSet& known, const QStringList& names) {
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == u"--"_s) return false;
    if (names.contains(arg)) return true;
    // The value of an option is no option, whatever it looks like.
    if (ValueFollows(arg, known)) ++i;
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

QString TwoColumns(const std::vector<std::pair<QString, QString>>& lines, int column) {
  QString text;
  for (const auto& [headText, body] : lines) {
    const QString head = u"  "_s + headText;
    const QString wrapped = Wrapped(body, column);
    if (head.size() + 2 <= column) {
      text += head.leftJustified(column) + wrapped.mid(column);
    } else {
      text += head + u'\n' + wrapped;
    }
  }
  return text;
}

QString OptionsHelp(const OptionSet& known) {
  // The descriptions start in one column for every command.
  constexpr int kDescriptionColumn = 26;
  std::vector<std::pair<QString, QString>> lines;
  for (const OptionInfo& o : known) lines.emplace_back(Head(o), o.help);
  return TwoColumns(lines, kDescriptionColumn);
}

}  // namespace meltor::cli
