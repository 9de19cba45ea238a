#include "app/menu_help.h"

#include <sstream>
#include <string_view>

#include "app/comparison_tools.h"

namespace quorin {
namespace {

bool in_a_menu(const ProgramAction& a) {
  return a.place == ActionPlace::ComparisonMenu || a.place == ActionPlace::BothMenus ||
         a.place == ActionPlace::MainMenu;
}

std::string_view menu_name(ActionPlace p) {
  switch (p) {
    case ActionPlace::ComparisonMenu:
      return "comparison window";
    case ActionPlace::BothMenus:
      return "both windows";
    default:
      return "main window";
  }
}

// Words wrapped to `width` columns, every line after the first indented by `indent`.
std::string wrapped(std::string_view text, std::size_t indent, std::size_t width) {
  std::string out, line;
  std::istringstream words{std::string(text)};
  auto columns = [](const std::string& s) {  // UTF-8 characters, not bytes
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
  };
  for (std::string w; words >> w;) {
    if (!line.empty() && indent + columns(line) + 1 + columns(w) > width) {
      out += std::string(indent, ' ') + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + w;
  }
  if (!line.empty()) out += std::string(indent, ' ') + line + "\n";
  return out;
}

std::string roff_escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  // A line starting with a dot or a quote would be read as a request.
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

}  // namespace

std::string menu_help_text() {
  std::string out = "Menus (a right click in the window; each key works in its window):\n";
  for (const ProgramAction& a : ComparisonTools::actions()) {
    if (!in_a_menu(a)) continue;
    out += "  " + std::string(a.label);
    if (!a.key.empty()) out += " (" + std::string(a.key) + ")";
    out += ", " + std::string(menu_name(a.place)) + ":\n";
    out += wrapped(a.help, 6, 78);
  }
  return out;
}

std::string menu_manual_text() {
  std::string out =
      ".SH MENUS\nA right\\-click in a window opens its menu; each key works in "
      "its window.\n";
  for (const ProgramAction& a : ComparisonTools::actions()) {
    if (!in_a_menu(a)) continue;
    out += ".TP\n.B \"" + roff_escaped(a.label) + "\"\n";
    out += "(" + (a.key.empty() ? std::string() : roff_escaped(a.key) + ", ") +
           std::string(menu_name(a.place)) + ") " + roff_escaped(a.help) + "\n";
  }
  return out;
}

std::string menu_markdown_table() {
  std::string out = "| Item | Key | Menu | What it does |\n|---|---|---|---|\n";
  for (const ProgramAction& a : ComparisonTools::actions()) {
    if (!in_a_menu(a)) continue;
    out += "| " + std::string(a.label) + " | " + std::string(a.key) + " | " +
           std::string(menu_name(a.place)) + " | " + std::string(a.help) + " |\n";
  }
  return out;
}

}  // namespace quorin
