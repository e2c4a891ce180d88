#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// The runs file of a study while it goes: a visible file beside the runs file
// (OUT.partial) that gets every run's row as it is released, so that a study killed in
// any way (kill -9, the out-of-memory killer, a dying MPI rank) leaves its finished runs
// for --resume. Rows go to the file at once; it is synced whenever it is asked to be (a
// batch done) and at least every 10 s, so a crash of the machine loses at most that much.
// Commit syncs it and renames it to the runs file.
namespace trevolan::study {

class PartialFile {
 public:
  // Opens `partial` to be renamed to `target` at the end: emptied, or with its first
  // `keep` bytes kept (rows of a study killed before, read back by --resume) and the
  // rest cut off (a row cut short by the kill). IoError when it cannot be opened.
  PartialFile(std::string partial, std::string target, int64_t keep = 0);
  ~PartialFile();
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;

  void Append(std::string_view text);  // IoError on a failed write
  void Sync();                         // IoError on a failed sync
  void Commit();                       // synced, renamed to the target; IoError

 private:
  std::string partial_, target_;
  int fd_ = -1;
  std::chrono::steady_clock::time_point synced_;
};

}  // namespace trevolan::study
