#include "app/application.h"

#include "services/runtime_error.h"
#include "startup/comparison_tools.h"

namespace quorin {
namespace {

constexpr int kMainWindow = 1;

std::string restore_question(std::size_t curves) {
  return "quorin did not end with EXIT last time. Bring back that session: its " +
         std::to_string(curves) + (curves == 1 ? " stored curve" : " stored curves") +
         ", the held curves and the selections?";
}

}  // namespace

Application::Application(std::filesystem::path start_folder, Desk& desk, std::ostream& console)
    : desk_(desk), dialogs_(desk.dialogs(), desk.settings()) {
  kept_ = std::make_unique<KeptSession>(start_folder, console);
  program_ = std::make_unique<Program>(start_folder, dialogs_, console);
  Program& p = *program_;
  p.report_error = [this](const std::string& m) { desk_.show_error(m); };
  p.extra_commands = [this](const Command& c) { return session_command(c); };
  // The desk's outputs that draw windows exist once it shows this program's windows.
  desk.attach(
      p.gfx, [this](const std::string& command) { program_->run_command(command); },
      [this](int window) { program_->close_requested(window); });
  p.printer = &desk.printer();
  p.clipboard = &desk.clipboard();
  p.pictures = &desk.pictures();
  p.settings = &desk.settings();
  desk.after_every_use([this] { after_use(); });
}

Application::~Application() {
  end();
}

bool Application::start() {
  Program& p = *program_;
  const bool started = p.guarded([&] { p.start(); });
  desk_.sync();
  shown_ = shown_ || p.gfx.window(kMainWindow) != nullptr;
  return started;
}

void Application::offer_waiting_session() {
  const std::optional<std::size_t> curves = kept_->waiting_curves();
  if (!curves || !program_->gfx.window(kMainWindow)) return;
  if (desk_.ask("quorin", restore_question(*curves)))
    program_->guarded([&] { kept_->restore(*program_); });
  else
    kept_->discard();
  desk_.sync();
  desk_.raise_in_order();
}

bool Application::session_command(const Command& c) {
  if (c.name != kSessionCommand) return false;
  const std::string item = c.inputs.empty() ? std::string() : c.inputs[0];
  if (item != "reopen") throw RuntimeError("The session menu has no item \"" + item + "\".");
  program_->tools->before_undoable();  // opening a session can be taken back
  kept_->reopen_last(*program_);
  return true;
}

void Application::after_use() {
  if (ended_) return;
  if (!program_->gfx.window(kMainWindow)) {
    if (shown_) end();  // EXIT, or the main window closed
    return;
  }
  kept_->keep(*program_);
  if (std::optional<std::string> failure = kept_->failure_to_tell())
    desk_.tell("quorin", *failure);
}

void Application::end() {
  if (ended_) return;
  ended_ = true;
  kept_->finish();
  // EXIT ends the program: the turn windows, warnings and tool windows go with it.
  gfx::Model& m = program_->gfx;
  program_->guarded([&] {
    for (int n : m.window_numbers()) m.close(n);
  });
  desk_.sync();
  desk_.quit();
}

int Application::run() {
  const bool started = start();
  if (!started && program_->gfx.window_numbers().empty()) return 1;
  if (started) offer_waiting_session();
  after_use();  // the session as started is kept at once
  const int status = desk_.exec();
  end();
  return status;
}

}  // namespace quorin
