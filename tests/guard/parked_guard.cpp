#include "parked_guard.h"

#include "platform/av_guard.h"

ParkedGuard::ParkedGuard() : thread_([this] { park(); }) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return inside_; });
}

ParkedGuard::~ParkedGuard() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    release_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ParkedGuard::park() {
  ov_av_guarded([this] {
    std::unique_lock<std::mutex> lock(mutex_);
    inside_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return release_; });
  });
}
