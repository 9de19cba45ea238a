// The user's settings file behind the program's settings interface: Qt's settings in the ini
// format, by default ~/.config/quorin/quorin.conf (or under $XDG_CONFIG_HOME).
#pragma once

#include <QSettings>
#include <filesystem>
#include <iosfwd>
#include <memory>

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

  // Writes what changed to the file now, whole (through a file beside it), unless something
  // other than a regular file has taken the file's place.
  void sync();
  // Whether the settings go to the file (false: kept in memory for this session).
  bool kept_in_file() const { return file_ != nullptr; }
  const std::filesystem::path& file() const { return path_; }

  // The user's settings file: $XDG_CONFIG_HOME/quorin/quorin.conf, by default under ~/.config.
  static std::filesystem::path user_file();

 private:
  std::filesystem::path path_;
  std::ostream* warnings_;
  bool refused_ = false;  // the file was replaced by something that is not a file
  std::unique_ptr<QSettings> file_;
  MemorySettings memory_;
};

}  // namespace quorin::qtk
