// The menus' help is written from the action table: the documents the user reads carry the
// table as the program makes it, and every item of a menu is explained with its key.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/comparison_tools.h"
#include "app/menu_help.h"

namespace quorin {
namespace {

std::string read_document(const std::string& relative) {
  const std::filesystem::path file =
      std::filesystem::path(QUORIN_SUPPLIED).parent_path() / relative;
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool in_a_menu(const ProgramAction& a) {
  return a.place == ActionPlace::ComparisonMenu || a.place == ActionPlace::BothMenus ||
         a.place == ActionPlace::MainMenu;
}

TEST(MenuHelp, DocumentsCarryTheMenusAsTheProgramMakesThem) {
  const std::string table = menu_markdown_table();
  for (const char* document : {"README.md", "docs/user-guide.md"}) {
    SCOPED_TRACE(document);
    EXPECT_NE(read_document(document).find(table), std::string::npos)
        << "the menu table differs from the program's; write it again from "
           "`quorin-genmanual --menus-markdown`";
  }
  // Documents that list some items name them with the keys the menus give them.
  const std::string tuning = read_document("docs/tuning.md");
  for (const ProgramAction& a : ComparisonTools::actions()) {
    const std::string row = "| " + std::string(a.label) + " | ";
    if (const auto at = tuning.find(row); at != std::string::npos) {
      EXPECT_EQ(tuning.substr(at + row.size(), a.key.size()), a.key) << a.label;
    }
  }
}

TEST(MenuHelp, EveryMenuItemIsExplainedWithItsKeyInHelpAndManual) {
  const std::string text = menu_help_text();
  const std::string manual = menu_manual_text();
  int items = 0;
  for (const ProgramAction& a : ComparisonTools::actions()) {
    if (!in_a_menu(a)) continue;
    ++items;
    SCOPED_TRACE(std::string(a.id));
    EXPECT_FALSE(a.help.empty());
    std::string heading = "  " + std::string(a.label);
    if (!a.key.empty()) heading += " (" + std::string(a.key) + ")";
    EXPECT_NE(text.find(heading), std::string::npos);
    std::string roff_label;
    for (char c : a.label) roff_label += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(manual.find(".B \"" + roff_label + "\""), std::string::npos);
  }
  EXPECT_GE(items, 14);
  // Lines wrapped for a terminal; hyphens escaped for the manual's formatter.
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::size_t columns = 0;
    for (unsigned char c : line) columns += (c & 0xC0) != 0x80;
    EXPECT_LE(columns, 78u) << line;
  }
  EXPECT_NE(manual.find("set\\-up"), std::string::npos);
}

}  // namespace
}  // namespace quorin
