// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "file_writer.h"

#include "temp_registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

using namespace Qt::StringLiterals;

namespace meltor::files {

namespace {

constexpr int kMaxLinks = 40;                  // as the kernel follows them
constexpr qsizetype kBufferBytes = 64 * 1024;  // written out in pieces of this size
constexpr qsizetype kMaxBaseBytes = 200;       // of a name, in a temporary name beside it

QString Quoted(const QString& path) {
  return u"«%1»"_s.arg(path);
}

QByteArray Encoded(const QString& path) {
  return QFile::encodeName(path);
}

QString Decoded(const QByteArray& path) {
  return QFile::decodeName(path);
}

QByteArray FolderOf(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  if (slash < 0) return ".";
  return slash == 0 ? QByteArray("/") : path.left(slash);
}

// Writes every byte; the error number of the first failure, or 0.
int WriteAll(int fd, const char* data, qint64 size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, static_cast<std::size_t>(std::min<qint64>(size, 1 << 30)));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    size -= n;
  }
  return 0;
}

// fsync(), where the file can be synced at all: a FIFO, a terminal or a folder on some
// filesystems cannot, and that is no failure.
int Sync(int fd) {
  if (::fsync(fd) == 0) return 0;
  return errno == EINVAL || errno == ENOTSUP || errno == EROFS ? 0 : errno;
}

int SyncFolder(const QByteArray& folder) {
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;  // a folder that cannot be opened for reading cannot be synced either
  const int error = Sync(fd);
  ::close(fd);
  return error;
}

int Close(int& fd) {
  if (fd < 0) return 0;
  const int result = ::close(fd);
  fd = -1;
  return result == 0 || errno == EINTR ? 0 : errno;
}

QByteArray RandomSuffix() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  QByteArray suffix(6, '\0');
  for (char& c : suffix) c = kLetters[QRandomGenerator::global()->bounded(62)];
  return suffix;
}

// A new file beside `path`, "path.a1B2c3", registered for removal on a signal. The descriptor, or
// -1 and the error number.
int MakeTemporary(const QByteArray& path, mode_t mode, QByteArray& made, TempRegistration& reg,
                  int& error) {
  const QByteArray folder = FolderOf(path);
  QByteArray base = path.mid(path.lastIndexOf('/') + 1);
  if (base.size() > kMaxBaseBytes) base.truncate(kMaxBaseBytes);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QByteArray name = folder + '/' + base + '.' + RandomSuffix();
    const SignalsHeld held;  // made and registered as one step
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      made = name;
      reg = TempRegistration(name);
      return fd;
    }
    if (errno != EEXIST) break;
  }
  error = errno;
  return -1;
}

// /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N name a descriptor the program already
// has: it is written as the shell writes it, through a copy of the descriptor, not by opening the
// file again (a socket cannot be opened so, nor a pipe that belongs to another user). -1 for any
// other name.
int InheritedDescriptor(const QString& path) {
  static const QRegularExpression names(
      u"^/(?:dev/(?:std(out|err)|fd/([0-9]{1,9}))|proc/self/fd/([0-9]{1,9}))$"_s);
  const QRegularExpressionMatch m = names.match(path);
  if (!m.hasMatch()) return -1;
  if (m.captured(1) == u"out"_s) return 1;
  if (m.captured(1) == u"err"_s) return 2;
  return (m.captured(2) + m.captured(3)).toInt();
}

// A link is followed where the kernel would follow it: not a link in a shared folder (sticky and
// writable by all, as /tmp) that belongs neither to this user nor to the folder's owner, which
// another user may have planted to make this program write where he cannot.
bool Trusted(const QByteArray& link, const struct stat& st) {
  struct stat folder {};
  if (::stat(FolderOf(link).constData(), &folder) != 0) return true;
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || st.st_uid == ::geteuid() || st.st_uid == folder.st_uid;
}

}  // namespace

QString SystemErrorText(int code) {
  static const std::pair<int, const char16_t*> known[] = {
      {ENOSPC, u"на диске нет места"},
      {EDQUOT, u"исчерпана дисковая квота"},
      {EACCES, u"нет прав на запись"},
      {EPERM, u"операция не разрешена (нет прав)"},
      {EROFS, u"файловая система только для чтения"},
      {EFBIG, u"файл больше, чем разрешено записывать (предел размера файла)"},
      {EIO, u"ошибка ввода-вывода (носитель повреждён или отключён)"},
      {EPIPE, u"программа, читавшая вывод, закрыла канал"},
      {ENOENT, u"нет такого файла или папки"},
      {ENOTDIR, u"часть пути — не папка"},
      {EISDIR, u"это папка"},
      {ENOTEMPTY, u"на этом месте непустая папка"},
      {EEXIST, u"файл уже есть"},
      {ENAMETOOLONG, u"слишком длинное имя"},
      {ELOOP, u"слишком много символических ссылок подряд (ссылки по кругу?)"},
      {EBUSY, u"файл или устройство занято"},
      {ETXTBSY, u"файл занят: это запущенная программа"},
      {ENXIO, u"нет такого устройства"},
      {ENODEV, u"нет такого устройства"},
      {EXDEV, u"файлы на разных файловых системах"},
      {EMFILE, u"открыто слишком много файлов"},
      {ENFILE, u"в системе открыто слишком много файлов"},
      {ENOMEM, u"не хватает памяти"},
      {EMLINK, u"слишком много ссылок на файл"},
      {EAGAIN, u"устройство сейчас не принимает данные"},
      {EINVAL, u"в такой файл так не пишут"},
  };
  for (const auto& [number, words] : known) {
    if (number == code) return QString::fromUtf16(words);
  }
  return u"системная ошибка %1 (%2)"_s.arg(QString::number(code),
                                           QString::fromLocal8Bit(std::strerror(code)));
}

std::variant<Target, QString> ResolveTarget(const QString& path) {
  if (path.isEmpty()) return u"не указано имя файла"_s;
  Target target;
  target.path = path;
  const QString shown = Quoted(path);
  QByteArray current = Encoded(QFileInfo(path).absoluteFilePath());
  // What the kernel finds at the end of the links, first: a device, FIFO or socket is opened by
  // the name given, which also serves the links of /proc that name no path (/dev/stdout on a
  // pipe: "pipe:[1234]").
  struct stat followed {};
  const bool exists = ::stat(current.constData(), &followed) == 0;
  if (exists && S_ISDIR(followed.st_mode)) return u"%1 — папка, а не файл"_s.arg(shown);
  if (exists && !S_ISREG(followed.st_mode)) {
    target.resolved = Decoded(current);
    target.kind = Target::Kind::Stream;
    return target;
  }
  // A file, or a new name: the links are followed one by one, to put the temporary file beside
  // the file itself and to tell a link to nothing by its name.
  for (int links = 0;; ++links) {
    struct stat st {};
    if (::lstat(current.constData(), &st) != 0) {
      const int error = errno;
      if (exists) {
        return u"%1 не записан: ссылка ведёт к файлу, которого нет ни в одной папке (удалён?)"_s
            .arg(shown);
      }
      if (error == ENOENT && links > 0) {
        return u"%1 не записан: это ссылка на несуществующий файл %2 (ссылке, которая "
               u"ведёт в никуда, не следуем)"_s.arg(shown, Quoted(Decoded(current)));
      }
      if (error != ENOENT) return u"%1 не записан: %2"_s.arg(shown, SystemErrorText(error));
      struct stat folder {};
      const QByteArray parent = FolderOf(current);
      if (::stat(parent.constData(), &folder) != 0) {
        return u"%1 не записан: папки %2 нет"_s.arg(shown, Quoted(Decoded(parent)));
      }
      if (!S_ISDIR(folder.st_mode)) {
        return u"%1 не записан: %2 — не папка"_s.arg(shown, Quoted(Decoded(parent)));
      }
      target.resolved = Decoded(current);
      target.kind = Target::Kind::New;
      return target;
    }
    if (S_ISLNK(st.st_mode)) {
      if (links >= kMaxLinks) return u"%1 не записан: %2"_s.arg(shown, SystemErrorText(ELOOP));
      if (!Trusted(current, st)) {
        return u"%1 не записан: ссылка %2 в общей папке принадлежит другому пользователю, "
               u"ей не следуем"_s.arg(shown, Quoted(Decoded(current)));
      }
      QByteArray to(std::max<qsizetype>(st.st_size, 4095) + 1, '\0');
      const ssize_t n = ::readlink(current.constData(), to.data(), static_cast<size_t>(to.size()));
      const int error = errno;
      if (n < 0) return u"%1 не записан: %2"_s.arg(shown, SystemErrorText(error));
      if (n >= to.size()) return u"%1 не записан: %2"_s.arg(shown, SystemErrorText(ENAMETOOLONG));
      to.truncate(n);
      current = to.startsWith('/') ? to : FolderOf(current) + '/' + to;
      continue;
    }
    if (S_ISDIR(st.st_mode)) return u"%1 — папка, а не файл"_s.arg(shown);
    target.resolved = Decoded(current);
    target.kind = S_ISREG(st.st_mode) ? Target::Kind::File : Target::Kind::Stream;
    return target;
  }
}

struct FileWriter::State {
  Target target;
  struct stat old {};  // of the file replaced
  int fd = -1;         // the temporary file, or the device
  QByteArray temp;     // the temporary file beside the target
  TempRegistration tempReg;
  QByteArray scratch;  // for a device: the file a writer of its own fills, sent at Commit()
  TempRegistration scratchReg;
  QByteArray buffer;
  int error = 0;          // of the first write that failed
  bool inSet = false;     // a set tells what stays for all its files
  bool replaced = false;  // the target has been replaced: the old file is gone
  bool committed = false;

  void Drain() {
    if (buffer.isEmpty() || error != 0) return;
    error = WriteAll(fd, buffer.constData(), buffer.size());
    buffer.clear();
  }
};

bool DeferredSync::Finish() {
  const QList<QByteArray> folders = std::exchange(folders_, {});
  for (const QByteArray& folder : folders) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) continue;
    // One sync of the whole filesystem instead of one for each file and its folder.
    const int error = ::syncfs(fd) == 0 ? 0 : errno;
    ::close(fd);
    if (error != 0) {
      failure_ = u"файлы в папке %1 не сохранены на диск: %2"_s.arg(Quoted(Decoded(folder)),
                                                                    SystemErrorText(error));
      return false;
    }
  }
  return true;
}

FileWriter::FileWriter(QString path, DeferredSync* later)
    : path_(std::move(path)), later_(later), s_(std::make_unique<State>()) {}

FileWriter::~FileWriter() {
  if (!s_->committed) Discard();
}

bool FileWriter::isStream() const {
  return s_->target.kind == Target::Kind::Stream;
}

bool FileWriter::Fail(const QString& cause) {
  failure_ = u"%1 не записан: %2"_s.arg(Quoted(path_), cause);
  if (s_->target.kind == Target::Kind::File && !s_->replaced && !s_->inSet) {
    failure_ += u"; прежний файл не изменён"_s;
  }
  setErrorString(failure_);
  return false;
}

bool FileWriter::Open() {
  auto resolved = ResolveTarget(path_);
  if (const QString* why = std::get_if<QString>(&resolved)) {
    failure_ = *why;
    setErrorString(failure_);
    return false;
  }
  s_->target = std::get<Target>(std::move(resolved));
  const QByteArray target = Encoded(s_->target.resolved);
  if (isStream()) {
    const int inherited = InheritedDescriptor(path_);
    s_->fd = inherited >= 0 ? ::fcntl(inherited, F_DUPFD_CLOEXEC, 0)
                            : ::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (s_->fd < 0) return FailErrno(errno);
  } else {
    const bool replacing = s_->target.kind == Target::Kind::File;
    if (replacing && ::stat(target.constData(), &s_->old) != 0) return FailErrno(errno);
    // A new file gets what the umask gives; one that replaces another stays private until it
    // has that file's permissions.
    int error = 0;
    s_->fd = MakeTemporary(target, replacing ? 0600 : 0666, s_->temp, s_->tempReg, error);
    if (s_->fd < 0) {
      return Fail(u"в папке %1 не создаётся файл: %2"_s.arg(Quoted(Decoded(FolderOf(target))),
                                                            SystemErrorText(error)));
    }
  }
  QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  return true;
}

QString FileWriter::ScratchPath() {
  if (s_->fd < 0) return {};
  if (!isStream()) return Decoded(s_->temp);
  if (s_->scratch.isEmpty()) {
    int error = 0;
    const int fd = MakeTemporary(Encoded(QDir::temp().filePath(u"meltor"_s)), 0600, s_->scratch,
                                 s_->scratchReg, error);
    if (fd < 0) {
      Fail(u"во временной папке %1 не создаётся файл: %2"_s.arg(Quoted(QDir::tempPath()),
                                                                SystemErrorText(error)));
      return {};
    }
    ::close(fd);
  }
  return Decoded(s_->scratch);
}

qint64 FileWriter::writeData(const char* data, qint64 size) {
  if (s_->fd < 0 || !failure_.isEmpty()) return -1;
  s_->buffer.append(data, size);
  if (s_->buffer.size() >= kBufferBytes) s_->Drain();
  if (s_->error != 0) {
    FailErrno(s_->error);
    return -1;
  }
  return size;
}

bool FileWriter::SendScratch() {
  const int in = ::open(s_->scratch.constData(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FailErrno(errno);
  QByteArray chunk(kBufferBytes, '\0');
  int error = 0;
  for (;;) {
    const ssize_t n = ::read(in, chunk.data(), static_cast<std::size_t>(chunk.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) error = errno;
      break;
    }
    if ((error = WriteAll(s_->fd, chunk.constData(), n)) != 0) break;
  }
  ::close(in);
  return error == 0 || FailErrno(error);
}

bool FileWriter::Finish() {
  if (s_->fd < 0) return failure_.isEmpty() ? Fail(SystemErrorText(EBADF)) : false;
  s_->Drain();
  if (s_->error != 0) return FailErrno(s_->error);
  if (s_->target.kind == Target::Kind::File) {
    // The owner and permissions of the file replaced (the owner only where this user may give
    // it: root writing over another user's file).
    if (s_->old.st_uid != ::geteuid() || s_->old.st_gid != ::getegid()) {
      [[maybe_unused]] const int ignored = ::fchown(s_->fd, s_->old.st_uid, s_->old.st_gid);
    }
    if (::fchmod(s_->fd, s_->old.st_mode & 07777) != 0) return FailErrno(errno);
  }
  if (const int error = later_ && !isStream() ? 0 : Sync(s_->fd)) return FailErrno(error);
  if (const int error = Close(s_->fd)) return FailErrno(error);
  return true;
}

bool FileWriter::Commit() {
  if (s_->committed) return true;
  if (!failure_.isEmpty()) {
    Discard();
    return false;
  }
  if (!s_->scratch.isEmpty() && !SendScratch()) {
    Discard();
    return false;
  }
  if (!Finish()) {
    Discard();
    return false;
  }
  if (!isStream()) {
    const QByteArray target = Encoded(s_->target.resolved);
    {
      const SignalsHeld held;  // renamed and unregistered as one step
      if (::rename(s_->temp.constData(), target.constData()) != 0) {
        const int error = errno;
        Discard();
        return FailErrno(error);
      }
      s_->tempReg.Release();
      s_->temp.clear();
    }
    s_->replaced = true;
    if (later_) {
      if (!later_->folders_.contains(FolderOf(target))) later_->folders_ << FolderOf(target);
    } else if (const int error = SyncFolder(FolderOf(target))) {
      Fail(u"файл на месте, но папка не сохранена на диск: %1"_s.arg(SystemErrorText(error)));
      Discard();
      return false;
    }
  }
  Discard();  // the scratch file of a device, and the device itself
  s_->committed = true;
  return true;
}

void FileWriter::Discard() {
  Close(s_->fd);
  s_->buffer.clear();
  if (!s_->temp.isEmpty()) {
    ::unlink(s_->temp.constData());
    s_->tempReg.Release();
    s_->temp.clear();
  }
  if (!s_->scratch.isEmpty()) {
    ::unlink(s_->scratch.constData());
    s_->scratchReg.Release();
    s_->scratch.clear();
  }
  if (isOpen()) QIODevice::close();
}

FileSet::FileSet() = default;

FileSet::~FileSet() = default;

bool FileSet::Add(const QString& path, const QByteArray& bytes) {
  if (!failure_.isEmpty()) return false;
  auto file = std::make_unique<FileWriter>(path);
  file->s_->inSet = true;
  const auto fail = [&](const QString& why) {
    failure_ = why + u"; ничего не изменено"_s;
    files_.clear();  // every temporary file goes
    return false;
  };
  if (!file->Open()) return fail(file->failure());
  if (file->isStream()) {
    return fail(
        u"%1 не записан: это не обычный файл, а устройство или канал — его нельзя "
        u"вернуть, если не запишутся остальные"_s.arg(Quoted(path)));
  }
  if (file->write(bytes) != bytes.size() || !file->Finish()) {
    return fail(file->failure().isEmpty() ? file->errorString() : file->failure());
  }
  files_.push_back(std::move(file));
  return true;
}

bool FileSet::Commit() {
  if (!failure_.isEmpty()) return false;
  struct Placed {
    FileWriter* file;
    QByteArray backup;  // the replaced file, under another name until all are in place
  };
  std::vector<Placed> placed;
  QString problem;
  const SignalsHeld held;  // the files change as one step
  for (const auto& file : files_) {
    FileWriter::State& s = *file->s_;
    const QByteArray target = Encoded(s.target.resolved);
    QByteArray backup;
    if (s.target.kind == Target::Kind::File) {
      // A second name for the old file, kept until every new one is in place.
      for (int attempt = 0; attempt < 100 && backup.isEmpty(); ++attempt) {
        const QByteArray name = target + '.' + RandomSuffix();
        if (::link(target.constData(), name.constData()) == 0) {
          backup = name;
        } else if (errno != EEXIST) {
          break;
        }
      }
      if (backup.isEmpty()) {
        // No hard links here (a FAT stick): a copy of the old file.
        QFile old(s.target.resolved);
        TempRegistration unused;
        int error = 0;
        const int fd =
            old.open(QIODevice::ReadOnly) ? MakeTemporary(target, 0600, backup, unused, error) : -1;
        const QByteArray bytes = fd >= 0 ? old.readAll() : QByteArray();
        const bool copied = fd >= 0 && old.error() == QFileDevice::NoError &&
                            (error = WriteAll(fd, bytes.constData(), bytes.size())) == 0 &&
                            ::fchmod(fd, s.old.st_mode & 07777) == 0;
        if (fd >= 0) ::close(fd);
        if (!copied) {
          if (!backup.isEmpty()) ::unlink(backup.constData());
          problem = u"%1 не записан: прежний файл не удаётся сохранить для возврата: %2"_s.arg(
              Quoted(file->path_), error != 0 ? SystemErrorText(error) : old.errorString());
          break;
        }
      }
    }
    if (::rename(s.temp.constData(), target.constData()) != 0) {
      const int error = errno;
      problem = u"%1 не записан: %2"_s.arg(Quoted(file->path_), SystemErrorText(error));
      if (!backup.isEmpty()) ::unlink(backup.constData());
      break;
    }
    s.tempReg.Release();
    s.temp.clear();
    placed.push_back({file.get(), backup});
  }

  if (problem.isEmpty()) {
    QList<QByteArray> folders;
    for (const Placed& p : placed) {
      if (!p.backup.isEmpty()) ::unlink(p.backup.constData());
      p.file->s_->committed = true;
      const QByteArray folder = FolderOf(Encoded(p.file->s_->target.resolved));
      if (!folders.contains(folder)) folders << folder;
    }
    // The files are in place whatever the folders' sync says; a failure there would be the
    // disk's, told by the next write.
    for (const QByteArray& folder : folders) SyncFolder(folder);
    files_.clear();
    return true;
  }

  // Put back what was replaced; a file that was not there before goes again.
  QStringList lost;
  for (auto p = placed.rbegin(); p != placed.rend(); ++p) {
    const QByteArray target = Encoded(p->file->s_->target.resolved);
    const bool back = p->backup.isEmpty()
                          ? ::unlink(target.constData()) == 0
                          : ::rename(p->backup.constData(), target.constData()) == 0;
    if (!back) lost << Quoted(p->file->path_);
  }
  failure_ =
      problem + (lost.isEmpty()
                     ? u"; ничего не изменено"_s
                     : u"; не удалось вернуть прежнее содержимое: %1"_s.arg(lost.join(u", "_s)));
  files_.clear();
  return false;
}

}  // namespace meltor::files
