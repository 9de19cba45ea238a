// Variable files and the value encoding shared with the script driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "services/runtime_error.h"
#include "services/small_disk.h"
#include "services/temp_dir.h"
#include "services/varfile.h"

namespace quorin {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Value equality that treats NaN as equal to NaN and tells -0 from 0.
bool same(const Value& a, const Value& b) {
  if (a.kind() != b.kind() || a.dims() != b.dims()) return false;
  switch (a.kind()) {
    case Value::Kind::Numeric:
      return a.numbers().size() == b.numbers().size() &&
             (a.numbers().empty() ||
              std::memcmp(a.numbers().data(), b.numbers().data(), a.numbers().size() * sizeof(double)) == 0);
    case Value::Kind::Text: return a.str() == b.str();
    case Value::Kind::Records:
      if (a.field_names() != b.field_names()) return false;
      for (std::size_t i = 1; i <= a.numel(); ++i)
        for (const auto& f : a.field_names())
          if (!same(a.field_of(i, f), b.field_of(i, f))) return false;
      return true;
    case Value::Kind::Cell:
      for (std::size_t i = 0; i < a.cells().size(); ++i)
        if (!same(a.cells()[i], b.cells()[i])) return false;
      return true;
  }
  return false;
}

Value record_zam() {
  Value r = Value::record();
  r.set_field("zeta", Value::number(1));
  r.set_field("alpha", Value::text("front left"));
  r.set_field("mid", Value::row({1, 2, 3}));
  return r;
}

struct Form {
  const char* name;
  Value value;
  const char* encoded;  // the compact text, or nullptr when not pinned down
};

std::vector<Form> forms() {
  Value curve = Value::record();
  curve.set_field("data", Value::row({0.01, 0.02, 0.5}));
  std::vector<std::vector<Value>> elems = {{Value::row({1, 2}), Value::text("a")},
                                           {Value::number(kNaN), Value()},
                                           {Value::column({1, 2}), Value::text("")}};
  Value table = Value::cell(2, 2);
  table.cell_ref(1) = record_zam();
  table.cell_ref(2) = Value::cell({1, 2}, {Value::number(1), Value::cell(1, 1)});
  table.cell_ref(3) = Value::records({1, 3}, {"a", "b"}, elems);
  table.cell_ref(4) = Value::text("x");
  return {
      {"empty", Value(), "[]"},
      {"whole number", Value::number(10), "10"},
      {"negative whole", Value::number(-500), "-500"},
      {"fraction", Value::number(0.1 + 0.2), "0.30000000000000004"},
      {"tiny", Value::number(1e-300), nullptr},
      {"subnormal", Value::number(5e-324), nullptr},
      {"largest", Value::number(1.7976931348623157e308), nullptr},
      {"whole beyond 2^63", Value::number(3e19), nullptr},
      {"2^62", Value::number(4611686018427387904.0), "4611686018427387904"},
      {"minus zero", Value::number(-0.0), nullptr},
      {"NaN", Value::number(kNaN), R"({"$double":"NaN"})"},
      {"Inf", Value::number(kInf), R"({"$double":"Inf"})"},
      {"-Inf", Value::number(-kInf), R"({"$double":"-Inf"})"},
      {"row", Value::row({1, 2.5, 3}), "[1,2.5,3]"},
      {"row with NaN and Inf", Value::row({1, kNaN, -kInf}), R"([1,{"$double":"NaN"},{"$double":"-Inf"}])"},
      {"column", Value::column({1, 2, 3}), "[[1],[2],[3]]"},
      {"matrix", Value::numeric({2, 3}, {1, 4, 2, 5, 3, 6}), "[[1,2,3],[4,5,6]]"},
      {"three dimensions", Value::numeric({2, 1, 2}, {1, 2, 3, kNaN}),
       R"({"$size":[2,1,2],"$double":[1,2,3,{"$double":"NaN"}]})"},
      {"empty 0x3", Value::numeric({0, 3}, {}), R"({"$size":[0,3],"$double":[]})"},
      {"text", Value::text("Mivra \"S\" 40\\50"), R"("Mivra \"S\" 40\\50")"},
      {"empty text", Value::text(""), R"("")"},
      {"record keeps field order", record_zam(), R"({"zeta":1,"alpha":"front left","mid":[1,2,3]})"},
      {"record without fields", Value::record(), "{}"},
      {"record array", Value::records({1, 3}, {"a", "b"}, elems), nullptr},
      {"record array as column", Value::records({3, 1}, {"a", "b"}, elems), nullptr},
      {"no records", Value::records({0, 0}, {"data", "name"}, {}), R"({"$records":[],"$size":[0,0],"$fields":["data","name"]})"},
      {"one curve record", curve, R"({"data":[0.01,0.02,0.5]})"},
      {"cell table", table, nullptr},
      {"empty cell", Value::cell(0, 0), R"({"$cell":[]})"},
      {"cell 0x2", Value::cell({0, 2}, {}), R"({"$cell":[],"$size":[0,2]})"},
      {"cell row of texts", Value::text_list({"a", "b"}), R"({"$cell":[["a","b"]]})"},
      {"cell column", Value::cell({2, 1}, {Value::number(1), Value::text("b")}), R"({"$cell":[[1],["b"]]})"},
      {"cell in three dimensions", Value::cell({1, 1, 2}, {Value::number(1), Value()}), R"({"$cell":[1,[]],"$size":[1,1,2]})"},
  };
}

TEST(ValueEncoding, EveryFormRoundTrips) {
  for (const auto& f : forms()) {
    SCOPED_TRACE(f.name);
    const std::string text = dump_value(f.value);
    if (f.encoded) {
      EXPECT_EQ(text, f.encoded);
    }
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_TRUE(same(parse_value(text), f.value)) << text;
    EXPECT_TRUE(same(from_json(to_json(f.value)), f.value)) << text;
  }
}

TEST(ValueEncoding, ReadsHandWrittenForms) {
  struct Case {
    const char* text;
    Value value;
  };
  const std::vector<Case> cases = {
      {"[5]", Value::number(5)},
      {"5.0", Value::number(5)},
      {" [ [1 , 2] ,[3,4] ] ", Value::numeric({2, 2}, {1, 3, 2, 4})},
      {R"({"$records":[{"a":1,"b":2},{"b":4,"a":3}]})",
       Value::records({1, 2}, {"a", "b"}, {{Value::number(1), Value::number(2)}, {Value::number(3), Value::number(4)}})},
      {R"({"$double":"Inf"})", Value::number(kInf)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      EXPECT_TRUE(same(parse_value(c.text), c.value));
    } catch (const RuntimeError& e) {
      ADD_FAILURE() << e.what();
    }
  }
}

TEST(ValueEncoding, RefusesMalformedValues) {
  for (const char* text : {"", "[1,", "true", "null", "[1,[2]]", "[[1,2],[3]]", "[\"a\"]",
                           R"({"$double":"nan"})", R"({"$bogus":1})", R"({"a":1,"$cell":[]})",
                           R"({"$double":[1,2],"$size":[3,1]})", R"({"$double":[1],"$size":[1]})",
                           R"({"$records":[{"a":1},{"b":2}]})", R"({"$records":[{"a":1}],"$size":[2,1]})",
                           R"({"$records":[{"a":1,"c":3}],"$fields":["a"]})", R"({"a":1,"a":2})",
                           R"({"$cell":[[1],[2,3]]})", R"({"$cell":[1,2]})", R"({"$double":"NaN","$cell":[]})",
                           "1e400" /* infinity is written {"$double":"Inf"} */}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(parse_value(text), RuntimeError);
  }
  EXPECT_THROW(from_json(nlohmann::ordered_json::parse(R"({"x":[1,true]})")), RuntimeError);
}

TEST(ValueEncoding, RefusesFieldNamesThatLookLikeKeys) {
  Value r = Value::record();
  r.set_field("$size", Value::number(1));
  EXPECT_THROW(dump_value(r), RuntimeError);
}

// An empty array may be larger than any file gives back; saving it would leave a file that
// the next load refuses, so the save refuses it instead and the previous file stays.
TEST(Varfile, EmptyArraysTooLargeToReadBackAreNotSaved) {
  test::TempDir dir;
  save_variables(dir / "big", {{"a", Value::number(1)}});
  const std::string before = test::TempDir::read(dir / "big.mat");
  const Value too_large[] = {Value::numeric({0, 2'000'000'000'000'000}, {}),
                             Value::cell({3, 0, std::size_t{1} << 60}, {}),
                             Value::records({0, 1'000'000'000'000'001}, {"data"}, {})};
  for (const Value& v : too_large) {
    EXPECT_THROW(dump_value(v), RuntimeError) << describe(v);
    EXPECT_THROW(save_variables(dir / "big", {{"a", v}}), RuntimeError) << describe(v);
    EXPECT_EQ(test::TempDir::read(dir / "big.mat"), before);
  }
  // The largest size a file gives back is saved and read back.
  const Value largest = Value::numeric({0, 1'000'000'000'000'000}, {});
  save_variables(dir / "big", {{"a", largest}});
  EXPECT_EQ(load_all_variables(dir / "big")[0].second, largest);
  EXPECT_EQ(parse_value(dump_value(largest)), largest);
}

TEST(VarfilePath, BareNamesGainMat) {
  EXPECT_EQ(varfile_path("quorin_matrix_2007_v1"), "quorin_matrix_2007_v1.mat");
  EXPECT_EQ(varfile_path("/d/setup.mat"), "/d/setup.mat");
  EXPECT_EQ(varfile_path("dir.v2/plotfigure"), "dir.v2/plotfigure.mat");
}

TEST(Varfile, SavesAndLoadsEveryFormInOrder) {
  test::TempDir dir;
  NamedValues vars;
  for (const auto& f : forms()) vars.emplace_back(std::string("v_") + std::to_string(vars.size()), f.value);
  vars.emplace_back("zz_first_by_name_last_by_order", Value::number(1));
  vars.emplace_back("aa", Value::number(2));
  save_variables(dir / "all", vars);
  ASSERT_TRUE(std::filesystem::exists(dir / "all.mat"));

  const auto text = test::TempDir::read(dir / "all.mat");
  const auto doc = nlohmann::ordered_json::parse(text);
  EXPECT_EQ(doc["format"], "quorin-variables");
  EXPECT_EQ(doc["version"], 1);

  const auto back = load_all_variables(dir / "all");
  ASSERT_EQ(back.size(), vars.size());
  for (std::size_t i = 0; i < vars.size(); ++i) {
    SCOPED_TRACE(vars[i].first);
    EXPECT_EQ(back[i].first, vars[i].first);
    EXPECT_TRUE(same(back[i].second, vars[i].second));
  }
}

TEST(Varfile, LoadsOnlyTheWantedNamesTheFileHolds) {
  test::TempDir dir;
  save_variables(dir / "setup.mat", {{"CompressionValve", Value::number(2)},
                                     {"junk", Value::text("not wanted")},
                                     {"motionratio", Value::number(0.6)}});
  const auto got = load_variables(dir / "setup.mat", {"motionratio", "CompressionValve", "absent"});
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].first, "CompressionValve");  // the file's order
  EXPECT_EQ(got[0].second, Value::number(2));
  EXPECT_EQ(got[1].first, "motionratio");
  EXPECT_EQ(got[1].second, Value::number(0.6));
  EXPECT_TRUE(load_variables(dir / "setup.mat", {}).empty());
}

TEST(Varfile, ABadVariableThatIsNotWantedIsNotRead) {
  test::TempDir dir;
  dir.write("x.mat", R"({"format":"quorin-variables","version":1,"variables":{"bad":{"$bogus":1},"good":3}})");
  const auto got = load_variables(dir / "x.mat", {"good"});
  ASSERT_EQ(got.size(), 1u);
  EXPECT_THROW(load_variables(dir / "x.mat", {"bad"}), RuntimeError);
}

TEST(Varfile, MalformedFilesNameTheFileAndTheFault) {
  test::TempDir dir;
  const std::string good =
      R"({"format":"quorin-variables","version":1,"variables":{"compvel":{"$cell":[[{"data":[1,2,3]}]]}}})";
  struct Case {
    const char* name;
    std::string text;
    const char* fault;
  };
  const std::vector<Case> cases = {
      {"truncated", good.substr(0, good.size() / 2), "JSON"},
      {"empty file", "", "JSON"},
      {"not JSON", "binary variables 5.0", "JSON"},
      {"not an object", "[1,2]", "not a variable file"},
      {"other format", R"({"format":"other","version":1,"variables":{}})", "not a variable file"},
      {"newer version", R"({"format":"quorin-variables","version":2,"variables":{}})", "version 2"},
      {"no variables", R"({"format":"quorin-variables","version":1})", "variables"},
      {"bad value", R"({"format":"quorin-variables","version":1,"variables":{"compvel":{"$cell":[[{"data":[1,"x"]}]]}}})",
       "compvel(1)(1).data(2)"},
      {"repeated variable", R"({"format":"quorin-variables","version":1,"variables":{"a":1,"a":2}})", "twice"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto file = dir.write("broken.mat", c.text);
    try {
      load_all_variables(file);
      ADD_FAILURE() << "no error";
    } catch (const RuntimeError& e) {
      const std::string msg = e.what();
      EXPECT_NE(msg.find("broken.mat"), std::string::npos) << msg;
      EXPECT_NE(msg.find(c.fault), std::string::npos) << msg;
    }
  }
  try {
    load_variables(dir / "missing", {"a"});
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.mat"), std::string::npos) << e.what();
  }
}

// No temporary file may be left beside the target, whatever happened.
void expect_only(const std::filesystem::path& dir, std::vector<std::string> names) {
  std::vector<std::string> have;
  for (const auto& e : std::filesystem::directory_iterator(dir)) have.push_back(e.path().filename().string());
  std::sort(have.begin(), have.end());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(have, names);
}

TEST(Varfile, FailedSaveLeavesThePreviousFile) {
  test::TempDir dir;
  save_variables(dir / "damper", {{"LSC", Value::number(5)}});
  const std::string before = test::TempDir::read(dir / "damper.mat");
  expect_only(dir.path(), {"damper.mat"});

  Value bad = Value::record();
  bad.set_field("$size", Value::number(1));
  EXPECT_THROW(save_variables(dir / "damper", {{"LSC", Value::number(7)}, {"bad", bad}}), RuntimeError);
  EXPECT_THROW(save_variables(dir / "damper", {{"LSC", Value::number(7)}, {"LSC", Value::number(8)}}), RuntimeError);
  EXPECT_EQ(test::TempDir::read(dir / "damper.mat"), before);
  expect_only(dir.path(), {"damper.mat"});

  // The rename cannot replace a folder of that name: the folder and its content stay.
  std::filesystem::create_directory(dir / "taken.mat");
  dir.write("taken.mat/inside", "keep");
  EXPECT_THROW(save_variables(dir / "taken", {{"LSC", Value::number(7)}}), RuntimeError);
  EXPECT_EQ(test::TempDir::read(dir / "taken.mat/inside"), "keep");
  expect_only(dir.path(), {"damper.mat", "taken.mat"});

  try {
    save_variables(dir / "no_such_folder" / "x.mat", {{"a", Value::number(1)}});
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("x.mat"), std::string::npos) << e.what();
  }

  save_variables(dir / "damper", {{"LSC", Value::number(9)}});
  EXPECT_EQ(load_all_variables(dir / "damper")[0].second, Value::number(9));
  expect_only(dir.path(), {"damper.mat", "taken.mat"});
}

// A damper file saved on a full disk leaves the one it would replace exactly as it was, nothing
// beside it, and the message says why.
TEST(VarFile, ASaveOnAFullDiskLeavesTheOldFileAsItWas) {
  test::SmallDisk disk(16 * 1024);
  save_variables(disk / "setup.mat", {{"CompressionValve", Value::number(2)}});
  const std::string before = test::TempDir::read(disk / "setup.mat");
  std::string error;
  {
    const auto full = disk.full();
    try {
      save_variables(disk / "setup.mat",
                     {{"CompressionValve", Value::column(std::vector<double>(8000, 1.5))}});
    } catch (const RuntimeError& e) {
      error = e.what();
    }
  }
  EXPECT_NE(error.find(disk.is_tmpfs() ? "No space left on device" : "File too large"),
            std::string::npos)
      << error;
  EXPECT_EQ(test::TempDir::read(disk / "setup.mat"), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.folder()),
                          std::filesystem::directory_iterator()),
            1);
}

}  // namespace
}  // namespace quorin
