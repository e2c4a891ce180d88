#include "app/recovery.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>

#include "model/atomic_file.h"
#include "model/errors.h"

namespace trevolan {

namespace {

constexpr const char* kCopySuffix = ".recovery";
constexpr const char* kLockSuffix = ".lock";

QString LockPathOf(const QString& copy) { return copy + QLatin1String(kLockSuffix); }

// The lock file of a copy, opened (made when missing) and locked: its descriptor, or -1
// when another session holds the lock or the file cannot be opened.
int LockCopy(const QString& copy) {
  const std::string path = LockPathOf(copy).toStdString();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (TryLockFile(fd)) return fd;
  ::close(fd);
  return -1;
}

// Every session names its copy by its process and the moment it began, so that two
// windows of one process (as in tests) never share one.
QString SessionName() {
  static int windows = 0;
  return QStringLiteral("session-%1-%2-%3")
      .arg(QCoreApplication::applicationPid())
      .arg(QDateTime::currentMSecsSinceEpoch())
      .arg(++windows);
}

}  // namespace

QString RecoveryFiles::DefaultFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/recovery");
}

RecoveryFiles::RecoveryFiles(QString folder) : folder_(folder.isEmpty() ? DefaultFolder() : std::move(folder)) {
  path_ = folder_ + QLatin1Char('/') + SessionName() + QLatin1String(kCopySuffix);
}

RecoveryFiles::~RecoveryFiles() {
  if (lock_ >= 0) ::close(lock_);  // the lock file stays, as a crashed session's does
}

namespace {

// The folder of the copies is the user's alone (0700): made so, an older open one
// closed. One that is a symbolic link or belongs to another user is not written into:
// someone else could read the copies there or put them elsewhere.
void PrepareFolder(const QString& folder) {
  const std::string path = folder.toStdString();
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    QDir().mkpath(QFileInfo(folder).absolutePath());  // the parents, as the user's folders are made
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) throw IoError::FromErrno(errno, path);
    if (lstat(path.c_str(), &st) != 0) throw IoError::FromErrno(errno, path);
  }
  if (S_ISLNK(st.st_mode)) {
    throw IoError("I/O error: the recovery folder " + path + " is a symbolic link: no recovery copy is written");
  }
  if (!S_ISDIR(st.st_mode)) throw IoError("I/O error: the recovery folder " + path + " is not a folder");
  if (st.st_uid != geteuid()) {
    throw IoError("I/O error: the recovery folder " + path + " belongs to another user: no recovery copy is written");
  }
  if ((st.st_mode & 077) != 0 && chmod(path.c_str(), 0700) != 0) throw IoError::FromErrno(errno, path);
}

}  // namespace

void RecoveryFiles::Write(const std::string& text) {
  if (lock_ < 0) {
    PrepareFolder(folder_);
    lock_ = LockCopy(path_);  // held for the whole session
    if (lock_ < 0) throw IoError("I/O error: cannot lock " + LockPathOf(path_).toStdString());
  }
  // The copy is the user's alone (0600): made so before its first content, whose mode
  // the atomic writer keeps from then on.
  const std::string copy = path_.toStdString();
  const int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
  WriteFileAtomically(copy, text);
}

void RecoveryFiles::Remove() {
  QFile::remove(path_);
  if (lock_ < 0) return;
  QFile::remove(LockPathOf(path_));  // removed while still held, so no other session takes it first
  ::close(lock_);
  lock_ = -1;
}

std::vector<RecoveryFiles::Orphan> RecoveryFiles::Orphans() {
  std::vector<Orphan> found;
  const QDir dir(folder_);
  const QStringList names = dir.entryList({QStringLiteral("*") + QLatin1String(kCopySuffix)}, QDir::Files);
  for (const QString& name : names) {
    const QString path = dir.filePath(name);
    if (path == path_) continue;
    const int lock = LockCopy(path);
    if (lock < 0) continue;  // its session is still running
    Orphan orphan{path, QFileInfo(path).lastModified(), {}, {}};
    bool usable = false;
    try {
      orphan.copy = ParseRecoveryText(ReadWholeFile(path.toStdString()));
      const QFileInfo model(QString::fromStdString(orphan.copy.model_file));
      if (!orphan.copy.model_file.empty() && model.exists()) orphan.model_written = model.lastModified();
      usable = true;
    } catch (const SimError&) {
      usable = false;  // not a copy the program can read
    }
    if (usable) {
      found.push_back(std::move(orphan));
    } else {
      RemoveOrphan(orphan);
    }
    ::close(lock);  // given up here; the copy stays until it is restored or discarded
  }
  std::sort(found.begin(), found.end(), [](const Orphan& a, const Orphan& b) { return a.written > b.written; });
  return found;
}

void RecoveryFiles::RemoveOrphan(const Orphan& orphan) {
  QFile::remove(orphan.path);
  QFile::remove(LockPathOf(orphan.path));
}

namespace {

// The signal handler only writes a byte into a socket; the event loop reads it and
// runs the handler, where anything may be done (the self-pipe of Qt's documentation).
int signal_sockets[2] = {-1, -1};
std::function<void(int)> signal_handler;

void OnSignal(int signo) {
  const unsigned char byte = static_cast<unsigned char>(signo);
  [[maybe_unused]] const ssize_t n = write(signal_sockets[0], &byte, 1);
}

}  // namespace

void HandleTerminationSignals(std::function<void(int)> handler) {
  signal_handler = std::move(handler);
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  if (!signal_handler) {
    action.sa_handler = SIG_DFL;  // no window to keep: the signal ends the program at once
    for (const int signo : {SIGTERM, SIGINT, SIGHUP}) sigaction(signo, &action, nullptr);
    return;
  }
  if (signal_sockets[0] < 0) {
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, signal_sockets) != 0) return;
    auto* notifier = new QSocketNotifier(signal_sockets[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
      unsigned char byte = 0;
      if (read(signal_sockets[1], &byte, 1) != 1) return;
      if (signal_handler) signal_handler(byte);
    });
  }
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESTART;
  // A closed terminal (SIGHUP) ends the program as a kill does, with the copy written.
  for (const int signo : {SIGTERM, SIGINT, SIGHUP}) sigaction(signo, &action, nullptr);
}

}  // namespace trevolan
