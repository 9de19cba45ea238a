// What the program keeps between sessions: texts under slash-separated keys
// ("dialogs/Import/folder", "windows/Damper Curve Comparison/position"). The desktop program
// keeps them in the user's settings file; headless runs and tests keep them in memory.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quorin {

class Settings {
 public:
  virtual ~Settings() = default;
  // The text kept under `key`; nothing when none is kept.
  virtual std::optional<std::string> value(std::string_view key) const = 0;
  // Keeps `text` under `key`, replacing what was there.
  virtual void set_value(std::string_view key, std::string_view text) = 0;
  // Forgets `key`.
  virtual void remove(std::string_view key) = 0;
};

// Settings that last as long as the object: for headless runs and tests.
class MemorySettings : public Settings {
 public:
  std::optional<std::string> value(std::string_view key) const override {
    auto i = values_.find(std::string(key));
    if (i == values_.end()) return std::nullopt;
    return i->second;
  }
  void set_value(std::string_view key, std::string_view text) override {
    values_[std::string(key)] = std::string(text);
  }
  void remove(std::string_view key) override { values_.erase(std::string(key)); }
  const std::map<std::string, std::string>& values() const { return values_; }

 private:
  std::map<std::string, std::string> values_;
};

// A key part made safe for a settings key: letters and digits kept, every other character
// (slashes, blanks, dots) written as '_', so a window name or dialog title cannot open a new
// level of keys or clash with the file's syntax. Never empty.
std::string settings_key_part(std::string_view text);

}  // namespace quorin
