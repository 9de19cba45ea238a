// The run-time error of the program: carries the exact text the user sees.
#pragma once

#include <stdexcept>
#include <string>

namespace quorin {

// Thrown where a failure happens; caught only at the command boundary, which shows the
// message and goes on serving events.
class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quorin
