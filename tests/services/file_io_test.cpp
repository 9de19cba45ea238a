// Binary and text file access: little-endian precisions, short reads, positioning, update mode.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "services/file_io.h"
#include "services/file_size_limit.h"
#include "services/mapped_file.h"
#include "services/runtime_error.h"
#include "services/small_disk.h"
#include "services/temp_dir.h"

namespace quorin {
namespace {

std::string bytes(std::initializer_list<unsigned> b) {
  std::string s;
  for (unsigned v : b) s.push_back(static_cast<char>(v));
  return s;
}

TEST(File, ReadsEachPrecisionLittleEndian) {
  struct Case {
    const char* name;
    Precision p;
    std::string data;
    std::vector<double> values;
  };
  const std::vector<Case> cases = {
      {"int8", Precision::Int8, bytes({0x7F, 0x80, 0xFF, 0x00}), {127, -128, -1, 0}},
      {"int16", Precision::Int16, bytes({0x34, 0x12, 0xFE, 0xFF, 0x00, 0x80}), {0x1234, -2, -32768}},
      {"int32", Precision::Int32, bytes({0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF}), {0x12345678, -1}},
      {"uint32", Precision::UInt32, bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0}), {4294967295.0, 1}},
      {"uint64", Precision::UInt64, bytes({0x01, 0, 0, 0, 0, 0, 0, 0x01}), {72057594037927937.0}},
      {"float", Precision::Float32, bytes({0, 0, 0xC0, 0x3F, 0, 0, 0x20, 0xC1}), {1.5, -10}},
      {"double", Precision::Float64, bytes({0, 0, 0, 0, 0, 0, 0x02, 0xC0, 0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F}),
       {-2.25, 0.1}},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    File f(dir.write("values.bin", c.data), "r");
    EXPECT_EQ(f.read(100, c.p), c.values);
    EXPECT_EQ(byte_size(c.p) * c.values.size(), c.data.size());
  }
}

TEST(File, ShortReadAtTheEndReturnsWhatIsThere) {
  test::TempDir dir;
  File f(dir.write("ten.bin", bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0})), "rb");
  EXPECT_EQ(f.read(1, Precision::Int32), std::vector<double>{1});
  EXPECT_EQ(f.read(4, Precision::Int32), std::vector<double>{2});  // the last two bytes are no whole value
  EXPECT_TRUE(f.read(4, Precision::Int32).empty());
  EXPECT_TRUE(f.read_bytes(3).empty());
  EXPECT_EQ(f.tell(), 10);
  f.seek(-2, File::Origin::End);
  EXPECT_EQ(f.read_bytes(100), (std::vector<std::uint8_t>{3, 0}));
  EXPECT_EQ(f.read(static_cast<std::size_t>(-1), Precision::Float64).size(), 0u);  // a huge count is safe
}

TEST(File, SeekAndTell) {
  test::TempDir dir;
  File f(dir.write("abc.txt", "abcdefghij"), "r");
  EXPECT_EQ(f.size(), 10);
  f.seek(3, File::Origin::Begin);
  EXPECT_EQ(f.tell(), 3);
  EXPECT_EQ(f.read_bytes(2), (std::vector<std::uint8_t>{'d', 'e'}));
  f.seek(-1, File::Origin::Current);
  EXPECT_EQ(f.read(1, Precision::Int8), std::vector<double>{'e'});
  f.seek(-3, File::Origin::End);
  EXPECT_EQ(f.tell(), 7);
  EXPECT_EQ(f.read_all(), (std::vector<std::uint8_t>{'h', 'i', 'j'}));
  EXPECT_THROW(f.seek(-1, File::Origin::Begin), RuntimeError);
}

TEST(File, WritesTextAndFormattedNumbers) {
  test::TempDir dir;
  {
    File f(dir / "out.txt", "w");
    f.write("velocity\tforce\n");
    f.printf("%0.3f\t%0.1f\n", 0.0254, 1234.56);
    f.printf("%d%%\n", 5);
  }  // closed on leaving the scope
  EXPECT_EQ(test::TempDir::read(dir / "out.txt"), "velocity\tforce\n0.025\t1234.6\n5%\n");
  EXPECT_EQ(read_file_bytes(dir / "out.txt").size(), 31u);
}

TEST(File, UpdateModeAppendsAndSwitchesBetweenReadAndWrite) {
  test::TempDir dir;
  const auto path = dir.write("export.txt", "first\n");
  {
    File f(path, "r+");
    f.seek(0, File::Origin::End);
    f.printf("%s\n", "second");
    f.close();
  }
  EXPECT_EQ(test::TempDir::read(path), "first\nsecond\n");
  {
    File f(path, "r+");
    EXPECT_EQ(f.read_bytes(5).size(), 5u);  // "first"
    f.write("!");                            // replaces the line break, no seek in between
    EXPECT_EQ(f.read_bytes(6), (std::vector<std::uint8_t>{'s', 'e', 'c', 'o', 'n', 'd'}));
  }
  EXPECT_EQ(test::TempDir::read(path), "first!second\n");
}

TEST(File, ErrorsNameTheFile) {
  test::TempDir dir;
  auto message = [](auto&& f) -> std::string {
    try {
      f();
    } catch (const RuntimeError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_NE(message([&] { File f(dir / "absent.pvp", "r"); }).find("absent.pvp"), std::string::npos);
  EXPECT_NE(message([&] { File f(dir / "absent.pvp", "r+"); }).find("absent.pvp"), std::string::npos);
  EXPECT_NE(message([&] { File f(dir / "x.txt", "a"); }).find("x.txt"), std::string::npos);
  EXPECT_NE(message([&] { read_file_bytes(dir / "gone.bmp"); }).find("gone.bmp"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.txt"));

  File f(dir.write("y.txt", "y"), "r");
  f.close();
  f.close();  // closing twice is harmless
  EXPECT_NE(message([&] { f.read_bytes(1); }).find("y.txt"), std::string::npos);
}

TEST(File, MovesOwnership) {
  test::TempDir dir;
  File a(dir.write("m.bin", bytes({7, 8})), "r");
  File b(std::move(a));
  EXPECT_EQ(b.read_bytes(1), std::vector<std::uint8_t>{7});
  File c(dir.write("n.bin", bytes({9})), "r");
  c = std::move(b);
  EXPECT_EQ(c.read_bytes(1), std::vector<std::uint8_t>{8});
  EXPECT_EQ(c.path().filename(), "m.bin");
}

std::string error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "no error";
}

// What the readers refuse before reading a byte, whichever of the two whole-file readers.
TEST(FileLimits, OnlyRegularFilesWithinTheLimitAreRead) {
  test::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);  // no writer: opening must not wait
  dir.write("small.txt", "1 2 3\n");
  dir.write("big.txt", std::string(2000, '7'));
  constexpr ReadLimit kSmall{"import file", 1024};
  struct Row {
    std::filesystem::path path;
    const char* says;
  } rows[] = {{dir.path(), "not a regular file (a folder)"},
              {"/dev/zero", "not a regular file (a device)"},
              {dir / "pipe", "not a regular file (a pipe)"},
              {dir / "big.txt", "is 2000 bytes, more than the 1024 bytes an import file may hold"},
              {dir / "absent.txt", "Unable to open file"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.path.string());
    for (const std::string& e : {error_of([&] { read_file_text(r.path, kSmall); }),
                                 error_of([&] { read_file_bytes(r.path, kSmall); }),
                                 error_of([&] { MappedText t(r.path, kSmall); })}) {
      EXPECT_NE(e.find(r.says), std::string::npos) << e;
      EXPECT_NE(e.find(r.path.filename().string()), std::string::npos) << e;
    }
  }
  EXPECT_EQ(read_file_text(dir / "small.txt", kSmall), "1 2 3\n");
  EXPECT_EQ(MappedText(dir / "small.txt", kSmall).text(), "1 2 3\n");
}

// A mapped file that another program cuts short while it is read: the bytes it lost read as
// zeros instead of ending the program with a bus error, and the reading is refused.
TEST(MappedFile, ATextCutShortWhileReadIsRefusedNotACrash) {
  test::TempDir dir;
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  std::string whole;
  for (std::size_t i = 0; whole.size() < 5 * page; ++i) whole += std::to_string(i) + " 1 2\n";
  struct Row {
    const char* what;
    std::size_t cut_to;  // bytes left; the whole file when nothing is cut
  } rows[] = {{"untouched", whole.size()},
              {"emptied", 0},
              {"cut inside the first page", 100},
              {"cut at a page boundary", 2 * page},
              {"cut inside the last page", whole.size() - 3}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const auto file = dir.write("curve.txt", whole);
    MappedText text(file, kImportFileLimit);
    std::filesystem::resize_file(file, r.cut_to);
    std::size_t sum = 0;  // every byte read, the lost pages too
    for (const char c : text.text()) sum += static_cast<unsigned char>(c);
    EXPECT_EQ(text.text().size(), whole.size());
    const std::string e = error_of([&] { text.check_whole(); });
    if (r.cut_to == whole.size()) {
      EXPECT_EQ(e, "no error");
      EXPECT_EQ(text.text(), whole);
    } else {
      EXPECT_NE(e.find("curve.txt\" was cut short by another program while it was read"),
                std::string::npos)
          << e << sum;
    }
  }
  EXPECT_EQ(MappedText(dir.write("empty.txt", ""), kImportFileLimit).text(), "");
}

// An append that cannot be written whole leaves the file as it was.
TEST(FileLimits, AnAppendIsAllOrNothing) {
  test::TempDir dir;
  const std::string before = "first entry\n" + std::string(100, 'x') + "\n";
  const auto file = dir.write("export.txt", before);
  {
    test::FileSizeLimit full(before.size() + 40);
    const std::string e = error_of([&] { append_whole(file, std::string(96, 'y') + "\n"); });
    EXPECT_NE(e.find("export.txt"), std::string::npos) << e;
    EXPECT_NE(e.find("unchanged"), std::string::npos) << e;
    EXPECT_EQ(test::TempDir::read(file), before);
  }
  append_whole(file, "second entry\n");
  EXPECT_EQ(test::TempDir::read(file), before + "second entry\n");
  EXPECT_NE(error_of([&] { append_whole(dir / "absent.txt", "z"); }).find("absent.txt"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "absent.txt"));
}

// Names of the files in a folder, to see that a failed save leaves nothing beside the file.
std::vector<std::string> names_in(const std::filesystem::path& folder) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

// A save refuses, without opening it (a FIFO with no reader would block) or making anything in
// its place, whatever is not a regular file; a link to a regular file is followed.
TEST(WriteWhole, OnlyARegularFileOrNothingIsReplaced) {
  test::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink("/dev/null", dir / "to-device");
  std::filesystem::create_symlink(dir / "folder", dir / "to-folder");
  struct Row {
    const char* name;
    const char* kind;
  } rows[] = {{"pipe", "a pipe (FIFO)"},
              {"folder", "a folder"},
              {"to-device", "a device"},
              {"to-folder", "a folder"}};
  const auto before = names_in(dir.path());
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const std::string e = error_of([&] { write_whole(dir / r.name, "curves\n"); });
    EXPECT_EQ(e, "The file \"" + (dir / r.name).string() + "\" is not a regular file (" + r.kind +
                     "); nothing was written.");
    EXPECT_EQ(what_is_at(dir / r.name), r.kind);
  }
  EXPECT_EQ(names_in(dir.path()), before) << "nothing made beside them";
  EXPECT_EQ(what_is_at(dir / "absent"), "missing");

  // A link to a regular file: the file gets the new text, the link stays a link.
  const auto real = dir.write("real.csv", "old\n");
  std::filesystem::create_symlink(real, dir / "link.csv");
  write_whole(dir / "link.csv", "new\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.csv"));
  EXPECT_EQ(test::TempDir::read(real), "new\n");
  write_whole(dir / "fresh.csv", "made\n");
  EXPECT_EQ(test::TempDir::read(dir / "fresh.csv"), "made\n");
}

// On a full disk the old file stays exactly as it was, the message says why in words, and no
// part-written file is left beside it.
TEST(WriteWhole, AFullDiskLeavesTheOldFileAsItWas) {
  test::SmallDisk disk;
  const std::string old_text = "velocity,force\n" + std::string(4000, '1') + "\n";
  const auto file = disk / "curves.csv";
  write_whole(file, old_text);
  ::chmod(file.c_str(), 0640);
  const std::string big(3 * test::SmallDisk::kRoom, '2');
  {
    const auto full = disk.full();
    const std::string e = error_of([&] { write_whole(file, big); });
    EXPECT_NE(e.find("Could not write \"" + file.string() + "\": "), std::string::npos) << e;
    EXPECT_NE(e.find(disk.is_tmpfs() ? "No space left on device" : "File too large"),
              std::string::npos)
        << e;
    EXPECT_NE(e.find("the file is unchanged"), std::string::npos) << e;
    EXPECT_EQ(e.find("Unknown error"), std::string::npos) << e;
    const std::string fresh = error_of([&] { write_whole(disk / "new.csv", big); });
    EXPECT_NE(fresh.find("nothing was written"), std::string::npos) << fresh;
  }
  EXPECT_EQ(test::TempDir::read(file), old_text);
  EXPECT_EQ(names_in(disk.folder()), std::vector<std::string>{"curves.csv"});
  // Once there is room the save goes through, and the file keeps its permissions.
  write_whole(file, "velocity,force\n0,0\n");
  EXPECT_EQ(test::TempDir::read(file), "velocity,force\n0,0\n");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace quorin
