// The program put together: the running program over a desk (the desktop's windows and
// dialogs, or the script driver's headless ones), the file dialogs that remember their
// folders, the kept session and what happens after every use of a control. The desktop
// program, the script driver and the tests all build it the same way.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>

#include "app/kept_session.h"
#include "services/desk.h"
#include "services/remembered_folders.h"
#include "startup/program.h"

namespace quorin {

class Application {
 public:
  // The program started in `start_folder` over `desk`; `console` takes the program's own
  // console lines. Nothing is shown before `start`.
  Application(std::filesystem::path start_folder, Desk& desk, std::ostream& console);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  Program& program() { return *program_; }
  KeptSession& kept_session() { return *kept_; }
  Desk& desk() { return desk_; }

  // The start-up sequence, the windows shown. False when it failed (the error was shown; the
  // windows made before the failure stay).
  bool start();
  // Asks whether to bring back a session a run that did not end cleanly left behind, and
  // does as answered.
  void offer_waiting_session();
  // After every use of a control, menu item or window close: the session is kept, a failure
  // to keep it is told once, and once the main window is gone (EXIT, or its close) the
  // program ends whatever other windows are open.
  void after_use();
  // Whether the program has ended (EXIT).
  bool ended() const { return ended_; }

  // The desktop program from start to end: start-up, the restore question, the windows
  // served until EXIT. Returns the exit status.
  int run();

 private:
  bool session_command(const Command& c);
  void end();

  Desk& desk_;
  FolderRememberingDialogs dialogs_;
  std::unique_ptr<KeptSession> kept_;
  std::unique_ptr<Program> program_;
  bool shown_ = false;  // the main window has been open
  bool ended_ = false;
};

}  // namespace quorin
