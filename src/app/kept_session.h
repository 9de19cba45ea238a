// The session kept on disk while the program runs, so that an end without EXIT (a crash, a
// kill, a power cut) loses nothing, and kept again at EXIT, so the last session can be opened
// again. It is taken after every use of a control (cheaply: see session.h) and written by a
// thread of its own only when it changed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/session.h"

namespace quorin {

class Program;

class KeptSession {
 public:
  // Keeps the session of the program started in `start_folder` in its data folder (nothing is
  // kept when the start folder has none): in data/session.autosave, or, while other programs
  // keep theirs there, in data/session-N.autosave (N up to 8), each file locked by its
  // program. A session left in our file by a run that did not end cleanly is set aside, to be
  // restored or discarded. Problems are said on `console`.
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

  // The stored-curve count of a session an earlier run left behind; nullopt when none waits.
  std::optional<std::size_t> waiting_curves() const;
  // Brings the waiting session back: checks all of it first (a refused session changes
  // nothing), puts it into the program and redraws; the waiting file goes only once the
  // restored session is on disk again. Throws RuntimeError.
  void restore(Program& p);
  // Lets the waiting session go.
  void discard();

  // Whether a session kept at a clean EXIT can be opened again.
  bool last_session_exists() const;
  // Opens the session kept at the last clean EXIT. Throws RuntimeError.
  void reopen_last(Program& p);

  // The run ended cleanly: its session is kept as the last session and its file goes.
  void finish();

  const std::filesystem::path& file() const { return file_; }
  const std::filesystem::path& waiting_file() const { return waiting_; }
  const std::filesystem::path& last_file() const { return last_; }

 private:
  void write_loop();
  void failed(const std::string& reason);
  void bring_back(Program& p, const std::filesystem::path& from);

  std::filesystem::path file_, waiting_, last_;
  std::ostream& console_;
  bool enabled_ = false;
  int lock_ = -1;  // held while the program runs: the file is ours
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
