// The running program: its globals, its windows, its dialogs, the module lifecycle and the
// command boundary where run-time errors are reported.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "processor/globals.h"
#include "processor/processor.h"
#include "services/dialogs.h"
#include "services/gfx/model.h"
#include "services/outputs.h"
#include "services/progress.h"
#include "services/settings.h"
#include "startup/function_table.h"

namespace quorin {

class ComparisonTools;

// The menus of the program put together around this one (the comparison window's items, the
// hidden curves and the undo history), run around every command the program serves.
class ProgramMenus {
 public:
  virtual ~ProgramMenus() = default;
  // Runs `c` when it is one of the menus' commands; false when it is not. Throws RuntimeError.
  virtual bool run(const Command& c) = 0;
  // Before every other command, and after it even when it failed. Throw RuntimeError.
  virtual void before_command(const Command& c) = 0;
  virtual void after_command() = 0;
  // Puts the menus into the windows once start-up has made them.
  virtual void install_menus() = 0;
};

// The 22 (initialize, terminate) pairs: the two service libraries, then one per program
// function in table order. Module constants are compile-time constants, so each pair only
// marks its module ready or released; the order is what the program relies on.
struct InitTermPair {
  std::string_view module;
  void (*initialize)();
  void (*terminate)();
};
const std::array<InitTermPair, 22>& init_term_table();

class Program {
 public:
  // `start_folder` is the current folder the program reads its supplied files from.
  Program(std::filesystem::path start_folder, Dialogs& dialogs, std::ostream& console);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  Globals globals;
  gfx::Model gfx;
  Dialogs& dialogs;
  std::ostream& console;  // the program's console output (the dyno reader's one line)
  std::filesystem::path current_folder;
  // The bleed data of the current folder, kept between PLOTs while the file is unchanged.
  BleedCache bleed_cache;
  // Where PRINT goes: the system's printer in the desktop program, a recorder headless.
  ScriptedPrinter headless_printer;
  Printer* printer = &headless_printer;
  // Where copied text and saved pictures go: the system's clipboard and picture writers in
  // the desktop program, recorders headless.
  ScriptedClipboard headless_clipboard;
  Clipboard* clipboard = &headless_clipboard;
  RecordingPictureWriter headless_pictures;
  PictureWriter* pictures = &headless_pictures;
  // What is kept between sessions (the corner the damping guides are drawn for): the user's
  // settings file in the desktop program, memory headless.
  MemorySettings headless_settings;
  Settings* settings = &headless_settings;
  // Where long work (the closest set-up search, the clicker sweep) shows how far it has come
  // and can be cancelled: a window on the desktop, nothing headless.
  NoProgress headless_progress;
  Progress* progress = &headless_progress;
  // The comparison window's menu, the hidden curves and the undo history, put in by the
  // program put together around this one; without them the program serves its own commands
  // only. `tools` is the same object as the program put together knows it.
  std::unique_ptr<ProgramMenus> menus;
  ComparisonTools* tools = nullptr;

  // Runs a program function through its generic entry. Throws RuntimeError.
  std::vector<Value> call(std::string_view name, int nargout, std::vector<Value> inputs);

  // The command boundary: runs a control command text (or "close"), reports a run-time error
  // through `report_error`, puts busy pointers back to "arrow" and returns false on failure.
  bool run_command(std::string_view text);
  // The same boundary around any piece of work.
  bool guarded(const std::function<void()>& work);

  // Commands of the program put together around this one (the session menu): run before the
  // program's own when it returns true. Throws RuntimeError.
  std::function<bool(const Command&)> extra_commands;

  // How errors are shown; by default written to standard error. The last one is kept.
  std::function<void(const std::string&)> report_error;
  std::optional<std::string> last_error;

  // The user closed window `number` from the window manager. The main window runs EXIT; the
  // comparison and turn windows are only hidden, with everything in them, and come back with
  // the next action that draws there; any other window closes. Reports errors like a command.
  void close_requested(int number);

  // The context the damper processor's actions run in.
  Processor processor();

  // The start-up sequence: runs the entry function with one output asked, then puts the
  // context menus into the comparison and main windows.
  void start();
};

// The module names of the 22 lifecycle pairs, in the order their initialize routines ran
// since the process began, and in the order terminate routines ran (for tests).
const std::vector<std::string>& lifecycle_log();

}  // namespace quorin
