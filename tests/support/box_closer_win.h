// For tests that run a window in their own process: presses OK on every message box of
// this process, from a thread of its own, recording the boxes' texts.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace parlix::test {

class BoxCloser {
 public:
  BoxCloser();
  ~BoxCloser();
  BoxCloser(const BoxCloser&) = delete;
  BoxCloser& operator=(const BoxCloser&) = delete;
  std::vector<std::string> Texts();

 private:
  void Run();
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<std::string> texts_;
  std::thread thread_;
};

}  // namespace parlix::test
