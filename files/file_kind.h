// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// What kind of file a path names, for every reader and writer that must refuse anything but a
// regular file before it touches it.

#include <QString>

class QFile;

namespace meltor::files {

// What `path` is when it is not a regular file (symlinks followed): "папка", "именованный канал",
// "устройство", "сокет". A pipe or a device would block or never end, so every reader of a file
// names it and refuses it before anything reads from it. Empty for a regular file, for a path
// that names nothing yet, and for a path that cannot be looked at (the open then says why).
QString NotARegularFile(const QString& path);

// Why `file` did not open for reading, in Russian: "такого файла нет", "это папка", "нет прав на
// чтение"… Qt's own reasons are English ("file to open is a directory") and the system's follow
// the locale; an unforeseen one is still given as Qt gives it.
QString OpenFailure(const QFile& file);

}  // namespace meltor::files
