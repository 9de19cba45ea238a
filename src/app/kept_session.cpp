#include "app/kept_session.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "plotting/damper_curve.h"
#include "services/runtime_error.h"
#include "startup/program.h"

namespace quorin {
namespace {

constexpr std::string_view kFileName = "session.autosave";
constexpr std::string_view kWaitingSuffix = ".waiting";
constexpr std::string_view kLastFileName = "session.last";
// Programs running at once in one start folder that each keep their session.
constexpr int kMostPrograms = 8;

std::string describe_session(const std::filesystem::path& file) {
  return "The kept session \"" + file.string() + "\"";
}

// A session kept by an earlier version of the program, as named variables.
const Value* variable(const NamedValues& vars, std::string_view name) {
  for (const auto& [key, value] : vars)
    if (key == name) return &value;
  return nullptr;
}

SessionDocument from_variables(const std::filesystem::path& file) {
  const NamedValues vars = load_all_variables(file);
  const std::string what = describe_session(file);
  auto need = [&](std::string_view name) -> const Value& {
    const Value* v = variable(vars, name);
    if (!v) throw RuntimeError(what + " holds no " + std::string(name) + "; it was not restored.");
    return *v;
  };
  auto number = [&](std::string_view name) {
    const Value& v = need(name);
    if (!v.is_scalar())
      throw RuntimeError(what + " holds " + describe(v) + " as " + std::string(name) +
                         "; it was not restored.");
    return v.scalar();
  };
  SessionDocument d;
  for (std::string_view name : {"cvalvevalue", "cspringvalue", "cbleedvalue", "chighvalue",
                                "rvalvevalue", "rspringvalue", "rbleedvalue", "rhighvalue",
                                "mrstr", "internalstr", "externalstr", "pistonstr"})
    if (const Value* v = variable(vars, name)) d.selections.emplace_back(std::string(name), *v);
  for (std::string_view tag : {"xmin", "xmax", "ymin", "ymax"}) {
    const Value& v = need(tag);
    if (!v.is_text())
      throw RuntimeError(what + " holds " + describe(v) + " as " + std::string(tag) +
                         "; it was not restored.");
    d.boxes.emplace_back(std::string(tag), v.str());
  }
  for (std::string_view tag : {"SIUnits", "USUnits", "holdimport", "holdroehrig"})
    d.buttons.emplace_back(std::string(tag), number(tag));
  d.counter = number("counter");
  d.counter2 = number("counter2");
  d.plotdata = plotdata_from_value(need("plotdata"));
  const Value& import = need("import");
  if (!import.is_empty()) {
    if (!import.is_numeric() || import.dims().size() != 2)
      throw RuntimeError(what + " holds no import matrix; it was not restored.");
    d.import.rows = import.dims()[0];
    d.import.cols = import.dims()[1];
    std::vector<double> data(d.import.rows * d.import.cols);
    const std::vector<double>& col_order = import.numbers();
    for (std::size_t r = 0; r < d.import.rows; ++r)
      for (std::size_t c = 0; c < d.import.cols; ++c)
        data[r * d.import.cols + c] = col_order[c * d.import.rows + r];
    d.import.data = std::move(data);
  }
  d.ShockData = need("ShockData");
  return d;
}

// A kept session of this version, or of the earlier one that kept it as variables.
SessionDocument read_any_session(const std::filesystem::path& file) {
  try {
    return read_session(file);
  } catch (const RuntimeError&) {
    std::error_code ec;
    char first = 0;
    if (FILE* f = std::fopen(file.c_str(), "rb")) {
      first = static_cast<char>(std::fgetc(f));
      std::fclose(f);
    }
    if (first != '{') throw;  // not a session of the earlier kind either
  }
  return from_variables(file);
}

}  // namespace

std::filesystem::path autosave_file(const std::filesystem::path& start_folder) {
  return start_folder / "data" / std::string(kFileName);
}

KeptSession::KeptSession(const std::filesystem::path& start_folder, std::ostream& console)
    : file_(autosave_file(start_folder)),
      last_(start_folder / "data" / std::string(kLastFileName)),
      console_(console) {
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
  // A session file of our own that is still there was left by a run that did not end
  // cleanly. A session already waiting is not replaced by it unless it holds curves of its
  // own: a run that only started and was killed holds nothing worth more than what waits.
  if (enabled_ && std::filesystem::is_regular_file(file_, ec)) {
    bool keep_waiting = false;
    if (std::filesystem::is_regular_file(waiting_, ec)) {
      try {
        keep_waiting = read_session_curves(file_) == 0;
      } catch (const RuntimeError&) {
        keep_waiting = true;
      }
    }
    if (keep_waiting)
      std::filesystem::remove(file_, ec);
    else
      std::filesystem::rename(file_, waiting_, ec);
  }
  if (enabled_) writer_ = std::thread([this] { write_loop(); });
}

KeptSession::~KeptSession() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (writer_.joinable()) writer_.join();
  if (lock_ >= 0) ::close(lock_);
}

void KeptSession::failed(const std::string& reason) {
  if (failure_) return;
  failure_ = reason;
  console_ << "quorin: the session could not be kept in \"" << file_.string() << "\": " << reason
           << std::endl;
}

void KeptSession::keep(Program& p) {
  if (!enabled_ || !p.gfx.window(1)) return;  // nothing to keep before start-up or after EXIT
  try {
    SessionDocument now = take_session(p);
    if (taken_ && same_session(*taken_, now)) return;
    auto shared = std::make_shared<const SessionDocument>(now);
    taken_ = std::move(now);
    ++revision_;
    {
      std::lock_guard lock(mutex_);
      to_write_ = std::move(shared);
    }
    changed_.notify_all();
  } catch (const std::bad_alloc&) {
    std::lock_guard lock(mutex_);
    failed("memory ran short");
  } catch (const std::exception& e) {
    std::lock_guard lock(mutex_);
    failed(e.what());
  }
}

void KeptSession::write_loop() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stop_ || to_write_; });
    if (!to_write_) return;  // stopped with nothing left to write
    std::shared_ptr<const SessionDocument> doc = std::move(to_write_);
    to_write_.reset();
    writing_ = true;
    lock.unlock();
    std::string failure;
    try {
      write_session(file_, *doc);
    } catch (const std::bad_alloc&) {
      failure = "memory ran short";
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "an unexpected failure";
    }
    doc.reset();
    lock.lock();
    writing_ = false;
    if (!failure.empty()) failed(failure);
    changed_.notify_all();
  }
}

void KeptSession::flush() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !to_write_ && !writing_; });
}

std::optional<std::string> KeptSession::failure_to_tell() {
  std::lock_guard lock(mutex_);
  if (!failure_ || told_) return std::nullopt;
  told_ = true;
  return "The session cannot be kept in \"" + file_.string() + "\": " + *failure_ +
         "\nquorin goes on, but an end without EXIT would lose the curves since the last "
         "session kept.";
}

std::optional<std::size_t> KeptSession::waiting_curves() const {
  std::error_code ec;
  if (!enabled_ || !std::filesystem::is_regular_file(waiting_, ec)) return std::nullopt;
  try {
    return read_session_curves(waiting_);
  } catch (const RuntimeError&) {
    try {
      return read_any_session(waiting_).stored_curves();
    } catch (const RuntimeError&) {
      return 0;  // it waits all the same; restoring it will say what is wrong
    }
  }
}

void KeptSession::bring_back(Program& p, const std::filesystem::path& from) {
  const SessionDocument d = read_any_session(from);
  put_session(p, d, describe_session(from));
  // On disk again before the file it came from goes: a kill now loses nothing.
  keep(p);
  flush();
}

void KeptSession::restore(Program& p) {
  if (!waiting_curves())
    throw RuntimeError("No session waits to be restored in \"" + file_.parent_path().string() +
                       "\".");
  bring_back(p, waiting_);
  std::error_code ec;
  std::filesystem::remove(waiting_, ec);
}

void KeptSession::discard() {
  std::error_code ec;
  std::filesystem::remove(waiting_, ec);
}

bool KeptSession::last_session_exists() const {
  std::error_code ec;
  return std::filesystem::is_regular_file(last_, ec);
}

void KeptSession::reopen_last(Program& p) {
  if (!last_session_exists())
    throw RuntimeError("No session was kept at an EXIT in \"" + last_.parent_path().string() +
                       "\".");
  bring_back(p, last_);
}

void KeptSession::finish() {
  if (!enabled_) return;
  flush();
  std::error_code ec;
  // The last session of a clean end can be opened again; one that never stored anything
  // leaves the one kept before it.
  bool worth_keeping = false;
  if (taken_)
    worth_keeping = taken_->stored_curves() > 0 || !taken_->import.data.empty() ||
                    !taken_->ShockData.is_empty();
  if (worth_keeping && std::filesystem::is_regular_file(file_, ec))
    std::filesystem::rename(file_, last_, ec);
  std::filesystem::remove(file_, ec);
  taken_.reset();
}

}  // namespace quorin
