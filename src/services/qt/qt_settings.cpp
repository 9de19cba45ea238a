#include "services/qt/qt_settings.h"

#include <stdlib.h>

#include <QSettings>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <system_error>

#include "services/file_io.h"
#include "services/runtime_error.h"

namespace quorin::qtk {
namespace {

QString to_qstring(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The keys and texts of the settings file `p` as Qt reads them, and whether it could.
struct ReadSettings {
  QSettings::Status status = QSettings::NoError;
  std::map<std::string, std::string> values;
};
ReadSettings read_settings(const std::filesystem::path& p) {
  const QSettings qt(QString::fromStdString(p.string()), QSettings::IniFormat);
  ReadSettings out{qt.status(), {}};
  for (const QString& key : qt.allKeys())
    out.values[key.toStdString()] = qt.value(key).toString().toStdString();
  return out;
}

// Far beyond what the program keeps; reading more would only be someone else's file.
constexpr ReadLimit kSettingsFileLimit{"settings file", std::uintmax_t{4} << 20};

// Whether `text` reads as a settings file: every line blank, a comment, a [section] or a
// key=value, and no NUL byte. Anything else is someone else's file and is never written over.
bool is_settings_text(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
      line.remove_suffix(1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[' ? line.back() != ']'
                            : line.find('=') == 0 || line.find('=') == std::string_view::npos)
      return false;
  }
  return true;
}

// Why the settings file at `p` cannot be used as it stands, or nothing: what is there is not a
// regular file (a FIFO, a device, a folder, directly or through a link). Never opens the file.
std::string not_usable(const std::filesystem::path& p) {
  const std::string what = what_is_at(p);
  return what == "missing" || what == "a regular file" ? std::string() : "it is " + what;
}

}  // namespace

std::filesystem::path QtSettings::user_file() {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return std::filesystem::path(config.toStdString()) / "quorin" / "quorin.conf";
}

QtSettings::QtSettings(std::ostream& warnings) : QtSettings(user_file(), warnings) {}

QtSettings::QtSettings(const std::filesystem::path& file, std::ostream& warnings)
    : path_(file), warnings_(&warnings) {
  // Only a regular file, or none, is read and written: a FIFO would keep the program waiting
  // for a writer, and a device or someone else's file must never be replaced.
  const std::string why = not_usable(path_);
  bool damaged = false;
  if (why.empty() && what_is_at(path_) == "a regular file") {
    try {
      damaged = !is_settings_text(read_file_text(path_, kSettingsFileLimit));
    } catch (const RuntimeError&) {
      damaged = true;  // far too large, or gone unreadable: not a settings file either way
    }
  }
  if (why.empty() && !damaged) {
    const ReadSettings kept = read_settings(path_);
    if (kept.status == QSettings::NoError) {
      for (const auto& [key, text] : kept.values) memory_.set_value(key, text);
      in_file_ = true;
      return;
    }
    damaged = kept.status == QSettings::FormatError;
  }
  if (damaged && move_aside()) {
    warnings << "quorin: the settings file " << path_.string() << " is damaged; it was moved to "
             << path_.string() << ".bad and the settings start afresh.\n";
    in_file_ = true;
    return;
  }
  // The file stays as it is, and nothing is written to it.
  warnings << "quorin: the settings file " << path_.string() << " cannot be read"
           << (why.empty() ? std::string() : " (" + why + ")")
           << "; it is ignored and this session's settings are not kept.\n";
}

QtSettings::~QtSettings() {
  sync();
}

std::optional<std::string> QtSettings::value(std::string_view key) const {
  return memory_.value(key);
}

void QtSettings::set_value(std::string_view key, std::string_view text) {
  memory_.set_value(key, text);
  changes_[std::string(key)] = std::string(text);
}

void QtSettings::remove(std::string_view key) {
  memory_.remove(key);
  changes_[std::string(key)] = std::nullopt;
}

bool QtSettings::move_aside() {
  std::filesystem::path aside = path_;
  aside += ".bad";
  std::error_code ec;
  std::filesystem::rename(path_, aside, ec);
  return !ec;
}

std::string QtSettings::file_bytes() {
  // The file as it stands now (another program may have changed it), moved aside first when
  // it no longer holds settings.
  std::string current;
  if (what_is_at(path_) == "a regular file") {
    current = read_file_text(path_, kSettingsFileLimit);
    if (!is_settings_text(current)) {
      if (!move_aside())
        throw RuntimeError("the file no longer holds settings and cannot be moved aside");
      *warnings_ << "quorin: the settings file " << path_.string()
                 << " no longer holds settings; it was moved to " << path_.string() << ".bad.\n";
      current.clear();
    }
  }
  // Qt writes the file with this session's changes on top in a private folder, and it is read
  // back whole: Qt keeps what fits on a full disk and reports nothing.
  std::string folder = (std::filesystem::temp_directory_path() / "quorin-settings-XXXXXX").string();
  if (!::mkdtemp(folder.data()))
    throw RuntimeError(std::string("no scratch folder could be made: ") + std::strerror(errno));
  struct Scratch {
    std::filesystem::path folder;
    ~Scratch() {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    }
  } scratch{folder};
  const std::filesystem::path file = scratch.folder / "quorin.conf";
  write_whole(file, current);
  std::map<std::string, std::string> expected;
  {
    QSettings qt(QString::fromStdString(file.string()), QSettings::IniFormat);
    for (const QString& key : qt.allKeys())
      expected[key.toStdString()] = qt.value(key).toString().toStdString();
    for (const auto& [key, text] : changes_) {
      if (text) {
        qt.setValue(to_qstring(key), to_qstring(*text));
        expected[key] = *text;
      } else {
        qt.remove(to_qstring(key));
        std::erase_if(expected, [&key](const auto& kv) {
          return kv.first == key || kv.first.rfind(key + "/", 0) == 0;
        });
      }
    }
    qt.sync();
    if (qt.status() != QSettings::NoError)
      throw RuntimeError("the settings could not be made ready to write");
  }
  if (read_settings(file).values != expected)
    throw RuntimeError("the settings could not be made whole in " + folder +
                       " (the disk or a file size limit took only part of them)");
  return read_file_text(file, kSettingsFileLimit);
}

void QtSettings::sync() {
  if (!in_file_ || changes_.empty()) return;
  // Something other than a regular file put in the file's place meanwhile is left alone.
  if (const std::string why = not_usable(path_); !why.empty()) {
    if (!refused_)
      *warnings_ << "quorin: the settings file " << path_.string() << " was replaced (" << why
                 << "); this session's settings are not written to it.\n";
    refused_ = true;
    return;
  }
  try {
    std::error_code ignored;  // a missing folder shows when the file is written
    if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), ignored);
    write_whole(path_, file_bytes(), "the settings were not kept");
    changes_.clear();
    failed_.clear();
  } catch (const RuntimeError& e) {
    std::string what = e.what();
    if (what.rfind("Could not write", 0) != 0)
      what =
          "Could not write \"" + path_.string() + "\": " + what + "; the settings were not kept.";
    if (what != failed_) *warnings_ << "quorin: " << what << "\n";  // once, not at every try
    failed_ = what;
  }
}

}  // namespace quorin::qtk
