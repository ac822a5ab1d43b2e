// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Journal entries for tests and benchmarks: many flights, alike in form, different in content.

#include "journal.h"

namespace meltor::test {

// Flight `i` of a made-up logbook: dates over two years from 2023-01-01 (several flights share a
// day), the six types, day and night (every seventh without the choice), minutes of every size and
// the texts that go with them. The same `i` always gives the same entry; different `i` give
// different inputs.
journal::Entry SyntheticEntry(int i);

// A new journal at `path` holding SyntheticEntry(0) … SyntheticEntry(count - 1), numbered 1 …
// count, saved in one import. Empty, or why it could not be made.
QString MakeJournal(const QString& path, int count);

// Marks the journal at `path` as written by a newer program (its schema version one higher), as
// a newer program leaves it: readable by this one, not writable. Empty, or what failed.
QString MakeNewer(const QString& path);

}  // namespace meltor::test
