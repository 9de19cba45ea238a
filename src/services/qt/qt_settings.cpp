#include "services/qt/qt_settings.h"

#include <QStandardPaths>
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

std::unique_ptr<QSettings> open_file(const std::filesystem::path& p) {
  return std::make_unique<QSettings>(QString::fromStdString(p.string()), QSettings::IniFormat);
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
  std::string why = not_usable(path_);
  bool damaged = false;
  if (why.empty() && what_is_at(path_) == "a regular file") {
    try {
      damaged = !is_settings_text(read_file_text(path_, kSettingsFileLimit));
    } catch (const RuntimeError&) {
      damaged = true;  // far too large, or gone unreadable: not a settings file either way
    }
  }
  if (why.empty() && !damaged) {
    file_ = open_file(path_);
    if (file_->status() == QSettings::NoError) return;
    damaged = file_->status() == QSettings::FormatError;
    file_.reset();  // before the move, so nothing of the damaged file is written back
  }
  if (damaged) {
    // The file (or the link to it) is moved aside whole; what it holds is never written over.
    std::filesystem::path aside = path_;
    aside += ".bad";
    std::error_code ec;
    std::filesystem::rename(path_, aside, ec);
    if (!ec) {
      file_ = open_file(path_);
      if (file_->status() == QSettings::NoError) {
        warnings << "quorin: the settings file " << path_.string()
                 << " is damaged; it was moved to " << aside.string()
                 << " and the settings start afresh.\n";
        return;
      }
      file_.reset();
    }
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
  if (!file_) return memory_.value(key);
  const QVariant v = file_->value(to_qstring(key));
  if (!v.isValid()) return std::nullopt;
  return v.toString().toStdString();
}

void QtSettings::set_value(std::string_view key, std::string_view text) {
  if (!file_) return memory_.set_value(key, text);
  file_->setValue(to_qstring(key), to_qstring(text));
}

void QtSettings::remove(std::string_view key) {
  if (!file_) return memory_.remove(key);
  file_->remove(to_qstring(key));
}

void QtSettings::sync() {
  if (!file_) return;
  // Something other than a regular file put in the file's place meanwhile is left alone.
  if (const std::string why = not_usable(path_); !why.empty()) {
    if (!refused_)
      *warnings_ << "quorin: the settings file " << path_.string() << " was replaced (" << why
                 << "); this session's settings are not written to it.\n";
    refused_ = true;
    return;
  }
  file_->sync();
}

}  // namespace quorin::qtk
