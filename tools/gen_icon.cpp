// quorin-genicon DIR: writes the program's icon into DIR as the desktop's icon theme lays it
// out: DIR/scalable/apps/quorin.svg and DIR/<N>x<N>/apps/quorin.png for each size.
#include <array>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

#include "icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: quorin-genicon DIR\n";
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path root = argv[1];
  constexpr std::array<int, 6> kSizes = {16, 32, 48, 64, 128, 256};
  std::error_code ec;
  const fs::path scalable = root / "scalable" / "apps";
  fs::create_directories(scalable, ec);
  std::ofstream(scalable / "quorin.svg", std::ios::binary) << quorin::icon::svg();
  if (!fs::is_regular_file(scalable / "quorin.svg")) {
    std::cerr << "quorin-genicon: cannot write " << (scalable / "quorin.svg").string() << "\n";
    return 1;
  }
  for (int size : kSizes) {
    const fs::path dir = root / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
    fs::create_directories(dir, ec);
    if (!quorin::icon::write_png(dir / "quorin.png", size)) {
      std::cerr << "quorin-genicon: cannot write " << (dir / "quorin.png").string() << "\n";
      return 1;
    }
  }
  return 0;
}
