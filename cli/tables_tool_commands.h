// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The table keeper's sub-commands of "tables": export, build, check and plot.

#include "commands.h"

#include <optional>

namespace meltor::cli {

// Runs `args` (the words after "tables") when they start with one of these sub-commands and
// returns the exit code; nullopt for any other sub-command.
std::optional<int> RunTableTools(const QStringList& args, Console& io);

}  // namespace meltor::cli
