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

InputAnswer ScriptedDialogs::input(const std::string& title,
                                   const std::vector<InputField>& fields) {
  last_title_ = title;
  if (input_queue_.empty()) return std::nullopt;
  InputAnswer a = std::move(input_queue_.front());
  input_queue_.pop_front();
  if (!a) return a;
  for (std::size_t i = a->size(); i < fields.size(); ++i) a->push_back(fields[i].initial);
  return a;
}

}  // namespace quorin
