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

}  // namespace quorin
