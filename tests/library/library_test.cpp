// The set-up library on both of its back ends: the embedded file and a PostgreSQL server
// started by the tests themselves.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>

#include "library/library.h"
#include "library/postgresql_backend.h"
#include "library/sql_common.h"
#include "library/sqlite_backend.h"
#include "library/test_server.h"
#include "services/file_io.h"
#include "services/runtime_error.h"
#include "services/varfile.h"

namespace quorin::library {
namespace {

namespace fs = std::filesystem;

using Entry = quorin::library::Setup;  // the test fixture has a Setup of its own
enum class Kind { Sqlite, Postgres };

// A set-up with every field filled, different for each `n`.
Entry sample(int n, std::string car = "Car A", std::string corner = "LF",
             std::string date = "2026-05-01") {
  Entry s;
  s.car = std::move(car);
  s.corner = std::move(corner);
  s.track = n % 2 ? "Spa" : "Monza";
  s.date = std::move(date);
  s.session = "Q" + std::to_string(n % 3);
  for (std::size_t k = 0; k < kPopupCount; ++k) {
    s.rows[k] = 1 + (n + static_cast<int>(k)) % 5;
    s.row_texts[k] = k == CValve || k == RValve     ? "V" + std::to_string(100 + s.rows[k])
                     : k == CSpring || k == RSpring ? "S" + std::to_string(s.rows[k])
                                                    : std::to_string(s.rows[k] - 1);
  }
  s.motion_ratio = "0.9";
  s.internal_shaft = "12";
  s.external_shaft = "16";
  s.piston = "46";
  s.si_units = n % 2 == 0;
  s.curve_number = n % 7;
  s.legend = {"C" + std::to_string(n), "x", "R" + std::to_string(n), ""};
  s.notes = "run " + std::to_string(n) + " understeer";
  s.saved_at = "2026-05-01T10:00:00Z";
  return s;
}

class Library : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quorin-lib-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    folder_ = tmpl;
    if (GetParam() == Kind::Postgres) server_ = test_support::TestServer::get().fresh_database();
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(folder_, fs::perms::owner_all, ec);
    fs::remove_all(folder_, ec);
  }
  fs::path file() const { return folder_ / "library.sqlite"; }
  // A connection of its own to the library under test, as another program would make.
  std::unique_ptr<Backend> open() { return open_backend(file(), server_); }

  fs::path folder_;
  std::string server_;
};

std::string name_of(const ::testing::TestParamInfo<Kind>& i) {
  return i.param == Kind::Sqlite ? "SQLite" : "PostgreSQL";
}

TEST_P(Library, SavesAndReopensEveryFieldExactly) {
  Entry odd = sample(3, "Zé's \"car\", 7", "RR");
  odd.notes = "line one\nline two; 50% _wild_ \\ 'quoted' \t end";
  odd.motion_ratio = "not a number";
  odd.dyno_record = R"({"fn":"a.pvp","Speed_1":[1,2,3]})";
  odd.measured_velocity_mps = {0.0, -0.0, 1e-300, std::numeric_limits<double>::infinity(), 0.1};
  odd.measured_force_n = {std::numeric_limits<double>::quiet_NaN(), -5.5, 1e300, 3,
                          0.30000000000000004};
  Entry empty_texts = sample(4);
  empty_texts.session.clear();
  empty_texts.track.clear();
  empty_texts.legend = {"", "", "", ""};
  const std::vector<Entry> cases = {sample(1), odd, empty_texts};
  auto lib = open();
  for (const Entry& s : cases) {
    const std::vector<Saved> saved = lib->save({s});
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_TRUE(saved[0].added);
    auto again = open();  // through a new connection, as after a restart
    std::optional<Entry> back = again->open(saved[0].id);
    ASSERT_TRUE(back);
    Entry want = s;
    want.id = saved[0].id;
    // NaN never equals itself: compare the stored bytes of the curves.
    EXPECT_EQ(pack_doubles(back->measured_force_n), pack_doubles(want.measured_force_n));
    back->measured_force_n = want.measured_force_n = {};
    EXPECT_EQ(*back, want) << s.car << " " << s.notes;
  }
  EXPECT_FALSE(lib->open(99999));
}

TEST_P(Library, RefusesWhatCannotBeFiled) {
  struct Row {
    const char* name;
    void (*spoil)(Entry&);
    const char* message;
  };
  const Row rows[] = {
      {"no car", [](Entry& s) { s.car = " "; }, "needs the name of its car"},
      {"bad corner", [](Entry& s) { s.corner = "FL"; }, "not one of LF, RF, LR or RR"},
      {"bad date", [](Entry& s) { s.date = "1/5/2026"; }, "not a date written YYYY-MM-DD"},
      {"row 0", [](Entry& s) { s.rows[3] = 0; }, "numbered from 1"},
      {"uneven curve", [](Entry& s) { s.measured_force_n = {1}; }, "1 forces"},
  };
  auto lib = open();
  for (const Row& r : rows) {
    Entry s = sample(1);
    r.spoil(s);
    try {
      lib->save({sample(2), s});
      ADD_FAILURE() << r.name << " was saved";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << r.name << e.what();
    }
  }
  EXPECT_TRUE(lib->find({}).empty()) << "a refused save kept part of its set-ups";
}

TEST_P(Library, FindsBySearchAndTree) {
  auto lib = open();
  std::vector<Entry> all;
  for (int n = 1; n <= 8; ++n)
    all.push_back(sample(n, n <= 4 ? "Car A" : "Car B", n % 2 ? "LF" : "RR",
                         "2026-05-0" + std::to_string(n)));
  all[5].notes = "Wet RUN, oversteer at exit";
  std::vector<std::int64_t> id;
  for (const Saved& s : lib->save(all)) id.push_back(s.id);
  struct Row {
    const char* name;
    Query q;
    std::vector<int> want;  // sample numbers, newest event first
  };
  auto q = [](auto f) {
    Query x;
    f(x);
    return x;
  };
  const Row rows[] = {
      {"everything", {}, {8, 7, 6, 5, 4, 3, 2, 1}},
      {"track in other case", q([](Query& x) { x.track = "sPa"; }), {7, 5, 3, 1}},
      {"date range",
       q([](Query& x) {
         x.date_from = "2026-05-03";
         x.date_to = "2026-05-05";
       }),
       {5, 4, 3}},
      {"valve", q([](Query& x) { x.valve = "V101"; }), {6, 5, 1}},
      {"spring", q([](Query& x) { x.spring = "S5"; }), {8, 4, 3}},
      {"clicks", q([](Query& x) { x.clicks = "4"; }), {8, 7, 6, 3, 2, 1}},
      {"words in any case", q([](Query& x) { x.words = "run OVERSTEER"; }), {6}},
      {"wildcard taken literally", q([](Query& x) { x.words = "%"; }), {}},
      {"car",
       q([](Query& x) {
         x.car = "Car B";
         x.track = "Monza";
       }),
       {8, 6}},
      {"limit", q([](Query& x) { x.limit = 2; }), {8, 7}},
  };
  for (const Row& r : rows) {
    std::vector<int> got;
    for (const Entry& s : lib->find(r.q))
      for (int n = 0; n < 8; ++n)
        if (id[n] == s.id) got.push_back(n + 1);
    EXPECT_EQ(got, r.want) << r.name;
  }
  EXPECT_EQ(lib->cars(), (std::vector<std::string>{"Car A", "Car B"}));
  const std::vector<EventEntry> events = lib->events_of("Car B");
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].date, "2026-05-08");
  Query in_event;
  in_event.event_id = events[0].id;
  ASSERT_EQ(lib->find(in_event).size(), 1u);
  EXPECT_EQ(lib->find(in_event)[0].id, id[7]);
}

TEST_P(Library, ComparesAgainstTheChosenReferenceMarkingEveryDifference) {
  auto lib = open();
  Entry a = sample(1, "Car A", "LF", "2026-05-01");
  Entry b = a;  // the same corner at the next event, with two changes
  b.date = "2026-06-01";
  b.rows[HSC] = 2;
  b.row_texts[HSC] = "1";
  b.notes = "stiffer";
  Entry c = b;  // later at that event, one change more
  c.piston = "50";
  Entry other_corner = sample(2, "Car A", "RF", "2026-05-15");
  const std::vector<Saved> ids = lib->save({a, b, c, other_corner});
  auto marked = [](const Comparison& cmp, std::size_t column) {
    std::vector<std::string> out;
    for (std::size_t f = 0; f < cmp.fields.size(); ++f)
      if (cmp.differs[f][column]) out.push_back(cmp.fields[f]);
    return out;
  };
  struct Row {
    const char* name;
    std::vector<std::int64_t> compared;
    Reference reference;
    std::int64_t chosen;
    std::int64_t want_reference;
    std::vector<std::string> want_marked;  // of the last column
  };
  const Row rows[] = {
      {"previous of the corner",
       {ids[1].id},
       Reference::PreviousOfCorner,
       0,
       ids[0].id,
       {"Date", "HSC", "Notes"}},
      {"first of the event", {ids[2].id}, Reference::FirstOfEvent, 0, ids[1].id, {"Piston"}},
      {"any",
       {ids[1].id, ids[2].id},
       Reference::Chosen,
       ids[0].id,
       ids[0].id,
       {"Date", "HSC", "Piston", "Notes"}},
  };
  for (const Row& r : rows) {
    const Comparison cmp = compare(*lib, r.compared, r.reference, r.chosen);
    ASSERT_EQ(cmp.setups.size(), r.compared.size() + 1) << r.name;
    EXPECT_EQ(cmp.setups[0].id, r.want_reference) << r.name;
    EXPECT_TRUE(marked(cmp, 0).empty()) << r.name;
    EXPECT_EQ(marked(cmp, cmp.setups.size() - 1), r.want_marked) << r.name;
  }
  EXPECT_THROW(compare(*lib, {ids[0].id}, Reference::PreviousOfCorner), RuntimeError);
  EXPECT_THROW(compare(*lib, {4242}, Reference::FirstOfEvent), RuntimeError);
}

TEST_P(Library, ImportsAFolderOfDamperFiles) {
  const fs::path in = folder_ / "in";
  fs::create_directories(in);
  const Entry one = sample(1), two = sample(2);
  save_variables(in / "spa.mat", damper_variables(one));
  save_variables(in / "monza.mat", damper_variables(two));
  NamedValues short_of_one = damper_variables(one);
  short_of_one.pop_back();
  save_variables(in / "short.mat", short_of_one);
  NamedValues beyond = damper_variables(one);
  beyond[0].second = Value::number(9);  // the valve popup has five rows
  save_variables(in / "beyond.mat", beyond);
  write_whole(in / "junk.mat", "not a damper file");
  write_whole(in / "notes.txt", "ignored");
  PopupTexts texts;
  for (std::size_t k = 0; k < kPopupCount; ++k)
    for (int r = 1; r <= 5; ++r)
      texts[k].push_back("P" + std::to_string(k) + "." + std::to_string(r));

  auto lib = open();
  ImportOptions opts{"Car A", "RF", "", "", "", true};
  ImportReport r = import_folder(*lib, in, opts, texts);
  EXPECT_EQ(r.added, 2);
  EXPECT_EQ(r.already, 0);
  ASSERT_EQ(r.skipped.size(), 3u);
  EXPECT_NE(r.skipped[0].find("beyond.mat: cvalvevalue is 9"), std::string::npos) << r.skipped[0];
  const std::vector<Entry> found = lib->all();
  ASSERT_EQ(found.size(), 2u);
  const Entry& monza = found[0];  // files are read in name order
  EXPECT_EQ(monza.track, "monza");
  EXPECT_EQ(monza.date, today());
  EXPECT_EQ(monza.rows, two.rows);
  EXPECT_EQ(monza.row_texts[LSR], "P6." + std::to_string(two.rows[LSR]));
  EXPECT_EQ(monza.piston, two.piston);
  EXPECT_EQ(monza.corner, "RF");

  opts.track = "Imola";
  opts.date = "2026-07-04";
  opts.session = "FP1";
  r = import_folder(*lib, in, opts, texts);
  EXPECT_EQ(r.added, 2);
  EXPECT_EQ(lib->all()[3].track, "Imola");
  EXPECT_EQ(lib->all()[3].session, "FP1");
  r = import_folder(*lib, in, opts, texts);
  EXPECT_EQ(r.added, 0);
  EXPECT_EQ(r.already, 2);
}

TEST_P(Library, MergesALibraryFileWithoutDuplicates) {
  auto lib = open();
  lib->save({sample(1), sample(2)});
  std::vector<Entry> theirs = {sample(2), sample(3), sample(4)};
  theirs[2].dyno_record = "{}";
  theirs[2].measured_velocity_mps = {0.1, 0.2};
  theirs[2].measured_force_n = {10, 20};
  const fs::path handed = folder_ / "from colleague.sqlite";
  export_library_file(theirs, handed);
  MergeReport r = merge_library_file(*lib, handed);
  EXPECT_EQ(r.added, 2);
  EXPECT_EQ(r.already, 1);
  r = merge_library_file(*lib, handed);
  EXPECT_EQ(r.added, 0);
  EXPECT_EQ(r.already, 3);
  const std::vector<Entry> all = lib->all();
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[3].measured_force_n, (std::vector<double>{10, 20}));
  // Exporting again replaces the file whole.
  export_library_file({sample(9)}, handed);
  EXPECT_EQ(SqliteBackend(handed, true).all().size(), 1u);
}

TEST_P(Library, ExportsDamperFilesAndCsv) {
  auto lib = open();
  Entry s = sample(5, "Car/1", "LR");
  s.notes = "a, \"b\"\nc";
  s.id = lib->save({s})[0].id;
  const fs::path out = folder_ / "out";
  fs::create_directories(out);
  const auto files = export_damper_files({s}, out);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].parent_path(), out);
  const NamedValues back = load_all_variables(files[0]);
  EXPECT_EQ(dump_value(back[0].second), dump_value(Value::number(s.rows[CValve])));
  EXPECT_EQ(back.size(), 12u);
  const std::string csv = setups_csv({s});
  EXPECT_NE(csv.find("\"a, \"\"b\"\"\nc\""), std::string::npos) << csv;
  EXPECT_EQ(csv.substr(0, csv.find('\n')).find("No.,Car,Corner,Track"), 0u);
}

// A child that saves `count` set-ups of its own, one transaction each, telling `fd` each id.
[[noreturn]] void save_in_child(const fs::path& file, const std::string& server, int first,
                                int count, int fd) {
  int status = 0;
  try {
    auto lib = open_backend(file, server);
    for (int n = first; n < first + count; ++n) {
      const std::int64_t id = lib->save({sample(n)})[0].id;
      if (fd >= 0 && ::write(fd, &id, sizeof id) != sizeof id) status = 3;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "child: %s\n", e.what());
    status = 2;
  }
  ::_exit(status);  // no destructors: the parent's connections are not this child's
}

TEST_P(Library, ConcurrentSavesFromTwoProgramsLoseNothing) {
  open();  // made once, as a first program would
  constexpr int kEach = 40;
  std::vector<pid_t> children;
  for (int c = 0; c < 2; ++c) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) save_in_child(file(), server_, 1000 * (c + 1), kEach, -1);
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  Query all;
  EXPECT_EQ(open()->find(all).size(), 2u * kEach);
}

TEST_P(Library, KilledDuringASaveKeepsEveryCommittedSetup) {
  open();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(fds[0]);
    save_in_child(file(), server_, 1, 100000, fds[1]);
  }
  ::close(fds[1]);
  std::vector<std::int64_t> committed;
  std::int64_t id = 0;
  while (committed.size() < 25 && ::read(fds[0], &id, sizeof id) == sizeof id)
    committed.push_back(id);
  ::kill(pid, SIGKILL);
  while (::read(fds[0], &id, sizeof id) == sizeof id) committed.push_back(id);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended before it was killed";
  ASSERT_GE(committed.size(), 25u);
  auto lib = open();
  for (std::int64_t c : committed) EXPECT_TRUE(lib->open(c)) << "set-up " << c << " was lost";
  for (const Entry& s : lib->all())
    EXPECT_EQ(s.measured_force_n.size(), s.measured_velocity_mps.size());
  // And it takes the next save.
  EXPECT_TRUE(lib->save({sample(999999)})[0].added);
}

// A library of the first schema version, made as that version made it, with two twins.
void make_first_version(Kind kind, const fs::path& file, const std::string& server) {
  const sql::Dialect d = kind == Kind::Sqlite ? sql::Dialect::Sqlite : sql::Dialect::Postgres;
  std::vector<std::string> statements = sql::first_schema(d);
  statements.push_back("INSERT INTO cars (name) VALUES ('Old car')");
  statements.push_back(
      "INSERT INTO events (track, date, session) VALUES ('Spa', '2025-08-01', 'R')");
  for (int k = 0; k < 3; ++k)
    statements.push_back(
        "INSERT INTO setups (car_id, corner, event_id, cvalve, cspring, lsc, hsc, rvalve, "
        "rspring, lsr, hsr, motion_ratio, internal_shaft, external_shaft, piston, si_units, "
        "curve_number, legend_c1, legend_c2, legend_r1, legend_r2, notes, saved_at) VALUES (1, "
        "'LR', 1, 1, 2, 3, 4, 5, 1, 2, 3, '0.8', '12', '16', '46', 0, 2, 'a', 'b', 'c', 'd', '" +
        std::string(k == 2 ? "other" : "twin") + "', '2025-08-01T09:00:00Z')");
  if (kind == Kind::Sqlite) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    for (const std::string& s : statements)
      ASSERT_EQ(sqlite3_exec(db, s.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << s;
    sqlite3_close(db);
  } else {
    PGconn* c = PQconnectdb(server.c_str());
    for (const std::string& s : statements) {
      PGresult* r = PQexec(c, s.c_str());
      EXPECT_EQ(PQresultStatus(r), PGRES_COMMAND_OK) << s << PQerrorMessage(c);
      PQclear(r);
    }
    PQfinish(c);
  }
}

TEST_P(Library, BringsAFirstVersionLibraryUpToDate) {
  make_first_version(GetParam(), file(), server_);
  auto lib = open();
  EXPECT_EQ(lib->schema_version(), kSchemaVersion);
  const std::vector<Entry> all = lib->all();
  ASSERT_EQ(all.size(), 3u) << "twins of the old library are both kept";
  EXPECT_EQ(all[0].car, "Old car");
  EXPECT_EQ(all[0].rows, (std::array<int, kPopupCount>{1, 2, 3, 4, 5, 1, 2, 3}));
  EXPECT_FALSE(all[0].si_units);
  EXPECT_EQ(all[0].legend[3], "d");
  EXPECT_EQ(all[0].notes, "twin");
  EXPECT_EQ(all[2].notes, "other");
  // The old set-ups are told apart from new ones, and a copy of one is not added again.
  Entry copy = all[2];
  copy.id = 0;
  EXPECT_FALSE(lib->save({copy})[0].added);
  EXPECT_EQ(open()->schema_version(), kSchemaVersion);
}

INSTANTIATE_TEST_SUITE_P(BothBackEnds, Library, ::testing::Values(Kind::Sqlite, Kind::Postgres),
                         name_of);

// ---- What only the embedded file has: a file of its own on the user's disk.

std::string bytes_of(const fs::path& f) {
  std::ifstream in(f, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(LibraryFile, RefusesDamagedAndForeignFilesAndNeverWritesThem) {
  char tmpl[] = "/tmp/quorin-lib-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const fs::path folder = tmpl;
  // A real library, cut short: its header is right but its pages are gone.
  const fs::path whole = folder / "whole.sqlite";
  {
    SqliteBackend lib(whole);
    std::vector<Entry> many;
    for (int n = 0; n < 200; ++n) many.push_back(sample(n));
    lib.save(many);
  }
  const std::string library_bytes = bytes_of(whole);
  std::string garbled = library_bytes;
  for (std::size_t k = 1024; k < garbled.size(); k += 7) garbled[k] = static_cast<char>(k * 31);
  struct Row {
    const char* name;
    std::string bytes;
  };
  const Row rows[] = {
      {"text", "car,corner\nA,LF\n"},
      {"cut short", library_bytes.substr(0, 4096 + 100)},
      {"garbled", garbled},
  };
  for (const Row& r : rows) {
    const fs::path f = folder / (std::string(r.name) + ".sqlite");
    write_whole(f, r.bytes);
    try {
      SqliteBackend lib(f);
      lib.save({sample(1)});
      ADD_FAILURE() << r.name << " was taken for a library";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(f.string()), std::string::npos) << e.what();
    }
    EXPECT_EQ(bytes_of(f), r.bytes) << r.name << " was written";
  }
  // Another program's database.
  const fs::path foreign = folder / "foreign.sqlite";
  sqlite3* db = nullptr;
  sqlite3_open(foreign.c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE laps (n INTEGER); INSERT INTO laps VALUES (1)", nullptr, nullptr,
               nullptr);
  sqlite3_close(db);
  const std::string foreign_bytes = bytes_of(foreign);
  try {
    SqliteBackend lib(foreign);
    ADD_FAILURE() << "a foreign database was taken for a library";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("is not a set-up library"), std::string::npos) << e.what();
  }
  EXPECT_EQ(bytes_of(foreign), foreign_bytes);
  fs::remove_all(folder);
}

TEST(LibraryFile, ReadOnlyFileOpensReadOnlyAndSaysSo) {
  char tmpl[] = "/tmp/quorin-lib-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const fs::path file = fs::path(tmpl) / "library.sqlite";
  { SqliteBackend(file).save({sample(1)}); }
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string before = bytes_of(file);
  SqliteBackend lib(file);
  EXPECT_TRUE(lib.read_only());
  EXPECT_EQ(lib.find({}).size(), 1u);
  try {
    lib.save({sample(2)});
    ADD_FAILURE() << "saved into a read-only library";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("is read-only; nothing was saved"), std::string::npos);
  }
  EXPECT_EQ(bytes_of(file), before);
  fs::remove_all(tmpl);
}

// ---- What only the server has: a connection that can drop, and a password kept elsewhere.

TEST(LibraryServer, DroppedConnectionIsReportedAndNothingHalfWrittenStays) {
  test_support::TestServer& server = test_support::TestServer::get();
  const std::string conn = server.fresh_database();
  PostgresBackend lib(conn);
  lib.save({sample(1)});
  const std::string db =
      conn.substr(conn.find("dbname=") + 7, conn.find(" user") - conn.find("dbname=") - 7);
  server.exec(
      "postgres",
      "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + db + "'");
  try {
    lib.save({sample(2), sample(3)});
    ADD_FAILURE() << "a save over a dropped connection was reported as done";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("was lost"), std::string::npos) << e.what();
  }
  // The next use connects again; nothing of the failed save is there.
  EXPECT_EQ(lib.find({}).size(), 1u);
  EXPECT_TRUE(lib.save({sample(2)})[0].added);
}

TEST(LibraryServer, RefusesAPasswordAndAServerItCannotReach) {
  struct Row {
    const char* connection;
    const char* message;
  };
  const Row rows[] = {
      {"host=/nowhere dbname=x user=y password=secret", "keeps none"},
      {"host=/tmp/quorin-no-server dbname=x user=y", "could not be reached"},
      {"host='unterminated", "is not valid"},
  };
  for (const Row& r : rows) {
    try {
      PostgresBackend lib(r.connection);
      ADD_FAILURE() << r.connection;
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find("secret"), std::string::npos);
    }
  }
}

TEST(LibraryServer, ADatabaseOfOtherTablesIsNotTakenForALibrary) {
  test_support::TestServer& server = test_support::TestServer::get();
  const std::string conn = server.fresh_database();
  const std::string db =
      conn.substr(conn.find("dbname=") + 7, conn.find(" user") - conn.find("dbname=") - 7);
  server.exec(db, "CREATE TABLE laps (n INTEGER)");
  EXPECT_THROW(PostgresBackend{conn}, RuntimeError);
  server.exec(db, "SELECT count(*) FROM laps");  // still there
}

}  // namespace
}  // namespace quorin::library

namespace quorin::library {
namespace {

// The list sorts by any column: numbers as numbers, texts as texts, ties in the order saved.
TEST(SetupList, SortsByAnyColumn) {
  using Entry = quorin::library::Setup;
  auto entry = [](std::int64_t id, std::string car, std::string lsc_text, std::string date) {
    Entry s;
    s.id = id;
    s.car = std::move(car);
    s.row_texts[LSC] = std::move(lsc_text);
    s.date = std::move(date);
    return s;
  };
  const std::vector<Entry> list = {
      entry(1, "b", "10", "2026-05-02"), entry(2, "a", "9", "2026-05-01"),
      entry(3, "b", "10", "2026-05-03"), entry(4, "C", "", "2026-05-01")};
  struct Row {
    const char* name;
    std::size_t column;
    bool descending;
    std::vector<std::int64_t> want;
  };
  const Row rows[] = {
      {"number", 0, true, {4, 3, 2, 1}},
      {"car, ties as saved", 1, false, {4, 2, 1, 3}},
      {"clicks as numbers, then texts", 8, false, {2, 1, 3, 4}},
      {"clicks descending", 8, true, {4, 1, 3, 2}},
      {"date", 4, true, {3, 1, 2, 4}},
  };
  for (const Row& r : rows) {
    std::vector<Entry> sorted = list;
    sort_setups(sorted, r.column, r.descending);
    std::vector<std::int64_t> got;
    for (const Entry& s : sorted) got.push_back(s.id);
    EXPECT_EQ(got, r.want) << r.name;
  }
  std::vector<Entry> copy = list;
  EXPECT_THROW(sort_setups(copy, kListColumns.size(), false), RuntimeError);
}

}  // namespace
}  // namespace quorin::library

namespace quorin::library {
namespace {

// A library in a folder its user may not write (a colleague's share, a CD): it is read all
// the same, read-only. Tried by a child as "nobody" when the tests run as root, since root
// may write anywhere.
TEST(LibraryFile, ALibraryInAFolderThatCannotBeWrittenIsReadReadOnly) {
  char tmpl[] = "/tmp/quorin-lib-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const fs::path folder = tmpl;
  const fs::path file = folder / "library.sqlite";
  { SqliteBackend(file).save({sample(1), sample(2)}); }
  ASSERT_FALSE(fs::exists(file.string() + "-wal")) << "a closed library leaves no log behind";
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    try {
      SqliteBackend lib(file);
      ::_exit(lib.read_only() && lib.find({}).size() == 2 ? 0 : 1);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "child: %s\n", e.what());
      ::_exit(2);
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit " << WEXITSTATUS(status);
  fs::permissions(folder, fs::perms::owner_all);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quorin::library

namespace quorin::library {
namespace {

// A server that asks for a password: the library gets it from the user's PostgreSQL password
// file, and without that file the connection is refused with the server's reason.
TEST(LibraryServer, ThePasswordComesFromThePasswordFile) {
  test_support::TestServer server(false, "pit-lane-7");
  const std::string conn = server.fresh_database();
  char tmpl[] = "/tmp/quorin-pgpass-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const fs::path pgpass = fs::path(tmpl) / "pgpass";
  std::ofstream(pgpass) << "*:*:*:quorin:pit-lane-7\n";
  fs::permissions(pgpass, fs::perms::owner_read | fs::perms::owner_write);
  const char* before = std::getenv("PGPASSFILE");
  const std::string kept = before ? before : "";

  ::setenv("PGPASSFILE", (fs::path(tmpl) / "none").c_str(), 1);
  try {
    PostgresBackend lib(conn);
    ADD_FAILURE() << "connected without a password";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("could not be reached"), std::string::npos) << e.what();
  }
  ::setenv("PGPASSFILE", pgpass.c_str(), 1);
  {
    PostgresBackend lib(conn);
    EXPECT_TRUE(lib.save({sample(1)})[0].added);
    EXPECT_EQ(lib.where().find("pit-lane"), std::string::npos);
  }
  if (before)
    ::setenv("PGPASSFILE", kept.c_str(), 1);
  else
    ::unsetenv("PGPASSFILE");
  fs::remove_all(tmpl);
}

}  // namespace
}  // namespace quorin::library
