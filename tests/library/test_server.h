// A PostgreSQL server of the tests' own: a scratch cluster on a socket in a scratch folder,
// started once per test program and given a fresh database per test.
#pragma once

#include <filesystem>
#include <string>

namespace quorin::test_support {

class TestServer {
 public:
  // The server of this test program, started on first use; `durable` (decided by the first
  // call) keeps the server's own writes to disk as a team's server does, which tests need not.
  // Throws std::runtime_error, with the server's log, when it cannot start.
  static TestServer& get(bool durable = false);
  // A connection text to a new, empty database.
  std::string fresh_database();
  // Runs an SQL command in database `db` as the server's superuser (psql-free, via libpq).
  void exec(const std::string& db, const std::string& sql);
  const std::filesystem::path& socket_folder() const { return folder_; }
  // A server of its own; with a `password`, its user must give it (the server asks for it).
  explicit TestServer(bool durable, std::string password = {});
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

 private:
  std::string password_;
  std::filesystem::path folder_, bin_;
  int databases_ = 0;
  bool started_ = false;
};

}  // namespace quorin::test_support
