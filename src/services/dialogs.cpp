#include "services/dialogs.h"

namespace quorin {

DialogResult ScriptedDialogs::next(const std::string& filter, const std::string& title) {
  last_filter_ = filter;
  last_title_ = title;
  if (queue_.empty()) return {};
  DialogResult r = std::move(queue_.front());
  queue_.pop_front();
  return r;
}

DialogResult ScriptedDialogs::open_file(const std::string& filter, const std::string& title) {
  return next(filter, title);
}

DialogResult ScriptedDialogs::save_file(const std::string& filter, const std::string& title) {
  return next(filter, title);
}

std::optional<PrintAnswer> ScriptedDialogs::next_print() {
  if (print_queue_.empty()) return std::nullopt;
  PrintAnswer a = std::move(print_queue_.front());
  print_queue_.pop_front();
  return a;
}

}  // namespace quorin
