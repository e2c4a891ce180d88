#pragma once
#include <functional>
#include <string>
#include <vector>

#include <QDateTime>
#include <QString>

#include "model/document.h"

namespace trevolan {

// The recovery copies of the window's model, kept in the user's state folder
// (QStandardPaths::AppLocalDataLocation, "recovery"). Each session of the program
// writes one copy of its own, named after it and guarded by a lock file on which the
// session holds a lock (TryLockFile, as saves do) while it lives; a copy whose lock can
// be had was left by a session that ended without closing (a crash, a kill, a signal).
// Whether its process ID looks alive is never asked: a session in another PID
// namespace (a container sharing the home folder) has one this process cannot see.
class RecoveryFiles {
 public:
  // The folder of the copies; empty for the user's state folder.
  explicit RecoveryFiles(QString folder = {});
  ~RecoveryFiles();
  RecoveryFiles(const RecoveryFiles&) = delete;
  RecoveryFiles& operator=(const RecoveryFiles&) = delete;

  // Writes this session's copy through the atomic writer, in a folder of mode 0700 as a
  // file of mode 0600; IoError on failure, and for a folder that is a symbolic link or
  // belongs to another user.
  void Write(const std::string& text);
  // Removes this session's copy, if any.
  void Remove();
  const QString& path() const { return path_; }

  // A copy left by a session that is gone.
  struct Orphan {
    QString path;
    QDateTime written;
    RecoveryCopy copy;
    QDateTime model_written;  // when its model file was last written; invalid when none is there
  };
  // The copies left by sessions that are gone, the newest first. A copy older than its
  // model file is among them: a later write of the file (another window, a batch run)
  // does not mean these edits were saved. Files that are not recovery copies are
  // removed.
  std::vector<Orphan> Orphans();
  // Removes a copy left by another session.
  static void RemoveOrphan(const Orphan& orphan);

  static QString DefaultFolder();

 private:
  QString folder_, path_;
  int lock_ = -1;  // the descriptor that holds this session's lock
};

// Calls `handler` (in the event loop, with the signal's number) when the process gets
// SIGTERM, SIGINT or SIGHUP; the handler ends the program. One handler for the process: a
// later call replaces it, and an empty one gives the signals back their default.
void HandleTerminationSignals(std::function<void(int)> handler);

}  // namespace trevolan
