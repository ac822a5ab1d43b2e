// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "file_kind.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace meltor::files {

QString NotARegularFile(const QString& path) {
  namespace fs = std::filesystem;
#ifdef _WIN32
  const fs::path native(path.toStdWString());
#else
  const fs::path native(QFile::encodeName(path).toStdString());
#endif
  std::error_code ec;
  const fs::file_status status = fs::status(native, ec);
  if (ec && status.type() != fs::file_type::not_found) return {};
  switch (status.type()) {
    case fs::file_type::regular:
    case fs::file_type::not_found:
      return {};
    case fs::file_type::directory:
      return QStringLiteral("папка");
    case fs::file_type::fifo:
      return QStringLiteral("именованный канал");
    case fs::file_type::character:
    case fs::file_type::block:
      return QStringLiteral("устройство");
    case fs::file_type::socket:
      return QStringLiteral("сокет");
    default:
      return QStringLiteral("файл особого типа");
  }
}

QString OpenFailure(const QFile& file) {
  const QFileInfo info(file.fileName());
  if (info.isDir()) return QStringLiteral("это папка");
  if (info.isSymLink() && !info.exists()) return QStringLiteral("это ссылка на файл, которого нет");
  if (!info.exists()) return QStringLiteral("такого файла нет");
  if (!info.isReadable()) return QStringLiteral("нет прав на чтение");
  return file.errorString();
}

}  // namespace meltor::files
