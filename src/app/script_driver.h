// The headless, line-oriented script driver over the program: call program functions, answer
// file dialogs, drive controls as a user would, read globals and render windows.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "services/dialogs.h"
#include "services/gfx/model.h"
#include "services/outputs.h"
#include "app/application.h"
#include "startup/program.h"

namespace quorin {

// A script line that is not a command of the driver (unknown verb, malformed JSON).
class ScriptSyntaxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ScriptDriver;

// One command of the driver: its verb (one word, or two for the forms of `dialog`), its
// arguments as the help writes them, its help text (one sentence, lower case, no full stop)
// and what it does with the rest of the line (throws ScriptSyntaxError when that is
// malformed).
struct ScriptVerb {
  std::string_view verb;
  std::string_view arguments;
  std::string_view help;
  std::string (*run)(ScriptDriver& driver, std::string_view rest);
};

struct ScriptHooks {
  // Renders window `number` to a PNG file; false when it could not.
  std::function<bool(gfx::Model&, int number, const std::filesystem::path& png)> snapshot;
  // Prints window `number` into a PDF file as its paper settings say (what a PDF printer
  // chosen in the print dialog does). Throws RuntimeError when it cannot.
  std::function<void(gfx::Model&, int number, const std::filesystem::path& pdf)> print_pdf;
  // Saves a picture of a window as the comparison window's "Save picture" item does. Throws
  // RuntimeError when it cannot.
  std::function<void(gfx::Model&, const PictureRequest&)> save_picture;
};

class ScriptDriver {
 public:
  // `start_folder` is where `start` without a folder starts; `console` receives the program's
  // own console output (kept apart from the JSON lines).
  ScriptDriver(std::filesystem::path start_folder, std::ostream& console, ScriptHooks hooks = {});
  ~ScriptDriver();

  // Runs one line. Returns the JSON line to print, or nothing for a blank or comment line.
  // Throws ScriptSyntaxError for a line that is not a driver command.
  std::optional<std::string> run_line(std::string_view line);

  Program& program() { return app_->program(); }
  Application& application() { return *app_; }
  ScriptedDialogs& dialogs();

  // The driver's commands, in the order the help lists them: what run_line takes, what
  // --help and the manual page list.
  static std::span<const ScriptVerb> verbs();

 private:
  class ScriptDesk;
  class Verbs;
  // Runs `work` at the command boundary and turns a run-time error into the error line.
  std::string boundary(const std::function<std::string()>& work);
  void restart(const std::filesystem::path& folder);
  std::filesystem::path start_folder_;
  std::ostream& console_;
  ScriptHooks hooks_;
  std::unique_ptr<ScriptDesk> desk_;
  // The program put together over the driver's desk; its session is kept in the start
  // folder's data folder after every line. A script that ends (however its lines went) keeps
  // it as the last session; a killed driver leaves it to be restored.
  std::unique_ptr<Application> app_;
};

// Runs a whole script; returns the process exit status (non-zero for a malformed line, whose
// number is named on standard error).
int run_script(std::istream& in, std::ostream& out, std::ostream& err, ScriptDriver& driver);

// The text of `quorin-script --help`.
std::string script_help();
// The commands of the driver as the body of the manual page's COMMANDS section (roff).
std::string script_manual_commands();

}  // namespace quorin
