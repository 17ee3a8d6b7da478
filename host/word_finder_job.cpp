// The worker thread behind WordFinderJob.
#include "host/word_finder_job.h"

#include <utility>

namespace tw {

WordFinderJob::~WordFinderJob() {
  if (worker_.joinable()) worker_.join();
}

void WordFinderJob::start(const Build& build) {
  if (started_ || !build) return;
  started_ = true;
  worker_ = std::thread([this, build] {
    result_ = std::make_shared<const WordFinder>(build());
    done_.store(true, std::memory_order_release);
  });
}

std::shared_ptr<const WordFinder> WordFinderJob::ready() const {
  return done_.load(std::memory_order_acquire) ? result_ : nullptr;
}

std::shared_ptr<const WordFinder> WordFinderJob::wait() {
  if (worker_.joinable()) worker_.join();
  return ready();
}

}  // namespace tw
