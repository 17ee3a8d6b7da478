// Files a player cares about (settings, tally) are written beside the old one
// and renamed over it, so a crash or a full disk never leaves half a file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// Writes `bytes` to a new file beside `path`, flushes it to the disk and renames it over
// `path`. On failure the old file is untouched, the new one removed, and
// `error` (when given) says why.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// Holds an exclusive lock on the file `path` (created when missing) while it
// lives, so that copies of the program sharing a folder change a file in turn.
// A lock that cannot be had leaves locked() false. The lock is always on the
// file that the path names once it is had: a copy that waited on a file that
// its holder removed meanwhile tries again on the path's new file, so a lock
// file may be removed by whoever holds it.
class FileLock {
 public:
  enum class Wait { Briefly, No };
  explicit FileLock(const std::string& path, Wait wait = Wait::Briefly);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool locked() const { return fd_ >= 0; }
  // Removes the lock file while the lock is held (not on Windows, where an
  // open file stays); the lock is let go at the end as usual.
  void removeFile();

 private:
  bool namesLockedFile() const;
  std::string path_;
  int fd_ = -1;
};

// Reads a whole file of at most `limit` bytes; false when it is missing,
// unreadable or larger.
bool readWholeFile(const std::string& path, std::size_t limit, std::string& out);

}  // namespace tw
