// The set-up library on a team's PostgreSQL server. The password comes from the user's
// PostgreSQL password file (or the server trusts the user); quorin never keeps one.
#pragma once

#include <functional>
#include <string>

#include "library/backend.h"

struct pg_conn;

namespace quorin::library {

class PostgresBackend : public Backend {
 public:
  // Connects with `connection`, libpq keywords such as "host=db.team dbname=setups user=ann",
  // and makes the library's tables when the database has none. Throws RuntimeError when the
  // server cannot be reached, the text holds a password, or the database holds something that
  // is not a library.
  explicit PostgresBackend(const std::string& connection);
  ~PostgresBackend() override;
  PostgresBackend(const PostgresBackend&) = delete;
  PostgresBackend& operator=(const PostgresBackend&) = delete;

  std::string where() const override { return where_; }
  bool read_only() const override { return read_only_; }
  int schema_version() override;
  std::vector<Saved> save(const std::vector<Setup>& setups) override;
  std::optional<Setup> open(std::int64_t id) override;
  std::vector<Setup> find(const Query& q) override;
  std::vector<Setup> all() override;
  std::vector<std::string> cars() override;
  std::vector<EventEntry> events_of(const std::string& car) override;

 private:
  void connected();
  void prepare_library();
  void migrate(int from);
  void write(const std::function<void()>& work);

  pg_conn* conn_ = nullptr;
  std::string where_;
  bool read_only_ = false;
};

// Whether a connection text names a password (which quorin refuses to keep).
bool names_password(const std::string& connection);

}  // namespace quorin::library
