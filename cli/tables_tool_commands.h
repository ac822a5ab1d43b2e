// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The table keeper's subcommands of "tables": check, export, build and plot. What they do to the
// tables is in tables/ (type_tables.h and the tools it names); here is their command line.

#include "command.h"

namespace meltor::cli {

Command CheckCommand();
Command ExportCommand();
Command BuildCommand();
Command PlotCommand();

}  // namespace meltor::cli
