// Work that can take longer than a moment (a search over every click, a sweep) says how far
// it has come and learns whether the user asked it to stop. The desktop shows it in a window
// with Cancel once it has run for a second; headless, nothing is shown and nothing stops it.
#pragma once

#include <cstddef>
#include <string>

namespace quorin {

class Progress {
 public:
  virtual ~Progress() = default;
  // The work called `title` begins.
  virtual void begin(const std::string& title) = 0;
  // `done` of `total` steps are done. False when the user asked the work to stop.
  virtual bool advance(std::size_t done, std::size_t total) = 0;
  // The work has ended: finished, stopped or failed.
  virtual void end() = 0;
};

// Shows nothing and never stops the work.
class NoProgress : public Progress {
 public:
  void begin(const std::string&) override {}
  bool advance(std::size_t, std::size_t) override { return true; }
  void end() override {}
};

// Ends the progress of a piece of work however the work ends.
class ProgressShown {
 public:
  ProgressShown(Progress& progress, const std::string& title) : progress_(progress) {
    progress_.begin(title);
  }
  ~ProgressShown() { progress_.end(); }
  ProgressShown(const ProgressShown&) = delete;
  ProgressShown& operator=(const ProgressShown&) = delete;
  bool advance(std::size_t done, std::size_t total) { return progress_.advance(done, total); }

 private:
  Progress& progress_;
};

}  // namespace quorin
