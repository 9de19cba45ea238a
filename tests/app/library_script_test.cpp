// The set-up library through the script driver: every library verb in one script over a
// scratch start folder, with what each prints and what lands in the main window, the plot
// and the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/library_tools.h"
#include "app/script_driver.h"
#include "library/sqlite_backend.h"
#include "services/temp_dir.h"
#include "services/varfile.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

// The library's place in the window's status: short places whole, long paths by their last two
// parts, and a server's connection text as it is.
TEST(LibraryScript, TheStatusNamesALongPathByItsLastTwoParts) {
  const std::pair<std::string, std::string> cases[] = {
      {"/home/ana/quorin/library.sqlite", "/home/ana/quorin/library.sqlite"},
      {"/home/engineer/projects/endurance-2026/team-data/quorin/library.sqlite",
       "\xE2\x80\xA6/quorin/library.sqlite"},
      {"host=db.team.example port=5432 dbname=setups user=engineer sslmode=require",
       "host=db.team.example port=5432 dbname=setups user=engineer sslmode=require"},
      {"/a-single-very-long-folder-name-that-goes-on-and-on/library.sqlite",
       "/a-single-very-long-folder-name-that-goes-on-and-on/library.sqlite"},
  };
  for (const auto& [where, shown] : cases) EXPECT_EQ(shown_place(where), shown) << where;
}

TEST(LibraryScript, EveryVerbDoesWhatItsHelpSays) {
  if (!fs::is_regular_file(fs::path(QUORIN_SUPPLIED) / "quorin_bleed_2004_v1.mat"))
    GTEST_SKIP() << "the supplied data are not generated";
  test::TempDir start;
  fs::copy(QUORIN_SUPPLIED, start.path(), fs::copy_options::recursive);
  const fs::path in = start.path() / "in";
  fs::create_directories(in);
  std::ostringstream console;
  ScriptDriver driver(start.path(), console);
  struct Step {
    std::string line, want;  // want: the printed line starts with it
  };
  const std::string folder = start.path().string();
  const std::vector<Step> steps = {
      {"start " + folder, "{\"ok\": true}"},
      {"set CompressionValve Value 3", "{\"ok\": true}"},
      {R"(library save {"car":"Car A","corner":"LF","track":"Spa","date":"2026-05-01","session":"Q1","notes":"baseline"})",
       "{\"value\":1}"},
      {"set motionratio String \"1.2\"", "{\"ok\": true}"},
      {R"(library save {"car":"Car A","corner":"LF","track":"Spa","date":"2026-05-02","session":"R","notes":"softer"})",
       "{\"value\":2}"},
      {R"(library save {"car":"Car A","corner":"LF","track":"Spa","date":"2026-05-02","session":"R","notes":"softer"})",
       "{\"value\":2}"},  // the same again is not kept twice
      {R"(library save {"car":"","corner":"LF","track":"Spa","date":"2026-05-02"})",
       "{\"error\":\"A set-up needs the name of its car.\"}"},
      {"set CompressionValve Value 1", "{\"ok\": true}"},
      {"library open 1", "{\"ok\": true}"},
      {"get CompressionValve Value", "{\"value\":3}"},
      {"get motionratio String", "{\"value\":\""},
      {"library plot 2", "{\"ok\": true}"},
      {"global counter", "{\"value\":2}"},
      {"menu 1 Undo", "{\"ok\": true}"},
      {"global counter", "{\"value\":1}"},
      {"library open 99", "{\"error\":\"The library has no set-up 99.\"}"},
      {R"(library find {"track":"spa","notes":"SOFT"})",
       "{\"value\":[{\"No.\":2,\"Car\":\"Car A\""},
      {R"(library find {"from":"2026-06-01"})", "{\"value\":[]}"},
      {R"(library compare {"ids":[2],"reference":"previous"})",
       "{\"value\":[{\"field\":\"No.\",\"values\":[\"1\",\"2\"],\"differs\":[false,false]}"},
      {R"(library export {"ids":[1,2],"as":"csv","to":")" + folder + "/out.csv\"}",
       "{\"ok\": true}"},
      {R"(library export {"ids":[1],"as":"damper","to":")" + in.string() + "\"}", "{\"ok\": true}"},
      {R"(library export {"ids":[1,2],"as":"library","to":")" + folder + "/handed.sqlite\"}",
       "{\"ok\": true}"},
      {R"(library export {"ids":[1],"as":"library","to":")" + folder + "/library.sqlite\"}",
       "{\"error\":\"A library file cannot be written over the library in use."},
      {R"(library import {"folder":")" + in.string() +
           R"(","car":"Car B","corner":"RR","track":"Imola","date":"2026-07-01"})",
       "{\"ok\": true}"},
      {"library merge " + folder + "/handed.sqlite", "{\"value\":{\"added\":0,\"already\":2}}"},
      {"library server host=/nowhere dbname=x user=y password=p",
       "{\"error\":\"The library server's connection names a password"},
      {"library server file", "{\"value\":\"" + folder + "/library.sqlite\"}"},
      {"window 1", "{\"ok\": true}"},
      {"set CompressionValve Value 99", "{\"ok\": true}"},
      {R"(library save {"car":"Car C","corner":"LF","track":"Spa","date":"2026-05-02"})",
       "{\"error\":\"The popup \\\"CompressionValve\\\" has no row 99."},
  };
  for (const Step& s : steps) {
    std::optional<std::string> out;
    try {
      out = driver.run_line(s.line);
    } catch (const std::exception& e) {
      ADD_FAILURE() << s.line << ": " << e.what();
      continue;
    }
    ASSERT_TRUE(out) << s.line;
    EXPECT_EQ(out->substr(0, s.want.size()), s.want) << s.line << "\n" << *out;
  }
  // What the verbs left on the disk.
  library::SqliteBackend lib(start.path() / "library.sqlite", true);
  const auto all = lib.all();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[2].car, "Car B");
  EXPECT_EQ(all[2].track, "Imola");
  EXPECT_EQ(all[2].rows, all[0].rows);
  EXPECT_EQ(all[1].motion_ratio, "1.2");
  EXPECT_TRUE(fs::is_regular_file(start.path() / "out.csv"));
}

}  // namespace
}  // namespace quorin
