// The session kept on disk while the program runs, so that an end without EXIT (a crash, a
// kill, a power cut) loses nothing: the stored curves, the counters, the held import and dyno
// curves, the twelve selections and the units, limits and Hold boxes of the main window.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "services/varfile.h"

namespace quorin {

class Program;

class Autosave {
 public:
  // Keeps the session of the program started in `start_folder` in its data folder (nothing is
  // kept when the start folder has none): in data/session.autosave, or, while other programs
  // keep theirs there, in data/session-N.autosave (N up to 8), each file locked by its
  // program. A session left in our file by a run that did not end cleanly is set aside, to be
  // restored or discarded.
  Autosave(const std::filesystem::path& start_folder, std::ostream& console);
  ~Autosave();
  Autosave(const Autosave&) = delete;
  Autosave& operator=(const Autosave&) = delete;

  // Takes the session when it changed since it was last taken; a writer of its own puts it on
  // disk, whole or not at all, so the windows never wait for the disk (while it writes, only
  // the newest session waits to be written). Never throws: a session that cannot be written
  // is said once on the console.
  void keep(Program& p);
  // Waits until every session taken is on disk.
  void flush();

  // The stored-curve count of a session an earlier run left behind; nullopt when none waits.
  std::optional<std::size_t> waiting_curves() const;
  // Brings the waiting session back into the started program: checks everything first, then
  // sets the selections, boxes and curves and redraws; the waiting file then goes. Throws
  // RuntimeError.
  void restore(Program& p);
  // Lets the waiting session go.
  void discard();

  // The run ended cleanly: its session file goes (a waiting earlier one stays).
  void finish();

  const std::filesystem::path& file() const { return file_; }
  const std::filesystem::path& waiting_file() const { return waiting_; }

 private:
  std::filesystem::path file_, waiting_;
  void write_loop();

  std::ostream& console_;
  bool enabled_ = false;
  int lock_ = -1;  // held while the program runs: the file is ours
  std::optional<NamedValues> last_;

  // Shared with the writer.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<NamedValues> to_write_;
  bool writing_ = false;
  bool stop_ = false;
  bool warned_ = false;
  std::thread writer_;
};

// Where the first program started in a folder keeps its session: data/session.autosave under
// the start folder.
std::filesystem::path autosave_file(const std::filesystem::path& start_folder);

}  // namespace quorin
