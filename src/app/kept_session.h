// The session kept on disk while the program runs, so that an end without EXIT (a crash, a
// kill, a power cut) loses nothing, and kept again at EXIT, so the last session can be opened
// again. It is taken after every use of a control (cheaply: see session.h) and written by a
// thread of its own only when it changed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/session.h"

namespace quorin {

class Program;

class KeptSession {
 public:
  // Keeps the session of the program started in `start_folder` in its data folder (nothing is
  // kept when the start folder has none): in data/session.autosave, or, while other programs
  // keep theirs there, in data/session-N.autosave (N up to 8). A program holds both the lock
  // beside its file and the file itself locked, so one whose lock file was deleted still keeps
  // its file. The sessions left in any free file by runs that did not end cleanly are set
  // aside, each to wait until the user was asked about it, and the half-written files of
  // programs that no longer run are removed. Problems are said on `console`.
  KeptSession(const std::filesystem::path& start_folder, std::ostream& console);
  ~KeptSession();
  KeptSession(const KeptSession&) = delete;
  KeptSession& operator=(const KeptSession&) = delete;

  // Takes the session; when it differs from the last one taken, its revision goes up and the
  // writer puts it on disk, whole or not at all (while it writes, only the newest waits).
  // Never throws and never copies a curve.
  void keep(Program& p);
  // Waits until every session taken is on disk.
  void flush();
  // The revision of the session last taken: one more for every change.
  std::uint64_t revision() const { return revision_; }

  // The first failure to keep the session not yet told to the user (then forgotten); nothing
  // when the session is kept or the failure was told already.
  std::optional<std::string> failure_to_tell();

  // A session an earlier run left behind, waiting to be restored or let go.
  struct Waiting {
    std::filesystem::path file;
    std::size_t curves = 0;   // stored curves (0 as well when it cannot be read)
    std::time_t kept_at = 0;  // when it was last kept
    long kept_at_ns = 0;      // the nanoseconds within that second
  };
  // Every session waiting in the data folder, newest first.
  std::vector<Waiting> waiting_sessions() const;
  // The stored-curve count of the newest waiting session; nullopt when none waits.
  std::optional<std::size_t> waiting_curves() const;
  // Brings the waiting session `which` (0: the newest) back: checks all of it first (a
  // refused session changes nothing), puts it into the program and redraws; its file goes only
  // once the restored session is on disk again. The other waiting sessions go on waiting.
  // Throws RuntimeError.
  void restore(Program& p, std::size_t which = 0);
  // The same for the waiting session in `file`.
  void restore_file(Program& p, const std::filesystem::path& file);
  // Lets the waiting session in `file` go.
  void discard(const std::filesystem::path& file);

  // Whether a session kept at a clean EXIT can be opened again.
  bool last_session_exists() const;
  // Opens the session kept at the last clean EXIT. Throws RuntimeError.
  void reopen_last(Program& p);

  // The run ended cleanly: its session is kept as the last session and its file goes.
  void finish();

  const std::filesystem::path& file() const { return file_; }
  const std::filesystem::path& last_file() const { return last_; }

 private:
  bool claim(const std::filesystem::path& f);
  void set_aside_left_sessions();
  void remove_half_written(const std::vector<std::filesystem::path>& free_slots);
  void write_file(const SessionDocument& doc);
  bool file_is_ours() const;
  void write_loop();
  void failed(const std::string& reason);
  void bring_back(Program& p, const std::filesystem::path& from);

  std::filesystem::path file_, last_;
  std::ostream& console_;
  bool enabled_ = false;
  int lock_ = -1;  // held while the program runs: the slot is ours
  // Held on the session file itself (moved to each new file as it is put in place), so a
  // program whose lock file was deleted is still seen running.
  int file_lock_ = -1;
  std::optional<SessionDocument> taken_;
  std::uint64_t revision_ = 0;

  // Shared with the writer.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::shared_ptr<const SessionDocument> to_write_;
  bool writing_ = false;
  bool stop_ = false;
  std::optional<std::string> failure_;
  bool told_ = false;
  std::thread writer_;
};

// Where the first program started in a folder keeps its session: data/session.autosave under
// the start folder.
std::filesystem::path autosave_file(const std::filesystem::path& start_folder);

}  // namespace quorin
