// Keeps a test from hanging on a FIFO: if what is tested still has not finished after a few
// seconds, the FIFO is given a reader, which drains it until the watch ends, so that a save
// waiting on it goes on and the test can report that it waited.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace quorin::test {

class FifoWatch {
 public:
  explicit FifoWatch(std::filesystem::path fifo)
      : fifo_(std::move(fifo)), thread_([this] { watch(); }) {}
  ~FifoWatch() {
    done_ = true;
    thread_.join();
  }
  FifoWatch(const FifoWatch&) = delete;
  FifoWatch& operator=(const FifoWatch&) = delete;

  // Whether the FIFO had to be given a reader: something waited on it.
  bool stepped_in() const { return stepped_in_; }

 private:
  void watch() {
    using namespace std::chrono_literals;
    const auto give_up = std::chrono::steady_clock::now() + 5s;
    while (!done_ && std::chrono::steady_clock::now() < give_up) std::this_thread::sleep_for(20ms);
    if (done_) return;
    stepped_in_ = true;
    const int fd = ::open(fifo_.c_str(), O_RDONLY | O_NONBLOCK);
    char buffer[4096];
    while (!done_) {
      if (fd < 0 || ::read(fd, buffer, sizeof buffer) <= 0) std::this_thread::sleep_for(5ms);
    }
    if (fd >= 0) ::close(fd);
  }

  std::filesystem::path fifo_;
  std::atomic<bool> done_{false}, stepped_in_{false};
  std::thread thread_;
};

}  // namespace quorin::test
