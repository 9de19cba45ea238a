// Save picture from the comparison window's menu through the script driver: PNG at the
// chosen resolution, SVG and PDF with texts as text, and what is refused or cancelled.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "services/fifo_watch.h"
#include "services/qt/output.h"
#include "services/qt/toolkit.h"
#include "services/small_disk.h"
#include "services/temp_dir.h"
#include "app/script_driver.h"

namespace quorin::qtk {
namespace {

namespace fs = std::filesystem;

class SavePicture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_regular_file(fs::path(QUORIN_SUPPLIED) / "quorin_bleed_2004_v1.mat"))
      GTEST_SKIP() << "the supplied data are not generated";
    fs::copy(QUORIN_SUPPLIED, start.path() / "start", fs::copy_options::recursive);
    ScriptHooks hooks;
    hooks.save_picture = [](gfx::Model& m, const PictureRequest& r) { save_window_picture(m, r); };
    driver = std::make_unique<ScriptDriver>(start.path() / "start", console, hooks);
    run("start");
    for (int i = 0; i < 7; ++i) {
      run("set motionratio String \"" + std::to_string(1 + 0.05 * i) + "\"");
      run("press PLOT");
    }
  }
  std::string run(const std::string& line) {
    std::optional<std::string> out = driver->run_line(line);
    EXPECT_TRUE(out);
    return out.value_or("");
  }
  std::string save(const std::string& file) { return save_in(start.path(), file); }
  std::string save_in(const fs::path& folder, const std::string& file) {
    run("dialog save " + folder.string() + " " + file);
    return run("menu 2 Save picture...");
  }

  test::TempDir start;
  std::ostringstream console;
  std::unique_ptr<ScriptDriver> driver;
};

TEST_F(SavePicture, PngAtTheChosenResolution) {
  struct Row {
    const char* dpi;
    double scale;
  };
  for (const Row& r : {Row{"96", 1}, Row{"600", 6.25}}) {
    run(std::string("dialog input ") + r.dpi);
    ASSERT_EQ(save(std::string("seven-") + r.dpi + ".png"), R"({"ok": true})");
    const QImage im(
        QString::fromStdString((start.path() / (std::string("seven-") + r.dpi + ".png")).string()));
    ASSERT_FALSE(im.isNull()) << r.dpi;
    EXPECT_EQ(im.width(), static_cast<int>(1000 * r.scale)) << r.dpi;
    EXPECT_EQ(im.height(), static_cast<int>(600 * r.scale)) << r.dpi;
    EXPECT_NEAR(im.dotsPerMeterX() * 0.0254, std::stod(r.dpi), 0.5);
  }
  run("dialog input 72");
  EXPECT_EQ(save("seven-72.png"),
            R"({"error":"Pictures are saved at 96, 150, 300 or 600 dots per inch, not 72."})");
  run("dialog input cancel");
  EXPECT_EQ(save("cancelled.png"), R"({"ok": true})");
  EXPECT_FALSE(fs::exists(start.path() / "cancelled.png"));
}

TEST_F(SavePicture, SvgAndPdfKeepTheirTextsAsText) {
  ASSERT_EQ(save("seven.svg"), R"({"ok": true})");
  const std::string svg = test::TempDir::read(start.path() / "seven.svg");
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_EQ(svg.find("<image"), svg.rfind("<image")) << "only the logo is a bitmap";
  EXPECT_NE(svg.find(">Damper Curve Comparison<"), std::string::npos);
  for (int i = 1; i <= 7; ++i)
    EXPECT_NE(svg.find(">" + std::to_string(i) + "  Comp  CV-"), std::string::npos)
        << "legend line of curve " << i;

  ASSERT_EQ(save("seven.pdf"), R"({"ok": true})");
  const std::string pdf = test::TempDir::read(start.path() / "seven.pdf");
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_NE(pdf.find("/FontFile"), std::string::npos) << "texts in embedded fonts";
}

TEST_F(SavePicture, OtherKindsOfFileAndCancelWriteNothing) {
  EXPECT_EQ(save("seven.jpg"),
            R"({"error":"Pictures are saved as .png, .svg or .pdf files, not as \"seven.jpg\"."})");
  EXPECT_FALSE(fs::exists(start.path() / "seven.jpg"));
  run("dialog cancel");
  EXPECT_EQ(run("menu 2 Save picture"), R"({"ok": true})");
  EXPECT_EQ(driver->program().headless_pictures.requests.size(), 0u);
}

// A picture is written whole or not at all, in every format: a FIFO in its place is refused at
// once, and on a full disk the old file stays exactly as it was and the message says why.
TEST_F(SavePicture, APictureIsWrittenWholeOrNotAtAll) {
  for (const char* ext : {"svg", "pdf", "png"}) {
    SCOPED_TRACE(ext);
    const std::string name = std::string("seven.") + ext;
    const fs::path fifo = start.path() / ("pipe." + std::string(ext));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
      test::FifoWatch watch(fifo);
      run("dialog input 96");
      EXPECT_EQ(save(fifo.filename().string()),
                R"({"error":"The file \")" + fifo.string() +
                    R"(\" is not a regular file (a pipe (FIFO)); nothing was written."})");
      EXPECT_FALSE(watch.stepped_in()) << "the save waited on the FIFO";
    }
    EXPECT_TRUE(fs::is_fifo(fifo));

    test::SmallDisk disk(8 * 1024);
    const std::string old_picture = "an older picture\n";
    std::ofstream(disk / name, std::ios::binary) << old_picture;
    std::string answer;
    {
      const auto full = disk.full();
      run("dialog input 96");
      answer = save_in(disk.folder(), name);
    }
    EXPECT_NE(answer.find(disk.is_tmpfs() ? "No space left on device" : "File too large"),
              std::string::npos)
        << answer;
    EXPECT_NE(answer.find("no picture was written and the old file is unchanged"),
              std::string::npos)
        << answer;
    EXPECT_EQ(test::TempDir::read(disk / name), old_picture);
    EXPECT_EQ(std::distance(fs::directory_iterator(disk.folder()), fs::directory_iterator()), 1)
        << "nothing is left beside it";
  }
}

}  // namespace
}  // namespace quorin::qtk
