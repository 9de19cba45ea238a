// Where the help window finds the documents: next to the executable in a build, under the
// executable's prefix or in the system's place when installed; and only documents by name.
#include "services/documents.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "services/runtime_error.h"
#include "services/temp_dir.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

TEST(Documents, TheFirstPlaceHoldingTheGuideIsUsed) {
  // Folders below a scratch root: the executable is in prefix/bin.
  struct Row {
    const char* name;
    std::vector<const char*> guides;  // folders holding a user guide
    std::optional<const char*> found;
  };
  const Row rows[] = {
      {"a build: docs next to the executable", {"prefix/bin/docs", "system"}, "prefix/bin/docs"},
      {"installed under a prefix",
       {"prefix/share/doc/quorin", "system"},
       "prefix/share/doc/quorin"},
      {"only the system's copy", {"system"}, "system"},
      {"a docs folder without the guide is passed over", {"system"}, "system"},
      {"nowhere", {}, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::TempDir root;
    fs::create_directories(root.path() / "prefix/bin/docs");  // may stay without a guide
    for (const char* folder : row.guides) {
      fs::create_directories(root.path() / folder);
      std::ofstream(root.path() / folder / "user-guide.md") << "# quorin user guide\n";
    }
    const std::optional<fs::path> found =
        documents_folder(root.path() / "prefix/bin", root.path() / "system");
    if (!row.found) {
      EXPECT_FALSE(found.has_value());
      EXPECT_THROW(
          document_file("user-guide.md", root.path() / "prefix/bin", root.path() / "system"),
          RuntimeError);
      continue;
    }
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, root.path() / *row.found);
  }
}

TEST(Documents, OnlyADocumentOfTheFolderIsOpened) {
  test::TempDir root;
  fs::create_directories(root.path() / "bin/docs");
  std::ofstream(root.path() / "bin/docs/user-guide.md") << "# quorin user guide\n";
  std::ofstream(root.path() / "bin/docs/tuning.md") << "# Tuning\n";
  std::ofstream(root.path() / "bin/secret.md") << "not a document\n";
  const fs::path exe = root.path() / "bin", system = root.path() / "none";
  EXPECT_EQ(document_file("tuning.md", exe, system), root.path() / "bin/docs/tuning.md");
  EXPECT_EQ(document_file("user-guide.md", exe, system), root.path() / "bin/docs/user-guide.md");
  for (const char* name : {"", "../secret.md", "/etc/passwd", "guide/setup.png", "tuning",
                           "scripting.md", ".md", "docs/tuning.md"}) {
    SCOPED_TRACE(name);
    try {
      document_file(name, exe, system);
      ADD_FAILURE() << "opened";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace quorin
