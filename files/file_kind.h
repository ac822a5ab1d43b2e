// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// What kind of file a path names, for every reader and writer that must refuse anything but a
// regular file before it touches it.

#include <QString>

namespace meltor::files {

// What `path` is when it is not a regular file (symlinks followed): "папка", "именованный канал",
// "устройство", "сокет". A pipe or a device would block or never end, so every reader of a file
// names it and refuses it before anything reads from it. Empty for a regular file, for a path
// that names nothing yet, and for a path that cannot be looked at (the open then says why).
QString NotARegularFile(const QString& path);

}  // namespace meltor::files
