// A disk that is full for this process: files may not grow past `bytes`
// while it lives, so writes fail as they do on a full disk.
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace tw::test {

class FullDisk {
 public:
  explicit FullDisk(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &before_);
    oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = before_;
    full.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &full) == 0;
  }
  ~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &before_);
    std::signal(SIGXFSZ, oldSignal_);
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;
  bool ok() const { return ok_; }

 private:
  rlimit before_{};
  void (*oldSignal_)(int) = nullptr;
  bool ok_ = false;
};

}  // namespace tw::test
