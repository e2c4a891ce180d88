#pragma once
#include <string>

// The files whose open failed in this process. What such a file holds was never read
// whole, or not at all, and the model held after the failure (empty, partial, or the one
// before) is not what it holds: a save over it would lose it. So a save over a file
// whose open failed is refused until an open of it succeeds. The files are known by
// their identity (device, inode, birth time) and by where their names lead, so that a
// link or another name of the file is refused too, and a new file that happens to get a
// freed inode is not.
namespace trevolan {

// The open of `path` failed for `reason`. A file that is not there is not noted: a save
// creates it and replaces nothing.
void NoteFailedOpen(const std::string& path, const std::string& reason);

// The open of `path` succeeded: the file holds the model now held.
void NoteOpened(const std::string& path);

// IoError naming the failed open when `path` is a file whose open failed.
void CheckNoFailedOpen(const std::string& path);

}  // namespace trevolan
