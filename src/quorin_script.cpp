// quorin-script: the headless, line-oriented driver over the program (see docs/scripting.md).
#include <filesystem>
#include <fstream>
#include <iostream>

#include "services/memory.h"
#include "services/qt/output.h"
#include "services/qt/toolkit.h"
#include "app/script_driver.h"
#include "startup/start_folder.h"

int main(int argc, char** argv) {
  quorin::pool_large_arrays();
  if (argc > 2 ||
      (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h"))) {
    std::cout << quorin::script_help() << "\n" << quorin::start_folder_help();
    return argc > 2 ? 2 : 0;
  }
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::cout << "quorin-script " QUORIN_VERSION "\n";
    return 0;
  }
  const quorin::StartPlaces places = quorin::start_places(argv[0]);
  const quorin::StartFolder chosen = quorin::prepare_start_folder(places);
  if (std::string note = quorin::describe_start_folder(chosen, places); !note.empty())
    std::cerr << "quorin-script: " << note << "\n";
  for (const std::filesystem::path& f : chosen.differing)
    std::cerr << "quorin-script: the supplied file " << (chosen.folder / f).string()
              << " differs from the installed copy; the desktop program offers to put it back\n";
  const std::filesystem::path& folder = chosen.folder;

  quorin::ScriptHooks hooks;
  hooks.snapshot = [](quorin::gfx::Model& m, int n, const std::filesystem::path& png) {
    quorin::qtk::ensure_application();
    return quorin::qtk::render_window_png(m, n, png);
  };
  hooks.save_picture = [](quorin::gfx::Model& m, const quorin::PictureRequest& r) {
    quorin::qtk::save_window_picture(m, r);
  };
  hooks.print_pdf = [](quorin::gfx::Model& m, int n, const std::filesystem::path& pdf) {
    quorin::qtk::print_window_pdf(m, n, pdf);
  };
  quorin::ScriptDriver driver(folder, std::cerr, hooks);

  if (argc == 2) {
    std::ifstream in(argv[1]);
    if (!in) {
      std::cerr << "quorin-script: cannot open " << argv[1] << "\n";
      return 2;
    }
    return quorin::run_script(in, std::cout, std::cerr, driver);
  }
  return quorin::run_script(std::cin, std::cout, std::cerr, driver);
}
