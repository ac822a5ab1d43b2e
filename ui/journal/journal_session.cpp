// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "journal_session.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>

namespace meltor {

using journal::Journal;
using journal::JournalError;
using journal::Result;

namespace {

bool Writable(const QString& path) {
  return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

}  // namespace

JournalSession::JournalSession(const QString& path, int busyMilliseconds)
    : path_(path.isEmpty() ? journal::DefaultJournalPath() : path),
      busyMilliseconds_(busyMilliseconds),
      rows_(path_, busyMilliseconds) {}

JournalSession::~JournalSession() = default;

Result<Journal*> JournalSession::Reader() {
  if (!reader_) {
    Journal::Options options;
    options.busyMilliseconds = busyMilliseconds_;
    auto opened = Journal::Open(path_, Journal::Access::Read, options);
    if (!opened) return opened.error();
    reader_ = std::move(*opened);
  }
  return reader_.get();
}

Result<Journal*> JournalSession::Writer() {
  if (!writer_) {
    Journal::Options options;
    options.busyMilliseconds = busyMilliseconds_;
    auto opened = Journal::Open(path_, Journal::Access::Write, options);
    if (!opened) return opened.error();
    writer_ = std::move(*opened);
  }
  return writer_.get();
}

std::optional<QString> JournalSession::ReadOnlyReason() {
  if (writer_) return std::nullopt;
  const auto reader = Reader();
  if (!reader) return std::nullopt;  // the listing says why it cannot be read
  // A journal opened for reading always has a reason not to write; it is the real one when the
  // journal is a newer program's or the rights are missing.
  const std::optional<JournalError>& problem = (*reader)->writeProblem();
  if (!problem) return std::nullopt;
  if (problem->kind == JournalError::Kind::NewerVersion) return problem->message;
  const QFileInfo info(path_);
  if (!info.exists()) return std::nullopt;
  const QString real = info.canonicalFilePath();
  if (Writable(real) && Writable(QFileInfo(real).absolutePath())) return std::nullopt;
  return problem->message;
}

}  // namespace meltor
