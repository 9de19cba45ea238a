// The set-up library in one file on the user's machine, kept with write-ahead logging so a
// program killed in the middle of a save leaves every committed set-up readable.
#pragma once

#include <filesystem>
#include <memory>

#include "library/backend.h"

struct sqlite3;

namespace quorin::library {

class SqliteBackend : public Backend {
 public:
  // Opens the library file `file`, making a new library there when no file is there (never
  // when `read_only`). A file that cannot be written is opened read-only. A library of an older
  // schema is brought up to date. Throws RuntimeError, leaving the file as it was, when the
  // file is damaged, is not a library, or is of a newer schema than this program knows.
  explicit SqliteBackend(const std::filesystem::path& file, bool read_only = false);
  ~SqliteBackend() override;
  SqliteBackend(const SqliteBackend&) = delete;
  SqliteBackend& operator=(const SqliteBackend&) = delete;

  std::string where() const override { return file_.string(); }
  bool read_only() const override { return read_only_; }
  int schema_version() override;
  std::vector<Saved> save(const std::vector<Setup>& setups) override;
  std::optional<Setup> open(std::int64_t id) override;
  std::vector<Setup> find(const Query& q) override;
  std::vector<Setup> all() override;
  std::vector<std::string> cars() override;
  std::vector<EventEntry> events_of(const std::string& car) override;

 private:
  void prepare_library();
  void migrate(int from);
  template <class F>
  void write(F&& work);

  std::filesystem::path file_;
  sqlite3* db_ = nullptr;
  bool read_only_ = false;
};

}  // namespace quorin::library
