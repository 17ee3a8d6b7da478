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
// The lock file stays; a lock that cannot be had leaves locked() false.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Reads a whole file of at most `limit` bytes; false when it is missing,
// unreadable or larger.
bool readWholeFile(const std::string& path, std::size_t limit, std::string& out);

}  // namespace tw
