// The set-up library at team size: 100,000 set-ups over 50 cars and 2,000 events, in the
// library file and on a PostgreSQL server of the benchmark's own (writing to disk as a team's
// server does). Searching by track and valve, opening a set-up, saving one.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>

#include "library/library.h"
#include "library/postgresql_backend.h"
#include "library/sqlite_backend.h"
#include "library/test_server.h"

namespace quorin::library {
namespace {

constexpr int kCars = 50, kEvents = 2000, kSetups = 100000;

// The rows of a team's library, made in the database itself: set-up i is of car i mod 50 at
// event i mod 2,000 on one of 40 tracks, with one of 40 valves each way, so that a search by
// a track and a valve finds a few dozen.
std::vector<std::string> fill_statements(bool sqlite) {
  const std::string n = std::to_string(kSetups);
  if (sqlite) {
    auto series = [](int to) {
      return "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
             std::to_string(to) + ") ";
    };
    return {
        series(kCars) + "INSERT INTO cars (name) SELECT 'Car ' || i FROM n",
        series(kEvents) +
            "INSERT INTO events (track, date, session) SELECT 'Track ' || (i % 40), "
            "date('2018-01-01', '+' || i || ' days'), 'S' || (i % 3) FROM n",
        series(kSetups) +
            "INSERT INTO setups (car_id, corner, event_id, cvalve, cspring, lsc, hsc, rvalve, "
            "rspring, lsr, hsr, motion_ratio, internal_shaft, external_shaft, piston, si_units, "
            "curve_number, legend_c1, legend_c2, legend_r1, legend_r2, notes, saved_at, "
            "cvalve_text, cspring_text, lsc_text, hsc_text, rvalve_text, rspring_text, lsr_text, "
            "hsr_text, dyno_record, fingerprint) SELECT 1 + i % 50, CASE i % 4 WHEN 0 THEN 'LF' "
            "WHEN 1 THEN 'RF' WHEN 2 THEN 'LR' ELSE 'RR' END, 1 + i % 2000, 1 + i % 40, 1 + i % 5, "
            "1 + i % 21, 1 + i % 25, 1 + (i / 7) % 40, 1 + i % 5, 1 + i % 21, 1 + i % 25, '0.9', "
            "'12', '16', '46', 1, 1, 'a', 'b', 'c', 'd', 'run ' || i || ' understeer mid corner', "
            "'2024-01-01T00:00:00Z', 'V' || (100 + (i / 40) % 40), 'S' || (1 + i % 5), '' || (i % "
            "21), "
            "'' || (i % 25), 'V' || (100 + (i / 1600) % 40), 'S' || (1 + i % 5), '' || (i % 21), "
            "'' || (i % 25), '', 'bench ' || i FROM n",
    };
  }
  return {
      "INSERT INTO cars (name) SELECT 'Car ' || i FROM generate_series(1, 50) i",
      "INSERT INTO events (track, date, session) SELECT 'Track ' || (i % 40), to_char(date "
      "'2018-01-01' + i, 'YYYY-MM-DD'), 'S' || (i % 3) FROM generate_series(1, 2000) i",
      "INSERT INTO setups (car_id, corner, event_id, cvalve, cspring, lsc, hsc, rvalve, rspring, "
      "lsr, hsr, motion_ratio, internal_shaft, external_shaft, piston, si_units, curve_number, "
      "legend_c1, legend_c2, legend_r1, legend_r2, notes, saved_at, cvalve_text, cspring_text, "
      "lsc_text, hsc_text, rvalve_text, rspring_text, lsr_text, hsr_text, dyno_record, "
      "fingerprint) SELECT 1 + i % 50, (ARRAY['LF','RF','LR','RR'])[1 + i % 4], 1 + i % 2000, 1 "
      "+ i % 40, 1 + i % 5, 1 + i % 21, 1 + i % 25, 1 + (i / 7) % 40, 1 + i % 5, 1 + i % 21, 1 + "
      "i % 25, '0.9', '12', '16', '46', 1, 1, 'a', 'b', 'c', 'd', 'run ' || i || ' understeer "
      "mid corner', '2024-01-01T00:00:00Z', 'V' || (100 + (i / 40) % 40), 'S' || (1 + i % 5), '' "
      "|| (i "
      "% 21), '' || (i % 25), 'V' || (100 + (i / 1600) % 40), 'S' || (1 + i % 5), '' || (i % 21), "
      "'' || (i % 25), '', 'bench ' || i FROM generate_series(1, " +
          n + ") i",
      "ANALYZE",
  };
}

// The library of each back end (0: file, 1: server), made once.
Backend& team_library(int which) {
  static std::map<int, std::unique_ptr<Backend>> made;
  if (auto it = made.find(which); it != made.end()) return *it->second;
  std::unique_ptr<Backend> lib;
  if (which == 0) {
    // The file goes when the benchmark ends.
    static const struct ScratchFile {
      std::filesystem::path path =
          std::filesystem::temp_directory_path() /
          ("quorin-bench-library-" + std::to_string(::getpid()) + ".sqlite");
      ~ScratchFile() {
        std::error_code ec;
        for (const char* tail : {"", "-wal", "-shm"})
          std::filesystem::remove(path.string() + tail, ec);
      }
    } scratch;
    const std::filesystem::path& file = scratch.path;
    std::filesystem::remove(file);
    { SqliteBackend make(file); }  // the tables
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (const std::string& s : fill_statements(true))
      if (sqlite3_exec(db, s.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "ANALYZE", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    lib = std::make_unique<SqliteBackend>(file);
  } else {
    test_support::TestServer& server = test_support::TestServer::get(true);
    const std::string conn = server.fresh_database();
    { PostgresBackend make(conn); }
    PGconn* c = PQconnectdb(conn.c_str());
    for (const std::string& s : fill_statements(false)) {
      PGresult* r = PQexec(c, s.c_str());
      if (PQresultStatus(r) != PGRES_COMMAND_OK) throw std::runtime_error(PQerrorMessage(c));
      PQclear(r);
    }
    PQfinish(c);
    lib = std::make_unique<PostgresBackend>(conn);
  }
  return *(made[which] = std::move(lib));
}

void BM_SearchByTrackAndValve(benchmark::State& state) {
  Backend& lib = team_library(static_cast<int>(state.range(0)));
  Query q;
  q.track = "Track 17";
  q.valve = "V117";
  std::size_t found = 0;
  for (auto _ : state) {
    std::vector<Setup> r = lib.find(q);
    found = r.size();
    benchmark::DoNotOptimize(r);
  }
  state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_SearchByTrackAndValve)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("server")
    ->Unit(benchmark::kMillisecond);

void BM_OpenSetup(benchmark::State& state) {
  Backend& lib = team_library(static_cast<int>(state.range(0)));
  std::int64_t id = 1;
  for (auto _ : state) {
    std::optional<Setup> s = lib.open(id);
    if (!s) state.SkipWithError("a set-up is missing");
    benchmark::DoNotOptimize(s);
    id = 1 + (id * 7919) % kSetups;
  }
}
BENCHMARK(BM_OpenSetup)->Arg(0)->Arg(1)->ArgName("server")->Unit(benchmark::kMillisecond);

void BM_SaveSetup(benchmark::State& state) {
  Backend& lib = team_library(static_cast<int>(state.range(0)));
  Setup s;
  s.car = "Car 7";
  s.corner = "LR";
  s.track = "Track 3";
  s.date = "2026-05-01";
  s.session = "Q";
  s.rows = {1, 2, 3, 4, 5, 1, 2, 3};
  s.row_texts = {"V101", "S2", "2", "3", "V105", "S1", "1", "2"};
  s.motion_ratio = "0.9";
  s.internal_shaft = "12";
  s.external_shaft = "16";
  s.piston = "46";
  s.saved_at = "2026-05-01T10:00:00Z";
  static int n = 0;
  for (auto _ : state) {
    s.notes = "bench save " + std::to_string(++n);
    if (!lib.save({s}).at(0).added) state.SkipWithError("not added");
  }
}
BENCHMARK(BM_SaveSetup)->Arg(0)->Arg(1)->ArgName("server")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorin::library
