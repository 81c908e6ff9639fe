// A thread that sits inside a guarded call until the object is destroyed, so
// that the guard's handler stays installed for the whole process meanwhile.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

class ParkedGuard {
 public:
  ParkedGuard();  // returns once the thread is inside the guarded call
  ~ParkedGuard();
  ParkedGuard(const ParkedGuard&) = delete;
  ParkedGuard& operator=(const ParkedGuard&) = delete;

 private:
  void park();

  std::mutex mutex_;
  std::condition_variable changed_;
  bool inside_ = false;
  bool release_ = false;
  std::thread thread_;
};
