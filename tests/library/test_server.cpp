#include "library/test_server.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quorin::test_support {
namespace {

constexpr const char* kUser = "quorin";

std::filesystem::path server_programs() {
  std::filesystem::path best;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/usr/lib/postgresql", ec))
    if (std::filesystem::exists(e.path() / "bin" / "initdb") && e.path() > best.parent_path())
      best = e.path() / "bin";
  if (best.empty())
    throw std::runtime_error("No PostgreSQL server programs under /usr/lib/postgresql.");
  return best;
}

// The command run as the folder's owner: as root, through runuser as nobody.
std::string as_owner(const std::string& command) {
  if (::geteuid() != 0) return command;
  return "runuser -u nobody -- " + command;
}

std::string slurp(const std::filesystem::path& f) {
  std::ifstream in(f);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TestServer& TestServer::get(bool durable) {
  static TestServer server(durable);
  return server;
}

TestServer::TestServer(bool durable, std::string password) : password_(std::move(password)) {
  bin_ = server_programs();
  char tmpl[] = "/tmp/quorin-pg-XXXXXX";
  if (!::mkdtemp(tmpl)) throw std::runtime_error("No scratch folder for the test server.");
  folder_ = tmpl;
  if (::geteuid() == 0 && std::system(("chown nobody " + folder_.string()).c_str()) != 0)
    throw std::runtime_error("The scratch folder could not be given to nobody.");
  const std::string data = (folder_ / "data").string();
  const std::string log = (folder_ / "server.log").string();  // written by the server's user
  std::string auth = "-A trust ";
  if (!password_.empty()) {
    const std::filesystem::path pwfile = folder_ / "password";
    std::ofstream(pwfile) << password_ << "\n";
    if (::geteuid() == 0 && std::system(("chown nobody " + pwfile.string()).c_str()) != 0)
      throw std::runtime_error("The password file could not be given to nobody.");
    auth = "-A scram-sha-256 --pwfile=" + pwfile.string() + " ";
  }
  const std::string init =
      as_owner((bin_ / "initdb").string() + " -D " + data + " -U " + kUser + " " + auth +
               (durable ? "" : "--no-sync ") + "-E UTF8 --locale=C > /dev/null 2> " +
               (folder_ / "initdb.log").string());
  // A server that does not start leaves no scratch folder behind.
  auto fail = [&](const std::string& what, const std::filesystem::path& log) {
    const std::string message = what + ":\n" + slurp(log);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
    throw std::runtime_error(message);
  };
  if (std::system(init.c_str()) != 0) fail("initdb failed", folder_ / "initdb.log");
  const std::string start =
      as_owner((bin_ / "pg_ctl").string() + " -D " + data + " -l " + log + " -w -t 60 -o \"-k " +
               folder_.string() + " -c listen_addresses=''" + (durable ? "" : " -c fsync=off") +
               "\" start > /dev/null 2>&1");
  if (std::system(start.c_str()) != 0)
    fail("The test server did not start", folder_ / "server.log");
  started_ = true;
}

TestServer::~TestServer() {
  if (started_)
    std::system(as_owner((bin_ / "pg_ctl").string() + " -D " + (folder_ / "data").string() +
                         " -m immediate stop > /dev/null 2>&1")
                    .c_str());
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

void TestServer::exec(const std::string& db, const std::string& sql) {
  // The tests' own way in; the program under test is never given a password.
  std::string conn_text = "host=" + folder_.string() + " dbname=" + db + " user=" + kUser;
  if (!password_.empty()) conn_text += " password=" + password_;
  PGconn* c = PQconnectdb(conn_text.c_str());
  std::string error;
  if (PQstatus(c) != CONNECTION_OK) {
    error = PQerrorMessage(c);
  } else {
    PGresult* r = PQexec(c, sql.c_str());
    const ExecStatusType st = PQresultStatus(r);
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) error = PQerrorMessage(c);
    PQclear(r);
  }
  PQfinish(c);
  if (!error.empty()) throw std::runtime_error("Test server: " + sql + ": " + error);
}

std::string TestServer::fresh_database() {
  const std::string name = "lib_" + std::to_string(::getpid()) + "_" + std::to_string(++databases_);
  exec("postgres", "CREATE DATABASE " + name);
  return "host=" + folder_.string() + " dbname=" + name + " user=" + kUser;
}

}  // namespace quorin::test_support
