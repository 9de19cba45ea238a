// quorin-genmanual TEMPLATE PAGE: writes the manual page of quorin-script from TEMPLATE, with
// the line ".\" COMMANDS" replaced by the driver's commands as its own table lists them, so
// the page and `quorin-script --help` name the same commands.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "app/script_driver.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: quorin-genmanual TEMPLATE PAGE\n";
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
    } else {
      page << line << '\n';
    }
  }
  if (!placed) {
    std::cerr << "quorin-genmanual: " << argv[1] << " has no line .\\\" COMMANDS\n";
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
