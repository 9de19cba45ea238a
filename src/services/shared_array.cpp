#include "services/shared_array.h"

#include <atomic>

namespace quorin {
namespace {

std::uint64_t next_serial() {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

}  // namespace

void SharedArray::take(std::vector<double> v) {
  if (v.empty()) {
    clear();
    return;
  }
  buffer_ = std::make_shared<std::vector<double>>(std::move(v));
  serial_ = next_serial();
}

SharedArray::SharedArray(std::vector<double> v) { take(std::move(v)); }

SharedArray& SharedArray::operator=(std::vector<double> v) {
  take(std::move(v));
  return *this;
}

std::vector<double>& SharedArray::edit() {
  if (!buffer_)
    buffer_ = std::make_shared<std::vector<double>>();
  else if (buffer_.use_count() > 1)
    buffer_ = std::make_shared<std::vector<double>>(*buffer_);
  // Whoever edits may change the numbers: they stand for new contents from here on.
  serial_ = next_serial();
  return *buffer_;
}

const std::vector<double>& SharedArray::empty_vector() {
  static const std::vector<double> none;
  return none;
}

bool operator==(const SharedArray& a, const SharedArray& b) {
  if (a.buffer_ == b.buffer_) return true;
  return a.vec() == b.vec();
}

}  // namespace quorin
