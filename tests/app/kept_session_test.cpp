// The kept session: a driver killed with SIGKILL after seven PLOTs leaves its session, which the
// next start brings back exactly; damaged or absent sessions are refused without harm; a fatal
// fault leaves a note saying where the session is.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/kept_session.h"
#include "app/script_driver.h"
#include "services/mapped_file.h"
#include "services/temp_dir.h"
#include "startup/fatal_note.h"

extern char** environ;

namespace quorin {
namespace {

namespace fs = std::filesystem;

// Seven set-ups that differ in every kind of selection, ending in US units with held boxes.
const char* const kSevenPlots =
    "press PLOT\n"
    "set LSC Value 11\npress PLOT\n"
    "set HSC Value 16\nset HSR Value 11\npress PLOT\n"
    "set CompressionValve Value 1\nset ReboundValve Value 1\npress PLOT\n"
    "set CompressionSpring Value 1\nset LSR Value 6\npress PLOT\n"
    "set internalshaft String \"0\"\npress PLOT\n"
    "set motionratio String \"1.5\"\nset xmax String \"20\"\npress PLOT\n";

// quorin-script as a child process of its own, fed line by line.
class ChildDriver {
 public:
  ChildDriver() {
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string program = std::string(QUORIN_BIN_DIR) + "/quorin-script";
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0)
      throw std::runtime_error("cannot start " + program);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    to_ = in[1];
    from_ = ::fdopen(out[0], "r");
  }
  ~ChildDriver() {
    kill();
    if (from_) std::fclose(from_);
  }
  // Sends one line and returns the line it printed.
  std::string line(const std::string& text) {
    const std::string l = text + "\n";
    if (::write(to_, l.data(), l.size()) != static_cast<ssize_t>(l.size())) return "write failed";
    std::string out;
    for (int c = std::fgetc(from_); c != EOF && c != '\n'; c = std::fgetc(from_))
      out.push_back(static_cast<char>(c));
    return out;
  }
  pid_t pid() const { return pid_; }
  // Ends it as a power cut or `kill -9` would: no chance to tidy up.
  void kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    if (to_ >= 0) ::close(to_);
    to_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1;
  std::FILE* from_ = nullptr;
};

class KeptSession : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_regular_file(fs::path(QUORIN_SUPPLIED) / "quorin_bleed_2004_v1.mat"))
      GTEST_SKIP() << "the supplied data are not generated";
    fs::copy(QUORIN_SUPPLIED, start.path(), fs::copy_options::recursive);
    fs::create_directories(start.path() / "data");
  }
  std::vector<std::string> run(ScriptDriver& d, const std::string& script) {
    std::vector<std::string> out;
    std::istringstream in(script);
    for (std::string l; std::getline(in, l);)
      if (auto o = d.run_line(l)) out.push_back(*o);
    return out;
  }
  // The counter of the session on disk once it holds the import box ticked; 0 before.
  double kept_counter() {
    try {
      const SessionDocument d = read_session(autosave_file(start.path()));
      for (const auto& [tag, value] : d.buttons)
        if (tag == "holdimport" && value == 1) return d.counter;
      return 0;
    } catch (const std::exception&) {
      return 0;
    }
  }
  test::TempDir start;
  std::ostringstream console;
};

TEST_F(KeptSession, SevenCurvesOfAKilledDriverComeBackExactly) {
  std::string curves, counter, limit;
  {
    ChildDriver child;
    ASSERT_EQ(child.line("start " + start.path().string()), "{\"ok\": true}");
    std::istringstream plots(kSevenPlots);
    for (std::string l; std::getline(plots, l);) ASSERT_EQ(child.line(l), "{\"ok\": true}") << l;
    ASSERT_EQ(child.line("press holdimport"), "{\"ok\": true}");
    curves = child.line("global plotdata");
    counter = child.line("global counter");
    limit = child.line("get xmax String");
    // The session reaches the disk beside the driver's work; the kill comes once it is there.
    for (int i = 0; i < 1000 && kept_counter() != 8; ++i) ::usleep(10000);
    child.kill();
  }
  ASSERT_EQ(counter, "{\"value\":8}");
  ASSERT_TRUE(fs::exists(autosave_file(start.path()))) << "a killed run leaves its session";

  ScriptDriver next(start.path(), console);
  const auto out = run(next, "start " + start.path().string() +
                                 "\nglobal counter\nrestore\nglobal plotdata\nglobal counter\n"
                                 "get xmax String\nget holdimport Value\nrestore\n");
  ASSERT_EQ(out.size(), 8u);
  EXPECT_EQ(out[1], "{\"value\":1}") << "a fresh start stores nothing by itself";
  EXPECT_EQ(out[2], "{\"ok\": true}");
  EXPECT_EQ(out[3], curves) << "every number of the seven curves, bit for bit";
  EXPECT_EQ(out[4], counter);
  EXPECT_EQ(out[5], limit);
  EXPECT_EQ(out[6], "{\"value\":1}");
  EXPECT_NE(out[7].find("No session waits"), std::string::npos) << out[7];
}

TEST_F(KeptSession, ACleanEndLeavesNothingAndADamagedSessionChangesNothing) {
  {
    ScriptDriver d(start.path(), console);
    run(d, "start " + start.path().string() + "\npress PLOT\npress holdimport\n");
    for (int i = 0; i < 1000 && kept_counter() != 2; ++i) ::usleep(10000);
    EXPECT_EQ(kept_counter(), 2) << "the session is kept while the script runs";
  }
  EXPECT_FALSE(fs::exists(autosave_file(start.path()))) << "the script ended: nothing waits";
  EXPECT_EQ(read_session(start.path() / "data" / "session.last").counter, 2)
      << "its session is kept as the last one";

  struct Row {
    const char* name;
    std::string text;
  } rows[] = {{"not a variable file", "garbage"},
              {"counter past the curves", R"({"counter": 5, "counter2": 5, "plotdata": []})"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::ofstream(autosave_file(start.path())) << r.text;
    ScriptDriver d(start.path(), console);
    const auto out =
        run(d, "start " + start.path().string() + "\npress PLOT\nrestore\nglobal counter\n");
    ASSERT_EQ(out.size(), 4u);
    EXPECT_NE(out[2].find("\"error\""), std::string::npos) << out[2];
    EXPECT_EQ(out[3], "{\"value\":2}") << "the curve of this run stays";
  }
}

// Programs started in one folder each keep their own session: none takes a running one's
// session for one left behind, and the session of one that was killed waits for the next.
TEST_F(KeptSession, ProgramsRunningSideBySideKeepTheirOwnSessions) {
  const fs::path first = autosave_file(start.path());
  {
    ScriptDriver a(start.path(), console);
    run(a, "start " + start.path().string() + "\npress PLOT\n");
    ChildDriver b;
    EXPECT_EQ(b.line("start " + start.path().string()).find("error"), std::string::npos);
    EXPECT_EQ(b.line("restore").find("\"error\"") != std::string::npos, true)
        << "the running program's session is not offered to the second";
    b.line("press PLOT");
    b.line("press PLOT");
    const fs::path second = start.path() / "data" / "session-2.autosave";
    auto second_counter = [&] {
      try {
        return read_session(second).counter;
      } catch (const std::exception&) {
        return 0.0;
      }
    };
    for (int i = 0; i < 1000 && second_counter() != 3; ++i) ::usleep(10000);
    EXPECT_EQ(second_counter(), 3);
    EXPECT_FALSE(fs::exists(first.string() + ".waiting"));
    b.kill();
  }
  // The first ended cleanly, the second was killed: the next program started takes the
  // first's place, the one after it finds the killed program's two curves.
  ScriptDriver next(start.path(), console);
  run(next, "start " + start.path().string());
  ChildDriver after;
  after.line("start " + start.path().string());
  EXPECT_EQ(after.line("restore").find("error"), std::string::npos);
  EXPECT_EQ(after.line("global counter"), "{\"value\":3}");
}

// The counter of the session in `file` once it is `counter`, waiting up to ten seconds; what it
// holds at the end otherwise (0 when it cannot be read).
double wait_for_counter(const fs::path& file, double counter) {
  double found = 0;
  for (int i = 0; i < 1000; ++i) {
    try {
      found = read_session(file).counter;
    } catch (const std::exception&) {
      found = 0;
    }
    if (found == counter) break;
    ::usleep(10000);
  }
  return found;
}

// A driver in its own process that starts in `folder`, presses PLOT `plots` times, waits until
// its session with that many curves is on disk and is killed.
void killed_after_plots(const fs::path& folder, int plots, const fs::path& file) {
  ChildDriver child;
  ASSERT_EQ(child.line("start " + folder.string()), "{\"ok\": true}");
  for (int i = 0; i < plots; ++i) ASSERT_EQ(child.line("press PLOT"), "{\"ok\": true}");
  ASSERT_EQ(wait_for_counter(file, plots + 1), plots + 1) << file;
  child.kill();
}

// Runs killed one after another each leave their session to wait: none replaces another
// before the user was asked, the newest is offered first, and one that only started adds
// nothing beside sessions with curves.
TEST_F(KeptSession, SessionsOfRunsKilledOneAfterAnotherAllWait) {
  const fs::path kept = autosave_file(start.path());
  std::string seven;
  {
    ChildDriver first;
    ASSERT_EQ(first.line("start " + start.path().string()), "{\"ok\": true}");
    std::istringstream plots(kSevenPlots);
    for (std::string l; std::getline(plots, l);) ASSERT_EQ(first.line(l), "{\"ok\": true}") << l;
    seven = first.line("global plotdata");
    ASSERT_EQ(wait_for_counter(kept, 8), 8);
    first.kill();
  }
  killed_after_plots(start.path(), 1, kept);  // a second run with one curve of its own
  killed_after_plots(start.path(), 0, kept);  // a third that only started

  ScriptDriver next(start.path(), console);
  const auto out = run(next, "start " + start.path().string() +
                                 "\nwaiting\nrestore 2\nglobal plotdata\nglobal counter\nwaiting\n"
                                 "restore 2\nrestore\nglobal counter\nwaiting\n");
  ASSERT_EQ(out.size(), 10u);
  EXPECT_EQ(out[1], "{\"value\":[1,7]}") << "newest first, the empty one let go";
  EXPECT_EQ(out[2], "{\"ok\": true}");
  EXPECT_EQ(out[3], seven) << "the first run's seven curves, bit for bit";
  EXPECT_EQ(out[4], "{\"value\":8}");
  EXPECT_EQ(out[5], "{\"value\":1}") << "the session not restored goes on waiting";
  EXPECT_NE(out[6].find("Only 1 session waits"), std::string::npos) << out[6];
  EXPECT_EQ(out[7], "{\"ok\": true}");
  EXPECT_EQ(out[8], "{\"value\":2}");
  EXPECT_EQ(out[9], "{\"value\":[]}");
}

// Eight programs running side by side and all killed: the next program, alone in the folder,
// is offered every one of their sessions, not only the first program's.
TEST_F(KeptSession, EveryKilledProgramsSessionIsOfferedToTheNextAlone) {
  {
    std::vector<std::unique_ptr<ChildDriver>> running;
    for (int slot = 1; slot <= 8; ++slot) {
      running.push_back(std::make_unique<ChildDriver>());
      ChildDriver& c = *running.back();
      ASSERT_EQ(c.line("start " + start.path().string()), "{\"ok\": true}");
      const int plots = std::min(slot, 7);
      for (int i = 0; i < plots; ++i) ASSERT_EQ(c.line("press PLOT"), "{\"ok\": true}");
      const fs::path file =
          slot == 1 ? autosave_file(start.path())
                    : start.path() / "data" / ("session-" + std::to_string(slot) + ".autosave");
      ASSERT_EQ(wait_for_counter(file, plots + 1), plots + 1) << file;
    }
    for (auto& c : running) c->kill();
  }
  ScriptDriver next(start.path(), console);
  std::string script = "start " + start.path().string() + "\nwaiting\n";
  for (int i = 0; i < 8; ++i) script += "restore\nglobal counter\n";
  const auto out = run(next, script + "waiting\n");
  ASSERT_EQ(out.size(), 19u);
  EXPECT_EQ(out[1], "{\"value\":[7,7,6,5,4,3,2,1]}") << "the last killed first";
  const char* const counters[] = {"8", "8", "7", "6", "5", "4", "3", "2"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(out[2 + 2 * i], "{\"ok\": true}") << i;
    EXPECT_EQ(out[3 + 2 * i], std::string("{\"value\":") + counters[i] + "}") << i;
  }
  EXPECT_EQ(out[18], "{\"value\":[]}");
}

// Writes cut short by a kill leave "<session file>.tmpPID-N" files: the next start removes
// those of programs that no longer run or whose slot is free, never a running program's.
TEST_F(KeptSession, HalfWrittenSessionsOfEndedProgramsAreRemoved) {
  const fs::path data = start.path() / "data";
  ChildDriver running;
  ASSERT_EQ(running.line("start " + start.path().string()), "{\"ok\": true}");
  const std::string live = std::to_string(running.pid());
  const std::string gone = "2147483600";  // above any process number the system hands out
  struct Row {
    const char* name;
    bool stays;
  } rows[] = {
      {"session.autosave.tmp2147483600-3", false},    // its writer no longer runs
      {"session-3.autosave.tmp2147483600-0", false},  // nor this one's
      {"session.autosave.tmp2147483600-1-kept", false},
      {"session-2.autosave.tmpLIVE-4", false},  // slot free: nobody writes there
  };
  std::vector<std::pair<fs::path, bool>> files;
  for (const Row& r : rows) {
    std::string name = r.name;
    if (auto at = name.find("LIVE"); at != std::string::npos) name.replace(at, 4, live);
    files.emplace_back(data / name, r.stays);
  }
  // The running program's own write in its slot stays.
  files.emplace_back(data / ("session.autosave.tmp" + live + "-9"), true);
  for (const auto& [file, stays] : files) std::ofstream(file) << std::string(4096, 'x');
  ASSERT_NE(gone, live);

  ScriptDriver next(start.path(), console);
  run(next, "start " + start.path().string());
  for (const auto& [file, stays] : files) EXPECT_EQ(fs::exists(file), stays) << file.filename();
}

// A program whose lock file was deleted still holds its session file: a second program
// started beside it neither takes that session for one left behind nor shares its file, and
// the first one's clean end leaves the second's session alone.
TEST_F(KeptSession, DeletingARunningProgramsLockHandsItsSessionToNoOne) {
  const fs::path first = autosave_file(start.path());
  const fs::path second = start.path() / "data" / "session-2.autosave";
  ChildDriver other;
  {
    ScriptDriver a(start.path(), console);
    run(a, "start " + start.path().string() + "\npress PLOT\npress PLOT\n");
    ASSERT_EQ(wait_for_counter(first, 3), 3);
    ASSERT_TRUE(fs::remove(first.string() + ".lock"));

    ASSERT_EQ(other.line("start " + start.path().string()), "{\"ok\": true}");
    EXPECT_EQ(other.line("waiting"), "{\"value\":[]}") << "the running program's session";
    EXPECT_NE(other.line("restore").find("No session waits"), std::string::npos);
    ASSERT_EQ(other.line("press PLOT"), "{\"ok\": true}");
    EXPECT_EQ(wait_for_counter(second, 2), 2) << "the second keeps its own file";
    EXPECT_EQ(wait_for_counter(first, 3), 3) << "the first's session is its own";
  }
  EXPECT_EQ(read_session(start.path() / "data" / "session.last").counter, 3);
  EXPECT_EQ(wait_for_counter(second, 2), 2) << "the first's end leaves the second's session";
  other.kill();
}

TEST(FatalNote, AFatalFaultSaysWhereTheSessionIs) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        install_fatal_note("/somewhere/data/session.autosave");
        std::raise(SIGSEGV);
      },
      ::testing::KilledBySignal(SIGSEGV),
      "fatal fault \\(a bad memory access\\); the session up to its last change is kept in "
      "\"/somewhere/data/session.autosave\"");
  EXPECT_DEATH(
      {
        install_fatal_note("/x/session.autosave");
        std::terminate();
      },
      "uncaught failure; the session up to its last change");
  // An import read where it lies puts a bus-error handler of its own in front of the note; a
  // bus error anywhere else still ends the program with the note.
  test::TempDir dir;
  const fs::path curve = dir.path() / "curve.txt", other = dir.path() / "other.bin";
  std::ofstream(curve) << "0 1 2\n";
  std::ofstream(other) << std::string(8192, 'x');
  EXPECT_EXIT(
      {
        install_fatal_note("/somewhere/data/session.autosave");
        { const MappedText text(curve, kImportFileLimit); }
        const int fd = ::open(other.c_str(), O_RDWR);
        auto* p = static_cast<volatile char*>(::mmap(nullptr, 8192, PROT_READ, MAP_SHARED, fd, 0));
        if (::ftruncate(fd, 0) == 0) std::exit(p[4096] == 'x' ? 3 : 4);
      },
      ::testing::KilledBySignal(SIGBUS),
      "fatal fault \\(a bad memory access\\); the session up to its last change is kept in");
}

}  // namespace
}  // namespace quorin
