// The function-table bodies of loadshock, its local functions, bleed, curve and correction.
#include <gtest/gtest.h>

#include <numeric>
#include <sstream>

#include "services/runtime_error.h"
#include "startup/program.h"

namespace quorin {
namespace {

const std::string kFixtures = std::string(QUORIN_FIXTURES) + "/";

struct Fixture : ::testing::Test {
  ScriptedDialogs dialogs;
  std::ostringstream console;
  Program program{std::filesystem::current_path(), dialogs, console};

  std::vector<Value> call_sub(std::string_view name, int nargout, std::vector<Value> inputs) {
    const FunctionRow& module = *find_function("loadshock");
    return call_generic(program, subfunction(module, name), nargout, std::move(inputs), &module);
  }
  std::string error_of(const std::function<void()>& f) {
    try {
      f();
    } catch (const RuntimeError& e) {
      return e.what();
    }
    return "no error";
  }
};

using EntriesDyno = Fixture;
using EntriesResample = Fixture;

TEST_F(EntriesDyno, LoadshockReturnsTheRecordAndFolderAfterADialog) {
  dialogs.push({false, "dyno_175.pvp", kFixtures});
  const auto out = program.call("loadshock", 2, {Value::text("DIR/"), Value::text("")});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(dialogs.last_filter(), "DIR/*.pvp");
  EXPECT_EQ(out[0].field("Speed_1").field("Velocity").field("Data"), Value::column({-1.5, 2.25}));
  EXPECT_EQ(out[1], Value::text(kFixtures));
}

TEST_F(EntriesDyno, CancelledLoadshockGivesOneAndZero) {
  const auto out = program.call("loadshock", 2, {Value::number(0), Value::number(0)});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0], Value::number(1));
  EXPECT_EQ(out[1], Value::number(0));
  EXPECT_EQ(dialogs.last_filter(), "*.pvp");
  EXPECT_EQ(error_of([&] { program.call("loadshock", 2, {}); }), "Undefined function or variable 'pn'.");
}

TEST_F(EntriesDyno, LocalFunctionsKeepTheirCountsAndMessages) {
  EXPECT_EQ(error_of([&] { call_sub("GetUnits", 1, {Value::number(1), Value::number(2)}); }),
            "Run-time Error: File: loadshock/GetUnits Line: 331 Column: 1 The function "
            "\"loadshock/GetUnits\" was called with more than the declared number of inputs (1).");
  EXPECT_EQ(error_of([&] { call_sub("RemoveInvalid", 2, {Value::text("a")}); }),
            "Run-time Error: File: loadshock/RemoveInvalid Line: 310 Column: 1 The function "
            "\"loadshock/RemoveInvalid\" was called with more than the declared number of outputs (1).");
  EXPECT_EQ(call_sub("GetUnits", 1, {Value::number(13)})[0], Value::text("Celcius"));
  EXPECT_EQ(call_sub("GetUnits", 1, {Value::text("13")})[0], Value::text("unknown"));
  EXPECT_EQ(call_sub("RemoveInvalid", 1, {Value::text("Force (lbs)")})[0], Value::text("Forcelbs"));
}

TEST_F(EntriesDyno, ReadVariantReadsFromTheStartOfANamedFile) {
  const std::string file = kFixtures + "dyno_175.pvp";  // starts 02 00 00 00
  EXPECT_EQ(call_sub("ReadVariant", 1, {Value::text(file), Value::number(3)})[0], Value::number(2));
  EXPECT_EQ(error_of([&] { call_sub("ReadVariant", 1, {Value::text(file), Value::number(9)}); }),
            "Run-time Error: File: loadshock/ReadVariant Line: 251 Column: 1 One or more output "
            "arguments not assigned during call to \"loadshock/ReadVariant\" (VarValue).");
  EXPECT_EQ(console.str(), "unkown data type in file.  Data read from file is probably corrupt\n");
}

TEST_F(EntriesResample, BodiesCheckCountsAndConvertValues) {
  EXPECT_EQ(error_of([&] { program.call("bleed", 1, {Value(), Value(), Value(), Value()}); }),
            "Run-time Error: File: bleed Line: 1 Column: 1 The function \"bleed\" was called with "
            "more than the declared number of inputs (3).");
  EXPECT_EQ(error_of([&] { program.call("curve", 3, {Value::row({0, 1})}); }),
            "Undefined function or variable 'ymeasured'.");
  std::vector<double> grid(201);
  std::iota(grid.begin(), grid.end(), 0.0);
  const Value x = Value::row({0, 0.1, 0.25, 0.5}), y = Value::row({0, 60, 120, 200});
  const auto c = program.call("curve", 3, {x, y, Value::row(grid)});
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].dims(), (Value::Dims{1, 201}));
  EXPECT_EQ(c[2].dims(), (Value::Dims{1, 201}));
  EXPECT_EQ(c[2].at(201), 200 * (0.5 / 200));
  // One output asked: the second is released.
  const auto b = program.call("bleed", 1, {x, y, Value::column(grid)});
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].dims(), (Value::Dims{201, 1}));
  EXPECT_EQ(b[0].at(1), 0.0);
  const auto corrected = program.call("correction", 1, {b[0]});
  EXPECT_EQ(corrected[0].dims(), (Value::Dims{201, 1}));
  EXPECT_NE(error_of([&] { program.call("correction", 1, {Value::text("view")}); }).find("correction: var must be numbers"),
            std::string::npos);
}

}  // namespace
}  // namespace quorin
