// bench_window_mapped: launches a program and prints, in milliseconds, how long it took until
// it mapped a top-level window (one whose title contains TEXT, when --title is given) on the X
// display named by DISPLAY; then ends the program. Used by startup_vs_minimal.sh.
//
//   bench_window_mapped [--title TEXT] [--timeout SECONDS] -- PROGRAM [ARGUMENTS...]
//
// Exit status 0 with the time on standard output, 1 when no such window came in time.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> r(
      xcb_intern_atom_reply(
          c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr),
      &std::free);
  return r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The window's title (_NET_WM_NAME, else WM_NAME); empty when it has none.
std::string title_of(xcb_connection_t* c, xcb_window_t w, xcb_atom_t net_wm_name) {
  for (xcb_atom_t property : {net_wm_name, static_cast<xcb_atom_t>(XCB_ATOM_WM_NAME)}) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> r(
        xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr),
        &std::free);
    if (r && xcb_get_property_value_length(r.get()) > 0)
      return std::string(static_cast<const char*>(xcb_get_property_value(r.get())),
                         static_cast<std::size_t>(xcb_get_property_value_length(r.get())));
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  std::string title;
  double timeout_s = 20;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--title") == 0 && i + 1 < argc)
      title = argv[++i];
    else if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
      timeout_s = std::atof(argv[++i]);
  }
  if (i + 1 >= argc) {
    std::fprintf(stderr, "usage: %s [--title TEXT] [--timeout SECONDS] -- PROGRAM [ARGUMENTS...]\n",
                 argv[0]);
    return 2;
  }
  char** program = argv + i + 1;

  // A server busy with the last program's going may turn a connection away; a few tries.
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  for (int tries = 0; xcb_connection_has_error(c) && tries < 50; ++tries) {
    xcb_disconnect(c);
    usleep(20000);
    c = xcb_connect(nullptr, nullptr);
  }
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "cannot open the X display (error %d)\n", xcb_connection_has_error(c));
    return 2;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_request_check(c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask));
  const xcb_atom_t net_wm_name = atom(c, "_NET_WM_NAME");

  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, program[0], nullptr, nullptr, program, environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", program[0]);
    return 2;
  }
  double ms = -1;
  const auto deadline = start + std::chrono::duration<double>(timeout_s);
  while (ms < 0 && std::chrono::steady_clock::now() < deadline) {
    pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
    poll(&p, 1, 50);
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
      if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY && ms < 0) {
        const auto now = std::chrono::steady_clock::now();
        const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
        if (!map->override_redirect &&
            (title.empty() ||
             title_of(c, map->window, net_wm_name).find(title) != std::string::npos))
          ms = std::chrono::duration<double, std::milli>(now - start).count();
      }
      std::free(e);
    }
    if (xcb_connection_has_error(c)) break;
  }
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  xcb_disconnect(c);
  if (ms < 0) return 1;
  std::printf("%.2f\n", ms);
  return 0;
}
