// The script driver: one JSON line per command, errors reported and the script going on,
// malformed lines ending the script with their number.
#include <gtest/gtest.h>

#include <sstream>

#include "startup/script_driver.h"

namespace quorin {
namespace {

struct ScriptRun {
  int status;
  std::string out, err;
};

ScriptRun run(const std::string& script) {
  std::ostringstream console;
  ScriptDriver driver(std::filesystem::temp_directory_path(), console);
  std::istringstream in(script);
  std::ostringstream out, err;
  int status = run_script(in, out, err, driver);
  return {status, out.str(), err.str()};
}

TEST(ScriptDriver, ReportsCountMessagesAndGoesOn) {
  ScriptRun r = run(
      "# a comment\n"
      "\n"
      "call bleed 0 [1,2,3,4]\n"
      "call quorin_processor_ct 1 [\"view\"]\n"
      "call plotfunction 0 [1,2,3,4,5,6,7]\n"
      "call imread 4 []\n"
      "global counter\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"error\":\"Run-time Error: File: bleed Line: 1 Column: 1 The function \\\"bleed\\\" "
            "was called with more than the declared number of inputs (3).\"}\n"
            "{\"error\":\"Run-time Error: File: quorin_processor_ct Line: 20 Column: 1 The function "
            "\\\"quorin_processor_ct\\\" was called with more than the declared number of outputs (0).\"}\n"
            "{\"error\":\"Run-time Error: File: plotfunction Line: 3 Column: 1 The function "
            "\\\"plotfunction\\\" was called with more than the declared number of inputs (6).\"}\n"
            "{\"error\":\"Run-time Error: File: imread Line: 1 Column: 1 The function \\\"imread\\\" "
            "was called with more than the declared number of outputs (3).\"}\n"
            "{\"value\":0}\n");
}

TEST(ScriptDriver, MalformedLineEndsTheScriptNamingItsNumber) {
  struct Row {
    const char* line;
  } rows[] = {{"frobnicate"}, {"call bleed x"}, {"call bleed 1 [1,"}, {"dialog maybe"},
              {"set Tag"}, {"snapshot x y.png"}};
  for (const auto& row : rows) {
    ScriptRun r = run(std::string("global counter\n") + row.line + "\nglobal counter\n");
    EXPECT_EQ(r.status, 2) << row.line;
    EXPECT_EQ(r.out, "{\"value\":0}\n") << row.line;
    EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
  }
}

TEST(ScriptDriver, DialogAnswersAndUnknownGlobals) {
  ScriptRun r = run("dialog cancel\ndialog open /tmp x.pvp\nglobal nosuch\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "{\"ok\": true}\n{\"ok\": true}\n"
            "{\"error\":\"There is no global named \\\"nosuch\\\".\"}\n");
}

}  // namespace
}  // namespace quorin
