#include "services/shared_array.h"

namespace quorin {

SharedArray::SharedArray(std::vector<double> v) {
  if (!v.empty()) buffer_ = std::make_shared<std::vector<double>>(std::move(v));
}

SharedArray& SharedArray::operator=(std::vector<double> v) {
  if (v.empty())
    buffer_.reset();
  else
    buffer_ = std::make_shared<std::vector<double>>(std::move(v));
  return *this;
}

std::vector<double>& SharedArray::edit() {
  if (!buffer_)
    buffer_ = std::make_shared<std::vector<double>>();
  else if (buffer_.use_count() > 1)
    buffer_ = std::make_shared<std::vector<double>>(*buffer_);
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
