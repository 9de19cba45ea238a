#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "annotation/bmp_writer.h"
#include "annotation/cla.h"
#include "annotation/imagesc.h"
#include "annotation/imread.h"
#include "annotation/title.h"
#include "services/gfx/properties.h"
#include "services/runtime_error.h"

namespace quorin::annotation {
namespace {

namespace fs = std::filesystem;

const PropertyPairs kStandardPairs{{"FontName", Value::text("times")},
                                   {"FontSize", Value::number(10)},
                                   {"FontAngle", Value::text("italic")}};

std::string error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(Labels, TitleTakesTheStandardPairsOverTheAxesFont) {
  gfx::Model m;
  gfx::Axes& axes = m.current_axes();
  axes.font_name = "times";
  axes.font_size = 8;
  axes.font_angle = "normal";
  axes.font_weight = "bold";
  m.get<gfx::Text>(axes.title).rotation = 30;

  const gfx::Handle h = title(m, "Damper Curve Comparison", kStandardPairs);
  EXPECT_EQ(h, axes.title);
  const gfx::Text& t = m.get<gfx::Text>(h);
  EXPECT_EQ(t.string, "Damper Curve Comparison");
  EXPECT_EQ(t.font_name, "times");
  EXPECT_EQ(t.font_size, 10);
  EXPECT_EQ(t.font_angle, "italic");
  EXPECT_EQ(t.font_weight, "bold");  // copied from the axes
  EXPECT_EQ(t.rotation, 0);
}

TEST(Labels, LabelsGoToTheirOwnTextsAndKeepRotation) {
  gfx::Model m;
  gfx::Axes& axes = m.current_axes();
  EXPECT_EQ(xlabel(m, "Velocity (m/s)", kStandardPairs), axes.xlabel);
  EXPECT_EQ(ylabel(m, "Force (N)", kStandardPairs), axes.ylabel);
  const std::size_t children = axes.children().size();
  EXPECT_EQ(ylabel(m, "Force (lbs)", kStandardPairs), axes.ylabel);  // replaced, not added
  EXPECT_EQ(axes.children().size(), children);
  EXPECT_EQ(m.get<gfx::Text>(axes.ylabel).string, "Force (lbs)");
  EXPECT_EQ(m.get<gfx::Text>(axes.ylabel).rotation, 90);
  EXPECT_EQ(m.get<gfx::Text>(axes.xlabel).string, "Velocity (m/s)");
  EXPECT_EQ(m.get<gfx::Text>(axes.title).string, "");
  // Still hidden from searches.
  m.get<gfx::Text>(axes.ylabel).tag = "lab";
  EXPECT_EQ(m.find_by_tag("lab"), nullptr);
}

TEST(Labels, WorkOnTheCurrentAxesOfTheCurrentWindow) {
  gfx::Model m;
  gfx::Axes& first = m.new_axes(m.figure(1));
  gfx::Axes& second = m.new_axes(m.figure(2));
  m.set_current_axes(first.handle());
  title(m, "Left Hand Turn", {});
  EXPECT_EQ(m.get<gfx::Text>(first.title).string, "Left Hand Turn");
  EXPECT_EQ(m.get<gfx::Text>(second.title).string, "");
}

TEST(Labels, OddPairsFailBeforeAnythingChanges) {
  const std::vector<Value> odd{Value::text("FontName"), Value::text("times"), Value::text("FontSize")};
  EXPECT_EQ(error_of([&] { property_pairs(odd); }), "Incorrect number of input arguments");
  EXPECT_EQ(property_pairs(std::span(odd).first(2)).size(), 1u);
  EXPECT_THROW(property_pairs(std::vector<Value>{Value::number(1), Value::number(2)}), RuntimeError);
}

TEST(Labels, BadPairFailsWithTheGraphicsError) {
  gfx::Model m;
  m.current_axes();
  EXPECT_EQ(error_of([&] { title(m, "x", {{"Colour", Value::text("red")}}); }),
            "There is no 'Colour' property of the text class.");
  EXPECT_THROW(title(m, "x", {{"FontSize", Value::text("big")}}), RuntimeError);
}

TEST(ClearAxes, KeepsLimitsGridAndLabels) {
  gfx::Model m;
  gfx::Axes& axes = m.current_axes();
  gfx::set_properties(m, axes, {{"XLim", Value::row({0, 10})},
                                {"YLim", Value::row({-500, 500})},
                                {"XGrid", Value::text("on")},
                                {"YGrid", Value::text("on")},
                                {"NextPlot", Value::text("add")}});
  title(m, "Damper Curve Comparison", kStandardPairs);
  xlabel(m, "Velocity (m/s)", kStandardPairs);
  ylabel(m, "Force (N)", kStandardPairs);
  const std::vector<double> x{0, 5, 10}, y{-500, 0, 500};
  for (const char* spec : {"b", "r--", "g"}) m.plot(axes, x, y, spec);
  m.new_text(axes, 1, 1, "curve 1");

  EXPECT_EQ(cla(m), axes.handle());
  EXPECT_EQ(axes.children().size(), 4u);
  EXPECT_TRUE(m.children_of<gfx::Line>(axes).empty());
  EXPECT_EQ(gfx::get_property(m, axes, "XLim"), Value::row({0, 10}));
  EXPECT_EQ(gfx::get_property(m, axes, "YLim"), Value::row({-500, 500}));
  EXPECT_EQ(gfx::get_property(m, axes, "XLimMode"), Value::text("manual"));
  EXPECT_EQ(gfx::get_property(m, axes, "XGrid"), Value::text("on"));
  EXPECT_EQ(gfx::get_property(m, axes, "YGrid"), Value::text("on"));
  EXPECT_EQ(m.get<gfx::Text>(axes.title).string, "Damper Curve Comparison");
  EXPECT_EQ(m.get<gfx::Text>(axes.xlabel).string, "Velocity (m/s)");
  EXPECT_EQ(m.get<gfx::Text>(axes.ylabel).string, "Force (N)");
}

// A folder of its own for each test, removed afterwards.
class ImageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quorin_annotation_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_ / "locked.bmp", fs::perms::owner_all, ec);
    fs::remove_all(dir_, ec);
  }
  void write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(dir_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void write(const std::string& name, const std::string& text) {
    write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
  }
  fs::path dir_;
};

std::vector<std::uint8_t> logo(int width, int height, unsigned bits = 8) {
  return testing::make_bmp({.bits = bits}, width, height, [bits](int r, int c) {
    return static_cast<std::uint32_t>(bits == 24 ? r * 0x10000 + c : (r + c) % 256);
  });
}

TEST_F(ImageFiles, ReadMessagesNameTheFileAsGiven) {
  write("notes.bmp", "just some text");
  write("empty.bmp", std::vector<std::uint8_t>{});
  write("photo.bmp", std::string("\x89PNG\r\n\x1a\n....", 12));
  write("scan.bmp", std::string("II*\0....", 8));
  write("picture.bmp", std::string("\xFF\xD8\xFF\xE0", 4));
  fs::create_directory(dir_ / "folder.bmp");
  struct Row {
    const char* name;
    std::string message;
  };
  const Row rows[] = {
      {"logo_plot.bmp", "File \"logo_plot.bmp\" does not exist."},
      {"sub/logo_plot.bmp", "File \"sub/logo_plot.bmp\" does not exist."},
      {"folder.bmp", "Can't open file \"folder.bmp\" for reading;\nyou may not have read permission."},
      {"notes.bmp", "Unable to determine the file format."},
      {"empty.bmp", "Unable to determine the file format."},
      {"photo.bmp", "No reading function for format png.  See \"help imformats\"."},
      {"scan.bmp", "No reading function for format tif.  See \"help imformats\"."},
      {"picture.bmp", "No reading function for format jpg.  See \"help imformats\"."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(error_of([&] { imread(row.name, dir_); }), row.message);
  }
}

TEST_F(ImageFiles, UnreadableFileGivesThePermissionMessage) {
  write("locked.bmp", logo(4, 4));
  fs::permissions(dir_ / "locked.bmp", fs::perms::none);
  if (std::ifstream(dir_ / "locked.bmp").is_open())
    GTEST_SKIP() << "this user can read any file";
  EXPECT_EQ(error_of([&] { imread("locked.bmp", dir_); }),
            "Can't open file \"locked.bmp\" for reading;\nyou may not have read permission.");
}

TEST_F(ImageFiles, ReadsRelativeAndAbsoluteNames) {
  write("logo_small.bmp", logo(115, 51));
  const Picture p = imread("logo_small.bmp", dir_);
  EXPECT_EQ(p.width, 115u);
  EXPECT_EQ(p.height, 51u);
  EXPECT_EQ(p.at(50, 114), (50 + 114) % 256);
  const Picture q = imread((dir_ / "logo_small.bmp").string(), "/nonexistent");
  EXPECT_EQ(q.data, p.data);
}

TEST_F(ImageFiles, DamagedBitmapReportsTheDecoderError) {
  auto bytes = logo(10, 10);
  bytes.resize(bytes.size() / 2);
  write("cut.bmp", bytes);
  EXPECT_NE(error_of([&] { imread("cut.bmp", dir_); }).find("holds only"), std::string::npos);
}

TEST(ShowPicture, FillsTheLogoAxesExactly) {
  gfx::Model m;
  gfx::Axes& axes = m.current_axes();
  const gfx::Handle old_line = m.plot(axes, std::vector<double>{1, 2}, std::vector<double>{1, 2}, "b").handle();
  const Picture p = decode_bmp(logo(167, 78));
  const gfx::Handle h = imagesc(m, p);

  const auto& image = m.get<gfx::Image>(h);
  EXPECT_EQ(image.parent(), axes.handle());
  EXPECT_TRUE(image.cdata_scaled);
  EXPECT_EQ(image.xdata, (std::array<double, 2>{1, 167}));
  EXPECT_EQ(image.ydata, (std::array<double, 2>{1, 78}));
  EXPECT_EQ(image.cdata, p.data);
  EXPECT_EQ(axes.xlim, (std::array<double, 2>{0.5, 167.5}));
  EXPECT_EQ(axes.ylim, (std::array<double, 2>{0.5, 78.5}));
  EXPECT_TRUE(axes.xlim_manual && axes.ylim_manual);
  EXPECT_TRUE(axes.ydir_reverse);  // first pixel row at the top
  EXPECT_FALSE(m.valid(old_line));  // previous content replaced
  EXPECT_TRUE(m.valid(axes.title));
  // The colour limits span the picture's values, so its smallest value takes the first
  // colour of the map and its largest the last.
  EXPECT_FALSE(axes.clim_manual);
  EXPECT_EQ(axes.clim, (std::array<double, 2>{0, 167 - 1 + 78 - 1}));
}

TEST(ShowPicture, HeldAxesKeepsItsContentAndLimits) {
  gfx::Model m;
  gfx::Axes& axes = m.current_axes();
  axes.hold = true;
  axes.xlim = {0, 10};
  axes.clim = {0, 4};
  const gfx::Handle line = m.plot(axes, std::vector<double>{1, 2}, std::vector<double>{1, 2}, "b").handle();
  imagesc(m, decode_bmp(logo(20, 10)));
  EXPECT_TRUE(m.valid(line));
  EXPECT_EQ(axes.xlim, (std::array<double, 2>{0, 10}));
  EXPECT_EQ(axes.clim, (std::array<double, 2>{0, 4}));
  EXPECT_FALSE(axes.ydir_reverse);
}

TEST(ShowPicture, TrueColourAndFlatPictures) {
  gfx::Model m;
  const Picture rgb = decode_bmp(logo(4, 3, 24));
  const auto& image = m.get<gfx::Image>(imagesc(m, rgb));
  EXPECT_EQ(image.channels, 3u);
  EXPECT_TRUE(image.true_colour_8bit);

  Picture flat;
  flat.height = flat.width = 2;
  flat.data = {7, 7, 7, 7};
  imagesc(m, flat);
  const auto& clim = m.current_axes().clim;
  EXPECT_LT(clim[0], 7);
  EXPECT_GT(clim[1], 7);

  imagesc(m, flat, std::array<double, 2>{0, 63});
  EXPECT_TRUE(m.current_axes().clim_manual);
  EXPECT_THROW(imagesc(m, flat, std::array<double, 2>{5, 5}), RuntimeError);
}

}  // namespace
}  // namespace quorin::annotation
