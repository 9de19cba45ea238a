#include "app/application.h"

#include <ctime>

#include "app/comparison_tools.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

constexpr int kMainWindow = 1;

std::string curves_text(std::size_t curves) {
  return std::to_string(curves) + (curves == 1 ? " stored curve" : " stored curves");
}

std::string kept_time(std::time_t t) {
  std::tm local{};
  char text[32] = "";
  if (localtime_r(&t, &local)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// The question about waiting session `index` (0: the newest) of `count`.
std::string restore_question(const KeptSession::Waiting& w, std::size_t index, std::size_t count) {
  if (count == 1)
    return "quorin did not end with EXIT last time. Bring back that session: its " +
           curves_text(w.curves) + ", the held curves and the selections?";
  return "quorin did not end with EXIT in " + std::to_string(count) +
         " earlier runs; their sessions wait, newest first. Bring back session " +
         std::to_string(index + 1) + " of " + std::to_string(count) + ", kept " +
         kept_time(w.kept_at) + ": its " + curves_text(w.curves) +
         ", the held curves and the selections?\n(No lets this one go and asks about the next; "
         "the sessions not asked about wait for the next start.)";
}

}  // namespace

Application::Application(std::filesystem::path start_folder, Desk& desk, std::ostream& console)
    : desk_(desk), dialogs_(desk.dialogs(), desk.settings()) {
  kept_ = std::make_unique<KeptSession>(start_folder, console);
  program_ = std::make_unique<Program>(start_folder, dialogs_, console);
  Program& p = *program_;
  ComparisonTools::attach(p);
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
  p.progress = &desk.progress();
  desk.after_every_use([this] { after_use(); });
}

Application::~Application() {
  end();
  desk_.after_every_use(nullptr);
  desk_.detach();  // the desk's windows go before the program they show
}

bool Application::start() {
  Program& p = *program_;
  const bool started = p.guarded([&] { p.start(); });
  desk_.sync();
  shown_ = shown_ || p.gfx.window(kMainWindow) != nullptr;
  return started;
}

void Application::offer_waiting_session() {
  if (!program_->gfx.window(kMainWindow)) return;
  const std::vector<KeptSession::Waiting> waiting = kept_->waiting_sessions();
  if (waiting.empty()) return;
  // Each in turn, newest first, until one is brought back; one that cannot be brought back
  // (the error was shown) stays and the next is asked about.
  for (std::size_t i = 0; i < waiting.size(); ++i) {
    if (!desk_.ask("quorin", restore_question(waiting[i], i, waiting.size()))) {
      kept_->discard(waiting[i].file);
      continue;
    }
    if (program_->guarded([&] { kept_->restore_file(*program_, waiting[i].file); })) break;
  }
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
  if (std::optional<std::string> failure = kept_->failure_to_tell()) desk_.tell("quorin", *failure);
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
