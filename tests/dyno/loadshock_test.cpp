#include "dyno/loadshock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>

#include "dyno/dyno_bytes.h"
#include "dyno/loadshock_parts.h"
#include "services/runtime_error.h"
#include "services/temp_dir.h"

namespace quorin {
namespace {

using test::DynoBytes;

const std::string kFixtures = std::string(QUORIN_FIXTURES) + "/";

Value read(const DynoBytes& f, std::ostream& console) { return read_dyno(f.bytes, console, "t.pvp", "/d/"); }
Value read(const DynoBytes& f) {
  std::ostringstream console;
  Value v = read(f, console);
  EXPECT_EQ(console.str(), "");
  return v;
}

std::vector<std::string> names(const Value& record) { return record.field_names(); }

void expect_pair(const Value& rec, const char* field, const Value& data, const char* units) {
  SCOPED_TRACE(field);
  EXPECT_EQ(names(rec.field(field)), (std::vector<std::string>{"Data", "Units"}));
  EXPECT_EQ(rec.field(field).field("Data"), data);
  EXPECT_EQ(rec.field(field).field("Units").str(), units);
}

std::string corrupt_line() { return std::string(dyno::kCorruptFileLine) + "\n"; }

// Reading must end with the corrupt-file line and the unset VarValue error.
void expect_corrupt(const std::vector<std::uint8_t>& bytes) {
  std::ostringstream console;
  try {
    read_dyno(bytes, console, "t.pvp", "/d/");
    ADD_FAILURE() << "read succeeded";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.what(), std::string(dyno::kVarValueNotAssigned));
  }
  EXPECT_EQ(console.str(), corrupt_line());
}

TEST(Loadshock, FixtureOf175BytesReadsThroughTheDialogWithEveryField) {
  ASSERT_EQ(std::filesystem::file_size(kFixtures + "dyno_175.pvp"), 175u);
  ScriptedDialogs dialogs;
  dialogs.push({false, "dyno_175.pvp", kFixtures});
  std::ostringstream console;
  LoadshockResult r = loadshock(dialogs, console, std::string("/last/folder/"));

  EXPECT_EQ(dialogs.last_filter(), "/last/folder/*.pvp");
  EXPECT_EQ(dialogs.last_title(), "Select a Roehrig Shock File");
  EXPECT_EQ(console.str(), "");
  ASSERT_EQ(r.pn, kFixtures);
  const Value& s = r.ShockData;
  EXPECT_EQ(names(s), (std::vector<std::string>{"fn", "pn", "Version", "SealDrag", "TestTemp", "Stroke",
                                                "PeakVelocity", "NumberTests", "TestType", "Speed_1"}));
  EXPECT_EQ(s.field("fn").str(), "dyno_175.pvp");
  EXPECT_EQ(s.field("pn").str(), kFixtures);
  EXPECT_EQ(s.field("Version"), Value::number(1));
  expect_pair(s, "SealDrag", Value::number(4.5), "pounds");
  expect_pair(s, "TestTemp", Value::text("test not performed"), "test not performed");
  expect_pair(s, "Stroke", Value::number(2), "inch");
  expect_pair(s, "PeakVelocity", Value::number(10), "ips");
  EXPECT_EQ(s.field("NumberTests"), Value::number(1));
  EXPECT_EQ(s.field("TestType").str(), "CVP");

  const Value& page = s.field("Speed_1");
  EXPECT_EQ(names(page),
            (std::vector<std::string>{"TestPeriod", "GasTest", "TestSpeed", "Velocity", "Force"}));
  expect_pair(page, "TestPeriod", Value::number(0), "Seconds");
  expect_pair(page, "GasTest", Value::text("test not performed"), "test not performed");
  expect_pair(page, "TestSpeed", Value::number(10), "ips");
  const Value& vel = page.field("Velocity");
  const Value& force = page.field("Force");
  EXPECT_EQ(names(vel), (std::vector<std::string>{"Offset", "Units", "Data"}));
  EXPECT_EQ(vel.field("Offset"), Value::number(0));
  EXPECT_EQ(vel.field("Units").str(), "ips");
  EXPECT_EQ(vel.field("Data"), Value::column({-1.5, 2.25}));
  EXPECT_EQ(force.field("Offset"), Value::number(0));
  EXPECT_EQ(force.field("Units").str(), "pounds");
  EXPECT_EQ(force.field("Data"), Value::column({-30, 45.5}));
}

TEST(Loadshock, CancelledDialogGivesOneAndNoFolderAndOpensNothing) {
  ScriptedDialogs dialogs;  // nothing queued: cancelled
  std::ostringstream console;
  LoadshockResult r = loadshock(dialogs, console, std::nullopt);
  EXPECT_EQ(r.ShockData, Value::number(1));
  EXPECT_FALSE(r.pn.has_value());
  EXPECT_EQ(dialogs.last_filter(), "*.pvp");
}

TEST(Loadshock, FileThatCannotBeOpenedOrReadIsAnErrorNamingIt) {
  const std::string folder = std::filesystem::temp_directory_path().string() + "/";
  for (const DialogResult& answer : {DialogResult{false, "missing.pvp", "/no/such/folder/"},
                                     DialogResult{false, "", folder}}) {  // a folder, not a file
    ScriptedDialogs dialogs;
    dialogs.push(answer);
    std::ostringstream console;
    try {
      loadshock(dialogs, console, std::nullopt);
      ADD_FAILURE() << "no error";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find("\"" + answer.folder + answer.file + "\""), std::string::npos)
          << e.what();
    }
    EXPECT_EQ(console.str(), "");
  }
}

TEST(Loadshock, PageCountsGivePagesTestsAndType) {
  struct Row {
    std::int16_t pages;
    const char* type;
  };
  for (Row row : {Row{1, "CVP"}, Row{3, "PVP"}, Row{11, "PVP"}}) {
    SCOPED_TRACE(row.pages);
    const Value s = read(DynoBytes::file(1, row.pages));
    EXPECT_EQ(s.field("NumberTests"), Value::number(row.pages));
    EXPECT_EQ(s.field("TestType").str(), row.type);
    for (int p = 1; p <= row.pages; ++p)
      EXPECT_EQ(s.field("Speed_" + std::to_string(p)).field("Force").field("Data"),
                Value::column({-30, 45.5}));
    EXPECT_FALSE(s.has_field("Speed_" + std::to_string(row.pages + 1)));
  }
}

TEST(Loadshock, PageCountBelowOneReadsNoPage) {
  DynoBytes f;
  f.header(1, 0).pairs(1).i16(-3);
  const Value s = read(f);
  EXPECT_EQ(s.field("NumberTests"), Value::number(-2));
  EXPECT_EQ(s.field("TestType").str(), "PVP");
  EXPECT_FALSE(s.has_field("Speed_1"));
}

TEST(Loadshock, VersionDecidesItem13AndTheDoubledTestStroke) {
  // The test files carry item 13 and the stroke exactly when the reader expects them, so a
  // wrong rule shows up as a misread page.
  for (std::int16_t version : {1, 2, 3, 4, 5}) {
    SCOPED_TRACE(version);
    const Value s = read(DynoBytes::file(version, 2));
    EXPECT_EQ(s.field("Version"), Value::number(version));
    for (const char* name : {"Speed_1", "Speed_2"}) {
      const Value& page = s.field(name);
      EXPECT_EQ(page.field("Velocity").field("Data"), Value::column({-1.5, 2.25}));
      EXPECT_EQ(page.has_field("TestStroke"), version == 4);
      if (version == 4) expect_pair(page, "TestStroke", Value::number(3), "inch");
    }
  }
}

TEST(Loadshock, UnitCode98Or35MarksAPairNotPerformedButOnlyLabelsAPeriod) {
  for (std::int16_t code : {98, 35}) {
    SCOPED_TRACE(code);
    DynoBytes f;
    f.header(1, 0).pairs(1, code).i16(0).page(1, {1}, {2}, code);
    const Value s = read(f);
    expect_pair(s, "SealDrag", Value::text("test not performed"), "test not performed");
    expect_pair(s.field("Speed_1"), "TestPeriod", Value::number(0.5), "test not performed");
  }
}

TEST(Loadshock, UnitCodesToTexts) {
  struct Row {
    double code;
    const char* text;
  };
  for (Row row : {Row{0, "unknown"}, Row{36, "unknown"}, Row{12, "Farenheit"}, Row{13, "Celcius"},
                  Row{1, "inch"}, Row{6, "MetersPerSecond"}, Row{10, "Newtons"}, Row{27, "MPerSecond^2"},
                  Row{34, "Volts"}, Row{35, "test not performed"}, Row{98, "test not performed"},
                  Row{97, "unknown"}, Row{1.5, "unknown"}, Row{-1, "unknown"}, Row{NAN, "unknown"}}) {
    EXPECT_EQ(dyno::GetUnits(row.code), row.text) << row.code;
  }
  dyno::Variant text;
  text.is_text = true;
  text.chars = "5";
  EXPECT_EQ(dyno::GetUnits(text), "unknown");
}

TEST(Loadshock, NamesLoseTheSixteenInvalidCharactersOnly) {
  struct Row {
    const char* bad;
    const char* good;
  };
  for (Row row : {Row{"Force (lbs)", "Forcelbs"}, Row{"Vel. + 1", "Vel1"}, Row{"Velocity", "Velocity"},
                  Row{"Force", "Force"}, Row{" #-()+,.[]{}=;%!", ""}, Row{"a_B9/c*d", "a_B9/c*d"},
                  Row{"1st", "1st"}, Row{"", ""}}) {
    EXPECT_EQ(dyno::RemoveInvalid(row.bad), row.good) << row.bad;
  }
  DynoBytes f;
  f.header(1, 0).pairs(1).i16(0).f32(0).i16(19).i16(0).i16(10).i16(0).i16(5).i16(1);
  f.text("Vel. + 1").i16(0).i16(5).block({1});
  f.text("Force (lbs)").i16(0).i16(9).block({2});
  const Value page = read(f).field("Speed_1");
  EXPECT_TRUE(page.has_field("Vel1"));
  EXPECT_TRUE(page.has_field("Forcelbs"));
}

TEST(Loadshock, VariantPayloadsAndTheBytesTheyConsume) {
  struct Row {
    const char* name;
    std::int16_t code;
    std::vector<std::uint8_t> payload;
    Value expected;
    std::size_t consumed;
  };
  const std::vector<Row> rows = {
      {"int16", 2, {0xfe, 0xff}, Value::number(-2), 2},
      {"int32", 3, {0x00, 0x00, 0x00, 0x80}, Value::number(-2147483648.0), 4},
      {"single", 4, {0x00, 0x00, 0xc0, 0xbf}, Value::number(-1.5), 4},
      {"double", 5, {0, 0, 0, 0, 0, 0, 0x04, 0x40}, Value::number(2.5), 8},
      {"uint64", 6, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, Value::number(18446744073709551615.0), 8},
      {"double 7", 7, {0, 0, 0, 0, 0, 0, 0xf0, 0x3f}, Value::number(1), 8},
      {"int16 11", 11, {0x05, 0x00}, Value::number(5), 2},
      {"int16 12", 12, {0x00, 0x80}, Value::number(-32768), 2},
      {"int8 0xff is -1", 17, {0xff}, Value::number(-1), 1},
      {"text of 0", 8, {0x00, 0x00}, Value::text(""), 2},
      {"negative length reads no characters", 8, {0xff, 0xff, 'a'}, Value::text(""), 2},
      {"text of 3", 8, {0x03, 0x00, 'a', 'b', 'c'}, Value::text_list({"a", "b", "c"}), 5},
      {"character 0xe9", 8, {0x01, 0x00, 0xe9}, Value::text_list({"\xc3\xa9"}), 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DynoBytes f;
    f.code(row.code).bytes.insert(f.bytes.end(), row.payload.begin(), row.payload.end());
    f.raw({0x77});  // a following byte the read must leave alone
    dyno::ByteReader reader(f.bytes);
    std::ostringstream console;
    EXPECT_EQ(dyno::read_item(reader, console).to_value(), row.expected);
    EXPECT_EQ(reader.position(), 2 + row.consumed);  // type code and payload
    EXPECT_EQ(console.str(), "");
  }
}

TEST(Loadshock, UnknownTypeEndsTheImportWithOneConsoleLine) {
  DynoBytes unknown;
  unknown.header(1, 0).code(9).le(std::int16_t{1});
  DynoBytes type_at_end;  // the type code of item 9 is missing
  type_at_end.header(1, 0);
  DynoBytes cut_payload;  // a double with three of its bytes
  cut_payload.header(1, 0).code(5).raw({0, 0, 0});
  DynoBytes long_text;  // a text announcing more characters than the file holds
  long_text.header(1, 1).code(8).le(std::int16_t{32767}).raw({'a', 'b'});
  DynoBytes odd_byte;  // half a type code
  odd_byte.header(1, 0).raw({2});
  DynoBytes after_short_channel = DynoBytes::file(1, 2);  // page 2 missing its second channel
  after_short_channel.bytes.resize(after_short_channel.bytes.size() - 37);
  for (const DynoBytes* f : {&unknown, &type_at_end, &cut_payload, &long_text, &odd_byte, &after_short_channel})
    expect_corrupt(f->bytes);
  expect_corrupt({});
}

TEST(Loadshock, CorruptFileLeavesTheCallersValuesAlone) {
  const test::TempDir dir;
  {
    std::ofstream(dir / "bad.pvp", std::ios::binary) << std::string("\x02\x00\x00\x00\x63\x00", 6);
  }
  ScriptedDialogs dialogs;
  dialogs.push({false, "bad.pvp", dir.path().string() + "/"});
  std::ostringstream console;
  std::optional<LoadshockResult> result;
  EXPECT_THROW(result = loadshock(dialogs, console, std::string("/keep/")), RuntimeError);
  EXPECT_FALSE(result.has_value());
  EXPECT_EQ(console.str(), corrupt_line());
}

TEST(Loadshock, ChannelBlocksTrustNoCount) {
  // ArrayLength 0: twelve bytes, no samples, and the next channel still reads.
  DynoBytes empty;
  empty.header(1, 0).pairs(1).i16(0).f32(0).i16(19).i16(0).i16(10).i16(0).i16(5).i16(1);
  empty.text("Velocity").i16(0).i16(5).block({});
  empty.text("Force").i16(0).i16(9).block({7});
  const Value page = read(empty).field("Speed_1");
  EXPECT_TRUE(page.field("Velocity").field("Data").is_empty());
  EXPECT_EQ(page.field("Force").field("Data"), Value::column({7}));

  // A count far beyond the file: the samples present, and a cut-off sample dropped.
  for (std::uint32_t length : {3u, 0xffffffffu}) {
    SCOPED_TRACE(length);
    DynoBytes f;
    f.header(1, 0).pairs(1).i16(0).f32(0).i16(19).i16(0).i16(10).i16(0).i16(5).i16(0);
    f.text("Force").i16(0).i16(9).block({1, 2}, length).raw({0x00, 0x00});
    EXPECT_EQ(read(f).field("Speed_1").field("Force").field("Data"), Value::column({1, 2}));
  }

  // A file ending inside the descriptor of its last channel: no samples, no message.
  DynoBytes cut = DynoBytes::file(1, 1);
  cut.bytes.resize(cut.bytes.size() - 8 - 6);
  EXPECT_TRUE(read(cut).field("Speed_1").field("Force").field("Data").is_empty());
}

// The outcome of reading: the record, or the error and the console text.
struct Outcome {
  std::optional<Value> shock;
  std::string error, console;
  bool operator==(const Outcome&) const = default;
};

Outcome from_memory(const std::vector<std::uint8_t>& bytes, const std::string& folder) {
  Outcome o;
  std::ostringstream console;
  try {
    o.shock = read_dyno(bytes, console, "big.pvp", folder);
  } catch (const RuntimeError& e) {
    o.error = e.what();
  }
  o.console = console.str();
  return o;
}

Outcome from_disk(const std::vector<std::uint8_t>& bytes, const std::string& folder) {
  std::ofstream(folder + "big.pvp", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ScriptedDialogs dialogs;
  dialogs.push({false, "big.pvp", folder});
  Outcome o;
  std::ostringstream console;
  try {
    o.shock = loadshock(dialogs, console, std::nullopt).ShockData;
  } catch (const RuntimeError& e) {
    o.error = e.what();
  }
  o.console = console.str();
  return o;
}

// A file on disk is read in pieces; whatever the pieces' edges cut (a sample, a name, a
// descriptor, the file's end), the record is the one the whole file in memory gives.
TEST(Loadshock, FileOnDiskReadsAsTheSameBytesInMemory) {
  const test::TempDir dir;
  const std::string folder = dir.path().string() + "/";
  std::vector<float> velocity(40000), force(40000);
  for (std::size_t i = 0; i < velocity.size(); ++i) {
    velocity[i] = static_cast<float>(i) * 0.001f - 3.0f;
    force[i] = velocity[i] * 1234.5f;
  }
  const DynoBytes whole = DynoBytes::file(4, 5, velocity, force);
  ASSERT_GT(whole.bytes.size(), std::size_t{4} << 16);
  std::vector<std::size_t> lengths = {whole.bytes.size(), 0, 100};
  for (std::size_t edge : {std::size_t{1} << 16, std::size_t{2} << 16, whole.bytes.size() / 2})
    for (std::size_t d = 0; d < 9; ++d) lengths.push_back(edge + d - 4);
  for (std::size_t length : lengths) {
    SCOPED_TRACE(length);
    const std::vector<std::uint8_t> bytes(whole.bytes.begin(), whole.bytes.begin() + static_cast<std::ptrdiff_t>(length));
    const Outcome memory = from_memory(bytes, folder);
    EXPECT_EQ(from_disk(bytes, folder), memory);
    if (length == whole.bytes.size()) {
      ASSERT_TRUE(memory.shock.has_value());
      EXPECT_EQ(memory.shock->field("Speed_5").field("Force").field("Data").numel(), force.size());
    }
  }
}

// A channel of no samples read from a file on disk: an empty channel and nothing else changed,
// as from memory (reading it once handed the copy a null array, which the sanitizer build
// stops at).
TEST(Loadshock, ChannelsOfNoSamplesReadFromDiskAsFromMemory) {
  const test::TempDir dir;
  const std::string folder = dir.path().string() + "/";
  struct Row {
    const char* name;
    std::vector<float> velocity, force;
  } rows[] = {{"velocity empty", {}, {7}}, {"force empty", {1, 2}, {}}, {"both empty", {}, {}}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const DynoBytes f = DynoBytes::file(1, 2, r.velocity, r.force);
    const Outcome disk = from_disk(f.bytes, folder);
    EXPECT_EQ(disk, from_memory(f.bytes, folder));
    ASSERT_TRUE(disk.shock.has_value()) << disk.error;
    for (const char* page : {"Speed_1", "Speed_2"}) {
      EXPECT_EQ(disk.shock->field(page).field("Velocity").field("Data").numel(), r.velocity.size());
      EXPECT_EQ(disk.shock->field(page).field("Force").field("Data").numel(), r.force.size());
    }
  }
}

TEST(Loadshock, PropertiesFollowVersionAndMayReplaceIt) {
  DynoBytes f;
  f.header(1, 3);
  f.text("Shock Name").text("ab1");
  f.text("Version").i16(2);
  f.text("Empty").text("");
  f.pairs(1).i16(0).page(1, {1}, {2});
  const Value s = read(f);
  EXPECT_EQ(names(s), (std::vector<std::string>{"fn", "pn", "Version", "ShockName", "Empty", "SealDrag",
                                                "TestTemp", "Stroke", "PeakVelocity", "NumberTests",
                                                "TestType", "Speed_1"}));
  EXPECT_EQ(s.field("Version"), Value::number(2));  // the property replaced item 2
  EXPECT_EQ(s.field("ShockName"), Value::text_list({"a", "b", "1"}));
  EXPECT_EQ(s.field("Empty"), Value::text(""));
  // Item 2 (version 1) still decides the layout: no item 13 was expected.
  EXPECT_EQ(s.field("Speed_1").field("Force").field("Data"), Value::column({2}));
}

TEST(Loadshock, NumbersWhereTheLayoutNeedsThemAreCheckedAsSuch) {
  DynoBytes text_count;
  text_count.header(1, 0).pairs(1).text("x");
  DynoBytes number_name;
  number_name.header(1, 1).i16(3).i16(4);
  for (const DynoBytes* f : {&text_count, &number_name}) {
    std::ostringstream console;
    EXPECT_THROW(read(*f, console), RuntimeError);
    EXPECT_EQ(console.str(), "");
  }
}

}  // namespace
}  // namespace quorin
