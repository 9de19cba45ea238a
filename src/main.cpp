// quorin: the desktop program. Finds its start folder, runs the start-up sequence and serves
// window events until the last window is closed.
#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/application.h"
#include "app/menu_help.h"
#include "services/memory.h"
#include "services/qt/desktop.h"
#include "services/qt/toolkit.h"
#include "startup/fatal_note.h"
#include "startup/program.h"
#include "startup/start_folder.h"
#include "windows/quorin_interface_v41.h"

namespace {

// A local X display (":N" or ":N.M") whose socket is missing cannot be opened; the toolkit
// would abort on it, so it is treated like no display at all.
bool local_display_missing() {
  const char* display = std::getenv("DISPLAY");
  if (!display || display[0] != ':' || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM"))
    return false;
  std::string number(display + 1);
  number = number.substr(0, number.find('.'));
  return !std::filesystem::exists("/tmp/.X11-unix/X" + number);
}

}  // namespace

int main(int argc, char** argv) {
  quorin::pool_large_arrays();
  if (argc > 1 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::cout << "Usage: quorin [--help | --version]\n\n"
                 "Starts the damper curve program. It takes no other arguments.\n\n"
              << quorin::start_folder_help() << "\n"
              << quorin::menu_help_text()
              << "\nFile dialog folders and window places are kept between sessions in "
                 "~/.config/quorin/quorin.conf.\nFor headless use see quorin-script --help.\n";
    return 0;
  }
  if (argc > 1 && std::string_view(argv[1]) == "--version") {
    std::cout << "quorin " QUORIN_VERSION "\n";
    return 0;
  }
  if (!quorin::qtk::display_available() || local_display_missing()) {
    std::cerr << "quorin: no display can be opened; run it under a virtual display with "
                 "'xvfb-run -a quorin' (or QUORIN_XVFB=1 scripts/run), or headless with "
                 "quorin-script.\n";
    return 1;
  }
  QApplication app(argc, argv);
  quorin::qtk::Desktop desktop(std::cerr);
  // A damaged supplied file would stop this start and every later one: the installed copy is
  // offered in its place before anything of the start folder is read.
  const quorin::StartFolder chosen =
      quorin::settle_start_folder(quorin::start_places(argv[0]), desktop, std::cerr);
  const std::filesystem::path& folder = chosen.folder;
  std::error_code ec;
  std::filesystem::current_path(folder, ec);
  // The valving tables are the largest file of all: they are parsed on the other core while
  // the windows are made and shown. (Begun before the toolkit connects to the display, the
  // parsing slows the connecting down more than it gains.)
  quorin::read_valving_tables_ahead(folder);

  quorin::Application application(folder, desktop, std::cout);
  quorin::install_fatal_note(application.kept_session().file());
  return application.run();
}
