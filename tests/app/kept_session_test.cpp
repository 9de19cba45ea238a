// The kept session: a driver killed with SIGKILL after seven PLOTs leaves its session, which the
// next start brings back exactly; damaged or absent sessions are refused without harm; a fatal
// fault leaves a note saying where the session is.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "services/temp_dir.h"
#include "app/kept_session.h"
#include "startup/fatal_note.h"
#include "app/script_driver.h"

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
    const auto out = run(d, "start " + start.path().string() +
                                "\npress PLOT\nrestore\nglobal counter\n");
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
}

}  // namespace
}  // namespace quorin
