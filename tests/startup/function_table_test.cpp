// The function table, its generic entry and control command texts, driven as the runtime
// drives them.
#include <gtest/gtest.h>

#include <sstream>

#include "services/runtime_error.h"
#include "startup/function_table.h"
#include "startup/global_table.h"
#include "startup/program.h"

namespace quorin {
namespace {

class FunctionTableTest : public ::testing::Test {
 protected:
  ScriptedDialogs dialogs;
  std::ostringstream console;
  Program program{std::filesystem::temp_directory_path(), dialogs, console};

  std::string error_of(std::string_view name, int nargout, std::vector<Value> in) {
    try {
      program.call(name, nargout, std::move(in));
    } catch (const RuntimeError& e) {
      return e.what();
    }
    return "";
  }
};

std::vector<Value> texts(int n) {
  std::vector<Value> v;
  for (int i = 0; i < n; ++i) v.push_back(Value::text("x"));
  return v;
}

TEST_F(FunctionTableTest, TwentyRowsInTheFixedOrder) {
  const char* names[] = {"quorin_interface_v41", "quorin_processor_ct", "imagesc", "imread",
                         "lht", "plotfigure", "rht", "title", "xlabel", "ylabel", "loadshock",
                         "bleed", "cla", "clearfunction", "correction", "curve",
                         "forcebalanceimperial", "forcebalancemetric", "plotfunction", "warningct"};
  ASSERT_EQ(function_table().size(), 20u);
  for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ(function_table()[i].name, names[i]) << i;
}

TEST_F(FunctionTableTest, CountMessagesAreExact) {
  struct Row {
    const char* name;
    int nargout;
    int inputs;
    const char* message;
  } rows[] = {
      {"bleed", 0, 4,
       "Run-time Error: File: bleed Line: 1 Column: 1 The function \"bleed\" was called with "
       "more than the declared number of inputs (3)."},
      {"quorin_processor_ct", 1, 1,
       "Run-time Error: File: quorin_processor_ct Line: 20 Column: 1 The function "
       "\"quorin_processor_ct\" was called with more than the declared number of outputs (0)."},
      {"quorin_processor_ct", 0, 2,
       "Run-time Error: File: quorin_processor_ct Line: 20 Column: 1 The function "
       "\"quorin_processor_ct\" was called with more than the declared number of inputs (1)."},
      {"plotfunction", 0, 7,
       "Run-time Error: File: plotfunction Line: 3 Column: 1 The function \"plotfunction\" was "
       "called with more than the declared number of inputs (6)."},
      {"imread", 4, 0,
       "Run-time Error: File: imread Line: 1 Column: 1 The function \"imread\" was called with "
       "more than the declared number of outputs (3)."},
      // outputs are checked before inputs
      {"curve", 4, 9,
       "Run-time Error: File: curve Line: 1 Column: 1 The function \"curve\" was called with "
       "more than the declared number of outputs (3)."},
  };
  for (const auto& r : rows) EXPECT_EQ(error_of(r.name, r.nargout, texts(r.inputs)), r.message) << r.name;
}

TEST_F(FunctionTableTest, SubfunctionMessagesTakeTheSlashForm) {
  const FunctionRow& loadshock = *find_function("loadshock");
  const FunctionRow& get_units = subfunction(loadshock, "GetUnits");
  try {
    call_generic(program, get_units, 0, texts(2), &loadshock);
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(),
                 "Run-time Error: File: loadshock/GetUnits Line: 331 Column: 1 The function "
                 "\"loadshock/GetUnits\" was called with more than the declared number of inputs (1).");
  }
  // sub-functions are not reachable by name from outside their module
  EXPECT_EQ(find_function("GetUnits"), nullptr);
  EXPECT_EQ(find_function("loadshock/GetUnits"), nullptr);
}

TEST_F(FunctionTableTest, AnyInputsPassTheCountStage) {
  // imread declares any inputs: ten inputs reach its body, which judges them itself
  std::string m = error_of("imread", 0, texts(10));
  EXPECT_EQ(m.find("was called with more than"), std::string::npos) << m;
}

TEST(CommandText, ParsesNameAndQuotedInputs) {
  struct Row {
    const char* text;
    const char* name;
    std::vector<std::string> inputs;
  } rows[] = {
      {"quorin_processor_ct('view')", "quorin_processor_ct", {"view"}},
      {"quorin_processor_ct('clear')                                           ",
       "quorin_processor_ct", {"clear"}},
      {"f('a', 'b''c')", "f", {"a", "b'c"}},
      {"close             ", "close", {}},
      {"domymenu update", "domymenu", {"update"}},
      {"g()", "g", {}},
  };
  for (const auto& r : rows) {
    Command c = parse_command(r.text);
    EXPECT_EQ(c.name, r.name) << r.text;
    EXPECT_EQ(c.inputs, r.inputs) << r.text;
  }
  for (const char* bad : {"", "('x')", "f('x'", "f(x)", "f('a' 'b')"})
    EXPECT_THROW(parse_command(bad), RuntimeError) << bad;
}

TEST_F(FunctionTableTest, CommandsWithTrailingBlanksBehaveAlike) {
  std::string plain, padded;
  program.report_error = [&](const std::string& m) { plain = m; };
  EXPECT_FALSE(program.run_command("nosuchfunction('x')"));
  program.report_error = [&](const std::string& m) { padded = m; };
  EXPECT_FALSE(program.run_command("nosuchfunction('x')      "));
  EXPECT_EQ(plain, padded);
  EXPECT_NE(plain.find("nosuchfunction"), std::string::npos);
  // plot-editing commands are accepted quietly
  EXPECT_TRUE(program.run_command("plotedit(gcbf,'promoteoverlay'); "));
  EXPECT_TRUE(program.run_command("dokeypress(gcbf)"));
}

TEST(GlobalTable, FortySevenNamesInByteOrder) {
  const auto& t = global_table();
  ASSERT_EQ(t.size(), 47u);
  for (std::size_t i = 1; i < t.size(); ++i) EXPECT_LT(t[i - 1].name, t[i].name) << t[i].name;
  EXPECT_EQ(t.front().name, "ID_lht");
  EXPECT_EQ(t.back().name, "ymin");
}

TEST(InitTermTable, RunsInOrderAndTerminatesInReverse) {
  const auto& t = init_term_table();
  ASSERT_EQ(t.size(), 22u);
  EXPECT_EQ(t[0].module, "arrays");
  EXPECT_EQ(t[1].module, "graphics");
  for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ(t[i + 2].module, function_table()[i].name);

  const std::size_t before = lifecycle_log().size();
  {
    ScriptedDialogs d;
    std::ostringstream out;
    Program p(std::filesystem::temp_directory_path(), d, out);
  }
  const auto& log = lifecycle_log();
  ASSERT_EQ(log.size(), before + 44);
  EXPECT_EQ(log[before], "init arrays");
  EXPECT_EQ(log[before + 21], "init warningct");
  EXPECT_EQ(log[before + 22], "term warningct");
  EXPECT_EQ(log[before + 43], "term arrays");
}

}  // namespace
}  // namespace quorin
