// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// One way to write a file, for every file the programs write: a logbook, a picture, CSV tables, a
// tables file.
//
// - A regular file, or a name not taken yet, is written under a temporary name beside it
//   ("logbook.csv.a1B2c3"); every write is checked, the data flushed and synced to the disk, and
//   only then is it renamed over the target (and the folder synced). On any failure the old file
//   stays as it was and the temporary file is removed, also when the program is stopped by SIGINT,
//   SIGTERM or SIGHUP. The new file keeps the permissions of the one it replaces.
// - A character or block device, a FIFO or a socket is written straight through: it is never
//   replaced and never removed. /dev/stdout and its kin are written through the descriptor the
//   program already has.
// - A symbolic link is followed to the file it finally names, which is then written as above; the
//   link stays. A link to nothing is refused (a stale link to an unmounted stick must not put the
//   file somewhere else), and so is a folder.
//
// Failures are told in Russian with their cause, for the caller to put a noun in front ("файл
// вывода", "рисунок"): "«out.csv» не записан: на диске нет места; прежний файл не изменён".
// Nothing here throws: each step of a writer says with a bool whether it went through and keeps
// the reason in failure(); ResolveTarget gives the target or why there is none.

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>

#include <memory>
#include <variant>
#include <vector>

namespace meltor::files {

// The system's words for an error number, in Russian ("на диске нет места" for ENOSPC); a number
// without words of its own is told with its number and the system's text.
QString SystemErrorText(int code);

// What a path names once its links are followed.
struct Target {
  enum class Kind {
    New,     // nothing yet: a file is made
    File,    // a regular file: replaced
    Stream,  // a device, FIFO or socket: written straight through
  };
  QString path;      // as given
  QString resolved;  // absolute; for a file every link followed, for a device the name given
  Kind kind = Kind::New;
};

// The target of a write, or why nothing can be written there ("«x» — папка, а не файл").
std::variant<Target, QString> ResolveTarget(const QString& path);

// Files put in place without waiting for the disk, and synced together before the program says
// they are written: for many small files that can always be made again (the pictures of a batch),
// where a sync for each would take most of the time. Each file is still written whole and
// checked before it replaces the old one; only the wait for the disk is shared.
class DeferredSync {
 public:
  // Syncs the filesystems of the files put in place since the last call. False: failure() says
  // why.
  bool Finish();
  const QString& failure() const { return failure_; }

 private:
  friend class FileWriter;
  QList<QByteArray> folders_;
  QString failure_;
};

// The write of one file. Open(), then write() (or ScratchPath() for a writer that writes the file
// by its own means), then Commit(); anything not committed is discarded.
class FileWriter final : public QIODevice {
 public:
  // With `later`, Commit() leaves the sync to later->Finish().
  explicit FileWriter(QString path, DeferredSync* later = nullptr);
  ~FileWriter() override;

  // Resolves the target and makes the temporary file (opens a device). False: failure() says why.
  bool Open();
  // For a writer with its own file access (SQLite): the path to write instead of write(). For a
  // file, the temporary file beside the target; for a device, a file in the system's temporary
  // folder whose bytes Commit() sends to the device. Empty on failure.
  QString ScratchPath();

  // Puts the file in place: the written data flushed and synced, renamed over the target.
  bool Commit();
  // Removes the temporary file; the target stays as it was.
  void Discard();

  // Whether the target is a device, FIFO or socket (valid after Open()).
  bool isStream() const;
  // "«out.csv» не записан: на диске нет места; прежний файл не изменён"
  const QString& failure() const { return failure_; }
  bool isSequential() const override { return true; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override;

 private:
  friend class FileSet;
  struct State;

  bool Fail(const QString& cause);
  bool FailErrno(int code) { return Fail(SystemErrorText(code)); }
  // Flushes, syncs and closes the temporary file; the rename is left to the caller.
  bool Finish();
  bool SendScratch();

  QString path_;
  DeferredSync* later_;
  QString failure_;
  std::unique_ptr<State> s_;
};

// Several files written all or none: each is written to its temporary file first; only when all
// are whole are they put in place, and a failure while putting them in place puts back the files
// already replaced. Devices and FIFOs cannot be taken back, so a set refuses them.
class FileSet {
 public:
  FileSet();
  ~FileSet();

  // Writes `bytes` to the temporary file of `path`. False: failure() says why, and nothing of the
  // set has been put in place.
  bool Add(const QString& path, const QByteArray& bytes);
  // Puts every file in place, or none. False: failure() says why and whether anything changed.
  bool Commit();
  const QString& failure() const { return failure_; }

 private:
  std::vector<std::unique_ptr<FileWriter>> files_;
  QString failure_;
};

}  // namespace meltor::files
