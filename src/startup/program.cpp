#include "startup/program.h"

#include <iostream>
#include <new>
#include <stdexcept>

#include "services/runtime_error.h"

namespace quorin {
namespace {

constexpr std::string_view kOutOfMemory =
    "Out of memory: the action was abandoned. Every stored curve and setting is kept.";
constexpr std::string_view kUnexpectedFailure =
    "The action was abandoned after an unexpected failure; every stored curve and setting is "
    "kept: ";

std::vector<std::string>& log_storage() {
  static std::vector<std::string> log;
  return log;
}

template <std::size_t I>
void init_module() {
  log_storage().push_back("init " + std::string(init_term_table()[I].module));
}
template <std::size_t I>
void term_module() {
  log_storage().push_back("term " + std::string(init_term_table()[I].module));
}

template <std::size_t... I>
constexpr std::array<InitTermPair, 22> make_pairs(std::index_sequence<I...>) {
  constexpr std::array<std::string_view, 22> names = {
      "arrays", "graphics", "quorin_interface_v41", "quorin_processor_ct", "imagesc",
      "imread", "lht", "plotfigure", "rht", "title", "xlabel", "ylabel", "loadshock", "bleed",
      "cla", "clearfunction", "correction", "curve", "forcebalanceimperial",
      "forcebalancemetric", "plotfunction", "warningct"};
  return {InitTermPair{names[I], &init_module<I>, &term_module<I>}...};
}

const std::array<InitTermPair, 22> kPairs = make_pairs(std::make_index_sequence<22>{});

}  // namespace

const std::array<InitTermPair, 22>& init_term_table() { return kPairs; }
const std::vector<std::string>& lifecycle_log() { return log_storage(); }

Program::Program(std::filesystem::path start_folder, Dialogs& d, std::ostream& out)
    : dialogs(d),
      console(out),
      current_folder(std::move(start_folder)) {
  for (const auto& p : kPairs) p.initialize();
  report_error = [](const std::string& m) { std::cerr << m << std::endl; };
}

Program::~Program() {
  for (auto it = kPairs.rbegin(); it != kPairs.rend(); ++it) it->terminate();
}

std::vector<Value> Program::call(std::string_view name, int nargout, std::vector<Value> inputs) {
  const FunctionRow* row = find_function(name);
  if (!row) throw RuntimeError("Undefined function \"" + std::string(name) + "\"");
  return call_generic(*this, *row, nargout, std::move(inputs));
}

bool Program::guarded(const std::function<void()>& work) {
  std::string message;
  try {
    work();
    return true;
  } catch (const RuntimeError& e) {
    message = e.what();
  } catch (const std::bad_alloc&) {
    // The action's own allocations are gone with it; what was stored before stays.
    message = std::string(kOutOfMemory);
  } catch (const std::exception& e) {
    message = std::string(kUnexpectedFailure) + e.what();
  }
  last_error = message;
  // A failed action never leaves a window showing the busy pointer.
  for (int n : gfx.window_numbers())
    if (auto* w = gfx.window(n)) w->pointer = "arrow";
  gfx.touch();
  if (report_error) report_error(message);
  return false;
}

bool Program::run_command(std::string_view text) {
  const bool done = guarded([&] {
    // Plot-editing commands are accepted and do nothing; their arguments are not texts.
    std::size_t n = 0;
    while (n < text.size() && (std::isalnum(static_cast<unsigned char>(text[n])) || text[n] == '_')) ++n;
    if (is_plot_editing_command(text.substr(0, n))) return;
    Command c = parse_command(text);
    if (c.name == "close" && c.inputs.empty()) {
      gfx.close_current();
      return;
    }
    if (menus && menus->run(c)) return;
    if (menus) menus->before_command(c);
    if (extra_commands && extra_commands(c)) return;
    std::vector<Value> in;
    for (auto& s : c.inputs) in.push_back(Value::text(std::move(s)));
    call(c.name, 0, std::move(in));
  });
  // What the action changed, even when it failed part way, can be undone.
  if (menus) guarded([&] { menus->after_command(); });
  return done;
}

void Program::close_requested(int number) {
  constexpr int kMainWindow = 1;
  if (!gfx.window(number)) return;
  if (number == kMainWindow) {
    run_command("quorin_processor_ct('exit')");
    return;
  }
  // The windows whose axes the globals hold keep their curves while they are away.
  for (gfx::Handle kept : {globals.plothandle, globals.plothandle_lht, globals.plothandle_rht}) {
    if (gfx.valid(kept) && gfx.window_of(kept).number == number) {
      gfx.window(number)->visible = false;
      gfx.touch();
      return;
    }
  }
  guarded([&] { gfx.close(number); });
}

Processor Program::processor() {
  return Processor{globals,        gfx,
                   dialogs,        console,
                   current_folder, [this] { call("warningct", 0, {}); },
                   &bleed_cache, printer};
}

void Program::start() {
  call("quorin_interface_v41", 1, {});
  if (menus) menus->install_menus();
}

}  // namespace quorin
