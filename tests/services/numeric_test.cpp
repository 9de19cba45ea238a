// Ranges, minimum with position, and number/text conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(Range, CountsAndValues) {
  struct Case {
    double a, d, b;
    std::size_t count;
  };
  const double vmax = 2.54, n = 2000;
  const std::vector<Case> cases = {
      {0, 0.1, 1, 11},          {0, 1, 99, 100},    {0.1, 0.1, 0.3, 3},  {0, 0.01, 1, 101},
      {1, 1, 1, 1},             {1, 1, 0, 0},       {0, -1, -5, 6},      {5, -1, 1, 5},
      {0, 0, 1, 0},             {0, 1, 0.5, 1},     {0, vmax / n, vmax, 2001},
      {0, 3.3 / 1399, 3.3, 1400}, {1000, 0.1, 1001, 11}, {0, 1, kNaN, 0},
      {-1, 0.25, 1, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.a) + ":" + std::to_string(c.d) + ":" + std::to_string(c.b));
    const auto r = range(c.a, c.d, c.b);
    ASSERT_EQ(r.size(), c.count);
    for (std::size_t k = 0; k < r.size(); ++k) EXPECT_EQ(r[k], c.a + static_cast<double>(k) * c.d);
  }
  EXPECT_THROW(range(0, 1e-300, 1), RuntimeError);
  EXPECT_THROW(range(0, 1, kInf), RuntimeError);
}

TEST(MinWithPosition, FirstSmallestAndNaN) {
  struct Case {
    std::vector<double> v;
    double value;
    std::size_t position;
  };
  const std::vector<Case> cases = {
      {{3}, 3, 1},
      {{4, 2, 9, 2, 5}, 2, 2},
      {{kNaN, 7, 1, kNaN}, 1, 3},
      {{5, -kInf, 0}, -kInf, 2},
  };
  for (const auto& c : cases) {
    const auto r = min_with_position(c.v);
    EXPECT_EQ(r.value, c.value);
    EXPECT_EQ(r.position, c.position);
  }
  const auto all_nan = min_with_position(std::vector<double>{kNaN, kNaN});
  EXPECT_TRUE(std::isnan(all_nan.value));
  EXPECT_EQ(all_nan.position, 1u);
  EXPECT_THROW(min_with_position(std::vector<double>{}), RuntimeError);
}

TEST(Num2str, ShortestText) {
  struct Case {
    double v;
    const char* text;
  };
  const std::vector<Case> cases = {
      {10, "10"},
      {-500, "-500"},
      {0.254, "0.254"},
      {1000 / 25.4 * 0.25, "9.84251968503937"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1e-300, "1e-300"},
      {39.37007874015748, "39.37007874015748"},
      {4.45374, "4.45374"},
      {kNaN, "NaN"},
      {kInf, "Inf"},
      {-kInf, "-Inf"},
      {-0.0, "0"},
      {0, "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(num2str(c.v), c.text);
}

TEST(Num2str, RoundTripsThroughStr2double) {
  const std::vector<double> values = {0.1 + 0.2, 1e-300, 5e-324, 1.7976931348623157e308, 39.37007874015748,
                                      -123456.789, 1.0 / 3, 2.0 / 3 * 1e22, 123456789012345680.0};
  for (double v : values) {
    const auto back = str2double(num2str(v));
    ASSERT_TRUE(back.has_value()) << num2str(v);
    EXPECT_TRUE(same_bits(*back, v)) << num2str(v);
  }
}

TEST(Str2double, AcceptsOneNumberOnly) {
  struct Case {
    const char* text;
    std::optional<double> value;
  };
  const std::vector<Case> cases = {
      {" 12 ", 12},       {"\t-3.5\n", -3.5}, {"1e3", 1000},    {"+5", 5},         {"-.5", -0.5},
      {".5", 0.5},        {"5.", 5},          {"2.5E-2", 0.025}, {"1e+2", 100},    {"007", 7},
      {"inf", kInf},      {"-INF", -kInf},    {"Inf", kInf},    {"1e999", kInf},   {"-1e999", -kInf},
      {"1e-999", 0},      {"0e999", 0},       {"abc", {}},      {"", {}},          {"   ", {}},
      {"1+1", {}},        {"1 2", {}},        {"0x10", {}},     {"e5", {}},        {"1e", {}},
      {"1e+", {}},        {"--1", {}},        {".", {}},        {"+", {}},         {"pi", {}},
      {"12abc", {}},      {"1,5", {}},        {"[1]", {}},      {"nan(1)", {}},    {"1..2", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("'") + c.text + "'");
    const auto v = str2double(c.text);
    ASSERT_EQ(v.has_value(), c.value.has_value());
    if (v) {
      EXPECT_EQ(*v, *c.value);
    }
  }
  for (const char* s : {"NaN", "nan", " -NaN "}) {
    const auto v = str2double(s);
    ASSERT_TRUE(v.has_value()) << s;
    EXPECT_TRUE(std::isnan(*v));
  }
}

TEST(Str2matrix, RowsAndSeparators) {
  struct Case {
    const char* name;
    const char* text;
    std::size_t rows, cols;
    std::vector<double> data;
  };
  const std::vector<Case> cases = {
      {"blanks", "1 2 3", 1, 3, {1, 2, 3}},
      {"commas", "1,2,3", 1, 3, {1, 2, 3}},
      {"comma and blank", "1, 2 ,3", 1, 3, {1, 2, 3}},
      {"tabs", "1\t2\t3", 1, 3, {1, 2, 3}},
      {"semicolons", "1 2;3 4", 2, 2, {1, 2, 3, 4}},
      {"line breaks", "1 2\n3 4\n", 2, 2, {1, 2, 3, 4}},
      {"CRLF", "1 2\r\n3 4\r\n", 2, 2, {1, 2, 3, 4}},
      {"blank lines skipped", "\n1 2\n\n  \n3 4\n\n", 2, 2, {1, 2, 3, 4}},
      {"column", "1\n2\n3", 3, 1, {1, 2, 3}},
      {"scalar", " 42 ", 1, 1, {42}},
      {"empty", "", 0, 0, {}},
      {"only blanks", "  \n\t\r\n ", 0, 0, {}},
      {"exponents and signs", "-1e3 +.5\n2.5E-1 Inf", 2, 2, {-1000, 0.5, 0.25, kInf}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto m = str2matrix(c.text);
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->rows, c.rows);
    EXPECT_EQ(m->cols, c.cols);
    EXPECT_EQ(m->row_order(), c.data);
    EXPECT_EQ(m->columns.size(), c.data.empty() ? 0 : c.cols);
  }
  const auto m = str2matrix("1 2 3\n4 5 6");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->at(1, 0), 4);
  EXPECT_EQ(m->at(0, 2), 3);
}

TEST(Str2matrix, RefusesWhatIsNoMatrix) {
  for (const char* text : {"1 2\n3", "1 2;3 4 5", "1 two", "abc", "1,,2", ",1", "1,", "1 2 + 3", "[1 2]"})
    EXPECT_FALSE(str2matrix(text).has_value()) << text;
}

// Each number of a matrix text is exactly the number str2double reads from it, whether it is a
// plain decimal or one needing the careful path (long mantissas, huge or tiny exponents).
TEST(Str2matrix, NumbersAreExactlyThoseOfStr2double) {
  const std::vector<std::string> tokens = {
      "0", "-0", "007", "1.5", "-2.25e-3", ".5", "5.", "+.5e+2", "0.1", "0.3", "123456.789",
      "9007199254740992", "9007199254740993", "18014398509481985", "1234567890123456789012",
      "0.000000000000000000000000000123456789012345678901234567", "1e22", "1e23", "1e-22",
      "4.9406564584124654e-324", "2.2250738585072011e-308", "1.7976931348623157e308", "1e400",
      "-1e400", "1e-400", "0e999", "3.14159265358979323846264338327950288", "inf", "-Inf", "NaN"};
  for (const std::string& t : tokens) {
    SCOPED_TRACE(t);
    const auto m = str2matrix("7 " + t + "\n" + t + ",8");
    const auto v = str2double(t);
    ASSERT_TRUE(m.has_value());
    ASSERT_TRUE(v.has_value());
    ASSERT_EQ(m->row_order().size(), 4u);
    for (double d : {m->at(0, 1), m->at(1, 0)}) {
      if (std::isnan(*v)) {
        EXPECT_TRUE(std::isnan(d));
      } else {
        EXPECT_EQ(std::signbit(d), std::signbit(*v));
        EXPECT_EQ(d, *v);
      }
    }
  }
  for (const char* bad : {"1e", "1e+", "1.2.3", "--1", "1x", ".", "+", "e5", "1,2,", "0x10"})
    EXPECT_FALSE(str2matrix(bad).has_value()) << bad;
}

// A long text is read in stretches at once; however it is cut, the matrix (or the refusal) is
// the one a single reading gives, bit for bit, wherever blank lines, semicolon rows or a bad
// row fall.
TEST(Str2matrix, ReadInStretchesIsReadAsAWhole) {
  std::string rows;
  for (int i = 0; i < 40; ++i)
    rows += std::to_string(i) + ".25\t" + std::to_string(-3 * i) + "e-1, NaN\n";
  const std::vector<std::pair<const char*, std::string>> texts = {
      {"plain rows", rows},
      {"blank lines between", "\n\n" + rows + "\n \n\n" + rows + "\n\n\n"},
      {"semicolon rows", rows + "1 2 3;4 5 6;\n7 8 9\n" + rows},
      {"CRLF and no last line break", "1 2 3\r\n4 5 6\r\n" + rows + "7 8 9"},
      {"one row", "1 2 3"},
      {"a short row late", rows + rows + "1 2\n" + rows},
      {"a long row late", rows + rows + "1 2 3 4\n"},
      {"a word late", rows + rows + "1 x 3\n"},
      {"a comma before a line break late", rows + rows + "1 2 3,\n" + rows},
  };
  for (const auto& [name, text] : texts) {
    SCOPED_TRACE(name);
    const auto whole = str2matrix(text, 1);
    for (std::size_t parts : {0, 2, 3, 7, 64}) {
      SCOPED_TRACE(parts);
      const auto cut = str2matrix(text, parts);
      ASSERT_EQ(cut.has_value(), whole.has_value());
      if (!whole) continue;
      ASSERT_EQ(cut->rows, whole->rows);
      ASSERT_EQ(cut->cols, whole->cols);
      const std::vector<double> a = whole->row_order(), b = cut->row_order();
      for (std::size_t i = 0; i < a.size(); ++i) ASSERT_TRUE(same_bits(a[i], b[i])) << i;
    }
  }
}

// The room taken for a long text is bounded by what its length can hold: a row followed by a
// megabyte of blank lines does not take a column of a million rows each.
TEST(Str2matrix, BlankLinesTakeNoRoom) {
  const std::string text = "1 2 3\n" + std::string(std::size_t{1} << 20, '\n');
  const auto m = str2matrix(text);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->rows, 1u);
  for (const SharedArray& c : m->columns) EXPECT_LE(c.vec().capacity(), text.size() / 6 + 2);
}

}  // namespace
}  // namespace quorin
