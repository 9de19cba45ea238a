// The function-table bodies of title, xlabel, ylabel, cla, imread and imagesc.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "services/runtime_error.h"
#include "startup/program.h"

namespace quorin {
namespace {

struct EntriesAnnotation : ::testing::Test {
  ScriptedDialogs dialogs;
  std::ostringstream console;
  Program program{std::filesystem::temp_directory_path(), dialogs, console};

  std::string error_of(const std::function<void()>& f) {
    try {
      f();
    } catch (const RuntimeError& e) {
      return e.what();
    }
    return "no error";
  }
  std::vector<Value> standard(const char* text) {
    return {Value::text(text),   Value::text("FontName"),  Value::text("times"), Value::text("FontSize"),
            Value::number(10),   Value::text("FontAngle"), Value::text("italic")};
  }
};

TEST_F(EntriesAnnotation, TitleAndLabelsReturnTheirTextHandles) {
  gfx::Axes& axes = program.gfx.current_axes();
  auto out = program.call("title", 1, standard("Damper Curve Comparison"));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], Value::number(axes.title.value));
  const auto& t = program.gfx.get<gfx::Text>(axes.title);
  EXPECT_EQ(t.string, "Damper Curve Comparison");
  EXPECT_EQ(t.font_angle, "italic");
  EXPECT_EQ(program.call("xlabel", 0, standard("Velocity (m/s)"))[0], Value::number(axes.xlabel.value));
  EXPECT_EQ(program.call("ylabel", 0, standard("Force (N)"))[0], Value::number(axes.ylabel.value));
  EXPECT_EQ(program.gfx.get<gfx::Text>(axes.ylabel).string, "Force (N)");
}

TEST_F(EntriesAnnotation, OddPairsChangeNothing) {
  gfx::Axes& axes = program.gfx.current_axes();
  const auto revision = program.gfx.revision();
  EXPECT_EQ(error_of([&] {
              program.call("title", 0, {Value::text("New"), Value::text("FontName")});
            }),
            "Incorrect number of input arguments");
  EXPECT_EQ(program.gfx.get<gfx::Text>(axes.title).string, "");
  EXPECT_EQ(program.gfx.revision(), revision);
}

TEST_F(EntriesAnnotation, ClaReturnsTheClearedAxes) {
  gfx::Axes& axes = program.gfx.current_axes();
  program.gfx.plot(axes, std::vector<double>{1, 2}, std::vector<double>{3, 4}, "b");
  EXPECT_EQ(program.call("cla", 1, {})[0], Value::number(axes.handle().value));
  EXPECT_TRUE(program.gfx.children_of<gfx::Line>(axes).empty());
}

TEST_F(EntriesAnnotation, ImreadWithoutArgumentsAsksForOne) {
  EXPECT_EQ(error_of([&] { program.call("imread", 1, {}); }), "Too few input arguments.");
}

TEST_F(EntriesAnnotation, ImreadThenImagescShowsTheLogo) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("quorin_entries_annotation_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  program.current_folder = dir;
  // A 3 by 2 bitmap of 8-bit palette indices, rows bottom-up, each padded to 4 bytes.
  std::vector<std::uint8_t> bmp{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
  auto put = [&bmp](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) bmp.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  put(14 + 40 + 256 * 4, 4);
  put(40, 4), put(3, 4), put(2, 4), put(1, 2), put(8, 2);
  for (int i = 0; i < 6; ++i) put(0, 4);
  for (int i = 0; i < 256; ++i) put(static_cast<std::uint32_t>(i * 0x010101), 4);
  for (std::uint8_t v : {4, 5, 6, 0, 1, 2, 3, 0}) bmp.push_back(v);
  std::ofstream(dir / "logo_plot.bmp", std::ios::binary)
      .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));

  const auto read = program.call("imread", 2, {Value::text("logo_plot.bmp")});
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0], Value::numeric({2, 3}, {1, 4, 2, 5, 3, 6}));
  EXPECT_EQ(read[1].dims(), (Value::Dims{256, 3}));
  const auto shown = program.call("imagesc", 0, {read[0]});
  const auto& image = program.gfx.get<gfx::Image>(gfx::Handle{shown[0].scalar()});
  EXPECT_EQ(image.width, 3u);
  EXPECT_EQ(program.gfx.current_axes().ylim, (std::array<double, 2>{0.5, 2.5}));

  EXPECT_EQ(error_of([&] { program.call("imread", 1, {Value::text("logo_small.bmp")}); }),
            "File \"logo_small.bmp\" does not exist.");
  std::filesystem::remove_all(dir);
}

TEST_F(EntriesAnnotation, ImreadParseInputsSplitsNameFormatAndRest) {
  const FunctionRow& module = *find_function("imread");
  const auto out = call_generic(program, subfunction(module, "parse_inputs"), 4,
                                {Value::text("a.bmp"), Value::text("bmp"), Value::number(1)}, &module);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0], Value::text("a.bmp"));
  EXPECT_EQ(out[1], Value::text("bmp"));
  EXPECT_EQ(out[2].numel(), 1u);
}

}  // namespace
}  // namespace quorin
