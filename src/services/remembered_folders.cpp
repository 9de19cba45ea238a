#include "services/remembered_folders.h"

#include <filesystem>
#include <system_error>

namespace quorin {

std::string FolderRememberingDialogs::folder_key(const std::string& title) {
  return "dialogs/" + settings_key_part(title) + "/folder";
}

std::string FolderRememberingDialogs::with_folder(const std::string& filter,
                                                  const std::string& title) const {
  if (filter.find_first_of("/\\") != std::string::npos) return filter;
  std::optional<std::string> folder = settings_.value(folder_key(title));
  if (!folder || folder->empty()) return filter;
  std::error_code ec;
  if (!std::filesystem::is_directory(*folder, ec)) return filter;
  if (folder->back() != '/') *folder += '/';
  return *folder + filter;
}

DialogResult FolderRememberingDialogs::remember(DialogResult answer, const std::string& title) {
  if (!answer.cancelled && !answer.folder.empty())
    settings_.set_value(folder_key(title), answer.folder);
  return answer;
}

DialogResult FolderRememberingDialogs::open_file(const std::string& filter,
                                                 const std::string& title) {
  return remember(inner_.open_file(with_folder(filter, title), title), title);
}

DialogResult FolderRememberingDialogs::save_file(const std::string& filter,
                                                 const std::string& title) {
  return remember(inner_.save_file(with_folder(filter, title), title), title);
}

}  // namespace quorin
