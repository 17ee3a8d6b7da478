// Whole-file reading and the write-then-rename of the player's files.
#include "client/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/locking.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tw {

namespace {

bool flushToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#if defined(_WIN32)
  return _commit(_fileno(file)) == 0;
#else
  return ::fsync(fileno(file)) == 0;
#endif
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  namespace fs = std::filesystem;
  const auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  std::error_code ec;
  fs::path target(path);
  // A linked file stays linked: the new file replaces its target.
  if (fs::is_symlink(target, ec)) {
    const fs::path real = fs::canonical(target, ec);
    if (!ec) target = real;
  }
  // A name of its own for every write, so that two copies saving at once, or
  // a file left by a crash, never mix into this one; "x" never writes into a
  // file that is already there.
  static std::atomic<unsigned> counter{0};
  fs::path temp = target;
  temp += ".new" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000) + "-" +
          std::to_string(counter++);
  std::FILE* file = std::fopen(temp.string().c_str(), "wbx");
  if (!file) return fail("cannot create " + temp.string() + ": " + std::strerror(errno));
  errno = 0;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && flushToDisk(file);
  const int writeError = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    const std::string reason = std::strerror(writeError ? writeError : errno);
    fs::remove(temp, ec);
    return fail("cannot write " + temp.string() + ": " + reason);
  }
  const auto old = fs::status(target, ec);
  if (!ec && fs::exists(old)) fs::permissions(temp, old.permissions(), ec);
  fs::rename(temp, target, ec);
  if (ec) {
    const std::string reason = ec.message();
    fs::remove(temp, ec);
    return fail("cannot replace " + target.string() + ": " + reason);
  }
  return true;
}

FileLock::FileLock(const std::string& path, Wait wait) : path_(path) {
#if defined(_WIN32)
  const auto openFile = [this] {
    if (_sopen_s(&fd_, path_.c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE) != 0)
      fd_ = -1;
  };
  const auto tryLock = [this] { return _locking(fd_, _LK_NBLCK, 1) == 0; };
  const auto closeFile = [this] { _close(fd_); };
#else
  const auto openFile = [this] { fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666); };
  const auto tryLock = [this] { return ::flock(fd_, LOCK_EX | LOCK_NB) == 0; };
  const auto closeFile = [this] { ::close(fd_); };
#endif
  // Another copy holds the lock for one read and one write; one that holds
  // it for longer has hung, and must not hang this one too.
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (fd_ < 0) openFile();
    if (fd_ < 0) return;
    if (tryLock()) {
      if (namesLockedFile()) return;
      // The holder removed the file before letting go: this lock guards
      // nothing, as a newcomer would lock the path's new file.
      closeFile();
      fd_ = -1;
      continue;
    }
    if (wait == Wait::No) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (fd_ >= 0) closeFile();
  fd_ = -1;
}

bool FileLock::namesLockedFile() const {
#if defined(_WIN32)
  return true;
#else
  struct stat held {};
  struct stat named {};
  return ::fstat(fd_, &held) == 0 && ::stat(path_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
#endif
}

void FileLock::removeFile() {
#if !defined(_WIN32)
  if (fd_ >= 0) ::unlink(path_.c_str());
#endif
}

FileLock::~FileLock() {
  if (fd_ < 0) return;
#if defined(_WIN32)
  _lseek(fd_, 0, SEEK_SET);
  _locking(fd_, _LK_UNLCK, 1);
  _close(fd_);
#else
  ::close(fd_);  // closing releases the lock
#endif
}

bool readWholeFile(const std::string& path, std::size_t limit, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || std::uintmax_t(size) > limit) return false;
  in.seekg(0, std::ios::beg);
  out.assign(std::size_t(size), '\0');
  in.read(out.data(), size);
  return in.gcount() == size;
}

}  // namespace tw
