#include "app/kept_session.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <sys/stat.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
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
  for (std::string_view name :
       {"cvalvevalue", "cspringvalue", "cbleedvalue", "chighvalue", "rvalvevalue", "rspringvalue",
        "rbleedvalue", "rhighvalue", "mrstr", "internalstr", "externalstr", "pistonstr"})
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
    d.import = Matrix::from_column_order(import.dims()[0], import.dims()[1], import.numbers());
  }
  d.ShockData = need("ShockData");
  return d;
}

// A kept session of this version, or of the earlier one that kept it as variables.
SessionDocument read_any_session(const std::filesystem::path& file) {
  try {
    return read_session(file);
  } catch (const RuntimeError&) {
    char first = 0;
    if (FILE* f = std::fopen(file.c_str(), "rb")) {
      first = static_cast<char>(std::fgetc(f));
      std::fclose(f);
    }
    if (first != '{') throw;  // not a session of the earlier kind either
  }
  return from_variables(file);
}

// The session file of slot `slot` (1 to kMostPrograms) in the data folder.
std::filesystem::path slot_file(const std::filesystem::path& folder, int slot) {
  return slot == 1 ? folder / std::string(kFileName)
                   : folder / ("session-" + std::to_string(slot) + ".autosave");
}

// Whether a running program holds `file` locked as its session file.
bool file_locked(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return locked;
}

// Whether `name` is the name of a waiting session: "<session file>.waiting" or
// "<session file>.waiting-<stamp>".
bool waiting_name(const std::string& name) {
  const std::size_t at = name.find(".autosave" + std::string(kWaitingSuffix));
  return name.rfind("session", 0) == 0 && at != std::string::npos &&
         name.find(".tmp") == std::string::npos;
}

// Sets the session left in `file` aside to wait, under a name no other waiting session has.
void make_wait(const std::filesystem::path& file) {
  static std::atomic<unsigned> serial{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const std::string stamp =
      std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) + "-" +
      std::to_string(::getpid()) + "-" + std::to_string(serial++);
  std::error_code ec;
  std::filesystem::rename(file, file.string() + std::string(kWaitingSuffix) + "-" + stamp, ec);
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
  const std::filesystem::path folder = file_.parent_path();
  for (int slot = 1; enabled_ && slot <= kMostPrograms && lock_ < 0; ++slot)
    if (claim(slot_file(folder, slot))) break;
  if (enabled_ && lock_ < 0) {
    console_ << "quorin: the session is not kept: " << kMostPrograms
             << " programs already keep theirs in \"" << folder.string() << "\"." << std::endl;
    enabled_ = false;
  }
  if (enabled_) {
    set_aside_left_sessions();
    writer_ = std::thread([this] { write_loop(); });
  }
}

bool KeptSession::claim(const std::filesystem::path& f) {
  const int fd = ::open((f.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    console_ << "quorin: the session cannot be kept in \"" << f.parent_path().string()
             << "\": " << std::strerror(errno) << std::endl;
    enabled_ = false;
    return false;
  }
  // The lock beside the file can be deleted while its program runs; the lock on the session
  // file itself says that program still runs.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || file_locked(f)) {
    ::close(fd);
    return false;
  }
  lock_ = fd;
  file_ = f;
  return true;
}

void KeptSession::set_aside_left_sessions() {
  // Sessions in free slots were left by runs that did not end cleanly, ours included: each
  // waits under a name of its own until the user was asked about it. A left session that
  // holds no curve waits only when nothing else does: a run that only started and was killed
  // holds nothing worth asking about beside a session with curves.
  const std::filesystem::path folder = file_.parent_path();
  std::vector<std::filesystem::path> free_slots, left, empty;
  std::vector<int> held;
  for (int slot = 1; slot <= kMostPrograms; ++slot) {
    const std::filesystem::path f = slot_file(folder, slot);
    if (f == file_) {
      free_slots.push_back(f);
    } else {
      // (A slot never used has no lock file, and none is made for it.)
      const std::string lock = f.string() + ".lock";
      std::error_code ec;
      int fd = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
      if (fd < 0 && std::filesystem::exists(std::filesystem::symlink_status(f, ec)))
        fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0) continue;
      // A program runs there when it holds the lock, or the session file when its lock file
      // was deleted.
      if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || file_locked(f)) {
        ::close(fd);
        continue;
      }
      held.push_back(fd);  // kept locked until its session is set aside
      free_slots.push_back(f);
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(f, ec))) continue;
    bool holds_curves = false;
    try {
      holds_curves = read_session_curves(f) > 0;
    } catch (const RuntimeError&) {
      try {
        holds_curves = read_any_session(f).stored_curves() > 0;  // kept by an earlier version
      } catch (const RuntimeError&) {
        holds_curves = false;  // nothing in it can be brought back
      }
    }
    (holds_curves ? left : empty).push_back(f);
  }
  for (const std::filesystem::path& f : left) make_wait(f);
  const bool others_wait = !waiting_sessions().empty();
  for (const std::filesystem::path& f : empty) {
    std::error_code ec;
    if (others_wait)
      std::filesystem::remove(f, ec);
    else
      make_wait(f);
  }
  remove_half_written(free_slots);
  for (int fd : held) ::close(fd);
}

void KeptSession::remove_half_written(const std::vector<std::filesystem::path>& free_slots) {
  // A write cut short leaves its file beside the session file under the name
  // "<session file>.tmp<PID>-<n>". It is left over when its slot is free (no program writes
  // there) or the program that wrote it no longer runs.
  const std::filesystem::path folder = file_.parent_path();
  std::error_code ec;
  std::vector<std::filesystem::path> gone;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    for (int slot = 1; slot <= kMostPrograms; ++slot) {
      const std::filesystem::path f = slot_file(folder, slot);
      const std::string prefix = f.filename().string() + ".tmp";
      if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
      const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
      const bool slot_free =
          std::find(free_slots.begin(), free_slots.end(), f) != free_slots.end() &&
          pid != static_cast<long>(::getpid());
      const bool writer_gone = pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
      if (slot_free || writer_gone) gone.push_back(it->path());
      break;
    }
  }
  for (const std::filesystem::path& p : gone) std::filesystem::remove(p, ec);
}

KeptSession::~KeptSession() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (writer_.joinable()) writer_.join();
  if (file_lock_ >= 0) ::close(file_lock_);
  if (lock_ >= 0) ::close(lock_);
}

void KeptSession::write_file(const SessionDocument& doc) {
  // Written whole under a name of our own, locked, then put in place: the session file at
  // its place is always one this program holds locked.
  const std::filesystem::path staging =
      file_.string() + ".tmp" + std::to_string(::getpid()) + "-kept";
  write_session(staging, doc);
  const int fd = ::open(staging.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
      ::rename(staging.c_str(), file_.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    std::error_code ec;
    std::filesystem::remove(staging, ec);
    throw RuntimeError("cannot put \"" + file_.string() + "\" in place: " + reason);
  }
  if (file_lock_ >= 0) ::close(file_lock_);
  file_lock_ = fd;
}

bool KeptSession::file_is_ours() const {
  struct stat held {
  }, there{};
  return file_lock_ >= 0 && ::fstat(file_lock_, &held) == 0 &&
         ::lstat(file_.c_str(), &there) == 0 && held.st_dev == there.st_dev &&
         held.st_ino == there.st_ino;
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
      write_file(*doc);
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

std::vector<KeptSession::Waiting> KeptSession::waiting_sessions() const {
  std::vector<Waiting> out;
  if (!enabled_) return out;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(file_.parent_path(), ec), end; !ec && it != end;
       it.increment(ec)) {
    struct stat st {};
    if (!waiting_name(it->path().filename().string()) || ::lstat(it->path().c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode))
      continue;
    Waiting w;
    w.file = it->path();
    w.kept_at = st.st_mtim.tv_sec;
    w.kept_at_ns = st.st_mtim.tv_nsec;
    try {
      w.curves = read_session_curves(w.file);
    } catch (const RuntimeError&) {
      try {
        w.curves = read_any_session(w.file).stored_curves();
      } catch (const RuntimeError&) {
        w.curves = 0;  // it waits all the same; restoring it will say what is wrong
      }
    }
    out.push_back(std::move(w));
  }
  // Newest first: by the time each was last kept, then by name (its stamp).
  std::sort(out.begin(), out.end(), [](const Waiting& a, const Waiting& b) {
    if (a.kept_at != b.kept_at) return a.kept_at > b.kept_at;
    if (a.kept_at_ns != b.kept_at_ns) return a.kept_at_ns > b.kept_at_ns;
    return a.file.filename().string() > b.file.filename().string();
  });
  return out;
}

std::optional<std::size_t> KeptSession::waiting_curves() const {
  const std::vector<Waiting> waiting = waiting_sessions();
  if (waiting.empty()) return std::nullopt;
  return waiting.front().curves;
}

void KeptSession::bring_back(Program& p, const std::filesystem::path& from) {
  const SessionDocument d = read_any_session(from);
  put_session(p, d, describe_session(from));
  // On disk again before the file it came from goes: a kill now loses nothing.
  keep(p);
  flush();
}

void KeptSession::restore(Program& p, std::size_t which) {
  const std::vector<Waiting> waiting = waiting_sessions();
  if (waiting.empty())
    throw RuntimeError("No session waits to be restored in \"" + file_.parent_path().string() +
                       "\".");
  if (which >= waiting.size())
    throw RuntimeError("Only " + std::to_string(waiting.size()) +
                       (waiting.size() == 1 ? " session waits" : " sessions wait") +
                       " to be restored; there is no session " + std::to_string(which + 1) + ".");
  restore_file(p, waiting[which].file);
}

void KeptSession::restore_file(Program& p, const std::filesystem::path& file) {
  std::error_code ec;
  if (!enabled_ || !waiting_name(file.filename().string()) ||
      !std::filesystem::is_regular_file(file, ec))
    throw RuntimeError("No session waits to be restored in \"" + file.string() + "\".");
  bring_back(p, file);
  std::filesystem::remove(file, ec);
}

void KeptSession::discard(const std::filesystem::path& file) {
  std::error_code ec;
  if (waiting_name(file.filename().string())) std::filesystem::remove(file, ec);
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
    worth_keeping = taken_->stored_curves() > 0 || !taken_->import.empty() ||
                    !taken_->ShockData.is_empty();
  // A file at our place that is not the one we hold locked is another program's (one that
  // took the place after our lock file was deleted): it stays.
  if (file_is_ours()) {
    if (worth_keeping)
      std::filesystem::rename(file_, last_, ec);
    else
      std::filesystem::remove(file_, ec);
  }
  taken_.reset();
}

}  // namespace quorin
