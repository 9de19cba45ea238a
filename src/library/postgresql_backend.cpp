#include "library/postgresql_backend.h"

#include <libpq-fe.h>

#include <memory>
#include <set>

#include "library/sql_common.h"
#include "services/runtime_error.h"

namespace quorin::library {
namespace {

constexpr unsigned kByteaType = 17;  // the server's type number of bytea
// The lock every program takes while it makes or brings up to date the library's tables.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(72410524)";

using Result = std::unique_ptr<PGresult, void (*)(PGresult*)>;
using RowFn = std::function<void(const sql::Row&)>;

// The statement with its ? marks numbered $1, $2, ... as the server wants them.
std::string numbered(const std::string& text) {
  std::string out;
  int n = 0;
  for (char c : text) {
    if (c == '?')
      out += "$" + std::to_string(++n);
    else
      out += c;
  }
  return out;
}

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

bool names_password(const std::string& connection) {
  char* err = nullptr;
  PQconninfoOption* opts = PQconninfoParse(connection.c_str(), &err);
  if (err) PQfreemem(err);
  if (!opts) return false;
  bool found = false;
  for (PQconninfoOption* o = opts; o->keyword; ++o)
    if (std::string_view(o->keyword) == "password" && o->val && *o->val) found = true;
  PQconninfoFree(opts);
  return found;
}

PostgresBackend::PostgresBackend(const std::string& connection) {
  if (names_password(connection))
    throw RuntimeError(
        "The library server's connection names a password; quorin keeps none. Put it in your "
        "PostgreSQL password file (~/.pgpass) and leave it out here.");
  char* err = nullptr;
  PQconninfoOption* opts = PQconninfoParse(connection.c_str(), &err);
  if (!opts) {
    const std::string why = err ? trimmed(err) : "it cannot be read";
    if (err) PQfreemem(err);
    throw RuntimeError("The library server's connection \"" + connection +
                       "\" is not valid: " + why + ".");
  }
  PQconninfoFree(opts);
  conn_ = PQconnectdb(connection.c_str());
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
    const std::string why = conn_ ? trimmed(PQerrorMessage(conn_)) : "out of memory";
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
    throw RuntimeError("The library server \"" + connection + "\" could not be reached: " + why +
                       ".");
  }
  where_ = std::string("server ") + PQdb(conn_) + " on " + PQhost(conn_) + " as " + PQuser(conn_);
  try {
    prepare_library();
  } catch (...) {
    PQfinish(conn_);
    conn_ = nullptr;
    throw;
  }
}

PostgresBackend::~PostgresBackend() {
  if (conn_) PQfinish(conn_);
}

namespace {

// Runs one statement; every row it gives back goes to `each`.
void run(pg_conn* conn, const std::string& where, const sql::Statement& st,
         const RowFn& each = {}) {
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
  for (const sql::Param& p : st.params) {
    values.push_back(p.null ? nullptr : p.value.data());
    lengths.push_back(static_cast<int>(p.value.size()));
    formats.push_back(p.bytes ? 1 : 0);
  }
  Result res(PQexecParams(conn, numbered(st.text).c_str(), static_cast<int>(values.size()), nullptr,
                          values.data(), lengths.data(), formats.data(), 0),
             PQclear);
  const ExecStatusType status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    if (PQstatus(conn) != CONNECTION_OK)
      throw RuntimeError("The connection to the library " + where +
                         " was lost; what was being saved was not kept.");
    const char* state = res ? PQresultErrorField(res.get(), PG_DIAG_SQLSTATE) : nullptr;
    if (state && std::string_view(state) == "42501")
      throw RuntimeError("The library " + where + " is read-only for you; nothing was saved.");
    throw RuntimeError("The library " + where +
                       " could not be used: " + trimmed(PQerrorMessage(conn)) + ".");
  }
  if (!each) return;
  PGresult* r = res.get();
  int current = 0;
  sql::Row row{[r, &current](int i) {
                 const char* v = PQgetvalue(r, current, i);
                 if (PQftype(r, i) != kByteaType) return std::string(v, PQgetlength(r, current, i));
                 std::size_t n = 0;
                 unsigned char* raw =
                     PQunescapeBytea(reinterpret_cast<const unsigned char*>(v), &n);
                 if (!raw) throw RuntimeError("Out of memory reading a measured curve.");
                 std::string out(reinterpret_cast<const char*>(raw), n);
                 PQfreemem(raw);
                 return out;
               },
               [r, &current](int i) { return PQgetisnull(r, current, i) == 1; }};
  for (current = 0; current < PQntuples(r); ++current) each(row);
}

std::int64_t first_number(pg_conn* conn, const std::string& where, const sql::Statement& st,
                          std::int64_t none = -1) {
  std::int64_t v = none;
  run(conn, where, st, [&](const sql::Row& r) { v = std::stoll(r.text(0)); });
  return v;
}

}  // namespace

void PostgresBackend::connected() {
  if (PQstatus(conn_) == CONNECTION_OK) return;
  PQreset(conn_);
  if (PQstatus(conn_) != CONNECTION_OK)
    throw RuntimeError("The connection to the library " + where_ + " was lost and could not be " +
                       "made again: " + trimmed(PQerrorMessage(conn_)) + ".");
}

void PostgresBackend::write(const std::function<void()>& work) {
  if (read_only_) throw RuntimeError("The library " + where_ + " is read-only; nothing was saved.");
  connected();
  run(conn_, where_, {"BEGIN", {}});
  try {
    work();
  } catch (...) {
    if (PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
    throw;
  }
  Result res(PQexec(conn_, "COMMIT"), PQclear);
  if (!res || PQresultStatus(res.get()) != PGRES_COMMAND_OK) {
    if (PQstatus(conn_) != CONNECTION_OK)
      throw RuntimeError("The connection to the library " + where_ +
                         " was lost while the save was being committed; look in the library "
                         "whether it was kept.");
    throw RuntimeError("The library " + where_ +
                       " did not keep the save: " + trimmed(PQerrorMessage(conn_)) + ".");
  }
}

void PostgresBackend::prepare_library() {
  auto has_info = [&] {
    return first_number(conn_, where_,
                        {"SELECT count(*) FROM information_schema.tables WHERE table_schema = "
                         "current_schema() AND table_name = 'library_info'",
                         {}}) > 0;
  };
  auto tables = [&] {
    return first_number(conn_, where_,
                        {"SELECT count(*) FROM information_schema.tables WHERE table_schema = "
                         "current_schema()",
                         {}});
  };
  if (!has_info()) {
    if (tables() > 0)
      throw RuntimeError("The database of the library " + where_ +
                         " holds tables that are not a set-up library; it was left as it is.");
    write([&] {
      run(conn_, where_, {kSchemaLock, {}});
      if (has_info()) return;  // another program made it meanwhile
      for (const std::string& s : sql::first_schema(sql::Dialect::Postgres))
        run(conn_, where_, {s, {}});
    });
  }
  std::string format;
  run(conn_, where_, {"SELECT value FROM library_info WHERE key = 'format'", {}},
      [&](const sql::Row& r) { format = r.text(0); });
  if (format != kLibraryFormat)
    throw RuntimeError("The database of the library " + where_ +
                       " is not a set-up library; it was left as it is.");
  const int version = schema_version();
  if (version > kSchemaVersion)
    throw RuntimeError("The library " + where_ + " was made by a newer quorin (schema version " +
                       std::to_string(version) + ").");
  read_only_ = first_number(conn_, where_,
                            {"SELECT CASE WHEN has_table_privilege('library_info', 'UPDATE') THEN "
                             "0 ELSE 1 END",
                             {}}) == 1;
  if (version < kSchemaVersion) {
    if (read_only_)
      throw RuntimeError("The library " + where_ + " is of schema version " +
                         std::to_string(version) + " and read-only for you.");
    write([&] {
      run(conn_, where_, {kSchemaLock, {}});
      for (int v = schema_version(); v < kSchemaVersion; ++v) migrate(v);
    });
  }
}

int PostgresBackend::schema_version() {
  connected();
  std::string v;
  run(conn_, where_, {"SELECT value FROM library_info WHERE key = 'schema'", {}},
      [&](const sql::Row& r) { v = r.text(0); });
  try {
    return std::stoi(v);
  } catch (const std::exception&) {
    throw RuntimeError("The library " + where_ + " is damaged: its schema version is \"" + v +
                       "\".");
  }
}

void PostgresBackend::migrate(int from) {
  const sql::Migration m = sql::migration_from(from, sql::Dialect::Postgres);
  for (const std::string& s : m.before) run(conn_, where_, {s, {}});
  if (m.fill_fingerprints) {
    std::vector<Setup> old;
    run(conn_, where_,
        {"SELECT " + sql::first_version_columns() +
             " FROM setups s JOIN cars c ON c.id = s.car_id JOIN events e ON e.id = s.event_id "
             "ORDER BY s.id",
         {}},
        [&](const sql::Row& r) { old.push_back(sql::first_version_setup(r, where_)); });
    std::set<std::string> seen;
    for (const Setup& s : old) {
      std::string fp = fingerprint(s);
      if (!seen.insert(fp).second) fp += "#" + std::to_string(s.id);
      run(conn_, where_,
          {"UPDATE setups SET fingerprint = ? WHERE id = ?", {sql::text(fp), sql::number(s.id)}});
    }
  }
  for (const std::string& s : m.after) run(conn_, where_, {s, {}});
}

std::vector<Saved> PostgresBackend::save(const std::vector<Setup>& setups) {
  for (const Setup& s : setups) check_storable(s);
  std::vector<Saved> out;
  write([&] {
    out.clear();
    for (const Setup& s : setups) {
      const std::int64_t car = first_number(conn_, where_, sql::car_statement(s));
      const std::int64_t event = first_number(conn_, where_, sql::event_statement(s));
      Saved saved;
      saved.id = first_number(conn_, where_, sql::insert_statement(s, car, event), 0);
      saved.added = saved.id != 0;
      if (!saved.added) saved.id = first_number(conn_, where_, sql::id_by_fingerprint(s));
      out.push_back(saved);
    }
  });
  return out;
}

std::optional<Setup> PostgresBackend::open(std::int64_t id) {
  connected();
  std::optional<Setup> s;
  run(conn_, where_, sql::open_statement(id),
      [&](const sql::Row& r) { s = sql::setup_from_row(r, true, where_); });
  return s;
}

std::vector<Setup> PostgresBackend::find(const Query& q) {
  connected();
  std::vector<Setup> out;
  run(conn_, where_, sql::find_statement(q, sql::Dialect::Postgres),
      [&](const sql::Row& r) { out.push_back(sql::setup_from_row(r, false, where_)); });
  return out;
}

std::vector<Setup> PostgresBackend::all() {
  connected();
  std::vector<Setup> out;
  run(conn_, where_, {sql::all_statement(), {}},
      [&](const sql::Row& r) { out.push_back(sql::setup_from_row(r, true, where_)); });
  return out;
}

std::vector<std::string> PostgresBackend::cars() {
  connected();
  std::vector<std::string> out;
  run(conn_, where_, {"SELECT name FROM cars ORDER BY name", {}},
      [&](const sql::Row& r) { out.push_back(r.text(0)); });
  return out;
}

std::vector<EventEntry> PostgresBackend::events_of(const std::string& car) {
  connected();
  std::vector<EventEntry> out;
  run(conn_, where_,
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
