// WordFinderJob: builds the search index of a player's own word list on a
// worker thread, at most once, so that neither the event loop nor a peer
// who starts game after game ever waits for it or makes it again.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "host/word_finder.h"

namespace tw {

class WordFinderJob {
 public:
  using Build = std::function<WordFinder()>;

  WordFinderJob() = default;
  // Waits for a build under way.
  ~WordFinderJob();
  WordFinderJob(const WordFinderJob&) = delete;
  WordFinderJob& operator=(const WordFinderJob&) = delete;

  // Starts `build` unless a build started before.
  void start(const Build& build);
  bool started() const { return started_; }
  // The index once built; null before and while it is built.
  std::shared_ptr<const WordFinder> ready() const;
  // Blocks until a started build ends; null when none started.
  std::shared_ptr<const WordFinder> wait();

 private:
  bool started_ = false;
  std::atomic<bool> done_{false};
  std::shared_ptr<const WordFinder> result_;  // written by the worker before done_
  std::thread worker_;
};

}  // namespace tw
