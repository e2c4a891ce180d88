#pragma once
#include <optional>
#include <string>
#include <vector>

namespace trevolan {

// The old content of a file that a save rewrites in place (a file with several hard
// links, or one in a folder where the user cannot make a file), kept while the rewrite
// runs so that a kill in the middle of it never leaves a mixed file unnoticed.
//
// The backup is a complete, synced copy of the old content in the user's private
// folder $XDG_DATA_HOME/Trevolan/Trevolan4/backups (or ~/.local/share/...), beside the
// window's recovery copies, made before the first byte of the file is touched and
// removed once the new content is complete and synced. Its name is taken from the
// file's identity (device, inode, birth time), not from its path, so that every name of
// a file with several links finds it. A file of up to kBackupInMemory bytes keeps its
// old content in memory too, so that a failed write can put it back at once.
class RewriteBackup {
 public:
  static constexpr size_t kBackupInMemory = size_t{16} << 20;

  // Copies the open file `fd` (readable, at offset 0 of nothing) into its backup.
  // IoError naming `path` when there is no private folder or the copy fails; the file
  // is untouched then.
  RewriteBackup(int fd, const std::string& path);

  // The old content when the file was small enough to keep it in memory.
  const std::optional<std::string>& old_text() const { return old_text_; }
  // The backup's path.
  const std::string& file() const { return file_; }
  // Removes the backup, once the file is whole again (new or old).
  void Remove() const;

 private:
  std::string file_;
  std::optional<std::string> old_text_;
};

// The backups that rewrites of the file at `path` left when they did not finish (the
// program was killed), the oldest first, or none. The file may then hold old and new
// content mixed. Each is kept until the user removes it: a later rewrite makes its
// backup beside them.
std::vector<std::string> UnfinishedRewriteBackups(const std::string& path);

}  // namespace trevolan
