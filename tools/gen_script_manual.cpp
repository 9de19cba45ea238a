// quorin-genmanual TEMPLATE PAGE: writes a manual page from TEMPLATE, with the line
// ".\" COMMANDS" replaced by the driver's commands as its own table lists them and the line
// ".\" MENUS" by the menus as the action table makes them, so the pages, `--help` and the
// program name the same commands and items.
// quorin-genmanual --menus-markdown: prints the menus as the README and the user guide show
// them.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "app/menu_help.h"
#include "app/script_driver.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--menus-markdown") {
    std::cout << quorin::menu_markdown_table();
    return 0;
  }
  if (argc != 3) {
    std::cerr << "usage: quorin-genmanual TEMPLATE PAGE | --menus-markdown\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "quorin-genmanual: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::ostringstream page;
  bool placed = false;
  for (std::string line; std::getline(in, line);) {
    if (line == ".\\\" COMMANDS") {
      page << quorin::script_manual_commands();
      placed = true;
    } else if (line == ".\\\" MENUS") {
      page << quorin::menu_manual_text();
      placed = true;
    } else {
      page << line << '\n';
    }
  }
  if (!placed) {
    std::cerr << "quorin-genmanual: " << argv[1] << " has no line .\\\" COMMANDS or .\\\" MENUS\n";
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << page.str();
  out.close();
  if (!out) {
    std::cerr << "quorin-genmanual: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
