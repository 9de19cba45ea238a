// An array of doubles whose copies share one buffer until one of them is written, so that a
// held import of a million rows, its drawn lines and every undo step and kept session that
// hold them cost one buffer, and telling whether two of them are the same costs nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace quorin {

class SharedArray {
 public:
  using value_type = double;
  using size_type = std::size_t;
  using const_iterator = std::vector<double>::const_iterator;
  using iterator = const_iterator;

  SharedArray() = default;
  SharedArray(std::vector<double> v);  // NOLINT: a vector is taken as it is
  SharedArray(std::initializer_list<double> v) : SharedArray(std::vector<double>(v)) {}
  SharedArray(std::size_t n, double value) : SharedArray(std::vector<double>(n, value)) {}
  template <class It>
  SharedArray(It first, It last) : SharedArray(std::vector<double>(first, last)) {}

  SharedArray& operator=(std::vector<double> v);
  SharedArray& operator=(std::initializer_list<double> v) {
    return *this = std::vector<double>(v);
  }

  // Reading never copies.
  const std::vector<double>& vec() const { return buffer_ ? *buffer_ : empty_vector(); }
  operator const std::vector<double>&() const { return vec(); }  // NOLINT
  std::size_t size() const { return vec().size(); }
  bool empty() const { return vec().empty(); }
  const double* data() const { return vec().data(); }
  const double& operator[](std::size_t i) const { return vec()[i]; }
  const double& front() const { return vec().front(); }
  const double& back() const { return vec().back(); }
  const_iterator begin() const { return vec().begin(); }
  const_iterator end() const { return vec().end(); }

  // The array to write to, made this copy's own first when others share it.
  std::vector<double>& edit();
  void clear() {
    buffer_.reset();
    serial_ = 0;
  }

  // Whether both hold the very same buffer (and so certainly the same numbers).
  bool shares_with(const SharedArray& o) const { return buffer_ == o.buffer_; }

  // A number that stands for these contents: copies share it, and a new array or an edit gets
  // one that no array ever had before (0: empty). Equal serials mean equal numbers, however
  // the memory was reused in between.
  std::uint64_t serial() const { return serial_; }

  // Equal when they share a buffer (so an array holding NaN equals its copies) or hold equal
  // numbers.
  friend bool operator==(const SharedArray& a, const SharedArray& b);
  // Numbers compared as numbers (as two vectors compare).
  friend bool operator==(const SharedArray& a, const std::vector<double>& b) { return a.vec() == b; }

 private:
  static const std::vector<double>& empty_vector();
  void take(std::vector<double> v);
  std::shared_ptr<std::vector<double>> buffer_;
  std::uint64_t serial_ = 0;
};

}  // namespace quorin
