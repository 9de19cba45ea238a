// The desktop: the system's dialogs, printer, clipboard, picture writers, message boxes and
// the user's settings file, with the toolkit showing the program's windows.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>

#include "services/desk.h"
#include "services/qt/desktop_outputs.h"
#include "services/qt/qt_dialogs.h"
#include "services/qt/qt_settings.h"
#include "services/qt/toolkit.h"

namespace quorin::qtk {

class Desktop : public Desk {
 public:
  // The desktop with the user's settings file; `warnings` takes what the settings file says.
  explicit Desktop(std::ostream& warnings);
  // The desktop with the settings file `settings_file` (a scratch one for tests).
  Desktop(const std::filesystem::path& settings_file, std::ostream& warnings);
  ~Desktop() override;

  void attach(gfx::Model& model, Runner run, CloseHandler close) override;
  void detach() override;
  Dialogs& dialogs() override { return dialogs_; }
  Printer& printer() override;
  Clipboard& clipboard() override { return clipboard_; }
  PictureWriter& pictures() override;
  Settings& settings() override { return *settings_; }
  // A window with Cancel once the work has run for a second.
  Progress& progress() override;

  void show_error(const std::string& message) override;
  void tell(const std::string& title, const std::string& message) override;
  bool ask(const std::string& title, const std::string& question) override;

  void sync() override;
  void raise_in_order() override;
  void after_every_use(std::function<void()> hook) override;
  int exec() override;
  void quit() override;

  // The toolkit showing the windows (after attach).
  Toolkit& toolkit() { return *toolkit_; }

 private:
  class WindowPrinter;
  class ProgressWindow;
  std::unique_ptr<QtSettings> settings_;
  QtDialogs dialogs_;
  SystemClipboard clipboard_;
  std::unique_ptr<Toolkit> toolkit_;
  std::unique_ptr<WindowPrinter> printer_;
  std::unique_ptr<WindowPictureWriter> pictures_;
  std::function<void()> after_use_;
  std::unique_ptr<ProgressWindow> progress_;
};

}  // namespace quorin::qtk
