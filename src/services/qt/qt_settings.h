// The user's settings file behind the program's settings interface: Qt's settings in the ini
// format, by default ~/.config/quorin/quorin.conf (or under $XDG_CONFIG_HOME).
#pragma once

#include <filesystem>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>

#include "services/settings.h"

namespace quorin::qtk {

class QtSettings : public Settings {
 public:
  // The user's settings file.
  explicit QtSettings(std::ostream& warnings);
  // The settings file `file`. A file that cannot be read, or is not a regular file (a FIFO, a
  // device, a folder, directly or through a link), is ignored without being opened: one
  // warning goes to `warnings` and this session's settings are kept in memory only. A damaged
  // file, or one that holds anything but settings, is moved aside (the link, when it is one)
  // to `<file>.bad` with one warning, and a fresh file takes its place; when it cannot be
  // moved, it is ignored like an unreadable one. `warnings` must outlive the settings. Never
  // throws.
  QtSettings(const std::filesystem::path& file, std::ostream& warnings);
  ~QtSettings() override;  // writes what changed
  QtSettings(const QtSettings&) = delete;
  QtSettings& operator=(const QtSettings&) = delete;

  std::optional<std::string> value(std::string_view key) const override;
  void set_value(std::string_view key, std::string_view text) override;
  void remove(std::string_view key) override;

  // Writes what changed to the file now, on top of what the file holds then, whole (through a
  // file beside it): on a full disk the file stays as it was and one warning says why. Nothing
  // is written when something other than a regular file has taken the file's place.
  void sync();
  // Whether the settings go to the file (false: kept in memory for this session).
  bool kept_in_file() const { return in_file_; }
  const std::filesystem::path& file() const { return path_; }

  // The user's settings file: $XDG_CONFIG_HOME/quorin/quorin.conf, by default under ~/.config.
  static std::filesystem::path user_file();

 private:
  // Moves the file (or the link to it) aside to `<file>.bad`; false when it cannot.
  bool move_aside();
  // The settings file's new bytes: what it holds now with this session's changes on top.
  // Throws RuntimeError saying why they cannot be made.
  std::string file_bytes();

  std::filesystem::path path_;
  std::ostream* warnings_;
  bool in_file_ = false;  // false: kept in memory for this session only
  bool refused_ = false;  // the file was replaced by something that is not a file
  std::string failed_;    // why the last write failed, warned about once
  MemorySettings memory_;  // the settings as this session sees them
  std::map<std::string, std::optional<std::string>> changes_;  // not yet written; nullopt: removed
};

}  // namespace quorin::qtk
