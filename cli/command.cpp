// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "command.h"

#include "command_support.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

// The options every command takes, wherever they stand on the line.
QStringList HelpNames() {
  return {u"--help"_s, u"-h"_s};
}
QStringList VersionNames() {
  return {u"--version"_s, u"-V"_s};
}

Invocation HelpOf(const Command& command) {
  return {Invocation::Action::Help, &command, {}, {}};
}

Invocation UsageOf(const Command& command, const QString& message) {
  return {Invocation::Action::Usage, &command, {}, message};
}

// Every option that may stand before a group's subcommand: its own and its subcommands', so that
// the value of one is not taken for the subcommand.
OptionSet GroupOptions(const Command& group) {
  OptionSet all = group.options;
  for (const Command& sub : group.subcommands) {
    all = all + (sub.isGroup() ? GroupOptions(sub) : sub.options);
  }
  return all;
}

// Where the subcommand stands among `words`: the first word that is no option nor an option's
// value, or the word after "--"; -1 when there is none.
qsizetype SubcommandAt(const QStringList& words, const OptionSet& known) {
  for (qsizetype i = 0; i < words.size(); ++i) {
    const QString& word = words[i];
    if (word == u"--"_s) return i + 1 < words.size() ? i + 1 : -1;
    if (!word.startsWith(u'-') || word == u"-"_s) return i;
    if (ValueFollows(word, known)) ++i;
  }
  return -1;
}

// What a group's command line lacks: its subcommand, or one of that name.
Invocation WithoutSubcommand(const Command& group, const QStringList& words, qsizetype at) {
  const QString names = group.SubcommandNames();
  if (group.path.isEmpty()) {
    if (words.isEmpty()) return UsageOf(group, u"не указана команда: "_s + names);
    if (at < 0) {
      return UsageOf(group, u"неизвестный параметр «%1»; сначала команда: %2"_s.arg(
                                Visible(words.front()), names));
    }
    return UsageOf(group,
                   u"неизвестная команда «%1»; команды: %2"_s.arg(Visible(words[at]), names));
  }
  if (at < 0) return UsageOf(group, u"нужна подкоманда: "_s + names);
  return UsageOf(group,
                 u"неизвестная подкоманда «%1»; подкоманды: %2"_s.arg(Visible(words[at]), names));
}

QString VersionText() {
  return u"meltor-cli %1\n"_s.arg(QString::fromLatin1(MELTOR_VERSION_TEXT));
}

QString Paragraphs(const QStringList& paragraphs) {
  QString text;
  for (const QString& p : paragraphs)
    text += (text.isEmpty() ? QString() : u"\n"_s) + Wrapped(p, 0);
  return text;
}

// "meltor-cli tables build -o FILE [параметры] ПАПКА".
QString UsageLine(const Command& command) {
  QString line = u"Использование: meltor-cli "_s + command.path;
  if (command.isGroup()) return line + u" ПОДКОМАНДА [параметры]\n"_s;
  for (const OptionInfo& o : command.options) {
    if (o.required) {
      line +=
          (o.shortName.isEmpty() ? u" --"_s + o.name : u" -"_s + o.shortName) + u' ' + o.valueName;
    }
  }
  line += u" [параметры]"_s;
  if (!command.arguments.isEmpty()) line += u' ' + command.arguments;
  return line + u'\n';
}

// The subcommands of a group, one to a line with its summary.
QString SubcommandList(const Command& group) {
  std::vector<std::pair<QString, QString>> lines;
  qsizetype widest = 0;
  for (const Command& sub : group.subcommands) {
    const QString head = sub.arguments.isEmpty() ? sub.name : sub.name + u' ' + sub.arguments;
    widest = std::max(widest, head.size());
    lines.emplace_back(head, sub.summary);
  }
  return TwoColumns(lines, static_cast<int>(widest) + 6);
}

QString CommandHelp(const Command& command) {
  QString text = UsageLine(command) + u'\n' + Paragraphs(command.description);
  if (command.isGroup()) {
    text += u"\nПодкоманды:\n"_s + SubcommandList(command) +
            u"\n  Параметры подкоманды: meltor-cli %1 ПОДКОМАНДА --help.\n"_s.arg(command.path);
  }
  if (!command.options.empty()) text += u"\nПараметры:\n"_s + OptionsHelp(command.options);
  return text;
}

// The help of every command under `group`, each under its path.
QString EveryHelp(const Command& group) {
  QString text;
  for (const Command& sub : group.subcommands) {
    text += u"\n==== %1 ====\n"_s.arg(sub.path) + CommandHelp(sub);
    if (sub.isGroup()) text += EveryHelp(sub);
  }
  return text;
}

int Execute(const Invocation& invocation, Console& io) {
  switch (invocation.action) {
    case Invocation::Action::Help:
      Print(io.out, HelpText(*invocation.command));
      return kExitOk;
    case Invocation::Action::Version:
      Print(io.out, VersionText());
      return kExitOk;
    case Invocation::Action::Usage:
      return ReportUsage(io, *invocation.command, invocation.message);
    case Invocation::Action::Run:
      break;
  }
  return invocation.command->run(Call{*invocation.command, invocation.options}, io);
}

}  // namespace

const Command* Command::Subcommand(QStringView word) const {
  const auto it = std::find_if(subcommands.begin(), subcommands.end(),
                               [word](const Command& c) { return c.name == word; });
  return it == subcommands.end() ? nullptr : &*it;
}

QString Command::SubcommandNames() const {
  QStringList names;
  for (const Command& c : subcommands) names << c.name;
  const QString last = names.isEmpty() ? QString() : names.takeLast();
  return names.isEmpty() ? last : names.join(u", "_s) + u" или "_s + last;
}

int Call::Usage(Console& io, const QString& message) const {
  return ReportUsage(io, command, message);
}

int ReportUsage(Console& io, const Command& command, const QString& message) {
  const QString& path = command.path;
  Print(io.err, u"meltor-cli: %1%2\nСправка: meltor-cli %3--help\n"_s.arg(
                    path.isEmpty() ? QString() : path + u": "_s, message,
                    path.isEmpty() ? QString() : path + u' '));
  return kExitUsage;
}

bool Invocation::DrawsText() const {
  return action == Action::Run && command->drawsText && command->drawsText(options);
}

Invocation Resolve(const QStringList& args) {
  const Command& program = Program();
  if (args.value(0) == u"help"_s) {
    const Command* command = &program;
    for (const QString& word : args.mid(1)) {
      const Command* sub = command->Subcommand(word);
      if (!sub) break;
      command = sub;
    }
    return HelpOf(*command);
  }

  const Command* command = &program;
  QStringList words = args;
  while (command->isGroup()) {
    // Before the program's command stands no option; a group's options may come before its
    // subcommand.
    const bool root = command->path.isEmpty();
    const OptionSet known = root ? OptionSet{} : GroupOptions(*command);
    const qsizetype at = root ? (words.isEmpty() || words.front().startsWith(u'-') ? -1 : 0)
                              : SubcommandAt(words, known);
    const Command* sub = at >= 0 ? command->Subcommand(words[at]) : nullptr;
    if (!sub) {
      // "meltor-cli fly --help" names no command to help with; "tables drop --help" names the
      // group.
      if (!root || at < 0) {
        if (HasFlag(words, known, HelpNames())) return HelpOf(*command);
        if (HasFlag(words, known, VersionNames())) {
          if (root && words.size() > 1) {
            return UsageOf(*command, u"--version не принимает аргументов"_s);
          }
          return {Invocation::Action::Version, command, {}, {}};
        }
      }
      return WithoutSubcommand(*command, words, at);
    }
    words.removeAt(at);
    command = sub;
  }

  if (HasFlag(words, command->options, HelpNames())) return HelpOf(*command);
  if (HasFlag(words, command->options, VersionNames())) {
    return {Invocation::Action::Version, command, {}, {}};
  }
  auto parsed = ParseOptions(words, command->options);
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    return UsageOf(*command, usage->message);
  }
  ParsedOptions& options = std::get<ParsedOptions>(parsed);
  const qsizetype given = options.positionals.size();
  if (given < command->minArguments) return UsageOf(*command, command->missingArguments);
  if (given > command->maxArguments) {
    return UsageOf(*command, u"лишний аргумент «%1»"_s.arg(
                                 Visible(options.positionals[command->maxArguments])));
  }
  return {Invocation::Action::Run, command, std::move(options), {}};
}

int Run(const Invocation& invocation, Console& console) {
  CheckedOutput out(console.out);
  Console io{console.in, out, console.err, console.errIsTerminal, console.locale};
  const int code = Execute(invocation, io);
  if (!out.Finish()) {
    ReportFailure(console, u"вывод не записан: %1"_s.arg(out.failure()));
    return code == kExitOk ? kExitFailed : code;
  }
  return code;
}

int Run(const QStringList& args, Console& console) {
  return Run(Resolve(args), console);
}

QString HelpText(const Command& command) {
  if (!command.path.isEmpty()) return CommandHelp(command);
  std::vector<std::pair<QString, QString>> commands;
  qsizetype widest = 0;
  for (const Command& c : command.subcommands) {
    widest = std::max(widest, c.name.size());
    commands.emplace_back(c.name, c.summary);
  }
  return VersionText() + Paragraphs(command.description) + u"\nКоманды:\n"_s +
         TwoColumns(commands, static_cast<int>(widest) + 6) +
         u"\n  meltor-cli КОМАНДА --help   параметры команды\n"
         u"  meltor-cli --version        версия\n\n"_s +
         Wrapped(
             u"Коды выхода: 0 — успешно; 1 — ошибка расчёта, таблиц, данных или записи вывода "
             u"(сообщение в stderr); 2 — ошибка в командной строке."_s,
             0) +
         EveryHelp(command);
}

}  // namespace meltor::cli
