#include "library/sqlite_backend.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <functional>
#include <set>

#include "library/sql_common.h"
#include "services/runtime_error.h"

namespace quorin::library {
namespace {

constexpr int kBusyWaitMs = 15000;
constexpr std::string_view kHeader{"SQLite format 3\0", 16};

using RowFn = std::function<void(const sql::Row&)>;

std::string message_of(sqlite3* db) {
  return db ? sqlite3_errmsg(db) : "out of memory";
}

// Runs one statement with its parameters, calling `each` for every row it gives back.
void run(sqlite3* db, const std::string& where, const sql::Statement& st, const RowFn& each = {}) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, st.text.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    throw RuntimeError("The library " + where + " could not be read: " + message_of(db) + ".");
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
  for (std::size_t k = 0; k < st.params.size(); ++k) {
    const sql::Param& p = st.params[k];
    const int i = static_cast<int>(k) + 1;
    if (p.null)
      sqlite3_bind_null(raw, i);
    else if (p.bytes)
      sqlite3_bind_blob64(raw, i, p.value.data(), p.value.size(), SQLITE_TRANSIENT);
    else
      sqlite3_bind_text64(raw, i, p.value.data(), p.value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  }
  sql::Row row{[raw](int i) {
                 const auto* b = static_cast<const char*>(sqlite3_column_blob(raw, i));
                 return b ? std::string(b, sqlite3_column_bytes(raw, i)) : std::string();
               },
               [raw](int i) { return sqlite3_column_type(raw, i) == SQLITE_NULL; }};
  for (;;) {
    const int rc = sqlite3_step(raw);
    if (rc == SQLITE_DONE) return;
    if (rc != SQLITE_ROW) {
      const std::string why = message_of(db);
      if (rc == SQLITE_READONLY)
        throw RuntimeError("The library " + where + " is read-only; nothing was saved.");
      throw RuntimeError("The library " + where + " could not be used: " + why + ".");
    }
    if (each) each(row);
  }
}

void run(sqlite3* db, const std::string& where, const std::string& text) {
  run(db, where, sql::Statement{text, {}});
}

std::int64_t first_number(sqlite3* db, const std::string& where, const sql::Statement& st,
                          std::int64_t none = -1) {
  std::int64_t v = none;
  run(db, where, st, [&](const sql::Row& r) { v = std::stoll(r.text(0)); });
  return v;
}

// Whether the file is marked so that nobody may write it, or this user may not.
bool unwritable(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return false;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
  if (::access(file.c_str(), W_OK) != 0) return true;
  // The log beside the file is written in its folder.
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  return ::access(folder.c_str(), W_OK) != 0;
}

std::string uri_of(const std::filesystem::path& file, std::string_view options) {
  std::string uri = "file:";
  for (unsigned char c : std::filesystem::absolute(file).string()) {
    if (c == '?' || c == '#' || c == '%' || c < 0x20) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0xF];
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri + "?" + std::string(options);
}

}  // namespace

SqliteBackend::SqliteBackend(const std::filesystem::path& file, bool read_only)
    : file_(file), read_only_(read_only) {
  const std::string where = "\"" + file.string() + "\"";
  std::error_code ec;
  const bool exists = std::filesystem::exists(file, ec);
  if (exists) {
    if (!std::filesystem::is_regular_file(file, ec))
      throw RuntimeError("The library " + where + " is not a file.");
    std::ifstream in(file, std::ios::binary);
    std::array<char, 16> head{};
    in.read(head.data(), head.size());
    const auto got = in.gcount();
    if (!in && !in.eof()) throw RuntimeError("The library " + where + " could not be read.");
    if (got > 0 && std::string_view(head.data(), static_cast<std::size_t>(got)) != kHeader)
      throw RuntimeError("The file " + where +
                         " is not a set-up library (or it is damaged); it was left as it is.");
    read_only_ = read_only_ || unwritable(file);
  } else if (read_only_) {
    throw RuntimeError("The library " + where + " does not exist.");
  }
  const int flags =
      SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX |
      (read_only_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  const std::string uri = uri_of(file, read_only_ ? "mode=ro" : "mode=rwc");
  if (sqlite3_open_v2(uri.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string why = message_of(db_);
    sqlite3_close(db_);
    db_ = nullptr;
    throw RuntimeError("The library " + where + " could not be opened: " + why + ".");
  }
  sqlite3_busy_timeout(db_, kBusyWaitMs);
  sqlite3_extended_result_codes(db_, 0);
  // A library in a folder that cannot be written has no room for the log's shared index:
  // it is read as a file nobody changes.
  if (read_only_ && sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr,
                                 nullptr) != SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
    const std::string fixed = uri_of(file, "mode=ro&immutable=1");
    if (sqlite3_open_v2(fixed.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
      const std::string why = message_of(db_);
      sqlite3_close(db_);
      db_ = nullptr;
      throw RuntimeError("The library " + where + " could not be opened: " + why + ".");
    }
  }
  try {
    prepare_library();
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

SqliteBackend::~SqliteBackend() {
  if (db_) sqlite3_close(db_);
}

void SqliteBackend::prepare_library() {
  const std::string where = "\"" + file_.string() + "\"";
  auto refuse_damaged = [&](const std::string& why) {
    throw RuntimeError("The file " + where + " is not a set-up library (or it is damaged: " + why +
                       "); it was left as it is.");
  };
  std::int64_t tables = 0;
  try {
    tables = first_number(db_, where, {"SELECT count(*) FROM sqlite_master", {}});
  } catch (const RuntimeError& e) {
    refuse_damaged(e.what());
  }
  if (tables == 0) {
    if (read_only_) throw RuntimeError("The library " + where + " is empty and read-only.");
    run(db_, where, "PRAGMA journal_mode = WAL");
    write([&] {
      // Another program may have made it meanwhile.
      if (first_number(db_, where, {"SELECT count(*) FROM sqlite_master", {}}) != 0) return;
      for (const std::string& s : sql::first_schema(sql::Dialect::Sqlite)) run(db_, where, s);
    });
  }
  std::string format;
  try {
    run(db_, where, {"SELECT value FROM library_info WHERE key = 'format'", {}},
        [&](const sql::Row& r) { format = r.text(0); });
  } catch (const RuntimeError&) {
    refuse_damaged("it holds no library information");
  }
  if (format != kLibraryFormat) refuse_damaged("it holds no library information");
  std::string check;
  run(db_, where, {"PRAGMA quick_check", {}}, [&](const sql::Row& r) {
    if (check.empty()) check = r.text(0);
  });
  if (check != "ok") refuse_damaged(check);
  const int version = schema_version();
  if (version > kSchemaVersion)
    throw RuntimeError("The library " + where + " was made by a newer quorin (schema version " +
                       std::to_string(version) + "); this one knows versions up to " +
                       std::to_string(kSchemaVersion) + ".");
  if (version < kSchemaVersion) {
    if (read_only_)
      throw RuntimeError("The library " + where + " is of schema version " +
                         std::to_string(version) +
                         " and read-only, so it cannot be brought up to date.");
    run(db_, where, "PRAGMA journal_mode = WAL");
    write([&] {
      for (int v = schema_version(); v < kSchemaVersion; ++v) migrate(v);
    });
  }
  // Each save is on the disk before it is reported done, so not even a power cut takes back
  // a set-up the user was told is kept.
  if (!read_only_) run(db_, where, "PRAGMA synchronous = FULL");
}

int SqliteBackend::schema_version() {
  const std::string where = "\"" + file_.string() + "\"";
  std::string v;
  run(db_, where, {"SELECT value FROM library_info WHERE key = 'schema'", {}},
      [&](const sql::Row& r) { v = r.text(0); });
  try {
    return std::stoi(v);
  } catch (const std::exception&) {
    throw RuntimeError("The library " + where + " is damaged: its schema version is \"" + v +
                       "\".");
  }
}

void SqliteBackend::migrate(int from) {
  const std::string where = "\"" + file_.string() + "\"";
  const sql::Migration m = sql::migration_from(from, sql::Dialect::Sqlite);
  for (const std::string& s : m.before) run(db_, where, s);
  if (m.fill_fingerprints) {
    std::vector<Setup> old;
    run(db_, where,
        {"SELECT " + sql::first_version_columns() +
             " FROM setups s JOIN cars c ON c.id = s.car_id JOIN events e ON e.id = s.event_id "
             "ORDER BY s.id",
         {}},
        [&](const sql::Row& r) { old.push_back(sql::first_version_setup(r, where)); });
    std::set<std::string> seen;
    for (const Setup& s : old) {
      // Twins from before set-ups were told apart are all kept, the later ones marked.
      std::string fp = fingerprint(s);
      if (!seen.insert(fp).second) fp += "#" + std::to_string(s.id);
      run(db_, where,
          {"UPDATE setups SET fingerprint = ? WHERE id = ?", {sql::text(fp), sql::number(s.id)}});
    }
  }
  for (const std::string& s : m.after) run(db_, where, s);
}

template <class F>
void SqliteBackend::write(F&& work) {
  const std::string where = "\"" + file_.string() + "\"";
  if (read_only_) throw RuntimeError("The library " + where + " is read-only; nothing was saved.");
  run(db_, where, "BEGIN IMMEDIATE");
  try {
    work();
    run(db_, where, "COMMIT");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::vector<Saved> SqliteBackend::save(const std::vector<Setup>& setups) {
  const std::string where = "\"" + file_.string() + "\"";
  for (const Setup& s : setups) check_storable(s);
  std::vector<Saved> out;
  write([&] {
    out.clear();
    for (const Setup& s : setups) {
      const std::int64_t car = first_number(db_, where, sql::car_statement(s));
      const std::int64_t event = first_number(db_, where, sql::event_statement(s));
      Saved saved;
      saved.id = first_number(db_, where, sql::insert_statement(s, car, event), 0);
      saved.added = saved.id != 0;
      if (!saved.added) saved.id = first_number(db_, where, sql::id_by_fingerprint(s));
      out.push_back(saved);
    }
  });
  return out;
}

std::optional<Setup> SqliteBackend::open(std::int64_t id) {
  const std::string where = "\"" + file_.string() + "\"";
  std::optional<Setup> s;
  run(db_, where, sql::open_statement(id),
      [&](const sql::Row& r) { s = sql::setup_from_row(r, true, where); });
  return s;
}

std::vector<Setup> SqliteBackend::find(const Query& q) {
  const std::string where = "\"" + file_.string() + "\"";
  std::vector<Setup> out;
  run(db_, where, sql::find_statement(q, sql::Dialect::Sqlite),
      [&](const sql::Row& r) { out.push_back(sql::setup_from_row(r, false, where)); });
  return out;
}

std::vector<Setup> SqliteBackend::all() {
  const std::string where = "\"" + file_.string() + "\"";
  std::vector<Setup> out;
  run(db_, where, {sql::all_statement(), {}},
      [&](const sql::Row& r) { out.push_back(sql::setup_from_row(r, true, where)); });
  return out;
}

std::vector<std::string> SqliteBackend::cars() {
  const std::string where = "\"" + file_.string() + "\"";
  std::vector<std::string> out;
  run(db_, where, {"SELECT name FROM cars ORDER BY name", {}},
      [&](const sql::Row& r) { out.push_back(r.text(0)); });
  return out;
}

std::vector<EventEntry> SqliteBackend::events_of(const std::string& car) {
  const std::string where = "\"" + file_.string() + "\"";
  std::vector<EventEntry> out;
  run(db_, where,
      {"SELECT DISTINCT e.id, e.track, e.date, e.session FROM events e JOIN setups s ON "
       "s.event_id = e.id JOIN cars c ON c.id = s.car_id WHERE c.name = ? ORDER BY e.date DESC, "
       "e.id DESC",
       {sql::text(car)}},
      [&](const sql::Row& r) {
        out.push_back({std::stoll(r.text(0)), r.text(1), r.text(2), r.text(3)});
      });
  return out;
}

}  // namespace quorin::library
