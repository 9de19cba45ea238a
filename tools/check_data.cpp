// quorin-checkdata FOLDER: checks the supplied data files of a start folder through the
// program's own readers and names the first problem found.
#include <iostream>
#include <string_view>

#include "services/runtime_error.h"
#include "startup/data_check.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::cout << "quorin-checkdata " QUORIN_VERSION "\n";
    return 0;
  }
  if (argc != 2) {
    std::cerr << "usage: quorin-checkdata FOLDER\n";
    return 2;
  }
  try {
    quorin::check_supplied_data(argv[1]);
  } catch (const quorin::RuntimeError& e) {
    std::cerr << argv[1] << ": " << e.what() << "\n";
    return 1;
  }
  std::cout << argv[1] << ": supplied data complete and consistent\n";
  return 0;
}
