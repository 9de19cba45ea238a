// File dialogs that open in the folder where the same dialog was last answered, in this
// session or an earlier one, when the program itself names no folder.
#pragma once

#include "services/dialogs.h"
#include "services/settings.h"

namespace quorin {

// Wraps the real dialogs: every kind of dialog is passed on. A file dialog is known by its title. When the filter names a folder
// ("/home/me/dyno/*.pvp") that folder is used as given; when it names only a pattern
// ("*.pvp") the dialog's remembered folder is put in front, if it still exists. Every answer
// that is not a cancel is remembered for that dialog.
class FolderRememberingDialogs : public Dialogs {
 public:
  FolderRememberingDialogs(Dialogs& inner, Settings& settings)
      : inner_(inner), settings_(settings) {}
  DialogResult open_file(const std::string& filter, const std::string& title) override;
  DialogResult save_file(const std::string& filter, const std::string& title) override;
  // Questions of other kinds go to the real dialogs as they are.
  InputAnswer input(const std::string& title, const std::vector<InputField>& fields) override {
    return inner_.input(title, fields);
  }
  void open_document(const std::string& name) override { inner_.open_document(name); }

  // The settings key under which the dialog titled `title` keeps its folder.
  static std::string folder_key(const std::string& title);

 private:
  std::string with_folder(const std::string& filter, const std::string& title) const;
  DialogResult remember(DialogResult answer, const std::string& title);

  Dialogs& inner_;
  Settings& settings_;
};

}  // namespace quorin
