// The system's file dialogs behind the program's dialog interface, and the run-time error
// message box.
#pragma once

#include <QPointer>
#include <string>

#include "services/dialogs.h"
#include "services/qt/help_window.h"

namespace quorin::qtk {

// File dialogs starting in the filter's folder and showing its pattern
// ("/home/me/data/*.pvp": folder "/home/me/data/", pattern "*.pvp"), with the title as
// caption.
class QtDialogs : public Dialogs {
 public:
  DialogResult open_file(const std::string& filter, const std::string& title) override;
  DialogResult save_file(const std::string& filter, const std::string& title) override;
  // A small dialog with one row per field: a list when the field offers choices, otherwise
  // an edit box; OK and Cancel.
  InputAnswer input(const std::string& title, const std::vector<InputField>& fields) override;
  // The help window (one for the program, made when first wanted) showing the document from
  // the documents found beside the executable or installed, brought to the front.
  void open_document(const std::string& name) override;

  QtDialogs() = default;
  QtDialogs(const QtDialogs&) = delete;
  QtDialogs& operator=(const QtDialogs&) = delete;
  ~QtDialogs() override;

  // The help window once it has been opened (nullptr before, and after the user closed it).
  HelpWindow* help_window() const { return help_; }

 private:
  QPointer<HelpWindow> help_;
};

// Splits a dialog filter into its folder (ending in a separator, empty when none) and its
// pattern.
struct FilterParts {
  std::string folder, pattern;
};
FilterParts split_filter(const std::string& filter);

// Shows a run-time error: a message box (when there is a screen) and standard error.
void show_error(const std::string& message);

// Asks a yes/no question in a message box; Yes is the default answer. Without a widget
// application the answer is `headless_answer`.
bool ask(const std::string& title, const std::string& question, bool headless_answer);

}  // namespace quorin::qtk
