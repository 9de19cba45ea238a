#include "startup/autosave.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <string_view>

#include "plotting/damper_curve.h"
#include "processor/processor.h"
#include "services/runtime_error.h"
#include "startup/global_table.h"
#include "startup/program.h"

namespace quorin {
namespace {

constexpr std::string_view kFileName = "session.autosave";
constexpr std::string_view kWaitingSuffix = ".waiting";
// Programs running at once in one start folder that each keep their session.
constexpr int kMostPrograms = 8;

// Main-window boxes and buttons kept beside the twelve selections, so the restored plot has the
// units, limits and held curves it had.
constexpr std::array<std::string_view, 4> kLimitBoxes = {"xmin", "xmax", "ymin", "ymax"};
constexpr std::array<std::string_view, 4> kButtons = {"SIUnits", "USUnits", "holdimport",
                                                       "holdroehrig"};

// The session as the variables of its file.
NamedValues capture(Program& p) {
  NamedValues vars = actions::read_selections(p.gfx);
  for (std::string_view tag : kLimitBoxes)
    vars.emplace_back(std::string(tag), Value::text(main_control(p.gfx, tag).string));
  for (std::string_view tag : kButtons)
    vars.emplace_back(std::string(tag), Value::number(main_control(p.gfx, tag).value));
  for (std::string_view name : {"counter", "counter2", "import", "ShockData", "plotdata"})
    vars.emplace_back(std::string(name), global_value(p.globals, name));
  return vars;
}

const Value& variable(const NamedValues& vars, std::string_view name,
                      const std::filesystem::path& file) {
  for (const auto& [key, value] : vars)
    if (key == name) return value;
  throw RuntimeError("The kept session \"" + file.string() + "\" holds no " + std::string(name) +
                     "; it was not restored.");
}

double number(const NamedValues& vars, std::string_view name, const std::filesystem::path& file) {
  const Value& v = variable(vars, name, file);
  if (!v.is_scalar())
    throw RuntimeError("The kept session \"" + file.string() + "\" holds " + describe(v) + " as " +
                       std::string(name) + "; it was not restored.");
  return v.scalar();
}

std::string text(const NamedValues& vars, std::string_view name, const std::filesystem::path& file) {
  const Value& v = variable(vars, name, file);
  if (!v.is_text())
    throw RuntimeError("The kept session \"" + file.string() + "\" holds " + describe(v) + " as " +
                       std::string(name) + "; it was not restored.");
  return v.str();
}

// The held import curve: rows of velocity, compression and rebound force.
Matrix import_matrix(const Value& v, const std::filesystem::path& file) {
  Matrix m;
  if (v.is_empty()) return m;
  if (!v.is_numeric() || v.dims().size() != 2)
    throw RuntimeError("The kept session \"" + file.string() +
                       "\" holds no import matrix; it was not restored.");
  m.rows = v.dims()[0];
  m.cols = v.dims()[1];
  const std::vector<double>& col_order = v.numbers();
  m.data.resize(m.rows * m.cols);
  for (std::size_t r = 0; r < m.rows; ++r)
    for (std::size_t c = 0; c < m.cols; ++c) m.data[r * m.cols + c] = col_order[c * m.rows + r];
  return m;
}

}  // namespace

std::filesystem::path autosave_file(const std::filesystem::path& start_folder) {
  return start_folder / "data" / std::string(kFileName);
}

Autosave::Autosave(const std::filesystem::path& start_folder, std::ostream& console)
    : file_(autosave_file(start_folder)), console_(console) {
  std::error_code ec;
  enabled_ = std::filesystem::is_directory(file_.parent_path(), ec);
  // Each program running in the folder keeps its session in a file of its own, the first in
  // session.autosave, a second in session-2.autosave and so on. A file belongs to the program
  // that holds the lock beside it, so a program started beside a running one never takes the
  // running one's session for one left behind.
  for (int slot = 1; enabled_ && slot <= kMostPrograms && lock_ < 0; ++slot) {
    const std::filesystem::path f =
        slot == 1 ? file_ : file_.parent_path() / ("session-" + std::to_string(slot) + ".autosave");
    const int fd = ::open((f.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      console_ << "quorin: the session cannot be kept in \"" << f.parent_path().string()
               << "\": " << std::strerror(errno) << std::endl;
      enabled_ = false;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      lock_ = fd;
      file_ = f;
    } else {
      ::close(fd);
    }
  }
  if (enabled_ && lock_ < 0) {
    console_ << "quorin: the session is not kept: " << kMostPrograms
             << " programs already keep theirs in \"" << file_.parent_path().string() << "\"."
             << std::endl;
    enabled_ = false;
  }
  waiting_ = file_.string() + std::string(kWaitingSuffix);
  // A session file of our own that is still there was left by a run that did not end cleanly.
  if (enabled_ && std::filesystem::is_regular_file(file_, ec))
    std::filesystem::rename(file_, waiting_, ec);
  if (enabled_) writer_ = std::thread([this] { write_loop(); });
}

Autosave::~Autosave() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (writer_.joinable()) writer_.join();
  if (lock_ >= 0) ::close(lock_);
}

void Autosave::keep(Program& p) {
  if (!enabled_ || !p.gfx.window(1)) return;  // nothing to keep before start-up or after EXIT
  std::string failure;
  try {
    NamedValues now = capture(p);
    if (last_ && *last_ == now) return;
    last_ = now;
    {
      std::lock_guard lock(mutex_);
      to_write_ = std::move(now);
    }
    changed_.notify_all();
    return;
  } catch (const std::exception& e) {
    failure = e.what();
  }
  std::lock_guard lock(mutex_);
  if (!warned_)
    console_ << "quorin: the session could not be kept in \"" << file_.string()
             << "\": " << failure << std::endl;
  warned_ = true;
}

void Autosave::write_loop() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stop_ || to_write_; });
    if (!to_write_) return;  // stopped with nothing left to write
    NamedValues vars = std::move(*to_write_);
    to_write_.reset();
    writing_ = true;
    lock.unlock();
    std::string failure;
    try {
      save_variables(file_, vars);
    } catch (const std::exception& e) {
      failure = e.what();
    }
    lock.lock();
    writing_ = false;
    if (!failure.empty() && !warned_) {
      console_ << "quorin: the session could not be kept in \"" << file_.string()
               << "\": " << failure << std::endl;
      warned_ = true;
    }
    changed_.notify_all();
  }
}

void Autosave::flush() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !to_write_ && !writing_; });
}

std::optional<std::size_t> Autosave::waiting_curves() const {
  std::error_code ec;
  if (!enabled_ || !std::filesystem::is_regular_file(waiting_, ec)) return std::nullopt;
  try {
    const NamedValues vars = load_variables(waiting_, {"counter"});
    const double counter = number(vars, "counter", waiting_);
    return counter >= 1 ? static_cast<std::size_t>(counter) - 1 : 0;
  } catch (const RuntimeError&) {
    return 0;  // it waits all the same; restoring it will say what is wrong
  }
}

void Autosave::restore(Program& p) {
  if (!waiting_curves())
    throw RuntimeError("No session waits to be restored in \"" + file_.parent_path().string() +
                       "\".");
  // Everything is read and checked before anything changes.
  const NamedValues vars = load_all_variables(waiting_);
  std::vector<DamperCurve> plotdata = plotdata_from_value(variable(vars, "plotdata", waiting_));
  const double counter = number(vars, "counter", waiting_);
  const double counter2 = number(vars, "counter2", waiting_);
  if (!(counter >= 1) || counter - 1 > static_cast<double>(plotdata.size()))
    throw RuntimeError("The kept session \"" + waiting_.string() + "\" counts " +
                       std::to_string(counter - 1) + " curves but holds " +
                       std::to_string(plotdata.size()) + "; it was not restored.");
  Matrix import = import_matrix(variable(vars, "import", waiting_), waiting_);
  Value shock = variable(vars, "ShockData", waiting_);
  std::array<std::string, kLimitBoxes.size()> limits;
  for (std::size_t k = 0; k < kLimitBoxes.size(); ++k) limits[k] = text(vars, kLimitBoxes[k], waiting_);
  std::array<double, kButtons.size()> buttons{};
  for (std::size_t k = 0; k < kButtons.size(); ++k) buttons[k] = number(vars, kButtons[k], waiting_);
  for (std::string_view tag : kLimitBoxes) main_control(p.gfx, tag);
  for (std::string_view tag : kButtons) main_control(p.gfx, tag);

  Processor proc = p.processor();
  actions::apply_selections(proc, vars, waiting_);
  for (std::size_t k = 0; k < kLimitBoxes.size(); ++k)
    main_control(p.gfx, kLimitBoxes[k]).string = limits[k];
  for (std::size_t k = 0; k < kButtons.size(); ++k)
    main_control(p.gfx, kButtons[k]).value = buttons[k];
  p.globals.plotdata = std::move(plotdata);
  p.globals.counter = counter;
  p.globals.counter2 = counter2;
  p.globals.import = std::move(import);
  p.globals.ShockData = std::move(shock);
  p.gfx.figure(1);
  // Redrawn as Rescale draws, with the units and limits the boxes now show.
  quorin_processor_ct(proc, "rescale");

  std::error_code ec;
  std::filesystem::remove(waiting_, ec);
}

void Autosave::discard() {
  std::error_code ec;
  std::filesystem::remove(waiting_, ec);
}

void Autosave::finish() {
  if (!enabled_) return;
  flush();
  std::error_code ec;
  std::filesystem::remove(file_, ec);
  last_.reset();
}

}  // namespace quorin
