// The session document: taken from a started program, written to its packed file and read
// back bit for bit; damaged files and sessions the program could never have made are refused
// whole, and a refused session leaves the program as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>

#include "app/menu_program.h"
#include "app/session.h"
#include "services/runtime_error.h"
#include "services/temp_dir.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

class Session : public test::MenuProgram {
 protected:
  // Two PLOTs, an import of three rows holding a NaN, a hidden curve and the guides.
  SessionDocument busy_session() {
    EXPECT_TRUE(run("view"));
    control("motionratio").string = "1.5";
    EXPECT_TRUE(run("view"));
    program.globals.import = Matrix(3, 3, {0.1, 10, -5, 0.2, std::nan(""), -9, 0.3, 30, -20});
    program.tools->set_hidden({2});
    program.tools->tuning_tools().set_guides(TuningTools::Corner{250, 30});
    return take_session(program);
  }
  test::TempDir dir;
};

TEST_F(Session, ComesBackFromItsFileBitForBit) {
  const SessionDocument d = busy_session();
  const fs::path file = dir.path() / "s.autosave";
  write_session(file, d);
  const SessionDocument back = read_session(file);
  EXPECT_TRUE(same_session(d, back));
  EXPECT_EQ(back.plotdata, d.plotdata);
  EXPECT_TRUE(std::isnan(back.import.at(1, 1)));
  EXPECT_EQ(back.import.row_order()[5], -9);
  EXPECT_EQ(back.hidden, std::vector<int>{2});
  EXPECT_EQ(read_session_curves(file), 2u);
  // A session equals itself, NaN and all, without a copy of its curves.
  EXPECT_TRUE(same_session(d, take_session(program)));
  for (std::size_t c = 0; c < 3; ++c)
    EXPECT_TRUE(take_session(program).import.column(c).shares_with(program.globals.import.column(c)));
}

TEST_F(Session, ADamagedFileIsRefusedWhole) {
  const fs::path file = dir.path() / "s.autosave";
  write_session(file, busy_session());
  std::string bytes;
  {
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  struct Row {
    const char* name;
    std::function<void(std::string&)> damage;
    const char* says;
  } rows[] = {
      {"one byte changed", [](std::string& b) { b[b.size() / 2] ^= 1; }, "checksum"},
      {"cut short", [](std::string& b) { b.resize(b.size() - 100); }, ""},
      {"not a session", [](std::string& b) { b = "garbage, not a session at all"; },
       "not a packed file"},
      {"a newer version", [](std::string& b) { b[8 + 19] = 9; }, "newer"},
      {"a length past the end", [](std::string& b) { std::fill_n(b.begin() + 51, 8, '\x7f'); },
       ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::string damaged = bytes;
    r.damage(damaged);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << damaged;
    try {
      read_session(file);
      ADD_FAILURE() << "read";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << e.what();
    }
  }
}

TEST_F(Session, WhatTheProgramCouldNeverMakeIsRefusedAndChangesNothing) {
  const SessionDocument good = busy_session();
  struct Row {
    const char* name;
    std::function<void(SessionDocument&)> spoil;
    const char* says;
  } rows[] = {
      {"counter 1.5", [](SessionDocument& d) { d.counter = 1.5; }, "counts"},
      {"twelve curves",
       [](SessionDocument& d) {
         d.plotdata.resize(12, d.plotdata[0]);
         d.counter = 8;
       },
       "more than the seven"},
      {"counter past the curves", [](SessionDocument& d) { d.counter = 5; }, "but holds 2"},
      {"rows of different lengths",
       [](SessionDocument& d) { d.plotdata[1].rebound_force.pop_back(); }, "different lengths"},
      {"a 5 MB curve name",
       [](SessionDocument& d) { d.plotdata[0].curveIDcompression1.assign(5 << 20, 'x'); },
       "characters"},
      {"a two-column import",
       [](SessionDocument& d) {
         d.import = Matrix(3, 2, std::vector<double>(6, 1.0));
       },
       "columns"},
      {"limit abc",
       [](SessionDocument& d) {
         for (auto& [tag, text] : d.boxes)
           if (tag == "ymax") text = "abc";
       },
       "not a number"},
      {"a hidden curve not stored", [](SessionDocument& d) { d.hidden = {6}; }, "not stored"},
      {"guides for no mass", [](SessionDocument& d) { d.guides = std::array{0.0, 30.0}; },
       "positive"},
  };
  control("motionratio").string = "2";
  ASSERT_TRUE(run("view"));
  const SessionDocument before = take_session(program);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    SessionDocument d = good;
    r.spoil(d);
    try {
      put_session(program, d, "The kept session");
      ADD_FAILURE() << "restored";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << e.what();
    }
    EXPECT_TRUE(same_session(take_session(program), before));
  }
  // A session that passes the checks but cannot be drawn is taken back all the same.
  SessionDocument undrawable = good;
  undrawable.ShockData = Value::text("not a dyno record");
  for (auto& [tag, value] : undrawable.buttons)
    if (tag == "holdroehrig") value = 1;
  EXPECT_THROW(put_session(program, undrawable, "The kept session"), RuntimeError);
  EXPECT_TRUE(same_session(take_session(program), before));
  EXPECT_TRUE(run("view")) << "PLOT works after a refused session";
}

}  // namespace
}  // namespace quorin
