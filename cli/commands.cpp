// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "commands.h"

#include "command.h"
#include "command_support.h"

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

// Each command's path: its group's path and its name.
void SetPaths(Command& command, const QString& path) {
  command.path = path;
  for (Command& sub : command.subcommands) {
    SetPaths(sub, path.isEmpty() ? sub.name : path + u' ' + sub.name);
  }
}

}  // namespace

const Command& Program() {
  static const Command program = [] {
    Command p;
    p.description = {
        u"Время полёта для лётной книжки — в закрытой кабине, в облаках, за облаками, при "
        u"ограниченной видимости и всего в СМУ — по таблицам набора высоты, как в окне "
        u"программы."_s};
    p.subcommands = {CalcCommand(), BatchCommand(), TablesCommand(), JournalCommand()};
    SetPaths(p, {});
    return p;
  }();
  return program;
}

}  // namespace meltor::cli
