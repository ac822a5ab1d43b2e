// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "command_support.h"

#include "file_writer.h"
#include "tables_file.h"

#include <QFileDevice>

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace meltor::cli {

void Print(QIODevice& device, const QString& text) {
  device.write(text.toUtf8());
}

int ReportFailure(Console& io, const QString& message) {
  Print(io.err, u"meltor-cli: %1\n"_s.arg(message));
  return kExitFailed;
}

QString Visible(const QString& text) {
  QString shown;
  shown.reserve(text.size());
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    const bool invisible = u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == 0xFEFF ||
                           (u >= 0x200B && u <= 0x200F) || u == 0x2060 || u == 0xFFFD;
    if (invisible) {
      shown += u"<U+%1>"_s.arg(QString::number(u, 16).toUpper().rightJustified(4, u'0'));
    } else {
      shown += c;
    }
  }
  return shown;
}

OptionSet TablesOption() {
  return {{.name = u"tables"_s,
           .valueName = u"FILE"_s,
           .help = u"файл таблиц набора высоты; без него — %1 рядом с программой или в "
                   u"../share/meltor"_s.arg(QString::fromLatin1(kTablesFileName)),
           .path = OptionInfo::Path::File}};
}

TablesLocation LocateTables(const ParsedOptions& options, const QString& option) {
  if (options.has(option)) {
    const QString path = options.value(option);
    return {path, {path}};
  }
  TablesLocation location;
  location.path = DefaultTablesPath(&location.searched);
  return location;
}

namespace {

// The system's words for the usual failures of a write, in Russian; any other text as it came. A
// file device tells only the system's text, not the error number.
QString WriteFailure(const QString& system) {
  for (const int code : {ENOSPC, EPIPE, EACCES, EPERM, EROFS, EDQUOT, EFBIG, EIO}) {
    if (system == QString::fromLocal8Bit(std::strerror(code))) return files::SystemErrorText(code);
  }
  return system;
}

}  // namespace

CheckedOutput::CheckedOutput(QIODevice& target)
    : target_(target), file_(qobject_cast<QFileDevice*>(&target)) {
  open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

void CheckedOutput::CheckTarget() {
  if (!failed() && file_ && file_->error() != QFileDevice::NoError) {
    failure_ = WriteFailure(file_->errorString());
  }
}

qint64 CheckedOutput::writeData(const char* data, qint64 size) {
  if (failed()) return -1;
  const qint64 written = target_.write(data, size);
  if (written != size) {
    failure_ = WriteFailure(target_.errorString());
    if (failure_.isEmpty()) {
      failure_ = u"записано %1 байт из %2"_s.arg(QString::number(written), QString::number(size));
    }
    return -1;
  }
  CheckTarget();
  return failed() ? -1 : size;
}

bool CheckedOutput::Finish() {
  if (file_ && !file_->flush() && !failed()) failure_ = WriteFailure(file_->errorString());
  CheckTarget();
  return !failed();
}

}  // namespace meltor::cli
